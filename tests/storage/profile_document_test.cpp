#include "storage/profile_document.h"

#include <thread>

#include "base/trace.h"
#include "test_support.h"

namespace zepho7::storage {
namespace {

using keycodes::FunctionCode;
using test::TempDir;

constexpr const char* kDefaultMouse = R"({
  "profilename": "default", "profileUUID": "",
  "Device": [{
    "KeyList": [{"Assignment": 1048832, "DefaultAssignment": 1048832},
                {"Assignment": 459267, "DefaultAssignment": 1049088}],
    "LightInfo": {"SelectItem": 12, "Light": 4, "Speed": 2, "Fx": 1, "MultiColor": 1,
                  "Red": 255, "Green": 0, "Blue": 0},
    "AudioLightInfo": {"AudioMode": 1, "FgColorR": 9, "ColorTypeFlags": 0},
    "LightList": [{"LEDREGMode": 1, "LEDBrightness": 4, "red": 10, "LEDMultiColor": 5}, null],
    "DPIStages": {"StageActive": 1, "StageDPIs": [
        {"StageActive": 1, "StageDPIX": 8, "StageDPIY": 8},
        {"StageActive": 1, "StageDPIX": 16, "StageDPIY": 16},
        {"StageActive": 0, "StageDPIX": 32, "StageDPIY": 32}]},
    "SystemStages": {"DoubleClickTime": 500, "MouseSpeed": 10, "WheelScorlllinse": 3},
    "ReportStages": {"StageActive": 3},
    "CorrectInfo": [{"CorrectPixThresh": 5, "CorrectMinSq": 6, "CorrectSelect": 1,
                     "CorrectName": "line"}]
  }]
})";

struct Fixture : ::testing::Test {
    TempDir dir;
    std::filesystem::path user = dir / "user";
    std::filesystem::path defaults = dir / "DefaultData";
    std::filesystem::path profile = user / "p1.Json";

    void SetUp() override {
        test::WriteText(defaults / "mouse.Json", kDefaultMouse);
        std::filesystem::create_directories(user);
    }
    template <typename Doc>
    void Bind(Doc& doc) {
        doc.SetDefaultProfilePath(defaults / "mouse.Json");
        doc.SetProfilePath(profile);
        doc.SetLightListPath(user / "kelvo_light.config");
    }
};

using ProfileDocument = Fixture;

TEST_F(ProfileDocument, MissingProfileIsCreatedFromTheDefault) {
    CMouseProfiledata doc;
    Bind(doc);
    EXPECT_FALSE(doc.LoadSection(profile));  // made from the default
    const Json::Value expected = test::Parse(kDefaultMouse)["Device"][0];
    EXPECT_EQ(doc.GetSection(), expected);
    const Json::Value file = ReadJsonFile(profile);
    EXPECT_EQ(file.getMemberNames(), std::vector<std::string>{"Device"});
    EXPECT_EQ(file["Device"][0], expected);
    // Loading again reads that copy.
    EXPECT_TRUE(doc.LoadSection(profile));
    EXPECT_EQ(doc.GetSection(), expected);
}

TEST_F(ProfileDocument, SaveKeepsNameAndIdentifierAndRoundTripsKeys) {
    Json::Value file = test::Parse(kDefaultMouse);
    file["profilename"] = "Game";
    file["profileUUID"] = "2020_01_01_00_00_00_000";
    test::WriteJson(profile, file);
    CMouseProfiledata doc;
    Bind(doc);
    doc.LoadSection(profile);
    auto keys = doc.GetKeyList();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[1].current, (FunctionCode{7, 2, 3}));
    EXPECT_EQ(keys[1].default_code, (FunctionCode{0x10, 0x02, 0x00}));
    EXPECT_EQ(keys[1].ui_index, 1);
    keys[0].current = {0x20, 0x02, 0x04};
    doc.SetKeyList(keys);
    ASSERT_TRUE(doc.Save());
    const Json::Value saved = ReadJsonFile(profile);
    EXPECT_EQ(saved["profilename"].asString(), "Game");
    EXPECT_EQ(saved["profileUUID"].asString(), "2020_01_01_00_00_00_000");
    EXPECT_EQ(saved["Device"][0]["KeyList"][0]["Assignment"].asInt(), 0x200204);
    EXPECT_EQ(saved["Device"][0]["KeyList"][1]["Assignment"].asInt(), 459267);
    EXPECT_EQ(saved["Device"][0]["KeyList"][0]["DefaultAssignment"].asInt(), 1048832);
}

