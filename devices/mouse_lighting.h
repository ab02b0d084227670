// The mouse's own lighting: its effects (group wave, ripple, reactive, the four audio effects),
// the audio input that feeds them, the light sequence of custom lights, and the pacing of the
// mouse light thread. Works on a LightEngine of 4 LEDs. Not thread-safe: the device runs every
// call under its effect guard.
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <span>

#include "devices/light_engine.h"
#include "storage/profile_document.h"

namespace zepho7::devices {

inline constexpr int kAudioBands = 9;
inline constexpr int kAudioGridCells = 21;  // the 7 × 3 grid, row-major

enum AudioEffect : uint8_t { kAudioBar = 0, kAudioGrid = 1, kAudioChase = 3, kAudioPulse = 5 };

// The light sequence's own state: it survives step changes.
struct SequenceState {
    size_t step_index = 0;
    uint8_t ticks = 0;
    uint8_t phase = 0;
    uint8_t colour_index = 0;  // advanced by breathing steps with colour cycling
    uint8_t flash_on = 0;
    uint8_t flash_position = 0;
    uint32_t last_flash_ms = 0;
    uint32_t step_start_ms = 0;
};

class MouseLighting {
  public:
    explicit MouseLighting(LightEngine& engine, uint32_t seed = 0x5EED);

    void SetAudioLight(const storage::AudioLightRecord& record) { audio_ = record; }
    [[nodiscard]] const storage::AudioLightRecord& AudioLight() const { return audio_; }

    // Mouse effects.
    void StepGroupWave();
    void StepRipple(int mode);
    void StepReactive();
    void TriggerReactive();  // only in mode 6
    void StepAudio();
    void StepAudioBar();
    void StepAudioGrid();
    void StepAudioChase();
    void StepAudioPulse();

    // The audio input: the 9 band values (negative values count as 0; missing bands as 0).
    void OnAudioLevels(std::span<const int32_t> levels, int32_t amplitude);
    // All marks and band values cleared (the audio mode was entered).
    void ResetAudio();
    [[nodiscard]] const std::array<int32_t, kAudioBands>& Bands() const { return bands_; }
    [[nodiscard]] uint32_t AudioMarks() const { return marks_; }  // bit i = grid cell i

    // One run of the light sequence. `device_speed` paces its flash steps.
    void RunSequence(std::span<const storage::LightStep> steps, uint32_t now_ms,
                     uint8_t device_speed);
    void RestartSequence(uint32_t now_ms);
    [[nodiscard]] SequenceState& Sequence() { return sequence_; }

    // One turn of the light thread's effect work: counts 2-ms ticks and runs the step of the
    // current mode when its threshold is reached (modes above 11: the sequence, every turn).
    // True when a step ran.
    bool Turn(uint32_t now_ms, std::span<const storage::LightStep> steps);
    [[nodiscard]] uint32_t Ticks() const { return ticks_; }

  private:
    int Loudness(int k);  // takes and clears the bands
    void ShowForeground(int led, uint8_t position, uint8_t level);
    void ShowBackground(int led, uint8_t bright);

    LightEngine& engine_;
    storage::AudioLightRecord audio_;
    std::array<int32_t, kAudioBands> bands_{};
    uint32_t marks_ = 0;
    int accumulator_ = 0;
    SequenceState sequence_;
    uint32_t ticks_ = 0;
    uint32_t last_tick_ms_ = 0;
    std::minstd_rand random_;
};

}  // namespace zepho7::devices
