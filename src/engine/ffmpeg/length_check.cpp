#include "engine/ffmpeg/length_check.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace ostrel::engine::ff {
namespace {

constexpr std::int64_t kToleranceFloorUs = 1'000'000;
constexpr std::int64_t kTolerancePerCent = 1;
// The headers that declare a RIFF file's length lie within its first bytes.
constexpr std::size_t kHeaderBytes = 256 * 1024;
// All ones: the MP4 way of saying "length unknown" (fragmented files).
constexpr std::int64_t kUnknownMp4Duration = 0xFFFFFFFFLL;

std::uint32_t Le32(const std::string& data, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<unsigned char>(data[at + static_cast<std::size_t>(i)]);
    }
    return value;
}

std::uint64_t Le64(const std::string& data, std::size_t at) {
    return Le32(data, at) | (static_cast<std::uint64_t>(Le32(data, at + 4)) << 32);
}

std::string ReadHead(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return {};
    }
    std::string data(kHeaderBytes, '\0');
    std::size_t filled = 0;
    while (filled < data.size()) {
        const ssize_t n =
            pread(fd, data.data() + filled, data.size() - filled, static_cast<off_t>(filled));
        if (n <= 0) {
            break;
        }
        filled += static_cast<std::size_t>(n);
    }
    close(fd);
    data.resize(filled);
    return data;
}

// Calls visit(id, offset of the data, size) for each chunk in [begin, end), descending into
// LIST chunks; stops when visit returns false.
template <typename Visit>
bool WalkChunks(const std::string& data, std::size_t begin, std::size_t end, Visit&& visit) {
    std::size_t at = begin;
    while (at + 8 <= end) {
        const std::string id = data.substr(at, 4);
        const std::uint64_t size = Le32(data, at + 4);
        const std::size_t body = at + 8;
        if (!visit(id, body, size)) {
            return false;
        }
        if (id == "LIST" && body + 4 <= end) {
            const std::size_t listEnd =
                static_cast<std::size_t>(std::min<std::uint64_t>(body + size, end));
            if (!WalkChunks(data, body + 4, listEnd, visit)) {
                return false;
            }
        }
        at = static_cast<std::size_t>(std::min<std::uint64_t>(body + size + (size & 1), end + 8));
    }
    return true;
}

// AVI: the first video stream's strh length (frames × scale / rate), the OpenDML total frame
// count when larger (the main header counts the first RIFF part only), else the main header's.
std::int64_t AviDeclaredUs(const std::string& data) {
    std::int64_t microsPerFrame = 0;
    std::int64_t mainFrames = 0;
    std::int64_t odmlFrames = 0;
    std::int64_t videoUs = 0;
    std::int64_t audioUs = 0;
    WalkChunks(data, 12, data.size(),
               [&](const std::string& id, std::size_t body, std::uint64_t size) {
                   if (body + size > data.size() && id != "LIST" && id != "movi") {
                       return false;
                   }
                   if (id == "movi") {
                       return false;  // the headers come before the data
                   }
                   if (id == "avih" && size >= 32) {
                       microsPerFrame = Le32(data, body);
                       mainFrames = Le32(data, body + 16);
                   } else if (id == "dmlh" && size >= 4) {
                       odmlFrames = Le32(data, body);
                   } else if (id == "strh" && size >= 36) {
                       const std::string type = data.substr(body, 4);
                       const std::int64_t scale = Le32(data, body + 20);
                       const std::int64_t rate = Le32(data, body + 24);
                       const std::int64_t length = Le32(data, body + 32);
                       if (scale > 0 && rate > 0 && length > 0) {
                           const std::int64_t us = av_rescale(length, scale * 1'000'000, rate);
                           if (type == "vids" && videoUs == 0) {
                               videoUs = us;
                           } else if (type == "auds") {
                               audioUs = std::max(audioUs, us);
                           }
                       }
                   }
                   return true;
               });
    if (videoUs > 0 || mainFrames > 0) {
        const std::int64_t odmlUs = odmlFrames * microsPerFrame;
        return std::max(videoUs > 0 ? videoUs : mainFrames * microsPerFrame, odmlUs);
    }
    return audioUs;
}

