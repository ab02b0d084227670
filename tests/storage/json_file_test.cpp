#include "storage/json_file.h"

#include <signal.h>
#include <sys/resource.h>

#include <ctime>
#include <set>

#include "base/trace.h"
#include "test_support.h"

namespace zepho7::storage {
namespace {

using test::TempDir;

TEST(ReadJsonFile, AbsentEmptyBrokenAndValidFiles) {
    TempDir dir;
    struct Case {
        const char* name;
        const char* text;  // nullptr: no file
        ReadStatus status;
    };
    const Case cases[] = {
        {"missing", nullptr, ReadStatus::kMissing},
        {"empty", "", ReadStatus::kEmpty},
        {"broken", "{\"a\": 1", ReadStatus::kBroken},
        {"comments", "// note\n{\"a\": /* one */ 1}", ReadStatus::kOk},
        {"deep", nullptr, ReadStatus::kBroken},
        {"scalar", "42", ReadStatus::kOk},
    };
    for (const auto& c : cases) {
        const auto path = dir / c.name;
        if (c.text != nullptr) {
            test::WriteText(path, c.text);
        } else if (std::string(c.name) == "deep") {
            test::WriteText(path, std::string(5000, '[') + std::string(5000, ']'));
        }
        const ReadResult r = ReadJsonFileStatus(path);
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_EQ(ReadJsonFile(path).isNull(), c.status != ReadStatus::kOk) << c.name;
    }
    EXPECT_EQ(ReadJsonFileStatus(dir.path()).status, ReadStatus::kUnreadable);
    EXPECT_EQ(IntMember(ReadJsonFile(dir / "comments"), "a"), 1);
}

TEST(WriteJsonFile, RoundTripKeepsUtf8AndIndents) {
    TempDir dir;
    Json::Value v;
    v["name"] = "Spiel \xC3\xBC \xE6\xB8\xB8\xE6\x88\x8F";
    v["list"].append(1);
    v["list"].append(-2);
    const auto path = dir / "f.json";
    ASSERT_TRUE(WriteJsonFile(v, path));
    const std::string text = test::ReadText(path);
    EXPECT_NE(text.find("\xE6\xB8\xB8"), std::string::npos) << "UTF-8 must not be escaped";
    EXPECT_NE(text.find("\n   \"list\""), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(ReadJsonFile(path), v);
    EXPECT_TRUE(test::FilesStartingWith(dir.path(), "f.json.tmp").empty());
    EXPECT_FALSE(WriteJsonFile(v, dir / "no-such-folder" / "f.json"));
}

// Every kind of value and every character that needs escaping reads back as written.
TEST(WriteJsonFile, RoundTripOfEveryValueKind) {
    TempDir dir;
    Json::Value v;
    v["quote \" and \\ slash"] = "tab\tnew\nline\r\b\f\x01\x1f end";
    v["ints"].append(Json::Value(Json::Int64{-9223372036854775807LL - 1}));
    v["ints"].append(Json::Value(Json::UInt64{18446744073709551615ULL}));
    v["ints"].append(0);
    v["reals"].append(0.1);
    v["reals"].append(-2.5e-300);
    v["reals"].append(3.0);
    v["flags"].append(true);
    v["flags"].append(false);
    v["empty_array"] = Json::Value(Json::arrayValue);
    v["empty_object"] = Json::Value(Json::objectValue);
    v["null"] = Json::Value();
    v["nested"]["a"][0]["b"] = "c";
    const auto path = dir / "kinds.json";
    ASSERT_TRUE(WriteJsonFile(v, path));
    const Json::Value back = ReadJsonFile(path);
    EXPECT_EQ(back, v) << test::ReadText(path);
    EXPECT_DOUBLE_EQ(back["reals"][2].asDouble(), 3.0);
}

// A write that fails half-way (here: the file size limit, as on a full disk) leaves the old
// file whole and no temporary file behind.
TEST(WriteJsonFile, InterruptedWriteKeepsTheOldFile) {
    TempDir dir;
    const auto path = dir / "profile.Json";
    Json::Value old;
    old["profilename"] = "mine";
    ASSERT_TRUE(WriteJsonFile(old, path));
    const std::string before = test::ReadText(path);

    Json::Value big;
    for (int i = 0; i < 2000; ++i) {
        big["KeyList"].append(i);
    }
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto old_handler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteJsonFile(big, path);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    signal(SIGXFSZ, old_handler);

    EXPECT_FALSE(written);
    EXPECT_EQ(test::ReadText(path), before);
    EXPECT_TRUE(test::FilesStartingWith(dir.path(), "profile.Json.tmp").empty());
}

TEST(SetAsideBrokenFile, RenamesWithTimeStampAndTraces) {
    TempDir dir;
    const auto path = dir / "p.Json";
    test::WriteText(path, "{oops");
    trace::Capture capture;
    const auto moved = SetAsideBrokenFile(path);
    ASSERT_FALSE(moved.empty());
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(moved.filename().string().rfind("p.Json.broken-", 0), 0u);
    EXPECT_EQ(test::ReadText(moved), "{oops");
    EXPECT_TRUE(capture.Contains("set aside"));
    // A second broken file within the same second gets its own name.
    test::WriteText(path, "{again");
    const auto second = SetAsideBrokenFile(path);
    EXPECT_NE(second, moved);
    EXPECT_EQ(test::ReadText(second), "{again");
}

TEST(TimestampId, FormatAndUniqueness) {
    std::tm tm{};
    tm.tm_year = 2017 - 1900;
    tm.tm_mon = 2;
    tm.tm_mday = 9;
    tm.tm_hour = 14;
    tm.tm_min = 5;
    tm.tm_sec = 7;
    tm.tm_isdst = -1;
    const auto when =
        std::chrono::system_clock::from_time_t(std::mktime(&tm)) + std::chrono::milliseconds(42);
    EXPECT_EQ(MakeTimestampId(when), "2017_03_09_14_05_07_042");

    std::set<std::string> taken;
    for (int i = 0; i < 5; ++i) {
        taken.insert(
            MakeUniqueTimestampId([&](const std::string& id) { return taken.count(id) > 0; }));
    }
    EXPECT_EQ(taken.size(), 5u);
}

TEST(JsonAccess, WrongTypesReadAsZeroOrEmpty) {
    const Json::Value v =
        test::Parse(R"({"s": "7", "d": 3.9, "b": true, "big": 18446744073709551615,
        "neg": -5, "arr": [1], "obj": {"k": 2}, "huge": 1e300})");
    EXPECT_EQ(IntMember(v, "s"), 0);
    EXPECT_EQ(IntMember(v, "d"), 3);
    EXPECT_EQ(IntMember(v, "b"), 1);
    EXPECT_EQ(IntMember(v, "big"), INT64_MAX);
    EXPECT_EQ(IntMember(v, "neg"), -5);
    EXPECT_EQ(IntMember(v, "arr"), 0);
    EXPECT_EQ(IntMember(v, "huge"), INT64_MAX);
    EXPECT_EQ(IntMember(v, "missing"), 0);
    EXPECT_TRUE(Member(v["arr"], "k").isNull());
    EXPECT_TRUE(Element(v["obj"], 0).isNull());
    EXPECT_EQ(ToString(v["d"]), "");
    EXPECT_TRUE(ToBool(v["neg"]));
    Json::Value a = 5;
    EXPECT_EQ(ArrayElement(a, kMaxWriteIndex + 1), nullptr);
    EXPECT_NE(ArrayElement(a, 2), nullptr);
    EXPECT_EQ(a.size(), 3u);
}

TEST(JsonAccess, DecimalTextAndNames) {
    const std::pair<const char*, int64_t> cases[] = {{"300", 300},
                                                     {"", 0},
                                                     {"  42ms", 42},
                                                     {"-7", -7},
                                                     {"abc", 0},
                                                     {"+5", 5},
                                                     {"99999999999999999999999", INT64_MAX}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ParseDecimal(text), value) << text;
    }
    EXPECT_TRUE(EqualsIgnoreCase("Profile1", "pROFILE1"));
    EXPECT_FALSE(EqualsIgnoreCase("profile1", "profile10"));
    EXPECT_EQ(Trim("  a b \t"), "a b");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_TRUE(IsPlainFileName("2020_01_01_00_00_00_000"));
    for (const char* bad : {"", ".", "..", "../x", "a/b", "a\\b"}) {
        EXPECT_FALSE(IsPlainFileName(bad)) << bad;
    }
}

TEST(TextConversion, Utf16AndUtf8) {
    const std::u16string text = u"Gr\u00FC\u00DFe \u6E38\U0001F3AE";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
    EXPECT_EQ(Utf16ToUtf8(u"\u00FC"), "\xC3\xBC");
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xC0\x80"), u"\uFFFD\uFFFD");  // overlong
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace zepho7::storage
