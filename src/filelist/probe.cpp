#include "filelist/probe.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "common/duration.h"
#include "common/file_info.h"
#include "engine/engine.h"

namespace ostrel {

QString FormatMegabytes(double megabytes, const QLocale& locale) {
    QLocale marks = locale;
    marks.setNumberOptions(marks.numberOptions() & ~QLocale::OmitGroupSeparator);
    return marks.toString(megabytes, 'f', 1) + QStringLiteral(" MB");
}

ProbeResult ProbeFile(engine::Decoder& decoder, const QString& path, const QLocale& locale) {
    ProbeResult result;
    if (!decoder.OpenFile(QFile::encodeName(path).toStdString(), std::string())) {
        result.Error = QString::fromStdString(decoder.LastError());
        return result;
    }
    result.Opened = true;

    const int audioIndex = decoder.AudioStreamIndex();
    const int videoIndex = decoder.VideoStreamIndex();
    const QString audioCodec = QString::fromStdString(decoder.AudioCodecName(audioIndex));
    const QString videoCodec = QString::fromStdString(decoder.VideoCodecName(videoIndex));
    const double seconds = MicrosecondsToSeconds(decoder.DurationLow(), decoder.DurationHigh());
    result.HasVideo = decoder.VideoStreamCount() > 0;
    result.HasAudio = decoder.AudioStreamCount() > 0;

    FileRow& row = result.Row;
    row.FileName = path;
    row.Type = ExtensionUpper(path);
    row.Duration = FormatDuration(seconds);
    row.VideoSize = result.HasVideo ? QStringLiteral("%1 X %2")
                                          .arg(decoder.VideoWidth(videoIndex))
                                          .arg(decoder.VideoHeight(videoIndex))
                                    : kNotAvailable;
    // A size the file system would not tell shows as 0.0 MB rather than a negative number.
    row.FileSize = FormatMegabytes(BytesToMegabytes(std::max(0.0, FileSizeBytes(path))), locale);
    row.Modified = QFileInfo(path).lastModified().toLocalTime().toString(
        QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    row.VideoCodec = result.HasVideo ? videoCodec : kNotAvailable;
    row.AudioCodec = result.HasAudio ? audioCodec : kNotAvailable;
    row.DurationSeconds = seconds;
    decoder.CloseFile();
    return result;
}

}  // namespace ostrel
