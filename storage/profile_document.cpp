#include "storage/profile_document.h"

#include "base/trace.h"
#include "storage/json_file.h"

namespace zepho7::storage {

namespace fs = std::filesystem;
using Lock = std::lock_guard<std::mutex>;

namespace {

uint8_t U8(const Json::Value& object, const char* key) {
    return static_cast<uint8_t>(IntMember(object, key));
}
uint16_t U16(const Json::Value& object, const char* key) {
    return static_cast<uint16_t>(IntMember(object, key));
}
uint8_t Flag(const Json::Value& object, const char* key) {
    return ToBool(Member(object, key)) ? 1 : 0;
}

// The group object of a section when both are present.
const Json::Value& ReadGroup(const Json::Value& section, const char* key) {
    return Member(section, key);
}

std::vector<KeyEntry> ReadKeyList(const Json::Value& section) {
    std::vector<KeyEntry> keys;
    const Json::Value& list = Member(section, "KeyList");
    const Json::ArrayIndex n = ArraySize(list);
    keys.reserve(n);
    for (Json::ArrayIndex i = 0; i < n; ++i) {
        const Json::Value& e = list[i];
        keys.push_back({static_cast<uint16_t>(i),
                        keycodes::FunctionCode::FromInt(IntMember(e, "Assignment")),
                        keycodes::FunctionCode::FromInt(IntMember(e, "DefaultAssignment"))});
    }
    return keys;
}

void WriteKeyList(Json::Value& section, const std::vector<KeyEntry>& keys) {
    Json::Value& list = ObjectMember(section, "KeyList");
    for (size_t i = 0; i < keys.size(); ++i) {
        Json::Value* e = ArrayElement(list, static_cast<Json::ArrayIndex>(i));
        if (e == nullptr) {
            break;
        }
        ObjectMember(*e, "Assignment") = keys[i].current.ToInt();
    }
}

std::vector<int> ReadBands(Json::Value& table, Json::ArrayIndex row) {
    std::vector<int> bands;
    Json::Value* row_value = ArrayElement(table, row);
    if (row_value == nullptr) {
        return bands;
    }
    for (Json::ArrayIndex i = 0; i < CHs6533Profiledata::kBands; ++i) {
        Json::Value& band = *ArrayElement(*row_value, i);
        if (band.isNull()) {
            band = Json::Value(Json::objectValue);
            band["value"] = 0;  // missing bands are created as zeros
        }
        bands.push_back(static_cast<int>(IntMember(band, "value")));
    }
    return bands;
}

void WriteBands(Json::Value& table, Json::ArrayIndex row, const std::vector<int>& bands) {
    Json::Value* row_value = ArrayElement(table, row);
    if (row_value == nullptr) {
        return;
    }
    for (size_t i = 0; i < bands.size() && i < CHs6533Profiledata::kBands; ++i) {
        ObjectMember(*ArrayElement(*row_value, static_cast<Json::ArrayIndex>(i)), "value") =
            bands[i];
    }
}

int EqRow(int eq_type) {
    if (eq_type >= 1 && eq_type <= 12) {
        return eq_type;
    }
    return eq_type == CHs6533Profiledata::kCustomEqType ? -1 : 1;
}

}  // namespace

// ---- paths and section loading ----

void CBasicProfiledata::SetProfilePath(const fs::path& path) {
    Lock lock(mutex_);
    if (!path.empty()) {
        profile_path_ = path;
    }
}

fs::path CBasicProfiledata::GetProfilePath() const {
    Lock lock(mutex_);
    return profile_path_;
}

void CBasicProfiledata::SetDefaultProfilePath(const fs::path& path) {
    Lock lock(mutex_);
    if (!path.empty()) {
        default_profile_path_ = path;
    }
}

fs::path CBasicProfiledata::GetDefaultProfilePath() const {
    Lock lock(mutex_);
    return default_profile_path_;
}

void CBasicProfiledata::SetLightListPath(const fs::path& path) {
    Lock lock(mutex_);
    light_list_path_ = path;
}

fs::path CBasicProfiledata::GetLightListPath() const {
    Lock lock(mutex_);
    return light_list_path_;
}

void CBasicProfiledata::SetDeviceIndex(int index) {
    Lock lock(mutex_);
    if (index >= 0 && index <= 15) {
        device_index_ = index;
    }
}

void CBasicProfiledata::SetLightTableRow(int row) {
    Lock lock(mutex_);
    if (row >= 0) {
        light_row_ = row;
    }
}

void CBasicProfiledata::SetBuiltInEffectCount(int count) {
    Lock lock(mutex_);
    if (count >= 0) {
        built_in_effects_ = count;
    }
}

Json::Value& CBasicProfiledata::Group(Json::Value& section, const char* key) {
    return ObjectMember(section, key);
}

CBasicProfiledata::CachedFile* CBasicProfiledata::CachedFor(const fs::path& path) {
    FileStamp now;
    if (cache_ && cache_->path == path && StampOfFile(path, now) && now == cache_->stamp) {
        return &*cache_;
    }
    cache_.reset();
    return nullptr;
}

bool CBasicProfiledata::LoadInto(Json::Value& target, const fs::path& path) {
    const auto index = static_cast<Json::ArrayIndex>(device_index_);
    if (CachedFile* cached = CachedFor(path)) {
        if (cached->slot_in_section) {
            // The file holds the current section as it was when saved, unless it changed since.
            if (&target == &section_ && cached->generation == generation_) {
                return true;
            }
        } else if (const Json::Value& held = Element(Member(cached->document, "Device"), index);
                   held.isObject()) {
            target = held;
            if (&target == &section_) {
                ++generation_;
            }
            return true;
        }
        cache_.reset();
    }
    if (&target == &section_) {
        ++generation_;
    }
    // Stamped before reading: a change made meanwhile makes the stamp stale, never the content.
    FileStamp stamp;
    const bool stamped = StampOfFile(path, stamp);
    ReadResult read = ReadJsonFileStatus(path);
    Json::Value document(Json::objectValue);
    if (read.status == ReadStatus::kOk && read.value.isObject()) {
        document = std::move(read.value);
    } else if (read.status != ReadStatus::kMissing) {
        // Keep the user's bytes: the file is recreated below from the default.
        (void)SetAsideBrokenFile(path);
    }
    const bool found = Element(Member(document, "Device"), index).isObject();
    if (found) {
        target = Element(Member(document, "Device"), index);
    } else {
        Json::Value section = Element(Member(ReadJsonFile(default_profile_path_), "Device"), index);
        if (!section.isObject()) {
            Z7_TRACE("storage: default profile %s has no device section",
                     default_profile_path_.c_str());
            section = Json::Value();
        }
        target = section;
        *ArrayElement(ObjectMember(document, "Device"), index) = std::move(section);
        if (!WriteJsonFile(document, path, &stamp)) {
            Z7_TRACE("storage: cannot write profile %s", path.c_str());
            return false;
        }
    }
    if (stamped || !found) {
        cache_ = CachedFile{path, stamp, std::move(document), false, 0};
    }
    return found;
}

bool CBasicProfiledata::LoadSection(const fs::path& path) {
    Lock lock(mutex_);
    return LoadInto(section_, path);
}

bool CBasicProfiledata::LoadSecondarySection(const fs::path& path) {
    Lock lock(mutex_);
    return LoadInto(secondary_, path);
}

Json::Value CBasicProfiledata::GetSection() const {
    Lock lock(mutex_);
    return section_;
}

Json::Value& CBasicProfiledata::EditSection() {
    ++generation_;
    return section_;
}

bool CBasicProfiledata::SaveSectionLocked(const Json::Value& section, const fs::path& path) {
    if (path.empty()) {
        return false;
    }
    const auto index = static_cast<Json::ArrayIndex>(device_index_);
    Json::Value document;
    // The section's slot is replaced below, so a cached document serves whatever it holds there.
    if (CachedFile* cached = CachedFor(path)) {
        document = std::move(cached->document);
    } else {
        document = ReadDocumentForUpdate(path);
    }
    cache_.reset();
    Json::Value& slot = *ArrayElement(ObjectMember(document, "Device"), index);
    FileStamp stamp;
    bool written = false;
    if (&section == &section_) {
        // The current section is lent to the document for the write, not copied: the file then
        // holds exactly section_ at this generation, which is all the cache needs to know.
        slot.swap(section_);
        written = WriteJsonFile(document, path, &stamp);
        slot.swap(section_);
        slot = Json::Value();
        if (written) {
            cache_ = CachedFile{path, stamp, std::move(document), true, generation_};
        }
    } else {
        slot = section;
        written = WriteJsonFile(document, path, &stamp);
        if (written) {
            cache_ = CachedFile{path, stamp, std::move(document), false, 0};
        }
    }
    return written;
}

bool CBasicProfiledata::Save() {
    Lock lock(mutex_);
    return SaveSectionLocked(section_, profile_path_);
}

bool CBasicProfiledata::SaveSection(const Json::Value& section, const fs::path& path) {
    Lock lock(mutex_);
    return SaveSectionLocked(section, path);
}

bool CBasicProfiledata::SaveSecondary(const fs::path& path) {
    Lock lock(mutex_);
    return SaveSectionLocked(secondary_, path);
}

bool CBasicProfiledata::WriteDocument(const Json::Value& value, const fs::path& path) {
    return WriteJsonFile(value, path);
}

// ---- light records ----

LightRecord CBasicProfiledata::GetLightInfo() {
    Lock lock(mutex_);
    const Json::Value& g = ReadGroup(EditSection(), "LightInfo");
    if (g.isNull()) {
        light_ = LightRecord{};
        return light_;
    }
    LightRecord r;
    r.select_item = U8(g, "SelectItem");
    r.light = U8(g, "Light");
    r.speed = U8(g, "Speed");
    r.fx = U8(g, "Fx");
    r.multi_color = Flag(g, "MultiColor");
    r.red = U8(g, "Red");
    r.green = U8(g, "Green");
    r.blue = U8(g, "Blue");
    r.zzcc_led_mode = U8(g, "ZZCCLedMode");
    r.custom_group = U8(g, "CustomGroup");
    r.old_led_mode = U8(g, "OldLedmode");
    light_ = r;
    return r;
}

void CBasicProfiledata::SetLightInfo(const LightRecord& r) {
    Lock lock(mutex_);
    light_ = r;
    Json::Value g(Json::objectValue);
    g["SelectItem"] = r.select_item;
    g["Light"] = r.light;
    g["Speed"] = r.speed;
    g["Fx"] = r.fx;
    g["MultiColor"] = r.multi_color;
    g["Red"] = r.red;
    g["Green"] = r.green;
    g["Blue"] = r.blue;
    g["ZZCCLedMode"] = r.zzcc_led_mode;
    g["CustomGroup"] = r.custom_group;
    g["OldLedmode"] = r.old_led_mode;
    Group(EditSection(), "LightInfo") = std::move(g);
}

AudioLightRecord CBasicProfiledata::GetAudioLight() {
    Lock lock(mutex_);
    const Json::Value& g = ReadGroup(EditSection(), "AudioLightInfo");
    if (g.isNull()) {
        audio_light_ = AudioLightRecord{};
        return audio_light_;
    }
    AudioLightRecord r;
    r.audio_mode = U8(g, "AudioMode");
    r.bk_red = U8(g, "BkColorR");
    r.bk_green = U8(g, "BkColorG");
    r.bk_blue = U8(g, "BkColorB");
    r.fg_red = U8(g, "FgColorR");
    r.fg_green = U8(g, "FgColorG");
    r.fg_blue = U8(g, "FgColorB");
    r.seven_color = Flag(g, "7ColorFlags");
    r.color_type = 1;  // the panel always starts on the foreground colour
    audio_light_ = r;
    return r;
}

void CBasicProfiledata::SetAudioLight(const AudioLightRecord& r) {
    Lock lock(mutex_);
    audio_light_ = r;
    Json::Value g(Json::objectValue);
    g["AudioMode"] = r.audio_mode;
    g["BkColorR"] = r.bk_red;
    g["BkColorG"] = r.bk_green;
    g["BkColorB"] = r.bk_blue;
    g["FgColorR"] = r.fg_red;
    g["FgColorG"] = r.fg_green;
    g["FgColorB"] = r.fg_blue;
    g["7ColorFlags"] = r.seven_color;
    g["ColorTypeFlags"] = r.color_type;
    Group(EditSection(), "AudioLightInfo") = std::move(g);
}

std::vector<LedEffect> CBasicProfiledata::GetLightList() {
    Lock lock(mutex_);
    std::vector<LedEffect> list;
    const Json::Value& array = Member(section_, "LightList");
    const Json::ArrayIndex n = ArraySize(array);
    list.reserve(n);
    for (Json::ArrayIndex i = 0; i < n; ++i) {
        const Json::Value& e = array[i];
        LedEffect effect;
        if (!e.isNull()) {
            effect.mode = U8(e, "LEDREGMode");
            effect.brightness = U8(e, "LEDBrightness");
            effect.speed = U8(e, "LEDSpeed");
            effect.direction = Flag(e, "LEDDirection");
            effect.multi_color = Flag(e, "LEDMultiColor");
            effect.red = U8(e, "red");
            effect.green = U8(e, "green");
            effect.blue = U8(e, "blue");
            effect.present = 1;
        }
        list.push_back(effect);
    }
    return list;
}

Json::Value CBasicProfiledata::LoadLightListFile() {
    Lock lock(mutex_);
    light_list_document_ = Json::Value();
    if (!light_list_path_.empty()) {
        light_list_document_ = ReadJsonFile(light_list_path_);
        if (light_list_document_.isNull() && !default_profile_path_.empty()) {
            // The shipped list applies until another tool writes the user's own.
            light_list_document_ =
                ReadJsonFile(default_profile_path_.parent_path() / light_list_path_.filename());
        }
    }
    return light_list_document_;
}

std::vector<LightStep> CBasicProfiledata::GetCustomLightSteps() {
    Lock lock(mutex_);
    std::vector<LightStep> steps;
    if (light_list_document_.isNull() || light_.select_item < built_in_effects_) {
        return steps;
    }
    const auto custom = static_cast<Json::ArrayIndex>(light_.select_item - built_in_effects_);
    const Json::Value& row = Element(Member(light_list_document_, "LightInfo"),
                                     static_cast<Json::ArrayIndex>(light_row_));
    const std::string guid = ToString(Member(Element(row, custom), "Guid"));
    if (!IsPlainFileName(guid)) {
        if (!guid.empty()) {
            Z7_TRACE("storage: custom light name \"%s\" is not a plain file name", guid.c_str());
        }
        return steps;
    }
    const std::string file = guid + ".light";
    Json::Value document;
    if (!light_list_path_.empty()) {
        document = ReadJsonFile(light_list_path_.parent_path() / file);
    }
    if (document.isNull() && !default_profile_path_.empty()) {
        document = ReadJsonFile(default_profile_path_.parent_path() / file);
    }
    const Json::Value& list = Member(document, "LEDEffectList");
    const Json::ArrayIndex n = ArraySize(list);
    steps.reserve(n);
    for (Json::ArrayIndex i = 0; i < n; ++i) {
        const Json::Value& e = list[i];
        LightStep s;
        s.mode = U8(e, "LEDREGMode");
        s.brightness = U8(e, "LEDBrightness");
        s.speed = U8(e, "LEDSpeed");
        s.direction = U8(e, "LEDDirection");
        s.multi_color = U8(e, "LEDMultiColor");
        s.red = U8(e, "red");
        s.green = U8(e, "green");
        s.blue = U8(e, "blue");
        s.time = static_cast<int32_t>(IntMember(e, "Time"));
        s.cycle = static_cast<int32_t>(IntMember(e, "Cyle"));
        steps.push_back(s);
    }
    return steps;
}

std::vector<KeyEntry> CBasicProfiledata::GetKeyList() {
    Lock lock(mutex_);
    return ReadKeyList(section_);
}

void CBasicProfiledata::SetKeyList(const std::vector<KeyEntry>& keys) {
    Lock lock(mutex_);
    WriteKeyList(EditSection(), keys);
}

std::vector<KeyEntry> CBasicProfiledata::GetSecondaryKeyList() {
    Lock lock(mutex_);
    return ReadKeyList(secondary_);
}

void CBasicProfiledata::SetSecondaryKeyList(const std::vector<KeyEntry>& keys) {
    Lock lock(mutex_);
    WriteKeyList(secondary_, keys);
}

// ---- mouse ----

std::vector<DpiStage> CMouseProfiledata::GetDpiStages() {
    Lock lock(mutex_);
    const Json::Value& group = Member(section_, "DPIStages");
    const Json::Value& list = Member(group, "StageDPIs");
    if (list.isNull()) {
        stages_.clear();
        return stages_;
    }
    const Json::ArrayIndex n = ArraySize(list);
    for (Json::ArrayIndex i = 0; i < n; ++i) {
        const Json::Value& e = list[i];
        const DpiStage stage{U8(e, "StageActive"), U8(e, "StageXY"),     U16(e, "StageDPIX"),
                             U16(e, "StageDPIY"),  U8(e, "StageColorR"), U8(e, "StageColorG"),
                             U8(e, "StageColorB")};
        if (i < stages_.size()) {
            stages_[i] = stage;
        } else {
            stages_.push_back(stage);
        }
    }
    active_stage_ = static_cast<int>(IntMember(group, "StageActive"));
    return stages_;
}

void CMouseProfiledata::SetDpiStages(const std::vector<DpiStage>& stages) {
    Lock lock(mutex_);
    stages_ = stages;
    Json::Value& list = ObjectMember(Group(EditSection(), "DPIStages"), "StageDPIs");
    for (size_t i = 0; i < stages.size(); ++i) {
        Json::Value* e = ArrayElement(list, static_cast<Json::ArrayIndex>(i));
        if (e == nullptr) {
            break;
        }
        const DpiStage& s = stages[i];
        ObjectMember(*e, "StageActive") = s.active;
        ObjectMember(*e, "StageXY") = s.xy;
        ObjectMember(*e, "StageDPIX") = s.dpi_x;
        ObjectMember(*e, "StageDPIY") = s.dpi_y;
        ObjectMember(*e, "StageColorR") = s.red;
        ObjectMember(*e, "StageColorG") = s.green;
        ObjectMember(*e, "StageColorB") = s.blue;
    }
}

int CMouseProfiledata::GetActiveDpiStage() {
    Lock lock(mutex_);
    active_stage_ = static_cast<int>(IntMember(Member(section_, "DPIStages"), "StageActive"));
    return active_stage_;
}

void CMouseProfiledata::SetActiveDpiStage(int stage) {
    Lock lock(mutex_);
    active_stage_ = stage;
    ObjectMember(Group(EditSection(), "DPIStages"), "StageActive") = stage;
}

MouseSettings CMouseProfiledata::GetMouseSettings() {
    Lock lock(mutex_);
    const Json::Value& g = Member(section_, "SystemStages");
    MouseSettings s;
    if (!g.isNull()) {
        s.double_click_time = U16(g, "DoubleClickTime");
        s.mouse_speed = U16(g, "MouseSpeed");
        s.pointer_precision = U16(g, "PointerPrecision");
        s.scroll_page = U16(g, "ScorllPage");
        s.wheel_lines = U16(g, "WheelScorlllinse");
    }
    s.report_stage = U16(Member(section_, "ReportStages"), "StageActive");
    return s;
}

void CMouseProfiledata::SetMouseSettings(const MouseSettings& s) {
    Lock lock(mutex_);
    Json::Value& g = Group(EditSection(), "SystemStages");
    ObjectMember(g, "DoubleClickTime") = s.double_click_time;
    ObjectMember(g, "MouseSpeed") = s.mouse_speed;
    ObjectMember(g, "PointerPrecision") = s.pointer_precision;
    ObjectMember(g, "ScorllPage") = s.scroll_page;
    ObjectMember(g, "WheelScorlllinse") = s.wheel_lines;
    ObjectMember(Group(EditSection(), "ReportStages"), "StageActive") = s.report_stage;
}

std::vector<CorrectEntry> CMouseProfiledata::GetCorrectList() {
    Lock lock(mutex_);
    std::vector<CorrectEntry> list;
    const Json::Value& array = Member(section_, "CorrectInfo");
    for (Json::ArrayIndex i = 0; i < ArraySize(array); ++i) {
        const Json::Value& e = array[i];
        list.push_back({U8(e, "CorrectPixThresh"), U8(e, "CorrectMinSq"), U8(e, "CorrectSelect"),
                        ToString(Member(e, "CorrectName"))});
    }
    return list;
}

// ---- keyboard ----

KeyboardSettings CKeyboardProfiledata::GetKeyboardSettings() {
    Lock lock(mutex_);
    const Json::Value& g = Member(section_, "SystemStages");
    return {U16(g, "Repeat"),      U16(g, "RepeatDelay"), U16(g, "Key6Flag"),
            U16(g, "PollingRate"), U16(g, "WFlag"),       U16(g, "WinFlag")};
}

void CKeyboardProfiledata::SetKeyboardSettings(const KeyboardSettings& s) {
    Lock lock(mutex_);
    Json::Value& g = Group(EditSection(), "SystemStages");
    ObjectMember(g, "Repeat") = s.repeat;
    ObjectMember(g, "RepeatDelay") = s.repeat_delay;
    ObjectMember(g, "Key6Flag") = s.key6_flag;
    ObjectMember(g, "PollingRate") = s.polling_rate;
    ObjectMember(g, "WFlag") = s.w_flag;
    ObjectMember(g, "WinFlag") = s.win_flag;
}

std::vector<CustomColour> CKeyboardProfiledata::GetCustomColours(int group, int count) {
    Lock lock(mutex_);
    std::vector<CustomColour> colours;
    if (group < 0 || count < 0 || static_cast<Json::ArrayIndex>(group) > kMaxWriteIndex ||
        static_cast<Json::ArrayIndex>(count) > kMaxWriteIndex + 1) {
        return colours;
    }
    Json::Value& groups = ObjectMember(Group(EditSection(), "CustomLightMode"), "LightColorInfo");
    Json::Value& row = *ArrayElement(groups, static_cast<Json::ArrayIndex>(group));
    colours.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Json::Value& e = *ArrayElement(row, static_cast<Json::ArrayIndex>(i));
        if (e.isNull()) {
            e["Red"] = 0;
            e["Green"] = 0;
            e["Blue"] = 0;
            e["Alpha"] = 0;
            colours.emplace_back();
            continue;
        }
        colours.push_back({U8(e, "Red"), U8(e, "Green"), U8(e, "Blue"), U8(e, "Alpha")});
    }
    return colours;
}

