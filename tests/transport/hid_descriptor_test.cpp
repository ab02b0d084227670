#include "transport/hid_descriptor.h"

#include <json/json.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace zepho7::hid {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = fs::path(ZEPHO7_TESTDATA_DIR) / "hid-descriptors";

std::vector<uint8_t> ReadRdesc(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    std::istringstream hex(line);
    std::vector<uint8_t> bytes;
    unsigned value = 0;
    while (hex >> std::hex >> value)
        bytes.push_back(static_cast<uint8_t>(value));
    return bytes;
}

int LengthOrMinusOne(const Json::Value& v) {
    return v.isNull() ? -1 : v.asInt();
}

// Every captured descriptor decodes to the same collections and report lengths as the
// reference decoder found.
TEST(HidDescriptor, MatchesReferenceDecodesOfRealDevices) {
    int checked = 0;
    for (const auto& entry : fs::directory_iterator(kCorpus)) {
        if (entry.path().extension() != ".rdesc")
            continue;
        const std::string name = entry.path().stem();
        SCOPED_TRACE(name);
        Json::Value expected;
        std::ifstream json(kCorpus / (name + ".expected.json"));
        ASSERT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), json, &expected, nullptr));

        Descriptor d;
        ASSERT_EQ(ParseReportDescriptor(ReadRdesc(entry.path()), d), ParseResult::kOk);
        EXPECT_EQ(d.uses_report_ids, expected["uses_report_ids"].asBool());
        const Json::Value& tlcs = expected["top_level_collections"];
        ASSERT_EQ(d.collections.size(), tlcs.size());
        for (Json::ArrayIndex c = 0; c < tlcs.size(); ++c) {
            const Collection& got = d.collections[c];
            EXPECT_EQ(got.usage_page, tlcs[c]["usage_page"].asUInt()) << "collection " << c;
            EXPECT_EQ(got.usage, tlcs[c]["usage"].asUInt()) << "collection " << c;
            const Json::Value& caps = tlcs[c]["hidp_caps_style"];
            EXPECT_EQ(got.Caps(ReportType::kInput).byte_length,
                      caps["input_report_byte_length"].asUInt());
            EXPECT_EQ(got.Caps(ReportType::kOutput).byte_length,
                      caps["output_report_byte_length"].asUInt());
            EXPECT_EQ(got.Caps(ReportType::kFeature).byte_length,
                      caps["feature_report_byte_length"].asUInt());
            for (const Json::Value& report : tlcs[c]["reports"]) {
                const uint8_t id = report["report_id"].isNull()
                                       ? 0
                                       : static_cast<uint8_t>(report["report_id"].asUInt());
                EXPECT_TRUE(got.HasReportId(id)) << "report " << int{id};
                const auto it =
                    std::find_if(d.reports.begin(), d.reports.end(),
                                 [&](const ReportLengths& r) { return r.report_id == id; });
                ASSERT_NE(it, d.reports.end()) << "report " << int{id};
                EXPECT_EQ(it->length[0], LengthOrMinusOne(report["input"])) << "report " << int{id};
                EXPECT_EQ(it->length[1], LengthOrMinusOne(report["output"]))
                    << "report " << int{id};
                EXPECT_EQ(it->length[2], LengthOrMinusOne(report["feature"]))
                    << "report " << int{id};
            }
        }
        ++checked;
    }
    EXPECT_GE(checked, 30);
}

// Interface 1 of our peripherals: keyboard, system control, consumer (notifications) and the
// vendor collection with 64-byte reports.
const std::vector<uint8_t> kPeripheralInterface =
    {
        0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,
        0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08,
        0x81, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x19, 0x00, 0x2A,
        0xFF, 0x00, 0x81, 0x00, 0xC0,  // keyboard, id 1
        0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x02, 0x19, 0x81, 0x29, 0x83, 0x15, 0x00,
        0x25, 0x01, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x95, 0x05, 0x81, 0x01, 0xC0,  // system
        0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x3F, 0x19,
        0x00, 0x2A, 0xFF, 0x3F, 0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0,  // consumer
        0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04, 0x15, 0x00, 0x26, 0xFF, 0x00,
        0x75, 0x08, 0x95, 0x3F, 0x09, 0x01, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0,  // vendor
};

