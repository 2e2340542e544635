// Probing one file through the engine's decoder into a file-list row.
#pragma once

#include <QLocale>
#include <QString>

#include "filelist/file_row.h"

namespace ostrel {
namespace engine {
class Decoder;
}

struct ProbeResult {
    bool Opened = false;
    QString Error;  // the decoder's text when the file could not be opened
    bool HasVideo = false;
    bool HasAudio = false;
    FileRow Row;
};

// Opens path with the decoder, reads what the list shows and closes it again. Sizes are
// written with the locale's marks ("1,234.5 MB"), times in local time.
ProbeResult ProbeFile(engine::Decoder& decoder, const QString& path,
                      const QLocale& locale = QLocale());

// "1,234.5 MB": megabytes with one decimal and the locale's group and decimal marks.
QString FormatMegabytes(double megabytes, const QLocale& locale = QLocale());

}  // namespace ostrel
