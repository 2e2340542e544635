// One row of the file list: what probing found out about one input file.
#pragma once

#include <QString>

namespace ostrel {

inline const QString kNotAvailable = QStringLiteral("N/A");

struct FileRow {
    QString FileName;  // the full path
    QString Type;
    QString Duration;
    QString VideoSize;  // "W X H", or "N/A" without video
    QString FileSize;
    QString Modified;
    QString VideoCodec;  // "N/A" without video
    QString AudioCodec;  // "N/A" without audio
    double DurationSeconds = 0.0;

    bool operator==(const FileRow&) const = default;
};

}  // namespace ostrel
