#include "common/file_info.h"

#include <filesystem>
#include <system_error>

#include "common/engine_path.h"

namespace ostrel {

QString ExtensionUpper(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (dot > 0 && slash < dot) {
        return path.mid(dot + 1).toUpper();
    }
    return {};
}

double FileSizeBytes(const QString& path) {
    if (path.isEmpty()) {
        return 0.0;
    }
    const std::filesystem::path fsPath(ToEnginePath(path));
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(fsPath, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return 0.0;
    }
    if (error) {
        return -1.0;
    }
    if (status.type() != std::filesystem::file_type::regular) {
        return 0.0;
    }
    const std::uintmax_t size = std::filesystem::file_size(fsPath, error);
    return error ? -1.0 : static_cast<double>(size);
}

double BytesToMegabytes(double bytes) {
    return bytes / 1024.0 / 1024.0;
}

QString GetBaseName(const QString& path) {
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? name : name.left(dot);
}

}  // namespace ostrel
