<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES">
<context>
    <name>ostrel::Catalogue</name>
    <message>
        <source>General Audio Format</source>
        <translation>Formatos de audio generales</translation>
    </message>
    <message>
        <source>General Video Format</source>
        <translation>Formatos de vídeo generales</translation>
    </message>
    <message>
        <source>Device</source>
        <translation>Dispositivo</translation>
    </message>
    <message>
        <source>HD Video</source>
        <translation>Vídeo HD</translation>
    </message>
    <message>
        <source>Web Video</source>
        <translation>Vídeo web</translation>
    </message>
</context>
<context>
    <name>ostrel::Commands</name>
    <message>
        <source>More Buttons</source>
        <translation>Más botones</translation>
    </message>
    <message>
        <source>File</source>
        <translation>Archivo</translation>
    </message>
    <message>
        <source>Add Files</source>
        <translation>Añadir archivos</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Añadir</translation>
    </message>
    <message>
        <source>Exit     </source>
        <translation>Salir     </translation>
    </message>
    <message>
        <source>List</source>
        <translation>Lista</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Seleccionar todo</translation>
    </message>
    <message>
        <source>Invert Selection</source>
        <translation>Invertir selección</translation>
    </message>
    <message>
        <source>Invert Selection   </source>
        <translation>Invertir selección   </translation>
    </message>
    <message>
        <source>Clear All</source>
        <translation>Quitar todo</translation>
    </message>
    <message>
        <source>Remove Selected Files</source>
        <translation>Quitar los archivos seleccionados</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Quitar</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Ayuda</translation>
    </message>
    <message>
        <source>About...</source>
        <translation>Acerca de...</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Acerca de</translation>
    </message>
    <message>
        <source>Website</source>
        <translation>Sitio web</translation>
    </message>
    <message>
        <source>Toobar</source>
        <translation>Barra de herramientas</translation>
    </message>
    <message>
        <source>Convert Files</source>
        <translation>Convertir archivos</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Convertir</translation>
    </message>
    <message>
        <source>Move Up</source>
        <translation>Subir</translation>
    </message>
    <message>
        <source>Move Down</source>
        <translation>Bajar</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Reproducir</translation>
    </message>
    <message>
        <source>Help Contents</source>
        <translation>Contenido de la ayuda</translation>
    </message>
    <message>
        <source>Add Folder...</source>
        <translation>Añadir carpeta...</translation>
    </message>
    <message>
        <source>Add Folder</source>
        <translation>Añadir carpeta</translation>
    </message>
    <message>
        <source>Add every media file of a folder and its subfolders</source>
        <translation>Añadir todos los archivos multimedia de una carpeta y sus subcarpetas</translation>
    </message>
</context>
<context>
    <name>ostrel::ConversionRun</name>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Cannot convert.%1
Error: %2
Please try to convert it to another format</source>
        <translation>No se puede convertir.%1
Error: %2
Intente convertirlo a otro formato</translation>
    </message>
    <message>
        <source>Converting...</source>
        <translation>Convirtiendo...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Correcto</translation>
    </message>
    <message>
        <source>Error: %1</source>
        <translation>Error: %1</translation>
    </message>
    <message>
        <source>Canceled</source>
        <translation>Cancelado</translation>
    </message>
    <message>
        <source>OK (video and audio copied)</source>
        <translation>OK (vídeo y audio copiados)</translation>
    </message>
    <message>
        <source>OK (video copied)</source>
        <translation>OK (vídeo copiado)</translation>
    </message>
    <message>
        <source>OK (audio copied)</source>
        <translation>OK (audio copiado)</translation>
    </message>
    <message>
        <source>Paused: the output disk is almost full (%1 GB free)</source>
        <translation>En pausa: el disco de salida está casi lleno (%1 GB libres)</translation>
    </message>
</context>
<context>
    <name>ostrel::ConversionUi</name>
    <message>
        <source>Converting files</source>
        <translation>Convirtiendo archivos</translation>
    </message>
    <message>
        <source>The last conversion was interrupted: %1 of %2 files done. Convert the remaining %3?</source>
        <translation>La última conversión se interrumpió: %1 de %2 archivos hechos. ¿Convertir los %3 restantes?</translation>
    </message>
