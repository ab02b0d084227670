#include "storage/macro_library.h"

#include "test_support.h"

namespace zepho7::storage {
namespace {

using keycodes::FunctionCode;
using test::TempDir;

TEST(MacroEncoding, EventRecords) {
    struct Case {
        const char* json;
        EncodedEvent bytes;
    };
    const Case cases[] = {
        {R"({"Action": "down", "Type": 10, "Button": 4, "Delay": "300"})",
         {0x2C, 0x01, 0x8A, 0x04}},
        {R"({"Action": "up", "Type": 10, "Button": 4, "Delay": "300"})", {0x2C, 0x01, 0x0A, 0x04}},
        {R"({"Action": "down", "Type": 1, "Button": 1, "Delay": "70000"})",
         {0x70, 0x11, 0x81, 0x01}},
        {R"({"Action": "DOWN", "Type": 5, "Button": 7, "Delay": 90})", {0x5A, 0x00, 0x05, 0x07}},
        {R"({"Delay": "abc"})", {0, 0, 0, 0}},
        {R"([1, 2])", {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EncodeMacroEvent(test::Parse(c.json)), c.bytes) << c.json;
    }
}

struct MacroLibraryTest : ::testing::Test {
    TempDir dir;
    MacroLibrary library{dir.path()};
};

TEST_F(MacroLibraryTest, AddNamesFromTheLowestFreeNumberUpToFifty) {
    EXPECT_EQ(library.Count(), 0);
    EXPECT_EQ(library.AddMacro(), "macro_1");
    EXPECT_EQ(library.AddMacro(), "macro_2");
    EXPECT_EQ(library.AddMacro(), "macro_3");
    ASSERT_TRUE(library.DeleteMacro(1));
    EXPECT_EQ(library.Names(), (std::vector<std::string>{"macro_1", "macro_3"}));
    EXPECT_EQ(library.AddMacro(), "macro_2");
    EXPECT_FALSE(std::filesystem::exists(library.MacroFilePath(2))) << "no event file yet";
    EXPECT_TRUE(library.LoadEvents(2).empty());
    while (library.Count() < MacroLibrary::kMaxMacros) {
        ASSERT_FALSE(library.AddMacro().empty());
    }
    EXPECT_EQ(library.AddMacro(), "");
    test::WriteText(dir / "x.mac", "{}");
    EXPECT_EQ(library.ImportMacro(dir / "x.mac"), "") << "an import into a full library is refused";
    EXPECT_EQ(library.Count(), MacroLibrary::kMaxMacros);
}

TEST_F(MacroLibraryTest, SaveWritesVersionAndStringDelaysAndSkipsBrokenRows) {
    ASSERT_EQ(library.AddMacro(), "macro_1");
    std::vector<MacroEventRow> rows = {
        {R"({"Action": "down", "Type": 10, "Button": 4, "Extra": true})", ""},
        {"", "5"},
        {"{broken", "5"},
        {R"({"Action": "up", "Type": 10, "Button": 4, "Delay": "1"})", "0300"},
    };
    ASSERT_TRUE(library.SaveMacro(0, rows));
    const Json::Value file = ReadJsonFile(library.MacroFilePath(0));
    EXPECT_EQ(file["Version"].asInt(), 64);
    EXPECT_EQ(file["MacroName"].asString(), "macro_1");
    EXPECT_EQ(file["Guid"].asString(), library.Entries()[0].guid);
    ASSERT_EQ(file["Events"].size(), 2u);
    EXPECT_EQ(file["Events"][0]["Delay"], Json::Value("0"));
    EXPECT_TRUE(file["Events"][0]["Extra"].asBool()) << "other keys are kept";
    EXPECT_EQ(file["Events"][1]["Delay"], Json::Value("300"));
    EXPECT_EQ(rows[3].delay_text, "300");
    EXPECT_EQ(library.EncodeMacro(0),
              (std::vector<EncodedEvent>{{0, 0, 0x8A, 4}, {0x2C, 0x01, 0x0A, 4}}));
}

TEST_F(MacroLibraryTest, RenameImportExport) {
    ASSERT_EQ(library.AddMacro(), "macro_1");
    ASSERT_EQ(library.AddMacro(), "macro_2");
    EXPECT_EQ(library.RenameMacro(0, "MACRO_1"), MacroRenameResult::kDuplicate)
        << "its own name counts as taken";
    EXPECT_EQ(library.RenameMacro(0, "macro_2"), MacroRenameResult::kDuplicate);
    EXPECT_EQ(library.RenameMacro(0, " \t"), MacroRenameResult::kBlank);
    EXPECT_EQ(library.RenameMacro(-1, "x"), MacroRenameResult::kNoSelection);
    EXPECT_EQ(library.RenameMacro(0, "Reload"), MacroRenameResult::kRenamed);
    EXPECT_EQ(library.Names()[0], "Reload");

    const std::string bytes = "{\"MacroName\": \"Other\", \"Events\": [{\"Action\": \"down\"}]}\n";
    test::WriteText(dir / "in.mac", bytes);
    EXPECT_EQ(library.ImportMacro(dir / "in.mac"), "macro_1") << "macro_1 was renamed away";
    EXPECT_EQ(test::ReadText(library.MacroFilePath(2)), bytes) << "copied byte for byte";
    EXPECT_EQ(library.LoadEvents(2).size(), 1u);
    EXPECT_EQ(library.ImportMacro(""), "");
    EXPECT_EQ(library.ImportMacro(dir / "absent.mac"), "");
    ASSERT_TRUE(library.ExportMacro(2, dir / "out.mac"));
    EXPECT_EQ(test::ReadText(dir / "out.mac"), bytes);
    EXPECT_FALSE(library.ExportMacro(7, dir / "out2.mac"));
}

TEST_F(MacroLibraryTest, HostileIdentifiersNeverBecomePaths) {
    test::WriteText(library.LibraryPath(),
                    R"({"MacroInfo": [{"MacroName": "m", "Guid": "../victim"}]})");
    test::WriteText(dir / ".." / "victim.mac", "keep");
    EXPECT_TRUE(library.MacroFilePath(0).empty());
    std::vector<MacroEventRow> rows = {{R"({"Action": "down"})", "1"}};
    EXPECT_FALSE(library.SaveMacro(0, rows));
    EXPECT_TRUE(library.DeleteMacro(0));
    EXPECT_EQ(test::ReadText(dir / ".." / "victim.mac"), "keep");
    std::filesystem::remove(dir / ".." / "victim.mac");
}

KeyEntry Key(FunctionCode current, FunctionCode def = {0x10, 0x01, 0}) {
    return {0, current, def};
}

TEST(MacroRenumbering, DeletingMacroTwoOfFive) {
    std::vector<KeyEntry> keys = {Key({0x70, 0, 0}),
                                  Key({0x70, 1, 2}),
                                  Key({0x70, 2, 0}),
                                  Key({0x71, 3, 5}),
                                  Key({0x70, 4, 1}),
                                  Key({0x20, 2, 4}),
                                  Key({0x71, 2, 9}, {0x13, 1, 0})};
    EXPECT_TRUE(KeysUseMacro(keys, 2));
    EXPECT_TRUE(RenumberKeysAfterMacroDelete(keys, 2));
    const std::vector<FunctionCode> expected = {{0x70, 0, 0}, {0x70, 1, 2}, {0x10, 1, 0},
                                                {0x71, 2, 5}, {0x70, 3, 1}, {0x20, 2, 4},
                                                {0x13, 1, 0}};
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].current, expected[i]) << i;
    }
    EXPECT_FALSE(KeysUseMacro(keys, 4));
    EXPECT_FALSE(RenumberKeysAfterMacroDelete(keys, 4));
}

