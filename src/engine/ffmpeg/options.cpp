#include "engine/ffmpeg/job.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/parseutils.h>
}

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace ostrel::engine::ff {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::optional<long> ParseInteger(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0') {
        return std::nullopt;
    }
    return value;
}

std::optional<double> ParseNumber(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end == nullptr || *end != '\0' || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (c == separator) {
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    parts.push_back(current);
    return parts;
}

// The video standards of "-target" (values as the ffmpeg tool's opt_target sets them).
enum class Standard { Ntsc, Pal };
enum class Disc { Vcd, Dvd };

void ApplyTarget(Disc disc, Standard standard, EncodeJob& job) {
    const bool ntsc = standard == Standard::Ntsc;
    job.frameRate = ntsc ? Rational{30000, 1001} : Rational{25, 1};
    job.target.set = true;
    job.target.gopSize = ntsc ? 18 : 15;
    if (disc == Disc::Vcd) {
        job.muxer = "vcd";
        job.videoCodec = "mpeg1video";
        job.audioCodec = "mp2";
        job.width = 352;
        job.height = ntsc ? 240 : 288;
        job.videoBitrate = 1150000;
        job.target.maxRate = 1150000;
        job.target.minRate = 1150000;
        job.target.bufferSize = 40 * 1024 * 8;
        job.audioBitrate = 224000;
        job.sampleRate = 44100;
        job.channels = 2;
        job.target.packetSize = 2324;
        job.target.muxRate = 1411200;
        job.target.preloadSeconds = 0.44;
    } else {
        job.muxer = "dvd";
        job.videoCodec = "mpeg2video";
        job.audioCodec = "ac3";
        job.width = 720;
        job.height = ntsc ? 480 : 576;
        job.videoBitrate = 6000000;
        job.target.maxRate = 9000000;
        job.target.minRate = 0;
        job.target.bufferSize = 224 * 1024 * 8;
        job.audioBitrate = 448000;
        job.sampleRate = 48000;
        job.target.packetSize = 2048;
        job.target.muxRate = 10080000;
        job.target.preloadSeconds = 0.0;
    }
}

// PAL when the input runs at 25 or 50 frames per second, NTSC otherwise.
Standard GuessStandard(const InputFacts& facts) {
    const double rate = facts.frameRate;
    if (std::fabs(rate - 25.0) < 0.01 || std::fabs(rate - 50.0) < 0.01) {
        return Standard::Pal;
    }
    return Standard::Ntsc;
}

bool ApplyTargetName(const std::string& name, const InputFacts& facts, EncodeJob& job) {
    const std::string value = Lower(name);
    if (value == "ntsc-vcd") {
        ApplyTarget(Disc::Vcd, Standard::Ntsc, job);
    } else if (value == "pal-vcd") {
        ApplyTarget(Disc::Vcd, Standard::Pal, job);
    } else if (value == "vcd") {
        ApplyTarget(Disc::Vcd, GuessStandard(facts), job);
    } else if (value == "ntsc-dvd") {
        ApplyTarget(Disc::Dvd, Standard::Ntsc, job);
    } else if (value == "pal-dvd") {
        ApplyTarget(Disc::Dvd, Standard::Pal, job);
    } else if (value == "dvd") {
        ApplyTarget(Disc::Dvd, GuessStandard(facts), job);
    } else {
        return false;
    }
    return true;
}

constexpr std::array<const char*, 10> kX264Presets = {
    "ultrafast", "superfast", "veryfast", "faster",   "fast",
    "medium",    "slow",      "slower",   "veryslow", "placebo"};

// "libx264-veryfast" → "veryfast"; the old "default" preset file matches x264's "medium".
std::string X264PresetFor(const std::string& presetFile) {
    const std::string prefix = "libx264-";
    const std::string lower = Lower(presetFile);
    if (lower.rfind(prefix, 0) != 0) {
        return {};
    }
    const std::string name = lower.substr(prefix.size());
    if (name == "default") {
        return "medium";
    }
    for (const char* preset : kX264Presets) {
        if (name == preset) {
            return name;
        }
    }
    return {};
}

}  // namespace

