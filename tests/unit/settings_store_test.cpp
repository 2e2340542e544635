#include "common/settings_store.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace ostrel {
namespace {

// Every test gets its own configuration folder; the user's real one is never touched.
class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
    }

    QString ConfigFile() const {
        return dir_.filePath(QStringLiteral("Ostrel Software/Ostrel Media Converter.conf"));
    }

    void WriteRaw(const QByteArray& contents) const {
        QDir().mkpath(QFileInfo(ConfigFile()).path());
        QFile file(ConfigFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

    QTemporaryDir dir_;
};

TEST_F(SettingsStoreTest, FirstRunReadsEmptyAndFirstWriteCreatesTheStore) {
    EXPECT_EQ(ReadSetting(kSettingOutPath), QString());
    EXPECT_EQ(ReadSetting(kSettingLastCheckUpdate), QString());
    EXPECT_FALSE(QFile::exists(ConfigFile()));
    WriteSetting(kSettingOutPath, QStringLiteral("/home/user/Videos/"));
    EXPECT_TRUE(QFile::exists(ConfigFile()));
}

TEST_F(SettingsStoreTest, TextsRoundTripUnchanged) {
    const QString values[] = {
        QStringLiteral("/home/user/Videos/"),
        QStringLiteral("/media/Ünïcode & blanks/Видео/"),
        QStringLiteral("2026/12/08"),
        QStringLiteral("a=b;c,d \"quoted\" \\ back"),
        QString(),
    };
    for (const QString& value : values) {
        WriteSetting(kSettingOutPath, value);
        EXPECT_EQ(ReadSetting(kSettingOutPath), value);
    }
    WriteSetting(kSettingLastCheckUpdate, QStringLiteral("2026/11/20"));
    EXPECT_EQ(ReadSetting(kSettingLastCheckUpdate), QStringLiteral("2026/11/20"));
    EXPECT_EQ(ReadSetting(kSettingOutPath), QString());
}

TEST_F(SettingsStoreTest, StoredValuesOfOtherShapes) {
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QStringLiteral("Ostrel Software"),
                           QStringLiteral("Ostrel Media Converter"));
        settings.setValue(QStringLiteral("Number"), 7);
        settings.setValue(QStringLiteral("TrailingNul"),
                          QStringLiteral("/tmp/out/") + QChar(u'\0'));
        settings.setValue(QStringLiteral("OnlyNul"), QString(QChar(u'\0')));
        settings.setValue(QStringLiteral("List"),
                          QStringList{QStringLiteral("a"), QStringLiteral("b")});
        settings.setValue(QStringLiteral("Bytes"), QByteArray("\x01\x02", 2));
    }
    EXPECT_EQ(ReadSetting(QStringLiteral("Number")), QStringLiteral("7"));
    EXPECT_EQ(ReadSetting(QStringLiteral("TrailingNul")), QStringLiteral("/tmp/out/"));
    EXPECT_EQ(ReadSetting(QStringLiteral("OnlyNul")), QString());
    EXPECT_EQ(ReadSetting(QStringLiteral("List")), QString());
    EXPECT_EQ(ReadSetting(QStringLiteral("Bytes")), QString());
}

TEST_F(SettingsStoreTest, HandEditedAndDamagedFiles) {
    WriteRaw("[General]\nOutPath=/srv/media/\nLastCheckUpdate=7\n");
    EXPECT_EQ(ReadSetting(kSettingOutPath), QStringLiteral("/srv/media/"));
    EXPECT_EQ(ReadSetting(kSettingLastCheckUpdate), QStringLiteral("7"));

    WriteRaw(QByteArray("\x00\xff\xfe garbage [[[ \n=\n", 18));
    EXPECT_EQ(ReadSetting(kSettingOutPath), QString());
}

TEST_F(SettingsStoreTest, UnwritableStoreFailsSilently) {
    WriteSetting(kSettingOutPath, QStringLiteral("/first/"));
    QFile::setPermissions(ConfigFile(), QFileDevice::ReadOwner);
    WriteSetting(kSettingOutPath, QStringLiteral("/second/"));  // must not throw or crash
    QFile::setPermissions(ConfigFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QString value = ReadSetting(kSettingOutPath);
    EXPECT_TRUE(value == QStringLiteral("/first/") || value == QStringLiteral("/second/"));
}

}  // namespace
}  // namespace ostrel
