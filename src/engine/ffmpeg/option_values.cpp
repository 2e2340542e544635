#include "engine/ffmpeg/option_values.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <string_view>

#include "engine/ffmpeg/job.h"

namespace ostrel::engine::ff {
namespace {

// The whole text as a number: the conversion must take every character, without overflow.
template <typename T, typename Convert>
std::optional<T> ParseWhole(const std::string& text, Convert convert) {
    if (text.empty()) {
        return std::nullopt;
    }
    errno = 0;
    char* end = nullptr;
    const T value = convert(text.c_str(), &end);
    if (errno != 0 || end == nullptr || *end != '\0') {
        return std::nullopt;
    }
    return value;
}

// The filters of "-vf": each parses its arguments (none when there is no "=") into a step.
struct FilterRow {
    std::string_view name;
    bool (*parse)(const std::optional<std::string>& arguments, FilterStep& step);
};

// "crop=w:h[:x:y]": a size of at least 1, a position of at least 0.
bool ParseCrop(const std::optional<std::string>& arguments, FilterStep& step) {
    const std::vector<std::string> values = Split(arguments.value_or(""), ':');
    if (!arguments || values.size() < 2 || values.size() > 4) {
        return false;
    }
    std::array<long, 4> numbers = {0, 0, -1, -1};
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto number = ParseInteger(values[i]);
        if (!number || *number < (i < 2 ? 1 : 0) || *number > 65536) {
            return false;
        }
        numbers[i] = *number;
    }
    step.kind = FilterStep::Kind::Crop;
    step.width = static_cast<int>(numbers[0]);
    step.height = static_cast<int>(numbers[1]);
    step.x = static_cast<int>(numbers[2]);
    step.y = static_cast<int>(numbers[3]);
    return true;
}

// "scale=w:h"; -1 keeps the aspect ratio from the other side, as in ffmpeg's scale filter.
bool ParseScale(const std::optional<std::string>& arguments, FilterStep& step) {
    const std::vector<std::string> values = Split(arguments.value_or(""), ':');
    if (!arguments || values.size() != 2) {
        return false;
    }
    const auto w = ParseInteger(values[0]);
    const auto h = ParseInteger(values[1]);
    if (!w || !h || *w == 0 || *h == 0 || *w < -1 || *h < -1 || (*w < 0 && *h < 0) || *w > 16384 ||
        *h > 16384) {
        return false;
    }
    step.kind = FilterStep::Kind::Scale;
    step.width = static_cast<int>(*w);
    step.height = static_cast<int>(*h);
    return true;
}

bool ParseRotate(const std::optional<std::string>& arguments, FilterStep& step) {
    const auto degrees = ParseNumber(arguments.value_or(""));
    if (!degrees || arguments->find(':') != std::string::npos || std::fabs(*degrees) > 1e6) {
        return false;
    }
    step.kind = FilterStep::Kind::Rotate;
    step.degrees = *degrees;
    return true;
}

const FilterRow kFilters[] = {
    {"crop", ParseCrop},
    {"scale", ParseScale},
    {"vflip",
     [](const std::optional<std::string>& arguments, FilterStep& step) {
         step.kind = FilterStep::Kind::VFlip;
         return !arguments.has_value();
     }},
    {"hflip",
     [](const std::optional<std::string>& arguments, FilterStep& step) {
         step.kind = FilterStep::Kind::HFlip;
         return !arguments.has_value();
     }},
    {"rotate", ParseRotate},
};

}  // namespace

std::optional<long> ParseInteger(const std::string& text) {
    return ParseWhole<long>(
        text, [](const char* start, char** end) { return std::strtol(start, end, 10); });
}

std::optional<double> ParseNumber(const std::string& text) {
    const auto value = ParseWhole<double>(
        text, [](const char* start, char** end) { return std::strtod(start, end); });
    return value && std::isfinite(*value) ? value : std::nullopt;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (c == separator) {
            parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    parts.push_back(current);
    return parts;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool SplitTokens(const std::string& text, std::vector<std::string>& tokens, std::string& error) {
    tokens.clear();
    std::string current;
    bool inToken = false;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inToken = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
            if (inToken) {
                tokens.push_back(current);
                current.clear();
                inToken = false;
            }
        } else {
            current += c;
            inToken = true;
        }
    }
    if (quoted) {
        error = "Unterminated quote in the options: " + text;
        return false;
    }
    if (inToken) {
        tokens.push_back(current);
    }
    return true;
}

std::optional<std::int64_t> ParseBitrate(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::string digits = text;
    double scale = 1.0;
    const char last = digits.back();
    if (last == 'k' || last == 'K') {
        scale = 1000.0;
        digits.pop_back();
    } else if (last == 'M' || last == 'm') {
        scale = 1000000.0;
        digits.pop_back();
    }
    const auto value = ParseNumber(digits);
    if (!value || *value < 0.0 || *value * scale > 1e11) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(std::llround(*value * scale));
}

bool ParseFilterChain(const std::string& chain, std::vector<FilterStep>& steps,
                      std::string& error) {
    steps.clear();
    if (chain.empty()) {
        return true;
    }
    for (const std::string& item : Split(chain, ',')) {
        const auto equals = item.find('=');
        const std::string name = Lower(item.substr(0, equals));
        const auto row = std::find_if(std::begin(kFilters), std::end(kFilters),
                                      [&](const FilterRow& entry) { return name == entry.name; });
        if (row == std::end(kFilters)) {
            error = "Unknown filter in -vf: " + item;
            return false;
        }
        FilterStep step;
        const std::optional<std::string> arguments =
            equals == std::string::npos ? std::nullopt
                                        : std::optional<std::string>(item.substr(equals + 1));
        if (!row->parse(arguments, step)) {
            error = "Bad filter value in -vf: " + item;
            return false;
        }
        steps.push_back(step);
    }
    return true;
}

}  // namespace ostrel::engine::ff
