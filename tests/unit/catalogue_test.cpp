#include "profiles/catalogue.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

#include <QSet>

namespace ostrel {
namespace {

// The first 138 profiles keep their ids (up to 1194); the 14 of the newer codecs follow them
// with ids above that range and 7 format keys of their own.
constexpr std::size_t kFirstProfiles = 138;
constexpr int kNewProfiles = 14;

TEST(CatalogueTest, ShapeOfTheTable) {
    const auto profiles = AllProfiles();
    ASSERT_EQ(profiles.size(), kFirstProfiles + kNewProfiles);
    QSet<int> ids;
    QSet<QString> names;
    QSet<QString> keys;
    int audioOnly = 0;
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        const ProfileEntry& entry = profiles[i];
        EXPECT_GE(entry.CommandId, 1028);
        if (i < kFirstProfiles) {
            EXPECT_LE(entry.CommandId, 1194);
        } else {
            EXPECT_GT(entry.CommandId, 1194) << entry.Caption;
        }
        ids.insert(entry.CommandId);
        names.insert(QLatin1String(entry.CommandName));
        keys.insert(QLatin1String(entry.FormatKey));
        EXPECT_EQ(FindProfile(entry.CommandId), &entry);
        EXPECT_EQ(entry.PresetWidth > 0, entry.PresetHeight > 0) << entry.Caption;
        if (entry.HasPresetSize()) {
            EXPECT_EQ(entry.PresetWidth % 2, 0);
            EXPECT_EQ(entry.PresetHeight % 2, 0);
            EXPECT_GE(entry.PresetWidth, 16);
            EXPECT_LE(entry.PresetHeight, 5000);
        }
        EXPECT_TRUE(entry.PresetChannels == 0 || entry.PresetChannels == 2);
        const bool inAudioMenu =
            MenuPath(entry) == QStringList{QStringLiteral("General Audio Format")};
        EXPECT_EQ(entry.AudioOnly, inAudioMenu) << entry.Caption;
        EXPECT_EQ(entry.AudioOnly, AudioFormatKeys().contains(QLatin1String(entry.FormatKey)));
        audioOnly += entry.AudioOnly ? 1 : 0;
    }
    EXPECT_EQ(ids.size(), profiles.size());
    EXPECT_EQ(names.size(), profiles.size());
    EXPECT_EQ(audioOnly, 13);
    EXPECT_EQ(VideoFormatKeys().size(), 25);
    EXPECT_EQ(AudioFormatKeys().size(), 13);
    EXPECT_EQ(keys.size(), 38);  // every format key is used by some profile
}

TEST(CatalogueTest, MenuTreeCounts) {
    const struct {
        int menuId;
        const char* caption;
        int profiles;
    } menus[] = {
        {1020, "General Audio Format", 13},
        {1183, "General Video Format", 21},
        {1081, "Android", 14},
        {1094, "Android Pad", 4},
        {1072, "Apple TV", 3},
        {1076, "iPad", 4},
        {1054, "iPhone", 6},
        {1060, "iPod", 11},
        {1099, "BlackBerry", 14},
        {1154, "HD Video", 9},
        {1139, "PMP", 14},
        {1123, "PS3", 6},
        {1118, "PSP", 4},
        {1178, "VCD/DVD", 4},
        {1164, "Web Video", 14},
        {1114, "Windows Phone", 3},
        {1130, "Xbox", 8},
    };
    int total = 0;
    for (const auto& m : menus) {
        int count = 0;
        for (const ProfileEntry& entry : AllProfiles()) {
            count += entry.MenuId == m.menuId ? 1 : 0;
        }
        EXPECT_EQ(count, m.profiles) << m.caption;
        ASSERT_NE(FindProfileMenu(m.menuId), nullptr);
        EXPECT_STREQ(FindProfileMenu(m.menuId)->Caption, m.caption);
        EXPECT_EQ(FindProfile(m.menuId), nullptr);  // sub-menus are not profiles
        total += count;
    }
    EXPECT_EQ(total, static_cast<int>(kFirstProfiles) + kNewProfiles);
    EXPECT_EQ(FindProfile(1021), nullptr);
    EXPECT_EQ(FindProfile(0), nullptr);
    EXPECT_EQ(AllProfileMenus().size(), 18u);
}

TEST(CatalogueTest, SelectedEntriesExactly) {
    const struct {
        int id;
        const char* name;
        const char* caption;
        const char* path;
        const char* key;
        int width, height;
        const char* frameRate;
        const char* audioBitrate;
        int channels;
    } cases[] = {
        {1055, "ID_IPHONEHVIDEO", "iPhone - H.264 Video", "Device > iPhone", "mp4h264", 480, 320,
         "29.97", nullptr, 2},
        {1105, "ID_BLACKBERRYCHARMMPEGVIDEO", "BlackBerry Charm 7100  - MPEG4 Video",
         "Device > BlackBerry", "mp4", 240, 260, "15", "96k", 2},
        {1180, "ID_DVDNTSCVIDEO", "DVD NTSC - MPEG-2  Video", "Device > VCD/DVD", "ntsc-dvd", 720,
         480, "29.97", nullptr, 0},
        {1035, "ID_VOB", "VOB - DVD Video Object (*.vob)", "General Video Format", "vob", 720, 480,
         nullptr, nullptr, 0},
        {1082, "ID_ANDROIDMPEGVIDEO", "Android - MPEG4 Video", "Device > Android", "mp4", 0, 0,
         nullptr, nullptr, 2},
        {1077, "ID_IPADHVIDEO", "iPad - H264 Video", "Device > iPad", "mp4h264", 720, 576, "29.97",
         nullptr, 2},
        {1100, "ID_BLACKBERRYGPVIDEO", "BlackBerry - 3GP Video", "Device > BlackBerry", "3gp", 352,
         288, "15", nullptr, 0},
        {1157, "ID_HDHVIDEO", "HD - H264 Video", "Device > HD Video", "mp4h264", 1920, 1080,
         nullptr, "192k", 2},
        {1194, "ID_WMA", "WMA - Windows Media Audio (*.wma)", "General Audio Format", "wma", 0, 0,
         nullptr, nullptr, 0},
        {1138, "ID_XBOXXVIDHDVIDEO", "Xbox360 - Xvid HD Video", "Device > Xbox", "avi", 1280, 720,
         nullptr, nullptr, 2},
        {1201, "ID_MPHEVC", "MP4 - H.265/HEVC Video (*.mp4)", "General Video Format", "mp4hevc", 0,
         0, nullptr, nullptr, 0},
        {1207, "ID_ALAC", "M4A - Apple Lossless Audio (*.m4a)", "General Audio Format", "alac", 0,
         0, nullptr, nullptr, 0},
        {1212, "ID_TVHEVCUHDVIDEO", "4K TV - H.265 Video", "Device > HD Video", "mp4hevc", 0, 0,
         nullptr, nullptr, 2},
    };
    for (const auto& c : cases) {
        const ProfileEntry* entry = FindProfile(c.id);
        ASSERT_NE(entry, nullptr) << c.id;
        EXPECT_STREQ(entry->CommandName, c.name);
        EXPECT_STREQ(entry->Caption, c.caption);
        EXPECT_EQ(MenuPath(*entry).join(QStringLiteral(" > ")), QString::fromUtf8(c.path));
        EXPECT_STREQ(entry->FormatKey, c.key);
        EXPECT_EQ(entry->PresetWidth, c.width);
        EXPECT_EQ(entry->PresetHeight, c.height);
        EXPECT_EQ(QString::fromLatin1(entry->PresetFrameRate), QString::fromLatin1(c.frameRate));
        EXPECT_EQ(QString::fromLatin1(entry->PresetAudioBitrate),
                  QString::fromLatin1(c.audioBitrate));
        EXPECT_EQ(entry->PresetChannels, c.channels);
        EXPECT_EQ(FindProfileByText(QLatin1String(c.name)), entry);
        EXPECT_EQ(FindProfileByText(QString::number(c.id)), entry);
        EXPECT_EQ(FindProfileByText(QString::fromUtf8(c.caption)), entry);
    }
    EXPECT_EQ(FindProfileByText(QStringLiteral("BlackBerry Charm 7100 - MPEG4 Video")), nullptr);
    EXPECT_EQ(FindProfileByText(QStringLiteral("id_iphonehvideo")), nullptr);
    EXPECT_EQ(FindProfileByText(QStringLiteral("1021")), nullptr);
}

TEST(CatalogueTest, ExtensionRule) {
    const struct {
        const char* key;
        const char* extension;
    } cases[] = {
        {"mp4h264", "mp4"},  {"mpg2", "mpg"},    {"ntsc-dvd", "mpg"}, {"pal-dvd", "mpg"},
        {"ntsc-vcd", "mpg"}, {"pal-vcd", "mpg"}, {"mpg", "mpg"},      {"3gp", "3gp"},
        {"wma", "wma"},      {"vob", "vob"},     {"f4v", "f4v"},      {"aiff", "aiff"},
        {"mp4hevc", "mp4"},  {"mkvhevc", "mkv"}, {"mp4av1", "mp4"},   {"webmav1", "webm"},
        {"webmvp9", "webm"}, {"opus", "opus"},   {"alac", "m4a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtensionForFormatKey(QLatin1String(c.key)), QLatin1String(c.extension)) << c.key;
    }
}

}  // namespace
}  // namespace ostrel
