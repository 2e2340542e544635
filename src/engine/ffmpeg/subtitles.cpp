#include "engine/ffmpeg/subtitles.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace ostrel::engine::ff {
namespace {

constexpr AVRational kMilliseconds{1, 1000};
// The largest encoded subtitle event (the ffmpeg tool uses the same bound).
constexpr int kEncodedEventBytes = 1024 * 1024;

bool IsText(AVCodecID codec) {
    switch (codec) {
        case AV_CODEC_ID_SUBRIP:
        case AV_CODEC_ID_SRT:
        case AV_CODEC_ID_ASS:
        case AV_CODEC_ID_SSA:
        case AV_CODEC_ID_MOV_TEXT:
        case AV_CODEC_ID_WEBVTT:
        case AV_CODEC_ID_TEXT:
            return true;
        default:
            return false;
    }
}

bool IsBitmap(AVCodecID codec) {
    return codec == AV_CODEC_ID_DVD_SUBTITLE || codec == AV_CODEC_ID_HDMV_PGS_SUBTITLE ||
           codec == AV_CODEC_ID_DVB_SUBTITLE;
}

// How the output holds a track: not at all, as it is, or converted to a codec of its own.
struct Form {
    bool carried = false;
    AVCodecID encodeTo = AV_CODEC_ID_NONE;  // NONE: copied as it is
};

Form FormFor(const AVOutputFormat& muxer, AVCodecID codec) {
    const std::string_view name = muxer.name;
    if (name == "matroska") {
        if (IsBitmap(codec) ||
            (IsText(codec) && avformat_query_codec(&muxer, codec, FF_COMPLIANCE_NORMAL) == 1)) {
            return {true, AV_CODEC_ID_NONE};
        }
        return {IsText(codec), AV_CODEC_ID_SUBRIP};
    }
    AVCodecID text = AV_CODEC_ID_NONE;
    if (name == "mp4" || name == "mov" || name == "3gp") {
        text = AV_CODEC_ID_MOV_TEXT;
    } else if (name == "webm") {
        text = AV_CODEC_ID_WEBVTT;
    }
    if (text == AV_CODEC_ID_NONE || !IsText(codec)) {
        return {};
    }
    return {true, codec == text ? AV_CODEC_ID_NONE : text};
}

}  // namespace

struct SubtitleTracks::Track {
    int inputIndex = -1;
    AVRational inputTimeBase{1, 1000};
    AVStream* stream = nullptr;
    CodecContextPtr decoder;  // both null when copied
    CodecContextPtr encoder;
    std::vector<std::uint8_t> buffer;
};

SubtitleTracks::SubtitleTracks() = default;
SubtitleTracks::~SubtitleTracks() = default;

namespace {

// The decoder of a text track and the encoder of the output's text form; false when either
// cannot be opened.
bool OpenConversion(const AVStream& input, AVCodecID target, bool globalHeader,
                    CodecContextPtr& decoder, CodecContextPtr& encoder) {
    const AVCodec* decoderCodec = avcodec_find_decoder(input.codecpar->codec_id);
    const AVCodec* encoderCodec = avcodec_find_encoder(target);
    if (decoderCodec == nullptr || encoderCodec == nullptr) {
        return false;
    }
    decoder.reset(avcodec_alloc_context3(decoderCodec));
    if (!decoder || avcodec_parameters_to_context(decoder.get(), input.codecpar) < 0) {
        return false;
    }
    decoder->pkt_timebase = input.time_base;
    if (avcodec_open2(decoder.get(), decoderCodec, nullptr) < 0) {
        return false;
    }
    encoder.reset(avcodec_alloc_context3(encoderCodec));
    if (!encoder) {
        return false;
    }
    encoder->time_base = AV_TIME_BASE_Q;
    if (globalHeader) {
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    // The styles of the text (the ASS header every text decoder gives) carry over.
    if (decoder->subtitle_header != nullptr && decoder->subtitle_header_size > 0) {
        encoder->subtitle_header =
            static_cast<std::uint8_t*>(av_mallocz(decoder->subtitle_header_size + 1));
        if (encoder->subtitle_header == nullptr) {
            return false;
        }
        std::memcpy(encoder->subtitle_header, decoder->subtitle_header,
                    decoder->subtitle_header_size);
        encoder->subtitle_header_size = decoder->subtitle_header_size;
    }
    return avcodec_open2(encoder.get(), encoderCodec, nullptr) >= 0;
}

}  // namespace

bool SubtitleTracks::Add(const AVFormatContext& input, AVFormatContext& output,
                         std::int64_t startUs, TagPolicy policy) {
    startUs_ = startUs == AV_NOPTS_VALUE ? 0 : startUs;
    packet_.reset(av_packet_alloc());
    if (!packet_) {
        return false;
    }
    const bool globalHeader = (output.oformat->flags & AVFMT_GLOBALHEADER) != 0;
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVStream& stream = *input.streams[i];
        if (stream.codecpar->codec_type != AVMEDIA_TYPE_SUBTITLE) {
            continue;
        }
        const Form form = FormFor(*output.oformat, stream.codecpar->codec_id);
        if (!form.carried) {
            continue;
        }
        auto track = std::make_unique<Track>();
        track->inputIndex = static_cast<int>(i);
        track->inputTimeBase = stream.time_base;
        if (form.encodeTo != AV_CODEC_ID_NONE) {
            if (!OpenConversion(stream, form.encodeTo, globalHeader, track->decoder,
                                track->encoder)) {
                continue;
            }
            track->buffer.resize(kEncodedEventBytes);
        }
        track->stream = avformat_new_stream(&output, nullptr);
        if (track->stream == nullptr) {
            return false;
        }
        const int ret =
            track->encoder
                ? avcodec_parameters_from_context(track->stream->codecpar, track->encoder.get())
                : avcodec_parameters_copy(track->stream->codecpar, stream.codecpar);
        if (ret < 0) {
            return false;
        }
        track->stream->codecpar->codec_tag = 0;  // the output container's own tag
        track->stream->time_base = track->encoder ? kMilliseconds : stream.time_base;
        track->stream->disposition = stream.disposition;
        CopyStreamTags(stream, *track->stream, track->encoder ? track->encoder->codec : nullptr,
                       policy);
        tracks_.push_back(std::move(track));
    }
    return true;
}