TEST(HidDescriptor, PeripheralInterfaceHasFourCollectionsAndTheVendorFrame) {
    Descriptor d;
    ASSERT_EQ(ParseReportDescriptor(kPeripheralInterface, d), ParseResult::kOk);
    ASSERT_EQ(d.collections.size(), 4u);
    const Collection& keyboard = d.collections[0];
    EXPECT_EQ(keyboard.usage_page, 0x01);
    EXPECT_EQ(keyboard.usage, 0x06);
    EXPECT_EQ(keyboard.Caps(ReportType::kInput).byte_length, 9);
    ASSERT_EQ(keyboard.Caps(ReportType::kInput).buttons.size(), 2u);  // modifiers and key array

    const Collection& consumer = d.collections[2];
    EXPECT_EQ(consumer.report_ids, std::vector<uint8_t>{3});
    ASSERT_EQ(consumer.Caps(ReportType::kInput).buttons.size(), 1u);
    const Capability& notify = consumer.Caps(ReportType::kInput).buttons[0];
    EXPECT_TRUE(notify.is_array);
    EXPECT_EQ(notify.usage_max, 0x3FFF);
    EXPECT_EQ(notify.report_size, 16);

    const Collection& vendor = d.collections[3];
    EXPECT_EQ(vendor.usage_page, 0xFF1C);
    EXPECT_EQ(vendor.usage, 0x92);
    EXPECT_EQ(vendor.Caps(ReportType::kInput).byte_length, 64);
    EXPECT_EQ(vendor.Caps(ReportType::kOutput).byte_length, 64);
    ASSERT_EQ(vendor.Caps(ReportType::kInput).values.size(), 1u);
    EXPECT_EQ(vendor.Caps(ReportType::kInput).values[0].report_count, 63);
}

TEST(HidDescriptor, RangedValueUsagesMakeOneRangedCapability) {
    // Generic desktop X..Z (0x30..0x32), three signed 8-bit values.
    const std::vector<uint8_t> bytes = {0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0x19,
                                        0x30, 0x29, 0x32, 0x15, 0x81, 0x25, 0x7F,
                                        0x75, 0x08, 0x95, 0x03, 0x81, 0x02, 0xC0};
    Descriptor d;
    ASSERT_EQ(ParseReportDescriptor(bytes, d), ParseResult::kOk);
    ASSERT_EQ(d.collections.size(), 1u);
    const auto& values = d.collections[0].Caps(ReportType::kInput).values;
    ASSERT_EQ(values.size(), 1u);
    EXPECT_TRUE(values[0].is_range);
    EXPECT_EQ(values[0].usage_min, 0x30);
    EXPECT_EQ(values[0].usage_max, 0x32);
    EXPECT_EQ(values[0].logical_min, -127);
    EXPECT_EQ(d.collections[0].Caps(ReportType::kInput).byte_length, 4);  // id byte + 3
}

struct BadCase {
    const char* name;
    std::vector<uint8_t> bytes;
    ParseResult expected;
};

TEST(HidDescriptor, RefusesBrokenDescriptors) {
    std::vector<uint8_t> deep;
    for (int i = 0; i < 40; ++i)
        deep.insert(deep.end(), {0x09, 0x01, 0xA1, 0x01});
    const BadCase cases[] = {
        {"item cut short",
         {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x26, 0xFF},
         ParseResult::kTruncated},
        {"collection never closed", {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01}, ParseResult::kTruncated},
        {"end without collection", {0xC0}, ParseResult::kMalformed},
        {"report id 0", {0x09, 0x01, 0xA1, 0x01, 0x85, 0x00, 0xC0}, ParseResult::kMalformed},
        {"pop without push", {0xB4}, ParseResult::kMalformed},
        {"long item past the end", {0xFE, 0x10, 0x00, 0x01}, ParseResult::kTruncated},
        {"usage range upside down",
         {0x09, 0x01, 0xA1, 0x01, 0x19, 0x10, 0x29, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02, 0xC0},
         ParseResult::kMalformed},
        {"report of 2^32 bits",
         {0x09, 0x01, 0xA1, 0x01, 0x75, 0x20, 0x97, 0xFF, 0xFF, 0xFF, 0x7F, 0x81, 0x02, 0xC0},
         ParseResult::kLimitExceeded},
        {"nesting beyond reason", deep, ParseResult::kLimitExceeded},
    };
    for (const BadCase& c : cases) {
        Descriptor d;
        EXPECT_EQ(ParseReportDescriptor(c.bytes, d), c.expected) << c.name;
        EXPECT_TRUE(d.collections.empty()) << c.name;
    }
}

TEST(HidDescriptor, EmptyDescriptorHasNoCollections) {
    Descriptor d;
    EXPECT_EQ(ParseReportDescriptor({}, d), ParseResult::kOk);
    EXPECT_TRUE(d.collections.empty());
}

}  // namespace
}  // namespace zepho7::hid
