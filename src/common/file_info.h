// Pieces of a file's name and size as the file list and the output planning use them, and the
// questions the host asks the file system about a user's path. These go through the bytes of
// common/engine_path.h, so they answer for names that are not UTF-8 too.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

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

// What a path names, links followed. Only regular files are probed or converted: opening a
// named pipe waits for a writer, and a device may never end.
enum class FileKind { Missing, Regular, Folder, Other };
FileKind KindOf(const QString& path);

// True when something is at path: a file, a folder, or a link even if it leads nowhere.
bool PathTaken(const QString& path);

// The path with every link and "." or ".." resolved, or empty when it does not exist.
QString CanonicalPath(const QString& path);

// The one name of a listed file: its canonical path, or the path itself when it cannot be
// resolved. Two names of one file (through a link) give the same key.
QString SameFileKey(const QString& path);

// The last modification, in local time; invalid when the file system could not tell.
QDateTime ModifiedTime(const QString& path);

// The regular files directly in folder (links followed), by name; hidden ones are left out.
QStringList FilesInFolder(const QString& folder);

}  // namespace ostrel
