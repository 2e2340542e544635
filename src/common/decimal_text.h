// Reading numbers that the user typed. Only plain decimal text counts: an optional sign, then
// digits with at most one decimal point. Forms a general parser would also take ("1e3", "inf",
// "0x10", group separators) are refused, because these values travel into the encoder's option
// string as they are.
#pragma once

#include <QChar>
#include <QStringView>
#include <optional>

namespace ostrel {

inline bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The length of the longest leading part of text that is a plain decimal number with at least
// one digit; 0 when there is none.
qsizetype DecimalPrefixLength(QStringView text);

// The value of text when all of it is a plain decimal number of finite value.
std::optional<double> ParseDecimal(QStringView text);

// The value of the longest leading plain decimal number, leading blanks and tabs skipped; 0 when
// there is none.
double LeadingNumberValue(QStringView text);

}  // namespace ostrel
