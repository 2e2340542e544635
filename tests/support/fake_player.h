// A stand-in for the engine's player: it records every call in a log and raises its events
// through the host's poster, as the real player does from its threads.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/duration.h"
#include "engine/engine.h"

namespace ostrel::testing {

class FakePlayer : public engine::Player {
  public:
    // Calls as "Seek 1500000", "Pause", "SetAudioLevel 64", "OpenMedia /a.mp4" ... Getters are
    // not logged. Tests may add their own lines (a wait) to see the order.
    std::vector<std::string> log;
    bool opens = true;
    std::vector<std::string> subtitleTracks;
    int subtitleTrack = -1;
    std::string error = "Invalid data found when processing input";
    std::int32_t state = engine::kPlayerClosed;
    // Runs inside OpenMedia, before it answers.
    std::function<void()> onOpen;
    engine::VideoSurface* surface = nullptr;
    int closeCount = 0;
    bool* destroyedFlag = nullptr;  // set when the player is destroyed

    ~FakePlayer() override {
        if (destroyedFlag != nullptr) {
            *destroyedFlag = true;
        }
    }

    std::vector<std::string> Take() {
        std::vector<std::string> taken;
        taken.swap(log);
        return taken;
    }

    // Events, through the poster as the engine raises them.
    void PostDuration(std::int64_t durationUs) {
        Post([this, durationUs] {
            if (events_.DurationKnown) {
                events_.DurationKnown(durationUs, 320, 240, 48000, 2);
            }
        });
    }
    void PostPosition(std::int64_t positionUs) {
        Post([this, positionUs] {
            if (events_.PositionChanged) {
                events_.PositionChanged(positionUs);
            }
        });
    }
    void PostState(int code) {
        Post([this, code] {
            if (events_.StateChanged) {
                events_.StateChanged(code);
            }
        });
    }
    void PostFrame(std::shared_ptr<const engine::VideoFrame> frame) {
        Post([this, frame = std::move(frame)] {
            if (surface != nullptr) {
                surface->PresentFrame(frame);
            }
        });
    }

    void SetEventPoster(engine::EventPoster poster) override { poster_ = std::move(poster); }
    void SetEvents(engine::PlayerEvents events) override { events_ = std::move(events); }

    bool OpenMedia(const std::string& path, engine::VideoSurface* videoSurface, bool) override {
        log.push_back("OpenMedia " + path);
        if (onOpen) {
            onOpen();
        }
        if (!opens) {
            return false;
        }
        surface = videoSurface;
        state = engine::kPlayerPlaying;
        return true;
    }
    void CloseMedia(bool) override {
        log.emplace_back("CloseMedia");
        ++closeCount;
        ++*alive_;
        surface = nullptr;
        state = engine::kPlayerClosed;
    }
    void Pause() override {
        log.emplace_back("Pause");
        if (state == engine::kPlayerPlaying) {
            state = engine::kPlayerPaused;
        }
    }
    void Resume() override {
        log.emplace_back("Resume");
        if (state == engine::kPlayerPaused || state == engine::kPlayerStopped) {
            state = engine::kPlayerPlaying;
        }
    }
    void TogglePause() override {
        log.emplace_back("TogglePause");
        if (state == engine::kPlayerPlaying) {
            state = engine::kPlayerPaused;
        } else if (state == engine::kPlayerPaused || state == engine::kPlayerStopped) {
            state = engine::kPlayerPlaying;
        }
    }
    void Seek(std::int32_t low, std::int32_t high, int mode, bool) override {
        log.push_back("Seek " + std::to_string(MakeInt64(low, high)) +
                      (mode != 0 ? " mode " + std::to_string(mode) : std::string()));
    }
    void ApplyDisplaySize() override {
        log.push_back("Apply " + std::to_string(displayWidth_) + "x" +
                      std::to_string(displayHeight_) + " out " + std::to_string(outputWidth_) +
                      "x" + std::to_string(outputHeight_));
    }
    std::int32_t OutputWidth() const override { return outputWidth_; }
    void SetOutputWidth(std::int32_t width) override { outputWidth_ = width; }
    std::int32_t OutputHeight() const override { return outputHeight_; }
    void SetOutputHeight(std::int32_t height) override { outputHeight_ = height; }
    std::int32_t DisplayWidth() const override { return displayWidth_; }
    void SetDisplayWidth(std::int32_t width) override { displayWidth_ = width; }
    std::int32_t DisplayHeight() const override { return displayHeight_; }
    void SetDisplayHeight(std::int32_t height) override { displayHeight_ = height; }
    std::string LastError() const override { return error; }
    engine::VideoSurface* VideoWindow() const override { return surface; }
    void SetAudioLevel(int level) override {
        log.push_back("SetAudioLevel " + std::to_string(level));
        audioLevel_ = level;
    }
    int AudioLevel() const override { return audioLevel_; }
    bool Muted() const override { return muted_; }
    void SetMuted(bool muted) override {
        log.push_back(muted ? "SetMuted true" : "SetMuted false");
        muted_ = muted;
    }
    bool IsPaused() const override { return state == engine::kPlayerPaused; }
    void StepFrames(int frames) override { log.push_back("StepFrames " + std::to_string(frames)); }
    std::vector<std::string> SubtitleTracks() const override { return subtitleTracks; }
    int SubtitleTrack() const override { return subtitleTrack; }
    void SetSubtitleTrack(int track) override {
        log.push_back("SetSubtitleTrack " + std::to_string(track));
        subtitleTrack = track;
    }
    std::int32_t PlayState() const override { return state; }

  private:
    // As the engine does, an event that arrives after CloseMedia or after the player is gone
    // is dropped on the host's thread.
    void Post(std::function<void()> event) {
        if (!poster_) {
            return;
        }
        poster_(
            [alive = std::weak_ptr<int>(alive_), generation = *alive_, event = std::move(event)] {
                const auto token = alive.lock();
                if (token != nullptr && *token == generation) {
                    event();
                }
            });
    }

    std::shared_ptr<int> alive_ = std::make_shared<int>(0);

    engine::EventPoster poster_;
    engine::PlayerEvents events_;
    std::int32_t outputWidth_ = 0;
    std::int32_t outputHeight_ = 0;
    std::int32_t displayWidth_ = 0;
    std::int32_t displayHeight_ = 0;
    int audioLevel_ = 128;
    bool muted_ = false;
};

}  // namespace ostrel::testing
