<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>ostrel::Commands</name>
    <message>
        <source>More Buttons</source>
        <translation>Autres boutons</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Fichier</translation>
    </message>
    <message>
        <source>Add Files</source>
        <translation>Ajouter des fichiers</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Ajouter</translation>
    </message>
    <message>
        <source>Exit     </source>
        <translation>Quitter     </translation>
    </message>
    <message>
        <source>List</source>
        <translation>Liste</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Tout sélectionner</translation>
    </message>
    <message>
        <source>Invert Selection</source>
        <translation>Inverser la sélection</translation>
    </message>
    <message>
        <source>Invert Selection   </source>
        <translation>Inverser la sélection   </translation>
    </message>
    <message>
        <source>Clear All</source>
        <translation>Tout effacer</translation>
    </message>
    <message>
        <source>Remove Selected Files</source>
        <translation>Retirer les fichiers sélectionnés</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Retirer</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Aide</translation>
    </message>
    <message>
        <source>About...</source>
        <translation>À propos...</translation>
    </message>
    <message>
        <source>About</source>
        <translation>À propos</translation>
    </message>
    <message>
        <source>Website</source>
        <translation>Site web</translation>
    </message>
    <message>
        <source>Toobar</source>
        <translation>Barre d&apos;outils</translation>
    </message>
    <message>
        <source>Convert Files</source>
        <translation>Convertir les fichiers</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Convertir</translation>
    </message>
    <message>
        <source>Move Up</source>
        <translation>Monter</translation>
    </message>
    <message>
        <source>Move Down</source>
        <translation>Descendre</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Lire</translation>
    </message>
    <message>
        <source>Help Contents</source>
        <translation>Sommaire de l&apos;aide</translation>
    </message>
</context>
<context>
    <name>ostrel::FileListModel</name>
    <message>
        <source>File Name</source>
        <translation>Nom du fichier</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Durée</translation>
    </message>
    <message>
        <source>Video Size</source>
        <translation>Taille vidéo</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>Taille</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>Modifié</translation>
    </message>
    <message>
        <source>Video Codec</source>
        <translation>Codec vidéo</translation>
    </message>
    <message>
        <source>Audio Codec</source>
        <translation>Codec audio</translation>
    </message>
</context>
<context>
    <name>ostrel::FormConverting</name>
    <message>
        <source>Please wait...</source>
        <translation>Veuillez patienter...</translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation>&amp;Arrêter</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Fermer</translation>
    </message>
    <message>
        <source>&amp;Open Output Folder</source>
        <translation>&amp;Ouvrir le dossier de sortie</translation>
    </message>
    <message>
        <source>Copy Error</source>
        <translation>Copier l&apos;erreur</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Fichiers</translation>
    </message>
</context>
<context>
    <name>ostrel::FormFlash</name>
    <message>
        <source>Start...</source>
        <translation>Démarrage...</translation>
    </message>
    <message>
        <source>Converts audio and video files for players, phones, consoles and the web. Media work by the FFmpeg libraries.</source>
        <translation>Convertit les fichiers audio et vidéo pour baladeurs, téléphones, consoles et le web. Les médias sont traités par les bibliothèques FFmpeg.</translation>
    </message>
    <message>
        <source>Free software under the GNU General Public License, version 2 or later.</source>
        <translation>Logiciel libre sous la licence publique générale GNU, version 2 ou ultérieure.</translation>
    </message>
</context>
<context>
    <name>ostrel::FormPlayer</name>
    <message>
        <source>The file cannot be played.</source>
        <translation>Le fichier ne peut pas être lu.</translation>
    </message>
    <message>
        <source>Seek</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>Play (Space)</source>
        <translation>Lire (Espace)</translation>
    </message>
    <message>
        <source>Pause (Space)</source>
        <translation>Pause (Espace)</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Lire</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
</context>
<context>
    <name>ostrel::FormVideoFormat</name>
    <message>
        <source>Output Settings</source>
        <translation>Paramètres de sortie</translation>
    </message>
    <message>
        <source>Output &amp;Format:</source>
        <translation>&amp;Format de sortie :</translation>
    </message>
    <message>
        <source>Video &amp;Size:</source>
        <translation>&amp;Taille vidéo :</translation>
    </message>
    <message>
        <source>&amp;Width:</source>
        <translation>&amp;Largeur :</translation>
    </message>
    <message>
        <source>&amp;Height:</source>
        <translation>&amp;Hauteur :</translation>
    </message>
    <message>
        <source>&amp;Video Quality:</source>
        <translation>Qualité &amp;vidéo :</translation>
    </message>
    <message>
        <source>&amp;Audio Quality:</source>
        <translation>Qualité &amp;audio :</translation>
    </message>
    <message>
        <source>&amp;Destination:</source>
        <translation>&amp;Destination :</translation>
    </message>
    <message>
        <source>C&amp;PU Cores:</source>
        <translation>Cœurs du &amp;processeur :</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>&amp;Parcourir...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Erreur</translation>
    </message>
    <message>
        <source>Invalid path!</source>
        <translation>Chemin non valide !</translation>
    </message>
</context>
<context>
    <name>ostrel::FormWait</name>
    <message>
        <source>Please wait...</source>
        <translation>Veuillez patienter...</translation>
    </message>
    <message>
        <source>Reading files, please wait...</source>
        <translation>Lecture des fichiers, veuillez patienter...</translation>
    </message>
</context>
<context>
    <name>ostrel::ListTotals</name>
    <message>
        <source>Total Files: </source>
        <translation>Fichiers au total : </translation>
    </message>
    <message>
        <source>Total Duration: </source>
        <translation>Durée totale : </translation>
    </message>
</context>
<context>
    <name>ostrel::MainWindow</name>
    <message>
        <source>Files</source>
        <translation>Fichiers</translation>
    </message>
</context>
<context>
    <name>ostrel::MuteToggle</name>
    <message>
        <source>Mute</source>
        <translation>Couper le son</translation>
    </message>
    <message>
        <source>Sound off (M)</source>
        <translation>Son coupé (M)</translation>
    </message>
    <message>
        <source>Sound on (M)</source>
        <translation>Son activé (M)</translation>
    </message>
    <message>
        <source>Unmute</source>
        <translation>Rétablir le son</translation>
    </message>
</context>
<context>
    <name>ostrel::RunOverview</name>
    <message>
        <source>Convert Finished!</source>
        <translation>Conversion terminée !</translation>
    </message>
    <message>
        <source>Convert Stopped!</source>
        <translation>Conversion arrêtée !</translation>
    </message>
    <message>
        <source>Convert Finished with errors!</source>
        <translation>Conversion terminée avec des erreurs !</translation>
    </message>
</context>
<context>
    <name>ostrel::SettingsGridView</name>
    <message>
        <source>Settings</source>
        <translation>Paramètres</translation>
    </message>
</context>
</TS>