void CKeyboardProfiledata::SetCustomColours(const std::vector<CustomColour>& colours, int group) {
    Lock lock(mutex_);
    if (group < 0) {
        return;
    }
    Json::Value& groups = ObjectMember(Group(EditSection(), "CustomLightMode"), "LightColorInfo");
    Json::Value* row = ArrayElement(groups, static_cast<Json::ArrayIndex>(group));
    if (row == nullptr) {
        return;
    }
    for (size_t i = 0; i < colours.size(); ++i) {
        Json::Value* e = ArrayElement(*row, static_cast<Json::ArrayIndex>(i));
        if (e == nullptr) {
            break;
        }
        ObjectMember(*e, "Red") = colours[i].red;
        ObjectMember(*e, "Green") = colours[i].green;
        ObjectMember(*e, "Blue") = colours[i].blue;
        ObjectMember(*e, "Alpha") = colours[i].alpha;
    }
}

int CKeyboardProfiledata::GetCustomGroup() {
    Lock lock(mutex_);
    return static_cast<int>(
        IntMember(Member(section_, "CustomLightMode"), "CustomLightModeGroupIndex"));
}

void CKeyboardProfiledata::SetCustomGroup(int group) {
    Lock lock(mutex_);
    ObjectMember(Group(EditSection(), "CustomLightMode"), "CustomLightModeGroupIndex") = group;
}