// A document keeps what it last read or wrote, but a file changed by anyone else since then
// (in place, or replaced) is read again: the file on disk stays the truth.
TEST_F(ProfileDocument, FileChangedBehindTheDocumentIsReadAgain) {
    CMouseProfiledata doc;
    Bind(doc);
    doc.LoadSection(profile);
    LightRecord light = doc.GetLightInfo();
    light.red = 11;
    doc.SetLightInfo(light);
    ASSERT_TRUE(doc.Save());

    for (const bool in_place : {false, true}) {
        Json::Value file = ReadJsonFile(profile);
        file["profilename"] = in_place ? "edited in place" : "replaced";
        file["Device"][0]["LightInfo"]["Red"] = in_place ? 33 : 22;
        if (in_place) {
            std::ofstream(profile, std::ios::trunc) << ToStyledText(file);
        } else {
            test::WriteJson(profile, file);
        }
        ASSERT_TRUE(doc.LoadSection(profile));
        EXPECT_EQ(doc.GetLightInfo().red, in_place ? 33 : 22);
        ASSERT_TRUE(doc.Save());
        EXPECT_EQ(ReadJsonFile(profile)["profilename"].asString(), file["profilename"].asString());
    }
}

// Loading again drops changes that were not saved, whatever the document remembers.
TEST_F(ProfileDocument, LoadingAgainDropsUnsavedChanges) {
    CMouseProfiledata doc;
    Bind(doc);
    doc.LoadSection(profile);
    LightRecord light = doc.GetLightInfo();
    light.red = 1;
    doc.SetLightInfo(light);
    ASSERT_TRUE(doc.Save());
    for (int round = 0; round < 2; ++round) {  // after a load, and after a save
        light.red = 99;
        doc.SetLightInfo(light);
        ASSERT_TRUE(doc.LoadSection(profile));
        EXPECT_EQ(doc.GetLightInfo().red, 1) << round;
        EXPECT_EQ(ReadJsonFile(profile)["Device"][0]["LightInfo"]["Red"].asInt(), 1);
        ASSERT_TRUE(doc.Save());
    }
    // The same file as secondary section sees what was saved.
    ASSERT_TRUE(doc.LoadSecondarySection(profile));
    EXPECT_EQ(doc.GetSection()["LightInfo"]["Red"].asInt(), 1);
}

TEST_F(ProfileDocument, BrokenProfileIsSetAsideNotLost) {
    for (const char* broken : {"{\"profilename\": \"mine\", ", "[1, 2, 3]", "\"text\""}) {
        test::WriteText(profile, broken);
        trace::Capture capture;
        CMouseProfiledata doc;
        Bind(doc);
        EXPECT_FALSE(doc.LoadSection(profile));
        EXPECT_EQ(doc.GetSection(), test::Parse(kDefaultMouse)["Device"][0]) << broken;
        const auto aside = test::FilesStartingWith(user, "p1.Json.broken-");
        ASSERT_EQ(aside.size(), 1u) << broken;
        EXPECT_EQ(test::ReadText(aside[0]), broken);
        EXPECT_TRUE(capture.Contains("set aside")) << broken;
        std::filesystem::remove(aside[0]);
    }
}