bool SubtitleTracks::Carries(int inputIndex) const {
    return std::any_of(tracks_.begin(), tracks_.end(),
                       [inputIndex](const auto& track) { return track->inputIndex == inputIndex; });
}

bool SubtitleTracks::Write(const AVPacket& packet, AVFormatContext& output, std::string& error) {
    for (const auto& track : tracks_) {
        if (track->inputIndex == packet.stream_index) {
            return track->encoder ? WriteConverted(*track, packet, output, error)
                                  : WriteCopy(*track, packet, output, error);
        }
    }
    return true;
}

bool SubtitleTracks::WriteCopy(Track& track, const AVPacket& packet, AVFormatContext& output,
                               std::string& error) {
    if (av_packet_ref(packet_.get(), &packet) < 0) {
        error = "Out of memory";
        return false;
    }
    AVPacket* copy = packet_.get();
    const std::int64_t offset = av_rescale_q(startUs_, AV_TIME_BASE_Q, track.inputTimeBase);
    if (copy->pts != AV_NOPTS_VALUE) {
        copy->pts -= offset;
    }
    if (copy->dts != AV_NOPTS_VALUE) {
        copy->dts -= offset;
    }
    const std::int64_t time = copy->pts != AV_NOPTS_VALUE ? copy->pts : copy->dts;
    if (time == AV_NOPTS_VALUE || time + std::max<std::int64_t>(copy->duration, 0) < 0) {
        av_packet_unref(copy);
        return true;  // no time, or shown before the output starts
    }
    av_packet_rescale_ts(copy, track.inputTimeBase, track.stream->time_base);
    copy->stream_index = track.stream->index;
    copy->pos = -1;
    const int ret = av_interleaved_write_frame(&output, copy);
    if (ret < 0) {
        error = "Cannot write the subtitles: " + ErrorText(ret);
        return false;
    }
    return true;
}

bool SubtitleTracks::WriteConverted(Track& track, const AVPacket& packet, AVFormatContext& output,
                                    std::string& error) {
    AVSubtitle subtitle{};
    int got = 0;
    if (av_packet_ref(packet_.get(), &packet) < 0) {
        error = "Out of memory";
        return false;
    }
    const int decoded =
        avcodec_decode_subtitle2(track.decoder.get(), &subtitle, &got, packet_.get());
    av_packet_unref(packet_.get());
    if (decoded < 0 || !got) {
        return true;  // a damaged event is left out, as players do
    }
    if (subtitle.pts == AV_NOPTS_VALUE) {
        subtitle.pts = packet.pts != AV_NOPTS_VALUE
                           ? av_rescale_q(packet.pts, track.inputTimeBase, AV_TIME_BASE_Q)
                           : AV_NOPTS_VALUE;
    }
    // Shown from pts for end_display_time ms, on the output's clock.
    std::int64_t startUs = AV_NOPTS_VALUE;
    std::int64_t lengthMs = static_cast<std::int64_t>(subtitle.end_display_time) -
                            static_cast<std::int64_t>(subtitle.start_display_time);
    if (subtitle.pts != AV_NOPTS_VALUE) {
        startUs = subtitle.pts - startUs_ +
                  av_rescale_q(subtitle.start_display_time, kMilliseconds, AV_TIME_BASE_Q);
    }
    if (startUs != AV_NOPTS_VALUE && startUs < 0) {
        lengthMs += startUs / 1000;
        startUs = 0;
    }
    if (startUs == AV_NOPTS_VALUE || lengthMs <= 0) {
        avsubtitle_free(&subtitle);
        return true;
    }
    subtitle.pts = startUs;
    subtitle.start_display_time = 0;
    subtitle.end_display_time = static_cast<std::uint32_t>(lengthMs);
    const int size = avcodec_encode_subtitle(track.encoder.get(), track.buffer.data(),
                                             static_cast<int>(track.buffer.size()), &subtitle);
    avsubtitle_free(&subtitle);
    if (size < 0) {
        error = "Cannot convert the subtitles: " + ErrorText(size);
        return false;
    }
    if (size == 0) {
        return true;
    }
    AVPacket* encoded = packet_.get();
    if (av_new_packet(encoded, size) < 0) {
        error = "Out of memory";
        return false;
    }
    std::memcpy(encoded->data, track.buffer.data(), static_cast<std::size_t>(size));
    encoded->stream_index = track.stream->index;
    encoded->pts = av_rescale_q(startUs, AV_TIME_BASE_Q, track.stream->time_base);
    encoded->dts = encoded->pts;
    encoded->duration = av_rescale_q(lengthMs, kMilliseconds, track.stream->time_base);
    encoded->flags |= AV_PKT_FLAG_KEY;
    const int ret = av_interleaved_write_frame(&output, encoded);
    if (ret < 0) {
        error = "Cannot write the subtitles: " + ErrorText(ret);
        return false;
    }
    return true;
}

}  // namespace ostrel::engine::ff
