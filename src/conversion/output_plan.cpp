#include "conversion/output_plan.h"

#include <QDir>
#include <QFileInfo>

namespace ostrel {
namespace {

// The canonical form of a path whose file may not exist yet: the folder resolved through
// links, the name kept as it is.
QString CanonicalTarget(const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + QLatin1Char('/') + info.fileName();
}

}  // namespace

bool OutputPlanner::IsTaken(const QString& candidate, const QString& canonicalInput) const {
    const QFileInfo info(candidate);
    if (info.exists() || info.isSymLink()) {
        return true;
    }
    const QString canonical = CanonicalTarget(candidate);
    return canonical == canonicalInput || plannedCanonical_.contains(canonical);
}

QString OutputPlanner::Plan(const QString& inputPath, const QString& desiredPath) {
    const QFileInfo input(inputPath);
    const QString canonicalInput =
        input.exists() ? input.canonicalFilePath() : CanonicalTarget(inputPath);

    const QFileInfo desired(desiredPath);
    const QString folder = desiredPath.left(desiredPath.size() - desired.fileName().size());
    const QString name = desired.fileName();
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

}  // namespace ostrel