TEST(MacroRenumbering, DeleteFixesEveryProfileOfTheKind) {
    TempDir dir;
    MacroLibrary library(dir.path());
    for (int i = 0; i < 5; ++i) {
        ASSERT_FALSE(library.AddMacro().empty());
    }
    test::WriteText(
        dir / "default.Json",
        R"({"Device": [{"KeyList": [{"Assignment": 0, "DefaultAssignment": 1048832}]}]})");
    auto profile = [&](const std::string& name, int macro) {
        Json::Value doc;
        doc["profilename"] = name;
        doc["Device"][0]["KeyList"][0]["Assignment"] = (0x70 << 16) | (macro << 8);
        doc["Device"][0]["KeyList"][0]["DefaultAssignment"] = 1048832;
        test::WriteJson(dir / (name + ".Json"), doc);
        return dir / (name + ".Json");
    };
    const std::vector<std::filesystem::path> paths = {profile("a", 2), profile("b", 4),
                                                      profile("c", 1)};
    CMouseProfiledata current;
    current.SetDefaultProfilePath(dir / "default.Json");
    current.SetProfilePath(paths[1]);
    current.LoadSection(paths[1]);
    ASSERT_TRUE(DeleteMacroEverywhere(library, current, paths, 2));
    auto assignment = [&](int i) {
        return ReadJsonFile(paths[static_cast<size_t>(i)])["Device"][0]["KeyList"][0]["Assignment"]
            .asInt();
    };
    EXPECT_EQ(assignment(0), 1048832) << "the key on the deleted macro takes its default";
    EXPECT_EQ(assignment(1), 0x700300) << "the current profile is saved too";
    EXPECT_EQ(assignment(2), 0x700100);
    EXPECT_EQ(ReadJsonFile(paths[0])["profilename"].asString(), "a");
    EXPECT_EQ(library.Names(),
              (std::vector<std::string>{"macro_1", "macro_2", "macro_4", "macro_5"}));
    EXPECT_FALSE(DeleteMacroEverywhere(library, current, paths, 9));
}

}  // namespace
}  // namespace zepho7::storage
