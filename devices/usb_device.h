// The device base object: one per connected peripheral, holding its protocol state (two
// transceivers, the light state and LED colours, key and LED control bindings, the notification
// threads and the light thread) and driving its page through a DeviceView. The four device
// classes derive from it and replace the operations their device needs.
//
// Setup, by the main window, in this order: SetPageLayoutFile, SetHost, SetKeyCount,
// SetLedCount, SetTypeRow, SetHasBattery, SetLogoPreviewLed, SetProfileId, SetTypeName,
// SetPowerPanel, SetIdentity, SetTypeIndex, SetLightDataName, BuildPage. The view is given
// first (SetView) and kept for the object's life.
//
// Threads: the page's thread calls everything except where noted; the light thread steps the
// effects under the effect-state lock; the notification threads only call OnNotification and
// the view's StartTimer. Subclasses whose threads use their own members call StopThreads() in
// their destructors, before those members go.
#pragma once

#include <json/value.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "devices/catalogue.h"
#include "devices/device_view.h"
#include "devices/light_engine.h"
#include "devices/light_frame.h"
#include "devices/worker_thread.h"
#include "storage/profile_document.h"
#include "transport/device_transceiver.h"

namespace zepho7::devices {

// Link kinds of the notification collections.
inline constexpr int kLinkCable = 2;
inline constexpr int kLinkReceiver = 6;

inline constexpr std::chrono::milliseconds kLightThreadStopWait{1000};
inline constexpr std::chrono::milliseconds kNotificationStopWait{500};
inline constexpr uint16_t kNotifySyncRequest = 0x401;
inline constexpr uint32_t kStreamPauseMs = 200;

// The 16-byte light state: the profile's light record, then two spare bytes.
struct LightState {
    storage::LightRecord record;
    std::array<uint8_t, 2> spare{};
    bool operator==(const LightState&) const = default;
};
static_assert(sizeof(LightState) == 16);

// What WriteLightSettings is asked to write (the mouse: settings block and its parameters).
struct LightWriteRequest {
    int block = 0;
    int block0_value = 0;
    int caller_value = 0;
    int width = 0;
    int height = 0;
};

// A control name split into its prefix and trailing decimal number: "light_0_2" is
// ("light_0_", 2); a name without a trailing number (or one of over six digits) gives -1.
std::pair<std::string_view, int> SplitTrailingNumber(std::string_view name);

class CNerioUSBDevice {
  public:
    CNerioUSBDevice();
    virtual ~CNerioUSBDevice();
    CNerioUSBDevice(const CNerioUSBDevice&) = delete;
    CNerioUSBDevice& operator=(const CNerioUSBDevice&) = delete;

    // The class name the page layout reports.
    virtual const char* ClassName() const { return "NerioUSBDevice"; }

    void SetView(std::unique_ptr<DeviceView> view);
    DeviceView* View() const { return view_.get(); }

    // Setup, in order.
    void SetPageLayoutFile(std::string file);
    void SetHost(DeviceHost* host) { host_ = host; }
    void SetKeyCount(int count);
    void SetLedCount(int count);
    void SetTypeRow(int row) { type_row_ = row; }
    void SetHasBattery(bool has_battery) { has_battery_ = has_battery; }
    void SetLogoPreviewLed(int led) { logo_preview_led_ = led; }
    void SetProfileId(std::string id) { profile_id_ = std::move(id); }
    void SetTypeName(std::string name) { type_name_ = std::move(name); }
    void SetPowerPanel(ControlId panel);
    void SetIdentity(const InterfaceSlot& slot);
    void SetLightDataName(std::string name) { light_data_name_ = std::move(name); }
    void SetSelectorEntry(ControlId entry) { selector_entry_ = entry; }

