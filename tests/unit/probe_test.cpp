#include "filelist/probe.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "fake_decoder.h"
#include "filelist/file_list_model.h"
#include "qt_printers.h"

namespace ostrel {
namespace {

using testing::FakeDecoder;

TEST(ProbeTest, FactsOfOneRow) {
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
        decoder.fallback.VideoCount = c.videos;
        decoder.fallback.AudioCount = c.audios;
        decoder.fallback.DurationUs = 30400000;
        const ProbeResult result = ProbeFile(decoder, path);
        ASSERT_TRUE(result.Opened) << c.name;
        const FileRow& row = result.Row;
        EXPECT_EQ(row.HasVideo, c.videos > 0);
        EXPECT_EQ(row.HasAudio, c.audios > 0);
        EXPECT_EQ(row.FileName, path);
        EXPECT_DOUBLE_EQ(row.DurationSeconds, 30.4);
        EXPECT_EQ(row.SizeBytes, 1572864.0);
        EXPECT_EQ(row.Modified, QFileInfo(path).lastModified());
        const auto text = [&row](int column) {
            return FileListModel::Text(row, column, QLocale(QLocale::English));
        };
        EXPECT_EQ(text(FileListModel::ColumnType), QStringLiteral("MP4"));
        EXPECT_EQ(text(FileListModel::ColumnDuration), QStringLiteral("00:00:30"));
        EXPECT_EQ(text(FileListModel::ColumnVideoSize), QLatin1String(c.videoSize)) << c.name;
        EXPECT_EQ(text(FileListModel::ColumnVideoCodec), QLatin1String(c.videoCodec)) << c.name;
        EXPECT_EQ(text(FileListModel::ColumnAudioCodec), QLatin1String(c.audioCodec)) << c.name;
        EXPECT_EQ(text(FileListModel::ColumnFileSize), QStringLiteral("1.5 MB"));
        EXPECT_EQ(text(FileListModel::ColumnModified),
                  QFileInfo(path).lastModified().toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")));
        EXPECT_EQ(decoder.closeCount, 1);
    }
}

TEST(ProbeTest, RejectedFileGivesTheDecodersText) {
    FakeDecoder decoder;
    decoder.fallback.Opens = false;
    decoder.fallback.Error = "Invalid data found when processing input";
    const ProbeResult result = ProbeFile(decoder, QStringLiteral("/tmp/junk.mp4"));
    EXPECT_FALSE(result.Opened);
    EXPECT_EQ(result.Error, QStringLiteral("Invalid data found when processing input"));
    EXPECT_EQ(decoder.closeCount, 0);
}

}  // namespace
}  // namespace ostrel