TEST_F(ProfileDocument, RecordsReadAndWrite) {
    CMouseProfiledata doc;
    Bind(doc);
    doc.LoadSection(profile);
    LightRecord light = doc.GetLightInfo();
    EXPECT_EQ(light.select_item, 12);
    EXPECT_EQ(light.light, 4);
    EXPECT_EQ(light.red, 255);
    EXPECT_EQ(light.zzcc_led_mode, 0);
    light.blue = 7;
    light.custom_group = 2;
    doc.SetLightInfo(light);
    EXPECT_EQ(doc.GetLightInfo(), light);
    EXPECT_EQ(doc.GetSection()["LightInfo"].size(), 11u);

    // The colour-type flag is always read as 1; the setter stores it as given.
    AudioLightRecord audio = doc.GetAudioLight();
    EXPECT_EQ(audio.audio_mode, 1);
    EXPECT_EQ(audio.fg_red, 9);
    EXPECT_EQ(audio.color_type, 1);
    audio.color_type = 0;
    doc.SetAudioLight(audio);
    EXPECT_EQ(doc.GetSection()["AudioLightInfo"]["ColorTypeFlags"].asInt(), 0);
    EXPECT_EQ(doc.GetAudioLight().color_type, 1);

    const auto leds = doc.GetLightList();
    ASSERT_EQ(leds.size(), 2u);
    EXPECT_EQ(leds[0].mode, 1);
    EXPECT_EQ(leds[0].red, 10);
    EXPECT_EQ(leds[0].multi_color, 1) << "flags read as booleans";
    EXPECT_EQ(leds[0].present, 1);
    EXPECT_EQ(leds[1], LedEffect{});

    EXPECT_EQ(doc.GetMouseSettings(), (MouseSettings{500, 10, 0, 0, 3, 3}));
    doc.SetMouseSettings({400, 8, 1, 0, 5, 2});
    EXPECT_EQ(doc.GetMouseSettings(), (MouseSettings{400, 8, 1, 0, 5, 2}));
    EXPECT_EQ(doc.GetCorrectList(), (std::vector<CorrectEntry>{{5, 6, 1, "line"}}));
}

TEST_F(ProfileDocument, WrongTypesAndNarrowFieldsInAFile) {
    Json::Value file = test::Parse(R"({"Device": [{"LightInfo": {"SelectItem": "x", "Light": 3.7,
        "Speed": true, "Red": 300, "MultiColor": 7},
        "KeyList": [{"Assignment": "459267"}, 5, {"Assignment": 4294967295}]}]})");
    test::WriteJson(profile, file);
    CBasicProfiledata doc;
    Bind(doc);
    doc.LoadSection(profile);
    const LightRecord light = doc.GetLightInfo();
    EXPECT_EQ(light.select_item, 0);
    EXPECT_EQ(light.light, 3);
    EXPECT_EQ(light.speed, 1);
    EXPECT_EQ(light.red, 300 & 0xFF);
    EXPECT_EQ(light.multi_color, 1);
    const auto keys = doc.GetKeyList();
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0].current, FunctionCode{});
    EXPECT_EQ(keys[1].current, FunctionCode{});
    EXPECT_EQ(keys[2].current, (FunctionCode{0xFF, 0xFF, 0xFF}));
}

TEST_F(ProfileDocument, NothingLoadedReadsAsZeros) {
    CKeyboardProfiledata doc;
    EXPECT_EQ(doc.GetLightInfo(), LightRecord{});
    EXPECT_TRUE(doc.GetKeyList().empty());
    EXPECT_TRUE(doc.GetLightList().empty());
    EXPECT_EQ(doc.GetKeyboardSettings(), KeyboardSettings{});
    EXPECT_EQ(doc.GetCustomGroup(), 0);
    EXPECT_TRUE(doc.GetCustomLightSteps().empty());
    EXPECT_FALSE(doc.Save()) << "no profile path";
}

TEST_F(ProfileDocument, DpiStagesMergeIntoTheCachedList) {
    CMouseProfiledata doc;
    Bind(doc);
    doc.LoadSection(profile);
    const std::vector<DpiStage> five = {{1, 0, 1, 1, 0, 0, 0},
                                        {1, 0, 2, 2, 0, 0, 0},
                                        {1, 0, 3, 3, 0, 0, 0},
                                        {1, 0, 4, 4, 0, 0, 0},
                                        {1, 0, 5, 5, 9, 9, 9}};
    doc.SetDpiStages(five);
    EXPECT_EQ(doc.GetDpiStages().size(), 5u);
    doc.LoadSection(profile);  // the file still holds 3 stages
    const auto stages = doc.GetDpiStages();
    ASSERT_EQ(stages.size(), 5u);
    EXPECT_EQ(stages[0].dpi_x, 8);
    EXPECT_EQ(stages[2].dpi_x, 32);
    EXPECT_EQ(stages[4], five[4]);
    EXPECT_EQ(doc.GetActiveDpiStage(), 1);
    doc.SetActiveDpiStage(4);
    EXPECT_EQ(doc.GetActiveDpiStage(), 4);
}

