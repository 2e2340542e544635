// The slider's design-time properties as a key/value bag, the form in which a host keeps a
// placed slider's design between runs.
#pragma once

#include <QSize>
#include <QString>
#include <QVariantMap>
#include <cstdint>

#include "widgets/slider/slider_model.h"

namespace ostrel {

// Colours are 32-bit values in blue-green-red order (0xBBGGRR); values with the top bit set
// name system colours by their index in the low byte.
inline constexpr std::uint32_t kSystemColorFlag = 0x80000000;
inline constexpr std::uint32_t kSystemButtonFace = 0x8000000F;
inline constexpr std::uint32_t kSystemButtonText = 0x80000012;
// The background a bag without a stored one restores: red 213, green 222, blue 242.
inline constexpr std::uint32_t kSliderRestoredBackColor = 0xF2DED5;

// Every design-time property: the six the widget's surface carries and the control's own.
struct SliderDesign {
    std::uint32_t BackColor = kSystemButtonFace;
    std::uint32_t ForeColor = kSystemButtonText;
    bool Enabled = true;
    QString Font;  // a font description (QFont::toString); stored but never drawn with
    std::int16_t BackStyle = 1;    // 0 transparent, 1 opaque
    std::int16_t BorderStyle = 0;  // 0 none, 1 single line
    SliderValues Values;
    // The host's record of the control's size, kept beside the properties; empty when the
    // bag holds none.
    QSize SizeTwips;
    bool operator==(const SliderDesign&) const = default;
};

// Writes the keys in lower case. A value equal to its default is left out, except
// "backcolor" and "font", which are always written; the size goes to "_extentx" and
// "_extenty" in hundredths of a millimetre.
QVariantMap WriteSliderBag(const SliderDesign& design);

// Reads keys without regard to case; a missing key gives its default, a missing font the
// container's ambient font and a missing "BackColor" kSliderRestoredBackColor. A value that
// is not a number where a number belongs counts as missing.
SliderDesign ReadSliderBag(const QVariantMap& bag, const QString& ambientFont);

// Twips to hundredths of a millimetre and back, rounded halves to even.
int TwipsToHimetric(int twips);
int HimetricToTwips(int himetric);

}  // namespace ostrel
