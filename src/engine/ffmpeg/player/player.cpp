// The preview player, built like ffplay: a read thread fills one bounded packet queue per
// stream; a decoder thread per stream fills a small frame queue; the audio device's callback
// plays the sound frames and keeps the audio clock; a presentation thread hands each picture
// to the host when its time has come on the master clock (the audio clock while sound plays,
// else a system clock), skips pictures that are late and repeats none.
//
// Seeking is exact: the read thread seeks to the key frame before the target and raises the
// queues' serial; the decoders drop what lies before the target, so the first picture shown is
// the last one that starts at or before it and the sound starts at it.
//
// Events: each OpenMedia starts a new serial of the event gate. Posted events carry it and run
// on the host's thread only while it is still current, so nothing of a closed media (or of a
// destroyed player) reaches the host; CloseMedia joins every thread before it returns.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "engine/ffmpeg/ffmpeg_engine.h"
#include "engine/ffmpeg/filter_graph.h"
#include "engine/ffmpeg/input.h"
#include "engine/ffmpeg/log.h"
#include "engine/ffmpeg/player/ffmpeg_player.h"
#include "engine/ffmpeg/player/picture.h"
#include "engine/ffmpeg/player/player_queues.h"
#include "engine/ffmpeg/stream_decoder.h"

namespace ostrel::engine::ff {
namespace {

// The read thread pauses while the queues hold this much (ffplay's limits).
constexpr std::int64_t kMaxQueueBytes = 15 * 1024 * 1024;
constexpr int kMinPackets = 25;
constexpr std::size_t kPictureQueueSize = 3;
constexpr std::size_t kSampleQueueSize = 9;
// A picture more than this far from the master clock is not timed by it (a jump in the
// timestamps, not a sync error).
constexpr double kNoSyncThreshold = 10.0;
constexpr double kPositionInterval = 0.1;  // seconds between position events
constexpr double kRefreshInterval = 0.01;  // the presentation thread looks at least this often

constexpr const char* kOwnThreadText =
    "The player was called from one of its own threads (the event poster must queue events "
    "for the host's thread, not run them at once)";

thread_local const void* tlsOwner = nullptr;

class OwnerMark {
  public:
    explicit OwnerMark(const void* owner) : previous_(tlsOwner) { tlsOwner = owner; }
    ~OwnerMark() { tlsOwner = previous_; }
    OwnerMark(const OwnerMark&) = delete;
    OwnerMark& operator=(const OwnerMark&) = delete;

  private:
    const void* previous_;
};

struct EventGate {
    std::atomic<std::uint64_t> current{0};
};

std::int64_t ToMicroseconds(double seconds) {
    if (std::isnan(seconds)) {
        return 0;
    }
    return static_cast<std::int64_t>(std::llround(seconds * 1e6));
}

// A picture ready to show: the upright decoded picture and, when it was made ahead of time,
// its frame at the display size of that moment.
struct Picture {
    FramePtr frame;
    std::shared_ptr<const VideoFrame> scaled;
    double pts = NAN;
    double duration = 0.0;
    int serial = 0;
};

class FfmpegPlayerImpl final : public FfmpegPlayer {
  public:
    FfmpegPlayerImpl() { RouteLibavLog(); }

    ~FfmpegPlayerImpl() override {
        if (OnOwnThread()) {
            std::fprintf(stderr, "ostrel engine: player destroyed on its own thread. %s\n",
                         kOwnThreadText);
            std::abort();
        }
        CloseMedia(false);
        gate_->current.fetch_add(1);
    }

    void SetEventPoster(EventPoster poster) override {
        std::lock_guard lock(posterMutex_);
        poster_ = std::move(poster);
    }
    void SetEvents(PlayerEvents events) override {
        std::lock_guard lock(posterMutex_);
        events_ = std::move(events);
    }

    bool OpenMedia(const std::string& path, VideoSurface* surface, bool flag) override;
    void CloseMedia(bool flag) override;
    void Pause() override;
    void Resume() override;
    void TogglePause() override {
        if (IsPaused()) {
            Resume();
        } else {
            Pause();
        }
    }
    void Seek(std::int32_t positionLow, std::int32_t positionHigh, int mode, bool flag) override;
    void ApplyDisplaySize() override;

    std::int32_t OutputWidth() const override { return outputWidth_; }
    void SetOutputWidth(std::int32_t width) override { outputWidth_ = std::max(0, width); }
    std::int32_t OutputHeight() const override { return outputHeight_; }
    void SetOutputHeight(std::int32_t height) override { outputHeight_ = std::max(0, height); }
    std::int32_t DisplayWidth() const override { return displayWidth_; }
    void SetDisplayWidth(std::int32_t width) override { displayWidth_ = std::max(0, width); }
    std::int32_t DisplayHeight() const override { return displayHeight_; }
    void SetDisplayHeight(std::int32_t height) override { displayHeight_ = std::max(0, height); }

    std::string LastError() const override { return lastError_; }
    VideoSurface* VideoWindow() const override { return open_ ? surface_ : nullptr; }
    void SetAudioLevel(int level) override { audioLevel_ = std::clamp(level, 0, 128); }
    int AudioLevel() const override { return audioLevel_; }
    bool Muted() const override { return muted_; }
    void SetMuted(bool muted) override { muted_ = muted; }
    bool IsPaused() const override {
        std::lock_guard lock(mutex_);
        return open_ && paused_;
    }
    std::int32_t PlayState() const override {
        std::lock_guard lock(mutex_);
        return state_;
    }

    PlayerStatistics Statistics() const override {
        std::lock_guard lock(mutex_);
        PlayerStatistics stats = stats_;
        stats.syncMeanMs = stats_.syncSamples > 0 ? syncSumMs_ / stats_.syncSamples : 0.0;
        const double audio = audioClock_.Get(NowSeconds());
        stats.audioClockSeconds = std::isnan(audio) ? -1.0 : audio;
        return stats;
    }
    void ResetStatistics() override {
        std::lock_guard lock(mutex_);
        const PlayerStatistics kept = stats_;
        stats_ = PlayerStatistics();
        stats_.audioOutput = kept.audioOutput;
        stats_.audioSampleRate = kept.audioSampleRate;
        stats_.audioChannels = kept.audioChannels;
        stats_.audioBytesOut = kept.audioBytesOut;
        syncSumMs_ = 0.0;
    }

