#include "devices/usb_device.h"

#include <bit>
#include <cctype>
#include <cstring>

#include "base/le.h"
#include "base/trace.h"
#include "storage/json_file.h"
#include "transport/commands.h"

namespace zepho7::devices {

std::pair<std::string_view, int> SplitTrailingNumber(std::string_view name) {
    size_t digits = name.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(name[digits - 1])) != 0)
        --digits;
    if (digits == name.size() || name.size() - digits > 6)
        return {name, -1};
    int n = 0;
    for (size_t i = digits; i < name.size(); ++i)
        n = n * 10 + (name[i] - '0');
    return {name.substr(0, digits), n};
}

// One notification link: its interface, its lock and flag, its thread.
struct CNerioUSBDevice::NotifyLink {
    NotifyLink(int kind, hid::HidInterface& i) : link(kind), iface(i) {}
    int link;
    hid::HidInterface& iface;
    std::atomic<bool> open{false};
    WorkerThread thread;
};

CNerioUSBDevice::CNerioUSBDevice()
    : cable_link_(std::make_unique<NotifyLink>(kLinkCable, notify_.WiredInterface())),
      receiver_link_(std::make_unique<NotifyLink>(kLinkReceiver, notify_.WirelessInterface())) {}

CNerioUSBDevice::~CNerioUSBDevice() {
    StopThreads();
}

void CNerioUSBDevice::SetView(std::unique_ptr<DeviceView> view) {
    view_ = std::move(view);
}

void CNerioUSBDevice::SetPageLayoutFile(std::string file) {
    page_layout_ = std::move(file);
}

void CNerioUSBDevice::SetKeyCount(int count) {
    key_controls_.assign(static_cast<size_t>(std::clamp(count, 0, kMaxLeds)), kNoControl);
}

void CNerioUSBDevice::SetLedCount(int count) {
    const auto n = static_cast<size_t>(std::clamp(count, 0, kMaxLeds));
    if (n != led_controls_.size())
        led_controls_.assign(n, kNoControl);
    std::lock_guard lock(effect_lock_);
    led_effects_.assign(n, storage::LedEffect{});
    engine_.SetLedCount(static_cast<int>(n));  // clears every colour
}

void CNerioUSBDevice::SetPowerPanel(ControlId panel) {
    power_panel_ = panel;
    if (view_ != nullptr)
        view_->SetPowerPanelBattery(has_battery_);
}

void CNerioUSBDevice::SetIdentity(const InterfaceSlot& slot) {
    identity_ = slot;
    kind_ = slot.info.kind;
    role_ = slot.info.role;
    config_.SetLabel(type_name_.empty() ? std::string("device") : type_name_);
}

void CNerioUSBDevice::SetWindowHidden(bool hidden) {
    if (has_battery_)
        window_hidden_.store(hidden);
}

ControlId CNerioUSBDevice::KeyControl(int n) const {
    return n >= 0 && static_cast<size_t>(n) < key_controls_.size()
               ? key_controls_[static_cast<size_t>(n)]
               : kNoControl;
}

ControlId CNerioUSBDevice::LedControl(int n) const {
    return n >= 0 && static_cast<size_t>(n) < led_controls_.size()
               ? led_controls_[static_cast<size_t>(n)]
               : kNoControl;
}

void CNerioUSBDevice::BuildPage() {
    if (page_layout_.empty()) {
        key_controls_.clear();
        led_controls_.clear();
        engine_.SetLedCount(0);
        return;
    }
    if (view_ == nullptr)
        return;
    select_panel_ = kNoControl;
    for (const ControlInfo& child : view_->Children(kPageRoot)) {
        if (child.class_name == "SelectPanel") {
            select_panel_ = child.id;
            break;
        }
    }
    if (select_panel_ == kNoControl)
        return;
    for (const ControlInfo& child : view_->Children(select_panel_)) {
        if (child.class_name != "DeviceKeyButton")
            continue;
        const auto [prefix, n] = SplitTrailingNumber(child.name);
        if (n < 0)
            continue;
        if (storage::EqualsIgnoreCase(prefix, "key_") &&
            static_cast<size_t>(n) < key_controls_.size())
            key_controls_[static_cast<size_t>(n)] = child.id;
        else if (storage::EqualsIgnoreCase(prefix, "light_") &&
                 static_cast<size_t>(n) < led_controls_.size())
            led_controls_[static_cast<size_t>(n)] = child.id;
    }
}

