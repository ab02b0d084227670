// What a device object needs of its page. The page (a Qt widget tree built from the skin's
// layout file) implements this; the device never sees a widget. Controls are named by handles
// the view hands out; kNoControl is "not there".
//
// Threads: StartTimer may be called from a device's notification threads; every other call
// comes from the thread that owns the page.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/light_files.h"
#include "storage/profile_document.h"

namespace zepho7::devices {

using ControlId = int;
inline constexpr ControlId kNoControl = -1;
inline constexpr ControlId kPageRoot = 0;  // the device page itself

struct ControlInfo {
    ControlId id = kNoControl;
    std::string class_name;  // the skin's class, e.g. "SelectPanel", "DeviceKeyButton"
    std::string name;
    std::string user_data;
    std::string tooltip;
};

// Timers of the device's selector entry; they run on the page's thread.
enum DeviceTimer : int {
    kTimerFrame = 1000,     // sends light frames
    kTimerSync = 1001,      // first read of the device
    kTimerResync = 1002,    // re-reads the lighting after the device asked for it
    kTimerPower = 1005,     // reads the power status
    kTimerLinkWatch = 1007  // checks the mouse behind the receiver still answers
};

class DeviceView {
  public:
    virtual ~DeviceView() = default;

    // The control tree.
    virtual std::vector<ControlInfo> Children(ControlId parent) = 0;
    virtual ControlId FindControl(std::string_view name) = 0;
    virtual bool IsVisible(ControlId control) = 0;

    // A key button's light preview (tint red | blue << 8 | green << 16, level 0..255).
    virtual void SetLightTint(ControlId control, uint32_t tint, uint8_t level, bool shown) = 0;
    virtual void SetTooltip(ControlId control, std::string_view title, std::string_view text) = 0;
    virtual void Repaint(ControlId control) = 0;
    // Selects page `index` of a tab layout.
    virtual void SelectTab(ControlId tab, int index) = 0;

    // Starts (or restarts) a selector-entry timer. Any thread.
    virtual void StartTimer(int timer_id, int interval_ms) = 0;

    // The power panel: whether the device has a battery, and its 6-byte power status.
    virtual void SetPowerPanelBattery(bool has_battery) = 0;
    virtual void ShowPowerStatus(std::span<const uint8_t> status) = 0;

    // The key information list ("device_setkeyinfo_list"): rows grow to k + 1 as needed.
    virtual void ClearKeyInfo() = 0;
    virtual void SetKeyInfoRow(int row, std::string_view name, std::string_view text,
                               bool visible) = 0;
    virtual void ShowKeyInfo() = 0;
    // The resolved text of a language entry.
    virtual std::string Text(std::string_view entry) = 0;

    // The lighting panel's audio light record.
    virtual void ShowAudioLight(const storage::AudioLightRecord& record) = 0;
    virtual std::optional<storage::AudioLightRecord> ReadAudioLight() = 0;

    // The panels a device page may hold and the controls of its performance page. Each binding
    // reports whether the page has that panel; a page without panels keeps these defaults.
    //
    // The profile bar ("DeviceProfileItem"): set up for the kind's profile list and showing
    // tab 1; returns the current profile's identifier.
    virtual std::optional<std::string> BindProfileBar(
        int /*kind*/, const std::filesystem::path& /*user_folder*/,
        const std::filesystem::path& /*default_profile*/) {
        return std::nullopt;
    }
    // The lighting panel ("LightControlItem"): its effect list and slider maxima.
    virtual bool BindLightPanel(int /*kind*/, std::span<const storage::DefaultLight> /*effects*/,
                                int /*brightness_max*/, int /*speed_max*/) {
        return false;
    }
    // The macro panel ("MacroControlItem"): returns the names of its macro list.
    virtual std::optional<std::vector<std::string>> BindMacroPanel(
        const std::filesystem::path& /*user_folder*/) {
        return std::nullopt;
    }
    // The key assignment panel ("KeySetControlItem"), function area hidden.
    virtual bool BindKeySetPanel(int /*kind*/, std::span<const std::string> /*macro_names*/) {
        return false;
    }
    // The recoil panel ("ShootControlItem"), showing gun 0, bullet 0.
    virtual bool BindRecoilPanel(const std::filesystem::path& /*user_folder*/,
                                 const std::filesystem::path& /*default_folder*/) {
        return false;
    }
    virtual void SetOptionSelected(ControlId /*option*/, bool /*selected*/) {}
    virtual void SetSliderRange(ControlId /*slider*/, int /*minimum*/, int /*maximum*/) {}
    virtual void SetEditMaxValue(ControlId /*edit*/, int /*maximum*/) {}
    // The lighting panel shows the light record.
    virtual void ShowLightRecord(const storage::LightRecord& /*record*/) {}
    // One DPI stage of the performance page: enabled, slider position, colour 0xAARRGGBB.
    virtual void ShowDpiStage(int /*stage*/, bool /*enabled*/, int /*position*/,
                              uint32_t /*colour*/) {}
    virtual void ShowActiveDpiStage(int /*stage*/) {}
};

// Messages a device sends to the main window (power status, ...). Any thread.
class DeviceHost {
  public:
    virtual ~DeviceHost() = default;
    virtual void PostDeviceMessage(int message, intptr_t first, intptr_t second) = 0;
};

}  // namespace zepho7::devices
