// Profile documents: the device section of a profile file as a JSON tree, with typed getters and
// setters for every group of settings. One document per device; setters change memory only,
// Save writes the file. Every public operation takes the document's lock, so the interface
// thread and the device threads may share a document.
#pragma once

#include <json/value.h>

#include "storage/json_file.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "keycodes/keycodes.h"

namespace zepho7::storage {

// One element of "KeyList".
struct KeyEntry {
    uint16_t ui_index = 0;
    keycodes::FunctionCode current;
    keycodes::FunctionCode default_code;
    bool operator==(const KeyEntry&) const = default;
};

// "LightInfo", laid out as the devices use it.
struct LightRecord {
    uint8_t select_item = 0;  // effect number
    uint8_t light = 0;        // brightness
    uint8_t speed = 0;
    uint8_t fx = 0;  // direction
    uint8_t multi_color = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    std::array<uint8_t, 3> reserved{};
    uint8_t zzcc_led_mode = 0;
    uint8_t custom_group = 0;
    uint8_t old_led_mode = 0;
    bool operator==(const LightRecord&) const = default;
};
static_assert(sizeof(LightRecord) == 14);

// "AudioLightInfo".
struct AudioLightRecord {
    uint8_t audio_mode = 0;
    uint8_t bk_red = 0;
    uint8_t bk_green = 0;
    uint8_t bk_blue = 0;
    uint8_t fg_red = 0;
    uint8_t fg_green = 0;
    uint8_t fg_blue = 0;
    uint8_t seven_color = 0;
    uint8_t color_type = 0;  // 1 foreground, 0 background
    bool operator==(const AudioLightRecord&) const = default;
};
static_assert(sizeof(AudioLightRecord) == 9);

// Element of "LightList": one LED's own effect.
struct LedEffect {
    uint8_t mode = 0;
    uint8_t brightness = 0;
    uint8_t speed = 0;
    uint8_t direction = 0;
    uint8_t multi_color = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    std::array<uint8_t, 2> reserved{};
    uint8_t present = 0;  // 0 when the array element is null
    std::array<uint8_t, 3> spare{};
    bool operator==(const LedEffect&) const = default;
};
static_assert(sizeof(LedEffect) == 14);

// Element of "LEDEffectList" in a custom light's step file.
struct LightStep {
    uint8_t mode = 0;
    uint8_t brightness = 0;
    uint8_t speed = 0;
    uint8_t direction = 0;
    uint8_t multi_color = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    int32_t time = 0;  // milliseconds
    int32_t cycle = 0;
    bool operator==(const LightStep&) const = default;
};

class CBasicProfiledata {
  public:
    CBasicProfiledata() = default;
    virtual ~CBasicProfiledata() = default;
    CBasicProfiledata(const CBasicProfiledata&) = delete;
    CBasicProfiledata& operator=(const CBasicProfiledata&) = delete;

    // Empty paths are ignored.
    void SetProfilePath(const std::filesystem::path& path);
    std::filesystem::path GetProfilePath() const;
    void SetDefaultProfilePath(const std::filesystem::path& path);
    std::filesystem::path GetDefaultProfilePath() const;
    void SetLightListPath(const std::filesystem::path& path);
    std::filesystem::path GetLightListPath() const;
    void SetDeviceIndex(int index);  // negative or above 15 is ignored
    // The row of the light list file that holds this device's custom lights, and how many
    // built-in effects come before them. Both default to 0, which suits the keyboard; the
    // mouse passes row 1 and its 12 built-in modes so that mode 12 plays its first custom light.
    void SetLightTableRow(int row);
    void SetBuiltInEffectCount(int count);

    // Loads "Device"[index] of the profile file as the current (or secondary) section. A
    // missing file, or one without that element, gets the default profile's element and is
    // written back; a file that is not a JSON object is set aside first, so it is not lost.
    // True when the file held the section. GetSection returns it.
    bool LoadSection(const std::filesystem::path& path);
    bool LoadSecondarySection(const std::filesystem::path& path);
    Json::Value GetSection() const;

    // Save: the current section to the profile path. SaveSection re-reads the file and replaces
    // only "Device"[index], so the profile's name and identifier are kept. False on write errors.
    [[nodiscard]] bool Save();
    [[nodiscard]] bool SaveSection(const Json::Value& section, const std::filesystem::path& path);
    [[nodiscard]] bool SaveSecondary(const std::filesystem::path& path);
    [[nodiscard]] bool WriteDocument(const Json::Value& value, const std::filesystem::path& path);

    LightRecord GetLightInfo();
    void SetLightInfo(const LightRecord& record);
    AudioLightRecord GetAudioLight();  // the colour-type flag always reads as 1
    void SetAudioLight(const AudioLightRecord& record);
    std::vector<LedEffect> GetLightList();
    // Reads the light list file (falling back to the default-data folder's file of the same
    // name) and keeps it for GetCustomLightSteps.
    Json::Value LoadLightListFile();
    // Steps of the custom light selected by the cached light record's effect number. The step
    // file ("Guid" + ".light") is looked for in the light list's folder, then in the default
    // profile's folder.
    std::vector<LightStep> GetCustomLightSteps();

