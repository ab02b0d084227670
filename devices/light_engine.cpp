#include "devices/light_engine.h"

#include <algorithm>
#include <bit>

namespace zepho7::devices {

void LightEngine::SetLedCount(int count) {
    led_count_.store(std::clamp(count, 0, kMaxLeds), std::memory_order_relaxed);
    for (auto& led : leds_)
        led.store(0, std::memory_order_relaxed);
}

void LightEngine::SetSettings(const EffectSettings& s) {
    settings_.store(std::bit_cast<uint64_t>(s), std::memory_order_relaxed);
}

EffectSettings LightEngine::Settings() const {
    return std::bit_cast<EffectSettings>(settings_.load(std::memory_order_relaxed));
}

LedColour LightEngine::Led(int index) const {
    if (index < 0 || index >= LedCount())
        return {};
    return LedColour::Unpack(leds_[static_cast<size_t>(index)].load(std::memory_order_relaxed));
}

void LightEngine::SetLed(int index, LedColour colour) {
    if (index < 0 || index >= LedCount())
        return;
    leds_[static_cast<size_t>(index)].store(colour.Pack(), std::memory_order_relaxed);
}

void LightEngine::FillAll(LedColour colour) {
    const uint32_t packed = colour.Pack();
    const int count = LedCount();
    for (int i = 0; i < count; ++i)
        leds_[static_cast<size_t>(i)].store(packed, std::memory_order_relaxed);
}

namespace {
Rgb Fixed(const EffectSettings& s) {
    return {s.red, s.green, s.blue};
}
uint8_t Bright(const EffectSettings& s) {
    return kBrightness[Index5(s.brightness)];
}
}  // namespace

void LightEngine::StepStatic() {
    const EffectSettings s = Settings();
    FillAll(LedColour::Of(Fixed(s), Bright(s)));
}

void LightEngine::StepBreathing() {
    const EffectSettings s = Settings();
    EffectCounters& c = counters_;
    c.phase = Step(s.direction, 128, c.phase, 1);
    if (c.phase == 0) {
        c.colour_index = static_cast<uint8_t>(c.colour_index + 16);
        if (c.colour_index > 192)
            c.colour_index = 0;
    }
    const Rgb colour = s.multi_color != 0 ? kColourWheel[c.colour_index] : Fixed(s);
    FillAll(LedColour::Of(colour, Scale(Bright(s), kBreathingCurve[c.phase & 127])));
}

void LightEngine::StepBreathingFourColours() {
    const EffectSettings s = Settings();
    EffectCounters& c = counters_;
    c.phase = Step(s.direction, 128, c.phase, 1);
    if (c.phase == 0) {
        c.colour_index = static_cast<uint8_t>(c.colour_index + 1);
        if (c.colour_index > 3)
            c.colour_index = 0;
    }
    FillAll(LedColour::Of(kBasicColours[c.colour_index & 3],
                          Scale(Bright(s), kBreathingCurve[c.phase & 127])));
}

void LightEngine::StepSpectrum() {
    const EffectSettings s = Settings();
    counters_.phase = Step(s.direction, 192, counters_.phase, 1);
    FillAll(LedColour::Of(kColourWheel[counters_.phase], Bright(s)));
}

void LightEngine::StepFlash(uint32_t now_ms) {
    const EffectSettings s = Settings();
    EffectCounters& c = counters_;
    if (now_ms - c.last_flash_tick >= kFlashPeriod[Index5(s.speed)] * kFlashUnitMs) {
        c.flash_on = c.flash_on != 0 ? 0 : 1;
        c.last_flash_tick = now_ms;
        c.phase = static_cast<uint8_t>(c.phase + 16);
        if (c.phase >= 192)
            c.phase = 0;
    }
    if (c.flash_on == 0) {
        FillAll({});
        return;
    }
    const Rgb colour = s.multi_color != 0 ? kColourWheel[c.phase] : Fixed(s);
    FillAll(LedColour::Of(colour, Bright(s)));
}

void LightEngine::StepFlashFourColours(uint32_t now_ms) {
    const EffectSettings s = Settings();
    EffectCounters& c = counters_;
    if (now_ms - c.last_flash_tick >= kFlashPeriod[Index5(s.speed)] * kFlashUnitMs) {
        c.flash_on = c.flash_on != 0 ? 0 : 1;
        c.last_flash_tick = now_ms;
        c.phase = static_cast<uint8_t>(c.phase + 1);
        if (c.phase > 3)
            c.phase = 0;
    }
    if (c.flash_on == 0) {
        FillAll({});
        return;
    }
    FillAll(LedColour::Of(kBasicColours[c.phase & 3], Bright(s)));
}

void LightEngine::StepOff() {
    FillAll({});
}

uint8_t LightEngine::StepLevel(int led, int mode) {
    if (led < 0 || led >= kMaxLeds)
        return 0;
    const int v = counters_.levels[static_cast<size_t>(led)];
    int d = 0;
    if (mode == 0) {
        d = v >= 128 ? 40 : v >= 64 ? 30 : v >= 32 ? 15 : v > 16 ? 8 : v > 0 ? 1 : 0;
    } else if (mode == 11 || mode == 29) {
        d = v >= 144   ? 45
            : v >= 128 ? 40
            : v >= 112 ? 35
            : v >= 96  ? 30
            : v >= 80  ? 25
            : v >= 64  ? 20
            : v >= 32  ? 10
            : v > 16   ? 5
            : v > 0    ? 1
                       : 0;
    } else {
        d = v >= 128 ? 40 : v >= 64 ? 30 : v >= 32 ? 10 : v > 16 ? 8 : v > 0 ? 1 : 0;
    }
    const auto next = static_cast<uint8_t>(std::max(v - d, 0));
    counters_.levels[static_cast<size_t>(led)] = next;
    return next;
}

void LightEngine::TriggerRipple() {
    for (size_t p = 0; p < 9; ++p) {
        if (counters_.ripple[p] != 0)
            counters_.levels[p] = 255;
    }
}

void LightEngine::RotateRipple(int direction) {
    auto& r = counters_.ripple;
    if (direction != 0)
        std::rotate(r.rbegin(), r.rbegin() + 1, r.rend());  // up: the last comes to 0
    else
        std::rotate(r.begin(), r.begin() + 1, r.end());  // down: the first goes to 22
}

void LightEngine::ClearLightBuffers() {
    counters_.levels.fill(0);
    counters_.ripple.fill(0);
}

}  // namespace zepho7::devices
