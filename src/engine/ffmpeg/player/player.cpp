// The preview player as the host sees it (engine.h's Player): calls only. Each OpenMedia makes
// a media session (its threads read, decode, present and play the sound, see media_session.h)
// and starts a new run of the host events, so nothing of a closed media (or of a destroyed
// player) reaches the host; CloseMedia destroys the session, which joins every thread before
// it returns.
//
// Events go up through HostEvents, never under a lock: the pause and seek state returns the
// state event to post, and the call posts it afterwards.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "engine/ffmpeg/host_events.h"
#include "engine/ffmpeg/log.h"
#include "engine/ffmpeg/player/ffmpeg_player.h"
#include "engine/ffmpeg/player/media_session.h"
#include "engine/ffmpeg/player/picture.h"

namespace ostrel::engine::ff {
namespace {

constexpr const char* kOwnThreadText =
    "The player was called from one of its own threads (the event poster must queue events "
    "for the host's thread, not run them at once)";

using FrameSlot = LatestValue<std::shared_ptr<const VideoFrame>>;

class FfmpegPlayerImpl final : public FfmpegPlayer {
  public:
    FfmpegPlayerImpl() { RouteLibavLog(); }

    ~FfmpegPlayerImpl() override {
        if (HostEvents::OnThreadOf(this)) {
            std::fprintf(stderr, "ostrel engine: player destroyed on its own thread. %s\n",
                         kOwnThreadText);
            std::abort();
        }
        CloseMedia(false);
        events_.Close();
    }

    void SetEventPoster(EventPoster poster) override { events_.SetPoster(std::move(poster)); }
    // The host's callbacks run on the host's thread only, as does this call.
    void SetEvents(PlayerEvents events) override { callbacks_ = std::move(events); }

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

    std::int32_t OutputWidth() const override { return outputSize_.width; }
    void SetOutputWidth(std::int32_t width) override { outputSize_.width = std::max(0, width); }
    std::int32_t OutputHeight() const override { return outputSize_.height; }
    void SetOutputHeight(std::int32_t height) override { outputSize_.height = std::max(0, height); }
    std::int32_t DisplayWidth() const override { return displaySize_.width; }
    void SetDisplayWidth(std::int32_t width) override { displaySize_.width = std::max(0, width); }
    std::int32_t DisplayHeight() const override { return displaySize_.height; }
    void SetDisplayHeight(std::int32_t height) override {
        displaySize_.height = std::max(0, height);
    }

    std::string LastError() const override { return lastError_; }
    VideoSurface* VideoWindow() const override { return session_ ? surface_ : nullptr; }
    void SetAudioLevel(int level) override { sound_.level = std::clamp(level, 0, 128); }
    int AudioLevel() const override { return sound_.level; }
    bool Muted() const override { return sound_.muted; }
    void SetMuted(bool muted) override { sound_.muted = muted; }
    bool IsPaused() const override { return session_ && session_->control.Paused(); }
    std::int32_t PlayState() const override {
        return session_ ? session_->control.State() : kPlayerClosed;
    }

    void StepFrames(int frames) override;
    std::vector<std::string> SubtitleTracks() const override;
    int SubtitleTrack() const override { return session_ ? session_->subtitleTrack.load() : -1; }
    void SetSubtitleTrack(int track) override;

    PlayerStatistics Statistics() const override;
    void ResetStatistics() override {
        if (session_) {
            session_->stats.Reset();
        }
    }

  private:
    // The display size pictures are made at: the host's display size, else its output size,
    // else the picture's own.
    PictureSize TargetSize() const;
    HostPosts MakePosts();
    void PostState(int state) const;
    void PostFrame(std::shared_ptr<const VideoFrame> frame) const;
    void PostOpened();
    void RequestSeek(std::int64_t targetUs, bool keyFrame);