// WAV (and RF64): the data chunk's size at the format's byte rate, or the fact chunk's sample
// count for compressed formats. A streamed WAV (size 0 or all ones) declares nothing.
std::int64_t WavDeclaredUs(const std::string& data, bool rf64) {
    std::uint64_t dataSize = 0;
    std::uint64_t rf64DataSize = 0;
    std::uint64_t factSamples = 0;
    std::uint32_t formatTag = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t byteRate = 0;
    bool sawData = false;
    WalkChunks(data, 12, data.size(),
               [&](const std::string& id, std::size_t body, std::uint64_t size) {
                   if (id == "data") {
                       dataSize = size;
                       sawData = true;
                       return false;
                   }
                   if (body + size > data.size()) {
                       return false;
                   }
                   if (id == "ds64" && size >= 24) {
                       rf64DataSize = Le64(data, body + 8);
                   } else if (id == "fmt " && size >= 16) {
                       formatTag = Le32(data, body) & 0xFFFF;
                       sampleRate = Le32(data, body + 4);
                       byteRate = Le32(data, body + 8);
                   } else if (id == "fact" && size >= 4) {
                       factSamples = Le32(data, body);
                   }
                   return true;
               });
    if (rf64) {
        dataSize = rf64DataSize;
    }
    if (!sawData || dataSize == 0 || dataSize == 0xFFFFFFFFULL || byteRate == 0) {
        return 0;
    }
    constexpr std::uint32_t kPcm = 1;
    constexpr std::uint32_t kFloat = 3;
    constexpr std::uint32_t kExtensible = 0xFFFE;
    const bool uncompressed = formatTag == kPcm || formatTag == kFloat || formatTag == kExtensible;
    if (!uncompressed && factSamples > 0 && sampleRate > 0) {
        return av_rescale(static_cast<std::int64_t>(factSamples), 1'000'000, sampleRate);
    }
    return av_rescale(static_cast<std::int64_t>(dataSize), 1'000'000, byteRate);
}

// The samples a stream's first packet tells the decoder to skip at the start, as time.
std::int64_t SkippedAtStartUs(const AVPacket& packet, int sampleRate) {
    std::size_t size = 0;
    const std::uint8_t* skip = av_packet_get_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
    if (skip == nullptr || size < 4 || sampleRate <= 0) {
        return 0;
    }
    const std::uint32_t samples =
        static_cast<std::uint32_t>(skip[0]) | static_cast<std::uint32_t>(skip[1]) << 8 |
        static_cast<std::uint32_t>(skip[2]) << 16 | static_cast<std::uint32_t>(skip[3]) << 24;
    return av_rescale(samples, 1'000'000, sampleRate);
}

}  // namespace

std::int64_t LengthCheck::RiffDeclaredUs(const std::string& path) {
    const std::string data = ReadHead(path);
    if (data.size() < 12) {
        return 0;
    }
    const std::string riff = data.substr(0, 4);
    const std::string form = data.substr(8, 4);
    if (riff == "RIFF" && form == "AVI ") {
        return AviDeclaredUs(data);
    }
    if ((riff == "RIFF" || riff == "RF64") && form == "WAVE") {
        return WavDeclaredUs(data, riff == "RF64");
    }
    return 0;
}

std::int64_t LengthCheck::ToleranceUs(std::int64_t lengthUs) {
    return std::max(kToleranceFloorUs, lengthUs * kTolerancePerCent / 100);
}

