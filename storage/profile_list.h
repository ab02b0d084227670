// The profile list of one device kind ("ProfileList.ini", a JSON document in the kind's user
// folder) and the file side of every profile action. The list file is the truth: every
// operation re-reads it, changes it and writes it back whole. The profile bar calls these and
// keeps its combo box in step.
#pragma once

#include <json/value.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zepho7::storage {

struct ProfileEntry {
    std::string name;
    std::string uuid;
    bool operator==(const ProfileEntry&) const = default;
};

enum class RenameResult { kNameInUse = 0, kRenamed = 1, kBlank = 2, kNoProfile = 3 };

enum class ImportStatus {
    kImported,
    kUnreadable,   // missing, empty, or not JSON
    kNotAProfile,  // no "profilename", "profileUUID" or device section
    kWrongKind,    // a profile of another device kind
    kWriteFailed,
};

struct ImportResult {
    ImportStatus status = ImportStatus::kUnreadable;
    int index = -1;    // the new entry
    std::string name;  // its name
};

class ProfileList {
  public:
    static constexpr int kMaxProfiles = 50;

    // kind: 1 keyboard, 2 mouse, 3 mousepad, 7 headset.
    ProfileList(int kind, std::filesystem::path user_folder, std::filesystem::path default_profile);

    // Creates the list with "profile1" (and its file from the default profile) when the list
    // file is absent or holds no profiles; then selects "profileselect". False on write errors.
    [[nodiscard]] bool InitProfiles();

    std::filesystem::path ListPath() const;
    std::vector<ProfileEntry> Entries() const;
    int GetProfileCount() const;
    std::filesystem::path GetProfilePathAt(int index) const;  // empty when out of range
    int GetSelectedIndex() const;                             // "profileselect", -1 when none
    std::string GetCurrentUuid() const;

    // Records the index as selected and makes its identifier the current one.
    [[nodiscard]] bool SelectProfile(int index);
    // "profile<n>" with the lowest free n; the list records it as selected. -1 with 50 profiles.
    int AddProfile();
    // "<name> copy" (again while taken) with the source's settings. Returns the new index.
    int CopyProfile(int source);
    // Deletes entry and file; returns the index to select afterwards, -1 when refused (the last
    // profile is never deleted).
    int DeleteProfile(int index);
    RenameResult RenameProfile(int index, std::string_view new_name);
    // Rewrites the profile from the default, keeping name and identifier (and, for the
    // headset, its custom equaliser names and curves).
    [[nodiscard]] bool ResetProfile(int index);
    // Adds a copy of a profile file under a new identifier, named after the file. A file that is
    // not a profile of this kind is refused and the list is left unchanged.
    ImportResult ImportProfile(const std::filesystem::path& path);
    // Writes the profile file whole to path.
    [[nodiscard]] bool ExportProfile(int index, const std::filesystem::path& path) const;

    // Whether a document is a profile of this list's kind.
    ImportStatus CheckProfile(const Json::Value& document) const;

  private:
    Json::Value ReadList() const;
    bool WriteList(const Json::Value& list) const;
    std::filesystem::path ProfilePath(const std::string& uuid) const;
    std::string NewUuid(const Json::Value& list) const;
    bool NameTaken(const Json::Value& list, std::string_view name, int except = -1) const;
    int AppendEntry(Json::Value& list, const std::string& name, const std::string& uuid) const;
    bool WriteProfileFrom(Json::Value document, const ProfileEntry& entry) const;

    mutable std::mutex mutex_;
    int kind_;
    std::filesystem::path user_folder_;
    std::filesystem::path default_profile_;
    std::string current_uuid_;
};

}  // namespace zepho7::storage