  private:
    bool OnOwnThread() const { return tlsOwner == this; }
    void Fail(const std::string& text) { lastError_ = text; }

    // Posting to the host.
    void Post(std::function<void(FfmpegPlayerImpl&)> event);
    void PostState(int state);
    void PostPosition(double seconds);
    void PostFrame(std::shared_ptr<const VideoFrame> frame);

    bool OpenAudioDevice(std::string& error);
    void SetState(int state);  // with mutex_ held
    void UpdateTargetSize();

    // Threads.
    void ReadLoop();
    void VideoLoop();
    void AudioLoop();
    void PresentLoop();
    static void AudioCallback(void* opaque, Uint8* stream, int length);
    void FillAudio(Uint8* stream, int length);
    int DecodeAudioFrame();  // bytes in audioBuffer_, or -1 when no sound is ready

    bool PushPicture(AVFrame* frame, double pts, double duration, int serial,
                     std::shared_ptr<const VideoFrame> scaled = nullptr);
    void Present(const std::shared_ptr<Picture>& picture, double now);
    void CheckEnd(double now);
    double MasterClock(double now) const;  // with mutex_ held
    // Wakes the presentation thread and the read thread.
    void Wake() {
        {
            std::lock_guard lock(wakeMutex_);
            wakeUp_ = true;
            wake_.notify_all();
        }
        std::lock_guard lock(readWakeMutex_);
        readWakeUp_ = true;
        readWake_.notify_all();
    }

    // Host side.
    std::mutex posterMutex_;
    EventPoster poster_;
    PlayerEvents events_;
    std::shared_ptr<EventGate> gate_ = std::make_shared<EventGate>();
    std::uint64_t openSerial_ = 0;
    std::string lastError_;
    VideoSurface* surface_ = nullptr;
    bool open_ = false;
    std::int32_t outputWidth_ = 0;
    std::int32_t outputHeight_ = 0;
    std::int32_t displayWidth_ = 0;
    std::int32_t displayHeight_ = 0;
    std::atomic<int> audioLevel_{128};
    std::atomic<bool> muted_{false};

    // The media, set up by OpenMedia before the threads start and released after they ended.
    std::atomic<bool> abort_{false};
    std::stop_source mediaStop_;  // stops the input's blocking calls at a close
    std::unique_ptr<Input> input_;
    int videoIndex_ = -1;
    int audioIndex_ = -1;
    StreamDecoder videoDecoder_;
    StreamDecoder audioDecoder_;
    double startSeconds_ = 0.0;
    double durationSeconds_ = 0.0;
    int naturalWidth_ = 0;
    int naturalHeight_ = 0;
    AVRational naturalSar_{1, 1};
    SDL_AudioDeviceID audioDevice_ = 0;
    bool sdlAudio_ = false;
    int deviceRate_ = 0;
    int deviceChannels_ = 0;
    int deviceBytesPerSecond_ = 0;
    int hardwareBufferBytes_ = 0;
    std::vector<std::thread> threads_;

    PacketQueue videoPackets_;
    PacketQueue audioPackets_;
    FrameQueue<Picture> pictures_{kPictureQueueSize};
    FrameQueue<QueuedFrame> samples_{kSampleQueueSize};
    std::atomic<int> videoFinished_{-1};  // serial whose end the decoder has reached
    std::atomic<int> audioFinished_{-1};
    std::atomic<bool> readEnded_{false};
    // The audio callback found nothing more to play: the sound has ended for this serial.
    std::atomic<bool> audioDrained_{false};

    // The display size pictures are made at.
    std::atomic<int> targetWidth_{0};
    std::atomic<int> targetHeight_{0};
    std::atomic<bool> redraw_{false};

    // Control and clocks, shared by the host, the presentation thread and the audio callback.
    mutable std::mutex mutex_;
    int state_ = kPlayerClosed;
    bool paused_ = false;
    bool ended_ = false;
    bool seekRequested_ = false;
    std::uint64_t seekRequests_ = 0;
    std::int64_t seekTargetUs_ = 0;
    double seekRequestTime_ = 0.0;
    bool seekPending_ = false;  // a seek whose first picture has not been shown
    Clock audioClock_{audioPackets_.SerialAddress()};
    Clock videoClock_{videoPackets_.SerialAddress()};
    Clock externalClock_;
    PlayerStatistics stats_;
    double syncSumMs_ = 0.0;

    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool wakeUp_ = false;
    std::mutex readWakeMutex_;
    std::condition_variable readWake_;
    bool readWakeUp_ = false;

    // Frames to the host: the newest one waits here until the posted event takes it.
    std::mutex frameMutex_;
    std::shared_ptr<const VideoFrame> pendingFrame_;
    bool frameEventPosted_ = false;

    int lastPushedSerial_ = -1;  // video decoder thread only

    // Presentation thread only.
    std::shared_ptr<Picture> lastShown_;
    PictureScaler presentScaler_;
    double lastPositionPost_ = -1.0;
    int lastPositionSerial_ = -1;

