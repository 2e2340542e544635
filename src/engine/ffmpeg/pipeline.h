// A conversion task's pipeline: the reading on the task's thread, the stages on threads of the
// task's own, joined by bounded queues. Which stages a task runs, and so which hand-overs go
// through a queue, is a table of thread layouts (see pipeline.cpp); every stage runs the same
// loop. The task has one stop: the run's stop reaches it, and a failing stage requests it,
// which ends every queue's wait, the input's reads and the output's writes at once.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/bounded_queue.h"
#include "engine/ffmpeg/stop.h"

namespace ostrel::engine::ff {

class StreamPath;

// A task's failure: its text, and libav's first complaint on the thread that failed.
struct TaskError {
    std::string text;
    std::string libavDetail;
};

// A task's one stop and its first failure.
class TaskStop {
  public:
    explicit TaskStop(std::stop_token run) : run_(run), stop_(std::move(run)) {}
    TaskStop(const TaskStop&) = delete;
    TaskStop& operator=(const TaskStop&) = delete;

    std::stop_token Token() const { return stop_.Token(); }
    // The task ends: a failure, or the run's stop.
    bool Stopping() const { return stop_.Requested(); }
    // The run was stopped.
    bool Cancelled() const { return run_.stop_requested(); }

    // Keeps text as the task's error unless an error came first or the run is stopping, and
    // stops the task. Always false, for "return stop.Fail(...)".
    bool Fail(std::string text) { return Record({std::move(text), {}}); }
    // The same for a text that passes on a libav error code: libav's first complaint on the
    // calling thread goes with it.
    bool FailLibav(std::string text);
    // Ends the task without an error of its own: a hand-over that did not happen because
    // another stage failed or the run was stopped.
    bool End() {
        stop_.Request();
        return false;
    }
    std::optional<TaskError> Error() const;

  private:
    bool Record(TaskError error);

    const std::stop_token run_;
    LinkedStop stop_;
    mutable std::mutex mutex_;
    std::optional<TaskError> error_;
};

// Where a stage starts on its stream: the stage takes the stream's packets to decode, its
// decoded frames to filter, or its filtered frames to encode, and carries them on to the
// muxer on its own thread unless a later stage takes them.
enum class StreamKind { Video, Sound };
enum class Step { Decode, Filter, Encode };

struct StagePlan {
    StreamKind stream = StreamKind::Video;
    Step first = Step::Decode;
    std::size_t queue = 1;  // items handed to the stage that may wait
    bool batch = false;     // the stage is woken for a batch of items, not each one
};

struct ThreadLayout {
    const char* name = "";
    bool video = false;
    bool sound = false;
    bool largeSoundFrames = false;  // only told apart for sound alone
    std::vector<StagePlan> stages;  // each on a thread of its own
};

// The layout for a task's streams; soundFrameSamples: the sound encoder's frame size.
const ThreadLayout& ChooseLayout(bool video, bool sound, int soundFrameSamples);

// One stage's loop, the same for every stage: takes each item of its queue and works on it
// until the queue ends, then finishes (flushes and ends what it feeds). A step that fails has
// recorded the task's error already; the loop ends the pipeline.
template <typename Item, typename Work, typename Finish>
void RunStage(BoundedQueue<Item>& input, TaskStop& stop, Work work, Finish finish) {
    Item item;
    while (input.Pop(item)) {
        if (!work(item.get())) {
            stop.End();
            return;
        }
        item.reset();
    }
    if (!stop.Stopping() && !finish()) {
        stop.End();
    }
}

// The stages of one task, set up from its layout: the queues, and each stream's hand-overs.
class Pipeline {
  public:
    // May take the packet's data (the caller unrefs it after); null: the end of the stream.
    using PacketStep = std::function<bool(AVPacket* packet)>;

    Pipeline(const ThreadLayout& layout, TaskStop& stop, StreamPath& video, StreamPath& sound);
    Pipeline(const Pipeline&) = delete;
    Pipeline& operator=(const Pipeline&) = delete;
    ~Pipeline();

    // Where the reading thread hands a stream's packets: a stage's queue, or the stream's
    // decoding on the reading thread itself.
    PacketStep Route(StreamKind stream);

    // Starts every stage on a thread of its own (each calls stageThread first), runs read on
    // this thread and returns when every stage has ended.
    void Run(const std::function<void()>& stageThread, const std::function<void()>& read);

  private:
    struct Stage;
    Stage* Find(StreamKind stream, Step first);
    StreamPath& Path(StreamKind stream) { return stream == StreamKind::Video ? video_ : sound_; }
    void RunOne(Stage& stage);

    const ThreadLayout& layout_;
    TaskStop& stop_;
    StreamPath& video_;
    StreamPath& sound_;
    std::vector<Stage> stages_;
};

}  // namespace ostrel::engine::ff
