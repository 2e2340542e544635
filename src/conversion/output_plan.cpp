#include "conversion/output_plan.h"

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

}  // namespace ostrel
