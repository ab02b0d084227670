#include "storage/macro_library.h"

#include "base/trace.h"
#include "storage/folders.h"
#include "storage/json_file.h"

namespace zepho7::storage {

namespace fs = std::filesystem;

namespace {
constexpr const char* kInfo = "MacroInfo";

int64_t DelayValue(const Json::Value& delay) {
    return delay.isString() ? ParseDecimal(delay.asString()) : ToInt(delay);
}
}  // namespace

EncodedEvent EncodeMacroEvent(const Json::Value& event) {
    const auto delay = static_cast<uint16_t>(DelayValue(Member(event, "Delay")));
    const bool down = ToString(Member(event, "Action")) == "down";
    const auto type = static_cast<uint8_t>(IntMember(event, "Type"));
    return {static_cast<uint8_t>(delay & 0xFF), static_cast<uint8_t>(delay >> 8),
            static_cast<uint8_t>(down ? (type | 0x80) : type),
            static_cast<uint8_t>(IntMember(event, "Button"))};
}

std::vector<EncodedEvent> EncodeEvents(const Json::Value& events) {
    std::vector<EncodedEvent> out;
    out.reserve(ArraySize(events));
    for (Json::ArrayIndex i = 0; i < ArraySize(events); ++i) {
        out.push_back(EncodeMacroEvent(events[i]));
    }
    return out;
}

MacroLibrary::MacroLibrary(fs::path user_folder, std::string library_name)
    : user_folder_(std::move(user_folder)), library_name_(std::move(library_name)) {}

fs::path MacroLibrary::LibraryPath() const {
    return user_folder_ / library_name_;
}

Json::Value MacroLibrary::ReadLibrary() const {
    Json::Value library = ReadDocumentForUpdate(LibraryPath());
    if (!Member(library, kInfo).isArray()) {
        library[kInfo] = Json::Value(Json::arrayValue);
    }
    return library;
}

std::vector<MacroInfo> MacroLibrary::Entries() const {
    const Json::Value library = ReadJsonFile(LibraryPath());
    const Json::Value& info = Member(library, kInfo);
    std::vector<MacroInfo> entries;
    for (Json::ArrayIndex i = 0; i < ArraySize(info); ++i) {
        entries.push_back(
            {ToString(Member(info[i], "MacroName")), ToString(Member(info[i], "Guid"))});
    }
    return entries;
}

std::vector<std::string> MacroLibrary::Names() const {
    std::vector<std::string> names;
    for (auto& e : Entries()) {
        names.push_back(std::move(e.name));
    }
    return names;
}

int MacroLibrary::Count() const {
    return static_cast<int>(ArraySize(Member(ReadJsonFile(LibraryPath()), kInfo)));
}

fs::path MacroLibrary::MacroFilePath(int index) const {
    const auto entries = Entries();
    if (index < 0 || static_cast<size_t>(index) >= entries.size() ||
        !IsPlainFileName(entries[static_cast<size_t>(index)].guid)) {
        return {};
    }
    return user_folder_ / (entries[static_cast<size_t>(index)].guid + ".mac");
}

std::string MacroLibrary::AddMacro() {
    Json::Value library = ReadLibrary();
    Json::Value& info = library[kInfo];
    if (info.size() >= kMaxMacros) {
        return {};
    }
    auto taken = [&](std::string_view name) {
        for (Json::ArrayIndex i = 0; i < info.size(); ++i) {
            if (EqualsIgnoreCase(ToString(Member(info[i], "MacroName")), name)) {
                return true;
            }
        }
        return false;
    };
    std::string name;
    for (int n = 1;; ++n) {
        name = "macro_" + std::to_string(n);
        if (!taken(name)) {
            break;
        }
    }
    const std::string guid = MakeUniqueTimestampId([&](const std::string& id) {
        for (Json::ArrayIndex i = 0; i < info.size(); ++i) {
            if (ToString(Member(info[i], "Guid")) == id) {
                return true;
            }
        }
        std::error_code ec;
        return fs::exists(user_folder_ / (id + ".mac"), ec);
    });
    Json::Value entry(Json::objectValue);
    entry["MacroName"] = name;
    entry["Guid"] = guid;
    info.append(std::move(entry));
    if (!EnsureFolder(user_folder_) || !WriteJsonFile(library, LibraryPath())) {
        return {};
    }
    return name;
}

MacroRenameResult MacroLibrary::RenameMacro(int index, std::string_view new_name) {
    Json::Value library = ReadLibrary();
    Json::Value& info = library[kInfo];
    if (index < 0 || static_cast<Json::ArrayIndex>(index) >= info.size()) {
        return MacroRenameResult::kNoSelection;
    }
    if (Trim(new_name).empty()) {
        return MacroRenameResult::kBlank;
    }
    // The macro's own current name counts as taken too.
    for (Json::ArrayIndex i = 0; i < info.size(); ++i) {
        if (EqualsIgnoreCase(ToString(Member(info[i], "MacroName")), new_name)) {
            return MacroRenameResult::kDuplicate;
        }
    }
    ObjectMember(info[static_cast<Json::ArrayIndex>(index)], "MacroName") = std::string(new_name);
    if (!WriteJsonFile(library, LibraryPath())) {
        return MacroRenameResult::kNoSelection;
    }
    return MacroRenameResult::kRenamed;
}

bool MacroLibrary::DeleteMacro(int index) {
    Json::Value library = ReadLibrary();
    Json::Value& info = library[kInfo];
    if (index < 0 || static_cast<Json::ArrayIndex>(index) >= info.size()) {
        return false;
    }
    const fs::path file = MacroFilePath(index);
    Json::Value removed;
    info.removeIndex(static_cast<Json::ArrayIndex>(index), &removed);
    if (!WriteJsonFile(library, LibraryPath())) {
        return false;
    }
    if (!file.empty()) {
        std::error_code ec;
        fs::remove(file, ec);
    }
    return true;
}

Json::Value MacroLibrary::LoadEvents(int index) const {
    const fs::path file = MacroFilePath(index);
    const Json::Value document = file.empty() ? Json::Value() : ReadJsonFile(file);
    const Json::Value& events = Member(document, "Events");
    return events.isArray() ? events : Json::Value(Json::arrayValue);
}

bool MacroLibrary::SaveMacro(int index, std::vector<MacroEventRow>& rows) {
    const auto entries = Entries();
    const fs::path file = MacroFilePath(index);
    if (file.empty() || entries[static_cast<size_t>(index)].name.empty()) {
        return false;
    }
    Json::Value document(Json::objectValue);
    document["MacroName"] = entries[static_cast<size_t>(index)].name;
    document["Guid"] = entries[static_cast<size_t>(index)].guid;
    Json::Value& events = document["Events"] = Json::Value(Json::arrayValue);
    for (auto& row : rows) {
        const std::string delay =
            row.delay_text.empty() ? "0" : std::to_string(ParseDecimal(row.delay_text));
        bool ok = false;
        Json::Value event = ParseJson(row.event_json, &ok);
        if (row.event_json.empty() || !ok || !event.isObject()) {
            continue;
        }
        event["Delay"] = delay;
        row.delay_text = delay;
        row.event_json = ToStyledText(event);
        events.append(std::move(event));
    }
    document["Version"] = kVersion;
    return WriteJsonFile(document, file);
}

std::string MacroLibrary::ImportMacro(const fs::path& source) {
    if (source.empty() || Count() >= kMaxMacros) {
        return {};
    }
    std::error_code ec;
    if (!fs::is_regular_file(source, ec)) {
        return {};
    }
    const std::string name = AddMacro();
    if (name.empty()) {
        return {};
    }
    const int index = Count() - 1;
    if (!CopyFileAtomic(source, MacroFilePath(index))) {
        // Leave no entry behind for a file that could not be copied.
        (void)DeleteMacro(index);
        return {};
    }
    return name;
}

bool MacroLibrary::ExportMacro(int index, const fs::path& target) const {
    const fs::path file = MacroFilePath(index);
    return !file.empty() && !target.empty() && CopyFileAtomic(file, target);
}

std::vector<EncodedEvent> MacroLibrary::EncodeMacro(int index) const {
    return EncodeEvents(LoadEvents(index));
}

bool RenumberKeysAfterMacroDelete(std::vector<KeyEntry>& keys, int removed) {
    bool changed = false;
    for (auto& key : keys) {
        if (!keycodes::IsMacroCode(key.current)) {
            continue;
        }
        if (key.current.code1 == removed) {
            key.current = key.default_code;
            changed = true;
        } else if (key.current.code1 > removed) {
            --key.current.code1;
            changed = true;
        }
    }
    return changed;
}

bool KeysUseMacro(const std::vector<KeyEntry>& keys, int macro) {
    for (const auto& key : keys) {
        if (keycodes::IsMacroCode(key.current) && key.current.code1 == macro) {
            return true;
        }
    }
    return false;
}

bool DeleteMacroEverywhere(MacroLibrary& library, CBasicProfiledata& current,
                           std::span<const fs::path> profiles, int m) {
    if (m < 0 || m >= library.Count()) {
        return false;
    }
    bool ok = true;
    const fs::path current_path = current.GetProfilePath();
    std::error_code ec;
    for (const auto& path : profiles) {
        if (path.empty() || fs::equivalent(path, current_path, ec)) {
            continue;
        }
        current.LoadSecondarySection(path);
        auto keys = current.GetSecondaryKeyList();
        if (RenumberKeysAfterMacroDelete(keys, m)) {
            current.SetSecondaryKeyList(keys);
            ok = current.SaveSecondary(path) && ok;
        }
    }
    auto keys = current.GetKeyList();
    if (RenumberKeysAfterMacroDelete(keys, m)) {
        current.SetKeyList(keys);
        ok = current.Save() && ok;
    }
    if (!ok) {
        Z7_TRACE("storage: a profile could not be saved while deleting macro %d", m);
    }
    return library.DeleteMacro(m) && ok;
}

}  // namespace zepho7::storage
