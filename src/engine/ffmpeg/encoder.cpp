// The conversion queue. Tasks run on the engine's own threads; every event goes through the
// host's poster.
//
// Threads: StartTasks(n) runs up to n tasks side by side and divides the n codec threads
// among the tasks that are running (n / min(n, tasks left), at least one each). Each task is a
// pipeline of its own (see pipeline.cpp): a reading thread, a video decoding thread, a video
// filtering and encoding thread and a sound thread, joined by small queues, with the codecs'
// own threads on top of the share (the video decoder takes half of it: it has a stage of its
// own beside the encoder). An output without video takes two threads: reading and decoding,
// and encoding with or without the resampling.
// A single long file therefore gets all n threads, as the ffmpeg tool does with "-threads n",
// while its stages fill the cores the encoder leaves idle; a batch keeps every core busy with
// whole pipelines. Measured on 2 cores (medians of 5, of 3 for the 20 s files; "--threads 2";
// the queue side by side against one task at a time with both threads):
//   8 clips of 5 s 640x480 to MP4 (MPEG-4)    2.19 s against 2.39 s
//   the same to MP4 (H.264)                    4.65 s against 5.38 s
//   the same to MP3                            0.50 s against 0.79 s
//   2 files of 20 s 1280x720 to MP4 (MPEG-4)   4.02 s against 3.98 s
//   the same to MP4 (H.264)                   12.58 s against 12.22 s
// Side by side is faster for short files and as fast for long ones, so it is the only policy.
//
// Events: each run has a serial (see host_events.h). A posted event carries its run's serial
// and a share of the gate, never the encoder itself; run on the host's thread, it is dropped
// unless its run is still the current one and the encoder still exists. Progress goes through
// a slot per task, so a slow host gets the newest position instead of a backlog.
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/ffmpeg_engine.h"
#include "engine/ffmpeg/host_events.h"
#include "engine/ffmpeg/job.h"
#include "engine/ffmpeg/log.h"
#include "engine/ffmpeg/output.h"
#include "engine/ffmpeg/stop.h"
#include "engine/ffmpeg/transcode.h"

namespace ostrel::engine::ff {
namespace {

// Batch scheduling and a niceness for the calling thread (Linux keeps both per thread, and
// threads started from it inherit them). Failures leave the thread as it was.
void LowerThreadPriority(int nice) {
    if (nice <= 0) {
        return;
    }
    sched_param param{};
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &param);
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), nice);
}

constexpr int kMaxThreads = 64;
constexpr const char* kOwnThreadText =
    "The encoder was called from one of its own threads (the event poster must queue events "
    "for the host's thread, not run them at once)";

bool SamePath(const std::string& first, const std::string& second) {
    std::error_code code;
    const auto a = std::filesystem::weakly_canonical(first, code);
    if (code) {
        return first == second;
    }
    const auto b = std::filesystem::weakly_canonical(second, code);
    if (code) {
        return first == second;
    }
    return a == b;
}

// Whether a file can be opened for reading; the reason when not. Only regular files are
// taken, told by stat so that a named pipe or a device is never opened: the open could wait
// for a writer, and the task would read on for ever.
bool CanRead(const std::string& path, std::string& reason) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        reason = "Not a regular file";
        return false;
    }
    // Non-blocking all the same, should the file have been replaced by a pipe meanwhile.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        reason = ErrorText(AVERROR(errno));
        return false;
    }
    ::close(fd);
    return true;
}

class FfmpegEncoder final : public Encoder {
  public:
    ~FfmpegEncoder() override {
        if (OnOwnThread()) {
            // Joining is impossible here and detaching would leave a thread running in a
            // destroyed object: end the process with the reason instead.
            std::fprintf(stderr, "ostrel engine: encoder destroyed on its own thread. %s\n",
                         kOwnThreadText);
            std::abort();
        }
        hostEvents_.Close();
        runStop_.request_stop();
        JoinRunner();
    }

