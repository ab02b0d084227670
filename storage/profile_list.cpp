#include "storage/profile_list.h"

#include <cstdio>

#include "base/trace.h"
#include "storage/folders.h"
#include "storage/json_file.h"

namespace zepho7::storage {

namespace fs = std::filesystem;
using Lock = std::lock_guard<std::mutex>;

namespace {

constexpr const char* kList = "profilelist";
constexpr const char* kSelect = "profileselect";

const Json::Value& ListEntries(const Json::Value& list) {
    return Member(list, kList);
}

ProfileEntry EntryAt(const Json::Value& list, int index) {
    if (index < 0) {
        return {};
    }
    const Json::Value& e = Element(ListEntries(list), static_cast<Json::ArrayIndex>(index));
    return {ToString(Member(e, "profilename")), ToString(Member(e, "profileUUID"))};
}

int Count(const Json::Value& list) {
    return static_cast<int>(ArraySize(ListEntries(list)));
}

Json::Value MakeEntry(const std::string& name, const std::string& uuid) {
    Json::Value e(Json::objectValue);
    e["profilename"] = name;
    e["profileUUID"] = uuid;
    e["profileislink"] = 0;
    e["profilelinkmame"] = "";
    return e;
}

// The key only a profile of that kind holds in its device section.
struct KindSignature {
    int kind;
    const char* own_key;  // nullptr: none (mousepad)
};
constexpr KindSignature kSignatures[] = {{kind::kMouse, "DPIStages"},
                                         {kind::kKeyboard, "CustomLightMode"},
                                         {kind::kHeadset, "SystemSetStages"},
                                         {kind::kMousePad, nullptr}};

}  // namespace

ProfileList::ProfileList(int kind, fs::path user_folder, fs::path default_profile)
    : kind_(kind),
      user_folder_(std::move(user_folder)),
      default_profile_(std::move(default_profile)) {}

fs::path ProfileList::ListPath() const {
    return user_folder_ / "ProfileList.ini";
}

Json::Value ProfileList::ReadList() const {
    Json::Value list = ReadDocumentForUpdate(ListPath());
    if (!ListEntries(list).isArray()) {
        list[kList] = Json::Value(Json::arrayValue);
    }
    return list;
}

bool ProfileList::WriteList(const Json::Value& list) const {
    if (!EnsureFolder(user_folder_)) {
        return false;
    }
    return WriteJsonFile(list, ListPath());
}

fs::path ProfileList::ProfilePath(const std::string& uuid) const {
    // Identifiers come from a file; only plain names may become paths.
    if (!IsPlainFileName(uuid)) {
        return {};
    }
    return user_folder_ / (uuid + ".Json");
}

std::string ProfileList::NewUuid(const Json::Value& list) const {
    return MakeUniqueTimestampId([&](const std::string& id) {
        for (Json::ArrayIndex i = 0; i < ArraySize(ListEntries(list)); ++i) {
            if (ToString(Member(ListEntries(list)[i], "profileUUID")) == id) {
                return true;
            }
        }
        std::error_code ec;
        return fs::exists(ProfilePath(id), ec);
    });
}

bool ProfileList::NameTaken(const Json::Value& list, std::string_view name, int except) const {
    for (int i = 0; i < Count(list); ++i) {
        if (i != except && EqualsIgnoreCase(EntryAt(list, i).name, name)) {
            return true;
        }
    }
    return false;
}

int ProfileList::AppendEntry(Json::Value& list, const std::string& name,
                             const std::string& uuid) const {
    list[kList].append(MakeEntry(name, uuid));
    return Count(list) - 1;
}

bool ProfileList::WriteProfileFrom(Json::Value document, const ProfileEntry& entry) const {
    const fs::path path = ProfilePath(entry.uuid);
    if (path.empty()) {
        return false;
    }
    if (!document.isObject()) {
        document = Json::Value(Json::objectValue);
    }
    document["profilename"] = entry.name;
    document["profileUUID"] = entry.uuid;
    return WriteJsonFile(document, path);
}

bool ProfileList::InitProfiles() {
    Lock lock(mutex_);
    Json::Value list = ReadList();
    bool ok = true;
    if (Count(list) == 0) {
        list[kList] = Json::Value(Json::arrayValue);
        const ProfileEntry first{"profile1", NewUuid(list)};
        AppendEntry(list, first.name, first.uuid);
        list[kSelect] = 0;
        ok = WriteList(list) && WriteProfileFrom(ReadJsonFile(default_profile_), first);
    }
    int selected = static_cast<int>(IntMember(list, kSelect));
    if (selected < 0 || selected >= Count(list)) {
        selected = 0;  // a hand-edited index out of range
    }
    list[kSelect] = selected;
    current_uuid_ = EntryAt(list, selected).uuid;
    if (!IsPlainFileName(current_uuid_)) {
        current_uuid_.clear();
    }
    return ok;
}

std::vector<ProfileEntry> ProfileList::Entries() const {
    Lock lock(mutex_);
    const Json::Value list = ReadList();
    std::vector<ProfileEntry> entries;
    for (int i = 0; i < Count(list); ++i) {
        entries.push_back(EntryAt(list, i));
    }
    return entries;
}

int ProfileList::GetProfileCount() const {
    Lock lock(mutex_);
    return Count(ReadList());
}

fs::path ProfileList::GetProfilePathAt(int index) const {
    Lock lock(mutex_);
    const Json::Value list = ReadList();
    if (index < 0 || index >= Count(list)) {
        return {};
    }
    return ProfilePath(EntryAt(list, index).uuid);
}

int ProfileList::GetSelectedIndex() const {
    Lock lock(mutex_);
    const Json::Value list = ReadList();
    const int selected = static_cast<int>(IntMember(list, kSelect));
    return selected >= 0 && selected < Count(list) ? selected : -1;
}

std::string ProfileList::GetCurrentUuid() const {
    Lock lock(mutex_);
    return current_uuid_;
}

bool ProfileList::SelectProfile(int index) {
    Lock lock(mutex_);
    Json::Value list = ReadList();
    if (index < 0 || index >= Count(list)) {
        return false;
    }
    list[kSelect] = index;
    current_uuid_ = EntryAt(list, index).uuid;
    if (!IsPlainFileName(current_uuid_)) {
        current_uuid_.clear();  // identifiers become file names
    }
    return WriteList(list);
}

int ProfileList::AddProfile() {
    Lock lock(mutex_);
    Json::Value list = ReadList();
    if (Count(list) >= kMaxProfiles) {
        return -1;
    }
    std::string name;
    for (int n = 1;; ++n) {
        name = "profile" + std::to_string(n);
        if (!NameTaken(list, name)) {
            break;
        }
    }
    const ProfileEntry entry{name, NewUuid(list)};
    const int index = AppendEntry(list, entry.name, entry.uuid);
    list[kSelect] = index;
    if (!WriteList(list) || !WriteProfileFrom(ReadJsonFile(default_profile_), entry)) {
        return -1;
    }
    return index;
}

int ProfileList::CopyProfile(int source) {
    Lock lock(mutex_);
    Json::Value list = ReadList();
    if (source < 0 || source >= Count(list)) {
        return -1;
    }
    const ProfileEntry from = EntryAt(list, source);
    std::string name = from.name + " copy";
    while (NameTaken(list, name)) {
        name += " copy";
    }
    const ProfileEntry entry{name, NewUuid(list)};
    const int index = AppendEntry(list, entry.name, entry.uuid);
    Json::Value document;
    if (const fs::path path = ProfilePath(from.uuid); !path.empty()) {
        document = ReadJsonFile(path);
    }
    if (!WriteList(list) || !WriteProfileFrom(document, entry)) {
        return -1;
    }
    return index;
}

int ProfileList::DeleteProfile(int index) {
    Lock lock(mutex_);
    Json::Value list = ReadList();
    if (index < 0 || index >= Count(list) || Count(list) <= 1) {
        return -1;
    }
    const int next = index == 0 ? 0 : index - 1;
    const ProfileEntry entry = EntryAt(list, index);
    Json::Value removed;
    list[kList].removeIndex(static_cast<Json::ArrayIndex>(index), &removed);
    list[kSelect] = next;
    if (!WriteList(list)) {
        return -1;
    }
    if (const fs::path path = ProfilePath(entry.uuid); !path.empty()) {
        std::error_code ec;
        fs::remove(path, ec);
    }
    return next;
}

RenameResult ProfileList::RenameProfile(int index, std::string_view new_name) {
    Lock lock(mutex_);
    const std::string name(Trim(new_name).empty() ? std::string_view() : new_name);
    if (name.empty()) {
        return RenameResult::kBlank;
    }
    Json::Value list = ReadList();
    if (index < 0 || index >= Count(list)) {
        return RenameResult::kNoProfile;
    }
    if (NameTaken(list, name, index)) {
        return RenameResult::kNameInUse;
    }
    list[kList][static_cast<Json::ArrayIndex>(index)]["profilename"] = name;
    if (!WriteList(list)) {
        return RenameResult::kNoProfile;
    }
    const fs::path path = ProfilePath(EntryAt(list, index).uuid);
    if (!path.empty()) {
        Json::Value document = ReadDocumentForUpdate(path);
        document["profilename"] = name;
        if (!WriteJsonFile(document, path)) {
            Z7_TRACE("storage: cannot rename profile file %s", path.c_str());
        }
    }
    return RenameResult::kRenamed;
}

bool ProfileList::ResetProfile(int index) {
    Lock lock(mutex_);
    const Json::Value list = ReadList();
    if (index < 0 || index >= Count(list)) {
        return false;
    }
    const ProfileEntry entry = EntryAt(list, index);
    const fs::path path = ProfilePath(entry.uuid);
    if (path.empty()) {
        return false;
    }
    Json::Value document = ReadJsonFile(default_profile_);
    if (!document.isObject()) {
        document = Json::Value(Json::objectValue);
    }
    if (kind_ == kind::kHeadset) {
        // Custom equaliser presets survive a reset.
        const Json::Value current = ReadJsonFile(path);
        const Json::Value& old_section = Element(Member(current, "Device"), 0);
        Json::Value* section = ArrayElement(ObjectMember(document, "Device"), 0);
        for (const char* key : {"CustomEQNameInfo", "CustomEQHzValueInfo"}) {
            ObjectMember(*section, key) = Member(old_section, key);
        }
    }
    return WriteProfileFrom(std::move(document), entry);
}

ImportStatus ProfileList::CheckProfile(const Json::Value& document) const {
    if (!document.isObject()) {
        return ImportStatus::kUnreadable;
    }
    const Json::Value& section = Element(Member(document, "Device"), 0);
    if (!Member(document, "profilename").isString() ||
        !Member(document, "profileUUID").isString() || !section.isObject()) {
        return ImportStatus::kNotAProfile;
    }
    for (const auto& sig : kSignatures) {
        if (sig.own_key == nullptr) {
            continue;
        }
        const bool has = section.isMember(sig.own_key);
        if (has != (sig.kind == kind_)) {
            return ImportStatus::kWrongKind;
        }
    }
    // Only the mouse and the keyboard have keys, and their key counts differ.
    const bool has_keys = section.isMember("KeyList");
    if (has_keys != (kind_ == kind::kMouse || kind_ == kind::kKeyboard)) {
        return ImportStatus::kWrongKind;
    }
    if (has_keys) {
        const Json::ArrayIndex expected = ArraySize(
            Member(Element(Member(ReadJsonFile(default_profile_), "Device"), 0), "KeyList"));
        if (expected != 0 && ArraySize(Member(section, "KeyList")) != expected) {
            return ImportStatus::kWrongKind;
        }
    }
    return ImportStatus::kImported;
}

ImportResult ProfileList::ImportProfile(const fs::path& path) {
    Lock lock(mutex_);
    ImportResult result;
    Json::Value document = ReadJsonFile(path);
    result.status = CheckProfile(document);
    if (result.status != ImportStatus::kImported) {
        Z7_TRACE("storage: %s is not a profile of kind %d", path.c_str(), kind_);
        return result;
    }
    Json::Value list = ReadList();
    std::string name = path.stem().string();
    for (int n = 1; NameTaken(list, name); ++n) {
        name += "(" + std::to_string(n) + ")";
    }
    const ProfileEntry entry{name, NewUuid(list)};
    // The profile file first: a list entry never points at a file that was not written.
    if (!EnsureFolder(user_folder_) || !WriteProfileFrom(std::move(document), entry)) {
        result.status = ImportStatus::kWriteFailed;
        return result;
    }
    result.index = AppendEntry(list, entry.name, entry.uuid);
    if (!WriteList(list)) {
        std::error_code ec;
        fs::remove(ProfilePath(entry.uuid), ec);
        result.status = ImportStatus::kWriteFailed;
        result.index = -1;
        return result;
    }
    result.name = name;
    return result;
}

bool ProfileList::ExportProfile(int index, const fs::path& path) const {
    Lock lock(mutex_);
    const Json::Value list = ReadList();
    if (index < 0 || index >= Count(list) || path.empty()) {
        return false;
    }
    const fs::path source = ProfilePath(EntryAt(list, index).uuid);
    return !source.empty() && WriteJsonFile(ReadJsonFile(source), path);
}

}  // namespace zepho7::storage
