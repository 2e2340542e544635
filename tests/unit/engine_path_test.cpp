#include "common/engine_path.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>
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

// Every byte string comes back as it was; what is valid UTF-8 reads as Qt reads it.
TEST(EnginePathTest, AnyBytesRoundTrip) {
    const struct {
        const char* name;
        QByteArray bytes;
        bool utf8;
    } cases[] = {
        {"plain", "/v/clip.mp4", true},
        {"UTF-8 two, three and four bytes", "/v/\xc3\x9c \xe2\x80\x93 \xf0\x9f\x8e\xac.mkv", true},
        {"a real U+FFFD", "/v/\xef\xbf\xbd.avi", true},
        {"Latin-1", "/v/caf\xe9 cr\xe8me.avi", false},
        {"a lone continuation byte", "/v/a\x80z", false},
        {"an overlong slash", "/v/a\xc0\xafz", false},
        {"an encoded surrogate", "/v/\xed\xb2\x80", false},
        {"cut short at the end", "/v/\xe2\x80", false},
        {"above U+10FFFF", "/v/\xf4\x90\x80\x80", false},
        {"every high byte",
         [] {
             QByteArray all;
             for (int b = 0x80; b <= 0xff; ++b) {
                 all += static_cast<char>(b);
             }
             return all;
         }(),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString decoded = DecodeFileName(c.bytes);
        EXPECT_EQ(EncodeFileName(decoded), c.bytes);
        EXPECT_EQ(FromEnginePath(ToEnginePath(decoded)), decoded);
        if (c.utf8) {
            EXPECT_EQ(decoded, QFile::decodeName(c.bytes));
        } else {
            EXPECT_FALSE(decoded.contains(QChar::ReplacementCharacter));
        }
    }
}

TEST(EnginePathTest, ArgumentsAndAddressesKeepTheirBytes) {
    const char* argv[] = {"ostrel-convert", "caf\xe9.mp3", "\xc3\x9c.mp3"};
    const QStringList arguments = ArgumentsOf(3, argv);
    ASSERT_EQ(arguments.size(), 3);
    EXPECT_EQ(EncodeFileName(arguments.at(1)), QByteArray("caf\xe9.mp3"));
    EXPECT_EQ(arguments.at(2), QStringLiteral("Ü.mp3"));

    const struct {
        const char* address;
        QByteArray bytes;
    } cases[] = {
        {"file:///m/caf%E9.mp3", "/m/caf\xe9.mp3"},
        {"file:///m/%C3%9C%20a.mp3", "/m/\xc3\x9c a.mp3"},
        {"file:///m/\xc3\x9c.mp3", "/m/\xc3\x9c.mp3"},
        {"http://host/m.mp3", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(EncodeFileName(LocalFilePath(QUrl(QString::fromUtf8(c.address)))), c.bytes);
        if (!c.bytes.isEmpty()) {
            EXPECT_EQ(EncodeFileName(LocalFilePath(LocalFileUrl(DecodeFileName(c.bytes)))),
                      c.bytes);
        }
    }
    EXPECT_EQ(LocalFileUrl(QStringLiteral("/m/Ü a.mp3")),
              QUrl::fromLocalFile(QStringLiteral("/m/Ü a.mp3")));
}

TEST(EnginePathTest, RelativePathsAreTakenFromTheCurrentFolder) {
    EXPECT_EQ(AbsolutePath(QStringLiteral("/a/./b/../c")), QStringLiteral("/a/c"));
    EXPECT_EQ(AbsolutePath(QStringLiteral("/a/dir ")), QStringLiteral("/a/dir "));
    EXPECT_EQ(AbsolutePath(QStringLiteral("x/y")), QDir::currentPath() + QStringLiteral("/x/y"));
}

}  // namespace
}  // namespace ostrel
