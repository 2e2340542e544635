// The picture side of the video decode thread: decoded pictures turned upright as the
// conversion turns them (the display matrix's turn and mirror), the exact seek applied, late
// pictures dropped before they are queued (as ffplay does when decoding falls behind), and
// each picture scaled to the display size ahead of time.
#pragma once

#include <memory>
#include <string>

#include "engine/engine.h"
#include "engine/ffmpeg/av_util.h"
#include "engine/ffmpeg/filter_graph.h"
#include "engine/ffmpeg/player/decode_thread.h"
#include "engine/ffmpeg/player/picture.h"
#include "engine/ffmpeg/serial_queue.h"

namespace ostrel::engine::ff {

class MediaSession;

// A picture ready to show: the upright decoded picture and, when it was made ahead of time,
// its frame at the display size of that moment.
struct Picture {
    FramePtr frame;
    std::shared_ptr<const VideoFrame> scaled;
    double ptsS = NAN;
    int serial = 0;
};
using PictureQueue = SerialQueue<std::shared_ptr<const Picture>>;

class VideoSink final : public DecodeSink {
  public:
    explicit VideoSink(MediaSession& session);

    void Restart(int serial, double targetS) override;
    void BeforePacket(AVCodecContext& decoder, const AVPacket* packet) override;
    bool Deliver(AVFrame* frame) override;
    bool Drain() override;
    void Finished(int serial) override;

  private:
    // One upright picture, with the exact seek applied.
    bool Pass(AVFrame* frame);
    bool PullFiltered();
    bool BuildGraph(const AVFrame& frame);
    bool LateAlready(double ptsS, double durationS);
    bool Queue(const AVFrame* frame, double ptsS, std::shared_ptr<const VideoFrame> scaled);
    bool QueueHeld();

    MediaSession& session_;
    AVStream* stream_;
    double timeBase_;
    double frameDurationS_;
    std::int64_t startPts_;
    const std::string upright_;  // the conversion's turn and mirror
    std::string chain_;          // upright_ and the subtitles shown
    int chainTrack_ = -2;        // the subtitle track chain_ was made for
    FilterGraph graph_;
    int graphWidth_ = 0;
    int graphHeight_ = 0;
    int graphFormat_ = -1;
    FramePtr filtered_;
    PictureScaler scaler_;
    int serial_ = -1;
    int lastQueuedSerial_ = -1;
    double targetS_ = -1.0;
    FramePtr held_;  // the last picture at or before the target so far
    double heldPtsS_ = NAN;
    bool holding_ = false;
};

}  // namespace ostrel::engine::ff
