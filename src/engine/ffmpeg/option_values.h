// The values inside option strings: whole numbers, decimals, lists, bit rates, tokens and the
// "-vf" filter chain. The option parser and the disc targets read their values through these.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ostrel::engine::ff {

// The whole text as a whole number or a finite decimal; nullopt when any character is left over
// or the value overflows.
std::optional<long> ParseInteger(const std::string& text);
std::optional<double> ParseNumber(const std::string& text);

// The parts between separators, empty ones included.
std::vector<std::string> Split(const std::string& text, char separator);

}  // namespace ostrel::engine::ff
