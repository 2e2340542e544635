// One row of the file list: what probing found out about one input file, as values. The list
// model derives the texts it shows from them.
#pragma once

#include <QDateTime>
#include <QString>

namespace ostrel {

struct FileRow {
    QString FileName;  // the full path exactly as it was added
    QString Identity;  // the file's canonical path: every name of one file has the same
    double DurationSeconds = 0.0;
    double SizeBytes = 0.0;  // -1 when the file system could not tell
    QDateTime Modified;      // the last modification; invalid when unknown
    bool HasVideo = false;
    bool HasAudio = false;
    int VideoWidth = 0;  // the picture as shown
    int VideoHeight = 0;
    QString VideoCodec;  // the decoder's codec names
    QString AudioCodec;
    // For a file added from a folder: its folder relative to the one added ("a/b/"), where a
    // run that keeps the folder structure writes its output; empty otherwise.
    QString RelativeFolder;

    bool operator==(const FileRow&) const = default;
};

}  // namespace ostrel