// ---- headset ----

HeadsetSettings CHs6533Profiledata::GetHeadsetSettings() {
    Lock lock(mutex_);
    const Json::Value& g = Member(section_, "SystemSetStages");
    auto v = [&](const char* key) { return static_cast<int32_t>(IntMember(g, key)); };
    return {v("MagicEnable"), v("MagicType"),  v("EqType"),           v("CustomEqSeletIndex"),
            v("MicInSelect"), v("MicInValue"), v("MicMoniterSelect"), v("MicMoniterValue")};
}

void CHs6533Profiledata::SetHeadsetSettings(const HeadsetSettings& s) {
    Lock lock(mutex_);
    Json::Value& g = Group(EditSection(), "SystemSetStages");
    ObjectMember(g, "MagicEnable") = s.magic_enable;
    ObjectMember(g, "MagicType") = s.magic_type;
    ObjectMember(g, "EqType") = s.eq_type;
    ObjectMember(g, "CustomEqSeletIndex") = s.custom_eq_index;
    ObjectMember(g, "MicInSelect") = s.mic_in_select;
    ObjectMember(g, "MicInValue") = s.mic_in_value;
    ObjectMember(g, "MicMoniterSelect") = s.mic_monitor_select;
    ObjectMember(g, "MicMoniterValue") = s.mic_monitor_value;
}

