// The preview's sound device (SDL2) and what feeds it, modelled on mpv's audio/out/pull.c: a
// lock-free ring of converted sound blocks (S16 interleaved at the device's rate and layout)
// that the audio decode thread fills and SDL's callback empties. The callback touches only the
// ring and atomics: no mutex, no allocation. It publishes what it played (the media time of
// the sound leaving the device, its serial and when) through atomics, from which the clocks
// read the audio clock.
//
// Blocks carry the serial of the packets they were decoded from: after a seek the callback
// skips blocks of an older serial, and a feeder waiting for room gives up on a stale block.
#pragma once

#include <SDL.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

#include "engine/ffmpeg/audio_converter.h"
#include "engine/ffmpeg/av_util.h"

namespace ostrel::engine::ff {

// The player's volume (0..128, SDL's scale) and mute, set by the host at any time.
struct SoundLevel {
    std::atomic<int> level{128};
    std::atomic<bool> muted{false};
};

// What the device played last: the media time of the sound leaving it at atS (seconds on
// NowSeconds' clock), of serial serial. sequence is 0 until something played.
struct PlayedSound {
    double ptsS = 0.0;
    int serial = -1;
    double atS = 0.0;
    std::uint32_t sequence = 0;
};

class AudioOutput {
  public:
    // serial: the sound packets' current serial; paused: the player's pause (read lock-free).
    AudioOutput(const std::atomic<int>& serial, const std::atomic<bool>& paused,
                const SoundLevel& level);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // Opens the device for sound of about this rate and channel count; false with error set.
    bool Open(int sampleRate, int channels, std::string& error);
    void Start();  // the callback begins
    void Close();  // waits for a running callback; no callback after it

    // The feeder (the audio decode thread): queues one block of device-format bytes ending at
    // media time endPtsS; waits for room until the stop, or gives up (true) when serial is left
    // behind. False once stopped.
    bool Write(const std::uint8_t* bytes, std::size_t size, double endPtsS, int serial,
               const std::stop_token& stop);
    // Everything of serial was written: when the ring runs dry the sound has ended.
    void MarkEnd(int serial) { endedSerial_.store(serial, std::memory_order_release); }
    // Wakes a Write waiting for room (a seek made its block stale).
    void Wake();

    AudioTarget Target() const;
    int SampleRate() const { return sampleRate_; }
    int Channels() const { return channels_; }
    std::int64_t BytesOut() const { return bytesOut_.load(std::memory_order_relaxed); }
    // The sound of the current serial has ended and played out.
    bool Drained() const { return drained_.load(std::memory_order_acquire); }
    int EndedSerial() const { return endedSerial_.load(std::memory_order_acquire); }
    // The media time at which the sound written last ends.
    double WrittenEndPtsS() const { return writtenEndPtsS_.load(); }
    PlayedSound Played() const;

  private:
    static constexpr std::size_t kSlots = 8;
    struct Slot {
        std::vector<std::uint8_t> bytes;  // allocated by the feeder while the slot is its own
        std::size_t size = 0;
        double endPtsS = 0.0;
        int serial = 0;
    };

    static void Callback(void* opaque, Uint8* stream, int length);
    void Fill(Uint8* out, int length);
    // The callback's part: the slot it plays from, skipping stale ones; null when dry.
    Slot* CurrentSlot(int serial);
    void ReleaseSlot();
    void Publish(double ptsS, int serial, double atS);
    void Mix(Uint8* out, const std::uint8_t* source, int length, int level) const;

    const std::atomic<int>& serial_;
    const std::atomic<bool>& paused_;
    const SoundLevel& level_;
    SDL_AudioDeviceID device_ = 0;
    bool subsystem_ = false;
    int sampleRate_ = 0;
    int channels_ = 0;
    int bytesPerSecond_ = 0;
    int hardwareBufferBytes_ = 0;

    // The ring: slots [read_, written_) are the callback's, the others the feeder's.
    std::array<Slot, kSlots> slots_;
    std::atomic<std::uint32_t> written_{0};
    std::atomic<std::uint32_t> read_{0};
    // Raised whenever a slot frees up, on a seek and at the stop; the feeder waits on it.
    std::atomic<std::uint32_t> room_{0};
    std::atomic<int> endedSerial_{-1};
    std::atomic<double> writtenEndPtsS_{0.0};
    std::atomic<bool> drained_{false};
    std::atomic<std::int64_t> bytesOut_{0};
    std::size_t playedInSlot_ = 0;  // callback only

    // The published position: a sequence lock over atomics (odd while being written).
    std::atomic<std::uint32_t> sequence_{0};
    std::atomic<double> playedPtsS_{0.0};
    std::atomic<int> playedSerial_{-1};
    std::atomic<double> playedAtS_{0.0};
};

}  // namespace ostrel::engine::ff