</context>
<context>
    <name>ostrel::DeviceLimits</name>
    <message>
        <source>Plays on %1: %2, up to %3x%4</source>
        <translation>Se reproduce en %1: %2, hasta %3x%4</translation>
    </message>
    <message>
        <source> (not met: %1)</source>
        <translation> (no cumplido: %1)</translation>
    </message>
</context>
<context>
    <name>ostrel::FileAdder</name>
    <message>
        <source>All Supported Media Files</source>
        <translation>Todos los archivos multimedia compatibles</translation>
    </message>
    <message>
        <source>All Supported Audio Files</source>
        <translation>Todos los archivos de audio compatibles</translation>
    </message>
    <message>
        <source>All Supported Video Files</source>
        <translation>Todos los archivos de vídeo compatibles</translation>
    </message>
    <message>
        <source>All Files (*.*)</source>
        <translation>Todos los archivos (*.*)</translation>
    </message>
</context>
<context>
    <name>ostrel::FileListModel</name>
    <message>
        <source>File Name</source>
        <translation>Nombre de archivo</translation>
    </message>
    <message>
        <source>Type</source>
        <translation>Tipo</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Duración</translation>
    </message>
    <message>
        <source>Video Size</source>
        <translation>Tamaño de vídeo</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>Tamaño</translation>
    </message>
    <message>
        <source>Modified</source>
        <translation>Modificado</translation>
    </message>
    <message>
        <source>Video Codec</source>
        <translation>Códec de vídeo</translation>
    </message>
    <message>
        <source>Audio Codec</source>
        <translation>Códec de audio</translation>
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
        <translation>Espere, por favor...</translation>
    </message>
    <message>
        <source>&amp;Stop</source>
        <translation>&amp;Detener</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Cerrar</translation>
    </message>
    <message>
        <source>&amp;Open Output Folder</source>
        <translation>&amp;Abrir carpeta de salida</translation>
    </message>
    <message>
        <source>Copy Error</source>
        <translation>Copiar error</translation>
    </message>
    <message>
        <source>Files</source>
        <translation>Archivos</translation>
    </message>
    <message>
        <source>&amp;Pause</source>
        <translation>&amp;Pausa</translation>
    </message>
    <message>
        <source>&amp;Resume</source>
        <translation>&amp;Reanudar</translation>
    </message>
    <message>
        <source>Do nothing</source>
        <translation>No hacer nada</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>Suspend</source>
        <translation>Suspender</translation>
    </message>
    <message>
        <source>Shut down</source>
        <translation>Apagar</translation>
    </message>
    <message>
        <source>When done:</source>
        <translation>Al terminar:</translation>
    </message>
</context>
<context>
    <name>ostrel::FormFlash</name>
    <message>
        <source>Start...</source>
        <translation>Inicio...</translation>
    </message>
    <message>
        <source>Converts audio and video files for players, phones, consoles and the web. Media work by the FFmpeg libraries.</source>
        <translation>Convierte archivos de audio y vídeo para reproductores, teléfonos, consolas y la web. Los medios los procesan las bibliotecas FFmpeg.</translation>
    </message>
    <message>
        <source>Free software under the GNU General Public License, version 2 or later.</source>
        <translation>Software libre bajo la Licencia Pública General de GNU, versión 2 o posterior.</translation>
    </message>
</context>
<context>
    <name>ostrel::FormPlayer</name>
    <message>
        <source>The file cannot be played.</source>
        <translation>El archivo no se puede reproducir.</translation>
    </message>
    <message>
        <source>Seek</source>
        <translation>Posición</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Volumen</translation>
    </message>
    <message>
        <source>Play (Space)</source>
        <translation>Reproducir (Espacio)</translation>
    </message>
    <message>
        <source>Pause (Space)</source>
        <translation>Pausa (Espacio)</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Reproducir</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pausa</translation>
    </message>
    <message>
        <source>Subtitles</source>
        <translation>Subtítulos</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Ninguno</translation>
    </message>
