#include "profiles/option_builder.h"

#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <array>
#include <cmath>
#include <limits>

#include "common/file_info.h"
#include "profiles/catalogue.h"

namespace ostrel {
namespace {

// Automatic values per quality level (High, Normal, Low).
using ByQuality = std::array<const char*, 3>;

// How a format key fills in its part of the option string.
struct FormatRule {
    const char* Key;
    const char* Extension;
    int BaseBitrateKbps;     // 0: no automatic video bit rate from the picture size
    ByQuality AudioBitrate;  // nullptr entries: not used
    ByQuality SampleRate;
};

constexpr ByQuality kNone = {nullptr, nullptr, nullptr};
constexpr ByQuality kVideoRates = {"44100", "44100", "22050"};
constexpr ByQuality kAudioRates = {"48000", "44100", "22050"};
constexpr ByQuality kAb256 = {"256k", "128k", "96k"};
constexpr ByQuality kAb320 = {"320k", "128k", "64k"};

constexpr FormatRule kFormatRules[] = {
    {"3gp", "3gp", 330, {"12200", "6700", "4750"}, kNone},
    {"avi", "avi", 847, {"320k", "128k", "64k"}, kVideoRates},
    {"asf", "asf", 512, {"256k", "128k", "64k"}, kVideoRates},
    {"wmv", "wmv", 512, {"256k", "128k", "64k"}, kVideoRates},
    {"flv", "flv", 512, {"128k", "64k", "32k"}, kVideoRates},
    {"f4v", "f4v", 512, {"256k", "128k", "64k"}, kVideoRates},
    {"swf", "swf", 512, {"128k", "64k", "32k"}, kVideoRates},
    {"mkv", "mkv", 512, kAb320, kVideoRates},
    {"mov", "mov", 512, {"320k", "256k", "96k"}, kVideoRates},
    {"mp4", "mp4", 512, kAb256, kVideoRates},
    {"mp4h264", "mp4", 512, kAb256, kVideoRates},
    {"mpg", "mpg", 512, kAb256, kVideoRates},
    {"ntsc-vcd", "mpg", 512, kAb256, kVideoRates},
    {"pal-vcd", "mpg", 512, kAb256, kVideoRates},
    {"mpg2", "mpg", 512, kAb256, kVideoRates},
    {"ntsc-dvd", "mpg", 512, kAb256, kVideoRates},
    {"pal-dvd", "mpg", 512, kAb256, kVideoRates},
    {"rm", "rm", 512, kAb256, kVideoRates},
    {"vob", "vob", 0, {"320k", "192k", "96k"}, {"48000", "48000", "44100"}},
    {"webm", "webm", 512, kAb320, kVideoRates},
    {"aac", "aac", 0, kAb256, kAudioRates},
    {"ac3", "ac3", 0, {"320k", "128k", "96k"}, kAudioRates},
    {"aiff", "aiff", 0, kNone, kAudioRates},
    {"flac", "flac", 0, kNone, kAudioRates},
    {"m4a", "m4a", 0, kAb256, kAudioRates},
    {"mp2", "mp2", 0, kAb320, kAudioRates},
    {"mp3", "mp3", 0, kAb320, kAudioRates},
    {"ogg", "ogg", 0, kAb320, kAudioRates},
    {"ra", "ra", 0, kAb256, {"44100", "44100", "22050"}},
    {"wav", "wav", 0, kNone, kAudioRates},
    {"wma", "wma", 0, kAb320, kAudioRates},
};

constexpr ByQuality kVobVideoBitrates = {"3800k", "3300k", "768k"};
constexpr ByQuality kX264Presets = {"libx264-default", "libx264-veryfast", "libx264-ultrafast"};

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

// Rounds to the nearest integer, halves to the even neighbour.
long long RoundHalfEven(double value) {
    return static_cast<long long>(std::nearbyint(value));
}

// A whole number from text; false when the text is not a number or out of range.
bool ReadInt(const QString& text, int& value) {
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number) || std::fabs(number) > std::numeric_limits<int>::max()) {
        return false;
    }
    value = static_cast<int>(RoundHalfEven(number));
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
    while (digits < text.size() && text.at(digits).isDigit()) {
        ++digits;
    }
    if (digits == 0) {
        return -1.0;
    }
    const double value = text.left(digits).toDouble();
    const bool kilo = digits < text.size() && text.at(digits).toLower() == QLatin1Char('k');
    return kilo ? value : value / 1000.0;
}

}  // namespace

