#include "common/file_info.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
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

FileKind KindOf(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::stat(EncodeFileName(path).constData(), &info) != 0) {
        return FileKind::Missing;
    }
    return S_ISREG(info.st_mode)   ? FileKind::Regular
           : S_ISDIR(info.st_mode) ? FileKind::Folder
                                   : FileKind::Other;
}

bool PathTaken(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::lstat(EncodeFileName(path).constData(), &info) == 0;
}

QString CanonicalPath(const QString& path) {
    if (path.isEmpty()) {
        return {};
    }
    const std::unique_ptr<char, decltype(&std::free)> resolved(
        ::realpath(EncodeFileName(path).constData(), nullptr), &std::free);
    return resolved ? DecodeFileName(QByteArray(resolved.get())) : QString();
}

QString SameFileKey(const QString& path) {
    const QString canonical = CanonicalPath(path);
    return canonical.isEmpty() ? path : canonical;
}

QDateTime ModifiedTime(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::stat(EncodeFileName(path).constData(), &info) != 0) {
        return {};
    }
    const qint64 ms =
        static_cast<qint64>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
    return QDateTime::fromMSecsSinceEpoch(ms);
}

QStringList FilesInFolder(const QString& folder) {
    QStringList paths;
    const auto close = [](DIR* open) { ::closedir(open); };
    const std::unique_ptr<DIR, decltype(close)> dir(::opendir(EncodeFileName(folder).constData()),
                                                    close);
    if (!dir) {
        return paths;
    }
    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray name(entry->d_name);
        const QString path = prefix + DecodeFileName(name);
        if (!name.startsWith('.') && KindOf(path) == FileKind::Regular) {
            paths.append(path);
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace ostrel
