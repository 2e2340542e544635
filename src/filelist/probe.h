// Probing one file through the engine's decoder into a file-list row.
#pragma once

#include <QString>

#include "filelist/file_row.h"

namespace ostrel {
namespace engine {
class Decoder;
}

struct ProbeResult {
    bool Opened = false;
    QString Error;  // the decoder's text when the file could not be opened
    FileRow Row;
};

// Opens path with the decoder, reads what the list shows and closes it again.
ProbeResult ProbeFile(engine::Decoder& decoder, const QString& path);

}  // namespace ostrel
