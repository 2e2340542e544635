// The conversion queue. Tasks run on the engine's own threads; every event goes through the
// host's poster.
//
// Threads: StartTasks(n) runs up to n tasks side by side and divides the n codec threads
// among the tasks that are running (n / min(n, tasks left), at least one each). A single long
// file therefore gets all n threads for its decoder, filters and encoder, as the ffmpeg tool
// does with "-threads n"; a batch of short files keeps every core busy with whole pipelines,
// which scales better than threading inside one small task. Within a task the share goes to
// the decoder, the filter graph and the encoder alike (libx264 gets 1.5 threads per share, its
// own rule for keeping frame threads busy).
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/ffmpeg_engine.h"
#include "engine/ffmpeg/job.h"
#include "engine/ffmpeg/transcode.h"

namespace ostrel::engine::ff {
namespace {

constexpr int kMaxThreads = 64;

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

class FfmpegEncoder final : public Encoder {
  public:
    ~FfmpegEncoder() override { StopTasks(true); }

    void SetEventPoster(EventPoster poster) override {
        std::lock_guard lock(mutex_);
        poster_ = std::move(poster);
    }

    void SetEvents(EncoderEvents events) override {
        std::lock_guard lock(mutex_);
        events_ = std::move(events);
    }

    void ClearTasks() override {
        if (running_) {
            StopTasks(true);
        }
        std::lock_guard lock(mutex_);
        tasks_.clear();
        inputs_.clear();
        firstUnstarted_ = 0;
    }

    int OpenInput(const std::string& path, const std::string& formatName) override {
        const AVInputFormat* format = nullptr;
        if (!formatName.empty()) {
            format = av_find_input_format(formatName.c_str());
            if (format == nullptr) {
                return Refuse("Unknown input format: " + formatName);
            }
        }
        AVFormatContext* context = nullptr;
        int ret = avformat_open_input(&context, path.c_str(), format, nullptr);
        if (ret < 0) {
            return Refuse("Cannot open " + path + ": " + ErrorText(ret));
        }
        InputContextPtr input(context);
        ret = avformat_find_stream_info(input.get(), nullptr);
        if (ret < 0) {
            return Refuse("Cannot read " + path + ": " + ErrorText(ret));
        }
        InputFacts facts;
        for (unsigned i = 0; i < input->nb_streams; ++i) {
            AVStream* stream = input->streams[i];
            if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
                !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
                if (!facts.hasVideo) {
                    facts.frameRate = av_q2d(av_guess_frame_rate(input.get(), stream, nullptr));
                }
                facts.hasVideo = true;
            } else if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
                facts.hasAudio = true;
            }
        }
        if (!facts.hasVideo && !facts.hasAudio) {
            return Refuse("The file " + path + " has no audio or video stream");
        }
        std::lock_guard lock(mutex_);
        inputs_.push_back({path, formatName, facts, true});
        return static_cast<int>(inputs_.size()) - 1;
    }

    int AddOutput(int inputHandle, const std::string& outputPath,
                  const std::string& options) override {
        InputEntry input;
        {
            std::lock_guard lock(mutex_);
            if (inputHandle < 0 || inputHandle >= static_cast<int>(inputs_.size()) ||
                !inputs_[static_cast<std::size_t>(inputHandle)].open) {
                lastError_ = "Invalid input handle";
                return -1;
            }
            input = inputs_[static_cast<std::size_t>(inputHandle)];
        }
        EncodeJob job;
        std::string error;
        if (!ParseOptions(options, input.facts, job, error)) {
            return Refuse(error);
        }
        if (outputPath.empty()) {
            return Refuse("No output file name");
        }
        const auto container = ContainerForOutput(ExtensionOf(outputPath), job.muxer);
        if (!container) {
            return Refuse("Unknown output format for " + outputPath);
        }
        const bool video = input.facts.hasVideo && !job.noVideo && !container->audioOnly;
        const bool audio = input.facts.hasAudio && !job.noAudio;
        if (!video && !audio) {
            return Refuse("Nothing to convert: the output would have no audio and no video");
        }
        if (video && job.videoCodec.empty() && container->videoCodec.empty()) {
            return Refuse("No video encoder for " + outputPath);
        }
        if (audio && job.audioCodec.empty() && container->audioCodec.empty()) {
            return Refuse("No audio encoder for " + outputPath);
        }
        const std::filesystem::path folder = std::filesystem::path(outputPath).parent_path();
        std::error_code code;
        if (!folder.empty() && !std::filesystem::is_directory(folder, code)) {
            return Refuse("The output folder does not exist: " + folder.string());
        }
        if (SamePath(input.path, outputPath)) {
            return Refuse("The output file would overwrite the input file");
        }
        std::lock_guard lock(mutex_);
        for (std::size_t i = firstUnstarted_; i < tasks_.size(); ++i) {
            if (SamePath(tasks_[i].outputPath, outputPath)) {
                lastError_ = "Another task already writes " + outputPath;
                return -1;
            }
        }
        QueuedTask task;
        task.number = static_cast<int>(tasks_.size());
        task.inputPath = input.path;
        task.outputPath = outputPath;
        task.container = *container;
        task.job = std::move(job);
        tasks_.push_back(std::move(task));
        return tasks_.back().number;
    }

