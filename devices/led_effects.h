// Per-LED effects: each LED may carry its own effect record (the profile's "LightList", entry i
// for LED i). One pass per kind writes the colour of every present entry of that kind and leaves
// the other LEDs alone; each pass keeps its own per-LED state, cleared by a call with reset.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "devices/light_engine.h"
#include "storage/profile_document.h"

namespace zepho7::devices {

enum LedEffectKind : uint8_t {
    kLedBreathing = 0,
    kLedSteady = 1,
    kLedFlash = 2,
    kLedColourCycle = 3,
    kLedOff = 4,
};

class LedEffectPasses {
  public:
    using Entries = std::span<const storage::LedEffect>;

    void Breathing(Entries entries, LightEngine& engine, bool reset);
    void Steady(Entries entries, LightEngine& engine, bool reset);
    void Flash(Entries entries, LightEngine& engine, uint32_t now_ms, bool reset);
    void ColourCycle(Entries entries, LightEngine& engine, bool reset);
    void Off(Entries entries, LightEngine& engine, bool reset);
    // The five passes in the order the device families lay the list over their frames.
    void RunAll(Entries entries, LightEngine& engine, uint32_t now_ms, bool reset);

    struct State {
        std::array<uint8_t, kMaxLeds> breath_phase{};
        std::array<uint8_t, kMaxLeds> breath_colour{};
        std::array<uint32_t, kMaxLeds> flash_last{};
        std::array<uint32_t, kMaxLeds> flash_period{};
        std::array<uint8_t, kMaxLeds> flash_position{};
        std::array<uint8_t, kMaxLeds> flash_on{};
        std::array<uint8_t, kMaxLeds> flash_armed{};  // the next pass turns the entry on
        std::array<uint8_t, kMaxLeds> cycle_colour{};
        std::array<uint8_t, kMaxLeds> cycle_counter{};
        std::array<uint8_t, kMaxLeds> cycle_threshold{};
    };
    [[nodiscard]] const State& GetState() const { return state_; }

  private:
    State state_;
};

}  // namespace zepho7::devices
