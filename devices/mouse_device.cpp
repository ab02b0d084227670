#include "devices/mouse_device.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/trace.h"
#include "keycodes/keycodes.h"
#include "storage/json_file.h"
#include "storage/light_files.h"
#include "storage/macro_library.h"
#include "storage/profile_list.h"
#include "storage/recoil_data.h"
#include "transport/commands.h"

namespace zepho7::devices {

namespace {

using keycodes::FunctionCode;
using storage::KeyEntry;

constexpr int kBuiltInModes = 12;
constexpr int kAudioMode = 11;
constexpr int kLightMaximum = 4;  // brightness and speed sliders
constexpr int kDpiEditMaximum = 10000;
constexpr int kMaxSettingsPages = 16;
constexpr uint32_t kWhiteTint = 0xFFFFFF;

bool Is(std::string_view prefix, std::string_view wanted) {
    return storage::EqualsIgnoreCase(prefix, wanted);
}

// The working assignments always hold one record per logical key; the profile may hold fewer.
std::vector<KeyEntry> WithAllLogicalKeys(std::vector<KeyEntry> keys) {
    for (size_t j = keys.size(); j < keycodes::kMouseLogicalKeys; ++j) {
        keys.push_back({static_cast<uint16_t>(j), keycodes::kMouseDefaultCodes[j],
                        keycodes::kMouseDefaultCodes[j]});
    }
    return keys;
}

}  // namespace

CNerioMouseDevice::CNerioMouseDevice(storage::DataFolders folders)
    : folders_(std::move(folders)), lighting_(engine_) {
    SetKind(kKindMouse);
    type_index_ = storage::light_row::kMouse;
    profile_ = &profile_data_;
    profile_data_.SetDefaultProfilePath(folders_.DefaultProfile(storage::kMouseType));
    profile_data_.SetLightListPath(folders_.LightListFile(storage::kMouseType));
    profile_data_.SetLightTableRow(storage::light_row::kMouse);
    profile_data_.SetBuiltInEffectCount(kBuiltInModes);
    keys_ = WithAllLogicalKeys({});
}

CNerioMouseDevice::~CNerioMouseDevice() {
    // The threads use the members of this class.
    StopThreads();
}

bool CNerioMouseDevice::LinkUp() {
    if (!config_.IsOpen())
        return false;
    return !config_.IsWireless() || CmdQueryLink(config_);
}

template <typename Transfer>
int CNerioMouseDevice::InSession(bool guard_each_step, Transfer transfer) {
    int result = CmdSessionBegin(config_);
    if (result != kResultOk)
        return result;
    result = !guard_each_step || LinkUp() ? transfer() : kResultReadFailed;
    // The session is closed whatever the transfer did.
    const int end = !guard_each_step || LinkUp() ? CmdSessionEnd(config_) : kResultReadFailed;
    return result == kResultOk ? end : result;
}

// ---- Reading the device ----

int CNerioMouseDevice::ReadDeviceSettings() {
    if (!LinkUp())
        return kResultReadFailed;
    int result = CmdSessionBegin(config_);
    if (result == kResultOk) {
        std::array<uint8_t, kDeviceInfoSize> block{};
        result = CmdReadDeviceInfo(config_, block);
        if (result == kResultOk) {
            info_block_ = block;
            info_ = DecodeMouseInfo(block);
            const int keys = std::min(info_.key_count, static_cast<int>(kMaxDataLength) / 3);
            if (!config_.SetDataLength(static_cast<uint16_t>(keys * 3))) {
                result = kResultReadFailed;
            } else {
                std::array<uint8_t, kMaxDataLength> table{};
                result = CmdReadKeyTable(config_, std::span(table.data(), config_.DataLength()));
                if (result == kResultOk)
                    key_table_ = table;
            }
        }
        const int end = CmdSessionEnd(config_);
        if (result == kResultOk)
            result = end;
    }
    if (result != kResultOk) {
        Z7_TRACE("%s: reading the device failed (%d)\n", config_.Label().c_str(), result);
        return result;
    }
    // Each logical key is found in the table by its factory code.
    logical_map_.clear();
    const int keys = std::min(info_.key_count, static_cast<int>(kMaxDataLength) / 3);
    for (int j = 0; j < keycodes::kMouseLogicalKeys; ++j) {
        const FunctionCode code = keycodes::kMouseDefaultCodes[static_cast<size_t>(j)];
        logical_map_[j] = kNoDeviceKey;
        for (int k = 0; k < keys; ++k) {
            const uint8_t* p = &key_table_[static_cast<size_t>(k) * 3];
            if (p[0] == code.type && p[1] == code.code1 && p[2] == code.code2) {
                logical_map_[j] = k;
                break;
            }
        }
    }
    key_maps_[0] = logical_map_;
    ShowDpiRanges();
    return kResultOk;
}

void CNerioMouseDevice::ShowDpiRanges() {
    if (view_ == nullptr)
        return;
    for (int i = 0; i < kDpiStages; ++i) {
        const ControlId slider = view_->FindControl("DPI_slider_" + std::to_string(i));
        if (slider != kNoControl)
            view_->SetSliderRange(slider, 0, info_.max_slider);
        const ControlId edit = view_->FindControl("DPI_edit_" + std::to_string(i));
        if (edit != kNoControl)
            view_->SetEditMaxValue(edit, kDpiEditMaximum);
    }
}

int CNerioMouseDevice::ReadLightSettings() {
    config_.SetStreaming(false);
    if (!LinkUp())
        return kResultReadFailed;
    std::array<uint8_t, 1> active{};
    if (CmdReadLight(config_, active, 0) != kResultOk)
        return kResultReadFailed;
    SettingsBytes block{};
    if (CmdReadLight(config_, block, static_cast<uint32_t>(active[0]) * kSettingsBlockStride) !=
        kResultOk) {
        return kResultReadFailed;
    }
    settings_mirror_ = block;
    active_block_.store(active[0]);
    const BlockLight light = DecodeSettingsBlock(block, effect_values_);
    active_dpi_stage_.store(light.active_dpi_stage);

    storage::LightRecord& r = light_state_.record;
    const uint8_t previous_mode = r.select_item;
    r.select_item = static_cast<uint8_t>(light.mode);
    r.light = light.brightness;
    r.speed = light.speed;
    r.multi_color = light.colour_cycle;
    r.red = light.red;
    r.green = light.green;
    r.blue = light.blue;
    engine_.SetSettings(
        {r.select_item, r.light, r.speed, r.fx, r.multi_color, r.red, r.green, r.blue});
    if (r.select_item != previous_mode && r.select_item == kAudioMode) {
        auto lock = LockEffectState();
        lighting_.ResetAudio();
    }
    synchronised_.store(false);

    profile_data_.SetActiveDpiStage(light.active_dpi_stage);
    storage::LightRecord stored = profile_data_.GetLightInfo();
    stored.select_item = r.select_item;
    stored.light = r.light;
    stored.speed = r.speed;
    stored.multi_color = r.multi_color;
    stored.red = r.red;
    stored.green = r.green;
    stored.blue = r.blue;
    profile_data_.SetLightInfo(stored);
    SaveProfile();
    return kResultOk;
}

int CNerioMouseDevice::ReadFromDevice() {
    const int read = ReadDeviceSettings();
    LoadProfile();
    if (read != kResultOk)
        return read;
    FindReassignedKeys();
    return ReadLightSettings();
}

void CNerioMouseDevice::FindReassignedKeys() {
    // A key that was given another function no longer shows its factory code in the table, so
    // the map would lose it for good and its assignment could never be written again. Such a
    // key is found by the code it was last written with, among the device keys no other
    // logical key holds.
    const int keys = std::min(info_.key_count, static_cast<int>(kMaxDataLength) / 3);
    std::vector<bool> claimed(static_cast<size_t>(std::max(keys, 0)), false);
    for (const auto& [logical, device] : logical_map_) {
        if (device != kNoDeviceKey && device < keys)
            claimed[static_cast<size_t>(device)] = true;
    }
    const std::vector<FunctionCode> written = DeviceCodes(keys_, false);
    for (auto& [logical, device] : logical_map_) {
        if (device != kNoDeviceKey || static_cast<size_t>(logical) >= written.size())
            continue;
        const FunctionCode code = written[static_cast<size_t>(logical)];
        if (code == keycodes::kMouseDefaultCodes[static_cast<size_t>(logical)])
            continue;
        for (int k = 0; k < keys; ++k) {
            const uint8_t* p = &key_table_[static_cast<size_t>(k) * 3];
            if (!claimed[static_cast<size_t>(k)] && p[0] == code.type && p[1] == code.code1 &&
                p[2] == code.code2) {
                device = k;
                claimed[static_cast<size_t>(k)] = true;
                break;
            }
        }
    }
    key_maps_[0] = logical_map_;
}

std::vector<FunctionCode> CNerioMouseDevice::DeviceCodes(std::span<const KeyEntry> keys,
                                                         bool mapped_only) const {
    const int macro_count = storage::MacroLibrary(folders_.UserFolder(storage::kMouseType)).Count();
    std::vector<int> distinct;
    std::vector<FunctionCode> codes;
    for (size_t j = 0; j < keys.size() && j < keycodes::kMouseLogicalKeys; ++j) {
        FunctionCode code = keys[j].current;
        const auto it = logical_map_.find(static_cast<int>(j));
        const bool mapped = it != logical_map_.end() && it->second != kNoDeviceKey;
        if (keycodes::IsMacroCode(code) && (mapped || !mapped_only)) {
            // The device numbers macros by their order in the macro image (ListMacros).
            if (code.code1 < macro_count) {
                auto pos = std::find(distinct.begin(), distinct.end(), code.code1);
                if (pos == distinct.end())
                    pos = distinct.insert(distinct.end(), code.code1);
                code.code1 = static_cast<uint8_t>(pos - distinct.begin());
            } else {
                code = keys[j].default_code;
            }
        }
        codes.push_back(code);
    }
    return codes;
}

void CNerioMouseDevice::SyncFromDevice() {
    static_cast<void>(ReadFromDevice());
    RefreshPanels();
    StartLightThread();
}

void CNerioMouseDevice::RefreshLightFromDevice() {
    static_cast<void>(ReadLightSettings());
    RefreshPanels();
}

// ---- Profile ----

void CNerioMouseDevice::ReloadProfileList() {
    storage::ProfileList list(storage::kind::kMouse, folders_.UserFolder(storage::kMouseType),
                              folders_.DefaultProfile(storage::kMouseType));
    if (!list.InitProfiles())
        Z7_TRACE("mouse: the profile list could not be written\n");
    const std::string uuid = list.GetCurrentUuid();
    if (!uuid.empty())
        profile_id_ = uuid;
}

bool CNerioMouseDevice::ReadProfileFile() {
    const auto path = folders_.ProfileFile(storage::kMouseType, profile_id_);
    if (path.empty())
        return false;
    profile_data_.SetProfilePath(path);
    static_cast<void>(profile_data_.LoadSection(path));
    keys_ = WithAllLogicalKeys(profile_data_.GetKeyList());
    static_cast<void>(profile_data_.GetDpiStages());
    active_dpi_stage_.store(profile_data_.GetActiveDpiStage());
    static_cast<void>(ApplyLightSettings());
    return true;
}

void CNerioMouseDevice::LoadProfile() {
    ReloadProfileList();
    LoadLibraries();
    static_cast<void>(ReadProfileFile());
}

void CNerioMouseDevice::ReloadProfile() {
    if (!ReadProfileFile())
        return;
    SaveProfile();
    RefreshPanels();
}

std::string CNerioMouseDevice::GetProfileName() {
    storage::ProfileList list(storage::kind::kMouse, folders_.UserFolder(storage::kMouseType),
                              folders_.DefaultProfile(storage::kMouseType));
    for (const storage::ProfileEntry& e : list.Entries()) {
        if (e.uuid == profile_id_)
            return e.name;
    }
    return {};
}

void CNerioMouseDevice::SaveProfile() {
    if (!profile_data_.GetProfilePath().empty() && !profile_data_.Save())
        Z7_TRACE("mouse: the profile could not be saved\n");
}

void CNerioMouseDevice::SetTypeIndex(int index) {
    CNerioUSBDevice::SetTypeIndex(index);
    profile_data_.SetLightTableRow(index);
}

void CNerioMouseDevice::LoadLibraries() {
    storage::MacroLibrary library(folders_.UserFolder(storage::kMouseType));
    macro_names_ = library.Names();
    const Json::Value defaults = storage::ReadJsonFile(folders_.DefaultLightList());
    default_lights_ = storage::ReadDefaultLights(defaults, type_index_);
    effect_names_.clear();
    effect_visible_.clear();
    effect_values_.clear();
    for (const storage::DefaultLight& l : default_lights_) {
        effect_names_.push_back(l.name);
        effect_visible_.push_back(l.visible);
        effect_values_.push_back(l.value);
    }
    area_light_names_ = storage::ReadAreaLightNames(defaults, type_index_);
    custom_light_names_.clear();
    for (const storage::CustomLight& c :
         storage::ReadCustomLights(profile_data_.LoadLightListFile(), type_index_)) {
        custom_light_names_.push_back(c.name);
    }
}

void CNerioMouseDevice::SetLightParameters(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
    CNerioUSBDevice::SetLightParameters(w0, w1, w2, w3);
    profile_data_.SetLightInfo(light_state_.record);
}

void CNerioMouseDevice::SetLightColour(uint32_t w0, uint32_t w1, uint32_t w2) {
    CNerioUSBDevice::SetLightColour(w0, w1, w2);
    profile_data_.SetAudioLight(audio_light_);
    auto lock = LockEffectState();
    lighting_.SetAudioLight(audio_light_);
}

std::array<uint32_t, 3> CNerioMouseDevice::GetLightColour() {
    const std::array<uint32_t, 3> words = CNerioUSBDevice::GetLightColour();
    profile_data_.SetAudioLight(audio_light_);
    return words;
}

bool CNerioMouseDevice::SetKeyAssignment(int logical_key, FunctionCode code) {
    if (logical_key < 0 || static_cast<size_t>(logical_key) >= keys_.size())
        return false;
    keys_[static_cast<size_t>(logical_key)].current = code;
    profile_data_.SetKeyList(keys_);
    return true;
}

// ---- Lighting ----

int CNerioMouseDevice::ApplyLightSettings() {
    const uint8_t previous_mode = light_state_.record.select_item;
    light_state_.record = profile_data_.GetLightInfo();
    audio_light_ = profile_data_.GetAudioLight();
    const storage::LightRecord& r = light_state_.record;
    engine_.SetSettings(
        {r.select_item, r.light, r.speed, r.fx, r.multi_color, r.red, r.green, r.blue});
    {
        auto lock = LockEffectState();
        lighting_.SetAudioLight(audio_light_);
        if (r.select_item != previous_mode) {
            engine_.ClearLightBuffers();
            engine_.Counters().ripple[0] = 0;
            if (r.select_item == kAudioMode)
                lighting_.ResetAudio();
        }
    }
    synchronised_.store(false);
    std::vector<storage::LedEffect> list = profile_data_.GetLightList();
    {
        auto state = LockEffectState();
        std::lock_guard lock(effect_lock_);
        led_effect_list_ = list;
        list.resize(static_cast<size_t>(LedCount()));
        led_effects_ = std::move(list);
        passes_.Breathing(led_effects_, engine_, true);
        passes_.Flash(led_effects_, engine_, NowMs(), true);
        passes_.ColourCycle(led_effects_, engine_, true);
    }
    static_cast<void>(profile_data_.LoadLightListFile());
    std::vector<storage::LightStep> steps = profile_data_.GetCustomLightSteps();
    {
        auto state = LockEffectState();
        std::lock_guard lock(frame_lock_);
        steps_ = std::move(steps);
        lighting_.RestartSequence(NowMs());
    }
    return kResultOk;
}

void CNerioMouseDevice::RunLightTurn(uint32_t now_ms) {
    std::lock_guard lock(frame_lock_);
    lighting_.Turn(now_ms, steps_);
}

std::chrono::milliseconds CNerioMouseDevice::LightTurnPause() const {
    // Steady and off show the same colours at every step: a turn every 20 ms keeps the previews
    // right and spares the processor a thousand wake-ups a second.
    constexpr uint8_t kSteady = 3;
    constexpr uint8_t kOff = 10;
    const uint8_t mode = engine_.Settings().mode;
    return std::chrono::milliseconds(mode == kSteady || mode == kOff ? 20 : 1);
}

void CNerioMouseDevice::OnAudioLevels(std::span<const int32_t> levels, int32_t amplitude) {
    auto lock = LockEffectState();
    lighting_.OnAudioLevels(levels, amplitude);
}

void CNerioMouseDevice::SendLightFrame() {
    if (view_ != nullptr && LightingEnabled()) {
        for (size_t i = 0; i < extra_previews_.size(); ++i) {
            if (static_cast<int>(i) < LedCount())
                ShowLedPreview(extra_previews_[i], engine_.Led(static_cast<int>(i)));
        }
        if (preview_panel_ != kNoControl && PointerInside())
            view_->Repaint(preview_panel_);
        if (logo_preview_ != kNoControl && logo_preview_led_ != -1)
            ShowLedPreview(logo_preview_, engine_.Led(logo_preview_led_));
    }
    CNerioUSBDevice::SendLightFrame();
}

// ---- Writing ----

int CNerioMouseDevice::WriteLightSettings(const LightWriteRequest& request) {
    if (effect_values_.empty())
        LoadLibraries();
    SettingsInput in;
    in.light = profile_data_.GetLightInfo();
    in.stages = profile_data_.GetDpiStages();
    in.active_dpi_stage = profile_data_.GetActiveDpiStage();
    in.settings = profile_data_.GetMouseSettings();
    in.corrections = profile_data_.GetCorrectList();
    in.mode_values = effect_values_;
    in.block0_value = request.block0_value;
    in.caller_value = request.caller_value;
    in.width = request.width;
    in.height = request.height;
    const SettingsBytes block = BuildSettingsBlock(in);
    if (request.block < 0 || request.block > 3)
        return kResultBadBank;
    if (!LinkUp())
        return kResultReadFailed;
    const int result = InSession(true, [&] {
        return CmdWriteLight(config_, std::span(block.data(), kSettingsBlockWritten),
                             static_cast<uint32_t>(request.block) * kSettingsBlockStride);
    });
    if (result != kResultOk)
        Z7_TRACE("%s: settings block not written (%d)\n", config_.Label().c_str(), result);
    return result;
}

int CNerioMouseDevice::WriteKeyAssignments(int bank, std::span<const KeyEntry> keys) {
    if (!LinkUp())
        return kResultReadFailed;
    std::array<uint8_t, kDeviceInfoSize> block{};
    const int info = CmdReadDeviceInfo(config_, block);
    if (info != kResultOk)
        return info;
    info_block_ = block;
    info_ = DecodeMouseInfo(block);
    std::array<uint8_t, kMaxDataLength> image = key_table_;
    const std::vector<FunctionCode> codes = DeviceCodes(keys, true);
    for (size_t j = 0; j < codes.size(); ++j) {
        const auto it = logical_map_.find(static_cast<int>(j));
        if (it == logical_map_.end() || it->second == kNoDeviceKey)
            continue;
        const size_t at = static_cast<size_t>(it->second) * 3;
        if (at + 3 > image.size())
            continue;
        image[at] = codes[j].type;
        image[at + 1] = codes[j].code1;
        image[at + 2] = codes[j].code2;
    }
    if (!LinkUp())
        return kResultReadFailed;
    const int result = InSession(false, [&] {
        return CmdWriteKeyTable(config_, std::span(image.data(), config_.DataLength()), bank);
    });
    if (result == kResultOk)
        key_table_ = image;
    return result;
}

int CNerioMouseDevice::WriteCurrentKeyAssignments(int bank) {
    return WriteKeyAssignments(bank, keys_);
}

std::vector<int> CNerioMouseDevice::ListMacros() {
    const int macro_count = storage::MacroLibrary(folders_.UserFolder(storage::kMouseType)).Count();
    std::vector<int> list;
    for (size_t j = 0; j < keys_.size() && j < keycodes::kMouseLogicalKeys; ++j) {
        // A key missing from the device carries no macro there, so it takes no image slot.
        const auto it = logical_map_.find(static_cast<int>(j));
        if (it != logical_map_.end() && it->second == kNoDeviceKey)
            continue;
        const FunctionCode code = keys_[j].current;
        if (keycodes::IsMacroCode(code) && code.code1 < macro_count &&
            std::find(list.begin(), list.end(), code.code1) == list.end()) {
            list.push_back(code.code1);
        }
    }
    return list;
}

int CNerioMouseDevice::WriteMacros(std::span<const int> macros) {
    const bool open = config_.IsOpen();
    if (open) {
        // 0 means "written" here, so an unreachable mouse must not report it.
        if (!LinkUp())
            return kMacrosLinkFailed;
        std::array<uint8_t, kDeviceInfoSize> block{};
        if (CmdReadDeviceInfo(config_, block) != kResultOk)
            return kMacrosLinkFailed;
        info_block_ = block;
        info_ = DecodeMouseInfo(block);
    }
    if (macros.empty())
        return kMacrosWritten;
    storage::MacroLibrary library(folders_.UserFolder(storage::kMouseType));
    if (storage::ReadJsonFileStatus(library.LibraryPath()).status != storage::ReadStatus::kOk)
        return kMacroLibraryMissing;
    std::vector<EventList> records;
    records.reserve(macros.size());
    for (const int m : macros)
        records.push_back(library.EncodeMacro(m));  // unknown or missing macros are empty
    const size_t length = EventImageLength(records);
    if (length > info_.macro_memory)
        return static_cast<int>((length - info_.macro_memory) / 4 + 1);
    for (const EventList& r : records) {
        if (r.size() > event_image::kMaxMacroEvents)
            return kMacroTooLong;
    }
    const std::vector<uint8_t> image = BuildEventImage(records);
    if (image.empty())
        return kMacrosLinkFailed;
    if (!open)
        return kMacrosWritten;
    if (!LinkUp())
        return kMacrosLinkFailed;
    const int result = InSession(false, [&] { return CmdWriteMacroData(config_, image); });
    if (result == kResultOk)
        return kMacrosWritten;
    return result < 0 ? result : kMacrosLinkFailed;
}

int CNerioMouseDevice::WriteRecoilData() {
    if (!LinkUp())
        return kResultReadFailed;
    std::array<uint8_t, kDeviceInfoSize> block{};
    const int info = CmdReadDeviceInfo(config_, block);
    if (info != kResultOk)
        return info;
    storage::RecoilData recoil(folders_.UserFolder(storage::kMouseType), folders_.DefaultData());
    std::vector<EventList> records;
    for (int gun = 0; gun < storage::RecoilData::kGuns; ++gun)
        records.push_back(recoil.EncodeGun(gun));
    const std::vector<uint8_t> image = BuildEventImage(records);
    if (image.empty() || !LinkUp())
        return kResultReadFailed;
    return InSession(false, [&] { return CmdWriteRecoilData(config_, image); });
}

// ---- Power, link, notifications ----

void CNerioMouseDevice::ReadPowerStatus() {
    if (!config_.IsOpen() || WindowHidden() || !CmdQueryLink(config_))
        return;
    std::array<uint8_t, 6> status{};
    if (CmdReadPowerStatus(config_, status, 0) != kResultOk)
        return;
    status[3] = config_.IsWireless() ? 1 : 0;
    {
        std::lock_guard lock(power_mutex_);
        power_ = status;
    }
    if (view_ != nullptr)
        view_->ShowPowerStatus(status);
    if (host_ != nullptr)
        host_->PostDeviceMessage(kMessagePowerStatus, status[4], 0);
}

std::optional<std::array<uint8_t, 6>> CNerioMouseDevice::LastPowerStatus() const {
    std::lock_guard lock(power_mutex_);
    return power_;
}

bool CNerioMouseDevice::IsReachableByReceiver() {
    return config_.IsOpen() && config_.IsWireless() && CmdQueryLink(config_);
}

void CNerioMouseDevice::OnNotification(int link, uint16_t code) {
    if (code == kNotifyReactive) {
        if (link == kLinkCable) {
            auto lock = LockEffectState();
            lighting_.TriggerReactive();
        }
        return;
    }
    const int high = code >> 8;
    if (high != 0x10 && high != 0x11)
        return;
    active_block_.store(code & 0x0F);
    if (high == 0x11)
        active_dpi_stage_.store((code >> 4) & 0x0F);
    // The panels belong to the page's thread: the refresh runs there, from the re-read timer,
    // which also brings the newly active block's settings in.
    if (config_.IsOpen() && view_ != nullptr)
        view_->StartTimer(kTimerResync, 50);
}

// ---- The page ----

void CNerioMouseDevice::BuildPage() {
    if (page_layout_.empty()) {
        CNerioUSBDevice::BuildPage();
        extra_previews_.clear();
        return;
    }
    if (view_ == nullptr)
        return;
    const ControlId layout = view_->FindControl("mouse_device_seting_layout");
    if (layout == kNoControl)
        return;
    select_panel_ = kNoControl;
    preview_panel_ = kNoControl;
    logo_preview_ = kNoControl;
    const auto show_white = [this](ControlId id) {
        view_->SetLightTint(id, kWhiteTint, 255, true);
    };
    for (const ControlInfo& panel : view_->Children(layout)) {
        if (panel.class_name != "SelectPanel")
            continue;
        if (select_panel_ == kNoControl)
            select_panel_ = panel.id;
        for (const ControlInfo& button : view_->Children(panel.id)) {
            if (button.class_name != "DeviceKeyButton")
                continue;
            const auto [prefix, n] = SplitTrailingNumber(button.name);
            if (n >= 0) {
                const auto index = static_cast<size_t>(n);
                if (Is(prefix, "key_") && index < key_controls_.size()) {
                    key_controls_[index] = button.id;
                } else if (Is(prefix, "light_") && index < led_controls_.size()) {
                    led_controls_[index] = button.id;
                    show_white(button.id);
                } else if (Is(prefix, "light_0_")) {
                    if (extra_previews_.size() > index)
                        extra_previews_[index] = button.id;
                    else
                        extra_previews_.push_back(button.id);
                    if (preview_panel_ == kNoControl)
                        preview_panel_ = panel.id;
                    show_white(button.id);
                }
            }
            const auto [data_prefix, m] = SplitTrailingNumber(button.user_data);
            if (m >= 0 && Is(data_prefix, "light_") &&
                static_cast<size_t>(m) < led_controls_.size()) {
                led_controls_[static_cast<size_t>(m)] = button.id;
                show_white(button.id);
            }
            if (Is(button.tooltip, "logo"))
                logo_preview_ = button.id;
        }
    }
    if (select_panel_ == kNoControl)
        return;

    const auto user_folder = folders_.UserFolder(storage::kMouseType);
    if (const auto uuid = view_->BindProfileBar(kind_, user_folder,
                                                folders_.DefaultProfile(storage::kMouseType))) {
        profile_id_ = *uuid;
    }
    LoadLibraries();
    static_cast<void>(view_->BindLightPanel(kind_, default_lights_, kLightMaximum, kLightMaximum));
    const auto macro_names = view_->BindMacroPanel(user_folder);
    static_cast<void>(view_->BindKeySetPanel(
        kind_, macro_names ? std::span<const std::string>(*macro_names) : macro_names_));
    static_cast<void>(view_->BindRecoilPanel(user_folder, folders_.DefaultData()));
    SelectSettingsPage(0);
}

void CNerioMouseDevice::SelectSettingsPage(int page) {
    const ControlId tab = view_->FindControl("mouse_device_seting_layout");
    if (tab != kNoControl)
        view_->SelectTab(tab, page);
    for (int i = 0; i < kMaxSettingsPages; ++i) {
        const ControlId option =
            view_->FindControl("mouse_device_seting_option_" + std::to_string(i));
        if (option == kNoControl)
            break;
        view_->SetOptionSelected(option, i == page);
    }
}

void CNerioMouseDevice::RefreshPanels() {
    LoadLibraries();
    RefreshKeyInfo();
    if (view_ == nullptr)
        return;
    view_->ShowLightRecord(light_state_.record);
    view_->ShowAudioLight(audio_light_);
    const std::vector<storage::DpiStage> stages = profile_data_.GetDpiStages();
    for (size_t i = 0; i < stages.size() && i < kDpiStages; ++i) {
        const storage::DpiStage& s = stages[i];
        const uint32_t colour = 0xFF000000u | (static_cast<uint32_t>(s.red) << 16) |
                                (static_cast<uint32_t>(s.green) << 8) | s.blue;
        view_->ShowDpiStage(static_cast<int>(i), s.active != 0, s.dpi_x, colour);
    }
    view_->ShowActiveDpiStage(active_dpi_stage_.load());
}

void CNerioMouseDevice::RevalidateMacroAssignments() {
    LoadLibraries();
    const int count = static_cast<int>(macro_names_.size());
    bool changed = false;
    for (KeyEntry& k : keys_) {
        if (keycodes::IsMacroCode(k.current) && k.current.code1 >= count) {
            k.current = k.default_code;
            changed = true;
        }
    }
    if (changed) {
        profile_data_.SetKeyList(keys_);
        SaveProfile();
        RefreshKeyInfo();
    }
}

std::string CNerioMouseDevice::ResolveName(const keycodes::DisplayName& name) {
    if (name.kind == keycodes::DisplayName::Kind::kLiteral)
        return name.parts.empty() ? std::string() : name.parts.front();
    std::string text;
    for (const std::string& part : name.parts) {
        if (!text.empty())
            text += "+";
        text += view_->Text(part);
    }
    return text;
}

void CNerioMouseDevice::RefreshKeyInfo() {
    if (view_ == nullptr)
        return;
    view_->ClearKeyInfo();
    for (size_t k = 0; k < keys_.size(); ++k) {
        const keycodes::DisplayName name = keycodes::NameOfCode(keys_[k].current, macro_names_);
        if (name.kind != keycodes::DisplayName::Kind::kNothing)
            SetKeyInfo(static_cast<int>(k), ResolveName(name));
    }
    if (logo_preview_ != kNoControl) {
        std::string text = view_->Text("Light_Set") + "\n" + view_->Text("Overall_Light_Set");
        const int mode = light_state_.record.select_item;
        if (mode >= kBuiltInModes) {
            const auto i = static_cast<size_t>(mode - kBuiltInModes);
            if (i < custom_light_names_.size())
                text += custom_light_names_[i];
        } else if (static_cast<size_t>(mode) < effect_names_.size()) {
            text += view_->Text(effect_names_[static_cast<size_t>(mode)]);
        }
        view_->SetTooltip(logo_preview_, "Logo", text);
    }
    view_->ShowKeyInfo();
}

void CNerioMouseDevice::SetKeyInfo(int logical_key, std::string_view text) {
    const ControlId key = KeyControl(logical_key);
    if (view_ == nullptr || key == kNoControl || logical_key >= keycodes::kMouseLogicalKeys)
        return;
    const std::string name =
        view_->Text(keycodes::kMouseKeyEntries[static_cast<size_t>(logical_key)]);
    view_->SetTooltip(key, name, text);
    view_->SetKeyInfoRow(logical_key, name, text, view_->IsVisible(key));
}

}  // namespace zepho7::devices
