// Converts three clips with every device profile's presets through the real ostrel-convert and
// checks each output against its device's row with ffprobe, then decodes it end to end with
// GStreamer, which shares no demuxer with FFmpeg. Prints one line per profile and the count of
// profiles whose outputs are all within their device's limits.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "engine/codec_levels.h"
#include "profiles/catalogue.h"
#include "profiles/device_limits.h"
#include "run_program.h"

namespace ostrel {
namespace {

using testing::Outcome;

Outcome RunProgram(const QString& program, const QStringList& args, int timeoutMs = 180000) {
    return testing::RunProgram(program, args, timeoutMs);
}

double Fraction(const QString& text) {
    const QStringList parts = text.split(u'/');
    const double num = parts.value(0).toDouble();
    const double den = parts.size() > 1 ? parts.value(1).toDouble() : 1.0;
    return den > 0.0 ? num / den : 0.0;
}

int MacroblocksOf(int width, int height) {
    return ((width + 15) / 16) * ((height + 15) / 16);
}

// The most bits of video in any one second, from the packets' decoding times.
double PeakBitsPerSecond(const QString& packetCsv) {
    std::vector<std::pair<double, double>> packets;  // time, bits
    for (const QString& line : packetCsv.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(u',');
        bool ok = false;
        const double time = fields.value(0).toDouble(&ok);
        if (ok) {
            packets.emplace_back(time, fields.value(1).toDouble() * 8.0);
        }
    }
    std::sort(packets.begin(), packets.end());
    double peak = 0.0;
    double sum = 0.0;
    std::size_t first = 0;
    for (std::size_t last = 0; last < packets.size(); ++last) {
        sum += packets[last].second;
        while (packets[last].first - packets[first].first >= 1.0) {
            sum -= packets[first++].second;
        }
        peak = std::max(peak, sum);
    }
    return peak;
}

int ProfileRank(const QString& profile) {
    if (profile.contains(u"Baseline")) {
        return 1;
    }
    if (profile == u"Main") {
        return 2;
    }
    if (profile == u"High") {
        return 3;
    }
    return 99;
}

// What the H.264 parameter sets say: reference frames and the entropy coder.
struct H264Headers {
    int refFrames = -1;
    int cabac = -1;
};

H264Headers ReadH264Headers(const QString& file) {
    const Outcome trace = RunProgram(QStringLiteral("ffmpeg"),
                                     {"-hide_banner", "-i", file, "-map", "0:v", "-c", "copy",
                                      "-bsf:v", "trace_headers", "-f", "null", "-"});
    H264Headers headers;
    static const QRegularExpression refs(QStringLiteral("max_num_ref_frames\\s+\\S+ = (\\d+)"));
    static const QRegularExpression cabac(
        QStringLiteral("entropy_coding_mode_flag\\s+\\S+ = (\\d+)"));
    if (const auto match = refs.match(trace.Err); match.hasMatch()) {
        headers.refFrames = match.captured(1).toInt();
    }
    if (const auto match = cabac.match(trace.Err); match.hasMatch()) {
        headers.cabac = match.captured(1).toInt();
    }
    return headers;
}

QString ExpectedVideoCodec(DeviceVideoCodec codec) {
    switch (codec) {
        case DeviceVideoCodec::H264:
            return QStringLiteral("h264");
        case DeviceVideoCodec::Mpeg4Part2:
            return QStringLiteral("mpeg4");
        case DeviceVideoCodec::H263:
            return QStringLiteral("h263");
        case DeviceVideoCodec::Mpeg1:
            return QStringLiteral("mpeg1video");
        case DeviceVideoCodec::Mpeg2:
            return QStringLiteral("mpeg2video");
        case DeviceVideoCodec::Wmv:
            return QStringLiteral("wmv");
        case DeviceVideoCodec::RealVideo:
            return QStringLiteral("rv");
        case DeviceVideoCodec::H265:
            return QStringLiteral("hevc");
        case DeviceVideoCodec::None:
            break;
    }
    return {};
}

QString ExpectedAudioCodec(const QString& audio) {
    if (audio == u"AAC-LC") {
        return QStringLiteral("aac");
    }
    if (audio == u"MP3") {
        return QStringLiteral("mp3");
    }
    if (audio == u"AC-3") {
        return QStringLiteral("ac3");
    }
    if (audio == u"MP2") {
        return QStringLiteral("mp2");
    }
    if (audio == u"AMR-NB") {
        return QStringLiteral("amr_nb");
    }
    if (audio == u"WMA") {
        return QStringLiteral("wmav");
    }
    return {};
}

// Every limit of the row that the output breaks; empty when it is within them all.
QStringList CheckOutput(const DeviceLimits& row, const QString& file) {
    QStringList faults;
    const Outcome probe = RunProgram(QStringLiteral("ffprobe"),
                                     {"-v", "error", "-show_streams", "-of", "json", file});
    if (probe.ExitCode != 0) {
        return {QStringLiteral("ffprobe failed: ") + probe.Err.trimmed()};
    }
    const QJsonArray streams = QJsonDocument::fromJson(probe.Out.toUtf8())["streams"].toArray();
    QJsonObject video;
    QJsonObject audio;
    for (const QJsonValue& value : streams) {
        const QJsonObject stream = value.toObject();
        if (stream["codec_type"].toString() == u"video" && video.isEmpty()) {
            video = stream;
        } else if (stream["codec_type"].toString() == u"audio" && audio.isEmpty()) {
            audio = stream;
        }
    }
    if (video.isEmpty() || audio.isEmpty()) {
        return {QStringLiteral("a stream is missing")};
    }
    const auto fault = [&faults](const QString& what) { faults << what; };

    const QString codec = video["codec_name"].toString();
    const QString expectedCodec = ExpectedVideoCodec(row.Codec);
    if (!expectedCodec.isEmpty() && !codec.startsWith(expectedCodec)) {
        fault(QStringLiteral("codec %1").arg(codec));
    }
    if (row.Unmet != nullptr) {
        fault(QStringLiteral("not met: ") + QString::fromUtf8(row.Unmet));
    }
    const int width = video["width"].toInt();
    const int height = video["height"].toInt();
    const double rate = Fraction(video["avg_frame_rate"].toString()) > 0.0
                            ? Fraction(video["avg_frame_rate"].toString())
                            : Fraction(video["r_frame_rate"].toString());
    const int frameMbs = MacroblocksOf(width, height);
    if (width > row.MaxWidth || height > row.MaxHeight ||
        (row.MaxFrameMbs > 0 && frameMbs > row.MaxFrameMbs) ||
        (row.MaxMbPerSecond > 0 && frameMbs * rate > row.MaxMbPerSecond * 1.001)) {
        fault(QStringLiteral("size %1x%2 at %3 fps").arg(width).arg(height).arg(rate));
    }
    if (rate > row.MaxFrameRate * 1.001) {
        fault(QStringLiteral("frame rate %1").arg(rate));
    }
    if (!row.BFrames && video["has_b_frames"].toInt() != 0) {
        fault(QStringLiteral("B-frames"));
    }
    const Outcome packets = RunProgram(QStringLiteral("ffprobe"),
                                       {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                        "packet=dts_time,size", "-of", "csv=p=0", file});
    const double peakBits = PeakBitsPerSecond(packets.Out);
    if (const int kbps = DeviceVideoKbps(row); kbps > 0) {
        // The decoder's buffer model: at most the peak rate plus one buffer in any second.
        const double allowed = (kbps + DeviceBufferKbit(row)) * 1000.0;
        if (peakBits > allowed) {
            fault(QStringLiteral("%1 kbit in one second (at most %2)")
                      .arg(peakBits / 1000.0, 0, 'f', 0)
                      .arg(allowed / 1000.0, 0, 'f', 0));
        }
    }

    if (codec == u"h264") {
        const QString profile = video["profile"].toString();
        const int wantedRank = row.Profile == DeviceCodecProfile::H264Baseline ? 1
                               : row.Profile == DeviceCodecProfile::H264Main   ? 2
                                                                               : 3;
        if (ProfileRank(profile) > wantedRank) {
            fault(QStringLiteral("profile ") + profile);
        }
        const int level = video["level"].toInt();
        const codec::H264Level* limits = codec::FindH264Level(level);
        if (limits == nullptr || (row.Level > 0 && level > row.Level)) {
            fault(QStringLiteral("level %1").arg(level));
        }
        const H264Headers headers = ReadH264Headers(file);
        int mostRefs = limits != nullptr ? std::min(16, limits->maxDpbMbs / frameMbs) : 16;
        if (row.MaxRefs > 0) {
            mostRefs = std::min(mostRefs, row.MaxRefs);
        }
        if (headers.refFrames < 0 || headers.refFrames > mostRefs) {
            fault(QStringLiteral("%1 reference frames (at most %2)")
                      .arg(headers.refFrames)
                      .arg(mostRefs));
        }
        if (!row.Cabac && headers.cabac != 0) {
            fault(QStringLiteral("CABAC"));
        }
    } else if (codec == u"hevc") {
        // ffprobe gives the level as general_level_idc, 30 times the level's number; Apple's
        // players take H.265 in MP4 only under the hvc1 tag.
        const QString profile = video["profile"].toString();
        const bool main10 = row.Profile == DeviceCodecProfile::HevcMain10;
        if (profile != u"Main" && !(main10 && profile == u"Main 10")) {
            fault(QStringLiteral("profile ") + profile);
        }
        if (video["level"].toInt() > row.Level * 3) {
            fault(QStringLiteral("level %1").arg(video["level"].toInt()));
        }
        if (file.endsWith(u".mp4") && video["codec_tag_string"].toString() != u"hvc1") {
            fault(QStringLiteral("tag ") + video["codec_tag_string"].toString());
        }
    } else if (codec == u"mpeg4" && row.Profile != DeviceCodecProfile::Any) {
        const QString profile = video["profile"].toString();
        const bool advanced = profile == u"Advanced Simple Profile";
        if (profile != u"Simple Profile" &&
            !(advanced && row.Profile == DeviceCodecProfile::Mpeg4AdvancedSimple)) {
            fault(QStringLiteral("profile ") + profile);
        }
        const int level = video["level"].toInt();
        const auto limits =
            std::find_if(std::begin(codec::kMpeg4Levels), std::end(codec::kMpeg4Levels),
                         [&](const codec::Mpeg4Level& entry) {
                             return entry.advancedSimple == advanced && entry.level == level;
                         });
        if (limits == std::end(codec::kMpeg4Levels) || frameMbs > limits->maxFrameMbs ||
            frameMbs * rate > limits->maxMbPerSecond * 1.001 ||
            peakBits > (limits->maxVideoKbps + limits->vbvKbit) * 1000.0) {
            fault(QStringLiteral("level %1 for %2x%3 at %4 fps, %5 kbit/s")
                      .arg(level)
                      .arg(width)
                      .arg(height)
                      .arg(rate)
                      .arg(peakBits / 1000.0, 0, 'f', 0));
        }
    }

    const QString audioCodec = audio["codec_name"].toString();
    const QString expectedAudio = ExpectedAudioCodec(QString::fromUtf8(row.Audio));
    if (!expectedAudio.isEmpty() && !audioCodec.startsWith(expectedAudio)) {
        fault(QStringLiteral("audio codec ") + audioCodec);
    }
    const int sampleRate = audio["sample_rate"].toString().toInt();
    if (sampleRate > row.MaxSampleRate || sampleRate < row.MinSampleRate) {
        fault(QStringLiteral("sample rate ") + audio["sample_rate"].toString());
    }
    if (audio["channels"].toInt() > row.MaxChannels) {
        fault(QStringLiteral("%1 channels").arg(audio["channels"].toInt()));
    }
    const int audioBitrate = audio["bit_rate"].toString().toInt();
    if (row.MaxAudioKbps > 0 && audioBitrate > row.MaxAudioKbps * 1000 * 105 / 100) {
        fault(QStringLiteral("audio at %1 bit/s").arg(audioBitrate));
    }
    return faults;
}

// GStreamer reads the file with its own demuxers and decodes every stream to the end.
QString DecodeWithGStreamer(const QString& file) {
    const Outcome gst = RunProgram(
        QStringLiteral("gst-launch-1.0"),
        {"-q", "filesrc", "location=" + file, "!", "decodebin", "name=d", "d.", "!", "queue", "!",
         "fakesink", "sync=false", "d.", "!", "queue", "!", "fakesink", "sync=false"},
        120000);
    return gst.ExitCode == 0 ? QString() : QStringLiteral("GStreamer: ") + gst.Err.trimmed();
}

TEST(DeviceConformance, EveryDeviceProfilePlaysWithinItsLimits) {
    if (QStandardPaths::findExecutable(QStringLiteral("gst-launch-1.0")).isEmpty()) {
        GTEST_FAIL() << "gst-launch-1.0 is missing: run scripts/install-deps.sh";
    }
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString clips = scratch.filePath(QStringLiteral("clips"));
    QDir().mkpath(clips);
    const struct {
        const char* name;
        const char* source;
    } kClips[] = {
        {"clip1080.mp4", "testsrc2=size=1920x1080:rate=30"},
        {"clip720.mp4", "testsrc2=size=1280x720:rate=25"},
        {"clip480.mp4", "testsrc2=size=640x480:rate=25"},
    };
    QStringList inputs;
    for (const auto& clip : kClips) {
        const QString path = clips + QStringLiteral("/") + QLatin1String(clip.name);
        const Outcome made =
            RunProgram(QStringLiteral("ffmpeg"), {"-v",
                                                  "error",
                                                  "-y",
                                                  "-f",
                                                  "lavfi",
                                                  "-i",
                                                  QLatin1String(clip.source),
                                                  "-f",
                                                  "lavfi",
                                                  "-i",
                                                  "sine=frequency=440:sample_rate=48000",
                                                  "-ac",
                                                  "2",
                                                  "-t",
                                                  "1",
                                                  "-c:v",
                                                  "libx264",
                                                  "-preset",
                                                  "ultrafast",
                                                  "-c:a",
                                                  "aac",
                                                  path});
        ASSERT_EQ(made.ExitCode, 0) << made.Err.toStdString();
        inputs << path;
    }

    int within = 0;
    int total = 0;
    int unmet = 0;
    QStringList misses;
    for (const DeviceLimits& row : AllDeviceLimits()) {
        ++total;
        unmet += row.Unmet != nullptr ? 1 : 0;
        const ProfileEntry& entry = *FindProfile(row.CommandId);
        const QString output = scratch.filePath(QString::number(row.CommandId));
        QDir().mkpath(output);
        const Outcome converted = RunProgram(
            QStringLiteral(OSTREL_CONVERT_PATH),
            QStringList{"--profile", QString::number(row.CommandId), "--output", output} + inputs);
        QStringList faults;
        if (converted.ExitCode != 0) {
            faults << QStringLiteral("conversion failed: ") + converted.Err.trimmed();
        }
        const QStringList files = QDir(output).entryList(QDir::Files, QDir::Name);
        if (files.size() != inputs.size()) {
            faults
                << QStringLiteral("%1 outputs for %2 clips").arg(files.size()).arg(inputs.size());
        }
        for (const QString& name : files) {
            const QString file = output + QStringLiteral("/") + name;
            for (const QString& fault : CheckOutput(row, file)) {
                faults << name + QStringLiteral(": ") + fault;
            }
            if (const QString decode = DecodeWithGStreamer(file); !decode.isEmpty()) {
                faults << name + QStringLiteral(": ") + decode;
                ADD_FAILURE() << entry.Caption << " " << name.toStdString() << ": "
                              << decode.toStdString();
            }
        }
        faults.removeDuplicates();
        if (faults.isEmpty()) {
            ++within;
            std::printf("%d %s: within its limits\n", row.CommandId, entry.Caption);
        } else {
            std::printf("%d %s: %s\n", row.CommandId, entry.Caption,
                        qPrintable(faults.join(QStringLiteral("; "))));
            if (row.Unmet == nullptr) {
                misses << QString::fromUtf8(entry.Caption);
            }
        }
        std::fflush(stdout);
    }
    std::printf("devices: %d/%d within their limits\n", within, total);
    // Only the profiles whose device takes a codec FFmpeg cannot write may fall outside.
    EXPECT_TRUE(misses.isEmpty()) << misses.join(QStringLiteral(", ")).toStdString();
    EXPECT_EQ(within, total - unmet);
}

}  // namespace
}  // namespace ostrel
