// What the player tests share: generated clips, SDL's disk audio driver as the sound device, a
// surface that records what it was shown and a host loop that runs the player's events.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/event_queue.h"
#include "engine/engine.h"
#include "engine/ffmpeg/player/ffmpeg_player.h"

namespace ostrel::engine::testing {

// Whether this build keeps time well enough for checks of timing. The thread sanitizer slows
// every thread many times over, so there the tests check what happens, not how punctually.
#if defined(__SANITIZE_THREAD__)
inline constexpr bool kTimingChecks = false;
#else
inline constexpr bool kTimingChecks = true;
#endif

// Clips made once per test run by the ffmpeg tool.
struct PlayerClips {
    std::filesystem::path folder;
    std::filesystem::path h264Aac;    // 320x240 25 fps, 3 s, B-frames, key frame every 2 s; AAC
    std::filesystem::path mpeg4Mp3;   // 320x240 25 fps, 2 s, MPEG-4 part 2 and MP3 in AVI
    std::filesystem::path portrait;   // 320x240 stored, turned by 90 degrees; 1 s; no sound
    std::filesystem::path audioOnly;  // WAV, 1.5 s sine, stereo 44.1 kHz
    std::filesystem::path videoOnly;  // 160x120 25 fps, 1.5 s
    std::filesystem::path long905;    // 90.5 s, 96x72 at 10 fps, AAC mono
    std::filesystem::path truncated;  // h264Aac cut in the middle
    // 160x120, 0.4 s, no sound: black with a red top-left quarter, stored with a display matrix
    // that mirrors it left to right (and does not turn it).
    std::filesystem::path mirrored;
    // What the newer profiles write, 320x240 25 fps, 1.5 s: 10-bit HEVC (hvc1) with AAC in MP4,
    // AV1 with Opus and VP9 with Opus in WebM; and ALAC sound in M4A.
    std::filesystem::path hevc10Aac;
    std::filesystem::path av1Opus;
    std::filesystem::path vp9Opus;
    std::filesystem::path alac;
    std::filesystem::path coverMp3;      // MP3, 1.5 s sine, with a 160x120 JPEG attached cover
    std::filesystem::path besideMp3;     // MP3 without a cover, in a folder with cover.jpg
    std::filesystem::path coverImage;    // the JPEG of both covers
    std::filesystem::path soundSilence;  // WAV: 0.8 s of sine, then 1 s of silence
    std::filesystem::path subtitled;     // MKV 320x240 25 fps, 3 s, SubRip cue from 1 s to 2 s
};
const PlayerClips& Clips();

// The sound goes to this file (SDL's disk driver, paced in real time); /dev/null by default.
void UseDiskAudio(const std::filesystem::path& file = "/dev/null");
// No audio device can be opened: the player falls back to the system clock.
void UseNoAudioDevice();

class RecordingSurface : public VideoSurface {
  public:
    struct Shown {
        std::shared_ptr<const VideoFrame> frame;
        std::chrono::steady_clock::time_point at;
    };
    void PresentFrame(std::shared_ptr<const VideoFrame> frame) override;

    std::vector<Shown> shown;
    bool wrongThread = false;
    std::thread::id hostThread = std::this_thread::get_id();
};

// The host of one player: its events run on the test thread through an event queue.
struct PlayerHost {
    // Declared before the player: they outlive it.
    EventQueue queue;
    RecordingSurface surface;
    std::atomic<int> posted{0};
    std::vector<int> states;
    std::vector<std::int64_t> positions;
    std::int64_t durationUs = -1;
    int durationEvents = 0;
    bool positionBeforeDuration = false;
    bool wrongThread = false;
    std::unique_ptr<ff::FfmpegPlayer> player = ff::CreateFfmpegPlayer();

    PlayerHost();
    ~PlayerHost();
    PlayerHost(const PlayerHost&) = delete;
    PlayerHost& operator=(const PlayerHost&) = delete;

    bool Open(const std::filesystem::path& path);
    // Runs events until done() holds; false on timeout.
    bool RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(20));
    void RunFor(std::chrono::milliseconds time);
    int Count(int state) const;
    void Seek(std::int64_t positionUs);
};

// FNV-1a of the picture rows (without row padding).
std::uint64_t Checksum(const VideoFrame& frame);
std::uint64_t Checksum(const std::vector<std::uint8_t>& bytes);

// The picture the ffmpeg tool decodes at time seconds (as "-ss" after "-i"), as BGRA of the
// picture's own size; empty when the tool failed.
// filter, when given, is the ffmpeg tool's "-vf" chain.
std::vector<std::uint8_t> FfmpegFrameAt(const std::filesystem::path& clip, double seconds,
                                        const std::string& filter = "");
// The picture of an image file as BGRA, as the ffmpeg tool decodes it.
std::vector<std::uint8_t> FfmpegImage(const std::filesystem::path& image);

// The threads of this process.
int ThreadCount();

}  // namespace ostrel::engine::testing
