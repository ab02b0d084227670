// The shipped DefaultData folder: every file parses and agrees with the program's tables.
#include <set>

#include "keycodes/keycodes.h"
#include "storage/folders.h"
#include "storage/light_files.h"
#include "storage/profile_document.h"
#include "storage/profile_list.h"
#include "storage/recoil_data.h"
#include "test_support.h"

namespace zepho7::storage {
namespace {

const std::filesystem::path kData = std::filesystem::path(ZEPHO7_SOURCE_DIR) / "DefaultData";

TEST(DefaultData, ProfilesCarryTheDevicesDefaultCodes) {
    struct Case {
        std::string_view type;
        size_t keys;
    };
    for (const Case c : {Case{kMouseType, 11}, Case{kKeyboardType, 170}, Case{kMousePadType, 0},
                         Case{kHeadsetType, 0}}) {
        test::TempDir dir;
        CBasicProfiledata doc;
        doc.SetDefaultProfilePath(kData / (std::string(c.type) + ".Json"));
        doc.LoadSection(dir / "p.Json");
        EXPECT_TRUE(doc.GetSection().isObject()) << c.type;
        const auto keys = doc.GetKeyList();
        ASSERT_EQ(keys.size(), c.keys) << c.type;
        for (size_t i = 0; i < keys.size(); ++i) {
            const auto expected =
                c.keys == 11 ? keycodes::kMouseDefaultCodes[i] : keycodes::kKeyboardFactoryCodes[i];
            EXPECT_EQ(keys[i].current, expected) << c.type << " key " << i;
            EXPECT_EQ(keys[i].default_code, expected) << c.type << " key " << i;
        }
        EXPECT_EQ(doc.GetLightInfo().light, 4) << c.type;
    }
    CMouseProfiledata mouse;
    mouse.SetDefaultProfilePath(kData / "mouse.Json");
    test::TempDir dir;
    mouse.LoadSection(dir / "m.Json");
    EXPECT_EQ(mouse.GetDpiStages().size(), 6u);
    EXPECT_EQ(mouse.GetCorrectList().size(), 2u);
    CHs6533Profiledata headset;
    headset.SetDefaultProfilePath(kData / "HD.Json");
    headset.LoadSection(dir / "h.Json");
    EXPECT_EQ(headset.GetEqBands(1), (std::vector<int>{7, 11, 2, -3, -1, 4, 9, 12, 9, 5}));
    EXPECT_EQ(headset.GetEqBands(12), (std::vector<int>{2, 1, -2, -4, -8, 4, 12, 16, 18, 15}));
}

TEST(DefaultData, EachProfileIsRecognisedAsItsOwnKindOnly) {
    const std::pair<int, const char*> kinds[] = {{kind::kMouse, "mouse.Json"},
                                                 {kind::kKeyboard, "keyboard.Json"},
                                                 {kind::kMousePad, "MousePad.Json"},
                                                 {kind::kHeadset, "HD.Json"}};
    for (const auto& [k, file] : kinds) {
        const ProfileList list(k, "/nonexistent", kData / file);
        for (const auto& [other, other_file] : kinds) {
            EXPECT_EQ(
                list.CheckProfile(ReadJsonFile(kData / other_file)) == ImportStatus::kImported,
                k == other)
                << file << " checking " << other_file;
        }
    }
}

TEST(DefaultData, LightListsMatchTheDevices) {
    const Json::Value lights = ReadJsonFile(kData / "default_light.json");
    const size_t counts[] = {31, 12, 9, 9};  // keyboard, mouse, mousepad, headset effects
    for (int row = 0; row < 4; ++row) {
        const auto entries = ReadDefaultLights(lights, row);
        ASSERT_EQ(entries.size(), counts[row]) << row;
        for (const auto& e : entries) {
            EXPECT_FALSE(e.name.empty());
            EXPECT_GE(e.value, 0);
        }
        EXPECT_FALSE(ReadAreaLightNames(lights, row).empty());
    }
    EXPECT_TRUE(ReadDefaultLights(lights, 4).empty());
    EXPECT_TRUE(ReadDefaultLights(lights, -1).empty());

    const Json::Value custom = ReadJsonFile(kData / "kelvo_light.config");
    for (int row = 0; row < 4; ++row) {
        const auto entries = ReadCustomLights(custom, row);
        EXPECT_FALSE(entries.empty()) << row;
        for (const auto& e : entries) {
            ASSERT_TRUE(IsPlainFileName(e.guid));
            const Json::Value steps = ReadJsonFile(kData / (e.guid + ".light"));
            EXPECT_GT(ArraySize(Member(steps, "LEDEffectList")), 0u) << e.guid;
        }
    }
}

TEST(DefaultData, RecoilFilesHoldThirtyBulletsEach) {
    test::TempDir dir;
    RecoilData data(dir.path(), kData);
    ASSERT_TRUE(data.InitShoot());
    for (int gun = 0; gun < RecoilData::kGuns; ++gun) {
        const auto encoded = data.EncodeGun(gun);
        ASSERT_EQ(encoded.size(), 180u) << gun;
        for (int b = 0; b < RecoilData::kBullets; ++b) {
            EXPECT_EQ(encoded[static_cast<size_t>(6 * b)], (EncodedEvent{10, 0, 0x81, 1}));
            EXPECT_EQ(encoded[static_cast<size_t>(6 * b + 3)][2] & 0x7F, 5);
            EXPECT_LE(data.LoadBullet(gun, b).y, 255);
        }
    }
}

TEST(DefaultData, LanguageList) {
    const auto languages = ReadLanguageList(ReadJsonFile(kData / "Language.config"));
    ASSERT_GE(languages.size(), 2u);
    EXPECT_EQ(LanguageIndexForId(languages, 520), 0);
    EXPECT_EQ(LanguageIndexForId(languages, 1033), 1);
    EXPECT_EQ(LanguageIndexForId(languages, 7), 0);
    std::set<int> ids;
    for (const auto& l : languages) {
        EXPECT_TRUE(ids.insert(l.id).second);
        EXPECT_FALSE(l.file.empty());
    }
}

TEST(Folders, DefaultAndUserFoldersFollowTheEnvironment) {
    test::TempDir dir;
    ::setenv("ZEPHO7_DATA_DIR", (dir / "data").c_str(), 1);
    EXPECT_EQ(FindDefaultDataFolder(), dir / "data");
    ::unsetenv("ZEPHO7_DATA_DIR");
    ::setenv("XDG_DATA_HOME", dir.path().c_str(), 1);
    EXPECT_EQ(FindUserDataFolder(), dir / "Zepho7");
    ::setenv("XDG_DATA_HOME", "relative/path", 1);
    EXPECT_NE(FindUserDataFolder(), std::filesystem::path("relative/path/Zepho7"));
    ::unsetenv("XDG_DATA_HOME");

    const DataFolders folders(kData, dir / "Zepho7");
    EXPECT_EQ(folders.DefaultProfile(kHeadsetType), kData / "HD.Json");
    EXPECT_EQ(folders.ProfileFile(kMousePadType, "id"), dir / "Zepho7" / "MousePad" / "id.Json");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "Zepho7" / "MousePad")) << "created on use";
    EXPECT_TRUE(folders.ProfileFile(kMouseType, "../x").empty());
    EXPECT_EQ(folders.LightListFile(kMouseType), dir / "Zepho7" / "mouse" / "kelvo_light.config");
}

}  // namespace
}  // namespace zepho7::storage