</context>
<context>
    <name>ostrel::FormVideoFormat</name>
    <message>
        <source>Output Settings</source>
        <translation>Ajustes de salida</translation>
    </message>
    <message>
        <source>Output &amp;Format:</source>
        <translation>&amp;Formato de salida:</translation>
    </message>
    <message>
        <source>Video &amp;Size:</source>
        <translation>&amp;Tamaño de vídeo:</translation>
    </message>
    <message>
        <source>&amp;Width:</source>
        <translation>A&amp;ncho:</translation>
    </message>
    <message>
        <source>&amp;Height:</source>
        <translation>A&amp;lto:</translation>
    </message>
    <message>
        <source>&amp;Video Quality:</source>
        <translation>Calidad de &amp;vídeo:</translation>
    </message>
    <message>
        <source>&amp;Audio Quality:</source>
        <translation>Calidad de &amp;audio:</translation>
    </message>
    <message>
        <source>&amp;Destination:</source>
        <translation>&amp;Destino:</translation>
    </message>
    <message>
        <source>C&amp;PU Cores:</source>
        <translation>Núcleos de C&amp;PU:</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>&amp;Examinar...</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Invalid path!</source>
        <translation>¡Ruta no válida!</translation>
    </message>
</context>
<context>
    <name>ostrel::FormWait</name>
    <message>
        <source>Please wait...</source>
        <translation>Espere, por favor...</translation>
    </message>
    <message>
        <source>Reading files, please wait...</source>
        <translation>Leyendo archivos, espere, por favor...</translation>
    </message>
    <message>
        <source>%1 of %2 files</source>
        <translation>%1 de %2 archivos</translation>
    </message>
</context>
<context>
    <name>ostrel::FormatDialogModel</name>
    <message>
        <source>Auto</source>
        <translation>Automático</translation>
    </message>
    <message>
        <source>Custom...</source>
        <translation>Personalizado...</translation>
    </message>
    <message>
        <source>High (larger file size)</source>
        <translation>Alta (archivo más grande)</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Low (smaller file size)</source>
        <translation>Baja (archivo más pequeño)</translation>
    </message>
    <message>
        <source>More &lt;&lt;</source>
        <translation>Más &lt;&lt;</translation>
    </message>
    <message>
        <source>More &gt;&gt;</source>
        <translation>Más &gt;&gt;</translation>
    </message>
</context>
<context>
    <name>ostrel::ListTotals</name>
    <message>
        <source>Total Files: </source>
        <translation>Total de archivos: </translation>
    </message>
    <message>
        <source>Total Duration: </source>
        <translation>Duración total: </translation>
    </message>
</context>
<context>
    <name>ostrel::MainWindow</name>
    <message>
        <source>Files</source>
        <translation>Archivos</translation>
    </message>
    <message>
        <source>Video lib not found</source>
        <translation>No se encontró la biblioteca de vídeo</translation>
    </message>
    <message>
        <source>Please add file to the list.</source>
        <translation>Añada un archivo a la lista.</translation>
    </message>
    <message>
        <source>Do you want to exit?</source>
        <translation>¿Desea salir?</translation>
    </message>
    <message>
        <source>Do you want to visit our website to check if there is a new version released?</source>
        <translation>¿Desea visitar nuestro sitio web para comprobar si hay una versión nueva?</translation>
    </message>
    <message>
        <source>%1 file(s) were not added: they are not media files or cannot be opened.</source>
        <translation>%1 archivo(s) no se añadieron: no son archivos multimedia o no se pueden abrir.</translation>
    </message>
    <message>
        <source>%1 folder(s) could not be read.</source>
        <translation>%1 carpeta(s) no se pudieron leer.</translation>
    </message>
</context>
<context>
    <name>ostrel::Messages</name>
    <message>
        <source>Can not open file: 
%1

Error: 
%2</source>
        <translation>No se puede abrir el archivo: 
%1

Error: 
%2</translation>
    </message>
