#include "common/decimal_text.h"

#include <cmath>

namespace ostrel {
namespace {

std::optional<double> FiniteValue(QStringView text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

qsizetype DecimalPrefixLength(QStringView text) {
    qsizetype end = 0;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        ++end;
    }
    bool sawDigit = false;
    bool sawPoint = false;
    for (; end < text.size(); ++end) {
        if (IsAsciiDigit(text[end])) {
            sawDigit = true;
        } else if (text[end] == u'.' && !sawPoint) {
            sawPoint = true;
        } else {
            break;
        }
    }
    return sawDigit ? end : 0;
}

std::optional<double> ParseDecimal(QStringView text) {
    const qsizetype length = DecimalPrefixLength(text);
    if (length == 0 || length != text.size()) {
        return std::nullopt;
    }
    return FiniteValue(text);
}

double LeadingNumberValue(QStringView text) {
    qsizetype start = 0;
    while (start < text.size() && (text[start] == u' ' || text[start] == u'\t')) {
        ++start;
    }
    const QStringView rest = text.mid(start);
    const qsizetype length = DecimalPrefixLength(rest);
    return length == 0 ? 0.0 : FiniteValue(rest.left(length)).value_or(0.0);
}

}  // namespace ostrel
