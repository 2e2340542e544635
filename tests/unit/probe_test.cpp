#include "filelist/probe.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "engine/engine.h"
#include "qt_printers.h"

namespace ostrel {
namespace {

// A decoder that reports what the test sets and records the calls.
class FakeDecoder : public engine::Decoder {
  public:
    bool Opens = true;
    std::string Error;
    int Videos = 1, Audios = 1, Width = 640, Height = 480;
    std::int64_t DurationUs = 30400000;
    int OpenCount = 0, CloseCount = 0;

    bool OpenFile(const std::string&, const std::string&) override {
        ++OpenCount;
        return Opens;
    }
    std::string LastError() const override { return Error; }
    int VideoStreamCount() const override { return Videos; }
    int AudioStreamCount() const override { return Audios; }
    int VideoStreamIndex() const override { return Videos > 0 ? 0 : -1; }
    int AudioStreamIndex() const override { return Audios > 0 ? 1 : -1; }
    std::string VideoCodecName(int index) const override { return index == 0 ? "h264" : ""; }
    std::string AudioCodecName(int index) const override { return index == 1 ? "aac" : ""; }
    int VideoWidth(int) const override { return Width; }
    int VideoHeight(int) const override { return Height; }
    std::int32_t DurationLow() const override {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(DurationUs & 0xFFFFFFFF));
    }
    std::int32_t DurationHigh() const override {
        return static_cast<std::int32_t>(DurationUs >> 32);
    }
    void CloseFile() override { ++CloseCount; }
};

TEST(ProbeTest, ColumnsOfOneRow) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("clip.Mp4"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1572864, 'x'));
    file.close();

    const struct {
        const char* name;
        int videos, audios;
        const char* videoSize;
        const char* videoCodec;
        const char* audioCodec;
    } cases[] = {
        {"video and audio", 1, 1, "640 X 480", "h264", "aac"},
        {"audio only", 0, 1, "N/A", "N/A", "aac"},
        {"video only", 1, 0, "640 X 480", "h264", "N/A"},
    };
    for (const auto& c : cases) {
        FakeDecoder decoder;
        decoder.Videos = c.videos;
        decoder.Audios = c.audios;
        const ProbeResult result = ProbeFile(decoder, path, QLocale(QLocale::English));
        ASSERT_TRUE(result.Opened) << c.name;
        EXPECT_EQ(result.HasVideo, c.videos > 0);
        EXPECT_EQ(result.HasAudio, c.audios > 0);
        EXPECT_EQ(result.Row.FileName, path);
        EXPECT_EQ(result.Row.Type, QStringLiteral("MP4"));
        EXPECT_EQ(result.Row.Duration, QStringLiteral("00:00:30"));
        EXPECT_DOUBLE_EQ(result.Row.DurationSeconds, 30.4);
        EXPECT_EQ(result.Row.VideoSize, QLatin1String(c.videoSize)) << c.name;
        EXPECT_EQ(result.Row.VideoCodec, QLatin1String(c.videoCodec)) << c.name;
        EXPECT_EQ(result.Row.AudioCodec, QLatin1String(c.audioCodec)) << c.name;
        EXPECT_EQ(result.Row.FileSize, QStringLiteral("1.5 MB"));
        EXPECT_EQ(result.Row.Modified,
                  QFileInfo(path).lastModified().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")));
        EXPECT_EQ(decoder.CloseCount, 1);
    }
}

TEST(ProbeTest, RejectedFileGivesTheDecodersText) {
    FakeDecoder decoder;
    decoder.Opens = false;
    decoder.Error = "Invalid data found when processing input";
    const ProbeResult result = ProbeFile(decoder, QStringLiteral("/tmp/junk.mp4"));
    EXPECT_FALSE(result.Opened);
    EXPECT_EQ(result.Error, QStringLiteral("Invalid data found when processing input"));
}

TEST(ProbeTest, MegabytesUseTheLocalesMarks) {
    const struct {
        QLocale::Language language;
        double megabytes;
        const char* text;
    } cases[] = {
        {QLocale::English, 0.0, "0.0 MB"},
        {QLocale::English, 1.5, "1.5 MB"},
        {QLocale::English, 1234.56, "1,234.6 MB"},
        {QLocale::German, 1234.56, "1.234,6 MB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatMegabytes(c.megabytes, QLocale(c.language)), QLatin1String(c.text));
    }
}

}  // namespace
}  // namespace ostrel
