// The slider's own properties, as the model keeps them and a design stores them.
#pragma once

#include <cstdint>

namespace ostrel {

// The control-owned properties, with their values on creation.
struct SliderValues {
    std::int32_t Value = 0;
    std::int32_t Min = 0;
    std::int32_t SmallChange = 1;
    std::int32_t LargeChange = 10;
    bool ShowTicks = true;
    std::int32_t Max = 1000;
    std::int32_t TickNumber = 10;
    std::int32_t SelStart = 0;
    std::int32_t SelLength = 0;
    bool operator==(const SliderValues&) const = default;
};

}  // namespace ostrel
