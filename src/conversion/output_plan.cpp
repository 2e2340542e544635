#include "conversion/output_plan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "common/engine_path.h"
#include "common/file_info.h"

namespace ostrel {
namespace {

// The canonical form of a path whose file may not exist yet: the folder resolved through
// links, the name kept as it is.
QString CanonicalTarget(const QString& path) {
    const QString absolute = AbsolutePath(path);
    const qsizetype slash = absolute.lastIndexOf(QLatin1Char('/'));
    const QString folder = CanonicalPath(slash > 0 ? absolute.left(slash) : QStringLiteral("/"));
    return folder.isEmpty() ? absolute
                            : (folder.endsWith(QLatin1Char('/')) ? folder : folder + u'/') +
                                  absolute.mid(slash + 1);
}

}  // namespace

bool OutputPlanner::IsTaken(const QString& candidate, const QString& canonicalInput) const {
    if (PathTaken(candidate)) {
        return true;
    }
    const QString canonical = CanonicalTarget(candidate);
    return canonical == canonicalInput || plannedCanonical_.contains(canonical);
}

QString OutputPlanner::Plan(const QString& inputPath, const QString& desiredPath) {
    const QString existingInput = CanonicalPath(inputPath);
    const QString canonicalInput =
        existingInput.isEmpty() ? CanonicalTarget(inputPath) : existingInput;

    const qsizetype slash = desiredPath.lastIndexOf(QLatin1Char('/'));
    const QString folder = desiredPath.left(slash + 1);
    const QString name = desiredPath.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();

    QString candidate = desiredPath;
    for (int n = 1; IsTaken(candidate, canonicalInput); ++n) {
        candidate = folder + stem + QStringLiteral(" (%1)").arg(n) + extension;
    }
    planned_.append(candidate);
    plannedCanonical_.append(CanonicalTarget(candidate));
    return candidate;
}

QString CreateOutputSubfolders(const QString& outputFolder, const QString& relativeFolder) {
    // The output folder itself is the user's choice and may be a link; below it nothing is.
    int folderFd =
        ::open(EncodeFileName(outputFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        return QStringLiteral("Cannot open the output folder: ") +
               QString::fromLocal8Bit(std::strerror(errno));
    }
    QString made = outputFolder;
    for (const QString& part : relativeFolder.split(u'/', Qt::SkipEmptyParts)) {
        const QByteArray name = EncodeFileName(part);
        made += part + u'/';
        if (::mkdirat(folderFd, name.constData(), 0777) != 0 && errno != EEXIST) {
            const int error = errno;
            ::close(folderFd);
            return QStringLiteral("Cannot create the folder %1: %2")
                .arg(made, QString::fromLocal8Bit(std::strerror(error)));
        }
        const int next =
            ::openat(folderFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(folderFd);
        if (next < 0) {
            return error == ELOOP || error == ENOTDIR
                       ? QStringLiteral(
                             "%1 is a link or not a folder; "
                             "outputs are never written through a link")
                             .arg(made)
                       : QStringLiteral("Cannot open the folder %1: %2")
                             .arg(made, QString::fromLocal8Bit(std::strerror(error)));
        }
        folderFd = next;
    }
    ::close(folderFd);
    return {};
}

bool CopyModificationTime(const QString& inputPath, const QString& outputPath) {
    struct stat input {};
    if (::stat(EncodeFileName(inputPath).constData(), &input) != 0) {
        return false;
    }
    const timespec times[2] = {{0, UTIME_OMIT}, input.st_mtim};
    return ::utimensat(AT_FDCWD, EncodeFileName(outputPath).constData(), times,
                       AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace ostrel
