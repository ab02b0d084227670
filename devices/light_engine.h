// The host-side lighting engine of a device: the LED colour buffer, the effect counters and the
// base effects every device family shares. Effects are table lookups and integer arithmetic
// and never allocate.
//
// Threads: the LED colours and the settings are read by the frame builder on another thread
// while the light thread steps, so both are kept in relaxed atomics (a frame may mix two steps,
// but every value is whole). The counters belong to whoever runs the steps; the device
// serialises that (see CNerioUSBDevice::EffectGuard).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "devices/effect_tables.h"

namespace zepho7::devices {

// One LED's colour and level (255 = full).
struct LedColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t level = 0;
    constexpr bool operator==(const LedColour&) const = default;
    constexpr uint32_t Pack() const {
        return static_cast<uint32_t>(red) | (static_cast<uint32_t>(green) << 8) |
               (static_cast<uint32_t>(blue) << 16) | (static_cast<uint32_t>(level) << 24);
    }
    static constexpr LedColour Unpack(uint32_t v) {
        return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
    }
    static constexpr LedColour Of(Rgb c, uint8_t level) { return {c.red, c.green, c.blue, level}; }
};
static_assert(sizeof(LedColour) == 4);

// What the effects need of the light state.
struct EffectSettings {
    uint8_t mode = 0;
    uint8_t brightness = 0;  // index 0..4
    uint8_t speed = 0;       // index 0..4
    uint8_t direction = 0;
    uint8_t multi_color = 0;  // colour cycling
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    constexpr bool operator==(const EffectSettings&) const = default;
};
static_assert(sizeof(EffectSettings) == 8);

inline constexpr int kMaxLeds = 170;  // also the "no LED" mark of the per-type maps
inline constexpr int kRippleSize = 23;

// Counters of the effects; owned by the thread that steps.
struct EffectCounters {
    uint8_t phase = 0;
    uint8_t colour_index = 0;
    uint8_t flash_on = 0;
    uint32_t last_flash_tick = 0;
    std::array<uint8_t, kMaxLeds> levels{};
    std::array<uint8_t, kMaxLeds> colour_indices{};
    std::array<uint8_t, kMaxLeds> reactive_states{};  // 0 idle, 1 rising, 2 falling
    std::array<uint8_t, kRippleSize> ripple{};
};

class LightEngine {
  public:
    LightEngine() = default;
    LightEngine(const LightEngine&) = delete;
    LightEngine& operator=(const LightEngine&) = delete;

    // Clamped to 0..170; every LED colour becomes 0.
    void SetLedCount(int count);
    [[nodiscard]] int LedCount() const { return led_count_.load(std::memory_order_relaxed); }

    void SetSettings(const EffectSettings& s);
    [[nodiscard]] EffectSettings Settings() const;

    // Out-of-range indices are ignored; Led returns 0 there.
    [[nodiscard]] LedColour Led(int index) const;
    void SetLed(int index, LedColour colour);
    void FillAll(LedColour colour);

    // Base effects.
    void StepStatic();
    void StepBreathing();
    void StepBreathingFourColours();
    void StepSpectrum();
    void StepFlash(uint32_t now_ms);
    void StepFlashFourColours(uint32_t now_ms);
    void StepOff();
    // Decays the level of one LED by the curve of `mode`; the new level (0 for a bad index).
    uint8_t StepLevel(int led, int mode);
    void TriggerRipple();
    void RotateRipple(int direction);
    void ClearLightBuffers();

    EffectCounters& Counters() { return counters_; }
    const EffectCounters& Counters() const { return counters_; }

  private:
    std::array<std::atomic<uint32_t>, kMaxLeds> leds_{};
    std::atomic<int> led_count_{0};
    std::atomic<uint64_t> settings_{0};
    EffectCounters counters_;
};

// bright × level ÷ 256, the scaling of every effect.
constexpr uint8_t Scale(uint8_t bright, uint8_t level) {
    return static_cast<uint8_t>((bright * level) >> 8);
}

}  // namespace zepho7::devices
