// "-target": the video discs' settings, as the ffmpeg tool's opt_target sets them.
#include "engine/ffmpeg/job.h"

#include <cmath>
#include <cstring>
#include <string_view>
#include <utility>

namespace ostrel::engine::ff {
namespace {

// The discs of "-target" (values as the ffmpeg tool's opt_target sets them); the height and the
// frame rate depend on the video standard.
enum class Standard { Ntsc, Pal };

struct DiscTarget {
    std::string_view disc;
    const char* muxer;
    const char* videoCodec;
    const char* audioCodec;
    int width;
    int ntscHeight;
    int palHeight;
    std::int64_t videoBitrate;
    std::int64_t maxRate;
    std::int64_t minRate;
    int bufferSize;
    std::int64_t audioBitrate;
    int sampleRate;
    int channels;  // 0: kept
    int packetSize;
    std::int64_t muxRate;
    double preloadSeconds;
};

const DiscTarget kDiscTargets[] = {
    {"vcd", "vcd", "mpeg1video", "mp2", 352, 240, 288, 1150000, 1150000, 1150000, 40 * 1024 * 8,
     224000, 44100, 2, 2324, 1411200, 0.44},
    {"dvd", "dvd", "mpeg2video", "ac3", 720, 480, 576, 6000000, 9000000, 0, 224 * 1024 * 8, 448000,
     48000, 0, 2048, 10080000, 0.0},
};

void ApplyTarget(const DiscTarget& target, Standard standard, JobSpec& job) {
    const bool ntsc = standard == Standard::Ntsc;
    job.frameRate = ntsc ? Rational{30000, 1001} : Rational{25, 1};
    job.muxer = target.muxer;
    job.videoCodec = target.videoCodec;
    job.audioCodec = target.audioCodec;
    job.width = target.width;
    job.height = ntsc ? target.ntscHeight : target.palHeight;
    job.videoBitrate = target.videoBitrate;
    job.audioBitrate = target.audioBitrate;
    job.sampleRate = target.sampleRate;
    if (target.channels > 0) {
        job.channels = target.channels;
    }
    job.target = {true,           ntsc ? 18 : 15,       target.maxRate,
                  target.minRate, target.bufferSize,    target.packetSize,
                  target.muxRate, target.preloadSeconds};
}

// PAL when the input runs at 25 or 50 frames per second, NTSC otherwise.
Standard GuessStandard(const InputFacts& facts) {
    const double rate = facts.frameRate;
    if (std::fabs(rate - 25.0) < 0.01 || std::fabs(rate - 50.0) < 0.01) {
        return Standard::Pal;
    }
    return Standard::Ntsc;
}

}  // namespace

bool ApplyTargetName(const std::string& name, const InputFacts& facts, JobSpec& job) {
    std::string disc = Lower(name);
    Standard standard = GuessStandard(facts);
    for (const auto& [prefix, named] :
         {std::pair{"ntsc-", Standard::Ntsc}, std::pair{"pal-", Standard::Pal}}) {
        if (disc.rfind(prefix, 0) == 0) {
            disc.erase(0, std::strlen(prefix));
            standard = named;
            break;
        }
    }
    for (const DiscTarget& target : kDiscTargets) {
        if (disc == target.disc) {
            ApplyTarget(target, standard, job);
            return true;
        }
    }
    return false;
}

}  // namespace ostrel::engine::ff
