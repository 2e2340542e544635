<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>ostrel::Catalogue</name>
    <message>
        <source>General Audio Format</source>
        <translation>Allgemeine Audioformate</translation>
    </message>
    <message>
        <source>General Video Format</source>
        <translation>Allgemeine Videoformate</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>HD Video</source>
        <translation>HD-Video</translation>
    </message>
    <message>
        <source>Web Video</source>
        <translation>Web-Video</translation>
    </message>
</context>
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
    <message>
        <source>Add Folder...</source>
        <translation>Ordner hinzufügen...</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Ordner hinzufügen</translation>
    </message>
    <message>
        <source>Add every media file of a folder and its subfolders</source>
        <translation>Alle Mediendateien eines Ordners und seiner Unterordner hinzufügen</translation>
    </message>
</context>
<context>
    <name>ostrel::ConversionRun</name>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Cannot convert.%1
Error: %2
Please try to convert it to another format</source>
        <translation>Umwandlung nicht möglich.%1
Fehler: %2
Bitte versuchen Sie, in ein anderes Format umzuwandeln</translation>
    </message>
    <message>
        <source>Converting...</source>
        <translation>Wird umgewandelt...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Error: %1</source>
        <translation>Fehler: %1</translation>
    </message>
    <message>
        <source>Canceled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>OK (video and audio copied)</source>
        <translation>OK (Video und Audio kopiert)</translation>
    </message>
    <message>
        <source>OK (video copied)</source>
        <translation>OK (Video kopiert)</translation>
    </message>
    <message>
        <source>OK (audio copied)</source>
        <translation>OK (Audio kopiert)</translation>
    </message>
    <message>
        <source>Paused: the output disk is almost full (%1 GB free)</source>
        <translation>Angehalten: Der Zieldatenträger ist fast voll (%1 GB frei)</translation>
    </message>
</context>
<context>
    <name>ostrel::ConversionUi</name>
    <message>
        <source>Converting files</source>
        <translation>Dateien werden umgewandelt</translation>
    </message>
    <message>
        <source>The last conversion was interrupted: %1 of %2 files done. Convert the remaining %3?</source>
        <translation>Die letzte Umwandlung wurde unterbrochen: %1 von %2 Dateien fertig. Die restlichen %3 umwandeln?</translation>
    </message>
</context>
<context>
    <name>ostrel::DeviceLimits</name>
    <message>
        <source>Plays on %1: %2, up to %3x%4</source>
        <translation>Spielt auf %1: %2, bis %3x%4</translation>
    </message>
    <message>
        <source> (not met: %1)</source>
        <translation> (nicht erfüllt: %1)</translation>
    </message>
</context>
<context>
    <name>ostrel::FileAdder</name>
    <message>
        <source>All Supported Media Files</source>
        <translation>Alle unterstützten Mediendateien</translation>
    </message>
    <message>
        <source>All Supported Audio Files</source>
        <translation>Alle unterstützten Audiodateien</translation>
    </message>
    <message>
        <source>All Supported Video Files</source>
        <translation>Alle unterstützten Videodateien</translation>
    </message>
    <message>
        <source>All Files (*.*)</source>
        <translation>Alle Dateien (*.*)</translation>
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
    <message>
        <source>N/A</source>
        <translation>k. A.</translation>
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
    <message>
        <source>&amp;Pause</source>
        <translation>&amp;Pause</translation>
    </message>
    <message>
        <source>&amp;Resume</source>
        <translation>&amp;Fortsetzen</translation>
    </message>
    <message>
        <source>Do nothing</source>
        <translation>Nichts tun</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Suspend</source>
        <translation>Bereitschaft</translation>
    </message>
    <message>
        <source>Shut down</source>
        <translation>Herunterfahren</translation>
    </message>
    <message>
        <source>When done:</source>
        <translation>Wenn fertig:</translation>
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
    <message>
        <source>Subtitles</source>
        <translation>Untertitel</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
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
    <message>
        <source>%1 of %2 files</source>
        <translation>%1 von %2 Dateien</translation>
    </message>
