#include "filelist/folder_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <QSet>
#include <algorithm>

#include "common/engine_path.h"
#include "filelist/file_adder.h"

namespace ostrel {
namespace {

const QSet<QString>& MediaExtensions() {
    static const QSet<QString> extensions = [] {
        QSet<QString> set;
        for (const QString& pattern :
             OpenFilterTable().first().Pattern.split(u';', Qt::SkipEmptyParts)) {
            set.insert(pattern.mid(2).toLower());  // "*.mp3" -> "mp3"
        }
        return set;
    }();
    return extensions;
}

struct Entry {
    QString Name;
    bool IsFolder = false;
};

// The entries of one folder, read through an open descriptor so that a folder replaced by a
// link meanwhile is not entered. False when the folder cannot be read.
bool ReadFolder(int parentFd, const QByteArray& name, int& folderFd, QList<Entry>& entries) {
    folderFd =
        ::openat(parentFd, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folderFd < 0) {
        return false;
    }
    const int listFd = ::dup(folderFd);
    DIR* dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (dir == nullptr) {
        if (listFd >= 0) {
            ::close(listFd);
        }
        return false;
    }
    while (const dirent* item = ::readdir(dir)) {
        if (item->d_name[0] == '.') {
            continue;  // ".", ".." and hidden entries
        }
        struct stat info {};
        if (::fstatat(folderFd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;
        }
        Entry entry;
        entry.Name = DecodeFileName(item->d_name);
        if (S_ISDIR(info.st_mode)) {
            entry.IsFolder = true;
        } else if (S_ISLNK(info.st_mode)) {
            // A link to a file counts as that file; a link to a folder is not followed.
            struct stat target {};
            if (::fstatat(folderFd, item->d_name, &target, 0) != 0 || !S_ISREG(target.st_mode)) {
                continue;
            }
        } else if (!S_ISREG(info.st_mode)) {
            continue;
        }
        entries.append(entry);
    }
    ::closedir(dir);
    std::ranges::stable_sort(entries, NaturalLess, &Entry::Name);
    return true;
}

void Walk(int parentFd, const QByteArray& name, const QString& path, const QString& relative,
          FolderWalk& walk) {
    int folderFd = -1;
    QList<Entry> entries;
    if (!ReadFolder(parentFd, name, folderFd, entries)) {
        if (folderFd >= 0) {
            ::close(folderFd);
        }
        ++walk.UnreadableFolders;
        return;
    }
    // The folder's own files first, then its subfolders one by one.
    for (const Entry& entry : entries) {
        if (entry.IsFolder) {
            continue;
        }
        if (HasMediaExtension(entry.Name)) {
            walk.Files.append({path + entry.Name, relative});
        } else {
            ++walk.SkippedFiles;
        }
    }
    for (const Entry& entry : entries) {
        if (entry.IsFolder) {
            Walk(folderFd, EncodeFileName(entry.Name), path + entry.Name + u'/',
                 relative + entry.Name + u'/', walk);
        }
    }
    ::close(folderFd);
}

}  // namespace

bool HasMediaExtension(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > 0 && MediaExtensions().contains(fileName.mid(dot + 1).toLower());
}

bool NaturalLess(const QString& a, const QString& b) {
    // Runs of digits compare by their value (leading zeros ignored, then fewer zeros first);
    // everything else by its case-folded characters. Names equal that way keep one fixed
    // order by their exact characters.
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype endA = i;
            qsizetype endB = j;
            while (endA < a.size() && a[endA].isDigit()) {
                ++endA;
            }
            while (endB < b.size() && b[endB].isDigit()) {
                ++endB;
            }
            qsizetype startA = i;
            qsizetype startB = j;
            while (startA + 1 < endA && a[startA] == u'0') {
                ++startA;
            }
            while (startB + 1 < endB && b[startB] == u'0') {
                ++startB;
            }
            const qsizetype lengthA = endA - startA;
            const qsizetype lengthB = endB - startB;
            if (lengthA != lengthB) {
                return lengthA < lengthB;
            }
            const int digits =
                QStringView(a).mid(startA, lengthA).compare(QStringView(b).mid(startB, lengthB));
            if (digits != 0) {
                return digits < 0;
            }
            if (endA - i != endB - j) {
                return endA - i < endB - j;
            }
            i = endA;
            j = endB;
            continue;
        }
        const QChar foldedA = a[i].toCaseFolded();
        const QChar foldedB = b[j].toCaseFolded();
        if (foldedA != foldedB) {
            return foldedA < foldedB;
        }
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) {
        return a.size() - i < b.size() - j;
    }
    return a < b;
}

FolderWalk WalkFolder(const QString& folder) {
    FolderWalk walk;
    QString path = folder;
    while (path.size() > 1 && path.endsWith(u'/')) {
        path.chop(1);
    }
    // The walked folder itself may be a link the user chose; below it, links are not followed.
    const int rootFd = ::open(EncodeFileName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0) {
        ++walk.UnreadableFolders;
        return walk;
    }
    Walk(rootFd, QByteArrayLiteral("."), path == QLatin1String("/") ? path : path + u'/', QString(),
         walk);
    ::close(rootFd);
    return walk;
}

QString SafeRelativeFolder(const QString& relativeFolder) {
    if (relativeFolder.isEmpty() || relativeFolder.startsWith(u'/')) {
        return {};
    }
    const QStringList parts = relativeFolder.split(u'/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        if (part == QLatin1String("..") || part == QLatin1String(".")) {
            return {};
        }
    }
    return parts.isEmpty() ? QString() : parts.join(u'/') + u'/';
}

}  // namespace ostrel
