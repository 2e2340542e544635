// What an exact seek keeps of the pictures and sound decoded on the way to its target.
#include "engine/ffmpeg/player/seek_trim.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ostrel::engine::ff {
namespace {

// Pictures at or before the target are held (the last one is shown first); the first one past
// it shows the held one and goes on; without a target, or without a time, a picture is shown.
TEST(SeekTrim, PicturesUpToTheTargetAreHeld) {
    struct Case {
        double ptsS;
        double targetS;
        PictureStep step;
    };
    const Case cases[] = {
        {1.00, kNoTargetS, PictureStep::Show},   {NAN, 1.0, PictureStep::Show},
        {0.96, 1.0, PictureStep::Hold},          {1.0, 1.0, PictureStep::Hold},
        {1.0000005, 1.0, PictureStep::Hold},  // a time base's rounding: the same moment
        {1.04, 1.0, PictureStep::ShowHeldFirst}, {0.0, 0.0, PictureStep::Hold},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StepForPicture(c.ptsS, c.targetS), c.step) << c.ptsS << " to " << c.targetS;
    }
}

// Only packets well before the target (2.5 pictures or more) go undecoded unless referenced.
TEST(SeekTrim, OnlyPicturesWellBeforeTheTargetAreSkipped) {
    struct Case {
        double packetS;
        double targetS;
        bool skip;
    };
    const Case cases[] = {
        {0.0, 2.0, true},  {1.89, 2.0, true},        {1.91, 2.0, false}, {2.0, 2.0, false},
        {3.0, 2.0, false}, {0.0, kNoTargetS, false}, {NAN, 2.0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SkipUnreferenced(c.packetS, c.targetS, 0.04), c.skip)
            << c.packetS << " to " << c.targetS;
    }
}

// Sound before the target is dropped, the frame across it is cut so that it starts at the
// target, and from there on frames are kept whole.
TEST(SeekTrim, SoundStartsAtTheTarget) {
    struct Case {
        const char* name;
        double ptsS;
        double targetS;
        SoundCut cut;
    };
    // Frames of 100 samples at 1 kHz: 0.1 s each.
    const Case cases[] = {
        {"no target", 5.0, kNoTargetS, {false, 0, true}},
        {"no time", NAN, 1.0, {false, 0, true}},
        {"wholly before", 0.5, 1.0, {true, 0, false}},
        {"ends at the target", 0.9, 1.0, {true, 0, false}},
        {"across the target", 0.95, 1.0, {false, 50, true}},
        {"starts at the target", 1.0, 1.0, {false, 0, true}},
        {"after the target", 1.5, 1.0, {false, 0, true}},
    };
    for (const Case& c : cases) {
        const SoundCut cut = CutSound(c.ptsS, 100, 1000, c.targetS);
        EXPECT_EQ(cut.drop, c.cut.drop) << c.name;
        EXPECT_EQ(cut.skipSamples, c.cut.skipSamples) << c.name;
        EXPECT_EQ(cut.reached, c.cut.reached) << c.name;
    }
}

}  // namespace
}  // namespace ostrel::engine::ff
