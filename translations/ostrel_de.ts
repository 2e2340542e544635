<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ostrel::Commands</name>
    <message>
        <source>More Buttons</source>
        <translation>Weitere Schaltflächen</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Add Files</source>
        <translation>Dateien hinzufügen</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Exit     </source>
        <translation>Beenden     </translation>
    </message>
    <message>
        <source>List</source>
        <translation>Liste</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alle auswählen</translation>
    </message>
    <message>
        <source>Invert Selection</source>
        <translation>Auswahl umkehren</translation>
    </message>
    <message>
        <source>Invert Selection   </source>
        <translation>Auswahl umkehren   </translation>
    </message>
    <message>
        <source>Clear All</source>
        <translation>Alle entfernen</translation>
    </message>
    <message>
        <source>Remove Selected Files</source>
        <translation>Ausgewählte Dateien entfernen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>About...</source>
        <translation>Über...</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Website</source>
        <translation>Website</translation>
    </message>
    <message>
        <source>Toobar</source>
        <translation>Werkzeugleiste</translation>
    </message>
    <message>
        <source>Convert Files</source>
        <translation>Dateien umwandeln</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Umwandeln</translation>
    </message>
    <message>
        <source>Move Up</source>
        <translation>Nach oben</translation>
    </message>
    <message>
        <source>Move Down</source>
        <translation>Nach unten</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Help Contents</source>
        <translation>Hilfethemen</translation>
    </message>
</context>
<context>
    <name>ostrel::FileListModel</name>
    <message>
        <source>File Name</source>
        <translation>Dateiname</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Typ</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>Video Size</source>
        <translation>Videogröße</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>Dateigröße</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>Geändert</translation>
    </message>
    <message>
        <source>Video Codec</source>
        <translation>Videocodec</translation>
    </message>
    <message>
        <source>Audio Codec</source>
        <translation>Audiocodec</translation>
    </message>
</context>
<context>
    <name>ostrel::FormConverting</name>
    <message>
        <source>Please wait...</source>
        <translation>Bitte warten...</translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation>&amp;Stopp</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>S&amp;chließen</translation>
    </message>
    <message>
        <source>&amp;Open Output Folder</source>
        <translation>Ausgabe&amp;ordner öffnen</translation>
    </message>
    <message>
        <source>Copy Error</source>
        <translation>Fehler kopieren</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
</context>
<context>
    <name>ostrel::FormFlash</name>
    <message>
        <source>Start...</source>
        <translation>Start...</translation>
    </message>
    <message>
        <source>Converts audio and video files for players, phones, consoles and the web. Media work by the FFmpeg libraries.</source>
        <translation>Wandelt Audio- und Videodateien für Player, Telefone, Konsolen und das Web um. Die Medien verarbeiten die FFmpeg-Bibliotheken.</translation>
    </message>
    <message>
        <source>Free software under the GNU General Public License, version 2 or later.</source>
        <translation>Freie Software unter der GNU General Public License, Version 2 oder neuer.</translation>
    </message>
</context>
<context>
    <name>ostrel::FormPlayer</name>
    <message>
        <source>The file cannot be played.</source>
        <translation>Die Datei kann nicht abgespielt werden.</translation>
    </message>
    <message>
        <source>Seek</source>
        <translation>Position</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Lautstärke</translation>
    </message>
    <message>
        <source>Play (Space)</source>
        <translation>Abspielen (Leertaste)</translation>
    </message>
    <message>
        <source>Pause (Space)</source>
        <translation>Pause (Leertaste)</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
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
        <translation>Ausgabeeinstellungen</translation>
    </message>
    <message>
        <source>Output &amp;Format:</source>
        <translation>Ausgabe&amp;format:</translation>
    </message>
    <message>
        <source>Video &amp;Size:</source>
        <translation>Video&amp;größe:</translation>
    </message>
    <message>
        <source>&amp;Width:</source>
        <translation>&amp;Breite:</translation>
    </message>
    <message>
        <source>&amp;Height:</source>
        <translation>&amp;Höhe:</translation>
    </message>
    <message>
        <source>&amp;Video Quality:</source>
        <translation>&amp;Videoqualität:</translation>
    </message>
    <message>
        <source>&amp;Audio Quality:</source>
        <translation>&amp;Audioqualität:</translation>
    </message>
    <message>
        <source>&amp;Destination:</source>
        <translation>&amp;Ziel:</translation>
    </message>
    <message>
        <source>C&amp;PU Cores:</source>
        <translation>C&amp;PU-Kerne:</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>&amp;Suchen...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Invalid path!</source>
        <translation>Ungültiger Pfad!</translation>
    </message>
</context>
<context>
    <name>ostrel::FormWait</name>
    <message>
        <source>Please wait...</source>
        <translation>Bitte warten...</translation>
    </message>
    <message>
        <source>Reading files, please wait...</source>
        <translation>Dateien werden gelesen, bitte warten...</translation>
    </message>
</context>
<context>
    <name>ostrel::ListTotals</name>
    <message>
        <source>Total Files: </source>
        <translation>Dateien gesamt: </translation>
    </message>
    <message>
        <source>Total Duration: </source>
        <translation>Gesamtdauer: </translation>
    </message>
</context>
<context>
    <name>ostrel::MainWindow</name>
    <message>
        <source>Files</source>
        <translation>Dateien</translation>
    </message>
</context>
<context>
    <name>ostrel::MuteToggle</name>
    <message>
        <source>Mute</source>
        <translation>Stumm</translation>
    </message>
    <message>
        <source>Sound off (M)</source>
        <translation>Ton aus (M)</translation>
    </message>
    <message>
        <source>Sound on (M)</source>
        <translation>Ton an (M)</translation>
    </message>
    <message>
        <source>Unmute</source>
        <translation>Ton einschalten</translation>
    </message>
</context>
<context>
    <name>ostrel::RunOverview</name>
    <message>
        <source>Convert Finished!</source>
        <translation>Umwandlung beendet!</translation>
    </message>
    <message>
        <source>Convert Stopped!</source>
        <translation>Umwandlung gestoppt!</translation>
    </message>
    <message>
        <source>Convert Finished with errors!</source>
        <translation>Umwandlung mit Fehlern beendet!</translation>
    </message>
</context>
<context>
    <name>ostrel::SettingsGridView</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
</context>
</TS>
