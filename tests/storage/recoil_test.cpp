#include "storage/recoil_data.h"

#include "test_support.h"

namespace zepho7::storage {
namespace {

using test::TempDir;

Json::Value FullGun(int x) {
    Json::Value doc;
    doc["Name"] = "gun";
    for (int b = 0; b < RecoilData::kBullets; ++b) {
        const char* a[] = {"down", "up", "up", "up", "up", "up"};
        const int button[] = {1, 1, x, b, 0, 0};
        const int delay[] = {10, 0, 5, 80, 0, 0};
        const int type[] = {1, 1, 4, 5, 4, 5};
        for (int k = 0; k < 6; ++k) {
            Json::Value e;
            e["Action"] = a[k];
            e["Button"] = button[k];
            e["Delay"] = delay[k];
            e["Type"] = type[k];
            doc["Events"].append(e);
        }
    }
    return doc;
}

struct RecoilTest : ::testing::Test {
    TempDir dir;
    RecoilData data{dir / "mouse", dir / "DefaultData"};
    void SetUp() override {
        for (int g = 0; g < RecoilData::kGuns; ++g) {
            test::WriteJson(data.DefaultFile(g), FullGun(g));
        }
    }
};

TEST_F(RecoilTest, InitCreatesMissingFilesAndBulletsLoad) {
    test::WriteText(data.UserFile(1), "{\"Events\": []}");
    ASSERT_TRUE(data.InitShoot());
    EXPECT_EQ(ReadJsonFile(data.UserFile(0)), FullGun(0));
    EXPECT_EQ(ReadJsonFile(data.UserFile(1))["Events"].size(), 0u) << "a readable file is kept";
    EXPECT_EQ(data.LoadBullet(2, 7), (Bullet{false, 2, false, 7, 80}));
    EXPECT_EQ(data.LoadBullet(1, 0), Bullet{}) << "missing events read as zeros";
    EXPECT_EQ(data.LoadBullet(2, 30), data.LoadBullet(2, 29)) << "bullet clamps to 29";
    EXPECT_EQ(data.EncodeGun(3).size(), 180u);
    EXPECT_EQ(data.EncodeGun(3)[0], (EncodedEvent{10, 0, 0x81, 1}));
}

TEST_F(RecoilTest, SaveBulletWritesItsSixEvents) {
    ASSERT_TRUE(data.InitShoot());
    ASSERT_TRUE(data.SaveBullet(0, 2, {true, 3, false, 7, 90}));
    const Json::Value doc = ReadJsonFile(data.UserFile(0));
    const char* expected[][4] = {{"down", "1", "10", "1"}, {"up", "1", "0", "1"},
                                 {"down", "3", "5", "4"},  {"up", "7", "90", "5"},
                                 {"down", "0", "0", "4"},  {"up", "0", "0", "5"}};
    for (int k = 0; k < 6; ++k) {
        const Json::Value& e = doc["Events"][12 + k];
        EXPECT_EQ(e["Action"].asString(), expected[k][0]) << k;
        EXPECT_EQ(e["Button"].asString(), expected[k][1]) << k;
        EXPECT_EQ(e["Delay"].asString(), expected[k][2]) << k;
        EXPECT_TRUE(e["Delay"].isInt()) << "recoil delays are integers";
        EXPECT_EQ(e["Type"].asString(), expected[k][3]) << k;
    }
    EXPECT_EQ(doc["Events"][11], FullGun(0)["Events"][11]) << "other bullets stay";
    EXPECT_EQ(doc["Name"].asString(), "gun") << "other keys stay";
    EXPECT_EQ(data.LoadBullet(0, 2), (Bullet{true, 3, false, 7, 90}));
    // Out-of-range values are held to their fields.
    ASSERT_TRUE(data.SaveBullet(0, 3, {false, 300, true, -4, 70000}));
    EXPECT_EQ(data.LoadBullet(0, 3), (Bullet{false, 255, true, 0, 65535}));
}

TEST_F(RecoilTest, SaveIntoAnEmptyFileTakesEarlierBulletsFromTheDefault) {
    test::WriteText(data.UserFile(2), "{\"Events\": []}");
    ASSERT_TRUE(data.SaveBullet(2, 1, {false, 1, false, 1, 1}));
    const Json::Value doc = ReadJsonFile(data.UserFile(2));
    ASSERT_EQ(doc["Events"].size(), 12u);
    EXPECT_EQ(doc["Events"][2], FullGun(2)["Events"][2]);
}

TEST_F(RecoilTest, ImportExportResetAreWholeFileCopies) {
    ASSERT_TRUE(data.InitShoot());
    test::WriteText(dir / "odd.shoot", "not json at all");
    ASSERT_TRUE(data.ImportShoot(1, dir / "odd.shoot"));
    EXPECT_EQ(test::ReadText(data.UserFile(1)), "not json at all");
    EXPECT_EQ(data.LoadBullet(1, 0), Bullet{});
    ASSERT_TRUE(data.ExportShoot(1, dir / "out.shoot"));
    EXPECT_EQ(test::ReadText(dir / "out.shoot"), "not json at all");
    ASSERT_TRUE(data.SaveBullet(2, 0, {true, 9, true, 9, 9}));
    const std::string gun2 = test::ReadText(data.UserFile(2));
    ASSERT_TRUE(data.ResetShoot(1));
    EXPECT_EQ(ReadJsonFile(data.UserFile(1)), FullGun(1));
    EXPECT_EQ(test::ReadText(data.UserFile(2)), gun2) << "reset touches only its gun";
    EXPECT_FALSE(data.ImportShoot(0, ""));
    EXPECT_FALSE(data.ImportShoot(0, dir / "absent"));
}

}  // namespace
}  // namespace zepho7::storage