</context>
<context>
    <name>ostrel::FormatDialogModel</name>
    <message>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Custom...</source>
        <translation>Benutzerdefiniert...</translation>
    </message>
    <message>
        <source>High (larger file size)</source>
        <translation>Hoch (größere Datei)</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Low (smaller file size)</source>
        <translation>Niedrig (kleinere Datei)</translation>
    </message>
    <message>
        <source>More &lt;&lt;</source>
        <translation>Mehr &lt;&lt;</translation>
    </message>
    <message>
        <source>More &gt;&gt;</source>
        <translation>Mehr &gt;&gt;</translation>
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
    <message>
        <source>Video lib not found</source>
        <translation>Videobibliothek nicht gefunden</translation>
    </message>
    <message>
        <source>Please add file to the list.</source>
        <translation>Bitte fügen Sie der Liste eine Datei hinzu.</translation>
    </message>
    <message>
        <source>Do you want to exit?</source>
        <translation>Möchten Sie das Programm beenden?</translation>
    </message>
    <message>
        <source>Do you want to visit our website to check if there is a new version released?</source>
        <translation>Möchten Sie auf unserer Website nachsehen, ob eine neue Version erschienen ist?</translation>
    </message>
    <message>
        <source>%1 file(s) were not added: they are not media files or cannot be opened.</source>
        <translation>%1 Datei(en) wurden nicht hinzugefügt: Sie sind keine Mediendateien oder lassen sich nicht öffnen.</translation>
    </message>
    <message>
        <source>%1 folder(s) could not be read.</source>
        <translation>%1 Ordner konnte(n) nicht gelesen werden.</translation>
    </message>
</context>
<context>
    <name>ostrel::Messages</name>
    <message>
        <source>Can not open file: 
%1

Error: 
%2</source>
        <translation>Datei kann nicht geöffnet werden: 
%1

Fehler: 
%2</translation>
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
    <name>ostrel::OpenWith</name>
    <message>
        <source>The open window did not answer, so the files were not added.</source>
        <translation>Das geöffnete Fenster hat nicht geantwortet, daher wurden die Dateien nicht hinzugefügt.</translation>
    </message>
</context>
<context>
    <name>ostrel::Probe</name>
    <message>
        <source>Not a regular file</source>
        <translation>Keine reguläre Datei</translation>
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
    <message>
        <source>Convert Finished. Click here to open the output folder</source>
        <translation>Umwandlung abgeschlossen. Hier klicken, um den Ausgabeordner zu öffnen</translation>
    </message>
    <message>
        <source>%1 file</source>
        <translation>%1 Datei</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 Dateien</translation>
    </message>
    <message>
        <source>Stopped: %1 of %2 converted. Click here to open the output folder</source>
        <translation>Angehalten: %1 von %2 umgewandelt. Hier klicken, um den Ausgabeordner zu öffnen</translation>
    </message>
    <message>
        <source>%1 of %2 converted, %3 failed. Click here to open the output folder</source>
        <translation>%1 von %2 umgewandelt, %3 fehlgeschlagen. Hier klicken, um den Ausgabeordner zu öffnen</translation>
    </message>
    <message>
        <source>%1 of %2 done</source>
        <translation>%1 von %2 erledigt</translation>
    </message>
    <message>
        <source>%1 of %2 converted</source>
        <translation>%1 von %2 umgewandelt</translation>
    </message>
    <message>
        <source>Elapsed %1</source>
        <translation>Vergangen %1</translation>
    </message>
    <message>
        <source>Remaining about %1</source>
        <translation>Verbleibend etwa %1</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Angehalten</translation>
    </message>
</context>
<context>
    <name>ostrel::RunRowsModel</name>
    <message>
        <source>Output File Name</source>
        <translation>Name der Ausgabedatei</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