TEST_F(ProfileDocument, KeyboardCustomColoursAndSettings) {
    CKeyboardProfiledata doc;
    Bind(doc);
    doc.LoadSection(profile);
    // An absent group is created with count zero entries.
    const auto zeros = doc.GetCustomColours(2, 170);
    ASSERT_EQ(zeros.size(), 170u);
    EXPECT_EQ(zeros[169], CustomColour{});
    const Json::Value section = doc.GetSection();
    const Json::Value& groups = section["CustomLightMode"]["LightColorInfo"];
    EXPECT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[2].size(), 170u);
    EXPECT_EQ(groups[2][0]["Alpha"].asInt(), 0);
    doc.SetCustomColours({{1, 2, 3, 4}, {5, 6, 7, 8}}, 2);
    const auto colours = doc.GetCustomColours(2, 3);
    EXPECT_EQ(colours[1], (CustomColour{5, 6, 7, 8}));
    EXPECT_EQ(colours[2], CustomColour{});
    EXPECT_TRUE(doc.GetCustomColours(-1, 3).empty());
    EXPECT_TRUE(doc.GetCustomColours(100000, 3).empty()) << "bounded";
    doc.SetCustomGroup(3);
    EXPECT_EQ(doc.GetCustomGroup(), 3);
    doc.SetKeyboardSettings({20, 2, 1, 3, 1, 0});
    EXPECT_EQ(doc.GetKeyboardSettings(), (KeyboardSettings{20, 2, 1, 3, 1, 0}));
}

TEST_F(ProfileDocument, HeadsetEqualiserRows) {
    CHs6533Profiledata doc;
    Bind(doc);
    doc.LoadSection(profile);  // the mouse default has no headset groups: all created on use
    struct Case {
        int type;
        size_t size;
    };
    for (const Case c : {Case{0, 10}, Case{1, 10}, Case{12, 10}, Case{13, 0}, Case{20, 10}}) {
        EXPECT_EQ(doc.GetEqBands(c.type).size(), c.size) << c.type;
    }
    doc.SetEqBands(1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    EXPECT_EQ(doc.GetEqBands(0), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(doc.GetEqBands(20), doc.GetEqBands(1));
    doc.SetEqBands(13, {9, 9, 9, 9, 9, 9, 9, 9, 9, 9});  // writes nothing
    EXPECT_EQ(doc.GetSection()["EQHzValueInfo"].size(), 13u);
    doc.SetEqBands(5, {-3, 4});
    EXPECT_EQ(doc.GetEqBands(5), (std::vector<int>{-3, 4, 0, 0, 0, 0, 0, 0, 0, 0}));

    doc.SetCustomEqNames({"Bass", "Voice"});
    EXPECT_EQ(doc.GetCustomEqNames(), (std::vector<std::string>{"Bass", "Voice"}));
    doc.SetCustomEqNames({"Only"});
    EXPECT_EQ(doc.GetCustomEqNames(), (std::vector<std::string>{"Only"}));
    doc.SetCustomEqBands(1, {5, 5, 5, 5, 5, 5, 5, 5, 5, 5});
    EXPECT_EQ(doc.GetCustomEqBands(1)[9], 5);
    EXPECT_EQ(doc.GetCustomEqBands(0), std::vector<int>(10, 0));

    doc.SetHeadsetSettings({1, 2, 13, 1, 1, 80, 0, 50});
    EXPECT_EQ(doc.GetHeadsetSettings(), (HeadsetSettings{1, 2, 13, 1, 1, 80, 0, 50}));
}

TEST_F(ProfileDocument, SecondarySectionEditsAnotherProfile) {
    CMouseProfiledata doc;
    Bind(doc);
    doc.LoadSection(profile);
    const auto other = user / "p2.Json";
    doc.LoadSecondarySection(other);
    auto keys = doc.GetSecondaryKeyList();
    ASSERT_EQ(keys.size(), 2u);
    keys[1].current = {0x40, 0x01, 0x00};
    doc.SetSecondaryKeyList(keys);
    ASSERT_TRUE(doc.SaveSecondary(other));
    EXPECT_EQ(ReadJsonFile(other)["Device"][0]["KeyList"][1]["Assignment"].asInt(), 0x400100);
    EXPECT_EQ(doc.GetKeyList()[1].current, (FunctionCode{7, 2, 3})) << "current untouched";
}

TEST_F(ProfileDocument, CustomLightStepsResolveAgainstUserThenDefaultFolder) {
    test::WriteText(user / "kelvo_light.config", R"({"LightInfo": [[
        {"LightName": "Mine", "Guid": "user-light"},
        {"LightName": "Shipped", "Guid": "shipped-light"},
        {"LightName": "Evil", "Guid": "../escape"}]]})");
    test::WriteText(user / "user-light.light",
                    R"({"LEDEffectList": [{"LEDREGMode": 1, "red": 200, "Time": 500, "Cyle": 2},
                                          {"LEDREGMode": 5, "Time": 70000}]})");
    test::WriteText(defaults / "shipped-light.light",
                    R"({"LEDEffectList": [{"LEDREGMode": 4, "LEDSpeed": 3}]})");
    test::WriteText(dir / "escape.light", R"({"LEDEffectList": [{"LEDREGMode": 9}]})");

    CBasicProfiledata doc;
    Bind(doc);
    doc.LoadSection(profile);
    ASSERT_FALSE(doc.LoadLightListFile().isNull());
    struct Case {
        uint8_t effect;
        size_t steps;
    };
    for (const Case c : {Case{0, 2}, Case{1, 1}, Case{2, 0}, Case{3, 0}}) {
        LightRecord light;
        light.select_item = c.effect;
        doc.SetLightInfo(light);
        EXPECT_EQ(doc.GetCustomLightSteps().size(), c.steps) << int{c.effect};
    }
    LightRecord light;
    doc.SetLightInfo(light);
    const auto steps = doc.GetCustomLightSteps();
    EXPECT_EQ(steps[0], (LightStep{1, 0, 0, 0, 0, 200, 0, 0, 500, 2}));
    EXPECT_EQ(steps[1].time, 70000);

    // Built-in effects come before the custom lights, in the device's own row.
    test::WriteText(user / "kelvo_light.config",
                    R"({"LightInfo": [[], [{"LightName": "M", "Guid": "shipped-light"}]]})");
    doc.LoadLightListFile();
    doc.SetLightTableRow(1);
    doc.SetBuiltInEffectCount(12);
    light.select_item = 11;
    doc.SetLightInfo(light);
    EXPECT_TRUE(doc.GetCustomLightSteps().empty());
    light.select_item = 12;
    doc.SetLightInfo(light);
    EXPECT_EQ(doc.GetCustomLightSteps().size(), 1u);
}