    void SetEventPoster(EventPoster poster) override { hostEvents_.SetPoster(std::move(poster)); }

    void SetEvents(EncoderEvents events) override {
        std::lock_guard lock(mutex_);
        events_ = std::move(events);
    }

    void ClearTasks() override {
        if (OnOwnThread()) {
            Refuse(kOwnThreadText);
            return;
        }
        if (running_) {
            StopTasks(true);
        }
        hostEvents_.NextRun();  // events of the cleared queue still waiting are dropped
        std::lock_guard lock(mutex_);
        tasks_.clear();
        inputs_.clear();
        firstUnstarted_ = 0;
    }

    int OpenInput(const std::string& path, const std::string& formatName) override {
        if (!formatName.empty() && av_find_input_format(formatName.c_str()) == nullptr) {
            return Refuse("Unknown input format: " + formatName);
        }
        std::string reason;
        if (!CanRead(path, reason)) {
            return Refuse("Cannot open " + path + ": " + reason);
        }
        std::lock_guard lock(mutex_);
        inputs_.push_back({path, formatName, true});
        return static_cast<int>(inputs_.size()) - 1;
    }

    int AddOutput(int inputHandle, const std::string& outputPath,
                  const std::string& options) override {
        InputEntry input;
        if (!FindInput(inputHandle, input)) {
            return Refuse("Invalid input handle");
        }
        // Only what the option string and the paths tell is checked here; what depends on the
        // input's streams is decided by the task.
        JobSpec job;
        std::string error;
        if (!ParseOptions(options, InputFacts{}, job, error)) {
            return Refuse(error);
        }
        if (outputPath.empty()) {
            return Refuse("No output file name");
        }
        const auto container = ContainerForOutput(ExtensionOf(outputPath), job.muxer);
        if (!container) {
            return Refuse("Unknown output format for " + outputPath);
        }
        if ((job.noVideo || container->audioOnly) && job.noAudio) {
            return Refuse("Nothing to convert: the output would have no audio and no video");
        }
        const std::filesystem::path folder = std::filesystem::path(outputPath).parent_path();
        std::error_code code;
        if (!folder.empty() && !std::filesystem::is_directory(folder, code)) {
            return Refuse("The output folder does not exist: " + folder.string());
        }
        if (SamePath(input.path, outputPath)) {
            return Refuse("The output file would overwrite the input file");
        }
        return Queue({0, input.path, input.formatName, outputPath, options, *container});
    }

    void CloseInput(int inputHandle) override {
        std::lock_guard lock(mutex_);
        if (inputHandle >= 0 && inputHandle < static_cast<int>(inputs_.size())) {
            inputs_[static_cast<std::size_t>(inputHandle)].open = false;
        }
    }

    int StartTasks(int threads) override {
        if (OnOwnThread()) {
            return Refuse(kOwnThreadText);
        }
        if (running_) {
            return Refuse("A conversion is already running");
        }
        JoinRunner();
        std::vector<QueuedTask> batch;
        {
            std::lock_guard lock(mutex_);
            batch.assign(tasks_.begin() + static_cast<std::ptrdiff_t>(firstUnstarted_),
                         tasks_.end());
            firstUnstarted_ = tasks_.size();
        }
        if (batch.empty()) {
            return Refuse("There is nothing to convert");
        }
        runStop_ = std::stop_source();
        pause_.Set(false);
        running_ = true;
        const std::uint64_t serial = hostEvents_.NextRun();
        runner_ = std::thread([this, tasks = std::move(batch), threads, serial,
                               stop = runStop_.get_token(), nice = taskNice_.load()]() mutable {
            // The workers, their stage threads and the codecs' threads are started from here
            // and inherit its scheduling.
            LowerThreadPriority(nice);
            RunQueue(std::move(tasks), std::clamp(threads, 1, kMaxThreads), serial, stop);
        });
        return 0;
    }

