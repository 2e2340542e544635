#include "cli/cli_request.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include "profiles/catalogue.h"
#include "profiles/device_limits.h"
#include "profiles/format_dialog_model.h"
#include "profiles/option_builder.h"
#include "qt_printers.h"

namespace ostrel {
namespace {

QStringList Args(std::initializer_list<const char*> list) {
    QStringList args;
    for (const char* a : list) {
        args.append(QString::fromUtf8(a));
    }
    return args;
}

TEST(CliArgumentsTest, UsageErrorsSayWhatIsWrong) {
    const struct {
        QStringList args;
        const char* error;
    } cases[] = {
        {Args({"--profile", "1055", "--output", "/tmp", "--bogus", "a.mp4"}),
         "unknown option --bogus"},
        {Args({"--profile", "1055", "--output"}), "--output needs a value"},
        {Args({"--profile", "1055", "--output", "/tmp", "--video-quality", "best", "a"}),
         "--video-quality: bad value \"best\""},
        {Args({"--profile", "1055", "--output", "/tmp", "--size", "640x", "a"}),
         "--size: bad value \"640x\""},
        {Args({"--profile", "1055", "--output", "/tmp", "--channels", "3", "a"}),
         "--channels: bad value \"3\""},
        {Args({"--profile", "1055", "--output", "/tmp", "--threads", "0", "a"}),
         "--threads: bad value \"0\""},
        {Args({"--profile", "1055", "--output", "/tmp", "--crop", "1,2,3", "a"}),
         "--crop: bad value \"1,2,3\""},
        {Args({"--output", "/tmp", "a"}), "--profile is required"},
        {Args({"--profile", "1055", "a"}), "--output is required"},
        {Args({"--profile", "1055", "--output", "/tmp"}), "no input files given"},
        {Args({"--dry-run=yes", "--profile", "1055", "--output", "/tmp", "a"}),
         "unknown option --dry-run=yes"},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(ParseCliArguments(c.args, error).has_value())
            << c.args.join(' ').toStdString();
        EXPECT_EQ(error, QString::fromUtf8(c.error));
    }
}

TEST(CliArgumentsTest, AcceptedForms) {
    QString error;
    const auto request = ParseCliArguments(
        Args({"--profile=iPhone - H.264 Video", "--output", "/tmp", "--size", "720x480",
              "--crop=1,2,3,4", "--vflip", "--channels", "auto", "--threads", "3", "--dry-run",
              "--no-metadata", "--verbose", "a.mp4", "--", "--odd-name.mp4"}),
        error);
    ASSERT_TRUE(request.has_value()) << error.toStdString();
    EXPECT_EQ(request->Profile, QStringLiteral("iPhone - H.264 Video"));
    EXPECT_EQ(*request->Size, QStringLiteral("720x480"));
    const std::map<GridItem, QString> grid = {{GridItem::CropVideo, QStringLiteral("1,2,3,4")},
                                              {GridItem::FlipVertical, QString()},
                                              {GridItem::Channels, kAuto}};
    EXPECT_EQ(request->GridValues, grid);
    EXPECT_EQ(request->Threads, 3);
    EXPECT_TRUE(request->DryRun);
    EXPECT_TRUE(request->NoMetadata);
    EXPECT_TRUE(request->Verbose);
    EXPECT_EQ(request->Files, (QStringList{"a.mp4", "--odd-name.mp4"}));
    EXPECT_TRUE(ParseCliArguments(Args({"--list-profiles"}), error).has_value());
}

// Settings reach the record as the dialog's rules leave them.
TEST(CliSettingsTest, AppliedThroughTheDialogRules) {
    const struct {
        const char* name;
        int profile;
        QStringList args;
        std::function<void(const OutputSettings&)> check;
        const char* error;
    } cases[] = {
        {"size goes through the leave rule", 1055, Args({"--size", "721x7"}),
         [](const OutputSettings& s) {
             EXPECT_EQ(s.SizeIndex, kSizeIndexCustom);
             EXPECT_EQ(s.Width, QStringLiteral("722"));
             EXPECT_EQ(s.Height, QStringLiteral("16"));
         },
         ""},
        {"auto size drops the preset", 1055, Args({"--size", "auto"}),
         [](const OutputSettings& s) {
             EXPECT_EQ(s.SizeIndex, kSizeIndexAuto);
             EXPECT_EQ(s.Width, QString());
         },
         ""},
        {"a quality level then an explicit bit rate keeps the bit rate", 1057,
         Args({"--video-quality", "high", "--video-bitrate", " 2500K "}),
         [](const OutputSettings& s) {
             EXPECT_EQ(s.VideoQuality, QualityHigh);
             EXPECT_EQ(s.VideoBitrate, QStringLiteral("2500K"));
         },
         ""},
        {"grid cleaning applies", 1057,
         Args({"--crop", "-20,5,,x", "--rotate", "300", "--sample-rate", "44.1k", "--aspect",
               "16:9"}),
         [](const OutputSettings& s) {
             EXPECT_TRUE(s.CropEnabled);
             EXPECT_EQ(s.CropTop, QStringLiteral("20"));
             EXPECT_EQ(s.CropBottom, QStringLiteral("5"));
             EXPECT_EQ(s.CropLeft, QStringLiteral("0"));
             EXPECT_EQ(s.Rotate, QStringLiteral("0"));
             EXPECT_EQ(s.SampleRate, kAuto);
             EXPECT_EQ(s.AspectRatio, QStringLiteral("16:9"));
         },
         ""},
        {"mono and no audio", 1057, Args({"--channels", "1", "--remove-audio"}),
         [](const OutputSettings& s) {
             EXPECT_EQ(s.Channels, ChannelsMono);
             EXPECT_TRUE(s.RemoveAudio);
         },
         ""},
        {"video settings do not apply to audio profiles", 1185, Args({"--video-bitrate", "800k"}),
         nullptr,
         "--video-bitrate does not apply to the profile \"MP3 - MPEG Layer-3 Audio (*.mp3)\""},
        {"nor does the size", 1185, Args({"--size", "640x480"}), nullptr,
         "--size does not apply to the profile \"MP3 - MPEG Layer-3 Audio (*.mp3)\""},
        {"audio settings after remove-audio still apply (grid order)", 1057,
         Args({"--remove-audio", "--audio-bitrate", "96k"}),
         [](const OutputSettings& s) {
             EXPECT_EQ(s.AudioBitrate, QStringLiteral("96k"));
             EXPECT_TRUE(s.RemoveAudio);
         },
         ""},
    };
    for (const auto& c : cases) {
        QString error;
        QStringList args = Args({"--profile", "x", "--output", "/tmp"}) + c.args + Args({"in.mp4"});
        const auto request = ParseCliArguments(args, error);
        ASSERT_TRUE(request.has_value()) << c.name << ": " << error.toStdString();
        FormatDialogModel model(QStringLiteral("/tmp/"), 4);
        const QString applied = ApplyCliSettings(*request, *FindProfile(c.profile), model);
        EXPECT_EQ(applied, QString::fromUtf8(c.error)) << c.name;
        if (c.check) {
            SCOPED_TRACE(c.name);
            c.check(model.Settings());
        }
    }
}

// Every grid item with an option is in --help, in grid order, and parses as listed there.
TEST(CliUsageTest, ListsTheGridOptionsInGridOrder) {
    const QString usage = CliUsage();
    qsizetype last = 0;
    for (const GridItemInfo& info : GridItemTable()) {
        if (info.CliFlag == nullptr) {
            continue;
        }
        const qsizetype at = usage.indexOf(QLatin1String(info.CliFlag) + u' ', last);
        const qsizetype atEnd = usage.indexOf(QLatin1String(info.CliFlag) + u'\n', last);
        ASSERT_TRUE(at >= 0 || atEnd >= 0) << info.CliFlag;
        last = at >= 0 && (atEnd < 0 || at < atEnd) ? at : atEnd;
    }
    for (const char* entry : {"--crop T,B,L,R", "--channels auto|1|2", "--rotate DEGREES"}) {
        EXPECT_TRUE(usage.contains(QLatin1String(entry))) << entry;
    }
    for (const QString& line : usage.split(u'\n')) {
        if (line.startsWith(QLatin1String("  --"))) {
            EXPECT_LE(line.size(), 79) << line.toStdString();
        }
    }
}

TEST(CliListingTest, OneLinePerProfileInMenuOrder) {
    const QStringList lines = ProfileListing();
    ASSERT_EQ(lines.size(), 152);
    EXPECT_EQ(lines.first(),
              QStringLiteral(
                  "1186\tID_AAC\tGeneral Audio Format\tAAC - Advanced Audio Coding Files (*.aac)\t"
                  "aac\taac\tAuto\tAuto\tAuto\tAuto\tAuto"));
    EXPECT_TRUE(lines.contains(
        QStringLiteral("1055\tID_IPHONEHVIDEO\tDevice > iPhone\tiPhone - H.264 Video\t"
                       "mp4h264\tmp4\t480\t320\t29.97\tAuto\t2")));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("1101\tID_BLACKBERRYMPEGVIDEO\tDevice > BlackBerry\t"
                                      "BlackBerry - MPEG4 Video\tmp4\tmp4\t320\t240\t15\t96k\t2")));
    for (const QString& line : lines) {
        EXPECT_EQ(line.count(QLatin1Char('\t')), 10) << line.toStdString();
    }
}

}  // namespace
}  // namespace ostrel

