// Pieces of a file's name and size as the file list and the output planning use them.
#pragma once

#include <QString>

namespace ostrel {

// The extension of the path's file name in upper case, or empty when the name has none
// ("/v/clip.mp4" → "MP4", "/v.d/clip" → "", "/v/clip." → "", "/v/.hidden" → "HIDDEN").
QString ExtensionUpper(const QString& path);

// Size in bytes of the regular file at path; 0 when there is no such file (missing, or not a
// regular file); -1 when the file system could not be asked.
double FileSizeBytes(const QString& path);

double BytesToMegabytes(double bytes);

// The file name of path without folder and extension ("/v/clip.mp4" → "clip"). A name
// without a dot, or whose only dot leads, is kept whole ("/v/clip" → "clip"), so its output
// never becomes a bare hidden extension such as ".mp4".
QString GetBaseName(const QString& path);

}  // namespace ostrel
