#include "engine/ffmpeg/player/seek_trim.h"

#include <cmath>

namespace ostrel::engine::ff {
namespace {

// Timestamps converted from time bases are not exact: a picture this close to the target
// starts at it.
constexpr double kSameTimeS = 1e-6;
// Pictures this many frame durations before the target are well before it.
constexpr double kWellBeforeFrames = 2.5;

}  // namespace

PictureStep StepForPicture(double ptsS, double targetS) {
    if (targetS < 0.0 || std::isnan(ptsS)) {
        return PictureStep::Show;
    }
    return ptsS <= targetS + kSameTimeS ? PictureStep::Hold : PictureStep::ShowHeldFirst;
}

bool SkipUnreferenced(double packetPtsS, double targetS, double frameDurationS) {
    return targetS >= 0.0 && !std::isnan(packetPtsS) &&
           packetPtsS < targetS - kWellBeforeFrames * frameDurationS;
}

SoundCut CutSound(double ptsS, int samples, int sampleRate, double targetS) {
    SoundCut cut;
    if (targetS < 0.0 || std::isnan(ptsS) || sampleRate <= 0) {
        cut.reached = true;
        return cut;
    }
    const double endS = ptsS + static_cast<double>(samples) / sampleRate;
    if (endS <= targetS) {
        cut.drop = true;  // wholly before the target
        return cut;
    }
    const int skip = static_cast<int>(std::lrint((targetS - ptsS) * sampleRate));
    if (skip > 0 && skip < samples) {
        cut.skipSamples = skip;
    }
    cut.reached = true;
    return cut;
}

}  // namespace ostrel::engine::ff