bool SplitTokens(const std::string& text, std::vector<std::string>& tokens, std::string& error) {
    tokens.clear();
    std::string current;
    bool inToken = false;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inToken = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
            if (inToken) {
                tokens.push_back(current);
                current.clear();
                inToken = false;
            }
        } else {
            current += c;
            inToken = true;
        }
    }
    if (quoted) {
        error = "Unterminated quote in the options: " + text;
        return false;
    }
    if (inToken) {
        tokens.push_back(current);
    }
    return true;
}

std::optional<std::int64_t> ParseBitrate(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::string digits = text;
    double scale = 1.0;
    const char last = digits.back();
    if (last == 'k' || last == 'K') {
        scale = 1000.0;
        digits.pop_back();
    } else if (last == 'M' || last == 'm') {
        scale = 1000000.0;
        digits.pop_back();
    }
    const auto value = ParseNumber(digits);
    if (!value || *value < 0.0 || *value * scale > 1e11) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(std::llround(*value * scale));
}

bool ParseFilterChain(const std::string& chain, std::vector<FilterStep>& steps,
                      std::string& error) {
    steps.clear();
    if (chain.empty()) {
        return true;
    }
    for (const std::string& item : Split(chain, ',')) {
        const auto equals = item.find('=');
        const std::string name = Lower(item.substr(0, equals));
        const std::string arguments = equals == std::string::npos ? "" : item.substr(equals + 1);
        const std::vector<std::string> values = Split(arguments, ':');
        FilterStep step;
        auto badValue = [&]() {
            error = "Bad filter value in -vf: " + item;
            return false;
        };
        if (name == "crop") {
            if (values.size() < 2 || values.size() > 4) {
                return badValue();
            }
            std::array<long, 4> numbers = {0, 0, -1, -1};
            for (std::size_t i = 0; i < values.size(); ++i) {
                const auto number = ParseInteger(values[i]);
                if (!number || *number < (i < 2 ? 1 : 0) || *number > 65536) {
                    return badValue();
                }
                numbers[i] = *number;
            }
            step.kind = FilterStep::Kind::Crop;
            step.width = static_cast<int>(numbers[0]);
            step.height = static_cast<int>(numbers[1]);
            step.x = static_cast<int>(numbers[2]);
            step.y = static_cast<int>(numbers[3]);
        } else if (name == "scale") {
            if (values.size() != 2) {
                return badValue();
            }
            const auto w = ParseInteger(values[0]);
            const auto h = ParseInteger(values[1]);
            // -1 keeps the aspect ratio from the other side, as in ffmpeg's scale filter.
            if (!w || !h || *w == 0 || *h == 0 || *w < -1 || *h < -1 || (*w < 0 && *h < 0) ||
                *w > 16384 || *h > 16384) {
                return badValue();
            }
            step.kind = FilterStep::Kind::Scale;
            step.width = static_cast<int>(*w);
            step.height = static_cast<int>(*h);
        } else if (name == "vflip" || name == "hflip") {
            if (equals != std::string::npos) {
                return badValue();
            }
            step.kind = name == "vflip" ? FilterStep::Kind::VFlip : FilterStep::Kind::HFlip;
        } else if (name == "rotate") {
            const auto degrees = ParseNumber(arguments);
            if (values.size() != 1 || !degrees || std::fabs(*degrees) > 1e6) {
                return badValue();
            }
            step.kind = FilterStep::Kind::Rotate;
            step.degrees = *degrees;
        } else {
            error = "Unknown filter in -vf: " + item;
            return false;
        }
        steps.push_back(step);
    }
    return true;
}

std::string ResolveEncoderName(const std::string& requested) {
    std::string name = Lower(requested);
    if (name == "libfaac") {
        name = "aac";  // libfaac is no longer built anywhere; the native encoder replaces it
    }
    if (const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str())) {
        return codec->name;
    }
    if (const AVCodecDescriptor* descriptor = avcodec_descriptor_get_by_name(name.c_str())) {
        if (const AVCodec* codec = avcodec_find_encoder(descriptor->id)) {
            return codec->name;
        }
    }
    return {};
}

