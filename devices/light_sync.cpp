#include "devices/light_sync.h"

#include "base/trace.h"
#include "devices/effect_tables.h"
#include "devices/usb_device.h"

namespace zepho7::devices {

namespace {

uint32_t SteadyMs() {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

uint8_t AdvanceWheel(uint8_t position, uint8_t by) {
    const int next = position + by;
    return static_cast<uint8_t>(next >= kWheelPositions ? next - kWheelPositions : next);
}

}  // namespace

std::optional<LedColour> SyncStepper::Step(uint32_t now_ms) {
    if (now_ms - state_.last_tick_ms > 1) {
        ++state_.ticks;
        state_.last_tick_ms = now_ms;
    }
    if (state_.ticks < kSyncStepTicks[Index5(settings_.speed)])
        return std::nullopt;
    state_.ticks = 0;
    return StepEffect(now_ms);
}

LedColour SyncStepper::StepEffect(uint32_t now_ms) {
    const SyncSettings& s = settings_;
    SyncRunState& r = state_;
    const Rgb fixed{s.red, s.green, s.blue};
    const uint8_t bright = kBrightness[Index5(s.brightness)];
    switch (s.effect) {
        case SyncEffect::kBreathing: {
            r.phase = devices::Step(s.direction, 128, r.phase, 1);
            Rgb colour = fixed;
            if (s.colour_cycle != 0) {
                if (r.phase < 2)
                    r.breath_wheel = AdvanceWheel(r.breath_wheel, kSyncBreathWheelStep);
                colour = kColourWheel[r.breath_wheel];
            }
            return LedColour::Of(colour, Scale(bright, kBreathingCurve[r.phase & 127]));
        }
        case SyncEffect::kSteady:
            return LedColour::Of(fixed, bright);
        case SyncEffect::kFlash: {
            if (now_ms - r.last_toggle_ms >= kSyncStepTicks[Index5(s.speed)] * kSyncFlashUnitMs) {
                r.flash_on = !r.flash_on;
                r.last_toggle_ms = now_ms;
                r.flash_wheel = static_cast<uint8_t>(r.flash_wheel + kSyncFlashWheelStep);
                if (r.flash_wheel >= kWheelPositions)
                    r.flash_wheel = 0;
            }
            if (!r.flash_on)
                return {};
            return LedColour::Of(s.colour_cycle != 0 ? kColourWheel[r.flash_wheel] : fixed, bright);
        }
        case SyncEffect::kColourCycle:
            r.cycle_wheel = AdvanceWheel(r.cycle_wheel, 1);
            return LedColour::Of(kColourWheel[r.cycle_wheel], bright);
        case SyncEffect::kOff:
            break;
    }
    return {};
}

LightSynchroniser::LightSynchroniser(SyncPageVisitor pages) : pages_(std::move(pages)) {}

LightSynchroniser::~LightSynchroniser() {
    static_cast<void>(Stop());
}

void LightSynchroniser::SetSettings(const SyncSettings& settings) {
    std::lock_guard lock(mutex_);
    stepper_.SetSettings(settings);
}

SyncSettings LightSynchroniser::Settings() const {
    std::lock_guard lock(mutex_);
    return stepper_.Settings();
}

void LightSynchroniser::Start() {
    if (!thread_.Running())
        thread_.Start([this](std::stop_token token) { Run(token); });
}

void LightSynchroniser::Wake() {
    std::lock_guard lock(mutex_);
    wake_ = true;
    wake_cv_.notify_all();
}

StopOutcome LightSynchroniser::Stop(std::chrono::milliseconds wait) {
    return thread_.Stop(wait);
}

bool LightSynchroniser::AnyActive() const {
    bool active = false;
    pages_([&active](CNerioUSBDevice& page) {
        active = active || (page.Synchronised() && page.Transceiver().IsOpen());
    });
    return active;
}

void LightSynchroniser::Run(std::stop_token token) {
    while (!thread_.SleepFor(token, std::chrono::milliseconds(1))) {
        if (!AnyActive()) {
            // Nothing to drive: a long wait, ended early by a stop or by Wake.
            std::unique_lock lock(mutex_);
            wake_cv_.wait_for(lock, token, kSyncIdleSleep, [this] { return wake_; });
            wake_ = false;
            continue;
        }
        std::optional<LedColour> colour;
        {
            std::lock_guard lock(mutex_);
            colour = stepper_.Step(SteadyMs());
        }
        if (!colour)
            continue;
        const LedColour c = *colour;
        pages_([c](CNerioUSBDevice& page) {
            if (!page.Synchronised())
                return;
            const int count = page.LedCount();
            for (int i = 0; i < count; ++i)
                page.SetLedColour(i, c);
        });
    }
    Z7_TRACE("同步灯光线程设定退出\n");
}

}  // namespace zepho7::devices