    HostEvents events_;
    PlayerEvents callbacks_;
    std::string lastError_;
    PictureSize outputSize_;
    PictureSize displaySize_;
    SoundLevel sound_;
    // The media, while one is open. Host thread only, like every member above.
    std::unique_ptr<MediaSession> session_;
    VideoSurface* surface_ = nullptr;
    std::uint64_t run_ = 0;  // the host events' run of the open media
    std::shared_ptr<FrameSlot> frameSlot_;
    std::shared_ptr<LatestValue<std::int64_t>> positionSlot_;
};

PictureSize FfmpegPlayerImpl::TargetSize() const {
    if (displaySize_.width > 0 && displaySize_.height > 0) {
        return displaySize_;
    }
    if (outputSize_.width > 0 && outputSize_.height > 0) {
        return outputSize_;
    }
    return session_ ? session_->Facts().natural : PictureSize{};
}

// ---------------------------------------------------------------------------------------------
// Posting: the lambdas run on the host's thread while the run is current.

void FfmpegPlayerImpl::PostState(int state) const {
    events_.Post(run_, [this, state] {
        if (callbacks_.StateChanged) {
            callbacks_.StateChanged(state);
        }
    });
}

void FfmpegPlayerImpl::PostFrame(std::shared_ptr<const VideoFrame> frame) const {
    VideoSurface* surface = surface_;
    events_.PostLatest<std::shared_ptr<const VideoFrame>>(
        run_, frameSlot_, std::move(frame), [surface](std::shared_ptr<const VideoFrame> newest) {
            if (surface != nullptr) {
                surface->PresentFrame(std::move(newest));
            }
        });
}

HostPosts FfmpegPlayerImpl::MakePosts() {
    HostPosts posts;
    posts.state = [this](int state) { PostState(state); };
    posts.frame = [this](std::shared_ptr<const VideoFrame> frame) { PostFrame(std::move(frame)); };
    posts.position = [this, run = run_, slot = positionSlot_](std::int64_t positionUs) {
        events_.PostLatest<std::int64_t>(run, slot, positionUs, [this](std::int64_t newest) {
            if (callbacks_.PositionChanged) {
                callbacks_.PositionChanged(newest);
            }
        });
    };
    return posts;
}

void FfmpegPlayerImpl::PostOpened() {
    const MediaFacts& facts = session_->Facts();
    const std::int64_t durationUs = ToMicroseconds(facts.durationS);
    const PictureSize natural = facts.natural;
    const int sampleRate = facts.sampleRate;
    const int channels = facts.channels;
    events_.Post(run_, [this, durationUs, natural, sampleRate, channels] {
        if (callbacks_.DurationKnown) {
            callbacks_.DurationKnown(durationUs, natural.width, natural.height, sampleRate,
                                     channels);
        }
    });
    PostState(kPlayerPlaying);
    if (!session_->HasVideo()) {
        const PictureSize size = session_->targetSize.load();
        PostFrame(BlackFrame(size));
    }
}

// ---------------------------------------------------------------------------------------------
// Host calls.

bool FfmpegPlayerImpl::OpenMedia(const std::string& path, VideoSurface* surface, bool) {
    if (HostEvents::OnThreadOf(this)) {
        lastError_ = kOwnThreadText;
        return false;
    }
    CloseMedia(false);
    std::string error;
    std::unique_ptr<MediaSession> session = MediaSession::Open(path, sound_, error);
    if (!session) {
        lastError_ = error;
        return false;
    }
    session_ = std::move(session);
    surface_ = surface;
    run_ = events_.NextRun();
    frameSlot_ = std::make_shared<FrameSlot>();
    positionSlot_ = std::make_shared<LatestValue<std::int64_t>>();
    session_->targetSize = TargetSize();
    lastError_.clear();
    PostOpened();
    session_->Start(this, MakePosts());
    return true;
}

void FfmpegPlayerImpl::CloseMedia(bool) {
    if (!session_) {
        return;
    }
    if (HostEvents::OnThreadOf(this)) {
        std::fprintf(stderr, "ostrel engine: player closed on its own thread. %s\n",
                     kOwnThreadText);
        std::abort();
    }
    events_.NextRun();  // events of this media still on their way are dropped from here on
    session_.reset();   // stops and joins its threads
    surface_ = nullptr;
}

void FfmpegPlayerImpl::Pause() {
    if (!session_) {
        return;
    }
    if (const auto state = session_->control.Pause(NowSeconds())) {
        PostState(*state);
    }
    session_->presentSleeper.Wake();
}

void FfmpegPlayerImpl::Resume() {
    if (!session_) {
        return;
    }
    if (session_->control.Ended()) {
        Seek(0, 0, 0, false);  // the end was reached: play again from the start
    }
    if (const auto state = session_->control.Resume(NowSeconds())) {
        PostState(*state);
    }
    session_->presentSleeper.Wake();
}

void FfmpegPlayerImpl::Seek(std::int32_t positionLow, std::int32_t positionHigh, int mode, bool) {
    if (!session_) {
        return;
    }
    const auto targetUs = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(positionHigh)) << 32) |
        static_cast<std::uint32_t>(positionLow));
    RequestSeek(targetUs, mode == kSeekKeyFrame);
}

