#include "devices/light_frame.h"

namespace zepho7::devices {

size_t BuildLightFrame(const LightEngine& engine, std::span<uint8_t> out) {
    const size_t leds = std::min(static_cast<size_t>(engine.LedCount()), out.size() / 3);
    for (size_t i = 0; i < leds; ++i) {
        const LedColour c = engine.Led(static_cast<int>(i));
        out[3 * i] = FrameByte(c.red, c.level);
        out[3 * i + 1] = FrameByte(c.green, c.level);
        out[3 * i + 2] = FrameByte(c.blue, c.level);
    }
    return leds * 3;
}

}  // namespace zepho7::devices
