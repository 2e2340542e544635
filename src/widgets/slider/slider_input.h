// Qt's keys, buttons and modifiers in the slider's event terms: Windows virtual-key codes,
// and the bit sets 1 primary, 2 secondary, 4 middle and 1 Shift, 2 Ctrl, 4 Alt.
#pragma once

#include <Qt>

namespace ostrel {

// Bits of the Button parameter of the pointer events.
inline constexpr int kSliderPrimaryButton = 1;
inline constexpr int kSliderSecondaryButton = 2;
inline constexpr int kSliderMiddleButton = 4;

// Bits of the Shift parameter of the pointer and key events.
inline constexpr int kSliderShiftKey = 1;
inline constexpr int kSliderCtrlKey = 2;
inline constexpr int kSliderAltKey = 4;

// Key codes the slider acts on.
inline constexpr int kSliderKeyPageUp = 33;
inline constexpr int kSliderKeyPageDown = 34;
inline constexpr int kSliderKeyLeft = 37;
inline constexpr int kSliderKeyUp = 38;
inline constexpr int kSliderKeyRight = 39;
inline constexpr int kSliderKeyDown = 40;

// The virtual-key code of a Qt key (US layout for punctuation); 0 for keys without one.
// The keypad modifier picks the number pad's own codes for digits and operators.
int SliderKeyCode(int qtKey, Qt::KeyboardModifiers modifiers);

// Buttons outside primary, secondary and middle have no bit.
int SliderButtonBits(Qt::MouseButtons buttons);
int SliderShiftBits(Qt::KeyboardModifiers modifiers);

}  // namespace ostrel
