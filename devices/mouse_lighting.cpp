#include "devices/mouse_lighting.h"

#include <algorithm>

namespace zepho7::devices {

namespace {

uint8_t Bright(const EffectSettings& s) {
    return kBrightness[Index5(s.brightness)];
}
Rgb Fixed(const EffectSettings& s) {
    return {s.red, s.green, s.blue};
}
Rgb Rgb3(uint8_t r, uint8_t g, uint8_t b) {
    return {r, g, b};
}

uint8_t Wrap192(int v) {
    return static_cast<uint8_t>(v % 192);
}

}  // namespace

MouseLighting::MouseLighting(LightEngine& engine, uint32_t seed)
    : engine_(engine), random_(seed == 0 ? 1 : seed) {}

void MouseLighting::StepGroupWave() {
    const EffectSettings s = engine_.Settings();
    EffectCounters& c = engine_.Counters();
    const uint8_t bright = Bright(s);
    if (s.multi_color != 0) {
        c.phase = Step(s.direction, 192, c.phase, 1);
        for (int g = 0; g < kMouseLeds; ++g)
            engine_.SetLed(g, LedColour::Of(kColourWheel[Wrap192(c.phase + 1 + 7 * g)], bright));
        return;
    }
    c.phase = Step(s.direction, 96, c.phase, 1);
    for (int g = 0; g < kMouseLeds; ++g) {
        const uint8_t level = kShortBreathingCurve[static_cast<size_t>((c.phase + 1 + 7 * g) % 96)];
        engine_.SetLed(g, LedColour::Of(Fixed(s), Scale(bright, level)));
    }
}

namespace {
constexpr int kRippleLeadUp = 6;  // the LED whose level marks the ripple's lead going up
}  // namespace

void MouseLighting::StepRipple(int mode) {
    const EffectSettings s = engine_.Settings();
    EffectCounters& c = engine_.Counters();
    const int reverse = s.direction != 0 ? 0 : 1;
    c.phase = Step(reverse, 192, c.phase, 1);
    engine_.TriggerRipple();
    engine_.RotateRipple(reverse);
    const bool lead_lit = (s.direction != 0 ? c.levels[kRippleLeadUp] : c.levels[0]) != 0;
    const uint8_t bright = Bright(s);
    for (int g = 0; g < kMouseLeds; ++g) {
        const uint8_t level = engine_.StepLevel(g, mode);
        Rgb colour = Fixed(s);
        if (s.multi_color != 0) {
            if (lead_lit) {
                const LedColour now = engine_.Led(g);
                colour = {now.red, now.green, now.blue};
            } else {
                // Each LED sits 12 wheel positions after the previous one.
                int position = c.phase + 12 * g;
                if (position >= 192)
                    position -= 192;
                colour = kColourWheel[static_cast<size_t>(position)];
            }
        }
        engine_.SetLed(g, LedColour::Of(colour, Scale(bright, level)));
    }
    // The upward lead lies past the mouse's LEDs: it fades as LED 0 does for the other
    // direction, or once lit it would hold every colour for good.
    static_assert(kRippleLeadUp >= kMouseLeds);
    static_cast<void>(engine_.StepLevel(kRippleLeadUp, mode));
}

void MouseLighting::StepReactive() {
    const EffectSettings s = engine_.Settings();
    EffectCounters& c = engine_.Counters();
    const uint8_t bright = Bright(s);
    for (int g = 0; g < kMouseLeds; ++g) {
        const auto i = static_cast<size_t>(g);
        int level = c.levels[i];
        if (c.reactive_states[i] == 1) {
            level = std::min(level + 15, 255);
            if (level == 255)
                c.reactive_states[i] = 2;
        } else if (c.reactive_states[i] == 2) {
            level = std::max(level - 15, 0);
            if (level == 0)
                c.reactive_states[i] = 0;
        }
        c.levels[i] = static_cast<uint8_t>(level);
        const Rgb colour = s.multi_color != 0 ? kColourWheel[c.colour_indices[i] % 192] : Fixed(s);
        engine_.SetLed(g, LedColour::Of(colour, Scale(bright, static_cast<uint8_t>(level))));
    }
}

void MouseLighting::TriggerReactive() {
    if (engine_.Settings().mode != 6)
        return;
    EffectCounters& c = engine_.Counters();
    for (size_t i = 0; i < kMouseLeds; ++i) {
        c.reactive_states[i] = 1;
        c.levels[i] = 255;
        c.colour_indices[i] = static_cast<uint8_t>(random_() % 192);
    }
}

int MouseLighting::Loudness(int k) {
    int64_t sum = 0;
    for (int32_t& b : bands_) {
        const int64_t x = static_cast<int64_t>(std::max(b, 0)) * 600 / 2000;
        sum += x > 600 ? 500 : 600 - x;
        b = 0;
    }
    return static_cast<int>(sum / kAudioBands * k / 600);
}

void MouseLighting::ShowForeground(int led, uint8_t position, uint8_t level) {
    const Rgb colour = audio_.seven_color != 0
                           ? kColourWheel[position % 192]
                           : Rgb3(audio_.fg_red, audio_.fg_green, audio_.fg_blue);
    engine_.SetLed(led, LedColour::Of(colour, level));
}

void MouseLighting::ShowBackground(int led, uint8_t bright) {
    engine_.SetLed(led,
                   LedColour::Of(Rgb3(audio_.bk_red, audio_.bk_green, audio_.bk_blue), bright));
}

void MouseLighting::StepAudio() {
    switch (audio_.audio_mode) {
        case kAudioBar:
            StepAudioBar();
            break;
        case kAudioGrid:
            StepAudioGrid();
            break;
        case kAudioChase:
            StepAudioChase();
            break;
        case kAudioPulse:
            StepAudioPulse();
            break;
        default:
            break;
    }
}

void MouseLighting::StepAudioBar() {
    const EffectSettings s = engine_.Settings();
    EffectCounters& c = engine_.Counters();
    const uint8_t bright = Bright(s);
    const int loudness = Loudness(8);
    c.phase = Step(s.direction, 192, c.phase, loudness);
    int position = c.phase;
    for (int row = 0; row < 7; ++row) {
        for (uint8_t led : kMouseGrid7x3[static_cast<size_t>(row)]) {
            if (led >= kMouseLeds)
                continue;
            if (row < 8 - loudness) {
                c.levels[led] = 255;
                engine_.SetLed(led, LedColour::Of(kColourWheel[static_cast<size_t>(position)],
                                                  Scale(bright, 255)));
            } else {
                const uint8_t level = engine_.StepLevel(led, 0);
                LedColour now = engine_.Led(led);
                now.level = Scale(bright, level);
                engine_.SetLed(led, now);
            }
        }
        position = (position + 9) % 192;
    }
}

void MouseLighting::StepAudioGrid() {
    const EffectSettings s = engine_.Settings();
    EffectCounters& c = engine_.Counters();
    const uint8_t bright = Bright(s);
    const int loudness = Loudness(6);
    c.phase = Step(s.direction, 192, c.phase, loudness);
    int position = c.phase;
    for (int row = 0; row < 5; ++row) {
        for (uint8_t led : kMouseGrid5x5[static_cast<size_t>(row)]) {
            if (led < kMouseLeds) {
                if (row < 6 - loudness) {
                    c.levels[led] = 255;
                    ShowForeground(led, static_cast<uint8_t>(position), Scale(bright, 255));
                } else {
                    ShowBackground(led, bright);
                }
            }
            position = (position + 9) % 192;
        }
    }
}

void MouseLighting::StepAudioChase() {
    const EffectSettings s = engine_.Settings();
    EffectCounters& c = engine_.Counters();
    const uint8_t bright = Bright(s);
    c.phase = Step(s.direction, 192, c.phase, 1);
    int position = c.phase;
    // The step counter lives in flash_on and the band pointer in colour_index.
    c.flash_on = static_cast<uint8_t>(c.flash_on + 1);
    if (c.flash_on >= 10) {
        c.flash_on = 0;
        c.colour_index = Step(s.direction, kAudioBands, c.colour_index, 1);
    }
    std::array<int32_t, kAudioBands> bands = bands_;
    bands_.fill(0);
    int pointer = c.colour_index % kAudioBands;
    for (int r = 0; r < 2; ++r) {
        pointer = (pointer + 1) % kAudioBands;
        const int64_t b = std::max(bands[static_cast<size_t>(pointer)], 0);
        const int64_t loudness = (600 - b * 600 / 2000 + 100) * 6 / 600;
        for (int p = 0; p < 8; ++p) {
            position = (position + 7) % 192;
            const uint8_t led = kMouseChain[static_cast<size_t>(8 * r + p + 1)];
            const uint8_t before = kMouseChain[static_cast<size_t>(8 * r + p)];
            if (led >= kMouseLeds)
                continue;
            if (p < 3 || before >= kMouseLeds || c.levels[before] < 10)
                engine_.StepLevel(led, 11);
            if (p <= loudness) {
                const uint8_t level = c.levels[led];
                if (level > 9)
                    ShowForeground(led, static_cast<uint8_t>(position), Scale(bright, level));
                else
                    ShowBackground(led, bright);
            } else {
                c.levels[led] = 255;
                ShowForeground(led, static_cast<uint8_t>(position), Scale(bright, 255));
            }
        }
    }
}

void MouseLighting::StepAudioPulse() {
    const EffectSettings s = engine_.Settings();
    EffectCounters& c = engine_.Counters();
    const uint8_t bright = Bright(s);
    for (int cell = 0; cell < kAudioGridCells; ++cell) {
        const uint8_t led =
            kMouseGrid7x3[static_cast<size_t>(cell / 3)][static_cast<size_t>(cell % 3)];
        if ((marks_ >> cell & 1U) != 0 && led < kMouseLeds)
            c.levels[led] = 255;
    }
    // Marks travel one cell towards the start of the grid, passing the mouse's LEDs in turn.
    marks_ >>= 1;
    for (int g = 0; g < kMouseLeds; ++g) {
        const auto i = static_cast<size_t>(g);
        const uint8_t level = engine_.StepLevel(g, 11);
        c.colour_indices[i] = static_cast<uint8_t>((c.colour_indices[i] + 16) % 192);
        if (level > 9)
            ShowForeground(g, c.colour_indices[i], Scale(bright, level));
        else
            ShowBackground(g, bright);
    }
}

void MouseLighting::OnAudioLevels(std::span<const int32_t> levels, int32_t /*amplitude*/) {
    for (size_t i = 0; i < bands_.size(); ++i)
        bands_[i] = i < levels.size() ? std::max(levels[i], 0) : 0;
    if (engine_.Settings().mode != 11 || audio_.audio_mode != kAudioPulse)
        return;
    int64_t sum = 0;
    for (int32_t b : bands_) {
        const int64_t x = static_cast<int64_t>(b) * 600 / 2000;
        sum += x > 600 ? 500 : 600 - x;
    }
    const int64_t average = sum / kAudioBands;
    accumulator_ += static_cast<int>(9 - average * 9 / 600);
    if (accumulator_ >= 64) {
        accumulator_ = 0;
        marks_ |= 1U << 1;   // the cell of entry 7
        marks_ |= 1U << 19;  // the cell of entry 13
    }
}

void MouseLighting::ResetAudio() {
    bands_.fill(0);
    marks_ = 0;
    accumulator_ = 0;
}

void MouseLighting::RestartSequence(uint32_t now_ms) {
    sequence_.step_index = 0;
    sequence_.step_start_ms = now_ms;
}

void MouseLighting::RunSequence(std::span<const storage::LightStep> steps, uint32_t now_ms,
                                uint8_t device_speed) {
    SequenceState& q = sequence_;
    if (q.step_index >= steps.size())
        q.step_index = 0;
    if (steps.empty()) {
        engine_.StepOff();
        return;
    }
    q.ticks = static_cast<uint8_t>(q.ticks + 1);
    const storage::LightStep& step = steps[q.step_index];
    const uint8_t bright = kBrightness[Index5(step.brightness)];
    const size_t speed = Index5(step.speed);
    const Rgb colour{step.red, step.green, step.blue};
    const auto advance = [&q](int limit) {
        q.phase = static_cast<uint8_t>(q.phase + 1 >= limit ? 0 : q.phase + 1);
    };
    switch (step.mode) {
        case 0:  // breathing
            if (q.ticks >= kSequenceThresholds[speed]) {
                q.ticks = 0;
                advance(128);
                // With colour cycling the breath changes colour each time it starts again,
                // 16 wheel positions on, as the breathing effect does.
                if (step.multi_color != 0 && q.phase == 0) {
                    q.colour_index = static_cast<uint8_t>(q.colour_index + 16);
                    if (q.colour_index > 192)
                        q.colour_index = 0;
                }
                const Rgb c = step.multi_color != 0 ? kColourWheel[q.colour_index] : colour;
                engine_.FillAll(LedColour::Of(c, Scale(kBreathingCurve[q.phase], bright)));
            }
            break;
        case 1:  // static
            if (q.ticks >= kSequenceThresholds[speed]) {
                q.ticks = 0;
                advance(9);
                engine_.FillAll(LedColour::Of(colour, bright));
            }
            break;
        case 2: {  // flash
            advance(128);
            if (q.ticks >= kSequenceThresholds[speed])
                q.ticks = 0;
            const uint32_t period = kFlashPeriod[Index5(device_speed)] * kFlashUnitMs;
            if (now_ms - q.last_flash_ms >= period) {
                q.flash_on = q.flash_on != 0 ? 0 : 1;
                q.last_flash_ms = now_ms;
                q.flash_position = static_cast<uint8_t>(q.phase + 14 >= 192 ? 0 : q.phase + 14);
            }
            if (q.flash_on == 0) {
                engine_.FillAll({});
            } else {
                const Rgb c = step.multi_color != 0 ? kColourWheel[q.flash_position] : colour;
                engine_.FillAll(LedColour::Of(c, bright));
            }
            break;
        }
        case 4:  // wave
            if (q.ticks >= kSequenceThresholds[speed]) {
                q.ticks = 0;
                advance(192);
                int start = 0;
                if (step.direction == 0)
                    start = q.phase + 1 == 192 ? 0 : q.phase + 1;
                else
                    start = 192 - q.phase == 192 ? 191 : 192 - q.phase;
                const int count = engine_.LedCount();
                for (int i = 0; i < count; ++i) {
                    if (step.multi_color != 0) {
                        engine_.SetLed(
                            i,
                            LedColour::Of(kColourWheel[static_cast<size_t>((start + 12 * i) % 192)],
                                          bright));
                    } else {
                        const uint8_t level =
                            kShortBreathingCurve[static_cast<size_t>((start + 12 * (i + 1)) % 96)];
                        engine_.SetLed(i, LedColour::Of(colour, Scale(bright, level)));
                    }
                }
            }
            break;
        case 5:  // spectrum
            if (q.ticks >= kSequenceSpectrumThresholds[speed]) {
                q.ticks = 0;
                advance(192);
                engine_.FillAll(LedColour::Of(kColourWheel[q.phase], bright));
            }
            break;
        default:
            break;
    }
    if (step.time < 0 || now_ms - q.step_start_ms > static_cast<uint32_t>(step.time)) {
        q.step_index = q.step_index + 1 >= steps.size() ? 0 : q.step_index + 1;
        q.step_start_ms = now_ms;
    }
}

bool MouseLighting::Turn(uint32_t now_ms, std::span<const storage::LightStep> steps) {
    if (now_ms - last_tick_ms_ >= 2) {
        ++ticks_;
        last_tick_ms_ = now_ms;
    }
    const EffectSettings s = engine_.Settings();
    if (s.mode > 11) {
        RunSequence(steps, now_ms, s.speed);
        return true;
    }
    const uint32_t threshold =
        s.mode == 11 ? kAudioStepTicks : kMouseStepThresholds[s.mode][Index5(s.speed)];
    if (ticks_ < threshold)
        return false;
    switch (s.mode) {
        case 0:
            StepGroupWave();
            break;
        case 1:
            engine_.StepSpectrum();
            break;
        case 2:
            engine_.StepBreathing();
            break;
        case 3:
            engine_.StepStatic();
            break;
        case 4:
            engine_.StepFlash(now_ms);
            break;
        case 5:
            StepRipple(5);
            break;
        case 6:
            StepReactive();
            break;
        case 7:
            engine_.StepBreathingFourColours();
            break;
        case 8:
            engine_.StepFlashFourColours(now_ms);
            break;
        case 9:
            StepRipple(9);
            break;
        case 10:
            engine_.StepOff();
            break;
        default:
            StepAudio();
            break;
    }
    ticks_ = 0;
    return true;
}

}  // namespace zepho7::devices
