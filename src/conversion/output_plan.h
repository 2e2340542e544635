// Planning the output paths of a whole run before the first task is queued, so that no
// output overwrites an input, another output of the run or a file that already exists.
#pragma once

#include <QString>
#include <QStringList>

namespace ostrel {

class OutputPlanner {
  public:
    // The path to write the output of inputPath to, given the path the builder derived.
    // A clash with the input itself, an earlier output of this run or an existing file
    // gets " (1)", " (2)" … before the extension.
    QString Plan(const QString& inputPath, const QString& desiredPath);

    const QStringList& Planned() const { return planned_; }

  private:
    bool IsTaken(const QString& candidate, const QString& canonicalInput) const;

    QStringList planned_;
    QStringList plannedCanonical_;
};

// Creates relativeFolder ("a/b/") under outputFolder, part by part, each made or opened
// without following a link, so no output is ever written through a link out of the output
// folder. Returns the empty text on success, else what went wrong.
QString CreateOutputSubfolders(const QString& outputFolder, const QString& relativeFolder);

// Gives outputPath the modification time of inputPath (the access time is left as it is);
// a link at outputPath is not followed. False when either step fails.
bool CopyModificationTime(const QString& inputPath, const QString& outputPath);

}  // namespace ostrel
