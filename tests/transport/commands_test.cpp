#include "transport/commands.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "base/le.h"
#include "base/trace.h"
#include "sim_fixture.h"

namespace zepho7 {
namespace {

using namespace std::chrono_literals;
using sim::FaultKind;
using sim::Link;
using sim::Model;
using sim::RegionId;

struct Report {
    uint8_t code;
    uint8_t length;
    uint16_t address;
    bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Report& r) {
    return os << "{0x" << std::hex << int{r.code} << ", " << std::dec << int{r.length} << ", 0x"
              << std::hex << r.address << "}";
}

class CommandsTest : public testing::SimTest {
  protected:
    void Connect(Link link) { ConnectMouse(t_, link); }

    std::vector<Report> Sent() {
        std::vector<Report> reports;
        for (const sim::Request& r : Sim().Requests(Model::Mouse)) {
            reports.push_back({r.frame[3], r.frame[4], ReadLe16(&r.frame[5])});
        }
        return reports;
    }

    std::vector<uint8_t> Memory(RegionId region, size_t address, size_t length) {
        return Sim().Device(Model::Mouse).ReadRegion(region, address, length);
    }

    DeviceTransceiver t_;
};

TEST_F(CommandsTest, WritesAreChunkedByTheLink) {
    std::vector<uint8_t> data(75);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i + 1);
    const struct {
        Link link;
        std::vector<Report> reports;
    } cases[] = {
        {Link::Cable, {{0x06, 56, 0x80}, {0x06, 19, 0xB8}}},
        {Link::Receiver, {{0x06, 24, 0x80}, {0x06, 24, 0x98}, {0x06, 24, 0xB0}, {0x06, 3, 0xC8}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link == Link::Cable ? "cable" : "receiver");
        DeviceTransceiver fresh;
        t_.SetOpen(false);
        Connect(c.link);
        ASSERT_EQ(CmdWriteLight(t_, data, 0x80), kResultOk);
        EXPECT_EQ(Sent(), c.reports);
        EXPECT_EQ(Memory(RegionId::Light, 0x80, 75), data);
        EXPECT_EQ(Sim().BadChecksums(Model::Mouse), 0u);
    }
}

TEST_F(CommandsTest, DeviceInformationIsReadInChunks) {
    for (Link link : {Link::Cable, Link::Receiver}) {
        Connect(link);
        std::array<uint8_t, kDeviceInfoSize> info{};
        ASSERT_EQ(CmdReadDeviceInfo(t_, info), kResultOk);
        const std::vector<uint8_t> expected = Memory(RegionId::Info, 0, kDeviceInfoSize);
        EXPECT_EQ(std::vector<uint8_t>(info.begin(), info.end()), expected);
        EXPECT_EQ(info[5], 11);  // the mouse's key count
        if (link == Link::Cable) {
            EXPECT_EQ(Sent(), (std::vector<Report>{{0x03, 34, 0}}));
        } else {
            EXPECT_EQ(Sent(), (std::vector<Report>{{0x03, 24, 0}, {0x03, 10, 24}}));
        }
    }
}

TEST_F(CommandsTest, KeyTableRoundTripAndBankCheck) {
    Connect(Link::Cable);
    ASSERT_TRUE(t_.SetDataLength(11 * 3));
    std::vector<uint8_t> keys(512);
    ASSERT_EQ(CmdReadKeyTable(t_, keys), kResultOk);
    EXPECT_EQ((std::vector<uint8_t>(keys.begin(), keys.begin() + 3)),
              (std::vector<uint8_t>{0x10, 0x01, 0x00}));

    keys[0] = 0x20;  // key 0 becomes the keyboard's A
    keys[1] = 0x00;
    keys[2] = 0x04;
    Sim().ClearRequests(Model::Mouse);
    EXPECT_EQ(CmdWriteKeyTable(t_, keys, 1), kResultBadBank);
    EXPECT_TRUE(Sent().empty());
    ASSERT_EQ(CmdWriteKeyTable(t_, keys, 0), kResultOk);
    EXPECT_EQ(Sent(), (std::vector<Report>{{0x09, 33, 0}}));
    EXPECT_EQ(Memory(RegionId::Keys, 0, 3), (std::vector<uint8_t>{0x20, 0x00, 0x04}));
}

TEST_F(CommandsTest, StatusBytesEndATransferAtTheFailingReport) {
    const struct {
        FaultKind fault;
        int result;
    } cases[] = {{FaultKind::StatusFailed, kResultFailed},
                 {FaultKind::StatusRejected, kResultRejected}};
    Connect(Link::Cable);
    for (const auto& c : cases) {
        std::vector<uint8_t> data(100, static_cast<uint8_t>(c.result & 0xFF));
        Sim().ClearRequests(Model::Mouse);
        Sim().InjectFault(Model::Mouse, {.kind = c.fault, .skip = 1});  // the second report fails
        EXPECT_EQ(CmdWriteMacroData(t_, data), c.result);
        EXPECT_EQ(Sent().size(), 2u);
        EXPECT_EQ(Memory(RegionId::Macro, 0, 56),
                  std::vector<uint8_t>(data.begin(), data.begin() + 56));
        Sim().ClearFaults(Model::Mouse);
    }
}

TEST_F(CommandsTest, RecoilDataUses56ByteReportsEvenWireless) {
    Connect(Link::Receiver);
    std::vector<uint8_t> data(120, 0x33);
    ASSERT_EQ(CmdWriteRecoilData(t_, data), kResultOk);
    EXPECT_EQ(Sent(), (std::vector<Report>{{0x17, 56, 0}, {0x17, 56, 56}, {0x17, 8, 112}}));
}

TEST_F(CommandsTest, SmallCommandsAndPowerStatus) {
    Connect(Link::Cable);
    EXPECT_EQ(CmdSessionBegin(t_), kResultOk);
    EXPECT_EQ(CmdLightControlNotice(t_), kResultOk);
    EXPECT_EQ(CmdSessionEnd(t_), kResultOk);
    Sim().Device(Model::Mouse).SetPowerStatus(57, 1);
    std::array<uint8_t, 6> power{};
    ASSERT_EQ(CmdReadPowerStatus(t_, power, 0), kResultOk);
    EXPECT_EQ(power[0], 57);
    EXPECT_EQ(power[1], 1);
    std::array<uint8_t, 57> too_long{};
    EXPECT_EQ(CmdReadPowerStatus(t_, too_long, 0), kResultBadBank);
    EXPECT_EQ(Sent(),
              (std::vector<Report>{{0x01, 0, 0}, {0x1C, 0, 0}, {0x02, 0, 0}, {0x1A, 6, 0}}));
    const auto counters = Sim().Device(Model::Mouse).Counters();
    EXPECT_EQ(counters.sessions_begun, 1u);
    EXPECT_EQ(counters.light_notices, 1u);
}

TEST_F(CommandsTest, ZeroLengthAndOutOfRangeTransfersSendNothing) {
    Connect(Link::Cable);
    EXPECT_EQ(CmdWriteLight(t_, {}, 0x80), kResultOk);
    std::vector<uint8_t> frame(512);
    EXPECT_EQ(CmdWriteLightFrame(t_, frame, 200, 512), kResultBadBank);  // beyond 16-bit addresses
    EXPECT_TRUE(Sent().empty());
}

TEST_F(CommandsTest, QueryLinkFollowsTheReceiver) {
    Connect(Link::Cable);
    EXPECT_TRUE(CmdQueryLink(t_));
    EXPECT_TRUE(Sent().empty());  // the cable needs no question

    DeviceTransceiver wireless;
    ASSERT_TRUE(Sim().Plug(Model::Mouse, Link::Receiver));
    ASSERT_TRUE(wireless.WirelessInterface().Open(ReceiverPath(), true, true, true, false));
    wireless.SetLinkMode(kLinkModeWireless);
    wireless.SetOpen(true);
    EXPECT_TRUE(CmdQueryLink(wireless));
    Sim().SetReceiverLinked(false);
    EXPECT_FALSE(CmdQueryLink(wireless));
    std::array<uint8_t, kDeviceInfoSize> info{};
    EXPECT_EQ(CmdReadDeviceInfo(wireless, info), kResultUnreachable);
}

// Light frames must not queue behind a slow configuration exchange: their reports are
// dropped while one is in flight, and the command still completes.
TEST_F(CommandsTest, StreamDropsReportsWhileAnotherExchangeRuns) {
    Connect(Link::Cable);
    Sim().InjectFault(Model::Mouse, {.kind = FaultKind::Delay, .delay_ms = 300});
    std::thread slow([&] { EXPECT_EQ(CmdSessionBegin(t_), kResultOk); });
    while (!t_.IsBusy())
        std::this_thread::yield();
    trace::Capture capture;
    std::vector<uint8_t> colours(33, 0x7F);
    EXPECT_EQ(CmdStreamLightFrame(t_, colours), kResultOk);
    slow.join();
    EXPECT_TRUE(capture.Contains("放弃灯光数据"));
    for (const Report& r : Sent())
        EXPECT_NE(r.code, 0x12);

    capture.Clear();  // the slow command traced its own frames
    ASSERT_EQ(CmdStreamLightFrame(t_, colours), kResultOk);  // idle: sent, without a trace
    EXPECT_EQ(Memory(RegionId::Stream, 0, 33), colours);
    EXPECT_FALSE(capture.Contains("命令"));
}

// Commands and light frames from several threads: each reply lands with its request.
TEST_F(CommandsTest, ConcurrentCommandsAndFramesKeepTheirReplies) {
    Connect(Link::Cable);
    ASSERT_TRUE(t_.SetDataLength(33));
    std::atomic<int> failures{0};
    std::thread frames([&] {
        std::vector<uint8_t> colours(33, 0x11);
        for (int i = 0; i < 200; ++i) {
            if (CmdStreamLightFrame(t_, colours) != kResultOk)
                ++failures;
        }
    });
    std::thread reader([&] {
        std::vector<uint8_t> keys(512);
        for (int i = 0; i < 50; ++i) {
            if (CmdReadKeyTable(t_, keys) != kResultOk || keys[0] != 0x10)
                ++failures;
        }
    });
    std::array<uint8_t, kDeviceInfoSize> info{};
    for (int i = 0; i < 50; ++i) {
        if (CmdReadDeviceInfo(t_, info) != kResultOk || info[5] != 11)
            ++failures;
    }
    frames.join();
    reader.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace zepho7