namespace ostrel {
namespace {

TEST(CliDescribeTest, DeviceProfilesShowTheirLimitsSourceAndWhatCannotBeMet) {
    QString error;
    const std::optional<CliRequest> request =
        ParseCliArguments({QStringLiteral("--describe"), QStringLiteral("1063")}, error);
    ASSERT_TRUE(request.has_value()) << error.toStdString();
    EXPECT_EQ(request->Describe, QStringLiteral("1063"));

    const struct {
        int commandId;
        std::vector<const char*> lines;  // each must appear as a whole line
    } cases[] = {
        {1063,
         {"Device: iPod (5th generation)", "Video: H.264 Baseline 3.0",
          "Video bit rate: up to 1.5 Mbit/s",
          "Options added for the device: -profile:v baseline -level 3.0 -maxrate 1500k -bufsize "
          "2000k -bf 0 -refs 1"}},
        {1127,
         {"Cannot be met: the PS3 plays WMV only as VC-1 (WMV 9), which FFmpeg 5.1 cannot "
          "encode; the file is WMV 8",
          "Options added for the device: none"}},
        {1057,
         {"Presets: size Auto, frame rate Auto, audio bit rate Auto, channels Auto",
          "Device limits: none (a general format)"}},
    };
    for (const auto& c : cases) {
        const QStringList lines = ProfileDescription(*FindProfile(c.commandId));
        for (const char* line : c.lines) {
            EXPECT_TRUE(lines.contains(QString::fromUtf8(line)))
                << c.commandId << ": " << line << "\n"
                << lines.join(u'\n').toStdString();
        }
    }
    // Every device profile names where its limits come from.
    for (const DeviceLimits& row : AllDeviceLimits()) {
        const QStringList lines = ProfileDescription(*FindProfile(row.CommandId));
        EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^Source: .+"))).size(), 1)
            << row.CommandId;
    }
}

}  // namespace
}  // namespace ostrel
