#include "engine/ffmpeg/player/audio_output.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>

#include "engine/ffmpeg/player/clocks.h"

namespace ostrel::engine::ff {

AudioOutput::AudioOutput(const std::atomic<int>& serial, const std::atomic<bool>& paused,
                         const SoundLevel& level)
    : serial_(serial), paused_(paused), level_(level) {}

AudioOutput::~AudioOutput() {
    Close();
}

bool AudioOutput::Open(int sampleRate, int channels, std::string& error) {
    // SDL would otherwise turn SIGINT and SIGTERM into quit events that nobody reads, and a
    // logout or `kill` would no longer end the program.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        error = std::string("No audio output: ") + SDL_GetError();
        return false;
    }
    subsystem_ = true;
    SDL_AudioSpec wanted{};
    wanted.freq = sampleRate > 0 ? sampleRate : 44100;
    wanted.channels = static_cast<Uint8>(std::clamp(channels, 1, 2));
    wanted.format = AUDIO_S16SYS;
    wanted.silence = 0;
    // About 30 callbacks a second, as ffplay asks.
    wanted.samples = static_cast<Uint16>(std::max(512, 2 << av_log2(wanted.freq / 30)));
    wanted.callback = &AudioOutput::Callback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    device_ =
        SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained,
                            SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (device_ == 0 || obtained.format != AUDIO_S16SYS || obtained.channels < 1) {
        error = std::string("No audio output: ") + SDL_GetError();
        Close();
        return false;
    }
    sampleRate_ = obtained.freq;
    channels_ = obtained.channels;
    bytesPerSecond_ = sampleRate_ * channels_ * 2;
    hardwareBufferBytes_ = static_cast<int>(obtained.size);
    return true;
}

void AudioOutput::Start() {
    if (device_ != 0) {
        SDL_PauseAudioDevice(device_, 0);
    }
}

void AudioOutput::Close() {
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);  // waits for a running callback
        device_ = 0;
    }
    if (subsystem_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystem_ = false;
    }
}

AudioTarget AudioOutput::Target() const {
    AudioTarget target;
    target.sampleRate = sampleRate_;
    target.sampleFormat = AV_SAMPLE_FMT_S16;
    target.layout = ChannelLayout::Default(channels_);
    return target;
}

// ---------------------------------------------------------------------------------------------
// The feeder's side.

bool AudioOutput::Write(const std::uint8_t* bytes, std::size_t size, double endPtsS, int serial,
                        const std::stop_token& stop) {
    std::optional<std::stop_callback<std::function<void()>>> wakeAtStop;
    std::uint32_t written = 0;
    for (;;) {
        const std::uint32_t seen = room_.load(std::memory_order_acquire);
        if (stop.stop_requested()) {
            return false;
        }
        if (serial != serial_.load()) {
            return true;  // a seek came: the callback would skip the block anyway
        }
        written = written_.load(std::memory_order_relaxed);
        if (written - read_.load(std::memory_order_acquire) < kSlots) {
            break;
        }
        if (!wakeAtStop) {
            wakeAtStop.emplace(stop, [this] { Wake(); });
            continue;  // the stop may have come before the callback was there
        }
        room_.wait(seen, std::memory_order_acquire);
    }
    Slot& slot = slots_[written % kSlots];
    slot.bytes.assign(bytes, bytes + size);
    slot.size = size;
    slot.endPtsS = endPtsS;
    slot.serial = serial;
    written_.store(written + 1, std::memory_order_release);
    if (!std::isnan(endPtsS)) {
        writtenEndPtsS_ = endPtsS;
    }
    return true;
}

void AudioOutput::Wake() {
    room_.fetch_add(1, std::memory_order_release);
    room_.notify_all();
}