    // Audio callback only.
    SwrContextPtr resampler_;
    int resamplerFormat_ = -1;
    int resamplerRate_ = 0;
    ChannelLayout resamplerLayout_;
    std::vector<std::uint8_t> audioBuffer_;
    std::vector<std::uint8_t> mixBuffer_;
    std::size_t audioBufferSize_ = 0;
    std::size_t audioBufferIndex_ = 0;
    double audioClockPts_ = NAN;
    int audioClockSerial_ = -1;
};

// ---------------------------------------------------------------------------------------------
// Posting.

void FfmpegPlayerImpl::Post(std::function<void(FfmpegPlayerImpl&)> event) {
    EventPoster poster;
    {
        std::lock_guard lock(posterMutex_);
        poster = poster_;
    }
    if (!poster) {
        return;
    }
    std::shared_ptr<EventGate> gate = gate_;
    const std::uint64_t serial = openSerial_;
    poster([this, gate, serial, event = std::move(event)] {
        if (gate->current.load() == serial) {
            event(*this);
        }
    });
}

void FfmpegPlayerImpl::PostState(int state) {
    Post([state](FfmpegPlayerImpl& self) {
        if (self.events_.StateChanged) {
            self.events_.StateChanged(state);
        }
    });
}

void FfmpegPlayerImpl::PostPosition(double seconds) {
    const std::int64_t position = std::max<std::int64_t>(0, ToMicroseconds(seconds));
    Post([position](FfmpegPlayerImpl& self) {
        if (self.events_.PositionChanged) {
            self.events_.PositionChanged(position);
        }
    });
}

void FfmpegPlayerImpl::PostFrame(std::shared_ptr<const VideoFrame> frame) {
    {
        std::lock_guard lock(frameMutex_);
        pendingFrame_ = std::move(frame);
        if (frameEventPosted_) {
            return;  // the event on its way takes the newest frame
        }
        frameEventPosted_ = true;
    }
    Post([](FfmpegPlayerImpl& self) {
        std::shared_ptr<const VideoFrame> newest;
        {
            std::lock_guard lock(self.frameMutex_);
            newest = std::move(self.pendingFrame_);
            self.frameEventPosted_ = false;
        }
        if (self.surface_ != nullptr) {
            self.surface_->PresentFrame(std::move(newest));
        }
    });
}

void FfmpegPlayerImpl::SetState(int state) {
    if (state_ != state) {
        state_ = state;
        PostState(state);
    }
}

// ---------------------------------------------------------------------------------------------
// Host calls.

bool FfmpegPlayerImpl::OpenAudioDevice(std::string& error) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = std::string("No audio output: ") + SDL_GetError();
        return false;
    }
    sdlAudio_ = true;
    const AVCodecContext* codec = audioDecoder_.Context();
    SDL_AudioSpec wanted{};
    wanted.freq = codec->sample_rate > 0 ? codec->sample_rate : 44100;
    wanted.channels = static_cast<Uint8>(std::clamp(codec->ch_layout.nb_channels, 1, 2));
    wanted.format = AUDIO_S16SYS;
    wanted.silence = 0;
    // About 30 callbacks a second, as ffplay asks.
    wanted.samples = static_cast<Uint16>(std::max(512, 2 << av_log2(wanted.freq / 30)));
    wanted.callback = &FfmpegPlayerImpl::AudioCallback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    audioDevice_ =
        SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained,
                            SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (audioDevice_ == 0 || obtained.format != AUDIO_S16SYS || obtained.channels < 1) {
        error = std::string("No audio output: ") + SDL_GetError();
        if (audioDevice_ != 0) {
            SDL_CloseAudioDevice(audioDevice_);
            audioDevice_ = 0;
        }
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdlAudio_ = false;
        return false;
    }
    deviceRate_ = obtained.freq;
    deviceChannels_ = obtained.channels;
    deviceBytesPerSecond_ = deviceRate_ * deviceChannels_ * 2;
    hardwareBufferBytes_ = static_cast<int>(obtained.size);
    return true;
}

bool FfmpegPlayerImpl::OpenMedia(const std::string& path, VideoSurface* surface, bool) {
    if (OnOwnThread()) {
        Fail(kOwnThreadText);
        return false;
    }
    CloseMedia(false);
    abort_ = false;
    mediaStop_ = std::stop_source();
    auto input = std::make_unique<Input>(mediaStop_.get_token());
    if (!input->Open(path, "")) {
        Fail(input->ErrorText(path));
        return false;
    }
    int videoIndex = input->VideoIndex();
    int audioIndex = input->AudioIndex();
    std::string videoError;
    std::string audioError;
    if (videoIndex >= 0 &&
        !videoDecoder_.Open(input->Context(), input->Stream(videoIndex), 0, videoError)) {
        videoIndex = -1;
    }
    if (audioIndex >= 0 &&
        !audioDecoder_.Open(input->Context(), input->Stream(audioIndex), 1, audioError)) {
        audioIndex = -1;
    }
    if (videoIndex < 0 && audioIndex < 0) {
        const std::string reason = !videoError.empty()   ? videoError
                                   : !audioError.empty() ? audioError
                                                         : "it has neither picture nor sound";
        Fail("Cannot play " + path + ": " + reason);
        return false;
    }
    const std::int64_t startUs = input->StartTimeUs();
    startSeconds_ = startUs == AV_NOPTS_VALUE ? 0.0 : startUs / 1e6;
    durationSeconds_ = input->DurationUs() / 1e6;
    for (auto [decoder, index] :
         {std::pair{&videoDecoder_, videoIndex}, std::pair{&audioDecoder_, audioIndex}}) {
        if (index >= 0) {
            const AVStream* stream = input->Stream(index);
            decoder->SetStartPts(startUs == AV_NOPTS_VALUE
                                     ? 0
                                     : av_rescale_q(startUs, AV_TIME_BASE_Q, stream->time_base));
        }
    }
    naturalWidth_ = 0;
    naturalHeight_ = 0;
    if (videoIndex >= 0) {
        AVStream* stream = input->Stream(videoIndex);
        const PictureSize upright = UprightSize(stream);
        naturalSar_ = UprightSampleAspect(input->Context(), stream);
        NaturalSize(upright.width, upright.height, naturalSar_, naturalWidth_, naturalHeight_);
    }
    videoIndex_ = videoIndex;
    audioIndex_ = audioIndex;
    input_ = std::move(input);

    std::string deviceError;
    const bool audioOutput = audioIndex_ >= 0 && OpenAudioDevice(deviceError);
    if (audioIndex_ >= 0 && !audioOutput && videoIndex_ < 0) {
        input_.reset();
        audioDecoder_ = StreamDecoder();
        Fail("Cannot play " + path + ": " + deviceError);
        return false;
    }
    const int sampleRate = audioIndex_ >= 0 ? audioDecoder_.Context()->sample_rate : 0;
    const int channels = audioIndex_ >= 0 ? audioDecoder_.Context()->ch_layout.nb_channels : 0;
    {
        std::lock_guard lock(mutex_);
        stats_ = PlayerStatistics();
        syncSumMs_ = 0.0;
        stats_.audioOutput = audioOutput;
        stats_.audioSampleRate = audioOutput ? deviceRate_ : 0;
        stats_.audioChannels = audioOutput ? deviceChannels_ : 0;
        paused_ = false;
        ended_ = false;
        seekRequested_ = false;
        seekPending_ = false;
        audioClock_.Invalidate();
        videoClock_.Invalidate();
        externalClock_.Invalidate();
        state_ = kPlayerPlaying;
    }
    if (!audioOutput) {
        audioIndex_ = -1;  // without a device the sound is not decoded; the system clock leads
    }
    videoFinished_ = -1;
    audioFinished_ = -1;
    readEnded_ = false;
    audioDrained_ = false;
    surface_ = surface;
    open_ = true;
    openSerial_ = gate_->current.fetch_add(1) + 1;
    lastShown_.reset();
    lastPositionPost_ = -1.0;
    lastPositionSerial_ = -1;
    lastPushedSerial_ = -1;
    audioBufferSize_ = 0;
    audioBufferIndex_ = 0;
    audioClockPts_ = NAN;
    audioClockSerial_ = -1;
    resampler_.reset();
    resamplerFormat_ = -1;
    UpdateTargetSize();
    lastError_.clear();

    {
        const std::int64_t durationUs = ToMicroseconds(durationSeconds_);
        const int width = naturalWidth_;
        const int height = naturalHeight_;
        Post([=](FfmpegPlayerImpl& self) {
            if (self.events_.DurationKnown) {
                self.events_.DurationKnown(durationUs, width, height, sampleRate, channels);
            }
        });
    }
    PostState(kPlayerPlaying);
    if (videoIndex_ < 0) {
        PostFrame(BlackFrame(targetWidth_, targetHeight_));
    }

    threads_.emplace_back([this] { ReadLoop(); });
    if (videoIndex_ >= 0) {
        threads_.emplace_back([this] { VideoLoop(); });
    }
    if (audioIndex_ >= 0) {
        threads_.emplace_back([this] { AudioLoop(); });
    }
    threads_.emplace_back([this] { PresentLoop(); });
    if (audioDevice_ != 0) {
        SDL_PauseAudioDevice(audioDevice_, 0);
    }
    return true;
}

