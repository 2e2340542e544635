// The level limits of the codecs that device profiles name, as their standards define them:
// H.264 (ITU-T H.264 Table A-1) and MPEG-4 Part 2 Simple and Advanced Simple (ISO/IEC 14496-2
// Annex N). Plain data shared by the option builder and the engine; no dependencies.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace ostrel::codec {

struct H264Level {
    int level;  // level x 10: 30 is 3.0
    int maxMbPerSecond;
    int maxFrameMbs;
    int maxVideoKbps;  // Baseline and Main; High takes 1.25 times as much
    int maxBufferKbit;
    int maxDpbMbs;
};

// clang-format off
inline constexpr H264Level kH264Levels[] = {
    {10, 1485, 99, 64, 175, 396},
    {11, 3000, 396, 192, 500, 900},
    {12, 6000, 396, 384, 1000, 2376},
    {13, 11880, 396, 768, 2000, 2376},
    {20, 11880, 396, 2000, 2000, 2376},
    {21, 19800, 792, 4000, 4000, 4752},
    {22, 20250, 1620, 4000, 4000, 8100},
    {30, 40500, 1620, 10000, 10000, 8100},
    {31, 108000, 3600, 14000, 14000, 18000},
    {32, 216000, 5120, 20000, 20000, 20480},
    {40, 245760, 8192, 20000, 25000, 32768},
    {41, 245760, 8192, 50000, 62500, 32768},
    {42, 522240, 8704, 50000, 62500, 34816},
    {50, 589824, 22080, 135000, 135000, 110400},
    {51, 983040, 36864, 240000, 240000, 184320},
};
// clang-format on

constexpr const H264Level* FindH264Level(int level) {
    const auto* it = std::find_if(std::begin(kH264Levels), std::end(kH264Levels),
                                  [level](const H264Level& row) { return row.level == level; });
    return it == std::end(kH264Levels) ? nullptr : it;
}

struct Mpeg4Level {
    bool advancedSimple;
    int level;  // the number written into profile_and_level_indication
    int maxFrameMbs;
    int maxMbPerSecond;
    int maxVideoKbps;
    int vbvKbit;  // the VBV buffer
};

// clang-format off
inline constexpr Mpeg4Level kMpeg4Levels[] = {
    {false, 1, 99, 1485, 64, 160},
    {false, 2, 396, 5940, 128, 655},
    {false, 3, 396, 11880, 384, 655},
    {false, 4, 1200, 36000, 4000, 1310},  // 4a
    {false, 5, 1620, 40500, 8000, 1835},
    {false, 6, 3600, 108000, 12000, 4063},
    {true, 1, 99, 2970, 128, 160},
    {true, 2, 396, 5940, 384, 655},
    {true, 3, 396, 11880, 768, 655},
    {true, 4, 792, 23760, 3000, 1310},
    {true, 5, 1620, 48600, 8000, 1835},
};
// clang-format on

// The lowest level of the profile that holds the picture, rate and bit rate; the profile's
// highest when none does.
constexpr const Mpeg4Level& ChooseMpeg4Level(bool advancedSimple, int frameMbs, double frameRate,
                                             std::int64_t bitrate) {
    const Mpeg4Level* highest = nullptr;
    for (const Mpeg4Level& row : kMpeg4Levels) {
        if (row.advancedSimple != advancedSimple) {
            continue;
        }
        highest = &row;
        if (frameMbs <= row.maxFrameMbs && frameMbs * frameRate <= row.maxMbPerSecond + 0.5 &&
            bitrate <= std::int64_t{row.maxVideoKbps} * 1000) {
            return row;
        }
    }
    return *highest;
}

}  // namespace ostrel::codec
