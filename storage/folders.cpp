#include "storage/folders.h"

#include <cstdlib>
#include <system_error>

#include "base/trace.h"
#include "storage/json_file.h"

namespace zepho7::storage {

namespace fs = std::filesystem;

namespace {
std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}
}  // namespace

fs::path ExecutableFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

fs::path FindDefaultDataFolder() {
    if (const std::string dir = Env("ZEPHO7_DATA_DIR"); !dir.empty()) {
        return dir;
    }
    const fs::path exe = ExecutableFolder();
    const fs::path beside = exe / "DefaultData";
    const fs::path installed = exe.parent_path() / "share" / "zepho7" / "DefaultData";
    std::error_code ec;
    if (fs::is_directory(beside, ec)) {
        return beside;
    }
    if (fs::is_directory(installed, ec)) {
        return installed;
    }
    Z7_TRACE("storage: no DefaultData folder beside %s", exe.c_str());
    return beside;
}

fs::path FindUserDataFolder() {
    const fs::path xdg = Env("XDG_DATA_HOME");
    if (!xdg.empty() && xdg.is_absolute()) {
        return xdg / "Zepho7";
    }
    return fs::path(Env("HOME")) / ".local" / "share" / "Zepho7";
}

bool EnsureFolder(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (fs::is_directory(folder, ec)) {
        return true;
    }
    Z7_TRACE("storage: cannot create folder %s", folder.c_str());
    return false;
}

DataFolders::DataFolders(fs::path default_data, fs::path user_data)
    : default_data_(std::move(default_data)), user_data_(std::move(user_data)) {}

DataFolders DataFolders::ForThisRun() {
    return {FindDefaultDataFolder(), FindUserDataFolder()};
}

fs::path DataFolders::DefaultProfile(std::string_view type_name) const {
    return default_data_ / (std::string(type_name) + ".Json");
}

fs::path DataFolders::UserFolder(std::string_view type_name) const {
    fs::path folder = user_data_ / std::string(type_name);
    (void)EnsureFolder(folder);
    return folder;
}

fs::path DataFolders::ProfileFile(std::string_view type_name, std::string_view uuid) const {
    if (!IsPlainFileName(uuid)) {
        return {};
    }
    return UserFolder(type_name) / (std::string(uuid) + ".Json");
}

fs::path DataFolders::LightListFile(std::string_view type_name) const {
    return UserFolder(type_name) / (std::string(kLightListBaseName) + ".config");
}

fs::path DataFolders::DefaultLightList() const {
    return default_data_ / "default_light.json";
}

fs::path DataFolders::LanguageList() const {
    return default_data_ / "Language.config";
}

}  // namespace zepho7::storage