void CNerioUSBDevice::StepBreathing() {
    engine_.StepBreathing();
}
void CNerioUSBDevice::StepBreathingFourColours() {
    engine_.StepBreathingFourColours();
}
void CNerioUSBDevice::StepStatic() {
    engine_.StepStatic();
}
void CNerioUSBDevice::StepSpectrum() {
    engine_.StepSpectrum();
}
void CNerioUSBDevice::StepFlash() {
    engine_.StepFlash(NowMs());
}
void CNerioUSBDevice::StepFlashFourColours() {
    engine_.StepFlashFourColours(NowMs());
}
void CNerioUSBDevice::StepOff() {
    engine_.StepOff();
}

void CNerioUSBDevice::SetLedColour(int index, LedColour colour) {
    engine_.SetLed(index, colour);
}
LedColour CNerioUSBDevice::GetLedColour(int index) const {
    return engine_.Led(index);
}

void CNerioUSBDevice::ShowLedPreview(ControlId control, LedColour colour) {
    if (view_ != nullptr && control != kNoControl && view_->IsVisible(control))
        view_->SetLightTint(control, TintValue(colour), colour.level, true);
}

void CNerioUSBDevice::SendLightFrame() {
    if (!lighting_enabled_.load())
        return;
    const int count = LedCount();
    for (int i = 0; i < count; ++i)
        ShowLedPreview(LedControl(i), engine_.Led(i));
    const size_t bytes = BuildLightFrame(engine_, frame_);
    if (LightMode() != 11)
        return;
    // After a failed stream the device gets a rest of 200 ms; the page's thread is not held.
    const uint32_t now = NowMs();
    if (stream_paused_ && static_cast<int32_t>(now - stream_resume_ms_) < 0)
        return;
    stream_paused_ = false;
    if (CmdStreamLightFrame(config_, std::span<const uint8_t>(frame_.data(), bytes)) != kResultOk) {
        stream_paused_ = true;
        stream_resume_ms_ = now + kStreamPauseMs;
    }
}

void CNerioUSBDevice::SelectFunctionPage(int page) {
    function_page_ = page;
    if (view_ == nullptr)
        return;
    if (!tabs_looked_up_) {
        function_tab_ = view_->FindControl("device_function_switch");
        key_function_tab_ = view_->FindControl("device_key_function_switch");
        tabs_looked_up_ = true;
    }
    const auto select = [this](ControlId tab, int index) {
        if (tab != kNoControl)
            view_->SelectTab(tab, index);
    };
    if (page == 4 && kind_ != kKindKeyboard && kind_ != kKindMouse)
        page = 7;
    switch (page) {
        case 2:
        case 6:
            select(function_tab_, 0);
            select(key_function_tab_, 1);
            break;
        case 3:
        case 8:
            select(function_tab_, 1);
            break;
        case 4:
            select(function_tab_, 3);
            break;
        case 7:
            select(function_tab_, 0);
            select(key_function_tab_, 2);
            break;
        case 5:
            select(function_tab_, 2);
            break;
        default:
            select(function_tab_, 0);
            select(key_function_tab_, 0);
            break;
    }
}

LightState CNerioUSBDevice::GetLightState() const {
    return light_state_;
}

