// Time and 64-bit helpers shared by the list, the conversion run and the player.
#pragma once

#include <QString>
#include <cstdint>

namespace ostrel {

// Seconds as "hh:mm:ss" (hours grow past two digits). Not-positive and NaN give "00:00:00".
QString FormatDuration(double seconds);

// A 64-bit value as it crosses the engine boundary: two 32-bit halves, low half first.
struct Int64Pair {
    std::int32_t Low = 0;
    std::int32_t High = 0;
};

// high * 2^32 + low, the low half taken as unsigned; two's complement result.
std::int64_t MakeInt64(std::int32_t low, std::int32_t high);
std::int64_t MakeInt64(const Int64Pair& pair);
void SplitInt64(Int64Pair& pair, std::int64_t value);

double MicrosecondsToSeconds(std::int32_t low, std::int32_t high);
double MicrosecondsToSeconds(const Int64Pair& pair);

// True when the value is not 0 and not negative.
bool Int64IsPositive(std::int32_t low, std::int32_t high);
bool Int64IsPositive(const Int64Pair& pair);

}  // namespace ostrel
