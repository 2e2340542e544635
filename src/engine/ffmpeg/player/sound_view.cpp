#include "engine/ffmpeg/player/sound_view.h"

#include <algorithm>
#include <cmath>
#include <system_error>

namespace ostrel::engine::ff {
namespace {

constexpr double kHistoryS = 2.0;
// Sound that starts this close to where the history ends continues it.
constexpr double kContinuesWithinS = 0.05;

// The picture of one packet of an image or attached picture; null when it does not decode.
FramePtr DecodePicture(const AVCodecParameters& parameters, const AVPacket& packet) {
    const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
    if (codec == nullptr) {
        return nullptr;
    }
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), &parameters) < 0 ||
        avcodec_open2(context.get(), codec, nullptr) < 0) {
        return nullptr;
    }
    FramePtr frame(av_frame_alloc());
    if (!frame || avcodec_send_packet(context.get(), &packet) < 0) {
        return nullptr;
    }
    avcodec_send_packet(context.get(), nullptr);
    if (avcodec_receive_frame(context.get(), frame.get()) < 0 || frame->width <= 0 ||
        frame->height <= 0) {
        return nullptr;
    }
    return frame;
}

FramePtr AttachedPicture(AVFormatContext* input) {
    for (unsigned i = 0; input != nullptr && i < input->nb_streams; ++i) {
        const AVStream* stream = input->streams[i];
        if ((stream->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0 &&
            stream->attached_pic.size > 0) {
            if (FramePtr frame = DecodePicture(*stream->codecpar, stream->attached_pic)) {
                return frame;
            }
        }
    }
    return nullptr;
}

FramePtr ImageFile(const std::filesystem::path& path) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return nullptr;
    }
    InputContextPtr context(raw);
    if (avformat_find_stream_info(context.get(), nullptr) < 0 || context->nb_streams < 1 ||
        context->streams[0]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO) {
        return nullptr;
    }
    PacketPtr packet(av_packet_alloc());
    while (av_read_frame(context.get(), packet.get()) >= 0) {
        if (packet->stream_index == 0) {
            return DecodePicture(*context->streams[0]->codecpar, *packet);
        }
        av_packet_unref(packet.get());
    }
    return nullptr;
}

}  // namespace

FramePtr LoadCoverPicture(AVFormatContext* input, const std::filesystem::path& path) {
    if (FramePtr attached = AttachedPicture(input)) {
        return attached;
    }
    for (const char* name : kCoverFileNames) {
        const std::filesystem::path beside = path.parent_path() / name;
        std::error_code error;
        if (std::filesystem::is_regular_file(beside, error)) {
            if (FramePtr image = ImageFile(beside)) {
                return image;
            }
        }
    }
    return nullptr;
}

SoundScope::SoundScope(int sampleRate)
    : sampleRate_(std::max(sampleRate, 1)),
      ring_(static_cast<std::size_t>(std::lrint(kHistoryS * sampleRate_)), 0) {}

void SoundScope::Write(const std::int16_t* samples, int frames, int channels, double startPtsS,
                       int serial) {
    if (frames <= 0 || channels <= 0 || std::isnan(startPtsS)) {
        return;
    }
    std::lock_guard lock(mutex_);
    const double endS = startPtsS_ + static_cast<double>(written_) / sampleRate_;
    if (serial != serial_ || std::fabs(startPtsS - endS) > kContinuesWithinS) {
        serial_ = serial;
        startPtsS_ = startPtsS;
        written_ = 0;
    }
    const std::size_t size = ring_.size();
    for (int i = 0; i < frames; ++i) {
        int sum = 0;
        for (int c = 0; c < channels; ++c) {
            sum += samples[static_cast<std::size_t>(i) * channels + c];
        }
        ring_[static_cast<std::size_t>(written_ % static_cast<std::int64_t>(size))] =
            static_cast<std::int16_t>(sum / channels);
        ++written_;
    }
}

void SoundScope::Read(double endPtsS, int serial, std::vector<std::int16_t>& out) const {
    std::fill(out.begin(), out.end(), std::int16_t{0});
    std::lock_guard lock(mutex_);
    if (serial != serial_ || std::isnan(endPtsS) || written_ == 0) {
        return;
    }
    const auto count = static_cast<std::int64_t>(out.size());
    const std::int64_t end = std::llround((endPtsS - startPtsS_) * sampleRate_);
    const auto size = static_cast<std::int64_t>(ring_.size());
    const std::int64_t oldest = std::max<std::int64_t>(0, written_ - size);
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t number = end - count + i;
        if (number >= oldest && number < written_) {
            out[static_cast<std::size_t>(i)] = ring_[static_cast<std::size_t>(number % size)];
        }
    }
}

std::shared_ptr<const VideoFrame> DrawWaveform(const std::vector<std::int16_t>& samples,
                                               PictureSize display, std::int64_t ptsUs) {
    if (display.width <= 0 || display.height <= 0 || display.width > 16384 ||
        display.height > 16384) {
        return nullptr;
    }
    auto frame = std::make_shared<VideoFrame>();
    frame->width = display.width;
    frame->height = display.height;
    frame->stride = display.width * 4;
    frame->ptsUs = ptsUs;
    frame->pixels.assign(static_cast<std::size_t>(frame->stride) * display.height, 0);
    auto* pixels = reinterpret_cast<std::uint32_t*>(frame->pixels.data());
    // Opaque black (B, G, R = 0, A = 255) everywhere.
    std::fill(pixels, pixels + static_cast<std::size_t>(display.width) * display.height,
              0xFF000000u);
    const std::size_t count = samples.size();
    if (count == 0) {
        return frame;
    }
    const int centre = display.height / 2;
    const double scale = (display.height / 2 - 1) / 32768.0;
    constexpr std::uint32_t kWave = 0xFF5AD23Cu;  // green, as 0xAARRGGBB
    for (int x = 0; x < display.width; ++x) {
        const std::size_t from = count * static_cast<std::size_t>(x) / display.width;
        const std::size_t to =
            std::max(from + 1, count * static_cast<std::size_t>(x + 1) / display.width);
        int low = 0;
        int high = 0;
        for (std::size_t i = from; i < to && i < count; ++i) {
            low = std::min<int>(low, samples[i]);
            high = std::max<int>(high, samples[i]);
        }
        // y grows downwards: a positive sample is drawn above the centre line.
        const int top = centre - static_cast<int>(std::lrint(high * scale));
        const int bottom = centre - static_cast<int>(std::lrint(low * scale));
        if (top == bottom) {
            continue;  // silence draws nothing
        }
        for (int y = std::max(top, 0); y <= std::min(bottom, display.height - 1); ++y) {
            pixels[static_cast<std::size_t>(y) * display.width + x] = kWave;
        }
    }
    return frame;
}

}  // namespace ostrel::engine::ff
