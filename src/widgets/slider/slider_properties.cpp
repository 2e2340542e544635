#include "widgets/slider/slider_properties.h"

#include <limits>
#include <optional>

#include "common/rounding.h"

namespace ostrel {

namespace {

// The control-owned 32-bit properties in the order they are written.
struct IntegerKey {
    const char* Key;
    std::int32_t SliderValues::*Member;
};
constexpr IntegerKey kIntegerKeys[] = {
    {"value", &SliderValues::Value},
    {"min", &SliderValues::Min},
    {"smallchange", &SliderValues::SmallChange},
    {"largechange", &SliderValues::LargeChange},
    {"max", &SliderValues::Max},
    {"ticknumber", &SliderValues::TickNumber},
    {"selstart", &SliderValues::SelStart},
    {"sellength", &SliderValues::SelLength},
};

template <typename T>
void WriteUnlessDefault(QVariantMap& bag, const char* key, T value, T fallback) {
    if (value != fallback) {
        bag.insert(QString::fromLatin1(key), QVariant::fromValue(value));
    }
}

// The bag's keys folded to lower case, so that reading ignores case.
QVariantMap LowerCaseKeys(const QVariantMap& bag) {
    QVariantMap lower;
    for (auto it = bag.cbegin(); it != bag.cend(); ++it) {
        lower.insert(it.key().toLower(), it.value());
    }
    return lower;
}

std::optional<qlonglong> ReadNumber(const QVariantMap& bag, const char* key, qlonglong lowest,
                                    qlonglong highest) {
    const auto it = bag.constFind(QString::fromLatin1(key));
    if (it == bag.cend()) {
        return std::nullopt;
    }
    bool ok = false;
    const qlonglong number = it->toLongLong(&ok);
    if (!ok || number < lowest || number > highest) {
        return std::nullopt;
    }
    return number;
}

template <typename T>
T ReadInteger(const QVariantMap& bag, const char* key, T fallback) {
    const std::optional<qlonglong> number =
        ReadNumber(bag, key, std::numeric_limits<T>::min(), std::numeric_limits<T>::max());
    return number ? static_cast<T>(*number) : fallback;
}

// Colours may have been kept signed or unsigned; both spell the same 32 bits.
std::uint32_t ReadColor(const QVariantMap& bag, const char* key, std::uint32_t fallback) {
    const std::optional<qlonglong> number =
        ReadNumber(bag, key, std::numeric_limits<std::int32_t>::min(),
                   std::numeric_limits<std::uint32_t>::max());
    return number ? static_cast<std::uint32_t>(*number) : fallback;
}

bool ReadBool(const QVariantMap& bag, const char* key, bool fallback) {
    const auto it = bag.constFind(QString::fromLatin1(key));
    return it == bag.cend() ? fallback : it->toBool();
}

}  // namespace

QVariantMap WriteSliderBag(const SliderDesign& design) {
    const SliderDesign defaults;
    QVariantMap bag;
    bag.insert(QStringLiteral("backcolor"), QVariant::fromValue(design.BackColor));
    WriteUnlessDefault(bag, "forecolor", design.ForeColor, defaults.ForeColor);
    WriteUnlessDefault(bag, "enabled", design.Enabled, defaults.Enabled);
    bag.insert(QStringLiteral("font"), design.Font);
    WriteUnlessDefault(bag, "backstyle", design.BackStyle, defaults.BackStyle);
    WriteUnlessDefault(bag, "borderstyle", design.BorderStyle, defaults.BorderStyle);
    for (const IntegerKey& entry : kIntegerKeys) {
        WriteUnlessDefault(bag, entry.Key, design.Values.*entry.Member,
                           defaults.Values.*entry.Member);
    }
    WriteUnlessDefault(bag, "showticks", design.Values.ShowTicks, defaults.Values.ShowTicks);
    if (design.SizeTwips.isValid()) {
        bag.insert(QStringLiteral("_extentx"), TwipsToHimetric(design.SizeTwips.width()));
        bag.insert(QStringLiteral("_extenty"), TwipsToHimetric(design.SizeTwips.height()));
    }
    return bag;
}

SliderDesign ReadSliderBag(const QVariantMap& stored, const QString& ambientFont) {
    const QVariantMap bag = LowerCaseKeys(stored);
    SliderDesign design;
    design.BackColor = ReadColor(bag, "backcolor", kSliderRestoredBackColor);
    design.ForeColor = ReadColor(bag, "forecolor", design.ForeColor);
    design.Enabled = ReadBool(bag, "enabled", design.Enabled);
    const auto font = bag.constFind(QStringLiteral("font"));
    design.Font = font == bag.cend() ? ambientFont : font->toString();
    design.BackStyle = ReadInteger(bag, "backstyle", design.BackStyle);
    design.BorderStyle = ReadInteger(bag, "borderstyle", design.BorderStyle);
    for (const IntegerKey& entry : kIntegerKeys) {
        design.Values.*entry.Member = ReadInteger(bag, entry.Key, design.Values.*entry.Member);
    }
    design.Values.ShowTicks = ReadBool(bag, "showticks", design.Values.ShowTicks);
    const std::optional<qlonglong> width =
        ReadNumber(bag, "_extentx", 0, std::numeric_limits<int>::max());
    const std::optional<qlonglong> height =
        ReadNumber(bag, "_extenty", 0, std::numeric_limits<int>::max());
    if (width && height) {
        design.SizeTwips = QSize(HimetricToTwips(static_cast<int>(*width)),
                                 HimetricToTwips(static_cast<int>(*height)));
    }
    return design;
}

// 1440 twips and 2540 hundredths of a millimetre are both one inch.
int TwipsToHimetric(int twips) {
    return RoundHalfEvenToInt32(twips * 2540.0 / 1440.0).value_or(0);
}

int HimetricToTwips(int himetric) {
    return RoundHalfEvenToInt32(himetric * 1440.0 / 2540.0).value_or(0);
}

}  // namespace ostrel