void FfmpegPlayerImpl::CloseMedia(bool) {
    if (!open_) {
        return;
    }
    if (OnOwnThread()) {
        std::fprintf(stderr, "ostrel engine: player closed on its own thread. %s\n",
                     kOwnThreadText);
        std::abort();
    }
    // Events of this media still on their way are dropped from here on.
    gate_->current.fetch_add(1);
    abort_ = true;
    mediaStop_.request_stop();
    videoPackets_.Abort();
    audioPackets_.Abort();
    pictures_.Abort();
    samples_.Abort();
    Wake();
    if (audioDevice_ != 0) {
        SDL_CloseAudioDevice(audioDevice_);  // waits for a running callback
        audioDevice_ = 0;
    }
    if (sdlAudio_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        sdlAudio_ = false;
    }
    for (std::thread& thread : threads_) {
        thread.join();
    }
    threads_.clear();
    // Fresh queues for the next media: the aborted ones cannot be reused.
    videoPackets_.Reset();
    audioPackets_.Reset();
    pictures_.Reset();
    samples_.Reset();
    input_.reset();
    videoDecoder_ = StreamDecoder();
    audioDecoder_ = StreamDecoder();
    lastShown_.reset();
    resampler_.reset();
    {
        std::lock_guard lock(frameMutex_);
        pendingFrame_.reset();
        frameEventPosted_ = false;
    }
    {
        std::lock_guard lock(mutex_);
        state_ = kPlayerClosed;
        paused_ = false;
        ended_ = false;
    }
    open_ = false;
    surface_ = nullptr;
}

void FfmpegPlayerImpl::Pause() {
    if (!open_) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (!paused_) {
        const double now = NowSeconds();
        paused_ = true;
        for (Clock* clock : {&audioClock_, &videoClock_, &externalClock_}) {
            clock->SetPaused(true, now);
        }
    }
    SetState(kPlayerPaused);
}

void FfmpegPlayerImpl::Resume() {
    if (!open_) {
        return;
    }
    bool rewind = false;
    {
        std::lock_guard lock(mutex_);
        rewind = ended_;
    }
    if (rewind) {
        Seek(0, 0, 0, false);  // the end was reached: play again from the start
    }
    {
        std::lock_guard lock(mutex_);
        if (paused_) {
            const double now = NowSeconds();
            paused_ = false;
            for (Clock* clock : {&audioClock_, &videoClock_, &externalClock_}) {
                clock->SetPaused(false, now);
            }
        }
        SetState(kPlayerPlaying);
    }
    Wake();
}

void FfmpegPlayerImpl::Seek(std::int32_t positionLow, std::int32_t positionHigh, int, bool) {
    if (!open_) {
        return;
    }
    std::int64_t target = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(positionHigh)) << 32) |
        static_cast<std::uint32_t>(positionLow));
    target = std::max<std::int64_t>(0, target);
    if (durationSeconds_ > 0) {
        target = std::min(target, ToMicroseconds(durationSeconds_));
    }
    {
        std::lock_guard lock(mutex_);
        seekTargetUs_ = target;
        seekRequested_ = true;
        ++seekRequests_;
        seekRequestTime_ = NowSeconds();
        if (ended_) {
            ended_ = false;
            SetState(kPlayerStopped);  // still paused, at the new position
        }
    }
    Wake();
}

void FfmpegPlayerImpl::UpdateTargetSize() {
    int width = displayWidth_;
    int height = displayHeight_;
    if (width <= 0 || height <= 0) {
        width = outputWidth_;
        height = outputHeight_;
    }
    if (width <= 0 || height <= 0) {
        width = naturalWidth_;
        height = naturalHeight_;
    }
    targetWidth_ = width;
    targetHeight_ = height;
}

