<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES">
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
</context>
<context>
    <name>ostrel::SettingsGridView</name>
    <message>
        <source>Settings</source>
        <translation>Ajustes</translation>
    </message>
</context>
</TS>
