#include "widgets/slider/slider_input.h"

#include <gtest/gtest.h>

namespace ostrel {
namespace {

TEST(SliderInputTest, KeyCodes) {
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        int code;
    } cases[] = {
        {Qt::Key_PageUp, Qt::NoModifier, 33},    {Qt::Key_PageDown, Qt::NoModifier, 34},
        {Qt::Key_End, Qt::NoModifier, 35},       {Qt::Key_Home, Qt::NoModifier, 36},
        {Qt::Key_Left, Qt::KeypadModifier, 37},  {Qt::Key_Up, Qt::NoModifier, 38},
        {Qt::Key_Right, Qt::ShiftModifier, 39},  {Qt::Key_Down, Qt::NoModifier, 40},
        {Qt::Key_A, Qt::NoModifier, 65},         {Qt::Key_Z, Qt::ShiftModifier, 90},
        {Qt::Key_0, Qt::NoModifier, 48},         {Qt::Key_7, Qt::KeypadModifier, 103},
        {Qt::Key_Exclam, Qt::ShiftModifier, 49}, {Qt::Key_F1, Qt::NoModifier, 112},
        {Qt::Key_F12, Qt::NoModifier, 123},      {Qt::Key_Return, Qt::NoModifier, 13},
        {Qt::Key_Enter, Qt::KeypadModifier, 13}, {Qt::Key_Escape, Qt::NoModifier, 27},
        {Qt::Key_Space, Qt::NoModifier, 32},     {Qt::Key_Delete, Qt::NoModifier, 46},
        {Qt::Key_Plus, Qt::KeypadModifier, 107}, {Qt::Key_Plus, Qt::ShiftModifier, 187},
        {Qt::Key_Minus, Qt::NoModifier, 189},    {Qt::Key_Shift, Qt::ShiftModifier, 16},
        {Qt::Key_VolumeUp, Qt::NoModifier, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SliderKeyCode(c.key, c.modifiers), c.code) << std::hex << c.key;
    }
}

TEST(SliderInputTest, ButtonAndShiftBits) {
    EXPECT_EQ(SliderButtonBits(Qt::LeftButton), 1);
    EXPECT_EQ(SliderButtonBits(Qt::RightButton), 2);
    EXPECT_EQ(SliderButtonBits(Qt::MiddleButton), 4);
    EXPECT_EQ(SliderButtonBits(Qt::LeftButton | Qt::MiddleButton | Qt::BackButton), 5);
    EXPECT_EQ(SliderButtonBits(Qt::NoButton), 0);
    EXPECT_EQ(SliderShiftBits(Qt::ShiftModifier | Qt::AltModifier), 5);
    EXPECT_EQ(SliderShiftBits(Qt::ControlModifier | Qt::KeypadModifier), 2);
    EXPECT_EQ(SliderShiftBits(Qt::MetaModifier), 0);
}

}  // namespace
}  // namespace ostrel
