// File-list rows as probing makes them, for tests that need a listed file.
#pragma once

#include <QString>

#include "filelist/file_row.h"

namespace ostrel::testing {

// A file with an h264 picture of width × height and aac sound.
inline FileRow VideoFileRow(const QString& path, int width = 320, int height = 240) {
    FileRow row;
    row.FileName = path;
    row.HasVideo = true;
    row.HasAudio = true;
    row.VideoWidth = width;
    row.VideoHeight = height;
    row.VideoCodec = QStringLiteral("h264");
    row.AudioCodec = QStringLiteral("aac");
    return row;
}

}  // namespace ostrel::testing
