// Temporary folders and small file helpers for the storage tests; nothing here touches the
// user's real data folder.
#pragma once

#include <gtest/gtest.h>
#include <json/value.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "storage/json_file.h"

namespace zepho7::storage::test {

class TempDir {
  public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zepho7-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed";
        }
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

inline void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline Json::Value Parse(const std::string& text) {
    bool ok = false;
    Json::Value v = ParseJson(text, &ok);
    EXPECT_TRUE(ok) << text;
    return v;
}

inline void WriteJson(const std::filesystem::path& path, const Json::Value& value) {
    std::filesystem::create_directories(path.parent_path());
    ASSERT_TRUE(WriteJsonFile(value, path));
}

// Files in a folder whose names start with prefix.
inline std::vector<std::filesystem::path> FilesStartingWith(const std::filesystem::path& folder,
                                                            const std::string& prefix) {
    std::vector<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0) {
            found.push_back(entry.path());
        }
    }
    return found;
}

}  // namespace zepho7::storage::test
