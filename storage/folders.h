// Where stored data lives: the read-only default-data folder shipped with the program and the
// per-user data folder with one sub-folder per device type.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zepho7::storage {

// Device type names (the sub-folder and default profile names) and their light-table rows.
inline constexpr std::string_view kMouseType = "mouse";
inline constexpr std::string_view kKeyboardType = "keyboard";
inline constexpr std::string_view kMousePadType = "MousePad";
inline constexpr std::string_view kHeadsetType = "HD";
inline constexpr std::string_view kLightListBaseName = "kelvo_light";

// Device kind codes of the profile bar.
namespace kind {
inline constexpr int kKeyboard = 1;
inline constexpr int kMouse = 2;
inline constexpr int kMousePad = 3;
inline constexpr int kHeadset = 7;
}  // namespace kind

// The folder of the running executable (empty when it cannot be found).
std::filesystem::path ExecutableFolder();
// $ZEPHO7_DATA_DIR when set; else "DefaultData" beside the executable; else the install
// prefix's "share/zepho7/DefaultData"; else the first candidate.
std::filesystem::path FindDefaultDataFolder();
// $XDG_DATA_HOME/Zepho7 (an absolute XDG_DATA_HOME only), else ~/.local/share/Zepho7.
std::filesystem::path FindUserDataFolder();

// Creates a folder and its parents; true when it exists afterwards.
[[nodiscard]] bool EnsureFolder(const std::filesystem::path& folder);

class DataFolders {
  public:
    DataFolders(std::filesystem::path default_data, std::filesystem::path user_data);
    // The folders of this run: FindDefaultDataFolder and FindUserDataFolder.
    static DataFolders ForThisRun();

    const std::filesystem::path& DefaultData() const { return default_data_; }
    const std::filesystem::path& UserData() const { return user_data_; }

    std::filesystem::path DefaultProfile(std::string_view type_name) const;
    // User folder of a device type, created (with the user-data folder) when missing.
    std::filesystem::path UserFolder(std::string_view type_name) const;
    // Empty when the identifier is not a plain file name.
    std::filesystem::path ProfileFile(std::string_view type_name, std::string_view uuid) const;
    std::filesystem::path LightListFile(std::string_view type_name) const;
    std::filesystem::path DefaultLightList() const;
    std::filesystem::path LanguageList() const;

  private:
    std::filesystem::path default_data_;
    std::filesystem::path user_data_;
};

}  // namespace zepho7::storage
