#include "profiles/device_limits.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

#include "engine/codec_levels.h"

namespace ostrel {
namespace {

// A family's limits for one profile's device.
constexpr DeviceLimits Row(int commandId, DeviceLimits family, const char* device) {
    family.CommandId = commandId;
    family.Device = device;
    return family;
}

#include "profiles/device_limits_data.inc"

int MacroblocksOf(int width, int height) {
    return ((width + 15) / 16) * ((height + 15) / 16);
}

QString RateText(int kbps) {
    if (kbps >= 1000) {
        return QString::number(kbps / 1000.0, 'g', 4) + QStringLiteral(" Mbit/s");
    }
    return QString::number(kbps) + QStringLiteral(" kbit/s");
}

// Each codec profile as the encoder option names it and as people read it.
struct ProfileNames {
    DeviceCodecProfile profile;
    const char* option;
    const char* name;
};

constexpr ProfileNames kProfileNames[] = {
    {DeviceCodecProfile::H264Baseline, "baseline", "Baseline"},
    {DeviceCodecProfile::H264Main, "main", "Main"},
    {DeviceCodecProfile::H264High, "high", "High"},
    {DeviceCodecProfile::Mpeg4Simple, "simple", "Simple"},
    {DeviceCodecProfile::Mpeg4AdvancedSimple, "advanced_simple", "Advanced Simple"},
    // x265 takes the depth of its pictures as the profile: none is asked for by name.
    {DeviceCodecProfile::HevcMain, nullptr, "Main"},
    {DeviceCodecProfile::HevcMain10, nullptr, "Main 10"},
};

// Null for DeviceCodecProfile::Any.
const ProfileNames* NamesOf(DeviceCodecProfile profile) {
    const auto it = std::ranges::find(kProfileNames, profile, &ProfileNames::profile);
    return it == std::end(kProfileNames) ? nullptr : &*it;
}

const char* ProfileOption(DeviceCodecProfile profile) {
    const ProfileNames* names = NamesOf(profile);
    return names != nullptr ? names->option : nullptr;
}

const char* ProfileName(DeviceCodecProfile profile) {
    const ProfileNames* names = NamesOf(profile);
    return names != nullptr ? names->name : nullptr;
}

const char* CodecName(DeviceVideoCodec codec) {
    switch (codec) {
        case DeviceVideoCodec::H264:
            return "H.264";
        case DeviceVideoCodec::Mpeg4Part2:
            return "MPEG-4 Part 2";
        case DeviceVideoCodec::H263:
            return "H.263";
        case DeviceVideoCodec::Mpeg1:
            return "MPEG-1";
        case DeviceVideoCodec::Mpeg2:
            return "MPEG-2";
        case DeviceVideoCodec::Wmv:
            return "WMV";
        case DeviceVideoCodec::RealVideo:
            return "RealVideo";
        case DeviceVideoCodec::H265:
            return "H.265";
        case DeviceVideoCodec::None:
            break;
    }
    return "the format's video codec";
}

// The highest video bit rate in kbit/s: the row's, else its H.264 level's; 0 when unlimited.
int VideoKbpsOf(const DeviceLimits& row) {
    if (row.MaxVideoKbps > 0) {
        return row.MaxVideoKbps;
    }
    const H264LevelLimits* level =
        row.Codec == DeviceVideoCodec::H264 ? FindH264Level(row.Level) : nullptr;
    if (level == nullptr) {
        return 0;
    }
    return row.Profile == DeviceCodecProfile::H264High ? level->maxVideoKbps * 5 / 4
                                                       : level->maxVideoKbps;
}

}  // namespace

std::span<const DeviceLimits> AllDeviceLimits() {
    return kRows;
}

const DeviceLimits* FindDeviceLimits(int commandId) {
    const auto it = std::ranges::find(kRows, commandId, &DeviceLimits::CommandId);
    return it == std::end(kRows) ? nullptr : &*it;
}

int DeviceVideoKbps(const DeviceLimits& row) {
    return VideoKbpsOf(row);
}

int DeviceBufferKbit(const DeviceLimits& row) {
    if (row.BufferKbit > 0) {
        return row.BufferKbit;
    }
    const H264LevelLimits* level =
        row.Codec == DeviceVideoCodec::H264 ? FindH264Level(row.Level) : nullptr;
    if (level == nullptr) {
        return DeviceVideoKbps(row);
    }
    return row.Profile == DeviceCodecProfile::H264High ? level->maxBufferKbit * 5 / 4
                                                       : level->maxBufferKbit;
}

const H264LevelLimits* FindH264Level(int level) {
    return codec::FindH264Level(level);
}

QString H264LevelText(int level) {
    return QStringLiteral("%1.%2").arg(level / 10).arg(level % 10);
}

QString DeviceCodecText(const DeviceLimits& row) {
    QString text = QLatin1String(CodecName(row.Codec));
    if (const char* profile = ProfileName(row.Profile)) {
        text += u' ' + QLatin1String(profile);
    }
    const bool leveled = row.Codec == DeviceVideoCodec::H264 || row.Codec == DeviceVideoCodec::H265;
    if (leveled && row.Level > 0) {
        text += u' ' + H264LevelText(row.Level);
    }
    return text;
}

QString DeviceSummary(const DeviceLimits& row) {
    QString text =
        QCoreApplication::translate("ostrel::DeviceLimits", "Plays on %1: %2, up to %3x%4")
            .arg(QString::fromUtf8(row.Device), DeviceCodecText(row))
            .arg(row.MaxWidth)
            .arg(row.MaxHeight);
    if (const int kbps = VideoKbpsOf(row); kbps > 0) {
        text += QStringLiteral(", ") + RateText(kbps);
    }
    if (row.Unmet != nullptr) {
        text += QCoreApplication::translate("ostrel::DeviceLimits", " (not met: %1)")
                    .arg(QString::fromUtf8(row.Unmet));
    }
    return text;
}

QStringList DeviceDescription(const DeviceLimits& row) {
    QStringList lines;
    lines << QStringLiteral("Device: ") + QString::fromUtf8(row.Device);
    lines << QStringLiteral("Video: ") + DeviceCodecText(row);
    QString picture = QStringLiteral("Picture: up to %1x%2, %3 fps")
                          .arg(row.MaxWidth)
                          .arg(row.MaxHeight)
                          .arg(row.MaxFrameRate);
    if (row.MaxFrameMbs > 0) {
        picture += QStringLiteral(", %1 macroblocks a picture").arg(row.MaxFrameMbs);
    }
    if (row.MaxMbPerSecond > 0) {
        picture += QStringLiteral(", %1 macroblocks a second").arg(row.MaxMbPerSecond);
    }
    lines << picture;
    const int kbps = VideoKbpsOf(row);
    lines << QStringLiteral("Video bit rate: ") + (kbps > 0
                                                       ? QStringLiteral("up to ") + RateText(kbps)
                                                       : QStringLiteral("no limit"));
    lines << QStringLiteral("B-frames: %1; CABAC: %2; reference frames: %3")
                 .arg(row.BFrames ? QStringLiteral("yes") : QStringLiteral("no"),
                      row.Cabac ? QStringLiteral("yes") : QStringLiteral("no"),
                      row.MaxRefs > 0 ? QString::number(row.MaxRefs)
                                      : QStringLiteral("as the level allows"));
    const QString rates = row.MinSampleRate == row.MaxSampleRate
                              ? QStringLiteral("%1 Hz only").arg(row.MaxSampleRate)
                              : QStringLiteral("up to %1 Hz").arg(row.MaxSampleRate);
    QString audio = QStringLiteral("Audio: %1, %2, %3 channels")
                        .arg(QString::fromUtf8(row.Audio), rates)
                        .arg(row.MaxChannels);
    if (row.MaxAudioKbps > 0) {
        audio += QStringLiteral(", %1 kbit/s").arg(row.MaxAudioKbps);
    }
    lines << audio;
    if (row.SourceKind == DeviceSourceKind::NoSource) {
        lines << QStringLiteral("Source: no source found: family limits (") +
                     QString::fromUtf8(row.SourceName) + u')';
    } else {
        QString source = QStringLiteral("Source: ") + QString::fromUtf8(row.SourceName);
        if (row.SourceUrl != nullptr) {
            source += QStringLiteral(", ") + QString::fromUtf8(row.SourceUrl);
        }
        lines << source;
    }
    if (row.Unmet != nullptr) {
        lines << QStringLiteral("Cannot be met: ") + QString::fromUtf8(row.Unmet);
    }
    return lines;
}

QString DeviceOptionGroup(const DeviceLimits& row) {
    if (row.Unmet != nullptr) {
        return {};
    }
    QString group;
    const char* profile = ProfileOption(row.Profile);
    if (profile != nullptr) {
        group += QStringLiteral(" -profile:v ") + QLatin1String(profile);
    }
    const bool h264 = row.Codec == DeviceVideoCodec::H264;
    if (h264 && row.Level > 0) {
        group += QStringLiteral(" -level ") + H264LevelText(row.Level);
    }
    const bool h265 = row.Codec == DeviceVideoCodec::H265;
    if (row.Profile == DeviceCodecProfile::HevcMain) {
        group += QStringLiteral(" -pix_fmt yuv420p");
    }
    const bool rateControlled = h264 || h265 || row.Codec == DeviceVideoCodec::Mpeg4Part2 ||
                                row.Codec == DeviceVideoCodec::H263 ||
                                row.Codec == DeviceVideoCodec::Wmv;
    if (rateControlled && row.MaxVideoKbps > 0) {
        group += QStringLiteral(" -maxrate %1k").arg(row.MaxVideoKbps);
        int bufferKbit = row.BufferKbit;
        if (bufferKbit == 0 && h264) {
            const H264LevelLimits* level = FindH264Level(row.Level);
            bufferKbit = level != nullptr ? level->maxBufferKbit : row.MaxVideoKbps;
            if (row.Profile == DeviceCodecProfile::H264High) {
                bufferKbit = bufferKbit * 5 / 4;
            }
        }
        if (bufferKbit > 0) {
            group += QStringLiteral(" -bufsize %1k").arg(bufferKbit);
        }
    }
    if ((h264 || profile != nullptr) && !row.BFrames) {
        group += QStringLiteral(" -bf 0");
    }
    if (h264 && row.MaxRefs > 0) {
        group += QStringLiteral(" -refs %1").arg(row.MaxRefs);
    }
    if (h264 && !row.Cabac && row.Profile != DeviceCodecProfile::H264Baseline) {
        group += QStringLiteral(" -coder 0");
    }
    return group;
}

FittedSize FitToDevice(const DeviceLimits& row, int width, int height, double frameRate) {
    if (width <= 0 || height <= 0 || row.MaxWidth <= 0 || row.MaxHeight <= 0) {
        return {width, height};
    }
    int mostMbs = row.MaxFrameMbs;
    int mbPerSecond = row.MaxMbPerSecond;
    if (const H264LevelLimits* level =
            row.Codec == DeviceVideoCodec::H264 ? FindH264Level(row.Level) : nullptr) {
        mostMbs = mostMbs > 0 ? std::min(mostMbs, level->maxFrameMbs) : level->maxFrameMbs;
        mbPerSecond =
            mbPerSecond > 0 ? std::min(mbPerSecond, level->maxMbPerSecond) : level->maxMbPerSecond;
    }
    if (mbPerSecond > 0 && frameRate > 0.0) {
        const int atRate = static_cast<int>(mbPerSecond / frameRate);
        mostMbs = mostMbs > 0 ? std::min(mostMbs, atRate) : atRate;
    }
    const bool fits = width <= row.MaxWidth && height <= row.MaxHeight &&
                      (mostMbs <= 0 || MacroblocksOf(width, height) <= mostMbs);
    if (fits) {
        return {width, height};
    }
    double scale = std::min({1.0, static_cast<double>(row.MaxWidth) / width,
                             static_cast<double>(row.MaxHeight) / height});
    auto even = [](double value) { return std::max(2, static_cast<int>(value / 2.0) * 2); };
    int fittedWidth = even(width * scale);
    int fittedHeight = even(height * scale);
    while (mostMbs > 0 && MacroblocksOf(fittedWidth, fittedHeight) > mostMbs && fittedWidth > 16 &&
           fittedHeight > 16) {
        scale *= std::min(0.99, std::sqrt(static_cast<double>(mostMbs) /
                                          MacroblocksOf(fittedWidth, fittedHeight)));
        fittedWidth = even(width * scale);
        fittedHeight = even(height * scale);
    }
    return {fittedWidth, fittedHeight};
}

}  // namespace ostrel