</context>
<context>
    <name>ostrel::MuteToggle</name>
    <message>
        <source>Mute</source>
        <translation>Silenciar</translation>
    </message>
    <message>
        <source>Sound off (M)</source>
        <translation>Sonido desactivado (M)</translation>
    </message>
    <message>
        <source>Sound on (M)</source>
        <translation>Sonido activado (M)</translation>
    </message>
    <message>
        <source>Unmute</source>
        <translation>Activar sonido</translation>
    </message>
</context>
<context>
    <name>ostrel::OpenWith</name>
    <message>
        <source>The open window did not answer, so the files were not added.</source>
        <translation>La ventana abierta no respondió, así que no se añadieron los archivos.</translation>
    </message>
</context>
<context>
    <name>ostrel::Probe</name>
    <message>
        <source>Not a regular file</source>
        <translation>No es un archivo normal</translation>
    </message>
</context>
<context>
    <name>ostrel::RunOverview</name>
    <message>
        <source>Convert Finished!</source>
        <translation>¡Conversión terminada!</translation>
    </message>
    <message>
        <source>Convert Stopped!</source>
        <translation>¡Conversión detenida!</translation>
    </message>
    <message>
        <source>Convert Finished with errors!</source>
        <translation>¡Conversión terminada con errores!</translation>
    </message>
    <message>
        <source>Convert Finished. Click here to open the output folder</source>
        <translation>Conversión terminada. Haga clic aquí para abrir la carpeta de salida</translation>
    </message>
    <message>
        <source>%1 file</source>
        <translation>%1 archivo</translation>
    </message>
    <message>
        <source>%1 files</source>
        <translation>%1 archivos</translation>
    </message>
    <message>
        <source>Stopped: %1 of %2 converted. Click here to open the output folder</source>
        <translation>Detenido: %1 de %2 convertidos. Haga clic aquí para abrir la carpeta de salida</translation>
    </message>
    <message>
        <source>%1 of %2 converted, %3 failed. Click here to open the output folder</source>
        <translation>%1 de %2 convertidos, %3 con error. Haga clic aquí para abrir la carpeta de salida</translation>
    </message>
    <message>
        <source>%1 of %2 done</source>
        <translation>%1 de %2 procesados</translation>
    </message>
    <message>
        <source>%1 of %2 converted</source>
        <translation>%1 de %2 convertidos</translation>
    </message>
    <message>
        <source>Elapsed %1</source>
        <translation>Transcurrido %1</translation>
    </message>
    <message>
        <source>Remaining about %1</source>
        <translation>Restante aprox. %1</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>En pausa</translation>
    </message>
</context>
<context>
    <name>ostrel::RunRowsModel</name>
    <message>
        <source>Output File Name</source>
        <translation>Nombre del archivo de salida</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Progreso</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Estado</translation>
    </message>
