#include "common/file_info.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/engine_path.h"
#include "qt_printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fstream>

namespace ostrel {
namespace {

TEST(FileNameTest, ExtensionUpperAndBaseName) {
    const struct {
        const char* path;
        const char* extension;
        const char* baseName;
    } cases[] = {
        {"/v/clip.mp4", "MP4", "clip"},
        {"/v.d/clip", "", "clip"},
        {"/v/clip.", "", "clip"},
        {"/v/.hidden", "HIDDEN", ".hidden"},
        {"/v/my clip.final.MkV", "MKV", "my clip.final"},
        {"clip.avi", "AVI", "clip"},
        {"clip", "", "clip"},
        {"/v/Ünïcode name.wav", "WAV", "Ünïcode name"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        const QString path = QString::fromUtf8(c.path);
        EXPECT_EQ(ExtensionUpper(path), QString::fromUtf8(c.extension)) << c.path;
        EXPECT_EQ(GetBaseName(path), QString::fromUtf8(c.baseName)) << c.path;
    }
}

TEST(FileSizeTest, RegularFilesOnly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plain = dir.filePath(QStringLiteral("clip.mp4"));
    const QString hidden = dir.filePath(QStringLiteral(".hidden.mp4"));
    for (const QString& path : {plain, hidden}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(3000, 'x'));
    }
    EXPECT_EQ(FileSizeBytes(plain), 3000.0);
    EXPECT_EQ(FileSizeBytes(hidden), 3000.0);  // hidden files have a size too
    EXPECT_EQ(FileSizeBytes(dir.filePath(QStringLiteral("missing.mp4"))), 0.0);
    EXPECT_EQ(FileSizeBytes(dir.path()), 0.0);
    EXPECT_EQ(FileSizeBytes(QString()), 0.0);
}

TEST(FileSizeTest, Megabytes) {
    EXPECT_DOUBLE_EQ(BytesToMegabytes(1048576.0), 1.0);
    EXPECT_DOUBLE_EQ(BytesToMegabytes(1572864.0), 1.5);
    EXPECT_DOUBLE_EQ(BytesToMegabytes(0.0), 0.0);
}

// What the file list and the output planning ask of a path, for a name that is not UTF-8
// too: Qt's own file access would not find that file.
TEST(FileKindTest, KindsLinksAndNamesThatAreNotUtf8) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray root = QFile::encodeName(dir.path());
    const QString file = DecodeFileName(root + "/caf\xe9.mp4");
    const QString link = dir.filePath(QStringLiteral("link.mp4"));
    const QString dangling = dir.filePath(QStringLiteral("dangling.mp4"));
    const QString pipe = dir.filePath(QStringLiteral("pipe.mp4"));
    const QString folder = dir.filePath(QStringLiteral("folder"));
    {
        std::ofstream out(EncodeFileName(file).toStdString());
        out << "12345";
    }
    ASSERT_EQ(::symlink(EncodeFileName(file).constData(), EncodeFileName(link).constData()), 0);
    ASSERT_EQ(::symlink("nowhere", EncodeFileName(dangling).constData()), 0);
    ASSERT_EQ(::mkfifo(EncodeFileName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(folder));

    const struct {
        QString path;
        FileKind kind;
        bool taken;
    } cases[] = {
        {file, FileKind::Regular, true},
        {link, FileKind::Regular, true},
        {dangling, FileKind::Missing, true},
        {pipe, FileKind::Other, true},
        {QStringLiteral("/dev/null"), FileKind::Other, true},
        {folder, FileKind::Folder, true},
        {dir.filePath(QStringLiteral("missing")), FileKind::Missing, false},
        {QString(), FileKind::Missing, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(EncodeFileName(c.path).toStdString());
        EXPECT_EQ(KindOf(c.path), c.kind);
        EXPECT_EQ(PathTaken(c.path), c.taken);
    }
    const QString canonicalFile = CanonicalPath(file);
    EXPECT_TRUE(canonicalFile.endsWith(DecodeFileName("/caf\xe9.mp4")))
        << EncodeFileName(canonicalFile).toStdString();
    EXPECT_EQ(SameFileKey(link), canonicalFile);
    EXPECT_EQ(SameFileKey(dir.path() + QStringLiteral("/./folder/../link.mp4")), canonicalFile);
    EXPECT_EQ(SameFileKey(dangling), dangling);  // unresolved: the name itself
    EXPECT_EQ(FileSizeBytes(file), 5.0);
    EXPECT_TRUE(ModifiedTime(file).isValid());
    EXPECT_FALSE(ModifiedTime(dangling).isValid());
    // The regular files, by name: not the folder, the pipe or the dangling link.
    EXPECT_EQ(FilesInFolder(dir.path()), QStringList({file, link}));
    ::unlink(EncodeFileName(file).constData());  // Qt's own removal would not find it
}

}  // namespace
}  // namespace ostrel
