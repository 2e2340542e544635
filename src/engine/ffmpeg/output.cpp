#include "engine/ffmpeg/output.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

namespace ostrel::engine::ff {
namespace {

int InterruptCallback(void* opaque) {
    const auto* interrupt = static_cast<const std::atomic<bool>*>(opaque);
    return interrupt != nullptr && interrupt->load() ? 1 : 0;
}

// Muxers are told at most this much delay between their streams (µs), as the ffmpeg tool does.
constexpr int kMaxMuxDelayUs = 700000;

}  // namespace

Output::Output(std::string path, const std::atomic<bool>* interrupt)
    : path_(std::move(path)), temporaryPath_(TemporaryPathFor(path_)), interrupt_(interrupt) {}

Output::~Output() {
    context_.reset();
    if (!committed_) {
        std::remove(temporaryPath_.c_str());
    }
}

bool Output::Create(const std::string& muxer, std::string& error) {
    AVFormatContext* context = nullptr;
    const int ret =
        avformat_alloc_output_context2(&context, nullptr, muxer.c_str(), temporaryPath_.c_str());
    if (ret < 0 || context == nullptr) {
        error = "Cannot use the output format " + muxer + ": " + ErrorText(ret);
        return false;
    }
    context_.reset(context);
    context_->interrupt_callback = {InterruptCallback, const_cast<std::atomic<bool>*>(interrupt_)};
    context_->max_delay = kMaxMuxDelayUs;
    return true;
}

bool Output::NeedsGlobalHeader() const {
    return (context_->oformat->flags & AVFMT_GLOBALHEADER) != 0;
}

AVStream* Output::AddStream(const AVCodecContext& encoder, std::string& error) {
    AVStream* stream = avformat_new_stream(context_.get(), nullptr);
    if (stream == nullptr) {
        error = "Out of memory";
        return nullptr;
    }
    const int ret = avcodec_parameters_from_context(stream->codecpar, &encoder);
    if (ret < 0) {
        error = "Cannot set up the output stream: " + ErrorText(ret);
        return nullptr;
    }
    stream->time_base = encoder.time_base;
    // The encoder's buffer properties tell muxers such as MPEG-PS their rates and sizes.
    for (int i = 0; i < encoder.nb_coded_side_data; ++i) {
        const AVPacketSideData& data = encoder.coded_side_data[i];
        std::uint8_t* copy = av_stream_new_side_data(stream, data.type, data.size);
        if (copy == nullptr) {
            error = "Out of memory";
            return nullptr;
        }
        std::memcpy(copy, data.data, data.size);
    }
    if (encoder.codec_type == AVMEDIA_TYPE_VIDEO) {
        stream->sample_aspect_ratio = encoder.sample_aspect_ratio;
        stream->avg_frame_rate = encoder.framerate;
    }
    return stream;
}

bool Output::Open(const TargetSettings& target, std::string& error) {
    Dictionary muxerOptions;
    if (target.set) {
        context_->packet_size = static_cast<unsigned>(target.packetSize);
        muxerOptions.Set("muxrate", std::to_string(target.muxRate));
        if (target.preloadSeconds > 0.0) {
            muxerOptions.Set("preload", std::to_string(std::llround(target.preloadSeconds * 1e6)));
        }
    }
    if (!(context_->oformat->flags & AVFMT_NOFILE)) {
        const int ret = avio_open2(&context_->pb, temporaryPath_.c_str(), AVIO_FLAG_WRITE,
                                   &context_->interrupt_callback, nullptr);
        if (ret < 0) {
            error = "Cannot create the output file: " + ErrorText(ret);
            return false;
        }
    }
    const int ret = avformat_write_header(context_.get(), muxerOptions.Address());
    if (ret < 0) {
        error = "Cannot write the output file's header: " + ErrorText(ret);
        return false;
    }
    return true;
}

bool Output::Write(AVPacket* packet, AVRational encoderTimeBase, const AVStream& stream,
                   std::string& error) {
    packet->stream_index = stream.index;
    av_packet_rescale_ts(packet, encoderTimeBase, stream.time_base);
    if (packet->pts != AV_NOPTS_VALUE) {
        const std::int64_t endUs =
            av_rescale_q(packet->pts + std::max<std::int64_t>(packet->duration, 0),
                         stream.time_base, AV_TIME_BASE_Q);
        positionUs_ = std::max(positionUs_, endUs);
    }
    const int ret = av_interleaved_write_frame(context_.get(), packet);
    if (ret < 0) {
        error = "Cannot write the output file: " + ErrorText(ret);
        return false;
    }
    return true;
}

bool Output::Finish(std::string& error) {
    int ret = av_write_trailer(context_.get());
    if (ret >= 0 && context_->pb != nullptr) {
        ret = avio_closep(&context_->pb);
    }
    if (ret < 0) {
        error = "Cannot finish the output file: " + ErrorText(ret);
        return false;
    }
    context_.reset();
    return true;
}

bool Output::Commit(std::string& error) {
    std::error_code code;
    std::filesystem::rename(temporaryPath_, path_, code);
    if (code) {
        error = "Cannot rename the output file: " + code.message();
        return false;
    }
    committed_ = true;
    return true;
}

std::string TemporaryPathFor(const std::string& outputPath) {
    static std::atomic<unsigned> counter{0};
    const std::filesystem::path path(outputPath);
    const std::string file = "." + path.stem().string() + ".ostrel-tmp-" +
                             std::to_string(static_cast<long>(getpid())) + "-" +
                             std::to_string(counter.fetch_add(1)) + path.extension().string();
    return (path.parent_path() / file).string();
}

std::string ExtensionOf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    if (!extension.empty() && extension.front() == '.') {
        extension.erase(0, 1);
    }
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

}  // namespace ostrel::engine::ff
