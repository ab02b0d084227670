#include "transport/device_transceiver.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "base/trace.h"
#include "sim_fixture.h"
#include "transport/commands.h"

namespace zepho7 {
namespace {

using namespace std::chrono_literals;
using sim::FaultKind;
using sim::Link;
using sim::Model;
using Clock = std::chrono::steady_clock;

TEST(FrameChecksum, SumsBytesThreeToTheEnd) {
    uint8_t begin[kFrameSize] = {4, 0, 0, 0x01};
    SetFrameChecksum(begin);
    EXPECT_EQ(begin[1], 0x01);
    EXPECT_EQ(begin[2], 0x00);

    uint8_t keys[kFrameSize] = {4, 0, 0, 0x09, 0x38, 0x38, 0x00, 0x00};
    std::memset(keys + 8, 0x01, 56);
    SetFrameChecksum(keys);
    EXPECT_EQ(keys[1], 0xB1);
    EXPECT_EQ(keys[2], 0x00);

    uint8_t full[kFrameSize];
    std::memset(full, 0xFF, sizeof full);
    EXPECT_EQ(FrameChecksum(full), (61 * 255) & 0xFFFF);  // bytes 0..2 do not count
}

TEST(DeviceTransceiver, LinkModeAndDataLength) {
    DeviceTransceiver t;
    EXPECT_EQ(t.ChunkSize(), 24u);
    EXPECT_EQ(t.DataLength(), 512);
    EXPECT_FALSE(t.IsOpen() || t.IsBusy() || t.IsWireless() || t.IsStreaming());
    const struct {
        int mode;
        bool wireless;
        uint32_t chunk;
    } modes[] = {{0, false, 56}, {1, false, 56}, {2, true, 24}, {3, false, 56}};
    for (const auto& m : modes) {
        t.SetLinkMode(m.mode);
        EXPECT_EQ(t.IsWireless(), m.wireless) << m.mode;
        EXPECT_EQ(t.ChunkSize(), m.chunk) << m.mode;
    }
    EXPECT_TRUE(t.SetDataLength(33));
    EXPECT_FALSE(t.SetDataLength(513));
    EXPECT_EQ(t.DataLength(), 33);
    EXPECT_TRUE(t.SetDataLength(512));
    EXPECT_EQ(t.DataLength(), 512);
}

class TransceiverTest : public testing::SimTest {
  protected:
    // The mouse by cable, or through its receiver.
    void Connect(Link link) { ConnectMouse(t_, link); }

    static void Frame(uint8_t* f, uint8_t code) {
        std::memset(f, 0, kFrameSize);
        f[0] = kReportId;
        f[3] = code;
        SetFrameChecksum(f);
    }

    std::vector<sim::Request> Sent() { return Sim().Requests(Model::Mouse); }

    DeviceTransceiver t_;
};

TEST_F(TransceiverTest, ExchangeGetsTheMatchingReply) {
    Connect(Link::Cable);
    uint8_t request[kFrameSize];
    uint8_t reply[kFrameSize];
    Frame(request, kCmdSessionBegin);
    size_t n = 0;
    EXPECT_EQ(t_.Exchange(request, sizeof request, reply, sizeof reply, &n), kResultOk);
    EXPECT_EQ(n, 64u);
    EXPECT_EQ(reply[3], kCmdSessionBegin);
    EXPECT_FALSE(t_.IsBusy());
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sim().BadChecksums(Model::Mouse), 0u);
}

TEST_F(TransceiverTest, ExchangeIsTracedAsTwoLinesPerDirection) {
    Connect(Link::Cable);
    uint8_t request[kFrameSize];
    uint8_t reply[kFrameSize];
    Frame(request, kCmdSessionBegin);
    size_t n = 0;
    trace::Capture capture;
    ASSERT_EQ(t_.Exchange(request, sizeof request, reply, sizeof reply, &n), kResultOk);
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "命令");
    EXPECT_EQ(lines[1],
              "04 01 00 01   00 00 00 00   00 00 00 00   00 00 00 00  00 00 00 00  00 00 00 00  "
              "00 00 00 00  00 00 00 00");
    EXPECT_EQ(lines[3], "返回");
    EXPECT_EQ(lines[4].substr(0, 11), "04 01 00 01");

    capture.Clear();
    ASSERT_EQ(t_.ExchangeQuiet(request, sizeof request, reply, sizeof reply, &n), kResultOk);
    EXPECT_TRUE(capture.Lines().empty());
}