PlayedSound AudioOutput::Played() const {
    for (;;) {
        const std::uint32_t before = sequence_.load();
        if ((before & 1U) != 0) {
            continue;  // the callback is writing it right now
        }
        PlayedSound played;
        played.ptsS = playedPtsS_.load();
        played.serial = playedSerial_.load();
        played.atS = playedAtS_.load();
        if (sequence_.load() == before) {
            played.sequence = before;
            return played;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The callback's side (SDL's audio thread): the ring and atomics only.

void AudioOutput::Callback(void* opaque, Uint8* stream, int length) {
    static_cast<AudioOutput*>(opaque)->Fill(stream, length);
}

AudioOutput::Slot* AudioOutput::CurrentSlot(int serial) {
    while (read_.load(std::memory_order_relaxed) != written_.load(std::memory_order_acquire)) {
        Slot& slot = slots_[read_.load(std::memory_order_relaxed) % kSlots];
        if (slot.serial == serial) {
            return &slot;
        }
        ReleaseSlot();  // decoded before a seek
    }
    return nullptr;
}

void AudioOutput::ReleaseSlot() {
    playedInSlot_ = 0;
    read_.store(read_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    room_.fetch_add(1, std::memory_order_release);
    room_.notify_one();
}

void AudioOutput::Mix(Uint8* out, const std::uint8_t* source, int length, int level) const {
    if (level >= SDL_MIX_MAXVOLUME) {
        std::memcpy(out, source, static_cast<std::size_t>(length));
        return;
    }
    std::memset(out, 0, static_cast<std::size_t>(length));
    if (level > 0) {
        SDL_MixAudioFormat(out, source, AUDIO_S16SYS, static_cast<Uint32>(length), level);
    }
}

void AudioOutput::Fill(Uint8* out, int length) {
    const double callbackS = NowSeconds();
    const int serial = serial_.load();
    const bool paused = paused_.load();
    const int level = level_.muted.load() ? 0 : level_.level.load();
    bytesOut_.fetch_add(length, std::memory_order_relaxed);
    bool played = false;  // some sound, not only silence, went out
    double endPtsS = 0.0;
    int playedSerial = -1;
    std::size_t unplayed = 0;
    while (length > 0) {
        Slot* slot = CurrentSlot(serial);
        if (slot == nullptr || paused) {
            break;
        }
        const int chunk = static_cast<int>(
            std::min<std::size_t>(slot->size - playedInSlot_, static_cast<std::size_t>(length)));
        Mix(out, slot->bytes.data() + playedInSlot_, chunk, level);
        played = true;
        playedInSlot_ += static_cast<std::size_t>(chunk);
        out += chunk;
        length -= chunk;
        endPtsS = slot->endPtsS;
        playedSerial = slot->serial;
        unplayed = slot->size - playedInSlot_;
        if (unplayed == 0) {
            ReleaseSlot();
        }
    }
    if (length > 0) {
        // Nothing to play (paused, the end, or the decoder is behind): silence.
        std::memset(out, 0, static_cast<std::size_t>(length));
        const bool ended = endedSerial_.load(std::memory_order_acquire) == serial;
        drained_.store(!paused && ended && CurrentSlot(serial) == nullptr,
                       std::memory_order_release);
    } else {
        drained_.store(false, std::memory_order_release);
    }
    if (played && !std::isnan(endPtsS)) {
        // What was handed over now plays after the device's two buffers.
        Publish(
            endPtsS - static_cast<double>(2 * hardwareBufferBytes_ + static_cast<int>(unplayed)) /
                          bytesPerSecond_,
            playedSerial, callbackS);
    }
}

void AudioOutput::Publish(double ptsS, int serial, double atS) {
    // Sequentially consistent throughout: a reader that saw any of these values sees the odd
    // or the raised sequence afterwards, and tries again.
    const std::uint32_t sequence = sequence_.load();
    sequence_.store(sequence + 1);
    playedPtsS_.store(ptsS);
    playedSerial_.store(serial);
    playedAtS_.store(atS);
    sequence_.store(sequence + 2);
}

}  // namespace ostrel::engine::ff
