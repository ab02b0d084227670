#include <gtest/gtest.h>

#include "devices/effect_tables.h"
#include "devices/led_effects.h"
#include "devices/light_engine.h"
#include "devices/light_frame.h"
#include "devices/mouse_lighting.h"

namespace zepho7::devices {
namespace {

TEST(EffectTables, ExactEntries) {
    EXPECT_EQ(kColourWheel[0], (Rgb{255, 1, 0}));
    EXPECT_EQ(kColourWheel[32], (Rgb{248, 255, 0}));
    EXPECT_EQ(kColourWheel[64], (Rgb{0, 255, 1}));
    EXPECT_EQ(kColourWheel[191], (Rgb{255, 0, 0}));
    EXPECT_EQ(kColourWheel[192], kColourWheel[0]);
    EXPECT_EQ(kColourWheel[255], kColourWheel[63]);
    EXPECT_EQ(kBreathingCurve[0], 0);
    EXPECT_EQ(kBreathingCurve[63], 255);
    EXPECT_EQ(kBreathingCurve[64], 255);
    EXPECT_EQ(kBreathingCurve[127], 0);
    EXPECT_EQ(kBreathingCurve[100], kBreathingCurve[27]);
    EXPECT_EQ(kShortBreathingCurve[0], 22);
    EXPECT_EQ(kShortBreathingCurve[47], 255);
    EXPECT_EQ(kShortBreathingCurve[95], 22);
    EXPECT_EQ(kFadeCurve[24], 255);
    EXPECT_EQ(kFadeCurve[25], 248);
    EXPECT_EQ(kFadeCurve[87], 1);
    EXPECT_EQ(kFadeCurve[88], 0);
    EXPECT_EQ(kFadeCurve[191], 0);
    EXPECT_EQ(kMouseStepThresholds[5][0], 16);
    for (const auto& row : kMouseGrid7x3)
        for (uint8_t led : row)
            EXPECT_LT(led, kMaxLeds);
}

TEST(EffectTables, Stepper) {
    struct Case {
        int direction, limit, value, step, expected;
    } const cases[] = {
        {0, 128, 0, 1, 127}, {1, 192, 191, 1, 0}, {1, 128, 5, 1, 6},
        {0, 192, 10, 3, 7},  {0, 9, 0, 1, 8},     {1, 192, 200, 1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Step(c.direction, c.limit, static_cast<uint8_t>(c.value), c.step), c.expected)
            << c.direction << " " << c.limit << " " << c.value;
}

struct EngineTest : ::testing::Test {
    void SetUp() override { engine.SetLedCount(4); }
    void Set(uint8_t mode, uint8_t brightness, uint8_t speed, uint8_t direction, uint8_t multi,
             Rgb c = {10, 20, 30}) {
        engine.SetSettings({mode, brightness, speed, direction, multi, c.red, c.green, c.blue});
    }
    LightEngine engine;
};

TEST_F(EngineTest, BreathingWrapsPhaseAndMovesColourBySixteen) {
    Set(2, 4, 0, 1, 1);
    engine.Counters().phase = 127;
    engine.Counters().colour_index = 32;
    engine.StepBreathing();
    EXPECT_EQ(engine.Counters().phase, 0);
    EXPECT_EQ(engine.Counters().colour_index, 48);
    EXPECT_EQ(engine.Led(0), LedColour::Of(kColourWheel[48], 0));
    engine.Counters().phase = 127;
    engine.Counters().colour_index = 192;
    engine.StepBreathing();
    EXPECT_EQ(engine.Counters().colour_index, 0);
    // Brightness index 4 at phase 63: 255 × 255 ÷ 256.
    Set(2, 4, 0, 1, 0);
    engine.Counters().phase = 62;
    engine.StepBreathing();
    EXPECT_EQ(engine.Led(3), (LedColour{10, 20, 30, 254}));
}

TEST_F(EngineTest, FlashTogglesByItsPeriod) {
    for (const auto& [speed, period] : {std::pair{4, 200u}, std::pair{0, 1600u}}) {
        Set(4, 2, static_cast<uint8_t>(speed), 0, 0);
        engine.Counters() = {};
        engine.StepFlash(10'000);
        EXPECT_EQ(engine.Led(0), (LedColour{10, 20, 30, 135}));
        engine.StepFlash(10'000 + period - 1);
        EXPECT_EQ(engine.Led(0).level, 135);
        engine.StepFlash(10'000 + period);
        EXPECT_EQ(engine.Led(0), LedColour{});
    }
    Set(8, 1, 4, 0, 0);
    engine.Counters() = {};
    engine.StepFlashFourColours(1000);
    EXPECT_EQ(engine.Led(2), LedColour::Of(kBasicColours[1], 80));
}

TEST_F(EngineTest, StepLevelCurves) {
    struct Case {
        int mode, from, to;
    } const cases[] = {
        {11, 20, 15},  {11, 150, 105}, {0, 20, 12}, {29, 144, 99}, {11, 1, 0},
        {0, 128, 88},  {0, 40, 25},    {5, 40, 30}, {5, 17, 9},    {5, 0, 0},
        {11, 100, 70}, {11, 64, 44},   {0, 16, 15},
    };
    for (const Case& c : cases) {
        engine.Counters().levels[7] = static_cast<uint8_t>(c.from);
        EXPECT_EQ(engine.StepLevel(7, c.mode), c.to) << c.mode << " " << c.from;
    }
    EXPECT_EQ(engine.StepLevel(170, 0), 0);
    EXPECT_EQ(engine.StepLevel(-1, 0), 0);
}

TEST_F(EngineTest, RippleRotatesAndTriggers) {
    engine.Counters().ripple[0] = 1;
    engine.RotateRipple(1);
    EXPECT_EQ(engine.Counters().ripple[1], 1);
    engine.RotateRipple(0);
    engine.RotateRipple(0);
    EXPECT_EQ(engine.Counters().ripple[22], 1);
    engine.Counters().ripple[8] = 1;
    engine.TriggerRipple();
    EXPECT_EQ(engine.Counters().levels[8], 255);
    EXPECT_EQ(engine.Counters().levels[22], 0);
    engine.ClearLightBuffers();
    EXPECT_EQ(engine.Counters().levels[8], 0);
    EXPECT_EQ(engine.Counters().ripple[22], 0);
}

TEST_F(EngineTest, LedIndexBounds) {
    engine.SetLed(-1, {1, 2, 3, 4});
    engine.SetLed(4, {1, 2, 3, 4});
    EXPECT_EQ(engine.Led(4), LedColour{});
    EXPECT_EQ(engine.Led(-1), LedColour{});
    engine.SetLedCount(500);
    EXPECT_EQ(engine.LedCount(), kMaxLeds);
    engine.SetLed(169, {1, 2, 3, 4});
    EXPECT_EQ(engine.Led(169), (LedColour{1, 2, 3, 4}));
}

TEST_F(EngineTest, OutOfRangeIndicesFromProfilesAreClamped) {
    Set(3, 200, 200, 0, 0);
    engine.StepStatic();
    EXPECT_EQ(engine.Led(0).level, 255);
    engine.StepFlash(5000);
    EXPECT_EQ(engine.Led(0).level, 255);
}

struct MouseTest : EngineTest {
    MouseLighting mouse{engine};
};

TEST_F(MouseTest, GroupWave) {
    Set(0, 4, 0, 1, 1);
    mouse.StepGroupWave();
    EXPECT_EQ(engine.Counters().phase, 1);
    EXPECT_EQ(engine.Led(0), LedColour::Of(kColourWheel[2], 255));
    EXPECT_EQ(engine.Led(3), LedColour::Of(kColourWheel[23], 255));
    Set(0, 2, 0, 0, 0);
    engine.Counters().phase = 0;
    mouse.StepGroupWave();  // 0 - 1 wraps to 95
    EXPECT_EQ(engine.Counters().phase, 95);
    EXPECT_EQ(engine.Led(1), (LedColour{10, 20, 30, Scale(135, kShortBreathingCurve[7])}));
}

TEST_F(MouseTest, ReactiveRisesThenFalls) {
    Set(6, 4, 0, 0, 0);
    mouse.TriggerReactive();
    EXPECT_EQ(engine.Counters().reactive_states[0], 1);
    EXPECT_LT(engine.Counters().colour_indices[0], 192);
    mouse.StepReactive();
    EXPECT_EQ(engine.Counters().reactive_states[0], 2);
    mouse.StepReactive();
    EXPECT_EQ(engine.Counters().levels[0], 240);
    EXPECT_EQ(engine.Led(0), (LedColour{10, 20, 30, 239}));
    Set(5, 4, 0, 0, 0);  // not in mode 6: no trigger
    engine.Counters().reactive_states.fill(0);
    mouse.TriggerReactive();
    EXPECT_EQ(engine.Counters().reactive_states[0], 0);
}

TEST_F(MouseTest, RippleLightsTheLedsAMarkPasses) {
    Set(5, 4, 0, 0, 0);
    engine.Counters().ripple[0] = 1;
    mouse.StepRipple(5);  // LED 0 triggered at 255, then decays by 40; the mark moves to 1
    EXPECT_EQ(engine.Counters().phase, 1);
    EXPECT_EQ(engine.Counters().ripple[1], 1);
    EXPECT_EQ(engine.Led(0), (LedColour{10, 20, 30, Scale(255, 215)}));
    mouse.StepRipple(5);
    EXPECT_EQ(engine.Led(1), (LedColour{10, 20, 30, Scale(255, 215)}));
}

TEST_F(MouseTest, RippleColoursCycleAgainOnceTheLeadHasFaded) {
    // Upwards the lead is LED 6, past the mouse's four: it fades like the others, so the colour
    // cycle holds only while the ripple passes and then goes on.
    Set(5, 4, 0, 1, 1);
    engine.Counters().ripple[6] = 1;
    mouse.StepRipple(5);
    EXPECT_NE(engine.Counters().levels[6], 0);
    engine.Counters().ripple.fill(0);
    for (int i = 0; i < 40; ++i)
        mouse.StepRipple(5);
    EXPECT_EQ(engine.Counters().levels[6], 0);
    const LedColour before = engine.Led(0);
    mouse.StepRipple(5);
    EXPECT_NE(engine.Led(0).red * 65536 + engine.Led(0).green * 256 + engine.Led(0).blue,
              before.red * 65536 + before.green * 256 + before.blue);
}

TEST_F(MouseTest, AudioBarAndGridFollowLoudness) {
    Set(11, 4, 0, 1, 0);
    const int32_t silent[9] = {};
    mouse.SetAudioLight({kAudioBar, 1, 2, 3, 4, 5, 6, 0, 1});
    mouse.OnAudioLevels(silent, 0);  // contributions 600 each: L = 8, no row lit
    mouse.StepAudioBar();
    EXPECT_EQ(engine.Counters().phase, 8);
    EXPECT_EQ(engine.Led(0).level, 0);
    const int32_t loud[9] = {4000, 4000, 4000, 4000, 4000, 4000, 4000, 4000, 4000};
    mouse.OnAudioLevels(loud, 0);  // x = 1200 > 600: 500 each, L = 6: rows 0 and 1 lit
    mouse.StepAudioBar();
    EXPECT_EQ(mouse.Bands()[0], 0);
    EXPECT_EQ(engine.Led(0).level, 0);  // row 6
    mouse.SetAudioLight({kAudioGrid, 1, 2, 3, 4, 5, 6, 0, 1});
    mouse.OnAudioLevels(loud, 0);  // L = 500 × 6 ÷ 600 = 5: row 0 lit, the rest background
    mouse.StepAudioGrid();
    EXPECT_EQ(engine.Led(1), (LedColour{1, 2, 3, 255}));
    const int32_t max[9] = {2000, 2000, 2000, 2000, 2000, 2000, 2000, 2000, 2000};
    mouse.OnAudioLevels(max, 0);  // x = 600: contribution 0, L = 0: every row lit
    mouse.StepAudioGrid();
    EXPECT_EQ(engine.Led(1), (LedColour{4, 5, 6, 254}));
    EXPECT_EQ(engine.Led(3), (LedColour{4, 5, 6, 254}));
}

TEST_F(MouseTest, AudioPulseMarksTravelThroughTheLeds) {
    Set(11, 4, 0, 0, 0);
    mouse.SetAudioLight({kAudioPulse, 1, 2, 3, 4, 5, 6, 0, 1});
    const int32_t silent[9] = {};  // average 600: count 0, never marks
    for (int i = 0; i < 10; ++i)
        mouse.OnAudioLevels(silent, 0);
    EXPECT_EQ(mouse.AudioMarks(), 0u);
    const int32_t max[9] = {2000, 2000, 2000, 2000, 2000, 2000, 2000, 2000, 2000};
    for (int i = 0; i < 8; ++i)  // count 9 per call: the 8th reaches 72 >= 64
        mouse.OnAudioLevels(max, 0);
    EXPECT_EQ(mouse.AudioMarks(), (1u << 1) | (1u << 19));
    mouse.StepAudioPulse();  // cell 19 (entry 13) is no LED; the marks move to 0 and 18
    mouse.StepAudioPulse();  // cell 18 is LED 0
    EXPECT_EQ(engine.Led(0), (LedColour{4, 5, 6, Scale(255, 210)}));
    EXPECT_EQ(engine.Led(1), (LedColour{1, 2, 3, 255}));
}

TEST_F(MouseTest, AudioChaseUsesOneBandPerRow) {
    Set(11, 4, 0, 1, 0);
    mouse.SetAudioLight({kAudioChase, 1, 2, 3, 4, 5, 6, 0, 1});
    const int32_t bands[9] = {0, 0, 2000, 0, 0, 0, 0, 0, 0};
    mouse.OnAudioLevels(bands, 0);
    mouse.StepAudioChase();
    // Row 0 uses band 1 (L = 7): positions 0..7, LEDs 3, 2, 1, 0 at p = 4..7 are all p <= L.
    // Row 1 uses band 2 (L = 1): its LEDs are not on the mouse.
    EXPECT_EQ(engine.Counters().flash_on, 1);
    EXPECT_EQ(engine.Led(0), (LedColour{1, 2, 3, 255}));
}

TEST_F(MouseTest, TurnPacesStepsByTicks) {
    Set(3, 4, 0, 0, 0);  // static, speed 0: every 8 ticks of 2 ms
    int steps = 0;
    for (uint32_t t = 100; t < 100 + 32; ++t)
        steps += mouse.Turn(t, {}) ? 1 : 0;
    EXPECT_EQ(steps, 2);  // 16 ticks in 32 ms
    Set(11, 4, 0, 0, 0);
    steps = 0;
    for (uint32_t t = 200; t < 200 + 32; ++t)
        steps += mouse.Turn(t, {}) ? 1 : 0;
    EXPECT_EQ(steps, 8);
}

TEST_F(MouseTest, SequencePlaysStepsInOrder) {
    Set(12, 4, 0, 0, 0);
    std::vector<storage::LightStep> steps(2);
    steps[0] = {1, 4, 4, 0, 0, 100, 0, 0, 50, 0};  // static, every run at speed 4
    steps[1] = {5, 4, 4, 0, 0, 0, 0, 0, 50, 0};    // spectrum every 2nd run
    mouse.RestartSequence(1000);
    mouse.RunSequence(steps, 1000, 0);
    EXPECT_EQ(engine.Led(0), (LedColour{100, 0, 0, 255}));
    EXPECT_EQ(mouse.Sequence().phase, 1);
    mouse.RunSequence(steps, 1051, 0);  // still step 0, then the step time has passed
    EXPECT_EQ(mouse.Sequence().step_index, 1u);
    mouse.RunSequence(steps, 1060, 0);
    mouse.RunSequence(steps, 1061, 0);
    EXPECT_EQ(mouse.Sequence().phase, 3);
    EXPECT_EQ(engine.Led(0), LedColour::Of(kColourWheel[3], 255));
    mouse.RunSequence({}, 1070, 0);
    EXPECT_EQ(engine.Led(0), LedColour{});
}

TEST_F(MouseTest, SequenceBreathingWithColourCyclingChangesColourEachBreath) {
    std::vector<storage::LightStep> steps = {{0, 4, 4, 0, 1, 0, 0, 0, 100000, 0}};
    mouse.Sequence().phase = 126;
    mouse.RunSequence(steps, 0, 0);
    EXPECT_EQ(engine.Led(0), LedColour::Of(kColourWheel[0], Scale(kBreathingCurve[127], 255)));
    mouse.RunSequence(steps, 0, 0);  // a new breath: 16 positions on
    EXPECT_EQ(mouse.Sequence().colour_index, 16);
    EXPECT_EQ(engine.Led(0), LedColour::Of(kColourWheel[16], 0));
}

TEST_F(MouseTest, SequenceWaveRunsBothWays) {
    std::vector<storage::LightStep> steps = {{4, 4, 4, 1, 1, 0, 0, 0, 100000, 0}};
    mouse.RunSequence(steps, 0, 0);  // p = 1, q = 191
    EXPECT_EQ(engine.Led(0), LedColour::Of(kColourWheel[191], 255));
    EXPECT_EQ(engine.Led(1), LedColour::Of(kColourWheel[11], 255));
    steps[0].direction = 0;
    mouse.RunSequence(steps, 0, 0);  // p = 2, q = 3
    EXPECT_EQ(engine.Led(2), LedColour::Of(kColourWheel[27], 255));
}

struct PassTest : EngineTest {
    LedEffectPasses passes;
    std::vector<storage::LedEffect> entries = std::vector<storage::LedEffect>(4);
    void Entry(size_t i, uint8_t kind, uint8_t speed, uint8_t multi = 0) {
        entries[i] = {};
        entries[i].mode = kind;
        entries[i].brightness = 4;
        entries[i].speed = speed;
        entries[i].multi_color = multi;
        entries[i].red = 9;
        entries[i].present = 1;
    }
};

TEST_F(PassTest, BreathingMovesBySpeedPlusFour) {
    Entry(0, kLedBreathing, 4);
    passes.Breathing(entries, engine, true);
    EXPECT_EQ(passes.GetState().breath_phase[0], 8);
    for (int i = 0; i < 15; ++i)
        passes.Breathing(entries, engine, false);
    EXPECT_EQ(passes.GetState().breath_phase[0], 0);  // 16 passes per breath
    EXPECT_EQ(passes.GetState().breath_colour[0], 1);
    EXPECT_EQ(engine.Led(0), (LedColour{9, 0, 0, 0}));
    EXPECT_EQ(engine.Led(1), LedColour{});  // not present
}

TEST_F(PassTest, ColourCycleAtSpeedZeroChangesEveryEighthPass) {
    Entry(2, kLedColourCycle, 0);
    passes.ColourCycle(entries, engine, true);
    for (int i = 1; i < 8; ++i)
        passes.ColourCycle(entries, engine, false);
    EXPECT_EQ(passes.GetState().cycle_colour[2], 1);
    EXPECT_EQ(engine.Led(2), LedColour::Of(kColourWheel[1], 255));
}

TEST_F(PassTest, FlashIsOnFirstThenTogglesByPeriod) {
    Entry(1, kLedFlash, 4, 1);
    passes.Flash(entries, engine, 50, true);
    EXPECT_EQ(engine.Led(1), LedColour::Of(kColourWheel[14], 255));
    passes.Flash(entries, engine, 249, false);
    EXPECT_EQ(engine.Led(1).level, 255);
    passes.Flash(entries, engine, 250, false);
    EXPECT_EQ(engine.Led(1), LedColour{});
}

TEST_F(PassTest, SteadyAndOffTouchOnlyTheirEntries) {
    Entry(0, kLedSteady, 0);
    Entry(3, kLedOff, 0);
    engine.FillAll({1, 1, 1, 1});
    passes.RunAll(entries, engine, 0, true);
    EXPECT_EQ(engine.Led(0), (LedColour{9, 0, 0, 255}));
    EXPECT_EQ(engine.Led(1), (LedColour{1, 1, 1, 1}));
    EXPECT_EQ(engine.Led(3), LedColour{});
}

TEST(LightFrame, BytesAreColourTimesLevelHighByte) {
    LightEngine engine;
    engine.SetLedCount(2);
    engine.SetLed(0, {255, 128, 1, 255});
    engine.SetLed(1, {200, 100, 50, 128});
    LightFrame frame{};
    EXPECT_EQ(BuildLightFrame(engine, frame), 6u);
    const uint8_t expected[6] = {254, 127, 0, 100, 50, 25};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(frame[i], expected[i]) << i;
    EXPECT_EQ(TintValue({0x11, 0x22, 0x33, 0}), 0x223311u);
    std::array<uint8_t, 4> small{};
    EXPECT_EQ(BuildLightFrame(engine, small), 3u);
}

}  // namespace
}  // namespace zepho7::devices
