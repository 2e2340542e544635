// Everything of one opened media, made by Open and gone with the object: the input and its
// decoders, the stop that ends every wait of its threads, the queues between them, the sound
// device, the clocks, the pause and seek state, the figures and the threads themselves. A new
// media is a new session, so nothing has to be reset between two files.
//
// The threads: read (read_thread), video decode and sound decode (decode_thread with the
// video sink or the sound feeder), presentation (presenter); SDL's audio thread runs the
// audio output's callback. The destructor stops them all and joins them.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/input.h"
#include "engine/ffmpeg/player/audio_output.h"
#include "engine/ffmpeg/player/clocks.h"
#include "engine/ffmpeg/player/decode_thread.h"
#include "engine/ffmpeg/player/playback_control.h"
#include "engine/ffmpeg/player/playback_stats.h"
#include "engine/ffmpeg/player/sound_view.h"
#include "engine/ffmpeg/player/subtitle_overlay.h"
#include "engine/ffmpeg/player/video_sink.h"
#include "engine/ffmpeg/stop.h"
#include "engine/ffmpeg/stream_decoder.h"

namespace ostrel::engine::ff {

// What the media is, learnt at the open.
struct MediaFacts {
    int videoIndex = -1;
    int audioIndex = -1;  // -1 as well when no sound device could be opened for it
    double startS = 0.0;
    double durationS = 0.0;
    PictureSize natural;  // the upright picture's size as shown
    int sampleRate = 0;   // of the sound as decoded
    int channels = 0;
    double frameDurationS = 0.04;  // of the pictures, as their rate says
    std::string path;
    std::vector<SubtitleTrackInfo> subtitleTracks;
};

// The events the session's threads post to the host (the player posts them, never under a
// lock of the session's).
struct HostPosts {
    std::function<void(int state)> state;
    std::function<void(std::int64_t positionUs)> position;
    std::function<void(std::shared_ptr<const VideoFrame> frame)> frame;
};

class MediaSession {
    std::stop_source stop_;  // first: everything that waits on its token comes after it

  public:
    // Opens path for playback; null with error set (the reason, the file named).
    static std::unique_ptr<MediaSession> Open(const std::string& path, const SoundLevel& level,
                                              std::string& error);
    ~MediaSession();
    MediaSession(const MediaSession&) = delete;
    MediaSession& operator=(const MediaSession&) = delete;

    // Starts the threads; owner marks them as the player's, posts carries their events.
    void Start(const void* owner, HostPosts posts);

    const MediaFacts& Facts() const { return facts_; }
    bool HasVideo() const { return facts_.videoIndex >= 0; }
    bool HasSound() const { return facts_.audioIndex >= 0; }
    std::stop_token StopToken() const { return stop_.get_token(); }
    Input& MediaInput() { return *input_; }
    StreamDecoder& VideoDecoder() { return videoDecoder_; }
    StreamDecoder& AudioDecoder() { return audioDecoder_; }
    AudioOutput* Sound() { return audio_.get(); }
    // Sound without pictures: the cover shown instead (null when none), and the history of
    // the sound played for the live view (null when there are pictures or no sound).
    const AVFrame* Cover() const { return cover_.get(); }
    SoundScope* Scope() { return scope_.get(); }
    const HostPosts& Posts() const { return posts_; }

    // The parts the threads share.
    PacketQueue videoPackets;
    PacketQueue audioPackets;
    PictureQueue pictures;
    Clocks clocks;
    PlaybackControl control;
    PlaybackStats stats;
    std::atomic<PictureSize> targetSize{PictureSize{}};  // the display size pictures are made at
    std::atomic<bool> redraw{false};       // the display size changed: show the picture again
    std::atomic<int> videoFinished{-1};    // the serial whose pictures were all queued
    std::atomic<bool> readEnded{false};    // the read thread reached the end of the file
    std::atomic<bool> readerWaits{false};  // the read thread sleeps until packets are taken
    std::atomic<double> shownPtsS{NAN};    // the time of the picture shown last
    // The subtitle track drawn over the pictures (into Facts().subtitleTracks), -1 for none.
    std::atomic<int> subtitleTrack{-1};
    StopSleeper readSleeper;
    StopSleeper presentSleeper;

    // Wakes the read thread if it waits for the queues to empty.
    void PacketTaken() {
        if (readerWaits.load()) {
            readSleeper.Wake();
        }
    }

  private:
    MediaSession();
    bool OpenStreams(const std::string& path, const SoundLevel& level, std::string& error);

    std::unique_ptr<Input> input_;
    StreamDecoder videoDecoder_;
    StreamDecoder audioDecoder_;
    MediaFacts facts_;
    std::unique_ptr<AudioOutput> audio_;
    FramePtr cover_;
    std::unique_ptr<SoundScope> scope_;
    HostPosts posts_;
    // Last: destroyed (joined) first.
    std::jthread readThread_;
    std::jthread videoThread_;
    std::jthread audioThread_;
    std::jthread presentThread_;
};

}  // namespace ostrel::engine::ff