bool ParseOptions(const std::string& text, const InputFacts& facts, EncodeJob& job,
                  std::string& error) {
    job = EncodeJob{};
    std::vector<std::string> tokens;
    if (!SplitTokens(text, tokens, error)) {
        return false;
    }
    std::int64_t explicitVideoBitrate = -1;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string& option = tokens[i];
        if (option == "-an") {
            job.noAudio = true;
            continue;
        }
        if (option == "-vn") {
            job.noVideo = true;
            continue;
        }
        static const std::array<const char*, 13> kWithValue = {
            "-r",      "-aspect", "-ac",   "-ar", "-s",      "-vb", "-ab",
            "-vcodec", "-acodec", "-vpre", "-f",  "-target", "-vf"};
        const bool known = std::any_of(kWithValue.begin(), kWithValue.end(),
                                       [&](const char* name) { return option == name; });
        if (!known) {
            error = "Unknown option: " + option;
            return false;
        }
        if (i + 1 >= tokens.size() || tokens[i + 1].empty()) {
            error = "Missing value for option " + option;
            return false;
        }
        const std::string& value = tokens[++i];
        auto bad = [&]() {
            error = "Bad value for option " + option + ": " + value;
            return false;
        };
        if (option == "-r") {
            AVRational rate{0, 1};
            if (av_parse_video_rate(&rate, value.c_str()) < 0 || rate.num <= 0 || rate.den <= 0 ||
                av_q2d(rate) > 1000.0) {
                return bad();
            }
            job.frameRate = {rate.num, rate.den};
        } else if (option == "-aspect") {
            AVRational ratio{0, 1};
            if (av_parse_ratio(&ratio, value.c_str(), 255, 0, nullptr) < 0 || ratio.num <= 0 ||
                ratio.den <= 0) {
                return bad();
            }
            job.aspect = {ratio.num, ratio.den};
        } else if (option == "-ac") {
            const auto channels = ParseInteger(value);
            if (!channels || *channels < 1 || *channels > 8) {
                return bad();
            }
            job.channels = static_cast<int>(*channels);
        } else if (option == "-ar") {
            const auto rate = ParseInteger(value);
            if (!rate || *rate < 1000 || *rate > 384000) {
                return bad();
            }
            job.sampleRate = static_cast<int>(*rate);
        } else if (option == "-s") {
            int width = 0;
            int height = 0;
            if (av_parse_video_size(&width, &height, value.c_str()) < 0 || width <= 0 ||
                height <= 0 || width > 16384 || height > 16384) {
                return bad();
            }
            job.width = width;
            job.height = height;
        } else if (option == "-vb" || option == "-ab") {
            const auto rate = ParseBitrate(value);
            if (!rate) {
                return bad();
            }
            if (option == "-vb") {
                explicitVideoBitrate = *rate;
                job.videoBitrate = *rate;
            } else {
                job.audioBitrate = *rate;
            }
        } else if (option == "-vcodec" || option == "-acodec") {
            const std::string name = ResolveEncoderName(value);
            const AVCodec* codec =
                name.empty() ? nullptr : avcodec_find_encoder_by_name(name.c_str());
            const AVMediaType wanted =
                option == "-vcodec" ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
            if (codec == nullptr || codec->type != wanted) {
                error = "Unknown encoder for option " + option + ": " + value;
                return false;
            }
            (option == "-vcodec" ? job.videoCodec : job.audioCodec) = name;
        } else if (option == "-vpre") {
            job.x264Preset = X264PresetFor(value);
            if (job.x264Preset.empty()) {
                return bad();
            }
        } else if (option == "-f") {
            if (av_guess_format(value.c_str(), nullptr, nullptr) == nullptr) {
                error = "Unknown format for option -f: " + value;
                return false;
            }
            job.muxer = value;
        } else if (option == "-target") {
            if (!ApplyTargetName(value, facts, job)) {
                return bad();
            }
        } else if (option == "-vf") {
            if (!ParseFilterChain(value, job.filters, error)) {
                return false;
            }
        }
    }
    // The video bit rate given by "-vb" wins over the one a "-target" sets, wherever it stands.
    if (explicitVideoBitrate >= 0) {
        job.videoBitrate = explicitVideoBitrate;
        job.videoBitrateExplicit = true;
    }
    return true;
}

