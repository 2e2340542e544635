#include "common/duration.h"

#include <cmath>

#include "common/rounding.h"

namespace ostrel {
namespace {

// A field padded to at least two digits; larger numbers are written in full.
QString TwoDigits(long long value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

}  // namespace

QString FormatDuration(double seconds) {
    if (!(seconds > 0.0) || seconds >= 2147483647.5) {
        return QStringLiteral("00:00:00");
    }
    // Round once to whole seconds, then split, so no field can read 60.
    // Below a minute halves go away from zero, from a minute on to the even neighbour.
    const long long total =
        seconds < 60.0 ? std::llround(seconds) : RoundHalfEven(seconds).value_or(0);
    const long long hours = total / 3600;
    const long long minutes = (total / 60) % 60;
    const long long secs = total % 60;
    return TwoDigits(hours) + QLatin1Char(':') + TwoDigits(minutes) + QLatin1Char(':') +
           TwoDigits(secs);
}

std::int64_t MakeInt64(std::int32_t low, std::int32_t high) {
    const std::uint64_t bits =
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) |
        static_cast<std::uint32_t>(low);
    return static_cast<std::int64_t>(bits);
}

std::int64_t MakeInt64(const Int64Pair& pair) {
    return MakeInt64(pair.Low, pair.High);
}

void SplitInt64(Int64Pair& pair, std::int64_t value) {
    const auto bits = static_cast<std::uint64_t>(value);
    pair.Low = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits & 0xFFFFFFFFu));
    pair.High = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits >> 32));
}

double MicrosecondsToSeconds(std::int32_t low, std::int32_t high) {
    return static_cast<double>(MakeInt64(low, high)) / 10000.0 / 100.0;
}

double MicrosecondsToSeconds(const Int64Pair& pair) {
    return MicrosecondsToSeconds(pair.Low, pair.High);
}

bool Int64IsPositive(std::int32_t low, std::int32_t high) {
    return MakeInt64(low, high) > 0;
}

bool Int64IsPositive(const Int64Pair& pair) {
    return Int64IsPositive(pair.Low, pair.High);
}

}  // namespace ostrel
