// The sound side of the sound decode thread, the audio output's feeder: decoded sound cut at
// an exact seek's target, converted to the device's format by the shared AudioConverter and
// written into the audio output's ring.
#pragma once

#include <functional>
#include <stop_token>

#include "engine/ffmpeg/audio_converter.h"
#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/player/decode_thread.h"

namespace ostrel::engine::ff {

class AudioOutput;
class SoundScope;

class SoundFeeder final : public DecodeSink {
  public:
    // finished() is called once all sound of a serial was written; scope, when given, gets a
    // copy of everything written.
    SoundFeeder(AudioOutput& output, AVRational timeBase, std::stop_token stop,
                std::function<void()> finished, SoundScope* scope = nullptr);

    void Restart(int serial, double targetS) override;
    bool Deliver(AVFrame* frame) override;
    bool Drain() override;
    void Finished(int serial) override;

  private:
    // Converts frame (null: the end) and writes what comes out; false once stopped.
    bool Convert(AVFrame* frame);

    AudioOutput& output_;
    AVRational timeBase_;
    std::stop_token stop_;
    std::function<void()> finished_;
    SoundScope* scope_;
    AudioConverter converter_;
    FramePtr cut_;
    FramePtr converted_;
    int serial_ = -1;
    double targetS_ = -1.0;
};

}  // namespace ostrel::engine::ff
