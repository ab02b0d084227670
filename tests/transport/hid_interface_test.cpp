#include "transport/hid_interface.h"

#include <chrono>
#include <set>
#include <thread>

#include "sim_fixture.h"

namespace zepho7::hid {
namespace {

using namespace std::chrono_literals;
using sim::Link;
using sim::Model;
using Clock = std::chrono::steady_clock;

TEST(HidPath, ParsesMarkersCaseInsensitively) {
    struct Case {
        const char* path;
        const char* marker;
        uint32_t expected;
    } const cases[] = {
        {"/dev/hidraw3#vid_320f&pid_223c&mi_01&col04", "&mi_", 1},
        {"/dev/hidraw3#vid_320f&pid_223c&mi_01&col04", "&col", 4},
        {"/dev/hidraw3#VID_320F&PID_223C&MI_01&COL0a", "&mi_", 1},
        {"/dev/hidraw3#VID_320F&PID_223C&MI_01&COL0a", "&col", 10},
        {"/dev/hidraw3#vid_320f&pid_223c", "&mi_", 0},
        {"/dev/hidraw3#vid_320f&pid_223c", "&col", 0},
        {"/dev/hidraw3#vid_320f&pid_223c", "vid_", 0x320F},
        {"", "vid_", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseHexAfter(c.path, c.marker), c.expected) << c.path;
}

using HidInterfaceTest = testing::SimTest;

TEST_F(HidInterfaceTest, EnumeratesEveryCollectionOnceWithItsPath) {
    for (Model m : {Model::Mouse, Model::Keyboard, Model::MousePad, Model::Headset}) {
        ASSERT_TRUE(Sim().Plug(m));
    }
    ASSERT_TRUE(Sim().Plug(Model::Mouse, Link::Receiver));
    HidInterface lister;
    ASSERT_TRUE(lister.Enumerate());
    std::set<std::string> seen;
    while (const char* path = lister.NextPath())
        EXPECT_TRUE(seen.insert(path).second) << path;
    EXPECT_EQ(lister.NextPath(), nullptr);
    // Four devices with an interface of one collection and one of four; the headset's one.
    EXPECT_EQ(seen.size(), 4u * 5u + 1u);
    EXPECT_TRUE(seen.count(Sim().SocketPath(Model::Mouse, Link::Cable, 1) +
                           "#vid_320f&pid_223c&mi_01&col04"));
    EXPECT_TRUE(
        seen.count(Sim().SocketPath(Model::Headset, Link::Cable, 3) + "#vid_0c76&pid_1630&mi_03"));
    lister.FreePathList();
    EXPECT_EQ(lister.NextPath(), nullptr);
}

TEST_F(HidInterfaceTest, OpenReadsIdentityAndCapabilitiesOfTheCollection) {
    ASSERT_TRUE(Sim().Plug(Model::Mouse));
    HidInterface hid;
    ASSERT_TRUE(hid.Open(MousePath(4), true, true, true, false));
    EXPECT_TRUE(hid.IsOpen());
    EXPECT_EQ(hid.GetAttributes().vendor_id, 0x320F);
    EXPECT_EQ(hid.GetAttributes().product_id, 0x223C);
    EXPECT_NE(hid.GetAttributes().version_number, 0);
    EXPECT_EQ(hid.GetCaps().usage_page, 0xFF1C);
    EXPECT_EQ(hid.GetCaps().usage, 0x92);
    EXPECT_EQ(hid.GetCaps().input_report_byte_length, 64);
    EXPECT_EQ(hid.GetCaps().output_report_byte_length, 64);
    EXPECT_EQ(hid.InterfaceNumber(), 1);
    EXPECT_EQ(hid.CollectionNumber(), 4);
    EXPECT_EQ(hid.InputReportBuffer().size(), 64u);

    // Reopening another collection through the same object replaces everything.
    ASSERT_TRUE(hid.Open(MousePath(3), true, false, true, false));
    EXPECT_EQ(hid.GetCaps().usage_page, 0x0C);
    EXPECT_EQ(hid.CollectionNumber(), 3);
}

TEST_F(HidInterfaceTest, OpenFailsCleanly) {
    ASSERT_TRUE(Sim().Plug(Model::Mouse));
    const std::string node = Sim().SocketPath(Model::Mouse, Link::Cable, 1);
    const std::string bad[] = {
        "", dir_ + "/absent.sock#vid_320f&pid_223c&mi_01&col04",
        node + "#vid_320f&pid_223c&mi_01&col09",  // no ninth collection
        dir_,                                     // not a device
    };
    for (const std::string& path : bad) {
        HidInterface hid;
        EXPECT_FALSE(hid.Open(path, true, true, true, false)) << path;
        EXPECT_FALSE(hid.IsOpen());
        size_t n = 1;
        uint8_t buffer[64];
        EXPECT_FALSE(hid.Read(buffer, sizeof buffer, &n, 10));
        EXPECT_EQ(n, 0u);
    }
}

TEST_F(HidInterfaceTest, ReadTimesOutOnASilentDeviceAndWorksAfterwards) {
    ASSERT_TRUE(Sim().Plug(Model::Mouse));
    HidInterface hid;
    ASSERT_TRUE(hid.Open(MousePath(3), true, true, true, false));
    uint8_t buffer[64];
    size_t n = 99;
    const auto start = Clock::now();
    EXPECT_FALSE(hid.Read(buffer, sizeof buffer, &n, 200));
    EXPECT_GE(Clock::now() - start, 190ms);
    EXPECT_EQ(n, 0u);

    ASSERT_TRUE(Sim().SendNotification(Model::Mouse, Link::Cable, 0x401));
    ASSERT_TRUE(hid.Read(buffer, sizeof buffer, &n, 1000));
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(buffer[0], 3);
}

TEST_F(HidInterfaceTest, CloseFromAnotherThreadEndsABlockedRead) {
    ASSERT_TRUE(Sim().Plug(Model::Mouse));
    HidInterface hid;
    ASSERT_TRUE(hid.Open(MousePath(3), true, true, true, false));
    bool result = true;
    std::thread reader([&] {
        uint8_t buffer[64];
        size_t n = 0;
        result = hid.Read(buffer, sizeof buffer, &n, -1);
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(hid.IsReading());
    const auto start = Clock::now();
    hid.Close();
    reader.join();
    EXPECT_LT(Clock::now() - start, 500ms);
    EXPECT_FALSE(result);
    EXPECT_FALSE(hid.IsOpen());
    EXPECT_EQ(hid.DevicePath(), MousePath(3));  // kept for reopening
}

TEST_F(HidInterfaceTest, UnplugEndsAReadAndThePathDisappears) {
    ASSERT_TRUE(Sim().Plug(Model::Mouse));
    HidInterface hid;
    const std::string path = MousePath(3);
    ASSERT_TRUE(hid.Open(path, true, true, true, false));
    EXPECT_TRUE(HidInterface::PathPresent(path));
    std::thread unplug([&] {
        std::this_thread::sleep_for(50ms);
        EXPECT_TRUE(Sim().Unplug(Model::Mouse));
    });
    uint8_t buffer[64];
    size_t n = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(hid.Read(buffer, sizeof buffer, &n, 5000));
    EXPECT_LT(Clock::now() - start, 1000ms);
    unplug.join();
    EXPECT_FALSE(HidInterface::PathPresent(path));
    EXPECT_FALSE(hid.Write(buffer, sizeof buffer, &n, 100));
}

TEST_F(HidInterfaceTest, EachCollectionSeesOnlyItsOwnReportsAndUnpacksThem) {
    ASSERT_TRUE(Sim().Plug(Model::Mouse));
    HidInterface notify;
    HidInterface config;
    ASSERT_TRUE(notify.Open(MousePath(3), true, true, true, false));
    ASSERT_TRUE(config.Open(MousePath(4), true, true, true, false));

    ASSERT_TRUE(Sim().SendNotification(Model::Mouse, Link::Cable, 0x1132));
    uint8_t frame[64] = {4, 0x01, 0x00, 0x01};  // session begin, checksum 0x0001
    size_t n = 0;
    ASSERT_TRUE(config.Write(frame, sizeof frame, &n, 1000));
    EXPECT_EQ(n, 64u);

    // The configuration collection skips the notification and gets the reply.
    uint8_t reply[64];
    ASSERT_TRUE(config.Read(reply, sizeof reply, &n, 1000));
    EXPECT_EQ(reply[0], 4);
    EXPECT_EQ(reply[3], 0x01);
    // The notification collection skips the reply and gets the notification.
    std::span<uint8_t> in = notify.InputReportBuffer();
    ASSERT_TRUE(notify.Read(in.data(), in.size(), &n, 1000));
    EXPECT_EQ(in[0], 3);
    ASSERT_TRUE(notify.UnpackInputReport(in.data(), n));
    const HidDataItem& first = notify.InputDataItems()[0];
    EXPECT_TRUE(first.is_button_data);
    EXPECT_TRUE(first.is_data_set);
    EXPECT_EQ(first.usage_list[0], 0x1132);
    EXPECT_EQ(first.status, HidStatus::kSuccess);

    // A report of an id no item has changes nothing.
    const uint8_t foreign[3] = {9, 0x01, 0x04};
    EXPECT_TRUE(notify.UnpackInputReport(foreign, sizeof foreign));
    EXPECT_EQ(notify.InputDataItems()[0].usage_list[0], 0x1132);
}

TEST(HidUnpack, RangedValuesGiveOneItemEachWithScaling) {
    // Report id 1: X, Y, Z as signed bytes (-127..127), physical -1270..1270.
    const std::vector<uint8_t> bytes = {0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0x85, 0x01, 0x19, 0x30,
                                        0x29, 0x32, 0x15, 0x81, 0x25, 0x7F, 0x36, 0x0A, 0xFB, 0x46,
                                        0xF6, 0x04, 0x75, 0x08, 0x95, 0x03, 0x81, 0x02, 0xC0};
    Descriptor d;
    ASSERT_EQ(ParseReportDescriptor(bytes, d), ParseResult::kOk);
    std::vector<HidDataItem> items;
    BuildDataItems(d.collections[0], ReportType::kInput, items);
    ASSERT_EQ(items.size(), 3u);
    const uint8_t report[] = {1, 0x05, 0xFB, 0x7F};  // 5, -5, 127
    ASSERT_TRUE(UnpackReport(d.collections[0], items, report, sizeof report));
    EXPECT_EQ(items[0].usage, 0x30);
    EXPECT_EQ(items[0].raw_value, 5);
    EXPECT_EQ(items[0].scaled_value, 50);
    EXPECT_EQ(items[1].raw_value, -5);
    EXPECT_EQ(items[1].scaled_value, -50);
    EXPECT_EQ(items[2].usage, 0x32);
    EXPECT_EQ(items[2].scaled_value, 1270);
    // A report cut short fails on the first value that is not there.
    EXPECT_FALSE(UnpackReport(d.collections[0], items, report, 2));
    EXPECT_EQ(items[1].status, HidStatus::kReportTooShort);
}

}  // namespace
}  // namespace zepho7::hid
