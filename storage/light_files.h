// Readers of the shipped light and language lists: "default_light.json" (effect names, visible
// flags and device values per light-table row), the light list file "kelvo_light.config"
// (custom lights per row) and "Language.config". The program never writes these files.
#pragma once

#include <json/value.h>

#include <string>
#include <vector>

namespace zepho7::storage {

// Light-table rows.
namespace light_row {
inline constexpr int kKeyboard = 0;
inline constexpr int kMouse = 1;
inline constexpr int kMousePad = 2;
inline constexpr int kHeadset = 3;
}  // namespace light_row

struct DefaultLight {
    std::string name;  // language entry of the effect's name
    bool visible = false;
    int value = 0;  // effect number sent to the device
    bool operator==(const DefaultLight&) const = default;
};

struct CustomLight {
    std::string name;
    std::string guid;  // names the step file "<guid>.light"
    bool operator==(const CustomLight&) const = default;
};

struct LanguageEntry {
    std::string name;  // "Language_name"
    std::string file;  // "Language_file"
    std::string text;  // "Language_text"
    int id = 0;        // "Language_ID"
    bool operator==(const LanguageEntry&) const = default;
};

// "DefaultLightName"[row]; empty when the row is absent.
std::vector<DefaultLight> ReadDefaultLights(const Json::Value& document, int row);
// "AreaLightName"[row][i]."LightName".
std::vector<std::string> ReadAreaLightNames(const Json::Value& document, int row);
// "LightInfo"[row] of a light list file.
std::vector<CustomLight> ReadCustomLights(const Json::Value& document, int row);
// "Language" of "Language.config".
std::vector<LanguageEntry> ReadLanguageList(const Json::Value& document);
// Position of the entry with that identifier; 0 when none matches.
int LanguageIndexForId(const std::vector<LanguageEntry>& languages, int id);

}  // namespace zepho7::storage
