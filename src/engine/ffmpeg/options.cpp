#include "engine/ffmpeg/job.h"

#include "engine/ffmpeg/option_values.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/parseutils.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <string_view>

namespace ostrel::engine::ff {
namespace {

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

// What the option handlers work on.
struct ParseState {
    JobSpec& job;
    const InputFacts& facts;
    std::string& error;                      // a handler sets it for a refusal of its own
    std::int64_t explicitVideoBitrate = -1;  // "-vb", applied after every other option
};

enum class OptionKind { Flag, WithValue };

// Applies one option; false refuses it (with the generic "Bad value" text unless the handler
// set error).
using OptionHandler = bool (*)(const std::string& option, const std::string& value,
                               ParseState& state);

struct OptionRow {
    std::string_view name;
    OptionKind kind;
    OptionHandler apply;
};

template <bool JobSpec::*flag>
bool SetFlag(const std::string&, const std::string&, ParseState& state) {
    state.job.*flag = true;
    return true;
}

// The part of the job an option's field is in: the job itself, or its codec constraints.
template <typename>
struct MemberOf;
template <typename Owner, typename Value>
struct MemberOf<Value Owner::*> {
    using Type = Owner;
};
JobSpec& Part(JobSpec& job, JobSpec*) {
    return job;
}
CodecConstraints& Part(JobSpec& job, CodecConstraints*) {
    return job.constraints;
}

template <auto field, long lowest, long highest>
bool SetInteger(const std::string&, const std::string& value, ParseState& state) {
    using Owner = typename MemberOf<decltype(field)>::Type;
    const auto number = ParseInteger(value);
    if (!number || *number < lowest || *number > highest) {
        return false;
    }
    Part(state.job, static_cast<Owner*>(nullptr)).*field = static_cast<int>(*number);
    return true;
}

template <std::int64_t JobSpec::*field>
bool SetBitrate(const std::string&, const std::string& value, ParseState& state) {
    const auto rate = ParseBitrate(value);
    if (rate) {
        state.job.*field = *rate;
    }
    return rate.has_value();
}

// A rate or size in bits, above 0 and at most highest ("-maxrate", "-bufsize").
template <auto field, std::int64_t highest>
bool SetPositiveRate(const std::string&, const std::string& value, ParseState& state) {
    using Owner = typename MemberOf<decltype(field)>::Type;
    const auto rate = ParseBitrate(value);
    if (!rate || *rate <= 0 || *rate > highest) {
        return false;
    }
    Part(state.job, static_cast<Owner*>(nullptr)).*field = *rate;
    return true;
}

bool ApplyEncoderName(const std::string& option, const std::string& value, AVMediaType type,
                      std::string& target, std::string& error) {
    const std::string name = ResolveEncoderName(value);
    const AVCodec* codec = name.empty() ? nullptr : avcodec_find_encoder_by_name(name.c_str());
    if (codec == nullptr || codec->type != type) {
        error = "Unknown encoder for option " + option + ": " + value;
        return false;
    }
    target = name;
    return true;
}

// "key=value:key=value" with plain names and values, as x264 takes them.
bool IsX264Params(const std::string& text) {
    for (const std::string& pair : Split(text, ':')) {
        const std::size_t equals = pair.find('=');
        if (equals == 0 || equals == std::string::npos || equals + 1 == pair.size()) {
            return false;
        }
        const bool plain = std::all_of(pair.begin(), pair.end(), [](unsigned char c) {
            return std::isalnum(c) || c == '_' || c == '-' || c == '=' || c == '.' || c == ',';
        });
        if (!plain) {
            return false;
        }
    }
    return true;
}

// Sets (or replaces) one private option of the video encoder.
void SetVideoOption(JobSpec& job, const std::string& name, const std::string& value) {
    const auto found =
        std::find_if(job.videoOptions.begin(), job.videoOptions.end(),
                     [&](const EncoderOption& option) { return option.name == name; });
    if (found != job.videoOptions.end()) {
        found->value = value;
    } else {
        job.videoOptions.push_back({name, value});
    }
}

// A whole number from lowest to highest, kept as the encoder's private option (the option's
// name without its dash).
template <long lowest, long highest>
bool SetIntegerVideoOption(const std::string& option, const std::string& value, ParseState& state) {
    const auto number = ParseInteger(value);
    if (!number || *number < lowest || *number > highest) {
        return false;
    }
    SetVideoOption(state.job, option.substr(1), std::to_string(*number));
    return true;
}

// "vb,ab,ar,r,ac,maxfps=30,maxch=2,maxab=160k", or "strict" when nothing is automatic.
bool ParseCopyRules(const std::string& text, CopyRules& rules) {
    rules = CopyRules{};
    rules.enabled = true;
    if (text == "strict") {
        return true;
    }
    for (const std::string& item : Split(text, ',')) {
        const std::size_t equals = item.find('=');
        const std::string name = item.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : item.substr(equals + 1);
        bool* flag = name == "vb"   ? &rules.autoVideoBitrate
                     : name == "ab" ? &rules.autoAudioBitrate
                     : name == "ar" ? &rules.autoSampleRate
                     : name == "r"  ? &rules.autoFrameRate
                     : name == "ac" ? &rules.autoChannels
                                    : nullptr;
        if (flag != nullptr && equals == std::string::npos) {
            *flag = true;
        } else if (name == "maxfps" && ParseNumber(value).value_or(0) > 0) {
            rules.maxFrameRate = *ParseNumber(value);
        } else if (name == "maxch" && ParseInteger(value).value_or(0) > 0) {
            rules.maxChannels = static_cast<int>(*ParseInteger(value));
        } else if (name == "maxab" && ParseBitrate(value).value_or(0) > 0) {
            rules.maxAudioBitrate = *ParseBitrate(value);
        } else {
            return false;
        }
    }
    return true;
}

const OptionRow kOptions[] = {
    {"-an", OptionKind::Flag, SetFlag<&JobSpec::noAudio>},
    {"-vn", OptionKind::Flag, SetFlag<&JobSpec::noVideo>},
    {"-r", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         AVRational rate{0, 1};
         if (av_parse_video_rate(&rate, value.c_str()) < 0 || rate.num <= 0 || rate.den <= 0 ||
             av_q2d(rate) > 1000.0) {
             return false;
         }
         state.job.frameRate = {rate.num, rate.den};
         return true;
     }},
    {"-aspect", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         AVRational ratio{0, 1};
         if (av_parse_ratio(&ratio, value.c_str(), 255, 0, nullptr) < 0 || ratio.num <= 0 ||
             ratio.den <= 0) {
             return false;
         }
         state.job.aspect = {ratio.num, ratio.den};
         return true;
     }},
    {"-ac", OptionKind::WithValue, SetInteger<&JobSpec::channels, 1, 8>},
    {"-ar", OptionKind::WithValue, SetInteger<&JobSpec::sampleRate, 1000, 384000>},
    {"-s", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         int width = 0;
         int height = 0;
         if (av_parse_video_size(&width, &height, value.c_str()) < 0 || width <= 0 || height <= 0 ||
             width > 16384 || height > 16384) {
             return false;
         }
         state.job.width = width;
         state.job.height = height;
         return true;
     }},
    {"-vb", OptionKind::WithValue,
     [](const std::string& option, const std::string& value, ParseState& state) {
         if (!SetBitrate<&JobSpec::videoBitrate>(option, value, state)) {
             return false;
         }
         state.explicitVideoBitrate = state.job.videoBitrate;
         return true;
     }},
    // ffmpeg's newer spelling of "-vb".
    {"-b:v", OptionKind::WithValue,
     [](const std::string& option, const std::string& value, ParseState& state) {
         if (!SetBitrate<&JobSpec::videoBitrate>(option, value, state)) {
             return false;
         }
         state.explicitVideoBitrate = state.job.videoBitrate;
         return true;
     }},
    {"-ab", OptionKind::WithValue, SetBitrate<&JobSpec::audioBitrate>},
    // Constant quality: x265 0..51, SVT-AV1 and VP9 0..63.
    {"-crf", OptionKind::WithValue, SetIntegerVideoOption<0, 63>},
    // An x264/x265 preset name, or an SVT-AV1 preset number (0 slowest … 13 fastest).
    {"-preset", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         const bool named =
             std::find(kX264Presets.begin(), kX264Presets.end(), value) != kX264Presets.end();
         const auto number = ParseInteger(value);
         if (!named && (!number || *number < 0 || *number > 13)) {
             return false;
         }
         SetVideoOption(state.job, "preset", value);
         return true;
     }},
    // libvpx: "good", "best" or "realtime".
    {"-deadline", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         if (value != "good" && value != "best" && value != "realtime") {
             return false;
         }
         SetVideoOption(state.job, "deadline", value);
         return true;
     }},
    {"-cpu-used", OptionKind::WithValue, SetIntegerVideoOption<-8, 8>},
    {"-row-mt", OptionKind::WithValue, SetIntegerVideoOption<0, 1>},
    {"-vcodec", OptionKind::WithValue,
     [](const std::string& option, const std::string& value, ParseState& state) {
         return ApplyEncoderName(option, value, AVMEDIA_TYPE_VIDEO, state.job.videoCodec,
                                 state.error);
     }},
    {"-acodec", OptionKind::WithValue,
     [](const std::string& option, const std::string& value, ParseState& state) {
         return ApplyEncoderName(option, value, AVMEDIA_TYPE_AUDIO, state.job.audioCodec,
                                 state.error);
     }},
    {"-vpre", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         state.job.x264Preset = X264PresetFor(value);
         return !state.job.x264Preset.empty();
     }},
    {"-f", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         if (av_guess_format(value.c_str(), nullptr, nullptr) == nullptr) {
             state.error = "Unknown format for option -f: " + value;
             return false;
         }
         state.job.muxer = value;
         return true;
     }},
    // "-1" leaves the input's tags, chapters and cover behind; "0" (the first input) keeps them.
    {"-map_metadata", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         if (value != "-1" && value != "0") {
             return false;
         }
         state.job.noMetadata = value == "-1";
         return true;
     }},
    {"-target", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         return ApplyTargetName(value, state.facts, state.job);
     }},
    {"-profile:v", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         constexpr std::string_view kProfiles[] = {"baseline", "main", "high", "simple",
                                                   "advanced_simple"};
         if (std::find(std::begin(kProfiles), std::end(kProfiles), value) == std::end(kProfiles)) {
             return false;
         }
         state.job.constraints.profile = value;
         return true;
     }},
    {"-level", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         const auto level = ParseNumber(value);
         if (!level || *level <= 0.0 || *level > 62.0) {
             return false;
         }
         state.job.constraints.level = *level;
         return true;
     }},
    {"-maxrate", OptionKind::WithValue,
     SetPositiveRate<&CodecConstraints::maxRate, std::numeric_limits<std::int64_t>::max()>},
    {"-bufsize", OptionKind::WithValue,
     SetPositiveRate<&CodecConstraints::bufferBits, std::numeric_limits<int>::max()>},
    {"-bf", OptionKind::WithValue, SetInteger<&CodecConstraints::bFrames, 0, 16>},
    {"-refs", OptionKind::WithValue, SetInteger<&CodecConstraints::refs, 1, 16>},
    {"-g", OptionKind::WithValue, SetInteger<&CodecConstraints::gopSize, 1, 100000>},
    {"-coder", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         if (value == "0" || value == "cavlc" || value == "vlc") {
             state.job.constraints.coder = 0;
         } else if (value == "1" || value == "cabac" || value == "ac") {
             state.job.constraints.coder = 1;
         } else {
             return false;
         }
         return true;
     }},
    {"-x264-params", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         if (!IsX264Params(value)) {
             return false;
         }
         state.job.constraints.x264Params = value;
         return true;
     }},
    {"-pix_fmt", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         if (av_get_pix_fmt(value.c_str()) == AV_PIX_FMT_NONE) {
             return false;
         }
         state.job.constraints.pixelFormat = value;
         return true;
     }},
    {"-tag:v", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         const bool printable = std::all_of(value.begin(), value.end(),
                                            [](unsigned char c) { return std::isprint(c) != 0; });
         if (value.size() != 4 || !printable) {
             return false;
         }
         state.job.constraints.videoTag = value;
         return true;
     }},
    {"-vf", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         return ParseFilterChain(value, state.job.filters, state.error);
     }},
    {"-copy_when_fits", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         return ParseCopyRules(value, state.job.copy);
     }},
    {"-passes", OptionKind::WithValue, SetInteger<&JobSpec::passes, 1, 2>},
    {"-target_size", OptionKind::WithValue,
     [](const std::string&, const std::string& value, ParseState& state) {
         const auto bytes = ParseInteger(value);
         if (!bytes || *bytes < 1 || *bytes > 1'000'000'000'000L) {
             return false;
         }
         state.job.targetSizeBytes = *bytes;
         return true;
     }},
};

}  // namespace

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

bool ParseOptions(const std::string& text, const InputFacts& facts, JobSpec& job,
                  std::string& error) {
    job = JobSpec{};
    error.clear();
    std::vector<std::string> tokens;
    if (!SplitTokens(text, tokens, error)) {
        return false;
    }
    ParseState state{job, facts, error};
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const std::string& option = tokens[i];
        const auto row = std::find_if(std::begin(kOptions), std::end(kOptions),
                                      [&](const OptionRow& entry) { return option == entry.name; });
        if (row == std::end(kOptions)) {
            error = "Unknown option: " + option;
            return false;
        }
        std::string value;
        if (row->kind == OptionKind::WithValue) {
            if (i + 1 >= tokens.size() || tokens[i + 1].empty()) {
                error = "Missing value for option " + option;
                return false;
            }
            value = tokens[++i];
        }
        if (!row->apply(option, value, state)) {
            if (error.empty()) {
                error = "Bad value for option " + option + ": " + value;
            }
            return false;
        }
    }
    // The video bit rate given by "-vb" wins over the one a "-target" sets, wherever it stands.
    if (state.explicitVideoBitrate >= 0) {
        job.videoBitrate = state.explicitVideoBitrate;
    }
    return true;
}

}  // namespace ostrel::engine::ff
