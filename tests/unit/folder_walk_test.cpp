#include "filelist/folder_walk.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "qt_printers.h"

namespace ostrel {
namespace {

void Touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(FolderWalkTest, NaturalOrder) {
    const struct {
        QString a;
        QString b;
    } ordered[] = {
        {"track 2.mp3", "track 10.mp3"},
        {"a.mp3", "B.mp3"},
        {"B.mp3", "c.mp3"},
        {"2.mp3", "02.mp3"},
        {"1.mp3", "01.mp3"},
        {"x9", "x10y"},
        {"song", "song 1"},
        {"Song.mp3", "song.mp3"},
        {"9", "a"},
    };
    for (const auto& c : ordered) {
        EXPECT_TRUE(NaturalLess(c.a, c.b)) << c.a.toStdString() << " < " << c.b.toStdString();
        EXPECT_FALSE(NaturalLess(c.b, c.a)) << c.b.toStdString() << " < " << c.a.toStdString();
    }
    EXPECT_FALSE(NaturalLess("same", "same"));
}

TEST(FolderWalkTest, SafeRelativeFolder) {
    const struct {
        QString stored;
        QString used;
    } cases[] = {
        {"", ""},      {"a", "a/"},     {"a/b/", "a/b/"}, {"a//b", "a/b/"}, {"/etc/", ""},
        {"../x/", ""}, {"a/../b/", ""}, {"./a/", ""},     {"a/..", ""},     {"..a/", "..a/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SafeRelativeFolder(c.stored), c.used) << c.stored.toStdString();
    }
}

// A tree of three levels with equal names in different folders, a link out of the tree, a
// link to a file, hidden and non-media files: folder by folder, names in natural order.
TEST(FolderWalkTest, WalksATreeFolderByFolder) {
    QTemporaryDir dir;
    QTemporaryDir outside;
    ASSERT_TRUE(dir.isValid() && outside.isValid());
    const QString d = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(QDir().mkpath(d + "b/c"));
    ASSERT_TRUE(QDir().mkpath(d + "a"));
    for (const char* name : {"song.mp3", "notes.txt", ".hidden.mp3", "Track 10.WAV", "track 2.wav",
                             "a/song.mp3", "b/song.mp3", "b/c/song.mp3", "b/c/cover.jpg"}) {
        Touch(d + QLatin1String(name));
    }
    Touch(outside.path() + "/far.mp3");
    ASSERT_TRUE(QFile::link(outside.path(), d + "b/out"));
    ASSERT_TRUE(QFile::link(outside.path() + "/far.mp3", d + "a/linked.mp3"));

    const FolderWalk walk = WalkFolder(dir.path());
    QStringList found;
    for (const FoundFile& file : walk.Files) {
        EXPECT_EQ(file.Path, d + file.RelativeFolder + file.Path.section(u'/', -1));
        found << file.RelativeFolder + file.Path.section(u'/', -1);
    }
    EXPECT_EQ(found, (QStringList{"song.mp3", "track 2.wav", "Track 10.WAV", "a/linked.mp3",
                                  "a/song.mp3", "b/song.mp3", "b/c/song.mp3"}));
    EXPECT_EQ(walk.SkippedFiles, 2);  // notes.txt, cover.jpg
    EXPECT_EQ(walk.UnreadableFolders, 0);
}

// A folder the user may not read is counted and skipped; the rest of the tree is walked. Root
// reads every folder, so the walk then runs in a child as an unprivileged user.
TEST(FolderWalkTest, UnreadableSubfolderIsCountedAndSkipped) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString d = dir.path() + QLatin1Char('/');
    ASSERT_TRUE(QDir().mkpath(d + "locked"));
    ASSERT_TRUE(QDir().mkpath(d + "open"));
    Touch(d + "locked/x.mp3");
    Touch(d + "open/y.mp3");
    ASSERT_TRUE(QFile::setPermissions(d + "locked", QFileDevice::WriteOwner));
    QFile::setPermissions(d, QFileDevice::Permissions(0x7755));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            ::_exit(3);
        }
        const FolderWalk walk = WalkFolder(dir.path());
        const bool expected = walk.UnreadableFolders == 1 && walk.Files.size() == 1 &&
                              walk.Files[0].Path == d + "open/y.mp3";
        ::_exit(expected ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    QFile::setPermissions(d + "locked", QFileDevice::Permissions(0x7700));
}

}  // namespace
}  // namespace ostrel