QString AutoVideoBitrate(int pixelCount, int baseBitrateKbps, int videoQuality) {
    long long kbps = RoundHalfEven(static_cast<double>(pixelCount) / 76800.0 * baseBitrateKbps);
    if (videoQuality == QualityHigh) {
        kbps = RoundHalfEven(static_cast<double>(kbps) * 1.5);
    } else if (videoQuality == QualityLow) {
        kbps = RoundHalfEven(static_cast<double>(kbps) / 1.5);
    }
    return QString::number(kbps) + QLatin1Char('k');
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

EncoderJob OptionBuilder::BuildEncoderOptions(const FileRow& row) {
    const OutputSettings& s = settings_;
    EncoderJob job;
    job.HasVideo = row.VideoCodec != kNotAvailable;
    job.HasAudio = row.AudioCodec != kNotAvailable;

    // Picture size of the input: "640 X 480", the separator found in either case.
    const qsizetype x =
        job.HasVideo ? row.VideoSize.indexOf(QLatin1Char('x'), 0, Qt::CaseInsensitive) : -1;
    if (x >= 0) {
        int width = 0;
        int height = 0;
        if (ReadInt(row.VideoSize.left(x), width)) {
            sourceWidth_ = width;
        }
        if (ReadInt(row.VideoSize.mid(x + 1), height)) {
            sourceHeight_ = height;
        }
    }
    job.SourceWidth = sourceWidth_;
    job.SourceHeight = sourceHeight_;

    QString sizePart;
    if (!job.HasVideo) {
        sizePart = QStringLiteral(" -vn ");
    } else if (s.SizeIndex == kSizeIndexAuto) {
        if (x < 0) {
            sizePart = QStringLiteral(" -vn ");
        } else {
            pixelCount_ = PixelCountOr(pixelCount_, sourceWidth_, sourceHeight_);
            sizePart = s.CropEnabled ? QString() : SizeText(sourceWidth_, sourceHeight_);
        }
    } else {
        ReadInt(s.Width, targetWidth_);
        ReadInt(s.Height, targetHeight_);
        pixelCount_ = PixelCountOr(pixelCount_, targetWidth_, targetHeight_);
        sizePart = s.CropEnabled ? QString() : SizeText(targetWidth_, targetHeight_);
    }

    const QString removeAudioPart = s.RemoveAudio ? QStringLiteral("-an ") : QString();
    QString frameRatePart =
        s.FrameRate != kAuto ? QStringLiteral("-r ") + s.FrameRate + u' ' : QString();
    const QString aspectPart =
        s.AspectRatio != kAuto ? QStringLiteral("-aspect ") + s.AspectRatio + u' ' : QString();
    const QString channelsPart = s.Channels != ChannelsAuto
                                     ? QStringLiteral("-ac %1 ").arg(s.Channels)
                                     : QStringLiteral("-ac 2 ");

    const QString key = s.FormatKey;
    const FormatRule* rule = FindFormatRule(key);
    job.OutputExtension =
        rule != nullptr ? QLatin1String(rule->Extension) : ExtensionForFormatKey(key);
    if (rule == nullptr) {
        // Not a catalogue key: keep the common parts, let the container pick the codecs.
        job.EncoderOptions =
            removeAudioPart + frameRatePart + aspectPart + channelsPart + sizePart.trimmed();
        return job;
    }

    if (key == QLatin1String("3gp") && s.SizeIndex == kSizeIndexAuto) {
        sizePart = QStringLiteral(" -s 176x144");
        pixelCount_ = 25344;
    }

    QString vb = s.VideoBitrate;
    if (vb == kAuto) {
        vb = key == QLatin1String("vob")
                 ? Pick(kVobVideoBitrates, s.VideoQuality)
                 : AutoVideoBitrate(pixelCount_, rule->BaseBitrateKbps, s.VideoQuality);
    }
    const QString ab =
        s.AudioBitrate != kAuto ? s.AudioBitrate : Pick(rule->AudioBitrate, s.AudioQuality);
    const QString ar =
        s.SampleRate != kAuto ? s.SampleRate : Pick(rule->SampleRate, s.AudioQuality);
    const QString preset = Pick(kX264Presets, s.VideoQuality);

    // Video formats whose codecs are given by name share one shape.
    const auto namedCodecs = [&](const char* videoCodec, const char* audioCodec) {
        return QStringLiteral("-vcodec ") + QLatin1String(videoCodec) + QStringLiteral(" -vb ") +
               vb + QStringLiteral(" -acodec ") + QLatin1String(audioCodec) +
               QStringLiteral(" -ab ") + ab + QStringLiteral(" -ar ") + ar + sizePart;
    };
    const QString rates = QStringLiteral(" -ab ") + ab + QStringLiteral(" -ar ") + ar;

    QString formatPart;
    if (key == QLatin1String("3gp")) {
        formatPart = QStringLiteral("-vb ") + vb + QStringLiteral(" -ab ") + ab +
                     QStringLiteral(" -ac 1 -ar 8000") + sizePart;
    } else if (key == QLatin1String("avi")) {
        formatPart = namedCodecs("libxvid", "libmp3lame");
    } else if (key == QLatin1String("asf")) {
        formatPart = namedCodecs("msmpeg4v2", "wmav2");
    } else if (key == QLatin1String("wmv")) {
        formatPart = namedCodecs("wmv2", "wmav2");
    } else if (key == QLatin1String("flv") || key == QLatin1String("swf") ||
               key == QLatin1String("mpg") || key == QLatin1String("mov") ||
               key == QLatin1String("mp4")) {
        formatPart = QStringLiteral("-vb ") + vb + rates + sizePart;
        if ((key == QLatin1String("mov") || key == QLatin1String("mp4")) &&
            frameRatePart.isEmpty()) {
            frameRatePart = QStringLiteral("-r 29.97 ");
        }
    } else if (key == QLatin1String("f4v")) {
        formatPart = QStringLiteral("-vcodec libx264 -vpre ") + preset +
                     QStringLiteral(" -f flv -vb ") + vb + QStringLiteral(" -acodec libfaac -ab ") +
                     ab + QStringLiteral(" -ar ") + ar + QStringLiteral(" -ac 2") + sizePart;
    } else if (key == QLatin1String("mkv")) {
        formatPart = QStringLiteral("-vcodec libx264 -vpre ") + preset + QStringLiteral(" -vb ") +
                     vb + QStringLiteral("  -acodec libmp3lame -ab ") + ab +
                     QStringLiteral(" -ar ") + ar + sizePart;
    } else if (key == QLatin1String("mp4h264")) {
        formatPart = QStringLiteral("-vcodec libx264 -vpre ") + preset + QStringLiteral(" -vb ") +
                     vb + rates + sizePart;
    } else if (key == QLatin1String("ntsc-vcd") || key == QLatin1String("pal-vcd")) {
        formatPart = QStringLiteral("-target ") + key +
                     QStringLiteral(" -vb 1150k -ab 224k -ar 44100") + sizePart;
    } else if (key == QLatin1String("mpg2")) {
        formatPart = QStringLiteral("-vcodec mpeg2video -vb ") + vb + rates + sizePart;
    } else if (key == QLatin1String("ntsc-dvd") || key == QLatin1String("pal-dvd")) {
        formatPart = QStringLiteral("-target ") + key + rates + sizePart;
    } else if (key == QLatin1String("rm")) {
        // RealVideo 2 players choke above 1000 kbit/s; compare in kbit/s whatever the unit.
        if (BitrateKbps(vb) > 1000.0) {
            vb = QStringLiteral("1000k");
        }
        formatPart = QStringLiteral("-vcodec rv20 -vb ") + vb + rates + sizePart;
    } else if (key == QLatin1String("vob")) {
        formatPart = QStringLiteral("-target dvd -vb ") + vb + rates + sizePart;
    } else if (key == QLatin1String("webm")) {
        formatPart = QStringLiteral("-vcodec libvpx -vb ") + vb +
                     QStringLiteral("  -acodec libvorbis -ab ") + ab + QStringLiteral(" -ar ") +
                     ar + sizePart;
    } else if (key == QLatin1String("aiff") || key == QLatin1String("flac") ||
               key == QLatin1String("wav")) {
        formatPart = QStringLiteral("-vn  -ar ") + ar;
    } else if (key == QLatin1String("ra")) {
        formatPart = QStringLiteral("-vn  -ab ") + ab + QStringLiteral(" -ar ") + ar;
    } else if (key == QLatin1String("ogg")) {
        formatPart =
            QStringLiteral("-vn -acodec libvorbis -ab ") + ab + QStringLiteral(" -ar ") + ar;
    } else if (key == QLatin1String("wma")) {
        formatPart = QStringLiteral("-vn  -acodec wmav2 -ab ") + ab + QStringLiteral(" -ar ") + ar;
    } else {  // aac, ac3, m4a, mp2, mp3
        formatPart = QStringLiteral("-vn -ab ") + ab + QStringLiteral(" -ar ") + ar;
    }

    job.EncoderOptions = removeAudioPart + frameRatePart + aspectPart + channelsPart + formatPart +
                         BuildFilterChain(s, job.HasVideo, sourceWidth_, sourceHeight_);
    return job;
}

QString NormaliseOutputFolder(const QString& folderText) {
    QString folder = folderText.trimmed();
    if (!folder.endsWith(QLatin1Char('/'))) {
        folder += QLatin1Char('/');
    }
    return folder;
}

bool IsUsableFolder(const QString& folder) {
    if (folder.isEmpty()) {
        return false;
    }
    const QFileInfo info(folder);
    if (!info.isDir()) {
        return false;
    }
    // access() answers for the real user. The superuser passes it for every folder, so for
    // it a folder counts as writable only when its permission bits allow writing at all.
    const QByteArray path = QFile::encodeName(folder);
    if (::access(path.constData(), W_OK | X_OK) != 0) {
        return false;
    }
    constexpr auto anyWrite =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return ::geteuid() != 0 || (info.permissions() & anyWrite) != 0;
}

bool IsAcceptedOutputFolder(const QString& normalisedFolder) {
    return normalisedFolder.size() > 2 && IsUsableFolder(normalisedFolder);
}

QString OutputPathFor(const QString& outputFolder, const QString& inputPath,
                      const QString& extension) {
    return outputFolder + GetBaseName(inputPath) + QLatin1Char('.') + extension;
}

}  // namespace ostrel
