#include "common/engine_path.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>

#include "common/file_info.h"

namespace ostrel {
namespace {

// Names as the file system holds them, listed through Qt and handed back to the system.
TEST(EnginePathTest, NamesRoundTripToTheSameFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = ToEnginePath(dir.path());
    const struct {
        const char* name;
        const char* bytes;
    } cases[] = {
        {"plain", "clip.mp4"},
        {"UTF-8",
         "\xc3\x9c"
         "bung \xe2\x80\x93 kurz.mkv"},
        {"decomposed accent", "cafe\xcc\x81.avi"},
    };
    for (const auto& c : cases) {
        const std::string path = folder + "/" + c.bytes;
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_EXCL, 0600);
        ASSERT_GE(fd, 0) << c.name;
        ASSERT_EQ(::write(fd, "12345", 5), 5);
        ::close(fd);
        const QStringList listed = QDir(dir.path()).entryList(QDir::Files);
        QString found;
        for (const QString& name : listed) {
            if (ToEnginePath(name) == c.bytes) {
                found = dir.path() + QLatin1Char('/') + name;
            }
        }
        EXPECT_FALSE(found.isEmpty()) << c.name;
        EXPECT_EQ(ToEnginePath(found), path) << c.name;
        EXPECT_EQ(FromEnginePath(path), found) << c.name;
        EXPECT_EQ(FileSizeBytes(found), 5.0) << c.name;
        ASSERT_EQ(::unlink(path.c_str()), 0);
    }
}

}  // namespace
}  // namespace ostrel
