// Every reader of stored data over arbitrary bytes: profile documents of each kind (with all
// their getters), the profile list, the macro library and macro files, recoil files, light
// lists, custom light steps and the language list. The bytes are written as each file in turn
// into a private temporary folder, which is emptied after every input.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "storage/json_file.h"
#include "storage/light_files.h"
#include "storage/macro_library.h"
#include "storage/profile_document.h"
#include "storage/profile_list.h"
#include "storage/recoil_data.h"

namespace fs = std::filesystem;
using namespace zepho7::storage;

namespace {

const fs::path& Folder() {
    static const fs::path folder = [] {
        std::string pattern = (fs::temp_directory_path() / "zepho7-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return fs::path(pattern);
    }();
    return folder;
}

void Put(const fs::path& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

template <typename Doc>
void ReadProfile(Doc& doc, const fs::path& user, const fs::path& defaults) {
    doc.SetDefaultProfilePath(defaults / "default.Json");
    doc.SetProfilePath(user / "p.Json");
    doc.SetLightListPath(user / "kelvo_light.config");
    doc.LoadSection(user / "p.Json");
    (void)doc.GetLightInfo();
    (void)doc.GetAudioLight();
    (void)doc.GetLightList();
    (void)doc.GetKeyList();
    doc.LoadLightListFile();
    (void)doc.GetCustomLightSteps();
    doc.LoadSecondarySection(user / "p2.Json");
    (void)doc.GetSecondaryKeyList();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path user = Folder() / "user";
    const fs::path defaults = Folder() / "defaults";
    fs::create_directories(user);
    fs::create_directories(defaults);

    // Profiles: the bytes as the user's profile, and as the default behind a missing one.
    Put(user / "p.Json", data, size);
    Put(defaults / "default.Json", data, size);
    Put(user / "kelvo_light.config", data, size);
    Put(user / "2024_01_01_00_00_00_000.light", data, size);
    {
        CMouseProfiledata mouse;
        ReadProfile(mouse, user, defaults);
        (void)mouse.GetDpiStages();
        (void)mouse.GetActiveDpiStage();
        (void)mouse.GetMouseSettings();
        (void)mouse.GetCorrectList();
    }
    Put(user / "p.Json", data, size);
    {
        CKeyboardProfiledata keyboard;
        ReadProfile(keyboard, user, defaults);
        (void)keyboard.GetKeyboardSettings();
        (void)keyboard.GetCustomColours(keyboard.GetCustomGroup(), 170);
    }
    Put(user / "p.Json", data, size);
    {
        CHs6533Profiledata headset;
        ReadProfile(headset, user, defaults);
        (void)headset.GetHeadsetSettings();
        for (int type = 0; type <= 14; ++type) {
            (void)headset.GetEqBands(type);
        }
        (void)headset.GetCustomEqNames();
        (void)headset.GetCustomEqBands(headset.GetHeadsetSettings().custom_eq_index);
    }

    // Profile list.
    Put(user / "ProfileList.ini", data, size);
    {
        ProfileList list(2, user, defaults / "default.Json");
        (void)list.Entries();
        (void)list.GetSelectedIndex();
        (void)list.GetProfilePathAt(0);
        (void)list.CheckProfile(ReadJsonFile(user / "p.Json"));
        (void)list.InitProfiles();
    }

    // Macro library and macro files.
    Put(user / "macro.config", data, size);
    {
        MacroLibrary library(user);
        const int count = library.Count();
        for (int i = 0; i < count && i < 64; ++i) {
            (void)library.EncodeMacro(i);
        }
        (void)EncodeEvents(Member(ReadJsonFile(user / "macro.config"), "Events"));
    }

    // Recoil files.
    Put(user / "ShootData_0.Shoot", data, size);
    {
        RecoilData recoil(user, defaults);
        for (int b = 0; b < RecoilData::kBullets; ++b) {
            (void)recoil.LoadBullet(0, b);
        }
        (void)recoil.EncodeGun(0);
    }

    // Light and language lists.
    {
        const Json::Value doc = ReadJsonFile(user / "kelvo_light.config");
        for (int row = -1; row < 5; ++row) {
            (void)ReadDefaultLights(doc, row);
            (void)ReadAreaLightNames(doc, row);
            (void)ReadCustomLights(doc, row);
        }
        (void)ReadLanguageList(doc);
    }

    std::error_code ec;
    fs::remove_all(user, ec);
    fs::remove_all(defaults, ec);
    return 0;
}