void FfmpegPlayerImpl::ApplyDisplaySize() {
    const int oldWidth = targetWidth_;
    const int oldHeight = targetHeight_;
    UpdateTargetSize();
    if (!open_ || (oldWidth == targetWidth_ && oldHeight == targetHeight_)) {
        return;
    }
    if (videoIndex_ < 0) {
        PostFrame(BlackFrame(targetWidth_, targetHeight_));
        PostState(kPlayerRepaint);
        return;
    }
    redraw_ = true;
    Wake();
}

// ---------------------------------------------------------------------------------------------
// The read thread.

void FfmpegPlayerImpl::ReadLoop() {
    OwnerMark mark(this);
    PacketPtr packet(av_packet_alloc());
    bool ended = false;
    auto waitABit = [this] {
        std::unique_lock lock(readWakeMutex_);
        readWake_.wait_for(lock, std::chrono::milliseconds(10),
                           [this] { return readWakeUp_ || abort_; });
        readWakeUp_ = false;
    };
    while (!abort_) {
        bool seek = false;
        std::int64_t targetUs = 0;
        std::uint64_t request = 0;
        {
            std::lock_guard lock(mutex_);
            if (seekRequested_) {
                seek = true;
                seekPending_ = true;
                targetUs = seekTargetUs_;
                request = seekRequests_;
            }
        }
        if (seek) {
            AVFormatContext* context = input_->Context();
            const std::int64_t mediaTarget = targetUs + ToMicroseconds(startSeconds_);
            // The key frame at or before the target; the decoders drop up to the target.
            int ret = avformat_seek_file(context, -1, std::numeric_limits<std::int64_t>::min(),
                                         mediaTarget, mediaTarget, 0);
            if (ret < 0) {
                ret = av_seek_frame(context, -1, mediaTarget, AVSEEK_FLAG_BACKWARD);
            }
            videoPackets_.Flush(targetUs);
            audioPackets_.Flush(targetUs);
            {
                std::lock_guard lock(mutex_);
                externalClock_.Invalidate();
            }
            ended = false;
            readEnded_ = false;
            {
                // Only now, with the queues on the new serial, may the end be judged again.
                std::lock_guard lock(mutex_);
                if (seekRequests_ == request) {
                    seekRequested_ = false;
                }
            }
            Wake();
        }
        const bool full = videoPackets_.Bytes() + audioPackets_.Bytes() > kMaxQueueBytes ||
                          ((videoIndex_ < 0 || videoPackets_.Packets() > kMinPackets) &&
                           (audioIndex_ < 0 || audioPackets_.Packets() > kMinPackets));
        if (full || ended) {
            waitABit();
            continue;
        }
        const int ret = input_->Read(packet.get());
        if (ret < 0) {
            if (abort_) {
                break;
            }
            // The end of the file, a damaged stretch that cannot be read past or a read that got
            // no answer: the decoders drain what they have and playback ends there.
            if (videoIndex_ >= 0) {
                videoPackets_.Put(nullptr);
            }
            if (audioIndex_ >= 0) {
                audioPackets_.Put(nullptr);
            }
            ended = true;
            readEnded_ = true;
            continue;
        }
        if (packet->stream_index == videoIndex_) {
            videoPackets_.Put(PacketPtr(av_packet_clone(packet.get())));
        } else if (packet->stream_index == audioIndex_) {
            audioPackets_.Put(PacketPtr(av_packet_clone(packet.get())));
        }
        av_packet_unref(packet.get());
    }
}

// ---------------------------------------------------------------------------------------------
// The decoder threads.

bool FfmpegPlayerImpl::PushPicture(AVFrame* frame, double pts, double duration, int serial,
                                   std::shared_ptr<const VideoFrame> scaled) {
    auto picture = std::make_shared<Picture>();
    picture->frame.reset(av_frame_clone(frame));
    if (!picture->frame) {
        return true;
    }
    picture->scaled = std::move(scaled);
    picture->pts = pts;
    picture->duration = duration;
    picture->serial = serial;
    const bool more = pictures_.Push(std::move(picture),
                                     [this, serial] { return videoPackets_.Serial() != serial; });
    if (serial != lastPushedSerial_) {
        lastPushedSerial_ = serial;
        Wake();  // the first picture after a seek is shown without waiting for the next look
    }
    return more;
}

