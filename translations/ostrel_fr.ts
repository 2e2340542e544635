<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>ostrel::Catalogue</name>
    <message>
        <source>General Audio Format</source>
        <translation>Formats audio courants</translation>
    </message>
    <message>
        <source>General Video Format</source>
        <translation>Formats vidéo courants</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Appareil</translation>
    </message>
    <message>
        <source>HD Video</source>
        <translation>Vidéo HD</translation>
    </message>
    <message>
        <source>Web Video</source>
        <translation>Vidéo Web</translation>
    </message>
</context>
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
    <message>
        <source>Add Folder...</source>
        <translation>Ajouter un dossier...</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Ajouter un dossier</translation>
    </message>
    <message>
        <source>Add every media file of a folder and its subfolders</source>
        <translation>Ajouter tous les fichiers multimédias d&apos;un dossier et de ses sous-dossiers</translation>
    </message>
</context>
<context>
    <name>ostrel::ConversionRun</name>
    <message>
        <source>Error</source>
        <translation>Erreur</translation>
    </message>
    <message>
        <source>Cannot convert.%1
Error: %2
Please try to convert it to another format</source>
        <translation>Conversion impossible.%1
Erreur : %2
Essayez de convertir vers un autre format</translation>
    </message>
    <message>
        <source>Converting...</source>
        <translation>Conversion...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Error: %1</source>
        <translation>Erreur : %1</translation>
    </message>
    <message>
        <source>Canceled</source>
        <translation>Annulé</translation>
    </message>
    <message>
        <source>OK (video and audio copied)</source>
        <translation>OK (vidéo et audio copiés)</translation>
    </message>
    <message>
        <source>OK (video copied)</source>
        <translation>OK (vidéo copiée)</translation>
    </message>
    <message>
        <source>OK (audio copied)</source>
        <translation>OK (audio copié)</translation>
    </message>
    <message>
        <source>Paused: the output disk is almost full (%1 GB free)</source>
        <translation>En pause : le disque de sortie est presque plein (%1 Go libres)</translation>
    </message>
</context>
<context>
    <name>ostrel::ConversionUi</name>
    <message>
        <source>Converting files</source>
        <translation>Conversion de fichiers</translation>
    </message>
    <message>
        <source>The last conversion was interrupted: %1 of %2 files done. Convert the remaining %3?</source>
        <translation>La dernière conversion a été interrompue : %1 fichiers sur %2 terminés. Convertir les %3 restants ?</translation>
    </message>
</context>
<context>
    <name>ostrel::DeviceLimits</name>
    <message>
        <source>Plays on %1: %2, up to %3x%4</source>
        <translation>Lu par %1 : %2, jusqu’à %3x%4</translation>
    </message>
    <message>
        <source> (not met: %1)</source>
        <translation> (non respecté : %1)</translation>
    </message>
</context>
<context>
    <name>ostrel::FileAdder</name>
    <message>
        <source>All Supported Media Files</source>
        <translation>Tous les fichiers multimédias pris en charge</translation>
    </message>
    <message>
        <source>All Supported Audio Files</source>
        <translation>Tous les fichiers audio pris en charge</translation>
    </message>
    <message>
        <source>All Supported Video Files</source>
        <translation>Tous les fichiers vidéo pris en charge</translation>
    </message>
    <message>
        <source>All Files (*.*)</source>
        <translation>Tous les fichiers (*.*)</translation>
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
    <message>
        <source>N/A</source>
        <translation>N/D</translation>
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
    <message>
        <source>&amp;Pause</source>
        <translation>&amp;Pause</translation>
    </message>
    <message>
        <source>&amp;Resume</source>
        <translation>&amp;Reprendre</translation>
    </message>
    <message>
        <source>Do nothing</source>
        <translation>Ne rien faire</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Quitter</translation>
    </message>
    <message>
        <source>Suspend</source>
        <translation>Mettre en veille</translation>
    </message>
    <message>
        <source>Shut down</source>
        <translation>Éteindre</translation>
    </message>
    <message>
        <source>When done:</source>
        <translation>Une fois terminé :</translation>
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
    <message>
        <source>Subtitles</source>
        <translation>Sous-titres</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Aucun</translation>
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
    <message>
        <source>%1 of %2 files</source>
        <translation>%1 fichiers sur %2</translation>
    </message>