void LengthCheck::Start(const AVFormatContext& input, const std::string& path) {
    streams_.assign(input.nb_streams, {});
    const std::int64_t startUs = input.start_time != AV_NOPTS_VALUE ? input.start_time : 0;
    std::int64_t streamsDeclareUs = 0;
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        const AVStream* stream = input.streams[i];
        StreamEnd& end = streams_[i];
        end.timeBase = stream->time_base;
        end.sampleRate = stream->codecpar->sample_rate;
        end.startPts = av_rescale_q(startUs, AV_TIME_BASE_Q, stream->time_base);
        const bool declares = stream->duration > 0 && stream->duration != AV_NOPTS_VALUE &&
                              stream->duration != kUnknownMp4Duration &&
                              !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
        if (declares) {
            streamsDeclareUs =
                std::max(streamsDeclareUs,
                         av_rescale_q(stream->duration, stream->time_base, AV_TIME_BASE_Q));
        }
    }
    // Lengths FFmpeg estimated (from the bit rate, or from the last timestamps it found) are
    // no declarations.
    const bool declared = input.duration_estimation_method == AVFMT_DURATION_FROM_STREAM;
    bool anyUnknown = false;
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        anyUnknown = anyUnknown || input.streams[i]->duration == kUnknownMp4Duration;
    }
    declaredUs_ = RiffDeclaredUs(path);
    if (declaredUs_ == 0 && declared) {
        declaredUs_ = streamsDeclareUs;
        if (declaredUs_ == 0 && !anyUnknown && input.duration > 0) {
            declaredUs_ = input.duration;
        }
    }
    estimatedUs_ = anyUnknown || input.duration <= 0 ? 0 : input.duration;
}

void LengthCheck::Convert(int streamIndex) {
    if (streamIndex >= 0 && streamIndex < static_cast<int>(streams_.size())) {
        streams_[static_cast<std::size_t>(streamIndex)].converted = true;
    }
}

void LengthCheck::Saw(const AVPacket& packet) {
    if (packet.stream_index < 0 || packet.stream_index >= static_cast<int>(streams_.size())) {
        return;
    }
    StreamEnd& end = streams_[static_cast<std::size_t>(packet.stream_index)];
    if (end.skippedUs < 0) {
        end.skippedUs = SkippedAtStartUs(packet, end.sampleRate);
    }
    const std::int64_t pts = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
    if (pts == AV_NOPTS_VALUE) {
        return;
    }
    const std::int64_t endPts = pts - end.startPts + std::max<std::int64_t>(packet.duration, 0);
    end.endUs = std::max(end.endUs, av_rescale_q(endPts, end.timeBase, AV_TIME_BASE_Q));
}

std::int64_t LengthCheck::ConvertedEndUs() const {
    std::int64_t endUs = 0;
    for (const StreamEnd& stream : streams_) {
        if (stream.converted) {
            endUs = std::max(endUs, stream.endUs);
        }
    }
    return endUs;
}

std::int64_t LengthCheck::StreamEndUs(int streamIndex) const {
    return streamIndex >= 0 && streamIndex < static_cast<int>(streams_.size())
               ? streams_[static_cast<std::size_t>(streamIndex)].endUs
               : 0;
}

std::int64_t LengthCheck::PlayedDeclaredUs() const {
    std::int64_t skippedUs = 0;
    for (const StreamEnd& stream : streams_) {
        skippedUs = std::max(skippedUs, stream.skippedUs);
    }
    return std::max<std::int64_t>(0, declaredUs_ - skippedUs);
}

bool LengthCheck::EndsEarly() const {
    std::int64_t inputEndUs = 0;
    for (const StreamEnd& stream : streams_) {
        inputEndUs = std::max(inputEndUs, stream.endUs);
    }
    const std::int64_t declaredUs = PlayedDeclaredUs();
    return declaredUs > 0 && inputEndUs < declaredUs - ToleranceUs(declaredUs);
}

std::string LengthCheck::Check(std::int64_t outputUs) const {
    const auto seconds = [](std::int64_t us) { return static_cast<double>(us) / 1e6; };
    if (EndsEarly()) {
        return Format("The input file ends early: %.1f s of %.1f s", seconds(outputUs),
                      seconds(PlayedDeclaredUs()));
    }
    const std::int64_t convertedUs = ConvertedEndUs();
    if (outputUs < convertedUs - ToleranceUs(convertedUs)) {
        return Format("The output is shorter than the input (%.1f s of %.1f s)", seconds(outputUs),
                      seconds(convertedUs));
    }
    return {};
}

}  // namespace ostrel::engine::ff
