// What an exact seek keeps of the decoded pictures and sound on the way to its target: pure
// functions of timestamps, so they are tested with tables. Times are seconds of media time.
//
// A seek lands on the key frame before the target; of the pictures decoded from there, the
// last one that starts at or before the target is shown first (it is held until a later one
// shows that it was the last), and the sound starts at the target itself.
#pragma once

namespace ostrel::engine::ff {

// No exact seek is under way (the start of the media, or its target was reached).
inline constexpr double kNoTargetS = -1.0;

enum class PictureStep {
    Show,          // no target (any more): show the picture
    Hold,          // at or before the target: it replaces the held picture
    ShowHeldFirst  // the first picture past the target: show the held one (if any), then it
};
PictureStep StepForPicture(double ptsS, double targetS);

// Whether a packet at packetPtsS need not even be decoded unless other pictures refer to it:
// it lies well before the target, so it cannot be the picture shown.
bool SkipUnreferenced(double packetPtsS, double targetS, double frameDurationS);

// How much of a sound frame of samples samples at sampleRate starting at ptsS to keep.
struct SoundCut {
    bool drop = false;     // the whole frame lies before the target
    int skipSamples = 0;   // samples cut from its start, so that it starts at the target
    bool reached = false;  // the target is reached: later frames are kept whole
};
SoundCut CutSound(double ptsS, int samples, int sampleRate, double targetS);

}  // namespace ostrel::engine::ff