    void PauseTasks(bool paused) override { pause_.Set(paused); }
    void SetTaskNice(int nice) override { taskNice_ = std::clamp(nice, 0, 19); }

    void StopTasks(bool wait) override {
        runStop_.request_stop();
        // On its own thread the encoder cannot wait for itself.
        if (wait && !OnOwnThread()) {
            JoinRunner();
        }
    }

    std::string LastError() const override {
        std::lock_guard lock(mutex_);
        return lastError_;
    }

  private:
    struct InputEntry {
        std::string path;
        std::string formatName;
        bool open = false;
    };

    struct Progress {
        std::int64_t positionUs = 0;
        std::int64_t durationUs = 0;
    };

    struct QueuedTask {
        int number = 0;
        std::string inputPath;
        std::string inputFormat;
        std::string outputPath;
        std::string options;
        ContainerInfo container;
    };

    bool OnOwnThread() const { return HostEvents::OnThreadOf(this); }

    int Refuse(const std::string& text) {
        std::lock_guard lock(mutex_);
        lastError_ = text;
        return -1;
    }

    bool FindInput(int handle, InputEntry& input) const {
        std::lock_guard lock(mutex_);
        if (handle < 0 || handle >= static_cast<int>(inputs_.size()) ||
            !inputs_[static_cast<std::size_t>(handle)].open) {
            return false;
        }
        input = inputs_[static_cast<std::size_t>(handle)];
        return true;
    }

    // Numbers and queues a task, unless a task still to run writes the same file.
    int Queue(QueuedTask task) {
        std::lock_guard lock(mutex_);
        for (std::size_t i = firstUnstarted_; i < tasks_.size(); ++i) {
            if (SamePath(tasks_[i].outputPath, task.outputPath)) {
                lastError_ = "Another task already writes " + task.outputPath;
                return -1;
            }
        }
        task.number = static_cast<int>(tasks_.size());
        tasks_.push_back(std::move(task));
        return tasks_.back().number;
    }

    void JoinRunner() {
        if (runner_.joinable()) {
            runner_.join();
        }
    }

    void PostFinished(std::uint64_t serial, int task, TaskOutcome outcome,
                      const std::string& text) {
        std::function<void(int, TaskOutcome, const std::string&)> handler;
        {
            std::lock_guard lock(mutex_);
            handler = events_.TaskFinished;
        }
        if (handler) {
            hostEvents_.Post(serial,
                             [handler, task, outcome, text]() { handler(task, outcome, text); });
        }
    }

    void PostCopied(std::uint64_t serial, int task, int copiedStreams) {
        std::function<void(int, int)> handler;
        {
            std::lock_guard lock(mutex_);
            handler = events_.StreamsCopied;
        }
        if (handler) {
            hostEvents_.Post(serial,
                             [handler, task, copiedStreams]() { handler(task, copiedStreams); });
        }
    }

    void PostWritten(std::uint64_t serial, int task, const std::string& path) {
        std::function<void(int, const std::string&)> handler;
        {
            std::lock_guard lock(mutex_);
            handler = events_.OutputWritten;
        }
        if (handler) {
            hostEvents_.Post(serial, [handler, task, path]() { handler(task, path); });
        }
    }

    // Progress goes through the task's slot: one event is on its way at a time and shows the
    // newest position when it runs.
    void PostProgress(std::uint64_t serial, int task,
                      const std::shared_ptr<LatestValue<Progress>>& slot, Progress progress) {
        std::function<void(int, std::int64_t, std::int64_t)> handler;
        {
            std::lock_guard lock(mutex_);
            handler = events_.TaskProgress;
        }
        if (handler) {
            hostEvents_.PostLatest<Progress>(
                serial, slot, progress, [handler, task](Progress newest) {
                    handler(task, newest.positionUs, newest.durationUs);
                });
        }
    }

