// The gaming mouse (by cable, or through its 2.4 GHz receiver): reads its information, key table
// and settings block, writes key assignments, the settings block (lighting, DPI stages, report
// rate, screen size, correction), macros and recoil data in the mouse's own formats, handles its
// notifications and runs its light thread. Every setting also lives in the mouse profile; this
// class fixes how the profile maps to device bytes.
//
// Every device step is preceded by the link guard: nothing is sent unless the configuration
// transceiver is open and, through the receiver, the mouse answers the link query.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "devices/led_effects.h"
#include "devices/mouse_images.h"
#include "devices/mouse_lighting.h"
#include "devices/usb_device.h"
#include "storage/folders.h"
#include "storage/profile_document.h"
#include "transport/commands.h"

namespace zepho7::devices {

inline constexpr int kNoDeviceKey = 170;  // the logical key is not on this device
inline constexpr int kMessagePowerStatus = 3329;
inline constexpr uint16_t kNotifyReactive = 0x403;

// Results of WriteMacros: 0 written (or nothing to write); a positive n: the macros do not fit
// the mouse's macro memory and n events must go; the negative codes below, or a transport code
// (-101, -102, -103) when the device refused the transfer.
enum MacroWriteResult : int {
    kMacrosWritten = 0,
    kMacrosLinkFailed = -1,     // not reachable (after the image was built), or no reply
    kMacroTooLong = -2,         // a macro has more than 250 events
    kMacroLibraryMissing = -3,  // macros are listed but the library cannot be read
};

class CNerioMouseDevice : public CNerioUSBDevice {
  public:
    explicit CNerioMouseDevice(storage::DataFolders folders);
    ~CNerioMouseDevice() override;

    // Base operations.
    void BuildPage() override;
    int ApplyLightSettings() override;
    void SendLightFrame() override;
    void SyncFromDevice() override;
    void RefreshLightFromDevice() override;
    void ReadPowerStatus() override;
    bool IsReachableByReceiver() override;
    void LoadProfile() override;
    void RefreshPanels() override;
    void RevalidateMacroAssignments() override;
    void ReloadProfile() override;
    std::vector<int> ListMacros() override;
    [[nodiscard]] int WriteKeyAssignments(int bank,
                                          std::span<const storage::KeyEntry> keys) override;
    [[nodiscard]] int WriteCurrentKeyAssignments(int bank) override;
    [[nodiscard]] int WriteMacros(std::span<const int> macros) override;
    [[nodiscard]] int WriteLightSettings(const LightWriteRequest& request) override;
    void LoadLibraries() override;
    void ReloadProfileList() override;
    std::string GetProfileName() override;
    void SaveProfile() override;
    void SetTypeIndex(int index) override;
    void SetLightParameters(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) override;
    void SetLightColour(uint32_t w0, uint32_t w1, uint32_t w2) override;
    std::array<uint32_t, 3> GetLightColour() override;
    void OnAudioLevels(std::span<const int32_t> levels, int32_t amplitude) override;

    // The mouse's own operations.
    // Information block and key table; rebuilds the logical key map. Result 1 or the failure.
    [[nodiscard]] int ReadDeviceSettings();
    // The active settings block into the light state and the profile (saved). 1 or 0.
    [[nodiscard]] int ReadLightSettings();
    // ReadDeviceSettings, LoadProfile, ReadLightSettings: SyncFromDevice without the panels and
    // the light thread (for programs without a page). The first failing result, else 1.
    [[nodiscard]] int ReadFromDevice();
    // The recoil image from the four recoil files of the user folder. 1 or the failure.
    [[nodiscard]] int WriteRecoilData();
    void RefreshKeyInfo();
    void SetKeyInfo(int logical_key, std::string_view text);

    // State.
    const storage::DataFolders& Folders() const { return folders_; }
    storage::CMouseProfiledata& Profile() { return profile_data_; }
    const std::array<uint8_t, kDeviceInfoSize>& DeviceInfoBlock() const { return info_block_; }
    const MouseInfo& Info() const { return info_; }
    std::span<const uint8_t> KeyTableImage() const { return key_table_; }
    // Logical key (0..10) -> device key index, kNoDeviceKey when absent.
    const std::map<int, int>& LogicalKeyMap() const { return logical_map_; }
    const SettingsBytes& SettingsMirror() const { return settings_mirror_; }
    int ActiveBlock() const { return active_block_.load(); }
    int ActiveDpiStage() const { return active_dpi_stage_.load(); }
    std::span<const int> ModeValues() const { return effect_values_; }
    const std::vector<std::string>& MacroNames() const { return macro_names_; }
    // The working key assignments, one per logical key.
    const std::vector<storage::KeyEntry>& KeyAssignments() const { return keys_; }
    // Changes one logical key's assignment in the working list and the profile (not saved).
    bool SetKeyAssignment(int logical_key, keycodes::FunctionCode code);
    // The last power status read (6 bytes), if any.
    std::optional<std::array<uint8_t, 6>> LastPowerStatus() const;
    ControlId LogoPreview() const { return logo_preview_; }
    const std::vector<ControlId>& ExtraPreviews() const { return extra_previews_; }

  protected:
    void RunLightTurn(uint32_t now_ms) override;
    std::chrono::milliseconds LightTurnPause() const override;
    void OnNotification(int link, uint16_t code) override;
    const char* NotificationExitTrace() const override { return "MS 设备同步线程设定退出"; }

  private:
    // The current profile file into the working state; false when there is none.
    bool ReadProfileFile();
    // The link guard.
    bool LinkUp();
    // Begin, the transfer, end (with the guard before each step when asked); the first failing
    // result, or 1.
    template <typename Transfer>
    int InSession(bool guard_each_step, Transfer transfer);
    void ShowDpiRanges();
    // Maps logical keys whose factory code is gone by the code they were written with.
    void FindReassignedKeys();
    // The codes the key table gets for the assignments: macro numbers become positions in the
    // macro image, unknown macros the key's default (only keys on the device count when asked).
    std::vector<keycodes::FunctionCode> DeviceCodes(std::span<const storage::KeyEntry> keys,
                                                    bool mapped_only) const;
    void SelectSettingsPage(int page);
    std::string ResolveName(const keycodes::DisplayName& name);

    storage::DataFolders folders_;
    storage::CMouseProfiledata profile_data_;
    MouseLighting lighting_;
    LedEffectPasses passes_;
    std::vector<storage::LightStep> steps_;  // under frame_lock_

    std::array<uint8_t, kDeviceInfoSize> info_block_{};
    MouseInfo info_;
    std::array<uint8_t, kMaxDataLength> key_table_{};
    std::map<int, int> logical_map_;
    SettingsBytes settings_mirror_{};
    std::atomic<int> active_block_{0};
    std::atomic<int> active_dpi_stage_{0};
    std::vector<storage::KeyEntry> keys_;

    mutable std::mutex power_mutex_;
    std::optional<std::array<uint8_t, 6>> power_;

    ControlId logo_preview_ = kNoControl;
    ControlId preview_panel_ = kNoControl;
    std::vector<ControlId> extra_previews_;
    std::vector<storage::DefaultLight> default_lights_;
};

}  // namespace zepho7::devices
