// Walking a folder for media files: every file under it, folder by folder, names in natural
// order ("track 2" before "track 10"), each with its folder relative to the one walked, so an
// output can be written into the same subfolder.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace ostrel {

struct FoundFile {
    QString Path;            // the full path
    QString RelativeFolder;  // "" for the walked folder itself, else "a/b/"
};

struct FolderWalk {
    QList<FoundFile> Files;  // media files, in walking order
    int SkippedFiles = 0;    // files whose names are not those of media files
    int UnreadableFolders = 0;
};

// True when the name ends in one of the extensions of "All Supported Media Files".
bool HasMediaExtension(const QString& fileName);

// Walks folder recursively. Links to folders are not followed (a link may lead out of the tree
// or back into it); links to files are taken as files. Hidden entries (names starting with a
// dot) are left out. Folders that cannot be read are counted and skipped.
FolderWalk WalkFolder(const QString& folder);

// The natural order used between names of one folder.
bool NaturalLess(const QString& a, const QString& b);

// A relative folder as stored in a list or journal is used only when it stays inside the
// folder it is relative to: no "..", ".", empty or absolute part. The cleaned form ends in "/".
QString SafeRelativeFolder(const QString& relativeFolder);

}  // namespace ostrel