</context>
<context>
    <name>ostrel::FormatDialogModel</name>
    <message>
        <source>Auto</source>
        <translation>Automatique</translation>
    </message>
    <message>
        <source>Custom...</source>
        <translation>Personnalisé...</translation>
    </message>
    <message>
        <source>High (larger file size)</source>
        <translation>Haute (fichier plus gros)</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normale</translation>
    </message>
    <message>
        <source>Low (smaller file size)</source>
        <translation>Basse (fichier plus petit)</translation>
    </message>
    <message>
        <source>More &lt;&lt;</source>
        <translation>Plus &lt;&lt;</translation>
    </message>
    <message>
        <source>More &gt;&gt;</source>
        <translation>Plus &gt;&gt;</translation>
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
    <message>
        <source>Video lib not found</source>
        <translation>Bibliothèque vidéo introuvable</translation>
    </message>
    <message>
        <source>Please add file to the list.</source>
        <translation>Veuillez ajouter un fichier à la liste.</translation>
    </message>
    <message>
        <source>Do you want to exit?</source>
        <translation>Voulez-vous quitter ?</translation>
    </message>
    <message>
        <source>Do you want to visit our website to check if there is a new version released?</source>
        <translation>Voulez-vous consulter notre site Web pour savoir si une nouvelle version est parue ?</translation>
    </message>
    <message>
        <source>%1 file(s) were not added: they are not media files or cannot be opened.</source>
        <translation>%1 fichier(s) n&apos;ont pas été ajoutés : ce ne sont pas des fichiers multimédias ou ils ne peuvent pas être ouverts.</translation>
    </message>
    <message>
        <source>%1 folder(s) could not be read.</source>
        <translation>%1 dossier(s) n&apos;ont pas pu être lus.</translation>
    </message>
</context>
<context>
    <name>ostrel::Messages</name>
    <message>
        <source>Can not open file: 
%1

Error: 
%2</source>
        <translation>Impossible d’ouvrir le fichier : 
%1

Erreur : 
%2</translation>
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
    <name>ostrel::OpenWith</name>
    <message>
        <source>The open window did not answer, so the files were not added.</source>
        <translation>La fenêtre ouverte n’a pas répondu : les fichiers n’ont pas été ajoutés.</translation>
    </message>
</context>
<context>
    <name>ostrel::Probe</name>
    <message>
        <source>Not a regular file</source>
        <translation>Pas un fichier ordinaire</translation>
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
    <message>
        <source>Convert Finished. Click here to open the output folder</source>
        <translation>Conversion terminée. Cliquez ici pour ouvrir le dossier de sortie</translation>
    </message>
    <message>
        <source>%1 file</source>
        <translation>%1 fichier</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 fichiers</translation>
    </message>
    <message>
        <source>Stopped: %1 of %2 converted. Click here to open the output folder</source>
        <translation>Arrêté : %1 sur %2 converti(s). Cliquez ici pour ouvrir le dossier de sortie</translation>
    </message>
    <message>
        <source>%1 of %2 converted, %3 failed. Click here to open the output folder</source>
        <translation>%1 sur %2 converti(s), %3 en échec. Cliquez ici pour ouvrir le dossier de sortie</translation>
    </message>
    <message>
        <source>%1 of %2 done</source>
        <translation>%1 sur %2 traité(s)</translation>
    </message>
    <message>
        <source>%1 of %2 converted</source>
        <translation>%1 sur %2 converti(s)</translation>
    </message>
    <message>
        <source>Elapsed %1</source>
        <translation>Écoulé %1</translation>
    </message>
    <message>
        <source>Remaining about %1</source>
        <translation>Restant environ %1</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>En pause</translation>
    </message>
</context>
<context>
    <name>ostrel::RunRowsModel</name>
    <message>
        <source>Output File Name</source>
        <translation>Nom du fichier de sortie</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Progression</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>État</translation>
    </message>
