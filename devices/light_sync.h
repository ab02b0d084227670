// The lighting synchroniser: one effect, stepped on the host, shown in step by every device whose
// synchronise flag is set ("same mode"). SyncStepper is the effect itself (settings, running
// state and one deterministic Step per turn); LightSynchroniser runs it on its own thread and
// hands each step's colour to every LED of every synchronised page.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>

#include "devices/light_engine.h"
#include "devices/worker_thread.h"

namespace zepho7::devices {

class CNerioUSBDevice;

// The effects the devices can show in step.
enum class SyncEffect : uint8_t {
    kBreathing = 0,
    kSteady = 1,
    kFlash = 2,
    kColourCycle = 3,
    kOff = 4,
};
inline constexpr int kSyncEffectCount = 5;

// Turns of the synchroniser (ticks) between two effect steps, by speed index; a flash also
// toggles every this many × 200 ms.
inline constexpr std::array<uint8_t, 5> kSyncStepTicks = {8, 6, 4, 2, 1};
inline constexpr uint32_t kSyncFlashUnitMs = 200;
inline constexpr uint8_t kSyncFlashWheelStep = 14;
inline constexpr uint8_t kSyncBreathWheelStep = 16;
inline constexpr uint8_t kWheelPositions = 192;

// The synchronised settings, taken from the light record of the device "same mode" ran on.
struct SyncSettings {
    SyncEffect effect = SyncEffect::kBreathing;
    uint8_t brightness = 0;  // index 0..4
    uint8_t speed = 0;       // index 0..4
    uint8_t direction = 0;   // breathing: 1 up, 0 down
    uint8_t colour_cycle = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const SyncSettings&) const = default;
};

// The effects' running state.
struct SyncRunState {
    uint32_t ticks = 0;
    uint32_t last_tick_ms = 0;
    uint8_t phase = 0;  // breathing, 0..127
    uint8_t breath_wheel = 0;
    bool flash_on = false;
    uint32_t last_toggle_ms = 0;
    uint8_t flash_wheel = 0;
    uint8_t cycle_wheel = 0;
};

// The effect, without a thread or a clock of its own: the caller passes the time.
class SyncStepper {
  public:
    void SetSettings(const SyncSettings& settings) { settings_ = settings; }
    [[nodiscard]] const SyncSettings& Settings() const { return settings_; }
    [[nodiscard]] const SyncRunState& State() const { return state_; }

    // One turn at `now_ms`: a tick is counted when the clock moved on by more than 1 ms since
    // the last one; when the ticks reach the speed's count, one effect step runs and its colour
    // (level in the top byte when packed) is returned.
    [[nodiscard]] std::optional<LedColour> Step(uint32_t now_ms);
    // One effect step, whatever the ticks say.
    [[nodiscard]] LedColour StepEffect(uint32_t now_ms);

  private:
    SyncSettings settings_;
    SyncRunState state_;
};

// Calls its argument for every page, in the order the synchroniser sends in (mice, mousepads,
// headsets, keyboards). Called from the synchroniser's thread.
using SyncPageVisitor = std::function<void(const std::function<void(CNerioUSBDevice&)>&)>;

inline constexpr std::chrono::milliseconds kSyncIdleSleep{1000};
inline constexpr std::chrono::milliseconds kSyncStopWait{1000};

class LightSynchroniser {
  public:
    explicit LightSynchroniser(SyncPageVisitor pages);
    // Stops the thread, waiting as long as that takes.
    ~LightSynchroniser();
    LightSynchroniser(const LightSynchroniser&) = delete;
    LightSynchroniser& operator=(const LightSynchroniser&) = delete;

    // Any thread.
    void SetSettings(const SyncSettings& settings);
    [[nodiscard]] SyncSettings Settings() const;

    // Starts the thread unless it runs.
    void Start();
    [[nodiscard]] bool Running() const { return thread_.Running(); }
    // Ends an idle wait at once (a page was just synchronised).
    void Wake();
    // Asks the thread to stop without waiting; Stop then waits for it.
    void RequestStop() { thread_.RequestStop(); }
    StopOutcome Stop(std::chrono::milliseconds wait = kSyncStopWait);

  private:
    void Run(std::stop_token token);
    // Some page is synchronised and connected.
    bool AnyActive() const;

    SyncPageVisitor pages_;
    mutable std::mutex mutex_;  // the stepper and the wake flag
    std::condition_variable_any wake_cv_;
    bool wake_ = false;
    SyncStepper stepper_;
    WorkerThread thread_;  // last: stopped before the members it uses go away
};

}  // namespace zepho7::devices