    void CloseInput(int inputHandle) override {
        std::lock_guard lock(mutex_);
        if (inputHandle >= 0 && inputHandle < static_cast<int>(inputs_.size())) {
            inputs_[static_cast<std::size_t>(inputHandle)].open = false;
        }
    }

    int StartTasks(int threads) override {
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
        cancel_ = false;
        running_ = true;
        runner_ = std::thread([this, tasks = std::move(batch), threads]() mutable {
            RunQueue(std::move(tasks), std::clamp(threads, 1, kMaxThreads));
        });
        return 0;
    }

    void StopTasks(bool wait) override {
        cancel_ = true;
        if (wait) {
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
        InputFacts facts;
        bool open = false;
    };

    struct QueuedTask {
        int number = 0;
        std::string inputPath;
        std::string outputPath;
        ContainerInfo container;
        EncodeJob job;
    };

    int Refuse(const std::string& text) {
        std::lock_guard lock(mutex_);
        lastError_ = text;
        return -1;
    }

    void JoinRunner() {
        if (runner_.joinable()) {
            if (runner_.get_id() == std::this_thread::get_id()) {
                runner_.detach();  // called from an event run on the engine's own thread
            } else {
                runner_.join();
            }
        }
    }

    void Post(std::function<void()> event) {
        EventPoster poster;
        {
            std::lock_guard lock(mutex_);
            poster = poster_;
        }
        if (poster) {
            poster(std::move(event));
        }
    }

    void PostFinished(int task, TaskOutcome outcome, const std::string& text) {
        std::function<void(int, TaskOutcome, const std::string&)> handler;
        {
            std::lock_guard lock(mutex_);
            handler = events_.TaskFinished;
        }
        if (handler) {
            Post([handler, task, outcome, text]() { handler(task, outcome, text); });
        }
    }

    void PostProgress(int task, std::int64_t positionUs, std::int64_t durationUs) {
        std::function<void(int, std::int64_t, std::int64_t)> handler;
        {
            std::lock_guard lock(mutex_);
            handler = events_.TaskProgress;
        }
        if (handler) {
            Post([handler, task, positionUs, durationUs]() {
                handler(task, positionUs, durationUs);
            });
        }
    }

    void RunQueue(std::vector<QueuedTask> tasks, int threads) {
        const std::size_t count = tasks.size();
        const std::size_t workers = std::min<std::size_t>(static_cast<std::size_t>(threads), count);
        std::atomic<std::size_t> next{0};
        std::atomic<bool> allSucceeded{true};
        auto work = [&]() {
            for (;;) {
                const std::size_t index = next.fetch_add(1);
                if (index >= count) {
                    return;
                }
                const QueuedTask& task = tasks[index];
                if (cancel_) {
                    allSucceeded = false;
                    PostFinished(task.number, TaskOutcome::Stopped, {});
                    continue;
                }
                const std::size_t active = std::min(workers, count - index);
                TranscodeRequest request;
                request.inputPath = task.inputPath;
                request.outputPath = task.outputPath;
                request.container = task.container;
                request.job = task.job;
                request.threads = std::max(1, threads / static_cast<int>(active));
                request.cancel = &cancel_;
                request.progress = [this, number = task.number](std::int64_t positionUs,
                                                                std::int64_t durationUs) {
                    PostProgress(number, positionUs, durationUs);
                };
                const TranscodeResult result = Transcode(request);
                TaskOutcome outcome = TaskOutcome::Failed;
                if (result.status == TranscodeStatus::Succeeded) {
                    outcome = TaskOutcome::Succeeded;
                } else if (result.status == TranscodeStatus::Stopped) {
                    outcome = TaskOutcome::Stopped;
                }
                if (outcome != TaskOutcome::Succeeded) {
                    allSucceeded = false;
                }
                PostFinished(task.number, outcome,
                             outcome == TaskOutcome::Failed ? result.errorText : std::string());
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
        const bool stopped = cancel_;
        running_ = false;
        PostFinished(-1,
                     stopped        ? TaskOutcome::Stopped
                     : allSucceeded ? TaskOutcome::Succeeded
                                    : TaskOutcome::Failed,
                     {});
    }

    mutable std::mutex mutex_;
    EventPoster poster_;
    EncoderEvents events_;
    std::vector<InputEntry> inputs_;
    std::vector<QueuedTask> tasks_;
    std::size_t firstUnstarted_ = 0;
    std::string lastError_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> running_{false};
    std::thread runner_;
};

}  // namespace

void QuietLibavLog() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}

std::unique_ptr<Encoder> CreateFfmpegEncoder() {
    QuietLibavLog();
    return std::make_unique<FfmpegEncoder>();
}

}  // namespace ostrel::engine::ff
