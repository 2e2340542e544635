#include "profiles/option_builder.h"

#include <gtest/gtest.h>

#include "qt_printers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "profiles/catalogue.h"

namespace ostrel {
namespace {

SourceFacts Video(std::optional<int> width = 640, std::optional<int> height = 480) {
    return {.HasVideo = true, .HasAudio = true, .Width = width, .Height = height};
}

SourceFacts AudioOnly() {
    SourceFacts facts;
    facts.HasAudio = true;
    return facts;
}

OutputSettings ForKey(const QString& key) {
    OutputSettings s;
    s.FormatKey = key;
    s.AudioOnly = AudioFormatKeys().contains(key);
    s.Extension = ExtensionForFormatKey(key);
    return s;
}

QString Build(const OutputSettings& s, const SourceFacts& source = Video()) {
    OptionBuilder builder(s);
    return builder.BuildEncoderOptions(source).EncoderOptions;
}

TEST(OptionBuilderTest, EveryFormatKeyWithDefaultSettings) {
    const struct {
        const char* key;
        const char* extension;
        const char* options;
    } cases[] = {
        {"avi", "avi",
         "-ac 2 -vcodec libxvid -vb 3388k -acodec libmp3lame -ab 128k -ar 44100 -s 640x480"},
        {"asf", "asf",
         "-ac 2 -vcodec msmpeg4v2 -vb 2048k -acodec wmav2 -ab 128k -ar 44100 -s 640x480"},
        {"wmv", "wmv", "-ac 2 -vcodec wmv2 -vb 2048k -acodec wmav2 -ab 128k -ar 44100 -s 640x480"},
        {"flv", "flv", "-ac 2 -vb 2048k -ab 64k -ar 44100 -s 640x480"},
        {"swf", "swf", "-ac 2 -vb 2048k -ab 64k -ar 44100 -s 640x480"},
        {"mpg", "mpg", "-ac 2 -vb 2048k -ab 128k -ar 44100 -s 640x480"},
        {"mov", "mov", "-r 29.97 -ac 2 -vb 2048k -ab 256k -ar 44100 -s 640x480"},
        {"mp4", "mp4", "-r 29.97 -ac 2 -vb 2048k -ab 128k -ar 44100 -s 640x480"},
        {"f4v", "f4v",
         "-ac 2 -vcodec libx264 -vpre libx264-veryfast -f flv -vb 2048k -acodec libfaac -ab 128k "
         "-ar 44100 -ac 2 -s 640x480"},
        {"mkv", "mkv",
         "-ac 2 -vcodec libx264 -vpre libx264-veryfast -vb 2048k  -acodec libmp3lame -ab 128k -ar "
         "44100 -s 640x480"},
        {"mp4h264", "mp4",
         "-ac 2 -vcodec libx264 -vpre libx264-veryfast -vb 2048k -ab 128k -ar 44100 -s 640x480"},
        {"ntsc-vcd", "mpg", "-ac 2 -target ntsc-vcd -vb 1150k -ab 224k -ar 44100 -s 640x480"},
        {"pal-vcd", "mpg", "-ac 2 -target pal-vcd -vb 1150k -ab 224k -ar 44100 -s 640x480"},
        {"mpg2", "mpg", "-ac 2 -vcodec mpeg2video -vb 2048k -ab 128k -ar 44100 -s 640x480"},
        {"ntsc-dvd", "mpg", "-ac 2 -target ntsc-dvd -ab 128k -ar 44100 -s 640x480"},
        {"pal-dvd", "mpg", "-ac 2 -target pal-dvd -ab 128k -ar 44100 -s 640x480"},
        {"rm", "rm", "-ac 2 -vcodec rv20 -vb 1000k -ab 128k -ar 44100 -s 640x480"},
        {"vob", "vob", "-ac 2 -target dvd -vb 3300k -ab 192k -ar 48000 -s 640x480"},
        {"webm", "webm",
         "-ac 2 -vcodec libvpx -vb 2048k  -acodec libvorbis -ab 128k -ar 44100 -s 640x480"},
        {"3gp", "3gp", "-ac 2 -vb 109k -ab 6700 -ac 1 -ar 8000 -s 176x144"},
        {"aac", "aac", "-ac 2 -vn -ab 128k -ar 44100"},
        {"ac3", "ac3", "-ac 2 -vn -ab 128k -ar 44100"},
        {"m4a", "m4a", "-ac 2 -vn -ab 128k -ar 44100"},
        {"mp2", "mp2", "-ac 2 -vn -ab 128k -ar 44100"},
        {"mp3", "mp3", "-ac 2 -vn -ab 128k -ar 44100"},
        {"aiff", "aiff", "-ac 2 -vn  -ar 44100"},
        {"flac", "flac", "-ac 2 -vn  -ar 44100"},
        {"wav", "wav", "-ac 2 -vn  -ar 44100"},
        {"ra", "ra", "-ac 2 -vn  -ab 128k -ar 44100"},
        {"ogg", "ogg", "-ac 2 -vn -acodec libvorbis -ab 128k -ar 44100"},
        {"wma", "wma", "-ac 2 -vn  -acodec wmav2 -ab 128k -ar 44100"},
    };
    ASSERT_EQ(std::size(cases), 31u);
    for (const auto& c : cases) {
        OptionBuilder builder(ForKey(QLatin1String(c.key)));
        const OptionBuilderResult job = builder.BuildEncoderOptions(Video());
        EXPECT_EQ(job.EncoderOptions, QLatin1String(c.options)) << c.key;
        EXPECT_EQ(job.OutputExtension, QLatin1String(c.extension)) << c.key;
        EXPECT_TRUE(job.HasVideo);
        EXPECT_TRUE(job.HasAudio);
        EXPECT_EQ(job.SourceWidth, 640);
        EXPECT_EQ(job.SourceHeight, 480);
    }
}

TEST(OptionBuilderTest, SettingsChangeTheString) {
    using Change = std::function<void(OutputSettings&)>;
    const struct {
        const char* name;
        const char* key;
        Change change;
        const char* options;
    } cases[] = {
        {"wav at high audio quality", "wav",
         [](OutputSettings& s) { s.AudioQuality = QualityHigh; }, "-ac 2 -vn  -ar 48000"},
        {"x264 high quality, custom size, flip and rotate", "mp4h264",
         [](OutputSettings& s) {
             s.VideoQuality = QualityHigh;
             s.AudioQuality = QualityHigh;
             s.SizeIndex = 7;
             s.Width = QStringLiteral("640");
             s.Height = QStringLiteral("360");
             s.FlipVertical = true;
             s.Rotate = QStringLiteral("90");
         },
         "-ac 2 -vcodec libx264 -vpre libx264-default -vb 2304k -ab 256k -ar 44100 -s 640x360 -vf "
         "\"vflip,rotate=90\""},
        {"crop keeps the source size", "avi",
         [](OutputSettings& s) {
             s.CropEnabled = true;
             s.CropTop = QStringLiteral("10");
             s.CropBottom = QStringLiteral("10");
         },
         "-ac 2 -vcodec libxvid -vb 3388k -acodec libmp3lame -ab 128k -ar 44100 -vf "
         "\"crop=640:460:0:10\""},
        {"crop then scale to the custom size", "mp4h264",
         [](OutputSettings& s) {
             s.CropEnabled = true;
             s.CropLeft = QStringLiteral("20");
             s.CropRight = QStringLiteral("x");  // not a number: counts as 0
             s.SizeIndex = kSizeIndexCustom;
             s.Width = QStringLiteral("320");
             s.Height = QStringLiteral("240");
         },
         "-ac 2 -vcodec libx264 -vpre libx264-veryfast -vb 512k -ab 128k -ar 44100 -vf "
         "\"crop=620:480:20:0,scale=320:240\""},
        {"crop on with every margin 0", "mp4", [](OutputSettings& s) { s.CropEnabled = true; },
         "-r 29.97 -ac 2 -vb 2048k -ab 128k -ar 44100"},
        {"both flips without crop", "mpg",
         [](OutputSettings& s) {
             s.FlipVertical = true;
             s.FlipHorizontal = true;
         },
         "-ac 2 -vb 2048k -ab 128k -ar 44100 -s 640x480 -vf \"vflip,hflip\""},
        {"negative rotation", "mpg", [](OutputSettings& s) { s.Rotate = QStringLiteral("-90"); },
         "-ac 2 -vb 2048k -ab 128k -ar 44100 -s 640x480 -vf \"rotate=-90\""},
        {"prefix parts in order", "mp4",
         [](OutputSettings& s) {
             s.RemoveAudio = true;
             s.FrameRate = QStringLiteral("25");
             s.AspectRatio = QStringLiteral("16:9");
             s.Channels = ChannelsMono;
         },
         "-an -r 25 -aspect 16:9 -ac 1 -vb 2048k -ab 128k -ar 44100 -s 640x480"},
        {"mov keeps a chosen frame rate", "mov",
         [](OutputSettings& s) { s.FrameRate = QStringLiteral("25"); },
         "-r 25 -ac 2 -vb 2048k -ab 256k -ar 44100 -s 640x480"},
        {"f4v carries both channel counts", "f4v",
         [](OutputSettings& s) { s.Channels = ChannelsMono; },
         "-ac 1 -vcodec libx264 -vpre libx264-veryfast -f flv -vb 2048k -acodec libfaac -ab 128k "
         "-ar 44100 -ac 2 -s 640x480"},
        {"explicit bit rates and sample rate win", "avi",
         [](OutputSettings& s) {
             s.VideoBitrate = QStringLiteral("2500K");
             s.AudioBitrate = QStringLiteral("192k");
             s.SampleRate = QStringLiteral("48000");
         },
         "-ac 2 -vcodec libxvid -vb 2500K -acodec libmp3lame -ab 192k -ar 48000 -s 640x480"},
        {"rm caps 1500k", "rm", [](OutputSettings& s) { s.VideoBitrate = QStringLiteral("1500k"); },
         "-ac 2 -vcodec rv20 -vb 1000k -ab 128k -ar 44100 -s 640x480"},
        {"rm keeps 800k", "rm", [](OutputSettings& s) { s.VideoBitrate = QStringLiteral("800k"); },
         "-ac 2 -vcodec rv20 -vb 800k -ab 128k -ar 44100 -s 640x480"},
        {"rm reads bit/s as bit/s", "rm",
         [](OutputSettings& s) { s.VideoBitrate = QStringLiteral("800000"); },
         "-ac 2 -vcodec rv20 -vb 800000 -ab 128k -ar 44100 -s 640x480"},
        {"rm caps 1500000 bit/s", "rm",
         [](OutputSettings& s) { s.VideoBitrate = QStringLiteral("1500000"); },
         "-ac 2 -vcodec rv20 -vb 1000k -ab 128k -ar 44100 -s 640x480"},
        {"vob at low video quality", "vob", [](OutputSettings& s) { s.VideoQuality = QualityLow; },
         "-ac 2 -target dvd -vb 768k -ab 192k -ar 48000 -s 640x480"},
        {"3gp at high audio quality", "3gp",
         [](OutputSettings& s) { s.AudioQuality = QualityHigh; },
         "-ac 2 -vb 109k -ab 12200 -ac 1 -ar 8000 -s 176x144"},
        {"3gp with a chosen size", "3gp",
         [](OutputSettings& s) {
             s.SizeIndex = 2;
             s.Width = QStringLiteral("176");
             s.Height = QStringLiteral("144");
         },
         "-ac 2 -vb 109k -ab 6700 -ac 1 -ar 8000 -s 176x144"},
        {"3gp with crop still gets its size", "3gp",
         [](OutputSettings& s) {
             s.CropEnabled = true;
             s.CropTop = QStringLiteral("8");
         },
         "-ac 2 -vb 109k -ab 6700 -ac 1 -ar 8000 -s 176x144 -vf \"crop=640:472:0:8\""},
        {"audio profiles never get filters", "mp3",
         [](OutputSettings& s) {
             s.FlipVertical = true;
             s.CropEnabled = true;
             s.CropTop = QStringLiteral("8");
         },
         "-ac 2 -vn -ab 128k -ar 44100"},
        {"copying names what the profile chose by itself", "mp4h264",
         [](OutputSettings& s) { s.CopyStreamsThatFit = true; },
         "-ac 2 -vcodec libx264 -vpre libx264-veryfast -vb 2048k -ab 128k -ar 44100 -s 640x480 "
         "-copy_when_fits vb,ab,ar,r,ac"},
        {"copying with chosen values binds them", "mp4h264",
         [](OutputSettings& s) {
             s.CopyStreamsThatFit = true;
             s.VideoBitrate = QStringLiteral("1000k");
             s.AudioBitrate = QStringLiteral("192k");
             s.SampleRate = QStringLiteral("48000");
             s.FrameRate = QStringLiteral("25");
             s.Channels = ChannelsMono;
         },
         "-r 25 -ac 1 -vcodec libx264 -vpre libx264-veryfast -vb 1000k -ab 192k -ar 48000 "
         "-s 640x480 -copy_when_fits strict"},
        {"a target size in bytes", "mp4h264",
         [](OutputSettings& s) { s.TargetFileSize = QStringLiteral("9.5"); },
         "-ac 2 -vcodec libx264 -vpre libx264-veryfast -vb 2048k -ab 128k -ar 44100 -s 640x480 "
         "-target_size 9500000"},
        {"no target size for sound alone", "mp3",
         [](OutputSettings& s) { s.TargetFileSize = QStringLiteral("25"); },
         "-ac 2 -vn -ab 128k -ar 44100"},
    };
    for (const auto& c : cases) {
        OutputSettings s = ForKey(QLatin1String(c.key));
        c.change(s);
        EXPECT_EQ(Build(s), QLatin1String(c.options)) << c.name;
    }
}

// The newer codecs: a constant quality per level unless the user sets a video bit rate; Opus's
// own bit rates at 48 kHz; ALAC at the source's rate unless one is chosen.
TEST(OptionBuilderTest, NewerCodecsQualityLevelsAndRates) {
    using Change = std::function<void(OutputSettings&)>;
    const auto none = [](OutputSettings&) {};
    const struct {
        const char* name;
        const char* key;
        Change change;
        const char* options;
    } cases[] = {
        {"hevc mp4 normal", "mp4hevc", none,
         "-ac 2 -vcodec libx265 -preset veryfast -tag:v hvc1 -crf 14 -b:v 0 -acodec aac -ab 128k "
         "-ar 44100 -s 640x480"},
        {"hevc mkv high, no hvc1 tag", "mkvhevc",
         [](OutputSettings& s) { s.VideoQuality = QualityHigh; },
         "-ac 2 -vcodec libx265 -preset veryfast -crf 8 -b:v 0 -acodec aac -ab 128k -ar 44100 -s "
         "640x480"},
        {"av1 low", "mp4av1", [](OutputSettings& s) { s.VideoQuality = QualityLow; },
         "-ac 2 -vcodec libsvtav1 -preset 8 -crf 28 -b:v 0 -acodec aac -ab 128k -ar 44100 -s "
         "640x480"},
        {"a video bit rate switches to bit-rate mode", "webmav1",
         [](OutputSettings& s) { s.VideoBitrate = QStringLiteral("1500k"); },
         "-ac 2 -vcodec libsvtav1 -preset 8 -vb 1500k -acodec libopus -ab 96k -ar 48000 -s "
         "640x480"},
        {"vp9 with the shared settings", "webmvp9",
         [](OutputSettings& s) {
             s.FrameRate = QStringLiteral("25");
             s.Channels = ChannelsMono;
             s.AudioQuality = QualityHigh;
             s.FlipHorizontal = true;
         },
         "-r 25 -ac 1 -vcodec libvpx-vp9 -deadline good -cpu-used 5 -row-mt 1 -passes 2 -crf 20 "
         "-b:v 0 -acodec libopus -ab 160k -ar 48000 -s 640x480 -vf \"hflip\""},
        {"hevc without sound", "mp4hevc", [](OutputSettings& s) { s.RemoveAudio = true; },
         "-an -ac 2 -vcodec libx265 -preset veryfast -tag:v hvc1 -crf 14 -b:v 0 -acodec aac -ab "
         "128k -ar 44100 -s 640x480"},
        {"opus low", "opus", [](OutputSettings& s) { s.AudioQuality = QualityLow; },
         "-ac 2 -vn -acodec libopus -ab 64k -ar 48000"},
        {"alac keeps the source's rate", "alac", none, "-ac 2 -vn -acodec alac"},
        {"alac at a chosen rate", "alac",
         [](OutputSettings& s) { s.SampleRate = QStringLiteral("48000"); },
         "-ac 2 -vn -acodec alac -ar 48000"},
    };
    for (const auto& c : cases) {
        OutputSettings s = ForKey(QLatin1String(c.key));
        c.change(s);
        EXPECT_EQ(Build(s), QLatin1String(c.options)) << c.name;
    }
}

TEST(OptionBuilderTest, InputsWithoutUsableVideo) {
    const struct {
        const char* name;
        const char* key;
        SourceFacts source;
        const char* options;
    } cases[] = {
        {"no video stream: no size, no filters", "mp4", AudioOnly(),
         "-r 29.97 -ac 2 -vb 0k -ab 128k -ar 44100 -vn "},
        {"picture size not known", "mp4", Video(std::nullopt, std::nullopt),
         "-r 29.97 -ac 2 -vb 0k -ab 128k -ar 44100 -vn  -vf \"vflip\""},
        {"3gp always gets its size", "3gp", AudioOnly(),
         "-ac 2 -vb 109k -ab 6700 -ac 1 -ar 8000 -s 176x144"},
        {"a smaller picture", "mpg", Video(320, 240),
         "-ac 2 -vb 512k -ab 128k -ar 44100 -s 320x240 -vf \"vflip\""},
    };
    for (const auto& c : cases) {
        OutputSettings s = ForKey(QLatin1String(c.key));
        s.FlipVertical = true;
        EXPECT_EQ(Build(s, c.source), QLatin1String(c.options)) << c.name;
    }
}

TEST(OptionBuilderTest, StateCarriesAcrossFilesOfOneRun) {
    OptionBuilder builder(ForKey(QStringLiteral("mp4")));
    EXPECT_EQ(builder.PixelCount(), 0);
    builder.BuildEncoderOptions(Video(1280, 720));
    EXPECT_EQ(builder.PixelCount(), 921600);
    // A file without video reuses the pixel count of the file before it.
    EXPECT_EQ(builder.BuildEncoderOptions(AudioOnly()).EncoderOptions,
              QStringLiteral("-r 29.97 -ac 2 -vb 6144k -ab 128k -ar 44100 -vn "));
    // A side that is not known keeps the previous source size.
    const OptionBuilderResult job = builder.BuildEncoderOptions(Video(std::nullopt, 480));
    EXPECT_EQ(job.SourceWidth, 1280);
    EXPECT_EQ(job.SourceHeight, 480);

    // A custom width that is not a number counts as 0 in a new run.
    OutputSettings s = ForKey(QStringLiteral("mp4"));
    s.SizeIndex = kSizeIndexCustom;
    s.Width = QStringLiteral("abc");
    s.Height = QStringLiteral("240");
    OptionBuilder custom(s);
    for (int file = 0; file < 2; ++file) {
        EXPECT_EQ(custom.BuildEncoderOptions(Video()).EncoderOptions,
                  QStringLiteral("-r 29.97 -ac 2 -vb 0k -ab 128k -ar 44100 -s 0x240"));
    }
}

TEST(AutoVideoBitrateTest, WorkedValues) {
    const struct {
        int width, height, base, quality;
        const char* expected;
    } cases[] = {
        {640, 480, 847, QualityHigh, "5082k"},    {640, 480, 847, QualityNormal, "3388k"},
        {640, 480, 847, QualityLow, "2259k"},     {1280, 720, 512, QualityHigh, "9216k"},
        {1280, 720, 512, QualityNormal, "6144k"}, {1280, 720, 512, QualityLow, "4096k"},
        {176, 144, 330, QualityHigh, "164k"},     {176, 144, 330, QualityNormal, "109k"},
        {176, 144, 330, QualityLow, "73k"},       {720, 480, 847, QualityNormal, "3812k"},
        {0, 0, 512, QualityNormal, "0k"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AutoVideoBitrate(c.width * c.height, c.base, c.quality),
                  QLatin1String(c.expected))
            << c.width << "x" << c.height << " q" << c.quality;
    }
}

TEST(OutputPathTest, FolderAndNames) {
    // Blanks belong to the folder's name (the dialog trims what the user typed first).
    EXPECT_EQ(NormaliseOutputFolder(QStringLiteral("/home/u/Videos ")),
              QStringLiteral("/home/u/Videos /"));
    EXPECT_EQ(NormaliseOutputFolder(QStringLiteral("/home/u/Videos/")),
              QStringLiteral("/home/u/Videos/"));
    EXPECT_EQ(NormaliseOutputFolder(QString()), QStringLiteral("/"));
    EXPECT_EQ(OutputPathFor(QStringLiteral("/out/"), QStringLiteral("/in/clip.avi"),
                            QStringLiteral("mp4")),
              QStringLiteral("/out/clip.mp4"));
    EXPECT_EQ(
        OutputPathFor(QStringLiteral("/out/"), QStringLiteral("/in/clip"), QStringLiteral("mp4")),
        QStringLiteral("/out/clip.mp4"));
    EXPECT_EQ(OutputPathFor(QStringLiteral("/out/"), QStringLiteral("/in/a.b.c.mkv"),
                            QStringLiteral("mpg")),
              QStringLiteral("/out/a.b.c.mpg"));
}

TEST(OutputPathTest, OnlyExistingWritableFoldersAreAccepted) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString writable = NormaliseOutputFolder(dir.path());
    const QString readOnly = dir.filePath(QStringLiteral("read-only"));
    const QString file = dir.filePath(QStringLiteral("file.txt"));
    ASSERT_TRUE(QDir().mkdir(readOnly));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    QFile(file).open(QIODevice::WriteOnly);

    EXPECT_TRUE(IsAcceptedOutputFolder(writable));
    EXPECT_FALSE(IsAcceptedOutputFolder(NormaliseOutputFolder(readOnly)));
    EXPECT_FALSE(
        IsAcceptedOutputFolder(NormaliseOutputFolder(dir.filePath(QStringLiteral("missing")))));
    EXPECT_FALSE(IsAcceptedOutputFolder(NormaliseOutputFolder(file)));
    EXPECT_FALSE(IsAcceptedOutputFolder(NormaliseOutputFolder(QStringLiteral("  "))));
    QFile::setPermissions(readOnly,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

}  // namespace
}  // namespace ostrel