    std::vector<KeyEntry> GetKeyList();
    void SetKeyList(const std::vector<KeyEntry>& keys);  // writes "Assignment" only
    std::vector<KeyEntry> GetSecondaryKeyList();
    void SetSecondaryKeyList(const std::vector<KeyEntry>& keys);

  protected:
    // Callers hold mutex_.
    static Json::Value& Group(Json::Value& section, const char* key);
    // The current section for changing; reads use section_ directly.
    Json::Value& EditSection();
    bool LoadInto(Json::Value& target, const std::filesystem::path& path);
    bool SaveSectionLocked(const Json::Value& section, const std::filesystem::path& path);

    mutable std::mutex mutex_;
    Json::Value section_;
    Json::Value secondary_;

  private:
    std::filesystem::path profile_path_;
    std::filesystem::path default_profile_path_;
    std::filesystem::path light_list_path_;
    int device_index_ = 0;
    int light_row_ = 0;
    int built_in_effects_ = 0;
    LightRecord light_;
    AudioLightRecord audio_light_;
    Json::Value light_list_document_;
    // The last profile file this object read or wrote, kept while the file is unchanged so that
    // loading and saving do not parse again what was just parsed or written. After a save of
    // the current section, the file's section is section_ itself as long as `generation` still
    // matches: every change to section_ goes through EditSection, which counts.
    struct CachedFile {
        std::filesystem::path path;
        FileStamp stamp;
        Json::Value document;  // "Device"[index] left empty when slot_in_section
        bool slot_in_section = false;
        uint64_t generation = 0;
    };
    std::optional<CachedFile> cache_;
    uint64_t generation_ = 0;
    CachedFile* CachedFor(const std::filesystem::path& path);
};

struct DpiStage {
    uint8_t active = 0;  // the stage is enabled
    uint8_t xy = 0;      // separate X and Y resolution
    uint16_t dpi_x = 0;  // slider positions
    uint16_t dpi_y = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const DpiStage&) const = default;
};

struct MouseSettings {
    uint16_t double_click_time = 0;
    uint16_t mouse_speed = 0;
    uint16_t pointer_precision = 0;
    uint16_t scroll_page = 0;
    uint16_t wheel_lines = 0;
    uint16_t report_stage = 0;  // "ReportStages"."StageActive"
    bool operator==(const MouseSettings&) const = default;
};

struct CorrectEntry {
    uint8_t pix_thresh = 0;
    uint8_t min_sq = 0;
    uint8_t select = 0;
    std::string name;
    bool operator==(const CorrectEntry&) const = default;
};

class CMouseProfiledata : public CBasicProfiledata {
  public:
    // Stages read from the file overwrite the cached ones by position; cached stages beyond the
    // number read are kept.
    std::vector<DpiStage> GetDpiStages();
    void SetDpiStages(const std::vector<DpiStage>& stages);
    int GetActiveDpiStage();
    void SetActiveDpiStage(int stage);
    MouseSettings GetMouseSettings();
    void SetMouseSettings(const MouseSettings& settings);
    std::vector<CorrectEntry> GetCorrectList();

  private:
    std::vector<DpiStage> stages_;
    int active_stage_ = 0;
};

struct KeyboardSettings {
    uint16_t repeat = 0;
    uint16_t repeat_delay = 0;
    uint16_t key6_flag = 0;
    uint16_t polling_rate = 0;
    uint16_t w_flag = 0;
    uint16_t win_flag = 0;
    bool operator==(const KeyboardSettings&) const = default;
};

struct CustomColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;
    bool operator==(const CustomColour&) const = default;
};

class CKeyboardProfiledata : public CBasicProfiledata {
  public:
    KeyboardSettings GetKeyboardSettings();
    void SetKeyboardSettings(const KeyboardSettings& settings);
    // Absent colours are written into the section as zeros and returned as zeros.
    std::vector<CustomColour> GetCustomColours(int group, int count);
    void SetCustomColours(const std::vector<CustomColour>& colours, int group);
    int GetCustomGroup();
    void SetCustomGroup(int group);
};

struct HeadsetSettings {
    int32_t magic_enable = 0;
    int32_t magic_type = 0;
    int32_t eq_type = 0;
    int32_t custom_eq_index = 0;
    int32_t mic_in_select = 0;
    int32_t mic_in_value = 0;
    int32_t mic_monitor_select = 0;
    int32_t mic_monitor_value = 0;
    bool operator==(const HeadsetSettings&) const = default;
};

class CHs6533Profiledata : public CBasicProfiledata {
  public:
    static constexpr int kBands = 10;
    static constexpr int kCustomEqType = 13;

    HeadsetSettings GetHeadsetSettings();
    void SetHeadsetSettings(const HeadsetSettings& settings);
    // Row of "EQHzValueInfo": 1 for type 0 and types above 13, the type for 1 to 12; type 13
    // (custom) reads empty and writes nothing. Missing bands are written as 0.
    std::vector<int> GetEqBands(int eq_type);
    void SetEqBands(int eq_type, const std::vector<int>& bands);
    std::vector<std::string> GetCustomEqNames();
    void SetCustomEqNames(const std::vector<std::string>& names);
    std::vector<int> GetCustomEqBands(int index);
    void SetCustomEqBands(int index, const std::vector<int>& bands);
};

}  // namespace zepho7::storage