    // Virtual operations.
    virtual void BuildPage();
    virtual int ApplyLightSettings() { return 0; }
    virtual void StepBreathing();
    virtual void StepBreathingFourColours();
    virtual void StepStatic();
    virtual void StepSpectrum();
    virtual void StepFlash();
    virtual void StepFlashFourColours();
    virtual void StepOff();
    virtual void SendLightFrame();
    virtual void SetLedColour(int index, LedColour colour);
    virtual LedColour GetLedColour(int index) const;
    virtual void SyncFromDevice() {}
    virtual void RefreshLightFromDevice() {}
    virtual void ReservedHook1() {}
    virtual void ReservedHook2() {}
    virtual void ReadPowerStatus() {}
    virtual bool IsReachableByReceiver() { return true; }
    virtual void LoadProfile() {}
    virtual void RefreshPanels() {}
    virtual void RevalidateMacroAssignments() {}
    virtual void ReloadProfile() {}
    virtual std::vector<int> ListMacros() { return {}; }
    [[nodiscard]] virtual int WriteKeyAssignments(int /*bank*/,
                                                  std::span<const storage::KeyEntry> /*keys*/) {
        return 0;
    }
    [[nodiscard]] virtual int WriteCurrentKeyAssignments(int /*bank*/) { return 0; }
    [[nodiscard]] virtual int WriteMacros(std::span<const int> /*macros*/) { return 0; }
    [[nodiscard]] virtual int WriteLightSettings(const LightWriteRequest& /*request*/) { return 0; }
    virtual void LoadLibraries() {}
    virtual void SetKeyMap(std::map<int, int> map) { key_maps_[2] = std::move(map); }
    virtual uint8_t StepLevel(int led, int mode) { return engine_.StepLevel(led, mode); }
    virtual void TriggerRipple() { engine_.TriggerRipple(); }
    virtual void RotateRipple(int direction) { engine_.RotateRipple(direction); }
    virtual void ClearLightBuffers() { engine_.ClearLightBuffers(); }
    virtual void SelectFunctionPage(int page);
    virtual int GetFunctionPage() const { return function_page_; }
    virtual void ReloadProfileList() {}
    virtual std::string GetProfileName() { return {}; }
    virtual void SaveProfile() {}
    virtual void SetTypeIndex(int index) { type_index_ = index; }
    virtual int GetTypeIndex() const { return type_index_; }
    virtual void SetLightParameters(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3);
    virtual void SetLightColour(uint32_t w0, uint32_t w1, uint32_t w2);
    virtual std::array<uint32_t, 3> GetLightColour();
    virtual void SelectListEntry(int index) { selected_entry_ = index; }
    virtual void OnAudioLevels(std::span<const int32_t> /*levels*/, int32_t /*amplitude*/) {}
    virtual void OnAudioPeak() {}

    // Lighting control by the application (all devices, from the main window).
    void SetLightingEnabled(bool enabled);
    [[nodiscard]] bool LightingEnabled() const { return lighting_enabled_.load(); }
    void SetPointerInside(bool inside) { pointer_inside_.store(inside); }
    [[nodiscard]] bool PointerInside() const { return pointer_inside_.load(); }
    void SetSynchronised(bool on) { synchronised_.store(on); }
    [[nodiscard]] bool Synchronised() const { return synchronised_.load(); }
    // Changed only on a device with a battery.
    void SetWindowHidden(bool hidden);
    [[nodiscard]] bool WindowHidden() const { return window_hidden_.load(); }

    // Notification collections: open on arrival of a role-255 slot, close on its removal.
    [[nodiscard]] bool OpenNotificationCollection(const InterfaceSlot& slot, int link);
    void CloseNotificationCollection(int link);
    [[nodiscard]] bool NotificationOpen(int link) const;

    // The light thread (started by SyncFromDevice in the device classes).
    void StartLightThread();
    StopOutcome StopLightThread();
    // Whether the frame sender streams the host's frames to the device (light mode 11).
    [[nodiscard]] bool StreamsLightFrames() const { return LightMode() == 11; }
    // Stops the light thread and both notification threads.
    void StopThreads();
    // Asks those threads to stop without waiting; StopThreads then waits for each.
    void RequestStopThreads();

    // Getters.
    DeviceTransceiver& Transceiver() { return config_; }
    DeviceTransceiver& NotificationTransceiver() { return notify_; }
    ControlId SelectorEntry() const { return selector_entry_; }
    ControlId PowerPanel() const { return power_panel_; }
    bool HasBattery() const { return has_battery_; }
    int TypeRow() const { return type_row_; }
    int Kind() const { return kind_; }
    int Role() const { return role_; }
    const InterfaceSlot& Identity() const { return identity_; }
    int KeyCount() const { return static_cast<int>(key_controls_.size()); }
    int LedCount() const { return engine_.LedCount(); }
    int SelectedEntry() const { return selected_entry_; }
    int LogoPreviewLed() const { return logo_preview_led_; }
    const std::string& PageLayoutFile() const { return page_layout_; }
    const std::string& ProfileId() const { return profile_id_; }
    const std::string& TypeName() const { return type_name_; }
    const std::string& LightDataName() const { return light_data_name_; }
    ControlId SelectPanel() const { return select_panel_; }
    ControlId KeyControl(int n) const;
    ControlId LedControl(int n) const;
    const std::map<int, int>& KeyMap(int which) const { return key_maps_[which % 3]; }
    LightState GetLightState() const;
    storage::AudioLightRecord AudioLight() const { return audio_light_; }
    std::span<const storage::LedEffect> LedEffects() const { return led_effects_; }
    // The frame last built by SendLightFrame.
    std::span<const uint8_t> LastFrame() const {
        return {frame_.data(), static_cast<size_t>(LedCount()) * 3};
    }