void FfmpegPlayerImpl::VideoLoop() {
    OwnerMark mark(this);
    AVStream* stream = input_->Stream(videoIndex_);
    const double timeBase = av_q2d(stream->time_base);
    const AVRational rate = av_guess_frame_rate(input_->Context(), stream, nullptr);
    const double frameDuration = rate.num > 0 && rate.den > 0 ? av_q2d(av_inv_q(rate)) : 0.04;
    // The same upright turn and mirror as the conversion's.
    const std::string rotation = UprightFilter(stream);
    const std::int64_t startPts =
        startSeconds_ > 0.0
            ? av_rescale_q(ToMicroseconds(startSeconds_), AV_TIME_BASE_Q, stream->time_base)
            : 0;
    FilterGraph graph;
    int graphWidth = 0;
    int graphHeight = 0;
    int graphFormat = -1;
    FramePtr filtered(av_frame_alloc());
    PictureScaler scaler;
    int serial = -1;
    double targetSeconds = -1.0;      // an exact seek drops pictures before it
    FramePtr held(av_frame_alloc());  // the last picture at or before the target so far
    double heldPts = NAN;
    bool holding = false;

    // Sends one upright picture on, applying the exact seek.
    auto deliver = [&](AVFrame* frame) {
        const double pts =
            frame->pts == AV_NOPTS_VALUE ? NAN : static_cast<double>(frame->pts) * timeBase;
        double duration = frame->pkt_duration > 0 ? frame->pkt_duration * timeBase : frameDuration;
        if (targetSeconds >= 0.0 && !std::isnan(pts)) {
            if (pts <= targetSeconds + 1e-6) {
                av_frame_unref(held.get());
                av_frame_ref(held.get(), frame);
                heldPts = pts;
                holding = true;
                return true;
            }
            targetSeconds = -1.0;
            if (holding) {
                holding = false;
                if (!PushPicture(held.get(), heldPts, frameDuration, serial)) {
                    return false;
                }
                av_frame_unref(held.get());
            }
        }
        if (!std::isnan(pts) && lastPushedSerial_ == serial && videoPackets_.Packets() > 0) {
            // Decoding has fallen behind: a picture whose time has passed before it was even
            // queued is dropped here, as ffplay does, rather than shown late.
            std::lock_guard lock(mutex_);
            const double master = MasterClock(NowSeconds());
            if (!paused_ && !std::isnan(master) && pts + duration < master &&
                master - pts < kNoSyncThreshold) {
                ++stats_.framesDropped;
                return true;
            }
        }
        const int width = targetWidth_;
        const int height = targetHeight_;
        return PushPicture(frame, pts, duration, serial,
                           scaler.Scale(frame, width, height, ToMicroseconds(pts)));
    };
    auto flushHeld = [&] {
        if (holding) {
            holding = false;
            targetSeconds = -1.0;
            const bool more = PushPicture(held.get(), heldPts, frameDuration, serial);
            av_frame_unref(held.get());
            return more;
        }
        return true;
    };
    auto sink = [&](AVFrame* frame) {
        if (abort_) {
            return false;
        }
        if (videoPackets_.Serial() != serial) {
            return true;  // a seek came: the rest of this packet is stale
        }
        frame->sample_aspect_ratio = av_guess_sample_aspect_ratio(input_->Context(), stream, frame);
        if (rotation.empty()) {
            return deliver(frame);
        }
        if (!graph.IsBuilt() || frame->width != graphWidth || frame->height != graphHeight ||
            frame->format != graphFormat) {
            const AVRational sar = frame->sample_aspect_ratio;
            const std::string args =
                Format("video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                       frame->width, frame->height, frame->format, stream->time_base.num,
                       stream->time_base.den, sar.num > 0 ? sar.num : 1, sar.den > 0 ? sar.den : 1);
            std::string error;
            if (!graph.Build(AVMEDIA_TYPE_VIDEO, args, rotation, 1, error)) {
                return deliver(frame);  // shown as stored rather than not at all
            }
            graphWidth = frame->width;
            graphHeight = frame->height;
            graphFormat = frame->format;
        }
        if (graph.Push(frame) < 0) {
            return true;
        }
        while (graph.Pull(filtered.get()) >= 0) {
            const bool more = deliver(filtered.get());
            av_frame_unref(filtered.get());
            if (!more) {
                return false;
            }
        }
        return true;
    };

    QueuedPacket queued;
    std::int64_t targetUs = 0;
    while (!abort_ && videoPackets_.Get(queued, targetUs)) {
        if (queued.serial != serial) {
            videoDecoder_.Flush();
            graph = FilterGraph();
            serial = queued.serial;
            targetSeconds = serial == 0 ? -1.0 : targetUs / 1e6;
            av_frame_unref(held.get());
            holding = false;
        }
        if (queued.packet) {
            // On the way to a seek's target, pictures that no other picture refers to are not
            // decoded at all while they lie well before it: they cannot be the one shown.
            const AVPacket* packet = queued.packet.get();
            const bool wellBefore =
                targetSeconds >= 0.0 && packet->pts != AV_NOPTS_VALUE &&
                (packet->pts - startPts) * timeBase < targetSeconds - 2.5 * frameDuration;
            videoDecoder_.Context()->skip_frame = wellBefore ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
            if (!videoDecoder_.Decode(packet, sink)) {
                break;
            }
            continue;
        }
        videoDecoder_.Context()->skip_frame = AVDISCARD_DEFAULT;
        // The end of the stream: drain the decoder and the filters.
        if (!videoDecoder_.Decode(nullptr, sink)) {
            break;
        }
        if (graph.IsBuilt() && graph.Push(nullptr) >= 0) {
            while (graph.Pull(filtered.get()) >= 0) {
                const bool more = deliver(filtered.get());
                av_frame_unref(filtered.get());
                if (!more) {
                    break;
                }
            }
            graph = FilterGraph();
        }
        if (!flushHeld()) {
            break;
        }
        videoDecoder_.Flush();
        if (videoPackets_.Serial() == serial) {
            videoFinished_ = serial;
        }
        Wake();
    }
}

void FfmpegPlayerImpl::AudioLoop() {
    OwnerMark mark(this);
    AVStream* stream = input_->Stream(audioIndex_);
    const double timeBase = av_q2d(stream->time_base);
    int serial = -1;
    double targetSeconds = -1.0;

    auto sink = [&](AVFrame* frame) {
        if (abort_) {
            return false;
        }
        if (audioPackets_.Serial() != serial || frame->sample_rate <= 0 || frame->nb_samples <= 0) {
            return true;
        }
        double pts =
            frame->pts == AV_NOPTS_VALUE ? NAN : static_cast<double>(frame->pts) * timeBase;
        FramePtr copy;
        if (targetSeconds >= 0.0 && !std::isnan(pts)) {
            const double end = pts + static_cast<double>(frame->nb_samples) / frame->sample_rate;
            if (end <= targetSeconds) {
                return true;  // wholly before the target
            }
            const int skip =
                static_cast<int>(std::lrint((targetSeconds - pts) * frame->sample_rate));
            if (skip > 0 && skip < frame->nb_samples) {
                // The sound starts at the target: keep only the samples from there.
                copy.reset(av_frame_alloc());
                copy->format = frame->format;
                copy->sample_rate = frame->sample_rate;
                copy->nb_samples = frame->nb_samples - skip;
                av_channel_layout_copy(&copy->ch_layout, &frame->ch_layout);
                if (av_frame_get_buffer(copy.get(), 0) < 0) {
                    return true;
                }
                av_samples_copy(copy->extended_data, frame->extended_data, 0, skip,
                                copy->nb_samples, frame->ch_layout.nb_channels,
                                static_cast<AVSampleFormat>(frame->format));
                pts += static_cast<double>(skip) / frame->sample_rate;
            }
            targetSeconds = -1.0;
        }
        if (!copy) {
            copy.reset(av_frame_clone(frame));
            if (!copy) {
                return true;
            }
        }
        auto entry = std::make_shared<QueuedFrame>();
        entry->duration = static_cast<double>(copy->nb_samples) / copy->sample_rate;
        entry->frame = std::move(copy);
        entry->pts = pts;
        entry->serial = serial;
        const int mySerial = serial;
        return samples_.Push(std::move(entry),
                             [this, mySerial] { return audioPackets_.Serial() != mySerial; });
    };

    QueuedPacket queued;
    std::int64_t targetUs = 0;
    while (!abort_ && audioPackets_.Get(queued, targetUs)) {
        if (queued.serial != serial) {
            audioDecoder_.Flush();
            serial = queued.serial;
            targetSeconds = serial == 0 ? -1.0 : targetUs / 1e6;
        }
        if (queued.packet) {
            if (!audioDecoder_.Decode(queued.packet.get(), sink)) {
                break;
            }
            continue;
        }
        if (!audioDecoder_.Decode(nullptr, sink)) {
            break;
        }
        audioDecoder_.Flush();
        if (audioPackets_.Serial() == serial) {
            audioFinished_ = serial;
        }
        Wake();
    }
}