TEST_F(TransceiverTest, NotOpenReturnsZeroAndSendsNothing) {
    Connect(Link::Cable);
    t_.SetOpen(false);
    uint8_t request[kFrameSize];
    uint8_t reply[kFrameSize];
    Frame(request, kCmdSessionBegin);
    size_t n = 7;
    EXPECT_EQ(t_.Exchange(request, sizeof request, reply, sizeof reply, &n), kResultReadFailed);
    EXPECT_EQ(n, 0u);
    std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(Sent().empty());
}

// Replies go to every open file of the node, so a second opener's exchanges leave stray
// replies queued for the transceiver, as a light frame slipping in between would.
TEST_F(TransceiverTest, MismatchedRepliesAreReadTwiceAtMost) {
    Connect(Link::Cable);
    hid::HidInterface other;
    ASSERT_TRUE(other.Open(MousePath(), true, true, true, false));
    auto stray = [&](uint8_t code) {
        uint8_t f[kFrameSize];
        uint8_t r[kFrameSize];
        Frame(f, code);
        size_t n = 0;
        ASSERT_TRUE(other.Write(f, sizeof f, &n, 1000));
        do {  // `other` sees every reply too; the one to its request was delivered to both
            ASSERT_TRUE(other.Read(r, sizeof r, &n, 1000));
        } while (r[3] != code);
    };
    uint8_t request[kFrameSize];
    uint8_t reply[kFrameSize];
    Frame(request, kCmdSessionBegin);
    size_t n = 0;

    stray(kCmdLightControlNotice);
    EXPECT_EQ(t_.Exchange(request, sizeof request, reply, sizeof reply, &n), kResultOk);
    EXPECT_EQ(reply[3], kCmdSessionBegin);

    stray(kCmdLightControlNotice);
    stray(kCmdSessionEnd);
    EXPECT_EQ(t_.Exchange(request, sizeof request, reply, sizeof reply, &n), kResultOk);
    EXPECT_EQ(reply[3], kCmdSessionEnd);  // the caller judges this reply's status
}

TEST_F(TransceiverTest, ReceiverWithoutItsDeviceGivesMinus101AfterOneRead) {
    Connect(Link::Receiver);
    Sim().SetReceiverLinked(false);
    uint8_t request[kFrameSize];
    uint8_t reply[kFrameSize];
    Frame(request, kCmdReadDeviceInfo);
    size_t n = 0;
    const auto start = Clock::now();
    EXPECT_EQ(t_.Exchange(request, sizeof request, reply, sizeof reply, &n), kResultUnreachable);
    EXPECT_LT(Clock::now() - start, 1000ms);  // no second read waiting for a time-out
}

TEST_F(TransceiverTest, SilentDeviceCostsTwoReadTimeouts) {
    Connect(Link::Cable);
    Sim().InjectFault(Model::Mouse, {.kind = FaultKind::Silence, .count = -1});
    uint8_t request[kFrameSize];
    uint8_t reply[kFrameSize];
    Frame(request, kCmdSessionBegin);
    size_t n = 0;
    const auto start = Clock::now();
    EXPECT_EQ(t_.Exchange(request, sizeof request, reply, sizeof reply, &n), kResultReadFailed);
    const auto took = Clock::now() - start;
    EXPECT_GE(took, 1900ms);
    EXPECT_LT(took, 3000ms);
    EXPECT_FALSE(t_.IsBusy());

    Sim().ClearFaults(Model::Mouse);
    EXPECT_EQ(t_.Exchange(request, sizeof request, reply, sizeof reply, &n), kResultOk);
}

TEST_F(TransceiverTest, UnplugInTheMiddleFailsAtOnceAndTheReopenedLinkWorks) {
    Connect(Link::Cable);
    Sim().InjectFault(Model::Mouse, {.kind = FaultKind::UnplugMidTransfer, .skip = 1});
    std::vector<uint8_t> data(75, 0x5A);
    const auto start = Clock::now();
    EXPECT_NE(CmdWriteLight(t_, data, 0x80), kResultOk);
    EXPECT_LT(Clock::now() - start, 1000ms);

    ASSERT_TRUE(Sim().Plug(Model::Mouse));
    {
        auto lock = t_.LockExchanges();
        ASSERT_TRUE(t_.WiredInterface().Open(MousePath(), true, true, true, false));
    }
    EXPECT_EQ(CmdSessionBegin(t_), kResultOk);
}

}  // namespace
}  // namespace zepho7
