// The option language of the encoder: one option string per output, in FFmpeg command-line
// syntax, parsed into a plain job description before anything is opened.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ostrel::engine::ff {

struct Rational {
    int num = 0;
    int den = 0;
    bool IsSet() const { return num > 0 && den > 0; }
    double ToDouble() const { return IsSet() ? static_cast<double>(num) / den : 0.0; }
};

// One step of the user's "-vf" chain. Rotation is in degrees, clockwise.
struct FilterStep {
    enum class Kind { None, Crop, Scale, VFlip, HFlip, Rotate };
    Kind kind = Kind::None;
    int width = 0;  // crop/scale; for crop a negative x/y means "centred"
    int height = 0;
    int x = -1;
    int y = -1;
    double degrees = 0.0;
};

// What "-target" asks of the video encoder and the muxer besides codecs, size and rates.
struct TargetSettings {
    bool set = false;
    int gopSize = 0;
    std::int64_t maxRate = 0;
    std::int64_t minRate = 0;
    int bufferSize = 0;
    int packetSize = 0;
    std::int64_t muxRate = 0;
    double preloadSeconds = 0.0;
};

// What a device asks of the video encoder: codec profile, level, rate limits and coding tools.
// Unset values (-1, 0 or empty) leave the encoder's own choice.
struct CodecConstraints {
    std::string profile;           // "-profile:v": baseline, main, high, simple, advanced_simple
    double level = 0.0;            // "-level" as written: 3.0 (H.264) or 5 (MPEG-4 Part 2)
    std::int64_t maxRate = -1;     // "-maxrate", bit/s
    std::int64_t bufferBits = -1;  // "-bufsize", bits
    int bFrames = -1;              // "-bf"
    int refs = -1;                 // "-refs"
    int gopSize = -1;              // "-g"
    int coder = -1;                // "-coder": 0 CAVLC, 1 CABAC
    std::string x264Params;        // "-x264-params key=value:key=value"
    std::string pixelFormat;       // "-pix_fmt"
    std::string videoTag;          // "-tag:v", four characters
};

// One private option of the video encoder, by the encoder's own name and value ("crf" "28",
// "preset" "8", "cpu-used" "4"), applied in the order given.
struct EncoderOption {
    std::string name;
    std::string value;
};

// "-copy_when_fits LIST": each stream whose packets already fit the output is copied instead of
// converted. The list names the options whose values the profile chose by itself (they bind
// only a converted stream: an automatic bit rate or sample rate does not stop a copy, and an
// automatic channel count is a maximum) and the device's limits that no other option carries.
struct CopyRules {
    bool enabled = false;
    bool autoVideoBitrate = false;     // "vb"
    bool autoAudioBitrate = false;     // "ab"
    bool autoSampleRate = false;       // "ar"
    bool autoFrameRate = false;        // "r"
    bool autoChannels = false;         // "ac"
    double maxFrameRate = 0.0;         // "maxfps=N"; 0: no limit
    int maxChannels = 0;               // "maxch=N"
    std::int64_t maxAudioBitrate = 0;  // "maxab=RATE", bit/s
};

// What one output's option string asks for, before it is checked against the input and the
// encoders.
struct JobSpec {
    bool noAudio = false;
    bool noVideo = false;
    Rational frameRate;  // -r; unset keeps the input's rate
    Rational aspect;     // -aspect (display aspect ratio)
    int channels = 0;    // -ac; 0 keeps the input's count
    int sampleRate = 0;  // -ar; 0 keeps the input's rate
    int width = 0;       // -s; 0 keeps the size the chain produces
    int height = 0;
    std::int64_t videoBitrate = -1;  // bit/s; -1 when not given
    std::int64_t audioBitrate = -1;
    std::string videoCodec;  // encoder names; empty = the container's default
    std::string audioCodec;
    std::string x264Preset;  // from "-vpre libx264-*"
    // "-crf", "-preset", "-deadline", "-cpu-used", "-row-mt" for libx265, libsvtav1 and
    // libvpx-vp9. A constant quality ("-crf") gives way to an explicit video bit rate.
    std::vector<EncoderOption> videoOptions;
    std::string muxer;  // "-f" or the target's muxer
    TargetSettings target;
    CodecConstraints constraints;
    std::vector<FilterStep> filters;
    // "-map_metadata -1": clean files, without the input's tags, chapters and cover.
    bool noMetadata = false;
    CopyRules copy;
    // "-target_size BYTES": the output's size to aim at; the video bit rate follows from the
    // input's length. 0: none.
    std::int64_t targetSizeBytes = 0;
    // "-passes 2": the video is encoded twice, the first time only to learn it, by encoders
    // that take two passes (a constant quality spends its bits better with the statistics).
    int passes = 1;
};

// The one fact about the input that the option language depends on: a bare "-target dvd" or
// "-target vcd" chooses PAL or NTSC from it.
struct InputFacts {
    double frameRate = 0.0;  // average frame rate of the main video stream, 0 when unknown
};

// Parses an option string. Returns false and sets error (naming the token) on an unknown
// option, a missing or bad value, or an unknown encoder.
bool ParseOptions(const std::string& text, const InputFacts& facts, JobSpec& job,
                  std::string& error);

// Splits on runs of blanks; a double-quoted part keeps its blanks and loses its quotes.
bool SplitTokens(const std::string& text, std::vector<std::string>& tokens, std::string& error);

// Parses "crop=w:h:x:y,scale=w:h,vflip,hflip,rotate=N".
bool ParseFilterChain(const std::string& chain, std::vector<FilterStep>& steps, std::string& error);

// Applies "-target NAME": "ntsc-dvd", "pal-vcd", or a bare "dvd"/"vcd" whose standard (PAL at
// 25 or 50 frames per second, else NTSC) the input's frame rate decides; false for another
// name.
bool ApplyTargetName(const std::string& name, const InputFacts& facts, JobSpec& job);

// The text in lower case (ASCII): option names, extensions and presets are matched so.
std::string Lower(std::string text);

// Parses a bit rate: "128k" = 128000, "6700" = 6700, "1.5M" = 1500000.
std::optional<std::int64_t> ParseBitrate(const std::string& text);

// The container that an output gets: by "-f" when given, else by the file's extension.
struct ContainerInfo {
    std::string muxer;
    std::string videoCodec;  // default encoders; empty = none
    std::string audioCodec;
    bool audioOnly = false;
};
std::optional<ContainerInfo> ContainerForOutput(const std::string& extension,
                                                const std::string& muxerOverride);

// The encoder name that stands for a requested one ("libfaac" is served by "aac"); empty
// when no such encoder is built in.
std::string ResolveEncoderName(const std::string& requested);

}  // namespace ostrel::engine::ff