std::optional<ContainerInfo> ContainerForOutput(const std::string& extension,
                                                const std::string& muxerOverride) {
    struct Row {
        const char* extension;
        const char* muxer;
        const char* video;
        const char* audio;
    };
    // Default encoders per container; an empty video entry marks an audio-only container.
    static const std::array<Row, 28> kRows = {{
        {"3gp", "3gp", "h263", "amr_nb"},
        {"asf", "asf", "msmpeg4v2", "wmav2"},
        {"wmv", "asf", "wmv2", "wmav2"},
        {"avi", "avi", "libxvid", "libmp3lame"},
        {"f4v", "flv", "libx264", "aac"},
        {"flv", "flv", "flv", "libmp3lame"},
        {"swf", "swf", "flv", "libmp3lame"},
        {"mkv", "matroska", "libx264", "libmp3lame"},
        {"mov", "mov", "mpeg4", "aac"},
        {"mp4", "mp4", "mpeg4", "aac"},
        {"mpg", "mpeg", "mpeg1video", "mp2"},
        {"mpeg", "mpeg", "mpeg1video", "mp2"},
        {"rm", "rm", "rv20", "ac3"},
        {"vob", "dvd", "mpeg2video", "ac3"},
        {"webm", "webm", "libvpx", "libvorbis"},
        {"aac", "adts", "", "aac"},
        {"ac3", "ac3", "", "ac3"},
        {"aiff", "aiff", "", "pcm_s16be"},
        {"flac", "flac", "", "flac"},
        {"m4a", "ipod", "", "aac"},
        {"mp2", "mp2", "", "mp2"},
        {"mp3", "mp3", "", "libmp3lame"},
        {"ogg", "ogg", "", "libvorbis"},
        {"ra", "rm", "", "ac3"},
        {"wav", "wav", "", "pcm_s16le"},
        {"wma", "asf", "", "wmav2"},
        {"m4v", "mp4", "mpeg4", "aac"},
        {"ts", "mpegts", "mpeg2video", "mp2"},
    }};
    const std::string ext = Lower(extension);
    ContainerInfo info;
    bool found = false;
    for (const Row& row : kRows) {
        if (ext == row.extension) {
            info.muxer = row.muxer;
            info.videoCodec = row.video;
            info.audioCodec = ResolveEncoderName(row.audio);
            info.audioOnly = info.videoCodec.empty();
            found = true;
            break;
        }
    }
    if (!muxerOverride.empty()) {
        const AVOutputFormat* format = av_guess_format(muxerOverride.c_str(), nullptr, nullptr);
        if (format == nullptr) {
            return std::nullopt;
        }
        info.muxer = format->name;
        if (!found) {
            const AVCodec* video = avcodec_find_encoder(format->video_codec);
            const AVCodec* audio = avcodec_find_encoder(format->audio_codec);
            info.videoCodec = video != nullptr ? video->name : "";
            info.audioCodec = audio != nullptr ? audio->name : "";
            info.audioOnly = info.videoCodec.empty();
        }
        return info;
    }
    if (found) {
        return info;
    }
    const std::string probeName = "x." + ext;
    const AVOutputFormat* format = av_guess_format(nullptr, probeName.c_str(), nullptr);
    if (format == nullptr) {
        return std::nullopt;
    }
    const AVCodec* video = avcodec_find_encoder(format->video_codec);
    const AVCodec* audio = avcodec_find_encoder(format->audio_codec);
    info.muxer = format->name;
    info.videoCodec = video != nullptr ? video->name : "";
    info.audioCodec = audio != nullptr ? audio->name : "";
    info.audioOnly = info.videoCodec.empty();
    return info;
}

}  // namespace ostrel::engine::ff
