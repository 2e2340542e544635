#include "engine/ffmpeg/stream_copy.h"

#include <cstring>

#include "engine/ffmpeg/shared_muxer.h"

namespace ostrel::engine::ff {

bool StreamCopy::Open(const AVStream& input, const std::string& filterName, std::string& error) {
    input_ = &input;
    filtered_.reset(av_packet_alloc());
    if (!filtered_) {
        error = "Out of memory";
        return false;
    }
    if (filterName.empty()) {
        return true;
    }
    const AVBitStreamFilter* filter = av_bsf_get_by_name(filterName.c_str());
    AVBSFContext* context = nullptr;
    int ret = filter != nullptr ? av_bsf_alloc(filter, &context) : AVERROR_BSF_NOT_FOUND;
    filter_.reset(context);
    if (ret >= 0) {
        ret = avcodec_parameters_copy(context->par_in, input.codecpar);
    }
    if (ret >= 0) {
        context->time_base_in = input.time_base;
        ret = av_bsf_init(context);
    }
    if (ret < 0) {
        error = "Cannot set up the bit-stream filter " + filterName + ": " + ErrorText(ret);
        return false;
    }
    return true;
}

const AVCodecParameters& StreamCopy::Parameters() const {
    return filter_ ? *filter_->par_out : *input_->codecpar;
}

AVStream* StreamCopy::AddTo(AVFormatContext& output, std::uint32_t codecTag,
                            std::string& error) const {
    AVStream* stream = avformat_new_stream(&output, nullptr);
    if (stream == nullptr) {
        error = "Out of memory";
        return nullptr;
    }
    const int ret = avcodec_parameters_copy(stream->codecpar, &Parameters());
    if (ret < 0) {
        error = "Cannot set up the output stream: " + ErrorText(ret);
        return nullptr;
    }
    // The input's tag may mean nothing in the output's container.
    stream->codecpar->codec_tag = codecTag;
    stream->time_base = filter_ ? filter_->time_base_out : input_->time_base;
    stream->avg_frame_rate = input_->avg_frame_rate;
    stream->r_frame_rate = input_->r_frame_rate;
    stream->sample_aspect_ratio = input_->sample_aspect_ratio;
    // The display matrix (a phone's turn) and the other stream-wide side data stay as they are.
    for (int i = 0; i < input_->nb_side_data; ++i) {
        const AVPacketSideData& data = input_->side_data[i];
        std::uint8_t* copy = av_stream_new_side_data(stream, data.type, data.size);
        if (copy == nullptr) {
            error = "Out of memory";
            return nullptr;
        }
        std::memcpy(copy, data.data, data.size);
    }
    return stream;
}

bool StreamCopy::Write(AVPacket* packet, SharedMuxer& muxer, const AVStream& outStream,
                       std::string& error) {
    if (packet != nullptr && startPts_ != AV_NOPTS_VALUE) {
        if (packet->pts != AV_NOPTS_VALUE) {
            packet->pts -= startPts_;
        }
        if (packet->dts != AV_NOPTS_VALUE) {
            packet->dts -= startPts_;
        }
    }
    if (!filter_) {
        return packet == nullptr || WriteFiltered(packet, muxer, outStream, error);
    }
    int ret = av_bsf_send_packet(filter_.get(), packet);
    if (ret < 0) {
        error = "Cannot filter the copied packets: " + ErrorText(ret);
        return false;
    }
    while ((ret = av_bsf_receive_packet(filter_.get(), filtered_.get())) >= 0) {
        const bool ok = WriteFiltered(filtered_.get(), muxer, outStream, error);
        av_packet_unref(filtered_.get());
        if (!ok) {
            return false;
        }
    }
    if (ret != AVERROR(EAGAIN) && ret != AVERROR_EOF) {
        error = "Cannot filter the copied packets: " + ErrorText(ret);
        return false;
    }
    return true;
}

bool StreamCopy::WriteFiltered(AVPacket* packet, SharedMuxer& muxer, const AVStream& outStream,
                               std::string& error) {
    const AVRational timeBase = filter_ ? filter_->time_base_out : input_->time_base;
    ++packetsCopied_;
    return muxer.Write(packet, timeBase, outStream, error);
}

}  // namespace ostrel::engine::ff
