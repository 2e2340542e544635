#include "profiles/device_limits.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

#include <QSet>

#include "profiles/catalogue.h"
#include "profiles/format_dialog_model.h"
#include "profiles/option_builder.h"

namespace ostrel {
namespace {

constexpr int kDeviceMenu = 1021;

bool IsDeviceProfile(const ProfileEntry& entry) {
    const ProfileMenu* menu = FindProfileMenu(entry.MenuId);
    while (menu != nullptr && menu->ParentId != 0) {
        menu = FindProfileMenu(menu->ParentId);
    }
    return menu != nullptr && menu->CommandId == kDeviceMenu;
}

// The settings a profile's presets give, as the format dialog applies them.
OutputSettings PresetsOf(int commandId) {
    FormatDialogModel model(QStringLiteral("/tmp/"), 2);
    model.ApplyProfileById(commandId);
    return model.Settings();
}

QString Build(const OutputSettings& settings, int width, int height) {
    OptionBuilder builder(settings);
    return builder
        .BuildEncoderOptions({.HasVideo = true, .HasAudio = true, .Width = width, .Height = height})
        .EncoderOptions;
}

// The same settings under a general format's caption: what the catalogue alone asks for.
QString BuildWithoutDevice(OutputSettings settings, int width, int height) {
    settings.FormatCaption = QStringLiteral("MP4 - H264 Video (*.mp4)");
    return Build(settings, width, height);
}

bool PresetFits(const DeviceLimits& row, const ProfileEntry& entry) {
    if (!entry.HasPresetSize()) {
        return true;
    }
    const double rate = entry.PresetFrameRate ? QString(entry.PresetFrameRate).toDouble() : 0.0;
    const FittedSize fitted = FitToDevice(row, entry.PresetWidth, entry.PresetHeight, rate);
    return fitted.Width == entry.PresetWidth && fitted.Height == entry.PresetHeight;
}

TEST(DeviceLimitsTest, OneSourcedRowPerDeviceProfileWithTheFormatsCodec) {
    QSet<int> rows;
    QSet<int> beyond;
    for (const DeviceLimits& row : AllDeviceLimits()) {
        EXPECT_FALSE(rows.contains(row.CommandId)) << row.CommandId;
        rows.insert(row.CommandId);
        const ProfileEntry* entry = FindProfile(row.CommandId);
        ASSERT_NE(entry, nullptr) << row.CommandId;
        EXPECT_TRUE(IsDeviceProfile(*entry)) << entry->Caption;
        const QString key = QLatin1String(entry->FormatKey);
        const DeviceVideoCodec expected = key == u"mp4h264"   ? DeviceVideoCodec::H264
                                          : key == u"mp4hevc" ? DeviceVideoCodec::H265
                                          : key == u"mp4" || key == u"avi"
                                              ? DeviceVideoCodec::Mpeg4Part2
                                          : key == u"wmv"        ? DeviceVideoCodec::Wmv
                                          : key == u"3gp"        ? DeviceVideoCodec::H263
                                          : key.endsWith(u"dvd") ? DeviceVideoCodec::Mpeg2
                                          : key.endsWith(u"vcd") ? DeviceVideoCodec::Mpeg1
                                                                 : row.Codec;
        // The HD rows of general formats name no codec of their own.
        if (row.Codec != DeviceVideoCodec::None) {
            EXPECT_EQ(row.Codec, expected) << entry->Caption;
        }
        EXPECT_NE(QString::fromUtf8(row.SourceName), QString()) << entry->Caption;
        const bool needsAddress = row.SourceKind != DeviceSourceKind::NoSource &&
                                  row.SourceKind != DeviceSourceKind::Standard;
        EXPECT_EQ(row.SourceUrl != nullptr, needsAddress) << entry->Caption;
        if (row.Codec == DeviceVideoCodec::H264) {
            EXPECT_NE(FindH264Level(row.Level), nullptr) << entry->Caption;
        }
        if (!PresetFits(row, *entry)) {
            beyond.insert(row.CommandId);
        }
    }
    // The one catalogue preset larger than its device plays: Apple TV's 720p at 29.97 fps.
    EXPECT_EQ(beyond, QSet<int>{1073});
    int deviceProfiles = 0;
    for (const ProfileEntry& entry : AllProfiles()) {
        if (IsDeviceProfile(entry)) {
            ++deviceProfiles;
            EXPECT_TRUE(rows.contains(entry.CommandId)) << entry.Caption;
        }
    }
    EXPECT_EQ(deviceProfiles, 118);
    EXPECT_EQ(rows.size(), 118);
}

TEST(DeviceLimitsTest, DeviceStringsAreTheCatalogueStringAndTheDeviceGroup) {
    // Every device profile at its presets, for inputs its presets keep within the device: the
    // catalogue's own string comes first, unchanged, then the device's group.
    for (const DeviceLimits& row : AllDeviceLimits()) {
        if (!PresetFits(row, *FindProfile(row.CommandId)) || row.MinSampleRate > 44100) {
            continue;  // mended presets: see the table below
        }
        const OutputSettings settings = PresetsOf(row.CommandId);
        const QString catalogue = BuildWithoutDevice(settings, 320, 240);
        const QString device = Build(settings, 320, 240);
        EXPECT_EQ(device, catalogue + DeviceOptionGroup(row)) << row.CommandId;
    }
}

TEST(DeviceLimitsTest, GroupsSizesAndWhatCannotBeMet) {
    const struct {
        int commandId;
        int inputWidth, inputHeight;
        const char* sizeWidth;  // nullptr: the presets' size
        const char* sizeHeight;
        const char* options;
    } cases[] = {
        // iPod for TV: Baseline 3.0 within the low-complexity limits; the catalogue's automatic
        // 2048k stays in its string and -maxrate caps it.
        {1063, 640, 480, nullptr, nullptr,
         "-r 29.97 -ac 2 -vcodec libx264 -vpre libx264-veryfast -vb 2048k -ab 128k -ar 44100 -s "
         "640x480 -profile:v baseline -level 3.0 -maxrate 1500k -bufsize 2000k -bf 0 -refs 1"},
        // Apple TV's 720p plays only at 24 fps: at the preset 29.97 the picture is made smaller.
        {1073, 1280, 720, nullptr, nullptr,
         "-r 29.97 -ac 2 -vcodec libx264 -vpre libx264-veryfast -vb 4791k -ab 128k -ar 44100 -s "
         "1130x636 -profile:v main -level 3.1 -maxrate 5000k -bufsize 14000k -coder 0"},
        // The user's own size wins; the profile and level still hold.
        {1074, 1280, 720, "1280", "720",
         "-r 29.97 -ac 2 -vcodec libx264 -vpre libx264-veryfast -vb 6144k -ab 128k -ar 44100 -s "
         "1280x720 -profile:v main -level 3.1 -maxrate 5000k -bufsize 14000k -coder 0"},
        // No preset size: a 1080p input is brought within the phone's 480x360.
        {1082, 1920, 1080, nullptr, nullptr,
         "-r 29.97 -ac 2 -vb 864k -ab 128k -ar 44100 -s 480x270 -profile:v simple -maxrate 2000k "
         "-bf 0"},
        // WMV 9 cannot be written: the catalogue's string alone.
        {1152, 640, 480, nullptr, nullptr,
         "-r 29.97 -ac 2 -vcodec wmv2 -vb 512k -acodec wmav2 -ab 128k -ar 44100 -s 320x240"},
        // Discs: the target carries the standard; DVD-Video's sound is 48 kHz, not the
        // catalogue's automatic 44.1 kHz.
        {1180, 640, 480, nullptr, nullptr,
         "-r 29.97 -ac 2 -target ntsc-dvd -ab 128k -ar 48000 -s 720x480"},
        // PSP's memory-stick video: 300 macroblocks, Main 2.1 with two reference frames.
        {1121, 640, 480, nullptr, nullptr,
         "-ac 2 -vcodec libx264 -vpre libx264-veryfast -vb 510k -ab 128k -ar 44100 -s 368x208 "
         "-profile:v main -level 2.1 -maxrate 768k -bufsize 4000k -refs 2"},
    };
    for (const auto& c : cases) {
        OutputSettings settings = PresetsOf(c.commandId);
        if (c.sizeWidth != nullptr) {
            settings.Width = QLatin1String(c.sizeWidth);
            settings.Height = QLatin1String(c.sizeHeight);
            settings.SizeIndex = kSizeIndexCustom;
        }
        const QString built = Build(settings, c.inputWidth, c.inputHeight);
        EXPECT_EQ(built, QLatin1String(c.options)) << c.commandId;
    }
}

TEST(DeviceLimitsTest, FitKeepsAspectWithinSizeAndMacroblockRate) {
    const DeviceLimits& ipod = *FindDeviceLimits(1063);     // 640x480, Baseline 3.0
    const DeviceLimits& appleTv = *FindDeviceLimits(1073);  // 86400 macroblocks a second
    const struct {
        const DeviceLimits& row;
        int width, height;
        double rate;
        int fittedWidth, fittedHeight;
    } cases[] = {
        {ipod, 640, 480, 30.0, 640, 480},    // fits as it is
        {ipod, 1920, 1080, 30.0, 640, 360},  // box, aspect kept
        {ipod, 480, 640, 30.0, 360, 480},    // portrait
        {appleTv, 1280, 720, 24.0, 1280, 720}, {appleTv, 1280, 720, 30.0, 1130, 636},
        {appleTv, 1280, 720, 0.0, 1280, 720},  // unknown rate: the size alone
    };
    for (const auto& c : cases) {
        const FittedSize fitted = FitToDevice(c.row, c.width, c.height, c.rate);
        EXPECT_EQ(fitted.Width, c.fittedWidth) << c.width << "x" << c.height << "@" << c.rate;
        EXPECT_EQ(fitted.Height, c.fittedHeight) << c.width << "x" << c.height << "@" << c.rate;
    }
}

TEST(DeviceLimitsTest, SummaryLine) {
    EXPECT_EQ(DeviceSummary(*FindDeviceLimits(1063)),
              "Plays on iPod (5th generation): H.264 Baseline 3.0, up to 640x480, 1.5 Mbit/s");
    EXPECT_TRUE(DeviceSummary(*FindDeviceLimits(1152)).contains(u"not met: "));
}

}  // namespace
}  // namespace ostrel
