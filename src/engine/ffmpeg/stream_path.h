// One stream of a task, converted or copied. Converted: decoder → filter graph (video) or sound
// converter → encoder → the shared muxer. Decode, Filter and Encode each hand their result to the
// next step; the pipeline may put a queue between two steps, and the steps then run on different
// threads (see pipeline.cpp for which thread runs which step). A null packet or frame is the end of
// the stream and is handed on like the others. Every failure is recorded in the task's stop
// by the step that met it, on its own thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "engine/ffmpeg/audio_converter.h"
#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/filter_graph.h"
#include "engine/ffmpeg/stream_copy.h"
#include "engine/ffmpeg/stream_decoder.h"
#include "engine/ffmpeg/stream_encoder.h"

namespace ostrel::engine::ff {

class LengthCheck;
class SharedMuxer;
class TaskStop;

class StreamPath {
  public:
    using FrameStep = std::function<bool(AVFrame* frame)>;  // null: the end of the stream

    StreamPath(AVMediaType type, const char* name);
    StreamPath(const StreamPath&) = delete;
    StreamPath& operator=(const StreamPath&) = delete;

    // Set up by the task before any step runs.
    void Attach(TaskStop& stop, SharedMuxer& muxer, const LengthCheck& length,
                std::atomic<bool>& decodedSinceRead);
    bool IsVideo() const { return type_ == AVMEDIA_TYPE_VIDEO; }
    const char* Name() const { return name_; }
    // False when the frame it filters into could not be allocated.
    bool HasFrame() const { return filtered_ != nullptr; }

    // Where decoded and filtered frames go; by default to the next step on the same thread.
    void HandDecodedTo(FrameStep step) { decodedStep_ = std::move(step); }
    void HandFilteredTo(FrameStep step) { filteredStep_ = std::move(step); }
    // Every step hands on to the next on the same thread again.
    void HandOnDirectly();

    // Decodes a packet and hands each frame on (null: drains the decoder, then ends). Runs on
    // the stage that starts with decoding, or on the reading thread for sound alone.
    bool Decode(const AVPacket* packet);
    // Filters a decoded frame and hands each filtered one on, in the encoder's time base (null:
    // ends the stream; the last picture lasts until the video's end). Runs on the stage that
    // starts with filtering, or where the frame was decoded.
    bool Filter(AVFrame* frame);
    // Encodes a filtered frame (null: drains the encoder) and writes its packets. Runs on the
    // stage that starts with encoding, or where the frame was filtered.
    bool Encode(const AVFrame* frame);
    // A copied stream instead: writes the packet as it is (null: the end of the stream). Runs
    // on the reading thread.
    bool Copy(AVPacket* packet);

    bool wanted = false;
    bool copied = false;  // the stream's packets go into the output as they are
    StreamCopy copy;
    AVStream* inStream = nullptr;
    AVStream* outStream = nullptr;
    StreamDecoder decoder;
    FilterGraph graph;     // video
    AudioConverter sound;  // sound
    StreamEncoder encoder;

  private:
    bool Decoded(AVFrame* frame);
    int PushToFilter(AVFrame* frame);
    bool PullFiltered();
    void Retime(AVFrame& filtered);

    const AVMediaType type_;
    const char* const name_;  // "video" or "audio", for messages
    TaskStop* stop_ = nullptr;
    SharedMuxer* muxer_ = nullptr;
    const LengthCheck* length_ = nullptr;
    std::atomic<bool>* decodedSinceRead_ = nullptr;
    FrameStep decodedStep_;
    FrameStep filteredStep_;
    FramePtr filtered_;
    // Written by the decoding, read by the filtering at the end (after the hand-over's end).
    std::int64_t lastVideoEndPts_ = AV_NOPTS_VALUE;  // input time base, from the start
    std::int64_t nextSoundPts_ = AV_NOPTS_VALUE;     // next sound frame, encoder time base
};

}  // namespace ostrel::engine::ff