// ---------------------------------------------------------------------------------------------
// The audio output (SDL's thread).

void FfmpegPlayerImpl::AudioCallback(void* opaque, Uint8* stream, int length) {
    static_cast<FfmpegPlayerImpl*>(opaque)->FillAudio(stream, length);
}

int FfmpegPlayerImpl::DecodeAudioFrame() {
    for (;;) {
        std::shared_ptr<QueuedFrame> entry = samples_.Front();
        if (!entry) {
            return -1;
        }
        samples_.Pop();
        if (entry->serial != audioPackets_.Serial()) {
            continue;
        }
        AVFrame* frame = entry->frame.get();
        if (!resampler_ || frame->format != resamplerFormat_ ||
            frame->sample_rate != resamplerRate_ ||
            av_channel_layout_compare(&frame->ch_layout, &resamplerLayout_.Get()) != 0) {
            resamplerLayout_ = ChannelLayout::Ordered(frame->ch_layout);
            ChannelLayout outLayout = ChannelLayout::Default(deviceChannels_);
            // swresample of this version takes the layouts as non-const.
            AVChannelLayout out = outLayout.Get();
            AVChannelLayout in = resamplerLayout_.Get();
            SwrContext* context = nullptr;
            if (swr_alloc_set_opts2(&context, &out, AV_SAMPLE_FMT_S16, deviceRate_, &in,
                                    static_cast<AVSampleFormat>(frame->format), frame->sample_rate,
                                    0, nullptr) < 0 ||
                swr_init(context) < 0) {
                swr_free(&context);
                resampler_.reset();
                continue;  // a format the resampler cannot take: skip the frame
            }
            resampler_.reset(context);
            resamplerLayout_ = ChannelLayout(frame->ch_layout);
            resamplerFormat_ = frame->format;
            resamplerRate_ = frame->sample_rate;
        }
        const int outSamples = static_cast<int>(
            av_rescale_rnd(frame->nb_samples, deviceRate_, frame->sample_rate, AV_ROUND_UP) + 256);
        const std::size_t capacity = static_cast<std::size_t>(outSamples) * deviceChannels_ * 2;
        if (audioBuffer_.size() < capacity) {
            audioBuffer_.resize(capacity);
        }
        std::uint8_t* out[1] = {audioBuffer_.data()};
        const int converted =
            swr_convert(resampler_.get(), out, outSamples,
                        const_cast<const std::uint8_t**>(frame->extended_data), frame->nb_samples);
        if (converted <= 0) {
            continue;
        }
        audioClockPts_ = std::isnan(entry->pts) ? NAN : entry->pts + entry->duration;
        audioClockSerial_ = entry->serial;
        return converted * deviceChannels_ * 2;
    }
}

void FfmpegPlayerImpl::FillAudio(Uint8* stream, int length) {
    const double callbackTime = NowSeconds();
    bool paused = false;
    {
        std::lock_guard lock(mutex_);
        paused = paused_;
    }
    const int level = muted_ ? 0 : audioLevel_.load();
    const int total = length;
    Uint8* out = stream;
    if (audioClockSerial_ != audioPackets_.Serial()) {
        audioBufferIndex_ = audioBufferSize_;  // what is left was decoded before a seek
    }
    bool drained = false;
    bool played = false;  // some sound, not only silence, went out
    while (length > 0) {
        if (audioBufferIndex_ >= audioBufferSize_) {
            const int size = paused ? -1 : DecodeAudioFrame();
            if (size < 0) {
                drained = !paused && audioFinished_ == audioPackets_.Serial();
                // Nothing to play (paused, the end, or the decoder is behind): silence.
                std::memset(out, 0, static_cast<std::size_t>(length));
                break;
            }
            audioBufferSize_ = static_cast<std::size_t>(size);
            audioBufferIndex_ = 0;
        }
        const int chunk =
            static_cast<int>(std::min<std::size_t>(audioBufferSize_ - audioBufferIndex_, length));
        const std::uint8_t* source = audioBuffer_.data() + audioBufferIndex_;
        if (level >= SDL_MIX_MAXVOLUME) {
            std::memcpy(out, source, static_cast<std::size_t>(chunk));
        } else {
            std::memset(out, 0, static_cast<std::size_t>(chunk));
            if (level > 0) {
                SDL_MixAudioFormat(out, source, AUDIO_S16SYS, static_cast<Uint32>(chunk), level);
            }
        }
        played = true;
        length -= chunk;
        out += chunk;
        audioBufferIndex_ += static_cast<std::size_t>(chunk);
    }
    const int unplayed = static_cast<int>(audioBufferSize_ - audioBufferIndex_);
    audioDrained_ = drained;
    std::lock_guard lock(mutex_);
    stats_.audioBytesOut += total;
    if (!std::isnan(audioClockPts_) && !paused && played) {
        // What was handed over now plays after the device's two buffers.
        audioClock_.SetAt(
            audioClockPts_ -
                static_cast<double>(2 * hardwareBufferBytes_ + unplayed) / deviceBytesPerSecond_,
            audioClockSerial_, callbackTime);
        externalClock_.FollowIfApart(audioClock_, callbackTime, 0.0);
    }
}

// ---------------------------------------------------------------------------------------------
// The presentation thread.

