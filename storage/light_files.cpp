#include "storage/light_files.h"

#include "storage/json_file.h"

namespace zepho7::storage {

namespace {
const Json::Value& Row(const Json::Value& document, const char* key, int row) {
    static const Json::Value null;
    if (row < 0) {
        return null;
    }
    return Element(Member(document, key), static_cast<Json::ArrayIndex>(row));
}
}  // namespace

std::vector<DefaultLight> ReadDefaultLights(const Json::Value& document, int row) {
    std::vector<DefaultLight> lights;
    const Json::Value& entries = Row(document, "DefaultLightName", row);
    for (Json::ArrayIndex i = 0; i < ArraySize(entries); ++i) {
        const Json::Value& e = entries[i];
        lights.push_back({ToString(Member(e, "LightName")), ToBool(Member(e, "visible")),
                          static_cast<int>(IntMember(e, "value"))});
    }
    return lights;
}

std::vector<std::string> ReadAreaLightNames(const Json::Value& document, int row) {
    std::vector<std::string> names;
    const Json::Value& entries = Row(document, "AreaLightName", row);
    for (Json::ArrayIndex i = 0; i < ArraySize(entries); ++i) {
        names.push_back(ToString(Member(entries[i], "LightName")));
    }
    return names;
}

std::vector<CustomLight> ReadCustomLights(const Json::Value& document, int row) {
    std::vector<CustomLight> lights;
    const Json::Value& entries = Row(document, "LightInfo", row);
    for (Json::ArrayIndex i = 0; i < ArraySize(entries); ++i) {
        lights.push_back(
            {ToString(Member(entries[i], "LightName")), ToString(Member(entries[i], "Guid"))});
    }
    return lights;
}

std::vector<LanguageEntry> ReadLanguageList(const Json::Value& document) {
    std::vector<LanguageEntry> languages;
    const Json::Value& entries = Member(document, "Language");
    for (Json::ArrayIndex i = 0; i < ArraySize(entries); ++i) {
        const Json::Value& e = entries[i];
        languages.push_back(
            {ToString(Member(e, "Language_name")), ToString(Member(e, "Language_file")),
             ToString(Member(e, "Language_text")), static_cast<int>(IntMember(e, "Language_ID"))});
    }
    return languages;
}

int LanguageIndexForId(const std::vector<LanguageEntry>& languages, int id) {
    for (size_t i = 0; i < languages.size(); ++i) {
        if (languages[i].id == id) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

}  // namespace zepho7::storage