    void RunQueue(std::vector<QueuedTask> tasks, int threads, std::uint64_t serial,
                  const std::stop_token& stop) {
        const HostEvents::OwnerMark mark(this);
        RemoveStaleFiles(tasks);
        const std::size_t count = tasks.size();
        const std::size_t workers = std::min<std::size_t>(static_cast<std::size_t>(threads), count);
        std::atomic<std::size_t> next{0};
        std::atomic<bool> allSucceeded{true};
        auto work = [&]() {
            const HostEvents::OwnerMark workerMark(this);
            for (std::size_t index = next.fetch_add(1); index < count; index = next.fetch_add(1)) {
                const int share =
                    std::max(1, threads / static_cast<int>(std::min(workers, count - index)));
                if (RunTask(tasks[index], share, serial, stop) != TaskOutcome::Succeeded) {
                    allSucceeded = false;
                }
            }
        };
        std::vector<std::thread> pool;
        for (std::size_t i = 1; i < workers; ++i) {
            pool.emplace_back(work);
        }
        work();
        for (std::thread& thread : pool) {
            thread.join();
        }
        const bool stopped = stop.stop_requested();
        running_ = false;
        PostFinished(serial, -1,
                     stopped        ? TaskOutcome::Stopped
                     : allSucceeded ? TaskOutcome::Succeeded
                                    : TaskOutcome::Failed,
                     {});
    }

    // Temporary files that killed runs left in the folders this run writes to.
    static void RemoveStaleFiles(const std::vector<QueuedTask>& tasks) {
        std::vector<std::string> folders;
        for (const QueuedTask& task : tasks) {
            std::string folder = std::filesystem::path(task.outputPath).parent_path().string();
            if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
                RemoveStaleTemporaryFiles(folder);
                folders.push_back(std::move(folder));
            }
        }
    }

    TaskOutcome RunTask(const QueuedTask& task, int threads, std::uint64_t serial,
                        const std::stop_token& stop) {
        // No task starts while the run is paused.
        if (!pause_.WaitWhilePaused(stop) || stop.stop_requested()) {
            PostFinished(serial, task.number, TaskOutcome::Stopped, {});
            return TaskOutcome::Stopped;
        }
        TranscodeRequest request;
        request.inputPath = task.inputPath;
        request.inputFormat = task.inputFormat;
        request.outputPath = task.outputPath;
        request.options = task.options;
        request.container = task.container;
        request.threads = threads;
        request.stop = stop;
        request.pause = &pause_;
        request.progress = [this, serial, number = task.number,
                            slot = std::make_shared<LatestValue<Progress>>()](
                               std::int64_t positionUs, std::int64_t durationUs) {
            PostProgress(serial, number, slot, {positionUs, durationUs});
        };
        request.stageThread = [this] { HostEvents::MarkThread(this); };
        const TranscodeResult result = Transcode(request);
        if (result.outcome == TaskOutcome::Succeeded) {
            if (result.copiedStreams != 0) {
                PostCopied(serial, task.number, result.copiedStreams);
            }
            PostWritten(serial, task.number, result.outputPath);
        }
        PostFinished(serial, task.number, result.outcome, result.errorText);
        return result.outcome;
    }

    mutable std::mutex mutex_;
    HostEvents hostEvents_;
    EncoderEvents events_;
    std::vector<InputEntry> inputs_;
    std::vector<QueuedTask> tasks_;
    std::size_t firstUnstarted_ = 0;
    std::string lastError_;
    std::stop_source runStop_;  // replaced by each run before its thread starts
    PauseGate pause_;
    std::atomic<bool> running_{false};
    std::thread runner_;
    std::atomic<int> taskNice_{0};
};

}  // namespace

std::unique_ptr<Encoder> CreateFfmpegEncoder() {
    RouteLibavLog();
    return std::make_unique<FfmpegEncoder>();
}

}  // namespace ostrel::engine::ff
