#include "engine/ffmpeg/transcode.h"

#include <optional>
#include <string>

#include "engine/ffmpeg/copy_fit.h"
#include "engine/ffmpeg/demux_stage.h"
#include "engine/ffmpeg/log.h"
#include "engine/ffmpeg/pipeline.h"
#include "engine/ffmpeg/task_setup.h"

namespace ostrel::engine::ff {
namespace {

// The pipeline for the task's streams: the reading on this thread, the stages on their own.
bool RunPipeline(TaskParts& task) {
    // Copied streams need no stage: their packets go to the muxer from the reading thread.
    const bool convertsVideo = task.video.wanted && !task.video.copied;
    const bool convertsSound = task.sound.wanted && !task.sound.copied;
    const ThreadLayout& layout = ChooseLayout(
        convertsVideo, convertsSound, convertsSound ? task.sound.encoder.Context()->frame_size : 0);
    Pipeline pipeline(layout, task.stop, task.video, task.sound);
    DemuxStage demux(task.input, task.length, task.muxer, task.subtitles, task.stop,
                     task.decodedSinceRead);
    for (StreamPath* path : {&task.video, &task.sound}) {
        if (path->wanted && path->copied) {
            demux.Route(path->inStream->index,
                        [path](AVPacket* packet) { return path->Copy(packet); });
        } else if (path->wanted) {
            demux.Route(path->inStream->index,
                        pipeline.Route(path->IsVideo() ? StreamKind::Video : StreamKind::Sound));
        }
    }
    pipeline.Run(task.request.stageThread, [&demux] { demux.Run(); });
    return !task.stop.Stopping() && demux.VerifyDiscardedEnds();
}

// Whether the output is complete: every converted stream decoded and written, the input as
// long as it declares; then the muxer's end.
bool Finish(TaskParts& task) {
    for (const StreamPath* path : {&task.video, &task.sound}) {
        if (path->wanted && !path->copied && path->decoder.FramesDecoded() == 0) {
            return task.stop.Fail(std::string("The input's ") + path->Name() +
                                  " could not be decoded");
        }
    }
    if (const std::string cut = task.length.Check(task.output.PositionUs()); !cut.empty()) {
        return task.stop.Fail(cut);
    }
    // A stream meant to be converted that left no packet: an empty or broken result.
    for (const StreamPath* path : {&task.video, &task.sound}) {
        if (path->wanted && task.output.PacketsWritten(path->outStream->index) == 0) {
            return task.stop.Fail(std::string("The input's ") + path->Name() +
                                  " holds no frames that could be converted");
        }
    }
    std::string error;
    return task.output.Finish(error) || task.stop.FailLibav(error);
}

// The finished file gets its name; only then is the end reported.
bool Commit(TaskParts& task) {
    std::string error;
    if (!task.output.Commit(error)) {
        return task.stop.Fail(error);
    }
    task.muxer.ReportEnd();
    return true;
}

// The one place where a failure becomes the task's text: libav's complaint on the failing
// thread completes it, unless the text holds it already.
std::string ErrorText(const std::optional<TaskError>& error) {
    if (!error) {
        return "Out of memory";  // the only failure that records no text
    }
    return WithDetail(error->text, error->libavDetail);
}

}  // namespace

TranscodeResult Transcode(const TranscodeRequest& request) {
    const LogCapture log;
    TaskStop stop(request.stop);
    TaskParts task(request, stop);
    const bool ok = task.video.HasFrame() && task.sound.HasFrame() && OpenInput(task) &&
                    ChooseStreams(task) && CreateOutput(task) &&
                    (!task.video.wanted ||
                     (task.video.copied ? SetupCopy(task, task.video) : SetupVideo(task))) &&
                    (!task.sound.wanted ||
                     (task.sound.copied ? SetupCopy(task, task.sound) : SetupSound(task))) &&
                    OpenOutput(task) && RunPipeline(task) && Finish(task) && Commit(task);
    if (ok) {
        const int copied = (task.video.wanted && task.video.copied ? kCopiedVideo : 0) |
                           (task.sound.wanted && task.sound.copied ? kCopiedSound : 0);
        return {TaskOutcome::Succeeded, {}, task.output.WrittenPath(), copied};
    }
    if (stop.Cancelled()) {
        return {TaskOutcome::Stopped, {}, {}};
    }
    return {TaskOutcome::Failed, ErrorText(stop.Error()), {}};
}

}  // namespace ostrel::engine::ff
