#include "engine/ffmpeg/pipeline.h"

#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include "engine/ffmpeg/log.h"
#include "engine/ffmpeg/stream_path.h"

namespace ostrel::engine::ff {
namespace {

// The hand-over queues of a task's pipeline: deep enough to ride out the stages' uneven pace (a
// key frame that takes long to decode, an encoder's lookahead), small enough that the memory
// stays that of a conversion done in one thread. One decoded picture is enough: the decoder
// works on the next while the encoder takes it, and each picture held is 1.4 MB at 720p (two
// were no faster and took 1.5 MB more at the peak).
constexpr std::size_t kVideoPacketQueue = 16;
constexpr std::size_t kAudioPacketQueue = 64;
constexpr std::size_t kVideoFrameQueue = 1;
// Sound without video is read and decoded on one thread and converted further on another. An
// encoder that takes frames of this many samples or more (MP3, AAC, AC3, MP2, WMA, FLAC) does
// most of the work, so it gets the second thread to itself and the resampling stays with the
// decoding: MP3 takes 0.87 of the ffmpeg tool's time that way, 0.94 when the hand-over is
// after the decoding. Small frames (Vorbis takes 64 samples) or none (PCM) would cost more to
// hand over one by one than they gain (Vorbis 1.18), so the decoded frames go over instead and
// the resampling goes with the encoding (PCM 0.90, against 0.95 on one thread).
constexpr int kSplitAudioFrameSamples = 512;
// Sound frames handed from one thread to the other; the consumer is woken for a batch of them.
constexpr std::size_t kAudioFrameQueue = 32;

// The reading stays on the task's thread in every layout. With video, the video is decoded on
// one thread and filtered and encoded on another (the encoder's own threads come on top), and
// the sound is decoded, filtered and encoded on a third. Without video, reading alone is too
// small a part of the work to hand every packet to another thread: the sound is decoded as it
// is read and handed on as filtered or decoded frames (see kSplitAudioFrameSamples).
// Each stage: {stream, the step it starts with, its queue, whether it is woken for batches}.
const ThreadLayout kLayouts[] = {
    {.name = "video and sound",
     .video = true,
     .sound = true,
     .stages = {{StreamKind::Video, Step::Decode, kVideoPacketQueue, false},
                {StreamKind::Video, Step::Filter, kVideoFrameQueue, false},
                {StreamKind::Sound, Step::Decode, kAudioPacketQueue, false}}},
    {.name = "video",
     .video = true,
     .stages = {{StreamKind::Video, Step::Decode, kVideoPacketQueue, false},
                {StreamKind::Video, Step::Filter, kVideoFrameQueue, false}}},
    {.name = "sound, large encoder frames",
     .sound = true,
     .largeSoundFrames = true,
     .stages = {{StreamKind::Sound, Step::Encode, kAudioFrameQueue, true}}},
    {.name = "sound, small encoder frames or none",
     .sound = true,
     .stages = {{StreamKind::Sound, Step::Filter, kAudioFrameQueue, true}}},
    // Every stream copied: the reading thread writes the packets itself.
    {.name = "streams copied", .stages = {}},
};

void Allocate(FramePtr& frame) {
    frame.reset(av_frame_alloc());
}
void Allocate(PacketPtr& packet) {
    packet.reset(av_packet_alloc());
}
void MoveReference(AVFrame* to, AVFrame* from) {
    av_frame_move_ref(to, from);
}
void MoveReference(AVPacket* to, AVPacket* from) {
    av_packet_move_ref(to, from);
}

// Moves a frame or packet into the queue of the stage that works on it next; null closes the
// queue.
template <typename Owned, typename Item>
bool HandOn(BoundedQueue<Owned>& queue, TaskStop& stop, Item* item) {
    if (item == nullptr) {
        queue.Close();
        return true;
    }
    Owned handed;
    Allocate(handed);
    if (!handed) {
        return stop.Fail("Out of memory");
    }
    MoveReference(handed.get(), item);
    return queue.Push(std::move(handed));
}

}  // namespace

bool TaskStop::FailLibav(std::string text) {
    return Record({std::move(text), LogCapture::FirstErrorOnThisThread()});
}

bool TaskStop::Record(TaskError error) {
    {
        std::lock_guard lock(mutex_);
        if (!error_ && !error.text.empty() && !Cancelled()) {
            error_ = std::move(error);
        }
    }
    stop_.Request();
    return false;
}

std::optional<TaskError> TaskStop::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

const ThreadLayout& ChooseLayout(bool video, bool sound, int soundFrameSamples) {
    const bool large = !video && soundFrameSamples >= kSplitAudioFrameSamples;
    for (const ThreadLayout& layout : kLayouts) {
        if (layout.video == video && layout.sound == sound && layout.largeSoundFrames == large) {
            return layout;
        }
    }
    return kLayouts[0];  // not reached
}

// A stage and the queue it takes its items from: packets when it starts with decoding, frames
// otherwise.
struct Pipeline::Stage {
    StagePlan plan;
    std::unique_ptr<BoundedQueue<PacketPtr>> packets;
    std::unique_ptr<BoundedQueue<FramePtr>> frames;
};

Pipeline::Pipeline(const ThreadLayout& layout, TaskStop& stop, StreamPath& video, StreamPath& sound)
    : layout_(layout), stop_(stop), video_(video), sound_(sound) {
    for (const StagePlan& plan : layout_.stages) {
        Stage stage{plan, nullptr, nullptr};
        const auto wake = plan.batch ? BoundedQueue<FramePtr>::Wake::Batch
                                     : BoundedQueue<FramePtr>::Wake::EachItem;
        if (plan.first == Step::Decode) {
            stage.packets = std::make_unique<BoundedQueue<PacketPtr>>(plan.queue, stop.Token());
        } else {
            stage.frames = std::make_unique<BoundedQueue<FramePtr>>(plan.queue, stop.Token(), wake);
        }
        stages_.push_back(std::move(stage));
    }
    // The frames of a step that another stage starts with go into its queue.
    for (Stage& stage : stages_) {
        if (stage.frames) {
            StreamPath& path = Path(stage.plan.stream);
            BoundedQueue<FramePtr>& queue = *stage.frames;
            auto handOn = [&queue, &stop](AVFrame* frame) { return HandOn(queue, stop, frame); };
            if (stage.plan.first == Step::Filter) {
                path.HandDecodedTo(handOn);
            } else {
                path.HandFilteredTo(handOn);
            }
        }
    }
}

// The queues go with the pipeline: the paths no longer hand on to them.
Pipeline::~Pipeline() {
    video_.HandOnDirectly();
    sound_.HandOnDirectly();
}

Pipeline::Stage* Pipeline::Find(StreamKind stream, Step first) {
    for (Stage& stage : stages_) {
        if (stage.plan.stream == stream && stage.plan.first == first) {
            return &stage;
        }
    }
    return nullptr;
}

Pipeline::PacketStep Pipeline::Route(StreamKind stream) {
    if (Stage* stage = Find(stream, Step::Decode)) {
        BoundedQueue<PacketPtr>& queue = *stage->packets;
        return [&queue, this](AVPacket* packet) { return HandOn(queue, stop_, packet); };
    }
    StreamPath& path = Path(stream);
    return [&path](AVPacket* packet) { return path.Decode(packet); };
}

void Pipeline::RunOne(Stage& stage) {
    StreamPath& path = Path(stage.plan.stream);
    if (stage.packets) {
        RunStage(
            *stage.packets, stop_, [&path](const AVPacket* packet) { return path.Decode(packet); },
            [&path] { return path.Decode(nullptr); });
    } else if (stage.plan.first == Step::Filter) {
        RunStage(
            *stage.frames, stop_, [&path](AVFrame* frame) { return path.Filter(frame); },
            [&path] { return path.Filter(nullptr); });
    } else {
        RunStage(
            *stage.frames, stop_, [&path](const AVFrame* frame) { return path.Encode(frame); },
            [&path] { return path.Encode(nullptr); });
    }
}

void Pipeline::Run(const std::function<void()>& stageThread, const std::function<void()>& read) {
    std::vector<std::jthread> threads;
    try {
        for (Stage& stage : stages_) {
            threads.emplace_back([this, &stage, &stageThread] {
                // libav's complaints are kept per thread: a failing stage names its own.
                const LogCapture log;
                if (stageThread) {
                    stageThread();
                }
                RunOne(stage);
            });
        }
    } catch (const std::system_error& e) {
        stop_.Fail(std::string("Cannot start the conversion's threads: ") + e.what());
    }
    if (!stop_.Stopping()) {
        read();
    }
}  // every stage has ended here

}  // namespace ostrel::engine::ff