</context>
<context>
    <name>ostrel::SettingsGrid</name>
    <message>
        <source>Auto</source>
        <translation>Automático</translation>
    </message>
    <message>
        <source>Filename Extension</source>
        <translation>Extensión del archivo</translation>
    </message>
    <message>
        <source>Video Bitrate</source>
        <translation>Tasa de bits de vídeo</translation>
    </message>
    <message>
        <source>Set the video bit rate in bps (Bit Per Second)</source>
        <translation>Establece la tasa de bits de vídeo en bps (bits por segundo)</translation>
    </message>
    <message>
        <source>Frame Rate (FPS)</source>
        <translation>Fotogramas por segundo (FPS)</translation>
    </message>
    <message>
        <source>Set how many frames should be displayed per second. Higher frame rate increases the smoothness when played back</source>
        <translation>Establece cuántos fotogramas se muestran por segundo. Una frecuencia mayor hace la reproducción más fluida</translation>
    </message>
    <message>
        <source>Aspect Rate</source>
        <translation>Relación de aspecto</translation>
    </message>
    <message>
        <source>Set width to height ratio according to the screen aspect of your playback device</source>
        <translation>Establece la relación entre ancho y alto según la pantalla de su reproductor</translation>
    </message>
    <message>
        <source>Crop Video</source>
        <translation>Recortar vídeo</translation>
    </message>
    <message>
        <source>Crop the input video</source>
        <translation>Recorta el vídeo de entrada</translation>
    </message>
    <message>
        <source>Top</source>
        <translation>Arriba</translation>
    </message>
    <message>
        <source>Bottom</source>
        <translation>Abajo</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Izquierda</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Derecha</translation>
    </message>
    <message>
        <source>Vertically Flip</source>
        <translation>Voltear verticalmente</translation>
    </message>
    <message>
        <source>Flip the input video vertically</source>
        <translation>Voltea el vídeo de entrada verticalmente</translation>
    </message>
    <message>
        <source>Horizontally Flip</source>
        <translation>Voltear horizontalmente</translation>
    </message>
    <message>
        <source>Flip the input video horizontally</source>
        <translation>Voltea el vídeo de entrada horizontalmente</translation>
    </message>
    <message>
        <source>Rotate</source>
        <translation>Girar</translation>
    </message>
    <message>
        <source>Rotate the video xx degrees clockwise. Valid number is from -270 to 270</source>
        <translation>Gira el vídeo xx grados en sentido horario. Los valores válidos van de -270 a 270</translation>
    </message>
    <message>
        <source>Audio Bitrate</source>
        <translation>Tasa de bits de audio</translation>
    </message>
    <message>
        <source>Set the audio bitrate in bps(Bit Per Second)</source>
        <translation>Establece la tasa de bits de audio en bps (bits por segundo)</translation>
    </message>
    <message>
        <source>Sample Rate</source>
        <translation>Frecuencia de muestreo</translation>
    </message>
    <message>
        <source>Set the audio sampling frequency (the number of samples per second)</source>
        <translation>Establece la frecuencia de muestreo de audio (muestras por segundo)</translation>
    </message>
    <message>
        <source>Channels</source>
        <translation>Canales</translation>
    </message>
    <message>
        <source>Set number of audio channels. 1 - Mono, 2 - Stereo</source>
        <translation>Establece el número de canales de audio. 1 – mono, 2 – estéreo</translation>
    </message>
    <message>
        <source>Remove Audio</source>
        <translation>Quitar audio</translation>
    </message>
    <message>
        <source>Output File</source>
        <translation>Archivo de salida</translation>
    </message>
    <message>
        <source>Video Settings</source>
        <translation>Ajustes de vídeo</translation>
    </message>
    <message>
        <source>Audio Settings</source>
        <translation>Ajustes de audio</translation>
    </message>
    <message>
        <source>Keep Folder Structure</source>
        <translation>Mantener estructura de carpetas</translation>
    </message>
    <message>
        <source>Write the output of a file added with its folder into the same subfolder under the output folder</source>
        <translation>Escribir la salida de un archivo añadido con su carpeta en la misma subcarpeta bajo la carpeta de salida</translation>
    </message>
    <message>
        <source>Keep File Date</source>
        <translation>Mantener fecha del archivo</translation>
    </message>
    <message>
        <source>Give each output file the modification time of its input file</source>
        <translation>Dar a cada archivo de salida la fecha de modificación de su archivo de entrada</translation>
    </message>
    <message>
        <source>Copy Streams That Fit</source>
        <translation>Copiar pistas compatibles</translation>
    </message>
    <message>
        <source>Copy a stream as it is, without converting it, when the output can take it unchanged: much faster, and no quality is lost</source>
        <translation>Copiar una pista tal cual, sin convertirla, cuando la salida puede aceptarla sin cambios: mucho más rápido y sin pérdida de calidad</translation>
    </message>
    <message>
        <source>Target File Size (MB)</source>
        <translation>Tamaño de archivo objetivo (MB)</translation>
    </message>
    <message>
        <source>Make the output file this size (1 MB = 1,000,000 bytes): the video bit rate is computed from the length and the video is encoded in two passes</source>
        <translation>Dar este tamaño al archivo de salida (1 MB = 1.000.000 bytes): la tasa de bits del vídeo se calcula a partir de la duración y el vídeo se codifica en dos pasadas</translation>
    </message>
</context>
<context>
    <name>ostrel::SettingsGridView</name>
    <message>
        <source>Settings</source>
        <translation>Ajustes</translation>
    </message>
</context>
</TS>
