#include "engine/ffmpeg/transcode.h"

#include <algorithm>
#include <optional>
#include <string>

#include "engine/ffmpeg/copy_fit.h"
#include "engine/ffmpeg/demux_stage.h"
#include "engine/ffmpeg/encoder_constraints.h"
#include "engine/ffmpeg/log.h"
#include "engine/ffmpeg/pipeline.h"
#include "engine/ffmpeg/target_size.h"
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
                     task.decodedSinceRead, task.request.pause);
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

// The first pass ends with the encoder's statistics: libvpx hands them over in memory.
bool FinishFirstPass(TaskParts& task, std::string& stats) {
    const AVCodecContext* encoder = task.video.encoder.Context();
    if (encoder != nullptr && encoder->stats_out != nullptr) {
        stats = encoder->stats_out;
    }
    std::string error;
    return task.output.Finish(error) || task.stop.FailLibav(error);
}

// Whether the option string asks for a target size or for two passes, and its video encoder
// takes two.
bool NeedsTwoPasses(const TranscodeRequest& request) {
    JobSpec job;
    std::string error;
    if (!ParseOptions(request.options, InputFacts{}, job, error) ||
        (job.targetSizeBytes <= 0 && job.passes < 2) || job.noVideo ||
        request.container.audioOnly) {
        return false;
    }
    const std::string name = job.videoCodec.empty()
                                 ? DefaultVideoEncoder(request.container, {job.width, job.height})
                                 : job.videoCodec;
    return EncodesInTwoPasses(ResolveEncoderName(name));
}

struct PassPlan {
    int pass = 0;
    std::string statsPath;
    std::string stats;  // in: libvpx's statistics for the second pass; out: the first's
    bool globalHeader = false;
    bool learned = false;  // out: the first pass encoded the video
};

// The task's sequence once: the only pass, or one of two.
TranscodeResult RunPass(const TranscodeRequest& request, PassPlan& plan) {
    TaskStop stop(request.stop);
    TaskParts task(request, stop);
    task.pass = plan.pass;
    task.statsPath = plan.statsPath;
    task.passStats = plan.stats;
    task.passGlobalHeader = plan.globalHeader;
    if (plan.pass == 1 && OpenInput(task) && task.input.VideoIndex() < 0) {
        return {TaskOutcome::Succeeded, {}, {}};  // no video to learn: one pass alone
    }
    bool ok = task.video.HasFrame() && task.sound.HasFrame() &&
              (plan.pass == 1 || OpenInput(task)) && ChooseStreams(task);
    if (ok && plan.pass == 1 && (!task.video.wanted || task.video.copied)) {
        return {TaskOutcome::Succeeded, {}, {}};  // a copied video has nothing to learn
    }
    plan.learned = plan.pass == 1;
    ok = ok && CreateOutput(task) &&
         (!task.video.wanted ||
          (task.video.copied ? SetupCopy(task, task.video) : SetupVideo(task))) &&
         (!task.sound.wanted ||
          (task.sound.copied ? SetupCopy(task, task.sound) : SetupSound(task))) &&
         OpenOutput(task) && RunPipeline(task) &&
         (plan.pass == 1 ? FinishFirstPass(task, plan.stats) : Finish(task) && Commit(task));
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

}  // namespace

TranscodeResult Transcode(const TranscodeRequest& request) {
    const LogCapture log;
    PassPlan only;
    if (!NeedsTwoPasses(request)) {
        return RunPass(request, only);
    }
    // Both passes count for the progress: the first fills its first half, the second the rest.
    const PassLogFolder folder;
    if (!folder.Made()) {
        return {TaskOutcome::Failed, "Cannot make a folder for the first pass's statistics", {}};
    }
    const AVOutputFormat* real = av_guess_format(request.container.muxer.c_str(), nullptr, nullptr);
    PassPlan plan{1, folder.StatsPath(), {}, real != nullptr && (real->flags & AVFMT_GLOBALHEADER)};
    TranscodeRequest first = request;
    if (request.progress) {
        first.progress = [&request](std::int64_t positionUs, std::int64_t durationUs) {
            request.progress(std::min(positionUs, durationUs) / 2, durationUs);
        };
    }
    if (const TranscodeResult result = RunPass(first, plan);
        result.outcome != TaskOutcome::Succeeded) {
        return result;
    }
    if (!plan.learned) {
        // Nothing was encoded (no video, or a copied one): one ordinary pass, counted whole.
        return RunPass(request, only);
    }
    TranscodeRequest second = request;
    if (request.progress) {
        second.progress = [&request](std::int64_t positionUs, std::int64_t durationUs) {
            request.progress(durationUs / 2 + std::min(positionUs, durationUs) / 2, durationUs);
        };
    }
    plan.pass = 2;
    return RunPass(second, plan);
}

}  // namespace ostrel::engine::ff