std::vector<int> CHs6533Profiledata::GetEqBands(int eq_type) {
    Lock lock(mutex_);
    const int row = EqRow(eq_type);
    if (row < 0) {
        return {};
    }
    return ReadBands(Group(EditSection(), "EQHzValueInfo"), static_cast<Json::ArrayIndex>(row));
}

void CHs6533Profiledata::SetEqBands(int eq_type, const std::vector<int>& bands) {
    Lock lock(mutex_);
    const int row = EqRow(eq_type);
    if (row < 0) {
        return;
    }
    WriteBands(Group(EditSection(), "EQHzValueInfo"), static_cast<Json::ArrayIndex>(row), bands);
}

std::vector<std::string> CHs6533Profiledata::GetCustomEqNames() {
    Lock lock(mutex_);
    std::vector<std::string> names;
    const Json::Value& array = Member(section_, "CustomEQNameInfo");
    for (Json::ArrayIndex i = 0; i < ArraySize(array); ++i) {
        names.push_back(ToString(Member(array[i], "Name")));
    }
    return names;
}

void CHs6533Profiledata::SetCustomEqNames(const std::vector<std::string>& names) {
    Lock lock(mutex_);
    Json::Value array(Json::arrayValue);
    for (const auto& name : names) {
        Json::Value e(Json::objectValue);
        e["Name"] = name;
        array.append(std::move(e));
    }
    Group(EditSection(), "CustomEQNameInfo") = std::move(array);
}

std::vector<int> CHs6533Profiledata::GetCustomEqBands(int index) {
    Lock lock(mutex_);
    if (index < 0) {
        return {};
    }
    return ReadBands(Group(EditSection(), "CustomEQHzValueInfo"),
                     static_cast<Json::ArrayIndex>(index));
}

void CHs6533Profiledata::SetCustomEqBands(int index, const std::vector<int>& bands) {
    Lock lock(mutex_);
    if (index < 0) {
        return;
    }
    WriteBands(Group(EditSection(), "CustomEQHzValueInfo"), static_cast<Json::ArrayIndex>(index),
               bands);
}

}  // namespace zepho7::storage
