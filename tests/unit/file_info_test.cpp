#include "common/file_info.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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

}  // namespace
}  // namespace ostrel
