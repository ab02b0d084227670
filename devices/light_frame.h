// Frame building: the bytes streamed to a device (red, green, blue per LED, each scaled by the
// LED's level) and the tint value a key button preview shows. Builds into caller storage and
// never allocates.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "devices/light_engine.h"

namespace zepho7::devices {

inline constexpr size_t kMaxFrameBytes = kMaxLeds * 3;
using LightFrame = std::array<uint8_t, kMaxFrameBytes>;

// The preview tint: red | blue << 8 | green << 16.
constexpr uint32_t TintValue(LedColour c) {
    return static_cast<uint32_t>(c.red) | (static_cast<uint32_t>(c.blue) << 8) |
           (static_cast<uint32_t>(c.green) << 16);
}

// Colour × level ÷ 256, the high byte of the 16-bit product.
constexpr uint8_t FrameByte(uint8_t colour, uint8_t level) {
    return static_cast<uint8_t>((colour * level) >> 8);
}

// Fills 3 bytes per LED of the engine; the number of bytes written (LED count × 3, limited to
// the room in `out`).
size_t BuildLightFrame(const LightEngine& engine, std::span<uint8_t> out);

}  // namespace zepho7::devices