void CNerioUSBDevice::SetLightParameters(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
    uint8_t bytes[16] = {};
    const uint32_t words[4] = {w0, w1, w2, w3 & 0xFFFF};
    for (size_t i = 0; i < 4; ++i) {
        for (size_t b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<uint8_t>(words[i] >> (8 * b));
    }
    light_state_ = std::bit_cast<LightState>(bytes);
    const storage::LightRecord& r = light_state_.record;
    engine_.SetSettings(
        {r.select_item, r.light, r.speed, r.fx, r.multi_color, r.red, r.green, r.blue});
}

void CNerioUSBDevice::SetLightColour(uint32_t w0, uint32_t w1, uint32_t w2) {
    uint8_t bytes[12] = {};
    const uint32_t words[3] = {w0, w1, w2};
    for (size_t i = 0; i < 3; ++i) {
        for (size_t b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<uint8_t>(words[i] >> (8 * b));
    }
    std::memcpy(static_cast<void*>(&audio_light_), bytes, sizeof audio_light_);
    if (view_ != nullptr)
        view_->ShowAudioLight(audio_light_);
}

std::array<uint32_t, 3> CNerioUSBDevice::GetLightColour() {
    if (view_ != nullptr) {
        if (const auto record = view_->ReadAudioLight())
            audio_light_ = *record;
    }
    uint8_t bytes[12] = {};
    std::memcpy(bytes, static_cast<const void*>(&audio_light_), sizeof audio_light_);
    return {ReadLe32(bytes), ReadLe32(bytes + 4), ReadLe32(bytes + 8)};
}

void CNerioUSBDevice::SetLightingEnabled(bool enabled) {
    const bool was = lighting_enabled_.exchange(enabled);
    if (enabled && !was && kind_ == kKindKeyboard) {
        if (CmdLightControlNotice(config_) != kResultOk)
            Z7_TRACE("%s: light control notice not acknowledged\n", config_.Label().c_str());
    }
}

CNerioUSBDevice::NotifyLink& CNerioUSBDevice::Link(int link) {
    return link == kLinkReceiver ? *receiver_link_ : *cable_link_;
}

bool CNerioUSBDevice::NotificationOpen(int link) const {
    return (link == kLinkReceiver ? *receiver_link_ : *cable_link_).open.load();
}

bool CNerioUSBDevice::OpenNotificationCollection(const InterfaceSlot& slot, int link) {
    NotifyLink& l = Link(link);
    // A thread still reading the previous collection ends first: its stop closes the interface.
    static_cast<void>(l.thread.Stop(kNotificationStopWait));
    bool opened = false;
    {
        std::unique_lock<std::mutex> lock = link == kLinkReceiver
                                                ? std::unique_lock(notify_.NotificationLock())
                                                : notify_.LockExchanges();
        l.iface.Close();
        opened = l.iface.Open(slot.path, true, true, true, false);
        l.open.store(opened);
        if (link != kLinkReceiver)
            notify_.SetOpen(opened);
    }
    if (opened)
        l.thread.Start([this, &l](std::stop_token token) { RunNotifications(token, l); });
    return opened;
}

void CNerioUSBDevice::CloseNotificationCollection(int link) {
    NotifyLink& l = Link(link);
    if (!l.open.load())
        return;
    static_cast<void>(l.thread.Stop(kNotificationStopWait));
    std::unique_lock<std::mutex> lock = link == kLinkReceiver
                                            ? std::unique_lock(notify_.NotificationLock())
                                            : notify_.LockExchanges();
    l.open.store(false);
    if (link != kLinkReceiver)
        notify_.SetOpen(false);
    l.iface.Close();
}

void CNerioUSBDevice::RunNotifications(std::stop_token token, NotifyLink& l) {
    // The read below waits without a time-out; a stop cancels it by closing the interface.
    std::stop_callback cancel(token, [&l] { l.iface.Close(); });
    while (!l.thread.SleepFor(token, std::chrono::milliseconds(1))) {
        if (!l.open.load())
            continue;
        std::span<uint8_t> buffer = l.iface.InputReportBuffer();
        size_t n = 0;
        if (buffer.empty() || !l.iface.Read(buffer.data(), buffer.size(), &n, -1))
            continue;
        if (!l.iface.UnpackInputReport(buffer.data(), n))
            continue;
        std::span<hid::HidDataItem> items = l.iface.InputDataItems();
        if (items.empty())
            continue;
        const hid::HidDataItem& first = items[0];
        const uint16_t code = first.is_button_data
                                  ? (first.usage_list.empty() ? uint16_t{0} : first.usage_list[0])
                                  : first.usage;
        Z7_TRACE("接收到自动添加设备的同步信息要求  TEST\n");
        if (code == kNotifySyncRequest) {
            Z7_TRACE("接收到自动添加设备的同步信息要求\n");
            if (view_ != nullptr)
                view_->StartTimer(kTimerResync, 50);
        } else {
            OnNotification(l.link, code);
        }
    }
    Z7_TRACE("%s\n", NotificationExitTrace());
}

uint32_t CNerioUSBDevice::NowMs() {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

void CNerioUSBDevice::StartLightThread() {
    light_thread_.Start([this](std::stop_token token) {
        std::chrono::milliseconds pause{1};
        while (!light_thread_.SleepFor(token, pause)) {
            if (!config_.IsOpen()) {
                if (light_thread_.SleepFor(token, std::chrono::milliseconds(100)))
                    break;
                continue;
            }
            if (config_.IsStreaming())
                continue;
            std::lock_guard lock(effect_state_mutex_);
            RunLightTurn(NowMs());
            pause = LightTurnPause();
        }
        Z7_TRACE("%s\n", LightThreadExitTrace());
    });
}

StopOutcome CNerioUSBDevice::StopLightThread() {
    return light_thread_.Stop(kLightThreadStopWait);
}

void CNerioUSBDevice::RequestStopThreads() {
    light_thread_.RequestStop();
    // A notification thread's stop also cancels its blocking read.
    cable_link_->thread.RequestStop();
    receiver_link_->thread.RequestStop();
}

void CNerioUSBDevice::StopThreads() {
    static_cast<void>(StopLightThread());
    CloseNotificationCollection(kLinkCable);
    CloseNotificationCollection(kLinkReceiver);
}

}  // namespace zepho7::devices
