#include "devices/led_effects.h"

#include <algorithm>

namespace zepho7::devices {

namespace {

// Entries that have an LED: at most the LED count, never beyond the buffers.
size_t Reach(LedEffectPasses::Entries entries, const LightEngine& engine) {
    return std::min(
        {entries.size(), static_cast<size_t>(engine.LedCount()), static_cast<size_t>(kMaxLeds)});
}

bool Is(const storage::LedEffect& e, LedEffectKind kind) {
    return e.present != 0 && e.mode == kind;
}

uint8_t Bright(const storage::LedEffect& e) {
    return kBrightness[Index5(e.brightness)];
}
Rgb Own(const storage::LedEffect& e) {
    return {e.red, e.green, e.blue};
}

}  // namespace

void LedEffectPasses::Breathing(Entries entries, LightEngine& engine, bool reset) {
    if (reset) {
        state_.breath_phase.fill(0);
        state_.breath_colour.fill(0);
    }
    const size_t n = Reach(entries, engine);
    for (size_t i = 0; i < n; ++i) {
        const storage::LedEffect& e = entries[i];
        if (!Is(e, kLedBreathing))
            continue;
        int phase = (state_.breath_phase[i] + Index5(e.speed) + 4) & 0xFF;
        if (phase >= 128) {
            phase = 0;
            int colour = state_.breath_colour[i] + 1;
            if (colour > 192)
                colour = 191;
            state_.breath_colour[i] = static_cast<uint8_t>(colour);
        }
        state_.breath_phase[i] = static_cast<uint8_t>(phase);
        const Rgb c = e.multi_color != 0 ? kColourWheel[state_.breath_colour[i]] : Own(e);
        engine.SetLed(
            static_cast<int>(i),
            LedColour::Of(c, Scale(kBreathingCurve[static_cast<size_t>(phase)], Bright(e))));
    }
}

void LedEffectPasses::Steady(Entries entries, LightEngine& engine, bool /*reset*/) {
    const size_t n = Reach(entries, engine);
    for (size_t i = 0; i < n; ++i) {
        if (Is(entries[i], kLedSteady))
            engine.SetLed(static_cast<int>(i), LedColour::Of(Own(entries[i]), Bright(entries[i])));
    }
}

void LedEffectPasses::Flash(Entries entries, LightEngine& engine, uint32_t now_ms, bool reset) {
    if (reset) {
        state_.flash_last.fill(0);
        state_.flash_position.fill(0);
        state_.flash_on.fill(0);
        state_.flash_armed.fill(1);
        for (size_t i = 0; i < kMaxLeds; ++i) {
            const uint8_t speed = i < entries.size() ? entries[i].speed : 0;
            state_.flash_period[i] = kFlashPeriod[Index5(speed)] * kFlashUnitMs;
        }
    }
    const size_t n = Reach(entries, engine);
    for (size_t i = 0; i < n; ++i) {
        const storage::LedEffect& e = entries[i];
        if (!Is(e, kLedFlash))
            continue;
        if (state_.flash_armed[i] != 0 || now_ms - state_.flash_last[i] >= state_.flash_period[i]) {
            state_.flash_armed[i] = 0;
            state_.flash_on[i] = state_.flash_on[i] != 0 ? 0 : 1;
            state_.flash_last[i] = now_ms;
            const int position = state_.flash_position[i] + 14;
            state_.flash_position[i] = static_cast<uint8_t>(position > 191 ? 0 : position);
        }
        if (state_.flash_on[i] == 0) {
            engine.SetLed(static_cast<int>(i), {});
            continue;
        }
        const Rgb c = e.multi_color != 0 ? kColourWheel[state_.flash_position[i]] : Own(e);
        engine.SetLed(static_cast<int>(i), LedColour::Of(c, Bright(e)));
    }
}

void LedEffectPasses::ColourCycle(Entries entries, LightEngine& engine, bool reset) {
    const size_t n = Reach(entries, engine);
    if (reset) {
        state_.cycle_colour.fill(0);
        state_.cycle_counter.fill(0);
        for (size_t i = 0; i < n; ++i) {
            if (entries[i].present != 0)
                state_.cycle_threshold[i] = kSequenceThresholds[Index5(entries[i].speed)];
        }
    }
    for (size_t i = 0; i < n; ++i) {
        const storage::LedEffect& e = entries[i];
        if (!Is(e, kLedColourCycle))
            continue;
        const uint8_t threshold = state_.cycle_threshold[i] != 0
                                      ? state_.cycle_threshold[i]
                                      : kSequenceThresholds[Index5(e.speed)];
        const int counter = state_.cycle_counter[i] + 1;
        if (counter >= threshold) {
            state_.cycle_counter[i] = 0;
            const int colour = state_.cycle_colour[i] + 1;
            state_.cycle_colour[i] = static_cast<uint8_t>(colour > 191 ? 0 : colour);
        } else {
            state_.cycle_counter[i] = static_cast<uint8_t>(counter);
        }
        engine.SetLed(static_cast<int>(i),
                      LedColour::Of(kColourWheel[state_.cycle_colour[i]], Bright(e)));
    }
}

void LedEffectPasses::Off(Entries entries, LightEngine& engine, bool /*reset*/) {
    const size_t n = Reach(entries, engine);
    for (size_t i = 0; i < n; ++i) {
        if (Is(entries[i], kLedOff))
            engine.SetLed(static_cast<int>(i), {});
    }
}

void LedEffectPasses::RunAll(Entries entries, LightEngine& engine, uint32_t now_ms, bool reset) {
    Breathing(entries, engine, reset);
    Steady(entries, engine, reset);
    ColourCycle(entries, engine, reset);
    Flash(entries, engine, now_ms, reset);
    Off(entries, engine, reset);
}

}  // namespace zepho7::devices