TEST_F(ProfileDocument, ShippedLightListIsUsedUntilTheUserHasOne) {
    test::WriteText(defaults / "kelvo_light.config",
                    R"({"LightInfo": [[{"LightName": "S", "Guid": "shipped-light"}]]})");
    test::WriteText(defaults / "shipped-light.light", R"({"LEDEffectList": [{}, {}, {}]})");
    CBasicProfiledata doc;
    Bind(doc);
    doc.LoadSection(profile);
    EXPECT_FALSE(doc.LoadLightListFile().isNull());
    doc.SetLightInfo(LightRecord{});
    EXPECT_EQ(doc.GetCustomLightSteps().size(), 3u);
}

// The document is shared by the interface thread and the device threads.
TEST_F(ProfileDocument, ConcurrentUseIsSafe) {
    CMouseProfiledata doc;
    Bind(doc);
    doc.LoadSection(profile);
    std::thread writer([&] {
        for (int i = 0; i < 200; ++i) {
            LightRecord r;
            r.red = static_cast<uint8_t>(i);
            doc.SetLightInfo(r);
            doc.SetDpiStages({{1, 0, static_cast<uint16_t>(i), 0, 0, 0, 0}});
            if (i % 20 == 0) {
                EXPECT_TRUE(doc.Save());
            }
        }
    });
    for (int i = 0; i < 200; ++i) {
        (void)doc.GetLightInfo();
        (void)doc.GetDpiStages();
        (void)doc.GetSection();
    }
    writer.join();
    EXPECT_EQ(doc.GetLightInfo().red, 199);
    EXPECT_TRUE(ReadJsonFile(profile).isObject());
}

}  // namespace
}  // namespace zepho7::storage
