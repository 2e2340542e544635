#include "profiles/option_builder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <limits>

#include "common/decimal_text.h"
#include "common/engine_path.h"
#include "common/file_info.h"
#include "common/rounding.h"
#include "profiles/catalogue.h"
#include "profiles/device_limits.h"

namespace ostrel {
namespace {

// Automatic values per quality level (High, Normal, Low).
using ByQuality = std::array<const char*, 3>;

constexpr ByQuality kNone = {nullptr, nullptr, nullptr};
constexpr ByQuality kVideoRates = {"44100", "44100", "22050"};
constexpr ByQuality kAudioRates = {"48000", "44100", "22050"};
constexpr ByQuality kAb256 = {"256k", "128k", "96k"};
constexpr ByQuality kAb320 = {"320k", "128k", "64k"};
constexpr ByQuality kX264Presets = {"libx264-default", "libx264-veryfast", "libx264-ultrafast"};
// Constant-quality levels of the newer video encoders. Measured on 2 s of 1080p30 natural
// footage (bench/quality.py's input): the H.264 profile's "Normal" (x264 veryfast, 13824k)
// gives 3.28 MB at SSIM 0.9983. x265 (preset fast) CRF 14 gives 1.50 MB (46 %) at 0.9977, CRF 20
// 0.57 MB at 0.9965; SVT-AV1 preset 8 CRF 20 0.56 MB (17 %) at 0.9966, CRF 28 0.32 MB at
// 0.9959 (SVT-AV1's SSIM levels off there); VP9 (cpu-used 4) CRF 20 1.24 MB (38 %) at 0.9968,
// CRF 28 0.66 MB at 0.9956; the speed settings below are as good at equal size (bench/quality.py
// with them: x265 CRF 14 1.49 MB at 0.9977, VP9 CRF 20 1.08 MB at 0.9965). "Normal" is
// the CRF nearest the H.264 SSIM within half its size; "High" and "Low" are 6 steps either
// side (8 above for AV1's "Low").
constexpr ByQuality kHevcCrf = {"8", "14", "20"};
constexpr ByQuality kAv1Crf = {"14", "20", "28"};
constexpr ByQuality kVp9Crf = {"14", "20", "28"};
// Opus is transparent for most stereo music at 128 kbit/s and good speech at 64 kbit/s.
constexpr ByQuality kOpusBitrates = {"160k", "96k", "64k"};
constexpr ByQuality kOpusRates = {"48000", "48000", "48000"};

// The part of the option string that names what most formats share.
constexpr const char* kRates = "-vb {vb} -ab {ab} -ar {ar}{size}";
constexpr const char* kX264 = "-vcodec libx264 -vpre {preset} ";
constexpr const char* kAudioRatesOnly = "-vn -ab {ab} -ar {ar}";
constexpr const char* kSampleRateOnly = "-vn  -ar {ar}";

// How a format key fills in its part of the option string. Format is written with the pieces
// {vb}, {ab}, {ar} (the video bit rate, audio bit rate and sample rate), {preset} (the x264
// preset of the video quality), {size} (the size part), {vq} (the video quality: "-crf N
// -b:v 0" of the level, or "-vb RATE" when the user set a bit rate) and {-ar} (" -ar HZ" when
// the user chose a sample rate, else nothing: the source's rate), exactly as the encoder gets
// it.
struct FormatRule {
    const char* Key;
    const char* Extension;
    int BaseBitrateKbps;     // 0: no automatic video bit rate from the picture size
    ByQuality AudioBitrate;  // nullptr entries: not used
    ByQuality SampleRate;
    const char* FormatPrefix;  // written before Format
    const char* Format;
    ByQuality VideoBitrate = kNone;          // fixed automatic video bit rates, by quality
    const char* DefaultFrameRate = nullptr;  // the frame rate when the user chose none
    int MaxVideoKbps = 0;                    // a higher video bit rate is sent as this
    int AutoWidth = 0, AutoHeight = 0;       // the size when the user chose "Auto"
    ByQuality Crf = kNone;                   // the constant quality of {vq}, by quality
};

constexpr FormatRule kFormatRules[] = {
    {"3gp",
     "3gp",
     330,
     {"12200", "6700", "4750"},
     kNone,
     "",
     "-vb {vb} -ab {ab} -ac 1 -ar 8000{size}",
     kNone,
     nullptr,
     0,
     176,
     144},
    {"avi",
     "avi",
     847,
     {"320k", "128k", "64k"},
     kVideoRates,
     "",
     "-vcodec libxvid -vb {vb} -acodec libmp3lame -ab {ab} -ar {ar}{size}"},
    {"asf",
     "asf",
     512,
     {"256k", "128k", "64k"},
     kVideoRates,
     "",
     "-vcodec msmpeg4v2 -vb {vb} -acodec wmav2 -ab {ab} -ar {ar}{size}"},
    {"wmv",
     "wmv",
     512,
     {"256k", "128k", "64k"},
     kVideoRates,
     "",
     "-vcodec wmv2 -vb {vb} -acodec wmav2 -ab {ab} -ar {ar}{size}"},
    {"flv", "flv", 512, {"128k", "64k", "32k"}, kVideoRates, "", kRates},
    {"f4v",
     "f4v",
     512,
     {"256k", "128k", "64k"},
     kVideoRates,
     kX264,
     "-f flv -vb {vb} -acodec libfaac -ab {ab} -ar {ar} -ac 2{size}"},
    {"swf", "swf", 512, {"128k", "64k", "32k"}, kVideoRates, "", kRates},
    {"mkv", "mkv", 512, kAb320, kVideoRates, kX264,
     "-vb {vb}  -acodec libmp3lame -ab {ab} -ar {ar}{size}"},
    {"mov", "mov", 512, {"320k", "256k", "96k"}, kVideoRates, "", kRates, kNone, "29.97"},
    {"mp4", "mp4", 512, kAb256, kVideoRates, "", kRates, kNone, "29.97"},
    {"mp4h264", "mp4", 512, kAb256, kVideoRates, kX264, kRates},
    {"mpg", "mpg", 512, kAb256, kVideoRates, "", kRates},
    {"ntsc-vcd", "mpg", 512, kAb256, kVideoRates, "-target ntsc-vcd ",
     "-vb 1150k -ab 224k -ar 44100{size}"},
    {"pal-vcd", "mpg", 512, kAb256, kVideoRates, "-target pal-vcd ",
     "-vb 1150k -ab 224k -ar 44100{size}"},
    {"mpg2", "mpg", 512, kAb256, kVideoRates, "-vcodec mpeg2video ", kRates},
    {"ntsc-dvd", "mpg", 512, kAb256, kVideoRates, "-target ntsc-dvd ", "-ab {ab} -ar {ar}{size}"},
    {"pal-dvd", "mpg", 512, kAb256, kVideoRates, "-target pal-dvd ", "-ab {ab} -ar {ar}{size}"},
    // RealVideo 2 players choke above 1000 kbit/s.
    {"rm", "rm", 512, kAb256, kVideoRates, "-vcodec rv20 ", kRates, kNone, nullptr, 1000},
    {"vob",
     "vob",
     0,
     {"320k", "192k", "96k"},
     {"48000", "48000", "44100"},
     "-target dvd ",
     kRates,
     {"3800k", "3300k", "768k"}},
    {"webm", "webm", 512, kAb320, kVideoRates, "-vcodec libvpx ",
     "-vb {vb}  -acodec libvorbis -ab {ab} -ar {ar}{size}"},
    // The encoders' speed settings, measured on the same input at equal size: x265 veryfast
    // was as good as fast and faster (CRF 23: veryfast 0.352 MB at SSIM 0.99552, fast 0.359 MB
    // at 0.99560); SVT-AV1 preset 8 beat 10 (CRF 33: 0.225 MB at 0.99533 against 0.253 MB at
    // 0.99491) at half the time of 6; VP9 cpu-used 5 matched 4 (CRF 33: 0.356 MB at 0.99423;
    // cpu-used 4 0.416 MB at 0.99452, 0.257 MB at 0.99308 at CRF 38) and was faster.
    {"mp4hevc", "mp4", 512, kAb256, kVideoRates, "-vcodec libx265 -preset veryfast -tag:v hvc1 ",
     "{vq} -acodec aac -ab {ab} -ar {ar}{size}", kNone, nullptr, 0, 0, 0, kHevcCrf},
    {"mkvhevc", "mkv", 512, kAb256, kVideoRates, "-vcodec libx265 -preset veryfast ",
     "{vq} -acodec aac -ab {ab} -ar {ar}{size}", kNone, nullptr, 0, 0, 0, kHevcCrf},
    {"mp4av1", "mp4", 512, kAb256, kVideoRates, "-vcodec libsvtav1 -preset 8 ",
     "{vq} -acodec aac -ab {ab} -ar {ar}{size}", kNone, nullptr, 0, 0, 0, kAv1Crf},
    {"webmav1", "webm", 512, kOpusBitrates, kOpusRates, "-vcodec libsvtav1 -preset 8 ",
     "{vq} -acodec libopus -ab {ab} -ar {ar}{size}", kNone, nullptr, 0, 0, 0, kAv1Crf},
    {"webmvp9", "webm", 512, kOpusBitrates, kOpusRates,
     "-vcodec libvpx-vp9 -deadline good -cpu-used 5 -row-mt 1 -passes 2 ",
     "{vq} -acodec libopus -ab {ab} -ar {ar}{size}", kNone, nullptr, 0, 0, 0, kVp9Crf},
    {"aac", "aac", 0, kAb256, kAudioRates, "", kAudioRatesOnly},
    {"ac3", "ac3", 0, {"320k", "128k", "96k"}, kAudioRates, "", kAudioRatesOnly},
    {"aiff", "aiff", 0, kNone, kAudioRates, "", kSampleRateOnly},
    {"flac", "flac", 0, kNone, kAudioRates, "", kSampleRateOnly},
    {"m4a", "m4a", 0, kAb256, kAudioRates, "", kAudioRatesOnly},
    {"mp2", "mp2", 0, kAb320, kAudioRates, "", kAudioRatesOnly},
    {"mp3", "mp3", 0, kAb320, kAudioRates, "", kAudioRatesOnly},
    {"ogg", "ogg", 0, kAb320, kAudioRates, "", "-vn -acodec libvorbis -ab {ab} -ar {ar}"},
    {"ra", "ra", 0, kAb256, kVideoRates, "", "-vn  -ab {ab} -ar {ar}"},
    {"wav", "wav", 0, kNone, kAudioRates, "", kSampleRateOnly},
    {"wma", "wma", 0, kAb320, kAudioRates, "", "-vn  -acodec wmav2 -ab {ab} -ar {ar}"},
    {"opus", "opus", 0, kOpusBitrates, kOpusRates, "", "-vn -acodec libopus -ab {ab} -ar {ar}"},
    // Lossless: the source's sample rate and bit depth unless the user chose a rate.
    {"alac", "m4a", 0, kNone, kNone, "", "-vn -acodec alac{-ar}"},
};

const FormatRule* FindFormatRule(const QString& key) {
    for (const FormatRule& rule : kFormatRules) {
        if (key == QLatin1String(rule.Key)) {
            return &rule;
        }
    }
    return nullptr;
}

QString Pick(const ByQuality& values, int quality) {
    if (quality < 0 || quality > 2 || values[static_cast<std::size_t>(quality)] == nullptr) {
        return {};
    }
    return QLatin1String(values[static_cast<std::size_t>(quality)]);
}

// The pieces a format's text is written with.
struct FormatPieces {
    QString VideoBitrate;
    QString AudioBitrate;
    QString SampleRate;
    QString Preset;
    QString Size;
    QString VideoQuality;
    QString ChosenSampleRate;
};

// The format's text with every {piece} replaced; one pass, so a value is never read again.
QString FillFormat(const FormatRule& rule, const FormatPieces& pieces) {
    const QString format = QLatin1String(rule.FormatPrefix) + QLatin1String(rule.Format);
    QString text;
    qsizetype at = 0;
    while (at < format.size()) {
        const qsizetype open = format.indexOf(u'{', at);
        const qsizetype close = open < 0 ? -1 : format.indexOf(u'}', open);
        if (close < 0) {
            text += format.mid(at);
            break;
        }
        text += format.mid(at, open - at);
        const QStringView name = QStringView(format).mid(open + 1, close - open - 1);
        if (name == u"vb") {
            text += pieces.VideoBitrate;
        } else if (name == u"ab") {
            text += pieces.AudioBitrate;
        } else if (name == u"ar") {
            text += pieces.SampleRate;
        } else if (name == u"preset") {
            text += pieces.Preset;
        } else if (name == u"size") {
            text += pieces.Size;
        } else if (name == u"vq") {
            text += pieces.VideoQuality;
        } else if (name == u"-ar") {
            text += pieces.ChosenSampleRate;
        }
        at = close + 1;
    }
    return text;
}

// A whole number from text; false when the text is not a number or out of range.
bool ReadInt(const QString& text, int& value) {
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    const std::optional<std::int32_t> rounded =
        ok ? RoundHalfEvenToInt32(number) : std::optional<std::int32_t>();
    if (!rounded) {
        return false;
    }
    value = *rounded;
    return true;
}

int IntOrZero(const QString& text) {
    int value = 0;
    return ReadInt(text, value) ? value : 0;
}

// Width times height, or the previous count when the product does not fit.
int PixelCountOr(int previous, int width, int height) {
    const long long pixels = static_cast<long long>(width) * height;
    return pixels > std::numeric_limits<int>::max() || pixels < std::numeric_limits<int>::min()
               ? previous
               : static_cast<int>(pixels);
}

QString SizeText(long long width, long long height) {
    return QStringLiteral(" -s %1x%2").arg(width).arg(height);
}

// A bit rate text ("1500k", "800000") in kbit/s; -1 when it has no leading digits.
double BitrateKbps(const QString& text) {
    qsizetype digits = 0;
    while (digits < text.size() && IsAsciiDigit(text.at(digits))) {
        ++digits;
    }
    if (digits == 0) {
        return -1.0;
    }
    const double value = text.left(digits).toDouble();
    const bool kilo = digits < text.size() && text.at(digits).toLower() == QLatin1Char('k');
    return kilo ? value : value / 1000.0;
}

// The limits of the device the chosen profile is for; nullptr for the general formats.
const DeviceLimits* DeviceFor(const OutputSettings& settings) {
    const ProfileEntry* entry = FindProfileByText(settings.FormatCaption);
    if (entry == nullptr || settings.FormatKey != QLatin1String(entry->FormatKey)) {
        return nullptr;
    }
    return FindDeviceLimits(entry->CommandId);
}

// True when the size is the profile's own: its preset size, or the input's where the profile
// has none.
bool SizeLeftAtPreset(const OutputSettings& settings) {
    const ProfileEntry* entry = FindProfileByText(settings.FormatCaption);
    if (entry == nullptr) {
        return false;
    }
    if (!entry->HasPresetSize()) {
        return settings.SizeIndex == kSizeIndexAuto;
    }
    return settings.SizeIndex == kSizeIndexCustom &&
           settings.Width == QString::number(entry->PresetWidth) &&
           settings.Height == QString::number(entry->PresetHeight);
}

}  // namespace

QString AutoVideoBitrate(int pixelCount, int baseBitrateKbps, int videoQuality) {
    const double kbps = static_cast<double>(pixelCount) / 76800.0 * baseBitrateKbps;
    std::int64_t rounded = RoundHalfEven(kbps).value_or(0);
    if (videoQuality == QualityHigh) {
        rounded = RoundHalfEven(static_cast<double>(rounded) * 1.5).value_or(0);
    } else if (videoQuality == QualityLow) {
        rounded = RoundHalfEven(static_cast<double>(rounded) / 1.5).value_or(0);
    }
    return QString::number(rounded) + QLatin1Char('k');
}

QString BuildCropScale(const OutputSettings& settings, bool hasVideo, int sourceWidth,
                       int sourceHeight) {
    if (!hasVideo || !settings.CropEnabled) {
        return {};
    }
    const long long top = IntOrZero(settings.CropTop);
    const long long bottom = IntOrZero(settings.CropBottom);
    const long long left = IntOrZero(settings.CropLeft);
    const long long right = IntOrZero(settings.CropRight);
    if (top <= 0 && bottom <= 0 && left <= 0 && right <= 0) {
        return {};
    }
    QString text = QStringLiteral("crop=%1:%2:%3:%4")
                       .arg(sourceWidth - left - right)
                       .arg(sourceHeight - top - bottom)
                       .arg(left)
                       .arg(top);
    if (settings.SizeIndex > kSizeIndexAuto) {
        text += QStringLiteral(",scale=") + settings.Width + QLatin1Char(':') + settings.Height;
    }
    return text;
}

QString BuildFilterChain(const OutputSettings& settings, bool hasVideo, int sourceWidth,
                         int sourceHeight) {
    if (!hasVideo || settings.AudioOnly) {
        return {};
    }
    QString chain = BuildCropScale(settings, hasVideo, sourceWidth, sourceHeight);
    if (settings.FlipVertical) {
        chain += QStringLiteral(",vflip");
    }
    if (settings.FlipHorizontal) {
        chain += QStringLiteral(",hflip");
    }
    if (IntOrZero(settings.Rotate) != 0) {
        chain += QStringLiteral(",rotate=") + settings.Rotate;
    }
    if (chain.startsWith(QLatin1Char(','))) {
        chain.remove(0, 1);
    }
    if (chain.isEmpty()) {
        return {};
    }
    return QStringLiteral(" -vf \"") + chain + QLatin1Char('"');
}

QString OptionBuilder::SizePart(const SourceFacts& source) {
    const OutputSettings& s = settings_;
    const bool sizeKnown = source.HasVideo && (source.Width || source.Height);
    if (sizeKnown) {
        sourceWidth_ = source.Width.value_or(sourceWidth_);
        sourceHeight_ = source.Height.value_or(sourceHeight_);
    }
    if (!source.HasVideo || (s.SizeIndex == kSizeIndexAuto && !sizeKnown)) {
        return QStringLiteral(" -vn ");
    }
    int width = sourceWidth_;
    int height = sourceHeight_;
    if (s.SizeIndex != kSizeIndexAuto) {
        ReadInt(s.Width, targetWidth_);
        ReadInt(s.Height, targetHeight_);
        width = targetWidth_;
        height = targetHeight_;
    }
    pixelCount_ = PixelCountOr(pixelCount_, width, height);
    // With cropping the target size travels in the filter chain.
    return s.CropEnabled ? QString() : SizeText(width, height);
}

QString CopyRulesText(const OutputSettings& s, const DeviceLimits* device) {
    QStringList items;
    const std::pair<bool, const char*> automatic[] = {{s.VideoBitrate == kAuto, "vb"},
                                                      {s.AudioBitrate == kAuto, "ab"},
                                                      {s.SampleRate == kAuto, "ar"},
                                                      {s.FrameRate == kAuto, "r"},
                                                      {s.Channels == ChannelsAuto, "ac"}};
    for (const auto& [isAuto, name] : automatic) {
        if (isAuto) {
            items.append(QLatin1String(name));
        }
    }
    if (device != nullptr) {
        if (device->MaxFrameRate > 0) {
            items.append(QStringLiteral("maxfps=%1").arg(device->MaxFrameRate));
        }
        if (device->MaxChannels > 0) {
            items.append(QStringLiteral("maxch=%1").arg(device->MaxChannels));
        }
        if (device->MaxAudioKbps > 0) {
            items.append(QStringLiteral("maxab=%1k").arg(device->MaxAudioKbps));
        }
    }
    return items.isEmpty() ? QStringLiteral("strict") : items.join(u',');
}

QString CopyAndSizeGroup(const OutputSettings& s, const DeviceLimits* device, bool hasVideo) {
    QString group;
    if (s.CopyStreamsThatFit) {
        group += QStringLiteral(" -copy_when_fits ") + CopyRulesText(s, device);
    }
    const std::optional<double> megabytes = ParseDecimal(s.TargetFileSize);
    if (megabytes && *megabytes > 0.0 && hasVideo && !s.AudioOnly) {
        group += QStringLiteral(" -target_size %1").arg(std::llround(*megabytes * 1e6));
    }
    return group;
}

OptionBuilderResult OptionBuilder::BuildEncoderOptions(const SourceFacts& source) {
    const OutputSettings& s = settings_;
    OptionBuilderResult result;
    result.HasVideo = source.HasVideo;
    result.HasAudio = source.HasAudio;
    QString sizePart = SizePart(source);
    result.SourceWidth = sourceWidth_;
    result.SourceHeight = sourceHeight_;

    const QString removeAudioPart = s.RemoveAudio ? QStringLiteral("-an ") : QString();
    QString frameRatePart =
        s.FrameRate != kAuto ? QStringLiteral("-r ") + s.FrameRate + u' ' : QString();
    const QString aspectPart =
        s.AspectRatio != kAuto ? QStringLiteral("-aspect ") + s.AspectRatio + u' ' : QString();
    const QString channelsPart = s.Channels != ChannelsAuto
                                     ? QStringLiteral("-ac %1 ").arg(s.Channels)
                                     : QStringLiteral("-ac 2 ");

    const FormatRule* rule = FindFormatRule(s.FormatKey);
    result.OutputExtension =
        rule != nullptr ? QLatin1String(rule->Extension) : ExtensionForFormatKey(s.FormatKey);
    if (rule == nullptr) {
        // Not a catalogue key: keep the common parts, let the container pick the codecs.
        result.EncoderOptions =
            removeAudioPart + frameRatePart + aspectPart + channelsPart + sizePart.trimmed();
        return result;
    }

    if (rule->AutoWidth > 0 && s.SizeIndex == kSizeIndexAuto) {
        // Whether or not the input has video, and whether or not it is cropped.
        sizePart = SizeText(rule->AutoWidth, rule->AutoHeight);
        pixelCount_ = rule->AutoWidth * rule->AutoHeight;
    }
    if (frameRatePart.isEmpty() && rule->DefaultFrameRate != nullptr) {
        frameRatePart = QStringLiteral("-r ") + QLatin1String(rule->DefaultFrameRate) + u' ';
    }

    const DeviceLimits* device = DeviceFor(s);
    if (device != nullptr && !sizePart.isEmpty() && sizePart != QStringLiteral(" -vn ") &&
        SizeLeftAtPreset(s)) {
        // A picture larger than the device plays is brought within it, keeping its aspect;
        // a size the user chose is kept as chosen.
        const int width = s.SizeIndex == kSizeIndexAuto ? sourceWidth_ : targetWidth_;
        const int height = s.SizeIndex == kSizeIndexAuto ? sourceHeight_ : targetHeight_;
        bool rateKnown = false;
        const double frameRate = s.FrameRate.toDouble(&rateKnown);
        const FittedSize fitted = FitToDevice(*device, width, height, rateKnown ? frameRate : 0.0);
        if (fitted.Width != width || fitted.Height != height) {
            sizePart = SizeText(fitted.Width, fitted.Height);
            pixelCount_ = fitted.Width * fitted.Height;
        }
    }

    FormatPieces pieces;
    pieces.VideoBitrate = s.VideoBitrate;
    if (pieces.VideoBitrate == kAuto) {
        pieces.VideoBitrate =
            rule->VideoBitrate[0] != nullptr
                ? Pick(rule->VideoBitrate, s.VideoQuality)
                : AutoVideoBitrate(pixelCount_, rule->BaseBitrateKbps, s.VideoQuality);
    }
    // Compared in kbit/s whatever the unit.
    if (rule->MaxVideoKbps > 0 && BitrateKbps(pieces.VideoBitrate) > rule->MaxVideoKbps) {
        pieces.VideoBitrate = QString::number(rule->MaxVideoKbps) + QLatin1Char('k');
    }
    pieces.AudioBitrate =
        s.AudioBitrate != kAuto ? s.AudioBitrate : Pick(rule->AudioBitrate, s.AudioQuality);
    pieces.SampleRate =
        s.SampleRate != kAuto ? s.SampleRate : Pick(rule->SampleRate, s.AudioQuality);
    if (device != nullptr && s.SampleRate == kAuto && !pieces.SampleRate.isEmpty()) {
        // The automatic rate is brought within what the device plays (DVD-Video: 48 kHz only).
        const int rate = pieces.SampleRate.toInt();
        const int within =
            std::clamp(rate, device->MinSampleRate > 0 ? device->MinSampleRate : rate,
                       device->MaxSampleRate > 0 ? device->MaxSampleRate : rate);
        if (within != rate) {
            pieces.SampleRate = QString::number(within);
        }
    }
    pieces.Preset = Pick(kX264Presets, s.VideoQuality);
    pieces.Size = sizePart;
    pieces.VideoQuality =
        s.VideoBitrate != kAuto || rule->Crf[0] == nullptr
            ? QStringLiteral("-vb ") + pieces.VideoBitrate
            : QStringLiteral("-crf ") + Pick(rule->Crf, s.VideoQuality) + QStringLiteral(" -b:v 0");
    pieces.ChosenSampleRate =
        s.SampleRate != kAuto ? QStringLiteral(" -ar ") + s.SampleRate : QString();

    result.EncoderOptions = removeAudioPart + frameRatePart + aspectPart + channelsPart +
                            FillFormat(*rule, pieces) +
                            BuildFilterChain(s, result.HasVideo, sourceWidth_, sourceHeight_);
    if (device != nullptr && result.HasVideo && !s.AudioOnly) {
        result.EncoderOptions += DeviceOptionGroup(*device);
    }
    result.EncoderOptions += CopyAndSizeGroup(s, device, result.HasVideo);
    return result;
}

QString NormaliseOutputFolder(const QString& folderText) {
    // Blanks are part of a folder's name: "dir " and "dir" are two folders.
    QString folder = folderText;
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return folder;
}

bool IsUsableFolder(const QString& folder) {
    if (folder.isEmpty()) {
        return false;
    }
    const QByteArray path = EncodeFileName(folder);
    struct stat info {};
    if (::stat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return false;
    }
    // access() answers for the real user. The superuser passes it for every folder, so for
    // it a folder counts as writable only when its permission bits allow writing at all.
    if (::access(path.constData(), W_OK | X_OK) != 0) {
        return false;
    }
    return ::geteuid() != 0 || (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

bool IsAcceptedOutputFolder(const QString& normalisedFolder) {
    return normalisedFolder.size() > 2 && IsUsableFolder(normalisedFolder);
}

QString OutputPathFor(const QString& outputFolder, const QString& inputPath,
                      const QString& extension) {
    return outputFolder + GetBaseName(inputPath) + QLatin1Char('.') + extension;
}

}  // namespace ostrel
