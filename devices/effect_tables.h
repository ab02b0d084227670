// Constant data of the lighting effects, shared by every device family, and the wrapping
// stepper the effects advance their counters with.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zepho7::devices {

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    constexpr bool operator==(const Rgb&) const = default;
};

inline constexpr std::array<Rgb, 4> kBasicColours = {
    {{0x00, 0xFF, 0xB4}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0xFF}, {0xFF, 0x00, 0x00}}};

namespace detail {
inline constexpr std::array<uint8_t, 32> kRise = {
    1,  3,  5,  7,   10,  14,  18,  22,  26,  32,  38,  44,  50,  57,  65,  73,
    81, 89, 99, 109, 119, 129, 140, 152, 164, 176, 188, 200, 213, 227, 241, 255};
inline constexpr std::array<uint8_t, 32> kFall = {
    248, 234, 220, 206, 194, 182, 170, 158, 146, 134, 124, 114, 104, 94, 85, 77,
    69,  61,  53,  47,  41,  35,  29,  24,  20,  16,  12,  8,   6,   4,  2,  0};
inline constexpr std::array<uint8_t, 64> kBreathingHalf = {
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  12,  14,  16,  18,  20,
    22,  24,  27,  30,  33,  36,  39,  42,  45,  49,  53,  57,  61,  65,  69,  73,
    77,  81,  85,  89,  94,  99,  104, 109, 114, 119, 124, 129, 134, 140, 146, 152,
    158, 164, 170, 176, 182, 188, 194, 200, 206, 213, 220, 227, 234, 241, 248, 255};

constexpr std::array<Rgb, 256> MakeWheel() {
    std::array<Rgb, 256> wheel{};
    for (size_t i = 0; i < wheel.size(); ++i) {
        const size_t k = i % 192;
        const uint8_t u = kRise[k % 32];
        const uint8_t f = kFall[k % 32];
        switch (k / 32) {
            case 0:
                wheel[i] = {255, u, 0};
                break;
            case 1:
                wheel[i] = {f, 255, 0};
                break;
            case 2:
                wheel[i] = {0, 255, u};
                break;
            case 3:
                wheel[i] = {0, f, 255};
                break;
            case 4:
                wheel[i] = {u, 0, 255};
                break;
            default:
                wheel[i] = {255, 0, f};
                break;
        }
    }
    return wheel;
}

template <size_t N, size_t Offset>
constexpr std::array<uint8_t, N> MakeSymmetric() {
    std::array<uint8_t, N> curve{};
    for (size_t i = 0; i < N / 2; ++i) {
        curve[i] = kBreathingHalf[Offset + i];
        curve[N - 1 - i] = kBreathingHalf[Offset + i];
    }
    return curve;
}

constexpr std::array<uint8_t, 192> MakeFade() {
    constexpr uint8_t kUp[25] = {0,   4,   8,   14,  22,  33,  45,  61,  77,  84,  100, 110, 120,
                                 130, 140, 150, 158, 166, 175, 182, 191, 204, 220, 234, 255};
    constexpr uint8_t kDown[63] = {248, 241, 234, 227, 220, 213, 206, 200, 194, 188, 182, 176, 170,
                                   164, 158, 152, 146, 140, 134, 129, 124, 119, 114, 109, 104, 99,
                                   94,  89,  85,  81,  77,  73,  69,  65,  61,  57,  53,  49,  45,
                                   42,  39,  36,  33,  30,  27,  24,  22,  20,  18,  16,  14,  12,
                                   10,  9,   8,   7,   6,   5,   4,   3,   2,   2,   1};
    std::array<uint8_t, 192> fade{};
    for (size_t i = 0; i < 25; ++i)
        fade[i] = kUp[i];
    for (size_t i = 0; i < 63; ++i)
        fade[25 + i] = kDown[i];
    return fade;
}
}  // namespace detail

// Colour wheel: six ramps of 32 over 192 positions; entries 192..255 repeat 0..63.
inline constexpr std::array<Rgb, 256> kColourWheel = detail::MakeWheel();
inline constexpr std::array<uint8_t, 128> kBreathingCurve = detail::MakeSymmetric<128, 0>();
inline constexpr std::array<uint8_t, 96> kShortBreathingCurve = detail::MakeSymmetric<96, 16>();
inline constexpr std::array<uint8_t, 5> kBrightness = {30, 80, 135, 195, 255};
// Flash periods in units of 200 ms, by speed index.
inline constexpr std::array<uint8_t, 5> kFlashPeriod = {8, 6, 4, 2, 1};
inline constexpr uint32_t kFlashUnitMs = 200;
// Light-thread ticks between steps, by mouse light mode row and speed index. Mode 7 uses row 2
// and mode 8 row 4; the audio mode (11) steps every 2 ticks.
inline constexpr std::array<std::array<uint8_t, 5>, 11> kMouseStepThresholds = {{
    {8, 6, 4, 2, 1},
    {8, 6, 4, 2, 1},
    {8, 6, 4, 2, 1},
    {8, 6, 4, 2, 1},
    {8, 6, 4, 2, 1},
    {16, 12, 8, 4, 2},
    {8, 6, 4, 2, 1},
    {8, 6, 4, 2, 1},  // as row 2
    {8, 6, 4, 2, 1},  // as row 4
    {8, 6, 4, 2, 1},
    {8, 6, 4, 2, 1},
}};
inline constexpr uint8_t kAudioStepTicks = 2;
// Sequence thresholds: every effect but the spectrum, and the spectrum.
inline constexpr std::array<uint8_t, 5> kSequenceThresholds = {8, 6, 4, 2, 1};
inline constexpr std::array<uint8_t, 5> kSequenceSpectrumThresholds = {20, 12, 8, 5, 2};

// Mouse layout: LED numbers below 4 are the mouse's LEDs; 4 and above stand for no LED.
inline constexpr int kMouseLeds = 4;
inline constexpr std::array<std::array<uint8_t, 3>, 7> kMouseGrid7x3 = {
    {{6, 7, 15}, {5, 8, 4}, {4, 9, 4}, {3, 10, 4}, {2, 11, 4}, {1, 12, 4}, {0, 13, 14}}};
inline constexpr std::array<std::array<uint8_t, 5>, 5> kMouseGrid5x5 = {
    {{4, 4, 4, 4, 4}, {1, 2, 4, 4, 4}, {0, 4, 3, 4, 4}, {4, 4, 4, 4, 4}, {4, 4, 4, 4, 4}}};
inline constexpr std::array<uint8_t, 18> kMouseChain = {3,  6,  5,  4,  3, 2, 1, 0,  14,
                                                        13, 12, 11, 10, 9, 8, 7, 15, 6};

// Per-key fade curve of the keyboard effects.
inline constexpr std::array<uint8_t, 192> kFadeCurve = detail::MakeFade();

// Moves `value` by `step` within 0..limit-1 with wrap: direction 1 adds and wraps to 0 at the
// limit; direction 0 subtracts (as a byte) and wraps to limit - step.
constexpr uint8_t Step(int direction, int limit, uint8_t value, int step) {
    if (direction != 0) {
        const int v = value + step;
        return static_cast<uint8_t>(v >= limit ? 0 : v);
    }
    const auto v = static_cast<uint8_t>(value - step);
    return v < limit ? v : static_cast<uint8_t>(limit - step);
}

// Indices read from profiles are clamped so that no table is read out of range.
constexpr size_t Index5(uint8_t v) {
    return v < 5 ? v : 4;
}

}  // namespace zepho7::devices