void FfmpegPlayerImpl::RequestSeek(std::int64_t targetUs, bool keyFrame) {
    targetUs = std::max<std::int64_t>(0, targetUs);
    if (session_->Facts().durationS > 0) {
        targetUs = std::min(targetUs, ToMicroseconds(session_->Facts().durationS));
    }
    if (const auto state = session_->control.RequestSeek(targetUs, NowSeconds(), keyFrame)) {
        PostState(*state);
    }
    session_->readSleeper.Wake();
    session_->presentSleeper.Wake();
}

void FfmpegPlayerImpl::StepFrames(int frames) {
    if (!session_ || !session_->HasVideo() || !session_->control.Paused() || frames == 0) {
        return;
    }
    const double shownS = session_->shownPtsS.load();
    if (std::isnan(shownS)) {
        return;
    }
    // Half a picture past the one frames away: the exact seek lands on the last picture at or
    // before it, which is that one however its timestamp was rounded.
    const double durationS = session_->Facts().frameDurationS;
    RequestSeek(ToMicroseconds(shownS + (frames + 0.5) * durationS), false);
}

std::vector<std::string> FfmpegPlayerImpl::SubtitleTracks() const {
    std::vector<std::string> labels;
    if (session_) {
        for (const SubtitleTrackInfo& track : session_->Facts().subtitleTracks) {
            labels.push_back(track.label);
        }
    }
    return labels;
}

void FfmpegPlayerImpl::SetSubtitleTrack(int track) {
    if (!session_) {
        return;
    }
    const int count = static_cast<int>(session_->Facts().subtitleTracks.size());
    const int chosen = track >= 0 && track < count ? track : -1;
    if (session_->subtitleTrack.exchange(chosen) == chosen) {
        return;
    }
    // Pictures decoded from here on get the new track; paused media shows its picture again
    // with it (an exact seek to the picture shown).
    const double shownS = session_->shownPtsS.load();
    if (session_->control.Paused() && !std::isnan(shownS)) {
        RequestSeek(ToMicroseconds(shownS), false);
    }
}

void FfmpegPlayerImpl::ApplyDisplaySize() {
    if (!session_) {
        return;
    }
    const PictureSize size = TargetSize();
    if (session_->targetSize.exchange(size) == size) {
        return;
    }
    if (!session_->HasVideo() && session_->Cover() == nullptr && session_->Scope() == nullptr) {
        PostFrame(BlackFrame(size));
        PostState(kPlayerRepaint);
        return;
    }
    session_->redraw = true;
    session_->presentSleeper.Wake();
}

PlayerStatistics FfmpegPlayerImpl::Statistics() const {
    if (!session_) {
        return PlayerStatistics();
    }
    PlayerStatistics stats = session_->stats.Get();
    const double audioS = session_->clocks.Audio(NowSeconds());
    stats.audioClockSeconds = std::isnan(audioS) ? -1.0 : audioS;
    if (const AudioOutput* sound = session_->Sound()) {
        stats.audioOutput = true;
        stats.audioBytesOut = sound->BytesOut();
        stats.audioSampleRate = sound->SampleRate();
        stats.audioChannels = sound->Channels();
    }
    return stats;
}

}  // namespace

std::unique_ptr<FfmpegPlayer> CreateFfmpegPlayer() {
    return std::make_unique<FfmpegPlayerImpl>();
}

}  // namespace ostrel::engine::ff