    // The effect engine and the lock its counters are stepped under.
    LightEngine& Engine() { return engine_; }
    [[nodiscard]] std::unique_lock<std::mutex> LockEffectState() {
        return std::unique_lock(effect_state_mutex_);
    }

  protected:
    // One turn of the light thread's effect work, under the effect-state lock. Nothing here.
    virtual void RunLightTurn(uint32_t /*now_ms*/) {}
    // The light thread's pause before its next turn, asked under the effect-state lock after
    // each turn. Effects that do not change between steps may rest longer.
    virtual std::chrono::milliseconds LightTurnPause() const {
        return std::chrono::milliseconds(1);
    }
    virtual const char* LightThreadExitTrace() const { return "灯光线程设定退出"; }
    // A notification other than the synchronisation request, on its thread.
    virtual void OnNotification(int /*link*/, uint16_t /*code*/) {}
    virtual const char* NotificationExitTrace() const { return "设备同步线程设定退出"; }
    // The mode the frame sender streams in (the base light state's).
    virtual uint8_t LightMode() const { return engine_.Settings().mode; }

    static uint32_t NowMs();
    void SetKind(int kind) { kind_ = kind; }
    // Shows one LED's colour in a preview control when it exists and is visible.
    void ShowLedPreview(ControlId control, LedColour colour);

    // Fields the device classes use.
    DeviceTransceiver config_;
    DeviceTransceiver notify_;
    std::unique_ptr<DeviceView> view_;
    DeviceHost* host_ = nullptr;
    ControlId light_panel_ = kNoControl;
    ControlId select_panel_ = kNoControl;
    ControlId selector_entry_ = kNoControl;
    ControlId power_panel_ = kNoControl;
    ControlId function_tab_ = kNoControl;
    ControlId key_function_tab_ = kNoControl;
    bool tabs_looked_up_ = false;
    std::string page_layout_;
    std::string profile_id_;
    std::string light_data_name_;
    std::string type_name_;
    int kind_ = 0;
    int role_ = 0;
    int type_row_ = -1;
    int selected_entry_ = -1;
    int function_page_ = 1;
    std::vector<ControlId> key_controls_;
    std::vector<ControlId> led_controls_;
    std::array<std::map<int, int>, 3> key_maps_;
    LightEngine engine_;
    LightState light_state_;
    storage::CBasicProfiledata* profile_ = nullptr;
    std::array<Json::Value, 3> scratch_;
    std::mutex frame_lock_;   // the light sequence and its step index
    std::mutex effect_lock_;  // the per-LED effect table
    std::vector<storage::LedEffect> led_effects_;
    std::vector<storage::LedEffect> led_effect_list_;  // as read from the profile
    std::atomic<bool> synchronised_{false};
    std::atomic<bool> lighting_enabled_{true};
    std::atomic<bool> pointer_inside_{true};
    std::vector<std::string> macro_names_;
    std::vector<std::string> effect_names_;
    std::vector<bool> effect_visible_;
    std::vector<int> effect_values_;
    std::vector<std::string> area_light_names_;
    std::vector<std::string> custom_light_names_;
    bool has_battery_ = false;
    std::atomic<bool> window_hidden_{false};
    InterfaceSlot identity_;
    int type_index_ = 0;
    int logo_preview_led_ = -1;
    storage::AudioLightRecord audio_light_;

  private:
    struct NotifyLink;
    NotifyLink& Link(int link);
    void RunNotifications(std::stop_token token, NotifyLink& link);

    std::mutex effect_state_mutex_;
    LightFrame frame_{};
    uint32_t stream_resume_ms_ = 0;
    bool stream_paused_ = false;
    std::unique_ptr<NotifyLink> cable_link_;
    std::unique_ptr<NotifyLink> receiver_link_;
    WorkerThread light_thread_;  // last: stopped before the members it uses go away
};

}  // namespace zepho7::devices
