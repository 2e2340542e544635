#include "filelist/probe.h"

#include <QFileInfo>

#include "common/duration.h"
#include "common/engine_path.h"
#include "common/file_info.h"
#include "engine/engine.h"

namespace ostrel {

ProbeResult ProbeFile(engine::Decoder& decoder, const QString& path) {
    ProbeResult result;
    if (!decoder.OpenFile(ToEnginePath(path), std::string())) {
        result.Error = QString::fromStdString(decoder.LastError());
        return result;
    }
    result.Opened = true;

    FileRow& row = result.Row;
    row.FileName = path;
    const int audioIndex = decoder.AudioStreamIndex();
    const int videoIndex = decoder.VideoStreamIndex();
    row.AudioCodec = QString::fromStdString(decoder.AudioCodecName(audioIndex));
    row.VideoCodec = QString::fromStdString(decoder.VideoCodecName(videoIndex));
    row.DurationSeconds = MicrosecondsToSeconds(decoder.DurationLow(), decoder.DurationHigh());
    row.HasVideo = decoder.VideoStreamCount() > 0;
    row.HasAudio = decoder.AudioStreamCount() > 0;
    if (row.HasVideo) {
        row.VideoWidth = decoder.VideoWidth(videoIndex);
        row.VideoHeight = decoder.VideoHeight(videoIndex);
    }
    row.SizeBytes = FileSizeBytes(path);
    row.Modified = QFileInfo(path).lastModified();
    decoder.CloseFile();
    return result;
}

}  // namespace ostrel