double FfmpegPlayerImpl::MasterClock(double now) const {
    if (stats_.audioOutput && !audioDrained_) {
        const double audio = audioClock_.Get(now);
        if (!std::isnan(audio)) {
            return audio;
        }
    }
    return externalClock_.Get(now);
}

void FfmpegPlayerImpl::Present(const std::shared_ptr<Picture>& picture, double now) {
    std::shared_ptr<const VideoFrame> frame = picture->scaled;
    const int width = targetWidth_;
    const int height = targetHeight_;
    if (!frame || frame->width != width || frame->height != height) {
        frame =
            presentScaler_.Scale(picture->frame.get(), width, height, ToMicroseconds(picture->pts));
    }
    bool postPosition = false;
    {
        std::lock_guard lock(mutex_);
        if (!std::isnan(picture->pts)) {
            videoClock_.SetAt(picture->pts, picture->serial, now);
            if (paused_) {
                videoClock_.SetPaused(true, now);
            }
            externalClock_.FollowIfApart(videoClock_, now, kNoSyncThreshold);
        }
        ++stats_.framesShown;
        if (stats_.audioOutput) {
            const double audio = audioClock_.Get(now);
            if (!std::isnan(audio) && !std::isnan(picture->pts) && !paused_) {
                const double drift = std::fabs(picture->pts - audio) * 1000.0;
                if (drift < kNoSyncThreshold * 1000.0) {
                    ++stats_.syncSamples;
                    syncSumMs_ += drift;
                    stats_.syncMaxMs = std::max(stats_.syncMaxMs, drift);
                    stats_.syncOver40Ms += drift >= 40.0 ? 1 : 0;
                }
            }
        }
        if (seekPending_ && picture->serial == videoPackets_.Serial()) {
            seekPending_ = false;
            stats_.lastSeekLatencyMs = (now - seekRequestTime_) * 1000.0;
        }
        postPosition = picture->serial != lastPositionSerial_ ||
                       now - lastPositionPost_ >= kPositionInterval || paused_;
    }
    lastShown_ = picture;
    PostFrame(std::move(frame));
    if (postPosition && !std::isnan(picture->pts)) {
        lastPositionPost_ = now;
        lastPositionSerial_ = picture->serial;
        PostPosition(picture->pts);
    }
}

void FfmpegPlayerImpl::CheckEnd(double now) {
    const bool videoDone =
        videoIndex_ < 0 || (videoFinished_ == videoPackets_.Serial() && pictures_.Size() == 0);
    const bool audioDone =
        audioIndex_ < 0 || (audioFinished_ == audioPackets_.Serial() && audioDrained_);
    if (!readEnded_ || !videoDone || !audioDone) {
        return;
    }
    std::lock_guard lock(mutex_);
    if (paused_ || ended_ || seekRequested_) {
        return;
    }
    ended_ = true;
    paused_ = true;
    for (Clock* clock : {&audioClock_, &videoClock_, &externalClock_}) {
        clock->SetPaused(true, now);
    }
    SetState(kPlayerEnded);
}

void FfmpegPlayerImpl::PresentLoop() {
    OwnerMark mark(this);
    while (!abort_) {
        double remaining = kRefreshInterval;
        const double now = NowSeconds();
        bool paused = false;
        {
            std::lock_guard lock(mutex_);
            paused = paused_;
        }
        if (redraw_.exchange(false) && lastShown_) {
            std::shared_ptr<Picture> again = lastShown_;
            const int width = targetWidth_;
            const int height = targetHeight_;
            PostFrame(presentScaler_.Scale(again->frame.get(), width, height,
                                           ToMicroseconds(again->pts)));
            PostState(kPlayerRepaint);
        }
        if (videoIndex_ >= 0) {
            for (;;) {
                std::shared_ptr<Picture> next = pictures_.Front();
                if (!next) {
                    break;
                }
                if (next->serial != videoPackets_.Serial()) {
                    pictures_.Pop();  // read before a seek
                    continue;
                }
                if (paused) {
                    // A seek while paused shows where it landed, the clocks stay still.
                    if (!lastShown_ || lastShown_->serial != next->serial) {
                        pictures_.Pop();
                        Present(next, now);
                    }
                    break;
                }
                double master = NAN;
                {
                    std::lock_guard lock(mutex_);
                    master = MasterClock(now);
                    if (std::isnan(master) || std::isnan(next->pts) ||
                        std::fabs(next->pts - master) >= kNoSyncThreshold) {
                        // No usable master (a jump in the timestamps): the pictures keep their
                        // own pace.
                        master = videoClock_.Get(now);
                    }
                }
                const bool timed = !std::isnan(master) && !std::isnan(next->pts) &&
                                   std::fabs(next->pts - master) < kNoSyncThreshold && lastShown_ &&
                                   lastShown_->serial == next->serial;
                if (timed && next->pts > master) {
                    remaining = std::min(remaining, next->pts - master);
                    break;  // not yet
                }
                std::shared_ptr<Picture> after = pictures_.Second();
                if (timed && after && after->serial == next->serial && !std::isnan(after->pts) &&
                    after->pts <= master) {
                    // Its successor is due as well: this one is late, skip it.
                    pictures_.Pop();
                    std::lock_guard lock(mutex_);
                    ++stats_.framesDropped;
                    continue;
                }
                pictures_.Pop();
                Present(next, now);
                break;
            }
        } else if (!paused) {
            // Sound only: the position follows the audio clock.
            double position = NAN;
            {
                std::lock_guard lock(mutex_);
                position = MasterClock(now);
            }
            if (!std::isnan(position) && now - lastPositionPost_ >= kPositionInterval) {
                lastPositionPost_ = now;
                PostPosition(position);
            }
        }
        if (!paused) {
            CheckEnd(now);
        }
        std::unique_lock lock(wakeMutex_);
        wake_.wait_for(lock, std::chrono::duration<double>(std::max(remaining, 0.001)),
                       [this] { return wakeUp_ || abort_; });
        wakeUp_ = false;
    }
}

}  // namespace

std::unique_ptr<FfmpegPlayer> CreateFfmpegPlayer() {
    return std::make_unique<FfmpegPlayerImpl>();
}

}  // namespace ostrel::engine::ff
