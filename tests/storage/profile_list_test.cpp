#include "storage/profile_list.h"

#include <set>

#include "storage/folders.h"
#include "test_support.h"

namespace zepho7::storage {
namespace {

using test::TempDir;

constexpr const char* kDefaultMouse = R"({"profilename": "", "profileUUID": "",
  "Device": [{"KeyList": [{"Assignment": 1, "DefaultAssignment": 1}],
              "LightInfo": {"SelectItem": 2}, "DPIStages": {"StageActive": 0}}]})";
constexpr const char* kDefaultHeadset = R"({"profilename": "", "profileUUID": "",
  "Device": [{"LightInfo": {"SelectItem": 0}, "SystemSetStages": {"EqType": 1},
              "CustomEQNameInfo": [], "CustomEQHzValueInfo": []}]})";

struct ProfileListTest : ::testing::Test {
    TempDir dir;
    std::filesystem::path user = dir / "mouse";
    std::filesystem::path defaults = dir / "DefaultData";
    void SetUp() override {
        test::WriteText(defaults / "mouse.Json", kDefaultMouse);
        test::WriteText(defaults / "HD.Json", kDefaultHeadset);
    }
    ProfileList Make(int k = kind::kMouse, const char* file = "mouse.Json") {
        return ProfileList(k, user, defaults / file);
    }
    static std::vector<std::string> Names(const ProfileList& list) {
        std::vector<std::string> names;
        for (const auto& e : list.Entries()) {
            names.push_back(e.name);
        }
        return names;
    }
};

TEST_F(ProfileListTest, FirstStartCreatesProfile1FromTheDefault) {
    ProfileList list = Make();
    ASSERT_TRUE(list.InitProfiles());
    const auto entries = list.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "profile1");
    EXPECT_EQ(list.GetSelectedIndex(), 0);
    EXPECT_EQ(list.GetCurrentUuid(), entries[0].uuid);
    Json::Value expected = test::Parse(kDefaultMouse);
    expected["profilename"] = "profile1";
    expected["profileUUID"] = entries[0].uuid;
    EXPECT_EQ(ReadJsonFile(list.GetProfilePathAt(0)), expected);
    const Json::Value file = ReadJsonFile(list.ListPath());
    EXPECT_EQ(file["profilelist"][0]["profileislink"].asInt(), 0);
    EXPECT_EQ(file["profilelist"][0]["profilelinkmame"].asString(), "");
    // A second start finds the list as it is.
    ProfileList again = Make();
    ASSERT_TRUE(again.InitProfiles());
    EXPECT_EQ(again.Entries(), entries);
}

TEST_F(ProfileListTest, AddPicksTheLowestFreeNameUpToFifty) {
    ProfileList list = Make();
    ASSERT_TRUE(list.InitProfiles());
    EXPECT_EQ(list.AddProfile(), 1);
    EXPECT_EQ(list.RenameProfile(1, "PROFILE3"), RenameResult::kRenamed);
    EXPECT_EQ(list.AddProfile(), 2);
    EXPECT_EQ(list.AddProfile(), 3);
    EXPECT_EQ(Names(list),
              (std::vector<std::string>{"profile1", "PROFILE3", "profile2", "profile4"}))
        << "names compare without regard to case";
    EXPECT_EQ(list.GetSelectedIndex(), 3) << "the list records the new profile as selected";
    while (list.GetProfileCount() < ProfileList::kMaxProfiles) {
        ASSERT_GE(list.AddProfile(), 0);
    }
    EXPECT_EQ(list.AddProfile(), -1);
    EXPECT_EQ(list.CopyProfile(0), ProfileList::kMaxProfiles) << "copying has no limit";
    // Identifiers made in the same millisecond still differ.
    std::set<std::string> uuids;
    for (const auto& e : list.Entries()) {
        EXPECT_TRUE(uuids.insert(e.uuid).second);
        EXPECT_TRUE(std::filesystem::exists(user / (e.uuid + ".Json")));
    }
}

TEST_F(ProfileListTest, CopyDeleteRenameAndSelect) {
    ProfileList list = Make();
    ASSERT_TRUE(list.InitProfiles());
    ASSERT_TRUE(list.RenameProfile(0, "A") == RenameResult::kRenamed);
    EXPECT_EQ(list.CopyProfile(0), 1);
    EXPECT_EQ(list.CopyProfile(0), 2);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"A", "A copy", "A copy copy"}));
    const Json::Value copy = ReadJsonFile(list.GetProfilePathAt(2));
    EXPECT_EQ(copy["profilename"].asString(), "A copy copy");
    EXPECT_EQ(copy["profileUUID"].asString(), list.Entries()[2].uuid);
    EXPECT_EQ(copy["Device"], test::Parse(kDefaultMouse)["Device"]);

    // Renaming: own name succeeds, another's name is in use, blanks are refused.
    EXPECT_EQ(list.RenameProfile(1, "A COPY"), RenameResult::kRenamed);
    EXPECT_EQ(list.RenameProfile(1, "a"), RenameResult::kNameInUse);
    EXPECT_EQ(list.RenameProfile(1, "  \t"), RenameResult::kBlank);
    EXPECT_EQ(list.RenameProfile(7, "x"), RenameResult::kNoProfile);
    EXPECT_EQ(ReadJsonFile(list.GetProfilePathAt(1))["profilename"].asString(), "A COPY");

    ASSERT_TRUE(list.SelectProfile(2));
    EXPECT_EQ(list.GetCurrentUuid(), list.Entries()[2].uuid);
    EXPECT_FALSE(list.SelectProfile(3));

    const auto gone = list.GetProfilePathAt(2);
    EXPECT_EQ(list.DeleteProfile(2), 1);
    EXPECT_FALSE(std::filesystem::exists(gone));
    EXPECT_EQ(list.GetSelectedIndex(), 1);
    EXPECT_EQ(list.DeleteProfile(0), 0);
    EXPECT_EQ(list.DeleteProfile(0), -1) << "the last profile stays";
    EXPECT_EQ(Names(list), std::vector<std::string>{"A COPY"});
}

