#include "engine/ffmpeg/stream_decoder.h"

namespace ostrel::engine::ff {

bool StreamDecoder::Open(AVFormatContext* input, AVStream* stream, int threads,
                         std::string& error) {
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (codec == nullptr) {
        const char* type = av_get_media_type_string(stream->codecpar->codec_type);
        error = std::string("There is no decoder for the input's ") + (type ? type : "stream") +
                " (" + avcodec_get_name(stream->codecpar->codec_id) + ")";
        return false;
    }
    context_.reset(avcodec_alloc_context3(codec));
    frame_.reset(av_frame_alloc());
    if (!context_ || !frame_) {
        error = "Out of memory";
        return false;
    }
    int ret = avcodec_parameters_to_context(context_.get(), stream->codecpar);
    if (ret < 0) {
        error = "Cannot read the input's stream parameters: " + ErrorText(ret);
        return false;
    }
    context_->pkt_timebase = stream->time_base;
    context_->thread_count = threads;
    if (codec->type == AVMEDIA_TYPE_VIDEO) {
        context_->framerate = av_guess_frame_rate(input, stream, nullptr);
    }
    ret = avcodec_open2(context_.get(), codec, nullptr);
    if (ret < 0) {
        error = std::string("Cannot open the ") + codec->name + " decoder: " + ErrorText(ret);
        return false;
    }
    stream_ = stream;
    nextPts_ = AV_NOPTS_VALUE;
    framesDecoded_ = 0;
    return true;
}

bool StreamDecoder::Decode(const AVPacket* packet, const FrameSink& sink) {
    const int sent = avcodec_send_packet(context_.get(), packet);
    if (sent < 0 && sent != AVERROR_EOF && sent != AVERROR(EAGAIN)) {
        return true;  // a damaged packet is skipped
    }
    // Decoding errors are not fatal; a decoder that reports nothing else is left for the next
    // packet.
    constexpr int kMaxErrorsInARow = 64;
    for (int errors = 0; errors < kMaxErrorsInARow;) {
        const int ret = avcodec_receive_frame(context_.get(), frame_.get());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) {
            return true;
        }
        if (ret < 0) {
            ++errors;
            continue;
        }
        errors = 0;
        ++framesDecoded_;
        CleanTimestamp(frame_.get());
        const bool more = sink(frame_.get());
        av_frame_unref(frame_.get());
        if (!more) {
            return false;
        }
    }
    return true;
}

void StreamDecoder::CleanTimestamp(AVFrame* frame) {
    std::int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) {
        pts = nextPts_;
    } else {
        pts -= startPts_;
    }
    if (pts != AV_NOPTS_VALUE && context_->codec_type == AVMEDIA_TYPE_AUDIO) {
        nextPts_ =
            pts + av_rescale_q(frame->nb_samples, {1, context_->sample_rate}, stream_->time_base);
    }
    frame->pts = pts;
}

void StreamDecoder::Flush() {
    if (context_) {
        avcodec_flush_buffers(context_.get());
    }
    nextPts_ = AV_NOPTS_VALUE;
}

}  // namespace ostrel::engine::ff
