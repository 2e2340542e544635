#include "filelist/probe.h"

#include <QCoreApplication>

#include "common/duration.h"
#include "common/engine_path.h"
#include "common/file_info.h"
#include "common/messages.h"
#include "engine/engine.h"

namespace ostrel {

ProbeResult ProbeFile(engine::Decoder& decoder, const QString& path) {
    ProbeResult result;
    // A named pipe would hold the probe until some writer appears; a missing file is left to
    // the decoder, whose text says why.
    if (const FileKind kind = KindOf(path);
        kind != FileKind::Regular && kind != FileKind::Missing) {
        result.Error = QCoreApplication::translate("ostrel::Probe", "Not a regular file");
        return result;
    }
    if (!decoder.OpenFile(ToEnginePath(path), std::string())) {
        result.Error = FromEnginePath(decoder.LastError());  // it may name the file
        return result;
    }
    result.Opened = true;

    FileRow& row = result.Row;
    row.FileName = path;
    row.Identity = SameFileKey(path);
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
    row.Modified = ModifiedTime(path);
    decoder.CloseFile();
    return result;
}

}  // namespace ostrel