TEST_F(ProfileListTest, ResetKeepsNameAndOnlyTheHeadsetsCustomEqualiser) {
    for (const int k : {kind::kMouse, kind::kHeadset}) {
        const char* file = k == kind::kMouse ? "mouse.Json" : "HD.Json";
        std::filesystem::remove_all(user);
        ProfileList list = Make(k, file);
        ASSERT_TRUE(list.InitProfiles());
        const auto path = list.GetProfilePathAt(0);
        Json::Value edited = ReadJsonFile(path);
        edited["Device"][0]["LightInfo"]["SelectItem"] = 9;
        edited["Device"][0]["CustomEQNameInfo"][0]["Name"] = "Mine";
        edited["Device"][0]["CustomEQHzValueInfo"][0][0]["value"] = 4;
        test::WriteJson(path, edited);
        ASSERT_TRUE(list.ResetProfile(0));
        const Json::Value reset = ReadJsonFile(path);
        EXPECT_EQ(reset["profilename"].asString(), "profile1");
        EXPECT_EQ(reset["Device"][0]["LightInfo"]["SelectItem"].asInt(), k == kind::kMouse ? 2 : 0);
        EXPECT_EQ(reset["Device"][0]["CustomEQNameInfo"][0]["Name"].asString(),
                  k == kind::kHeadset ? "Mine" : "");
        EXPECT_EQ(reset["Device"][0].isMember("CustomEQHzValueInfo"), k == kind::kHeadset);
    }
}

TEST_F(ProfileListTest, ImportNamesAfterTheFileAndRefusesOtherKinds) {
    ProfileList list = Make();
    ASSERT_TRUE(list.InitProfiles());
    ASSERT_TRUE(list.ExportProfile(0, dir / "Game.json"));
    EXPECT_EQ(ReadJsonFile(dir / "Game.json"), ReadJsonFile(list.GetProfilePathAt(0)));

    ImportResult r = list.ImportProfile(dir / "Game.json");
    EXPECT_EQ(r.status, ImportStatus::kImported);
    EXPECT_EQ(r.name, "Game");
    EXPECT_EQ(r.index, 1);
    EXPECT_EQ(list.ImportProfile(dir / "Game.json").name, "Game(1)");
    EXPECT_EQ(list.ImportProfile(dir / "Game.json").name, "Game(1)(2)");
    const Json::Value imported = ReadJsonFile(list.GetProfilePathAt(1));
    EXPECT_EQ(imported["profilename"].asString(), "Game");
    EXPECT_EQ(imported["profileUUID"].asString(), list.Entries()[1].uuid);
    EXPECT_EQ(imported["Device"], test::Parse(kDefaultMouse)["Device"]);

    struct Case {
        const char* name;
        const char* text;
        ImportStatus status;
    };
    const Case refused[] = {
        {"broken.json", "{", ImportStatus::kUnreadable},
        {"array.json", "[1]", ImportStatus::kUnreadable},
        {"noname.json", R"({"Device": [{"DPIStages": {}}]})", ImportStatus::kNotAProfile},
        {"nodevice.json", R"({"profilename": "x", "profileUUID": "y"})",
         ImportStatus::kNotAProfile},
        {"headset.json", kDefaultHeadset, ImportStatus::kWrongKind},
        {"keyboard.json", R"({"profilename": "", "profileUUID": "", "Device": [{"KeyList": [],
            "CustomLightMode": {}}]})",
         ImportStatus::kWrongKind},
        {"fewkeys.json", R"({"profilename": "", "profileUUID": "", "Device": [{"KeyList": [],
            "DPIStages": {}}]})",
         ImportStatus::kWrongKind},
    };
    const auto before = test::ReadText(list.ListPath());
    for (const auto& c : refused) {
        test::WriteText(dir / c.name, c.text);
        const ImportResult result = list.ImportProfile(dir / c.name);
        EXPECT_EQ(result.status, c.status) << c.name;
        EXPECT_EQ(result.index, -1) << c.name;
    }
    EXPECT_EQ(list.ImportProfile(dir / "absent.json").status, ImportStatus::kUnreadable);
    EXPECT_EQ(test::ReadText(list.ListPath()), before) << "a refused import changes nothing";
}

TEST_F(ProfileListTest, HostileListFileDoesNotEscapeTheFolder) {
    test::WriteText(user / "ProfileList.ini", R"({"profilelist": [
        {"profilename": "x", "profileUUID": "../../outside"},
        {"profilename": "y", "profileUUID": "fine"}], "profileselect": 99})");
    test::WriteText(dir / "outside.Json", "keep");
    ProfileList list = Make();
    ASSERT_TRUE(list.InitProfiles());
    EXPECT_EQ(list.GetCurrentUuid(), "") << "selection clamps to 0, whose identifier is unusable";
    EXPECT_TRUE(list.GetProfilePathAt(0).empty());
    EXPECT_FALSE(list.ResetProfile(0));
    EXPECT_EQ(list.DeleteProfile(0), 0);
    EXPECT_EQ(test::ReadText(dir / "outside.Json"), "keep");
}

}  // namespace
}  // namespace zepho7::storage
