#include "engine/ffmpeg/cover_art.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <cstring>
#include <string_view>

namespace ostrel::engine::ff {
namespace {

// The muxers that hold a cover and the picture codecs each takes (ID3v2 APIC frames, iTunes
// "covr" atoms, FLAC PICTURE blocks).
struct CoverRule {
    std::string_view muxer;
    std::vector<AVCodecID> codecs;
};

const CoverRule kCoverRules[] = {
    {"mp3",
     {AV_CODEC_ID_MJPEG, AV_CODEC_ID_PNG, AV_CODEC_ID_GIF, AV_CODEC_ID_BMP, AV_CODEC_ID_TIFF,
      AV_CODEC_ID_WEBP}},
    {"ipod", {AV_CODEC_ID_MJPEG, AV_CODEC_ID_PNG, AV_CODEC_ID_BMP}},
    {"flac", {AV_CODEC_ID_MJPEG, AV_CODEC_ID_PNG, AV_CODEC_ID_BMP, AV_CODEC_ID_TIFF}},
};

const std::vector<AVCodecID>* AcceptedCodecs(const char* muxer) {
    for (const CoverRule& rule : kCoverRules) {
        if (rule.muxer == muxer) {
            return &rule.codecs;
        }
    }
    return nullptr;
}

// The input's cover: the front cover when it says so, else its first attached picture.
const AVStream* FindCover(const AVFormatContext& input) {
    const AVStream* first = nullptr;
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVStream* stream = input.streams[i];
        if (!(stream->disposition & AV_DISPOSITION_ATTACHED_PIC) ||
            stream->attached_pic.size <= 0) {
            continue;
        }
        const AVDictionaryEntry* comment = av_dict_get(stream->metadata, "comment", nullptr, 0);
        if (comment != nullptr && std::strcmp(comment->value, "Cover (front)") == 0) {
            return stream;
        }
        if (first == nullptr) {
            first = stream;
        }
    }
    return first;
}

bool HasAlphaOrPalette(AVPixelFormat format) {
    const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(format);
    return descriptor != nullptr &&
           (descriptor->flags & (AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL)) != 0;
}

// Decodes the single picture of an attached-picture stream.
FramePtr DecodePicture(const AVStream& input) {
    const AVCodec* codec = avcodec_find_decoder(input.codecpar->codec_id);
    CodecContextPtr decoder(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
    FramePtr frame(av_frame_alloc());
    if (!decoder || !frame || avcodec_parameters_to_context(decoder.get(), input.codecpar) < 0 ||
        avcodec_open2(decoder.get(), codec, nullptr) < 0 ||
        avcodec_send_packet(decoder.get(), &input.attached_pic) < 0) {
        return nullptr;
    }
    avcodec_send_packet(decoder.get(), nullptr);
    if (avcodec_receive_frame(decoder.get(), frame.get()) < 0 || frame->width <= 0 ||
        frame->height <= 0) {
        return nullptr;
    }
    return frame;
}

}  // namespace

bool CoverArt::Add(const AVFormatContext& input, AVFormatContext& output, TagPolicy policy) {
    const std::vector<AVCodecID>* accepted = AcceptedCodecs(output.oformat->name);
    const AVStream* cover = FindCover(input);
    if (accepted == nullptr || cover == nullptr || policy != TagPolicy::Keep ||
        !Prepare(*cover, *accepted)) {
        return true;
    }
    stream_ = avformat_new_stream(&output, nullptr);
    if (stream_ == nullptr || avcodec_parameters_copy(stream_->codecpar, parameters_.get()) < 0) {
        return false;
    }
    stream_->codecpar->codec_tag = 0;  // the output container's own tag for the codec
    stream_->disposition = AV_DISPOSITION_ATTACHED_PIC;
    stream_->time_base = {1, 90000};
    av_dict_copy(&stream_->metadata, cover->metadata, 0);
    return true;
}

bool CoverArt::Prepare(const AVStream& input, const std::vector<AVCodecID>& accepted) {
    for (AVCodecID codec : accepted) {
        if (codec == input.codecpar->codec_id) {
            packet_.reset(av_packet_clone(&input.attached_pic));
            parameters_.reset(avcodec_parameters_alloc());
            return packet_ && parameters_ &&
                   avcodec_parameters_copy(parameters_.get(), input.codecpar) >= 0;
        }
    }
    return Reencode(input, accepted.front());
}

// One new encoding at the picture's size: PNG keeps transparency and palettes, JPEG suits
// photographs.
bool CoverArt::Reencode(const AVStream& input, AVCodecID photoCodec) {
    const FramePtr picture = DecodePicture(input);
    if (!picture) {
        return false;
    }
    const auto sourceFormat = static_cast<AVPixelFormat>(picture->format);
    const bool lossless = HasAlphaOrPalette(sourceFormat);
    const AVCodec* codec = avcodec_find_encoder(lossless ? AV_CODEC_ID_PNG : photoCodec);
    if (codec == nullptr) {
        return false;
    }
    const AVPixelFormat targetFormat =
        codec->id == AV_CODEC_ID_PNG
            ? (lossless ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24)
            : (codec->id == AV_CODEC_ID_MJPEG ? AV_PIX_FMT_YUVJ444P : AV_PIX_FMT_BGR24);
    FramePtr converted(av_frame_alloc());
    if (!converted) {
        return false;
    }
    converted->format = targetFormat;
    converted->width = picture->width;
    converted->height = picture->height;
    SwsContextPtr scaler(sws_getContext(picture->width, picture->height, sourceFormat,
                                        picture->width, picture->height, targetFormat, SWS_BICUBIC,
                                        nullptr, nullptr, nullptr));
    if (!scaler || av_frame_get_buffer(converted.get(), 0) < 0 ||
        sws_scale_frame(scaler.get(), converted.get(), picture.get()) < 0) {
        return false;
    }
    CodecContextPtr encoder(avcodec_alloc_context3(codec));
    if (!encoder) {
        return false;
    }
    encoder->width = picture->width;
    encoder->height = picture->height;
    encoder->pix_fmt = targetFormat;
    encoder->time_base = {1, 1};
    encoder->flags |= AV_CODEC_FLAG_QSCALE;
    encoder->global_quality = FF_QP2LAMBDA * 2;  // a cover is small: near-lossless JPEG
    if (avcodec_open2(encoder.get(), codec, nullptr) < 0) {
        return false;
    }
    converted->pts = 0;
    packet_.reset(av_packet_alloc());
    parameters_.reset(avcodec_parameters_alloc());
    if (!packet_ || !parameters_ || avcodec_send_frame(encoder.get(), converted.get()) < 0 ||
        avcodec_send_frame(encoder.get(), nullptr) < 0 ||
        avcodec_receive_packet(encoder.get(), packet_.get()) < 0) {
        return false;
    }
    return avcodec_parameters_from_context(parameters_.get(), encoder.get()) >= 0;
}

bool CoverArt::Write(AVFormatContext& output, std::string& error) {
    if (stream_ == nullptr) {
        return true;
    }
    packet_->stream_index = stream_->index;
    packet_->pts = 0;
    packet_->dts = 0;
    packet_->duration = 0;
    packet_->pos = -1;
    packet_->flags |= AV_PKT_FLAG_KEY;
    const int ret = av_interleaved_write_frame(&output, packet_.get());
    if (ret < 0) {
        error = "Cannot write the cover to the output file: " + ErrorText(ret);
        return false;
    }
    return true;
}

}  // namespace ostrel::engine::ff