</context>
<context>
    <name>ostrel::SettingsGrid</name>
    <message>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Filename Extension</source>
        <translation>Dateiendung</translation>
    </message>
    <message>
        <source>Video Bitrate</source>
        <translation>Video-Bitrate</translation>
    </message>
    <message>
        <source>Set the video bit rate in bps (Bit Per Second)</source>
        <translation>Legt die Video-Bitrate in bps (Bit pro Sekunde) fest</translation>
    </message>
    <message>
        <source>Frame Rate (FPS)</source>
        <translation>Bildrate (FPS)</translation>
    </message>
    <message>
        <source>Set how many frames should be displayed per second. Higher frame rate increases the smoothness when played back</source>
        <translation>Legt fest, wie viele Bilder pro Sekunde gezeigt werden. Eine höhere Bildrate macht die Wiedergabe flüssiger</translation>
    </message>
    <message>
        <source>Aspect Rate</source>
        <translation>Seitenverhältnis</translation>
    </message>
    <message>
        <source>Set width to height ratio according to the screen aspect of your playback device</source>
        <translation>Legt das Verhältnis von Breite zu Höhe passend zum Bildschirm Ihres Wiedergabegeräts fest</translation>
    </message>
    <message>
        <source>Crop Video</source>
        <translation>Video zuschneiden</translation>
    </message>
    <message>
        <source>Crop the input video</source>
        <translation>Schneidet das Eingangsvideo zu</translation>
    </message>
    <message>
        <source>Top</source>
        <translation>Oben</translation>
    </message>
    <message>
        <source>Bottom</source>
        <translation>Unten</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Rechts</translation>
    </message>
    <message>
        <source>Vertically Flip</source>
        <translation>Vertikal spiegeln</translation>
    </message>
    <message>
        <source>Flip the input video vertically</source>
        <translation>Spiegelt das Eingangsvideo vertikal</translation>
    </message>
    <message>
        <source>Horizontally Flip</source>
        <translation>Horizontal spiegeln</translation>
    </message>
    <message>
        <source>Flip the input video horizontally</source>
        <translation>Spiegelt das Eingangsvideo horizontal</translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation>Drehen</translation>
    </message>
    <message>
        <source>Rotate the video xx degrees clockwise. Valid number is from -270 to 270</source>
        <translation>Dreht das Video um xx Grad im Uhrzeigersinn. Gültig sind Werte von -270 bis 270</translation>
    </message>
    <message>
        <source>Audio Bitrate</source>
        <translation>Audio-Bitrate</translation>
    </message>
    <message>
        <source>Set the audio bitrate in bps(Bit Per Second)</source>
        <translation>Legt die Audio-Bitrate in bps (Bit pro Sekunde) fest</translation>
    </message>
    <message>
        <source>Sample Rate</source>
        <translation>Abtastrate</translation>
    </message>
    <message>
        <source>Set the audio sampling frequency (the number of samples per second)</source>
        <translation>Legt die Abtastfrequenz fest (Anzahl der Abtastwerte pro Sekunde)</translation>
    </message>
    <message>
        <source>Channels</source>
        <translation>Kanäle</translation>
    </message>
    <message>
        <source>Set number of audio channels. 1 - Mono, 2 - Stereo</source>
        <translation>Legt die Anzahl der Audiokanäle fest. 1 – Mono, 2 – Stereo</translation>
    </message>
    <message>
        <source>Remove Audio</source>
        <translation>Ton entfernen</translation>
    </message>
    <message>
        <source>Output File</source>
        <translation>Ausgabedatei</translation>
    </message>
    <message>
        <source>Video Settings</source>
        <translation>Videoeinstellungen</translation>
    </message>
    <message>
        <source>Audio Settings</source>
        <translation>Audioeinstellungen</translation>
    </message>
    <message>
        <source>Keep Folder Structure</source>
        <translation>Ordnerstruktur beibehalten</translation>
    </message>
    <message>
        <source>Write the output of a file added with its folder into the same subfolder under the output folder</source>
        <translation>Die Ausgabe einer mit ihrem Ordner hinzugefügten Datei in denselben Unterordner unter dem Ausgabeordner schreiben</translation>
    </message>
    <message>
        <source>Keep File Date</source>
        <translation>Dateidatum beibehalten</translation>
    </message>
    <message>
        <source>Give each output file the modification time of its input file</source>
        <translation>Jeder Ausgabedatei die Änderungszeit ihrer Eingabedatei geben</translation>
    </message>
    <message>
        <source>Copy Streams That Fit</source>
        <translation>Passende Spuren kopieren</translation>
    </message>
    <message>
        <source>Copy a stream as it is, without converting it, when the output can take it unchanged: much faster, and no quality is lost</source>
        <translation>Eine Spur unverändert kopieren statt sie umzuwandeln, wenn die Ausgabe sie so aufnehmen kann: viel schneller und ohne Qualitätsverlust</translation>
    </message>
    <message>
        <source>Target File Size (MB)</source>
        <translation>Zieldateigröße (MB)</translation>
    </message>
    <message>
        <source>Make the output file this size (1 MB = 1,000,000 bytes): the video bit rate is computed from the length and the video is encoded in two passes</source>
        <translation>Die Ausgabedatei auf diese Größe bringen (1 MB = 1.000.000 Byte): Die Video-Bitrate wird aus der Länge berechnet und das Video in zwei Durchgängen kodiert</translation>
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