</context>
<context>
    <name>ostrel::SettingsGrid</name>
    <message>
        <source>Auto</source>
        <translation>Automatique</translation>
    </message>
    <message>
        <source>Filename Extension</source>
        <translation>Extension du fichier</translation>
    </message>
    <message>
        <source>Video Bitrate</source>
        <translation>Débit vidéo</translation>
    </message>
    <message>
        <source>Set the video bit rate in bps (Bit Per Second)</source>
        <translation>Définit le débit vidéo en bps (bits par seconde)</translation>
    </message>
    <message>
        <source>Frame Rate (FPS)</source>
        <translation>Fréquence d’images (FPS)</translation>
    </message>
    <message>
        <source>Set how many frames should be displayed per second. Higher frame rate increases the smoothness when played back</source>
        <translation>Définit le nombre d’images affichées par seconde. Une fréquence plus élevée rend la lecture plus fluide</translation>
    </message>
    <message>
        <source>Aspect Rate</source>
        <translation>Format d’image</translation>
    </message>
    <message>
        <source>Set width to height ratio according to the screen aspect of your playback device</source>
        <translation>Définit le rapport largeur/hauteur selon l’écran de votre appareil de lecture</translation>
    </message>
    <message>
        <source>Crop Video</source>
        <translation>Rogner la vidéo</translation>
    </message>
    <message>
        <source>Crop the input video</source>
        <translation>Rogne la vidéo source</translation>
    </message>
    <message>
        <source>Top</source>
        <translation>Haut</translation>
    </message>
    <message>
        <source>Bottom</source>
        <translation>Bas</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Gauche</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Droite</translation>
    </message>
    <message>
        <source>Vertically Flip</source>
        <translation>Retourner verticalement</translation>
    </message>
    <message>
        <source>Flip the input video vertically</source>
        <translation>Retourne la vidéo source verticalement</translation>
    </message>
    <message>
        <source>Horizontally Flip</source>
        <translation>Retourner horizontalement</translation>
    </message>
    <message>
        <source>Flip the input video horizontally</source>
        <translation>Retourne la vidéo source horizontalement</translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation>Rotation</translation>
    </message>
    <message>
        <source>Rotate the video xx degrees clockwise. Valid number is from -270 to 270</source>
        <translation>Fait pivoter la vidéo de xx degrés dans le sens horaire. Valeurs valides : de -270 à 270</translation>
    </message>
    <message>
        <source>Audio Bitrate</source>
        <translation>Débit audio</translation>
    </message>
    <message>
        <source>Set the audio bitrate in bps(Bit Per Second)</source>
        <translation>Définit le débit audio en bps (bits par seconde)</translation>
    </message>
    <message>
        <source>Sample Rate</source>
        <translation>Fréquence d’échantillonnage</translation>
    </message>
    <message>
        <source>Set the audio sampling frequency (the number of samples per second)</source>
        <translation>Définit la fréquence d’échantillonnage audio (nombre d’échantillons par seconde)</translation>
    </message>
    <message>
        <source>Channels</source>
        <translation>Canaux</translation>
    </message>
    <message>
        <source>Set number of audio channels. 1 - Mono, 2 - Stereo</source>
        <translation>Définit le nombre de canaux audio. 1 – mono, 2 – stéréo</translation>
    </message>
    <message>
        <source>Remove Audio</source>
        <translation>Supprimer l’audio</translation>
    </message>
    <message>
        <source>Output File</source>
        <translation>Fichier de sortie</translation>
    </message>
    <message>
        <source>Video Settings</source>
        <translation>Réglages vidéo</translation>
    </message>
    <message>
        <source>Audio Settings</source>
        <translation>Réglages audio</translation>
    </message>
    <message>
        <source>Keep Folder Structure</source>
        <translation>Conserver l’arborescence</translation>
    </message>
    <message>
        <source>Write the output of a file added with its folder into the same subfolder under the output folder</source>
        <translation>Écrire la sortie d&apos;un fichier ajouté avec son dossier dans le même sous-dossier du dossier de sortie</translation>
    </message>
    <message>
        <source>Keep File Date</source>
        <translation>Conserver la date du fichier</translation>
    </message>
    <message>
        <source>Give each output file the modification time of its input file</source>
        <translation>Donner à chaque fichier de sortie la date de modification de son fichier d&apos;entrée</translation>
    </message>
    <message>
        <source>Copy Streams That Fit</source>
        <translation>Copier les flux compatibles</translation>
    </message>
    <message>
        <source>Copy a stream as it is, without converting it, when the output can take it unchanged: much faster, and no quality is lost</source>
        <translation>Copier un flux tel quel, sans le convertir, quand la sortie peut le recevoir sans changement : bien plus rapide, et sans perte de qualité</translation>
    </message>
    <message>
        <source>Target File Size (MB)</source>
        <translation>Taille de fichier visée (Mo)</translation>
    </message>
    <message>
        <source>Make the output file this size (1 MB = 1,000,000 bytes): the video bit rate is computed from the length and the video is encoded in two passes</source>
        <translation>Donner cette taille au fichier de sortie (1 Mo = 1 000 000 octets) : le débit vidéo est calculé à partir de la durée et la vidéo est encodée en deux passes</translation>
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
