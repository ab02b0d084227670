// The simulator seen from the outside: real seqpacket sockets, raw frames.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <optional>
#include <thread>

#include "base/le.h"
#include "base/simwire.h"
#include "sim/console.h"
#include "sim/descriptors.h"
#include "sim/simulator.h"

extern char** environ;

namespace zepho7::sim {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

class TempDir {
  public:
    TempDir() {
        char tmpl[] = "/tmp/z7simXXXXXX";
        path_ = ::mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// A minimal hidraw-like client: one message per report.
class RawClient {
  public:
    explicit RawClient(const std::string& path) {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~RawClient() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    bool connected() const { return fd_ >= 0; }

    // The next message, nullopt on time-out; an empty vector means the peer closed.
    std::optional<Bytes> Read(int timeout_ms = 2000) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeout_ms) <= 0) {
            return std::nullopt;
        }
        Bytes buf(simwire::kMaxHelloSize);
        const ssize_t n = ::recv(fd_, buf.data(), buf.size(), 0);
        buf.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return buf;
    }
    bool Write(const uint8_t* data, size_t size) {
        return ::send(fd_, data, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
    }
    bool Write(const Frame& f) { return Write(f.data(), f.size()); }
    // Connects and reads the hello first.
    bool ReadHello() {
        const auto hello = Read();
        return hello && hello->size() >= sizeof(simwire::Hello);
    }
    std::optional<Frame> Exchange(const Frame& request, int timeout_ms = 2000) {
        if (!Write(request)) {
            return std::nullopt;
        }
        const auto reply = Read(timeout_ms);
        if (!reply || reply->size() != kFrameSize) {
            return std::nullopt;
        }
        Frame f;
        std::copy(reply->begin(), reply->end(), f.begin());
        return f;
    }

  private:
    int fd_ = -1;
};

Frame MakeRequest(uint8_t code, uint8_t length = 0, uint16_t address = 0,
                  const Bytes& payload = {}) {
    Frame f{};
    f[frame::kReportId] = 4;
    f[frame::kCommand] = code;
    f[frame::kLength] = length;
    WriteLe16(&f[frame::kAddress], address);
    std::copy(payload.begin(), payload.end(), f.begin() + frame::kPayload);
    SetFrameChecksum(f);
    return f;
}

Bytes Data(const Frame& reply, size_t n) {
    return Bytes(reply.begin() + frame::kPayload,
                 reply.begin() + frame::kPayload + static_cast<long>(n));
}

class SimTest : public ::testing::Test {
  protected:
    SimTest() : sim_(dir_.path() + "/sim") {}
    std::unique_ptr<RawClient> Open(Model m, Link l = Link::Cable) {
        auto c = std::make_unique<RawClient>(sim_.SocketPath(m, l, ConfigInterface(m)));
        EXPECT_TRUE(c->connected());
        EXPECT_TRUE(c->ReadHello());
        return c;
    }
    TempDir dir_;
    Simulator sim_;
};

TEST_F(SimTest, ChecksumMatchesTheWorkedExamples) {
    Frame f{};
    f[frame::kCommand] = 0x01;
    EXPECT_EQ(FrameChecksum(f), 0x0001);
    f = Frame{};
    f[frame::kCommand] = 0x09;
    f[frame::kLength] = 0x38;
    f[frame::kAddress] = 0x38;
    std::fill(f.begin() + 8, f.end(), 0x01);
    EXPECT_EQ(FrameChecksum(f), 0x00B1);
}

struct HelloCase {
    Model model;
    Link link;
    int interface_number;
    uint16_t vendor, product;
};

TEST_F(SimTest, HelloCarriesIdentityAndDescriptor) {
    const HelloCase cases[] = {
        {Model::Mouse, Link::Cable, 0, 0x320F, 0x223C},
        {Model::Mouse, Link::Cable, 1, 0x320F, 0x223C},
        {Model::Mouse, Link::Receiver, 1, 0x320F, 0x223D},
        {Model::Keyboard, Link::Cable, 0, 0x320F, 0x0000},
        {Model::Keyboard, Link::Cable, 1, 0x320F, 0x0000},
        {Model::MousePad, Link::Cable, 1, 0x320F, 0x1004},
        {Model::Headset, Link::Cable, 3, 0x0C76, 0x1630},
    };
    for (Model m : {Model::Mouse, Model::Keyboard, Model::MousePad, Model::Headset}) {
        ASSERT_TRUE(sim_.Plug(m));
    }
    ASSERT_TRUE(sim_.Plug(Model::Mouse, Link::Receiver));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(ModelName(c.model)) + "-" + LinkName(c.link) + "-if" +
                     std::to_string(c.interface_number));
        const std::string path = sim_.SocketPath(c.model, c.link, c.interface_number);
        EXPECT_EQ(fs::path(path).filename().string(),
                  std::string(ModelName(c.model)) + "-" + LinkName(c.link) + "-if" +
                      std::to_string(c.interface_number) + ".sock");
        RawClient client(path);
        ASSERT_TRUE(client.connected());
        const auto hello = client.Read();
        ASSERT_TRUE(hello);
        ASSERT_GE(hello->size(), sizeof(simwire::Hello));
        const uint8_t* h = hello->data();
        EXPECT_EQ(0, std::memcmp(h, simwire::kMagic, 8));
        EXPECT_EQ(ReadLe16(h + 8), c.vendor);
        EXPECT_EQ(ReadLe16(h + 10), c.product);
        EXPECT_EQ(ReadLe16(h + 12), 0x0102);
        EXPECT_EQ(h[14], c.interface_number);
        const uint16_t length = ReadLe16(h + 16);
        ASSERT_EQ(hello->size(), sizeof(simwire::Hello) + length);
        const Bytes descriptor(hello->begin() + sizeof(simwire::Hello), hello->end());
        const InterfaceSpec* layout = nullptr;
        for (const auto& s : Interfaces(c.model)) {
            if (s.number == c.interface_number) {
                layout = &s;
            }
        }
        ASSERT_NE(layout, nullptr);
        EXPECT_EQ(descriptor, Bytes(layout->descriptor.begin(), layout->descriptor.end()));
    }
}

TEST(SimDescriptors, ConfigInterfaceHoldsTheFourCollectionsInOrder) {
    const Bytes notification = {0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x03, 0x15,
                                0x00, 0x26, 0xFF, 0x3F, 0x19, 0x00, 0x2A, 0xFF, 0x3F,
                                0x75, 0x10, 0x95, 0x01, 0x81, 0x00, 0xC0};
    const Bytes vendor = {0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04,
                          0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F,
                          0x09, 0x01, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0};
    const auto d = Interfaces(Model::Mouse)[1].descriptor;
    const Bytes all(d.begin(), d.end());
    // Ends with the notification collection followed by the vendor collection.
    ASSERT_GT(all.size(), notification.size() + vendor.size());
    EXPECT_EQ(Bytes(all.end() - static_cast<long>(vendor.size()), all.end()), vendor);
    EXPECT_EQ(Bytes(all.end() - static_cast<long>(vendor.size() + notification.size()),
                    all.end() - static_cast<long>(vendor.size())),
              notification);
    // Keyboard (usage 6, id 1) first, then system control (usage 0x80, id 2).
    const Bytes head = {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01};
    EXPECT_EQ(Bytes(all.begin(), all.begin() + 8), head);
    const Bytes system = {0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, 0x02};
    EXPECT_NE(std::search(all.begin(), all.end(), system.begin(), system.end()), all.end());
}

TEST_F(SimTest, ReadAndWriteRoundTripByCable) {
    ASSERT_TRUE(sim_.Plug(Model::Mouse));
    auto c = Open(Model::Mouse);

    auto reply = c->Exchange(MakeRequest(cmd::kReadInfo, 34, 0));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[frame::kCommand], cmd::kReadInfo);
    EXPECT_EQ((*reply)[frame::kStatus], status::kOk);
    EXPECT_EQ(ReadLe16(&(*reply)[frame::kChecksum]), FrameChecksum(*reply));
    const Bytes info = Data(*reply, 34);
    EXPECT_EQ(info[5], 11);               // keys
    EXPECT_EQ(info[11], 50);              // DPI step
    EXPECT_EQ(ReadLe16(&info[12]), 518);  // highest slider position
    EXPECT_EQ(ReadLe16(&info[14]), 100);  // lowest DPI
    EXPECT_EQ(info[18], 32);              // macro memory units

    // A 75-byte settings block at block 1 goes out as 56 + 19 bytes.
    Bytes block(75);
    for (size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<uint8_t>(i + 1);
    }
    reply = c->Exchange(
        MakeRequest(cmd::kWriteLight, 56, 0x80, Bytes(block.begin(), block.begin() + 56)));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[frame::kStatus], status::kOk);
    reply = c->Exchange(
        MakeRequest(cmd::kWriteLight, 19, 0xB8, Bytes(block.begin() + 56, block.end())));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[frame::kStatus], status::kOk);

    reply = c->Exchange(MakeRequest(cmd::kReadLight, 56, 0x80));
    ASSERT_TRUE(reply);
    EXPECT_EQ(Data(*reply, 56), Bytes(block.begin(), block.begin() + 56));
    EXPECT_EQ(sim_.Device(Model::Mouse).ReadRegion(RegionId::Light, 0x80, 75), block);

    const auto log = sim_.Requests(Model::Mouse);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[1].frame[frame::kCommand], cmd::kWriteLight);
    EXPECT_EQ(log[1].link, Link::Cable);
}

TEST_F(SimTest, DefaultMemoryFollowsTheDeviceLayouts) {
    Firmware& mouse = sim_.Device(Model::Mouse);
    const Bytes keys = mouse.ReadRegion(RegionId::Keys, 0, 33);
    EXPECT_EQ(Bytes(keys.begin(), keys.begin() + 3), (Bytes{0x10, 0x01, 0x00}));
    EXPECT_EQ(Bytes(keys.begin() + 24, keys.begin() + 27), (Bytes{0xA0, 0x1B, 0x00}));
    EXPECT_EQ(Bytes(keys.begin() + 30, keys.begin() + 33), (Bytes{0x14, 0x78, 0x02}));
    const Bytes block0 = mouse.ReadRegion(RegionId::Light, 0, 80);
    EXPECT_EQ(block0[0], 0);   // active block
    EXPECT_EQ(block0[12], 1);  // active DPI stage
    // Stage 1: enabled, 800 DPI = 100 + 50 × 14.
    EXPECT_EQ(block0[14 + 9], 1);
    EXPECT_EQ(ReadLe16(&block0[14 + 9 + 2]), 14);

    Firmware& kbd = sim_.Device(Model::Keyboard);
    EXPECT_EQ(kbd.ReadRegion(RegionId::Info)[5], 126);
    EXPECT_EQ(kbd.ReadRegion(RegionId::Keys, 125 * 3, 3), (Bytes{0x20, 0x80, 0x00}));
    EXPECT_EQ(kbd.RegionSize(RegionId::Attrs), 126u);
    EXPECT_EQ(kbd.ReadRegion(RegionId::Light, 0, 1)[0], 0);  // record selector

    EXPECT_EQ(sim_.Device(Model::MousePad).ReadRegion(RegionId::Power), (Bytes{80, 0, 0, 0, 0, 1}));
}

TEST_F(SimTest, ReceiverReachesTheSameFirmware) {
    ASSERT_TRUE(sim_.Plug(Model::Mouse));
    ASSERT_TRUE(sim_.Plug(Model::Mouse, Link::Receiver));
    auto cable = Open(Model::Mouse);
    auto receiver = Open(Model::Mouse, Link::Receiver);

    const Bytes payload = {9, 8, 7, 6};
    ASSERT_TRUE(cable->Exchange(MakeRequest(cmd::kWriteMacro, 4, 100, payload)));
    auto reply = receiver->Exchange(MakeRequest(cmd::kReadLight, 24, 0));
    ASSERT_TRUE(reply);
    EXPECT_EQ(Data(*reply, 24), sim_.Device(Model::Mouse).ReadRegion(RegionId::Light, 0, 24));
    EXPECT_EQ(sim_.Device(Model::Mouse).ReadRegion(RegionId::Macro, 100, 4), payload);

    reply = receiver->Exchange(MakeRequest(cmd::kLinkQuery));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[frame::kCommand], cmd::kLinkQuery);
    EXPECT_EQ((*reply)[frame::kPayload], 0xFF);

    // The wireless flag of the power status tells the link the question came over.
    reply = receiver->Exchange(MakeRequest(cmd::kReadPower, 6, 0));
    ASSERT_TRUE(reply);
    EXPECT_EQ(Data(*reply, 6), (Bytes{80, 0, 0, 1, 0, 0}));
    reply = cable->Exchange(MakeRequest(cmd::kReadPower, 6, 0));
    ASSERT_TRUE(reply);
    EXPECT_EQ(Data(*reply, 6), (Bytes{80, 0, 0, 0, 0, 0}));
}

TEST_F(SimTest, UnlinkedReceiverAnswersEveryRequestWithAA) {
    ASSERT_TRUE(sim_.Plug(Model::Mouse, Link::Receiver));
    auto receiver = Open(Model::Mouse, Link::Receiver);
    sim_.SetReceiverLinked(false);
    for (uint8_t code : {cmd::kLinkQuery, cmd::kReadInfo, cmd::kWriteLight}) {
        const auto reply = receiver->Exchange(MakeRequest(code, 4, 0, {1, 2, 3, 4}));
        ASSERT_TRUE(reply);
        EXPECT_EQ((*reply)[frame::kCommand], 0xAA);
        EXPECT_EQ((*reply)[frame::kPayload], 0);
    }
    EXPECT_EQ(sim_.Device(Model::Mouse).Counters().requests, 0u);  // nothing reached the mouse
    sim_.SetReceiverLinked(true);
    const auto reply = receiver->Exchange(MakeRequest(cmd::kLinkQuery));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[frame::kPayload], 0xFF);
}

struct StatusCase {
    const char* name;
    Frame request;
    uint8_t status;
};

TEST_F(SimTest, StatusByteJudgesEachRequest) {
    Frame bad_sum = MakeRequest(cmd::kReadInfo, 8, 0);
    bad_sum[frame::kChecksum] ^= 0x01;
    const StatusCase cases[] = {
        {"bad checksum", bad_sum, status::kFailed},
        {"unknown command", MakeRequest(0x42), status::kRejected},
        {"length over 56", MakeRequest(cmd::kReadLight, 57, 0), status::kRejected},
        {"past the info block", MakeRequest(cmd::kReadInfo, 8, 30), status::kRejected},
        {"key table bank 1", MakeRequest(cmd::kWriteKeys, 3, 512, {1, 2, 3}), status::kRejected},
        {"past macro memory", MakeRequest(cmd::kWriteMacro, 8, 4092), status::kRejected},
        {"last macro bytes", MakeRequest(cmd::kWriteMacro, 4, 4092), status::kOk},
        {"light frame page 3", MakeRequest(cmd::kWriteFrame, 8, 3 * 512), status::kOk},
        {"light frame page 4", MakeRequest(cmd::kWriteFrame, 8, 4 * 512), status::kRejected},
        {"session begin", MakeRequest(cmd::kSessionBegin), status::kOk},
        {"light notice", MakeRequest(cmd::kLightNotice), status::kOk},
    };
    ASSERT_TRUE(sim_.Plug(Model::Mouse));
    auto c = Open(Model::Mouse);
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        const auto reply = c->Exchange(tc.request);
        ASSERT_TRUE(reply);
        EXPECT_EQ((*reply)[frame::kCommand], tc.request[frame::kCommand]);
        EXPECT_EQ((*reply)[frame::kStatus], tc.status);
    }
    EXPECT_EQ(sim_.BadChecksums(Model::Mouse), 1u);
    const auto counters = sim_.Device(Model::Mouse).Counters();
    EXPECT_EQ(counters.sessions_begun, 1u);
    EXPECT_EQ(counters.light_notices, 1u);
}

TEST_F(SimTest, StreamedFramesAreKeptAndCounted) {
    ASSERT_TRUE(sim_.Plug(Model::Keyboard));
    auto c = Open(Model::Keyboard);
    for (int f = 0; f < 3; ++f) {
        ASSERT_TRUE(c->Exchange(MakeRequest(cmd::kStreamFrame, 56, 0, Bytes(56, uint8_t(f)))));
        ASSERT_TRUE(c->Exchange(MakeRequest(cmd::kStreamFrame, 10, 56, Bytes(10, uint8_t(f)))));
    }
    const auto counters = sim_.Device(Model::Keyboard).Counters();
    EXPECT_EQ(counters.stream_frames, 3u);
    EXPECT_EQ(counters.stream_reports, 6u);
    EXPECT_EQ(sim_.Device(Model::Keyboard).ReadRegion(RegionId::Stream, 60, 2), (Bytes{2, 2}));
}

// What a client sees for one faulted request.
enum class Seen { NoReply, WrongEcho, Rejected, Failed, AA, Late, Unplugged, BadChecksum };

struct FaultCase {
    const char* name;
    Fault fault;
    Seen seen;
};

TEST_F(SimTest, EachFaultKindShowsOnTheWire) {
    const FaultCase cases[] = {
        {"silence", {.kind = FaultKind::Silence}, Seen::NoReply},
        {"echo", {.kind = FaultKind::WrongEcho}, Seen::WrongEcho},
        {"rejected", {.kind = FaultKind::StatusRejected}, Seen::Rejected},
        {"failed", {.kind = FaultKind::StatusFailed}, Seen::Failed},
        {"unreachable", {.kind = FaultKind::ReceiverUnreachable}, Seen::AA},
        {"delay", {.kind = FaultKind::Delay, .delay_ms = 150}, Seen::Late},
        {"unplug", {.kind = FaultKind::UnplugMidTransfer}, Seen::Unplugged},
        {"badsum", {.kind = FaultKind::BadReplyChecksum}, Seen::BadChecksum},
    };
    for (const auto& tc : cases) {
        SCOPED_TRACE(tc.name);
        ASSERT_TRUE(sim_.Plug(Model::Mouse));
        auto c = Open(Model::Mouse);
        Fault f = tc.fault;
        f.skip = 1;  // the first request passes untouched
        sim_.InjectFault(Model::Mouse, f);
        const Bytes marker = {0x5A};
        auto reply = c->Exchange(MakeRequest(cmd::kWriteLight, 1, 200, {0x11}));
        ASSERT_TRUE(reply);
        EXPECT_EQ((*reply)[frame::kStatus], status::kOk);

        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(c->Write(MakeRequest(cmd::kWriteLight, 1, 201, marker)));
        const auto msg = c->Read(tc.seen == Seen::NoReply ? 200 : 2000);
        const auto waited = std::chrono::steady_clock::now() - start;
        const bool applied =
            sim_.Device(Model::Mouse).ReadRegion(RegionId::Light, 201, 1) == marker;
        switch (tc.seen) {
            case Seen::NoReply:
                EXPECT_FALSE(msg);
                EXPECT_FALSE(applied);
                break;
            case Seen::Unplugged:
                ASSERT_TRUE(msg);
                EXPECT_TRUE(msg->empty());  // end of file: the device went away
                EXPECT_FALSE(fs::exists(sim_.SocketPath(Model::Mouse, Link::Cable, 1)));
                EXPECT_FALSE(sim_.IsPlugged(Model::Mouse, Link::Cable));
                EXPECT_FALSE(applied);
                break;
            default: {
                ASSERT_TRUE(msg);
                ASSERT_EQ(msg->size(), 64u);
                const Bytes& r = *msg;
                const bool checksum_ok = ReadLe16(&r[1]) == [&] {
                    Frame fr;
                    std::copy(r.begin(), r.end(), fr.begin());
                    return FrameChecksum(fr);
                }();
                EXPECT_EQ(checksum_ok, tc.seen != Seen::BadChecksum);
                const uint8_t echo = r[frame::kCommand];
                EXPECT_EQ(echo == cmd::kWriteLight,
                          tc.seen != Seen::WrongEcho && tc.seen != Seen::AA);
                if (tc.seen == Seen::AA) {
                    EXPECT_EQ(echo, 0xAA);
                }
                const uint8_t st = r[frame::kStatus];
                EXPECT_EQ(st, tc.seen == Seen::Rejected ? status::kRejected
                              : tc.seen == Seen::Failed ? status::kFailed
                                                        : status::kOk);
                const bool should_apply =
                    tc.seen != Seen::Rejected && tc.seen != Seen::Failed && tc.seen != Seen::AA;
                EXPECT_EQ(applied, should_apply);
                if (tc.seen == Seen::Late) {
                    EXPECT_GE(waited, std::chrono::milliseconds(140));
                }
            }
        }
        // count = 1: the fault is used up.
        EXPECT_EQ(sim_.ActiveFaults(Model::Mouse), 0u);
        if (sim_.IsPlugged(Model::Mouse, Link::Cable)) {
            reply = c->Exchange(MakeRequest(cmd::kSessionEnd));
            ASSERT_TRUE(reply);
            EXPECT_EQ((*reply)[frame::kCommand], cmd::kSessionEnd);
            EXPECT_TRUE(sim_.Unplug(Model::Mouse));
        }
        sim_.Device(Model::Mouse).FactoryReset();
    }
}

TEST_F(SimTest, FaultsFollowLinkFilterAndCount) {
    ASSERT_TRUE(sim_.Plug(Model::Mouse));
    ASSERT_TRUE(sim_.Plug(Model::Mouse, Link::Receiver));
    auto cable = Open(Model::Mouse);
    auto receiver = Open(Model::Mouse, Link::Receiver);
    sim_.InjectFault(Model::Mouse,
                     {.kind = FaultKind::StatusFailed, .count = -1, .link = Link::Receiver});
    for (int i = 0; i < 3; ++i) {
        auto r = cable->Exchange(MakeRequest(cmd::kSessionBegin));
        ASSERT_TRUE(r);
        EXPECT_EQ((*r)[frame::kStatus], status::kOk);
        r = receiver->Exchange(MakeRequest(cmd::kSessionBegin));
        ASSERT_TRUE(r);
        EXPECT_EQ((*r)[frame::kStatus], status::kFailed);
    }
    EXPECT_EQ(sim_.ActiveFaults(Model::Mouse), 1u);  // until cleared
    sim_.ClearFaults(Model::Mouse);
    const auto r = receiver->Exchange(MakeRequest(cmd::kSessionBegin));
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[frame::kStatus], status::kOk);
}

TEST_F(SimTest, DelayedDeviceDoesNotHoldUpOthers) {
    ASSERT_TRUE(sim_.Plug(Model::Mouse));
    ASSERT_TRUE(sim_.Plug(Model::Keyboard));
    auto mouse = Open(Model::Mouse);
    auto kbd = Open(Model::Keyboard);
    sim_.InjectFault(Model::Mouse, {.kind = FaultKind::Delay, .delay_ms = 400});
    ASSERT_TRUE(mouse->Write(MakeRequest(cmd::kSessionBegin)));
    ASSERT_TRUE(mouse->Write(MakeRequest(cmd::kSessionEnd)));  // queues behind the delayed one
    const auto k = kbd->Exchange(MakeRequest(cmd::kReadInfo, 8, 0));
    ASSERT_TRUE(k);
    EXPECT_FALSE(mouse->Read(0));  // the mouse's reply is still pending
    const auto first = mouse->Read();
    const auto second = mouse->Read();
    ASSERT_TRUE(first && second);
    EXPECT_EQ((*first)[frame::kCommand], cmd::kSessionBegin);
    EXPECT_EQ((*second)[frame::kCommand], cmd::kSessionEnd);
}

TEST_F(SimTest, InputReportsReachEveryConnection) {
    ASSERT_TRUE(sim_.Plug(Model::Mouse));
    ASSERT_TRUE(sim_.Plug(Model::Mouse, Link::Receiver));
    auto a = Open(Model::Mouse);
    auto b = Open(Model::Mouse);
    auto rx = Open(Model::Mouse, Link::Receiver);
    ASSERT_TRUE(sim_.SendNotification(Model::Mouse, Link::Cable, 0x1132));
    for (auto* c : {a.get(), b.get()}) {
        const auto msg = c->Read();
        ASSERT_TRUE(msg);
        EXPECT_EQ(*msg, (Bytes{3, 0x32, 0x11}));
    }
    EXPECT_FALSE(rx->Read(50));
    ASSERT_TRUE(sim_.SendNotification(Model::Mouse, Link::Receiver, 0x401));
    const auto msg = rx->Read();
    ASSERT_TRUE(msg);
    EXPECT_EQ(*msg, (Bytes{3, 0x01, 0x04}));

    // A reply is an input report too: every open file of the interface sees it.
    ASSERT_TRUE(a->Write(MakeRequest(cmd::kSessionBegin)));
    for (auto* c : {a.get(), b.get()}) {
        const auto reply = c->Read();
        ASSERT_TRUE(reply);
        EXPECT_EQ((*reply)[frame::kCommand], cmd::kSessionBegin);
    }
    EXPECT_FALSE(sim_.SendNotification(Model::Keyboard, Link::Cable, 0x401));  // not plugged
    EXPECT_FALSE(sim_.SendNotification(Model::Headset, Link::Cable, 0x401));
}

TEST_F(SimTest, UnplugClosesConnectionsAndRemovesSockets) {
    ASSERT_TRUE(sim_.Plug(Model::Mouse));
    EXPECT_FALSE(sim_.Plug(Model::Mouse));                     // already plugged
    EXPECT_FALSE(sim_.Plug(Model::Keyboard, Link::Receiver));  // no such receiver
    auto c = Open(Model::Mouse);
    RawClient if0(sim_.SocketPath(Model::Mouse, Link::Cable, 0));
    ASSERT_TRUE(if0.ReadHello());
    ASSERT_TRUE(sim_.Unplug(Model::Mouse));
    EXPECT_FALSE(sim_.Unplug(Model::Mouse));
    for (auto* client : {c.get(), &if0}) {
        const auto msg = client->Read();
        ASSERT_TRUE(msg);
        EXPECT_TRUE(msg->empty());
    }
    EXPECT_FALSE(fs::exists(sim_.SocketPath(Model::Mouse, Link::Cable, 0)));
    EXPECT_FALSE(fs::exists(sim_.SocketPath(Model::Mouse, Link::Cable, 1)));
    EXPECT_FALSE(RawClient(sim_.SocketPath(Model::Mouse, Link::Cable, 1)).connected());

    ASSERT_TRUE(sim_.Plug(Model::Mouse));  // and back
    auto again = Open(Model::Mouse);
    EXPECT_TRUE(again->Exchange(MakeRequest(cmd::kSessionBegin)));
}

TEST_F(SimTest, HeadsetAnswersRequestsAndRecordsLedReports) {
    ASSERT_TRUE(sim_.Plug(Model::Headset));
    auto c = Open(Model::Headset);
    auto reply = c->Exchange(MakeRequest(cmd::kReadLight, 21, 0));
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[frame::kStatus], status::kOk);
    EXPECT_EQ(Data(*reply, 21), sim_.Device(Model::Headset).ReadRegion(RegionId::Light, 0, 21));

    for (uint8_t i = 0; i < 12; ++i) {
        std::array<uint8_t, 17> report{};
        report[0] = 0xFF;
        report[1] = i < 6 ? 0x22 : 0x44;
        report[2] = static_cast<uint8_t>(0xAA + i % 6);
        report[4] = i;
        ASSERT_TRUE(c->Write(report.data(), report.size()));
    }
    ASSERT_TRUE(c->Exchange(MakeRequest(cmd::kSessionEnd)));  // the reports are handled by now
    const auto reports = sim_.HeadsetReports();
    ASSERT_EQ(reports.size(), 12u);
    EXPECT_EQ(reports[0][0], 0xFF);
    EXPECT_EQ(reports[11][4], 11);
    EXPECT_EQ(reports[11][1], 0x44);
}

TEST_F(SimTest, TrafficSinkSeesRequestAndReply) {
    std::mutex m;
    std::vector<std::string> lines;
    sim_.SetTraffic([&](std::string_view line) {
        std::lock_guard lock(m);
        lines.emplace_back(line);
    });
    ASSERT_TRUE(sim_.Plug(Model::Mouse));
    auto c = Open(Model::Mouse);
    ASSERT_TRUE(c->Exchange(MakeRequest(cmd::kSessionBegin)));
    sim_.SetTraffic(nullptr);
    std::lock_guard lock(m);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("mouse/cable -> 04 01 00 01", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("mouse/cable <- 04 01 00 01", 0), 0u) << lines[1];
}

TEST_F(SimTest, ConsoleExplainsBadCommands) {
    Console console(sim_, nullptr);
    const std::pair<const char*, const char*> cases[] = {
        {"plug toaster", "error: unknown device 'toaster'"},
        {"plug keyboard:receiver", "error: only the mouse has a receiver"},
        {"plug mouse:wifi", "error: unknown link 'wifi'"},
        {"notify mouse 0x401", "error: mouse:cable is not plugged"},
        {"fault mouse gremlins", "error: unknown fault 'gremlins'"},
        {"fault mouse delay", "error: a delay fault needs delay=MS"},
        {"fault mouse echo count=0", "error: bad option 'count=0'"},
        {"battery mouse 120", "error: battery level must be 0..100"},
        {"dump mouse attic", "error: unknown region 'attic'"},
        {"dump mouse info 40", "error: address out of range"},
        {"frobnicate", "error: unknown command 'frobnicate'"},
        {"plug mouse", "plugged mouse:cable"},
        {"plug mouse", "error: mouse:cable is already plugged"},
        {"notify mouse 401", "sent 0x0401 to mouse:cable"},
        {"battery mouse 42 1", "mouse battery 42%, charging state 1"},
        {"fault mouse echo skip=2 count=-1 link=receiver", "fault echo set on mouse"},
        {"dump mouse power", "0000: 2a 01 00 00 00 00"},
        {"unplug mouse", "unplugged mouse:cable"},
    };
    for (const auto& [command, expected] : cases) {
        SCOPED_TRACE(command);
        const auto answer = console.Execute(command);
        EXPECT_EQ(answer.text.rfind(expected, 0), 0u) << answer.text;
        EXPECT_FALSE(answer.quit);
    }
    EXPECT_EQ(sim_.ActiveFaults(Model::Mouse), 1u);
    EXPECT_TRUE(console.Execute("quit").quit);
}

// Runs the built tool: start it, ask it over its control socket, quit through stdin.
TEST(SimTool, ServesControlSocketAndQuitsOnStdin) {
    TempDir dir;
    const std::string simdir = dir.path() + "/s";
    int in[2];
    ASSERT_EQ(::pipe(in), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addopen(&actions, 1, (dir.path() + "/out.txt").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string tool = ZEPHO7_SIM_TOOL;
    std::vector<std::string> args = {tool, "--dir", simdir, "mouse", "mouse:receiver"};
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);

    for (int i = 0; i < 500 && !fs::exists(simdir + "/control"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(fs::exists(simdir + "/control"));
    EXPECT_TRUE(fs::exists(simdir + "/mouse-receiver-if1.sock"));

    const std::string send = tool + " --dir " + simdir + " --send stats";
    FILE* p = ::popen(send.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string answer;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p) != nullptr) {
        answer += buf;
    }
    EXPECT_EQ(::pclose(p), 0);
    EXPECT_NE(answer.find("mouse    plugged=cable,receiver requests=0"), std::string::npos)
        << answer;

    const char quit[] = "quit\n";
    ASSERT_EQ(::write(in[1], quit, sizeof quit - 1), static_cast<ssize_t>(sizeof quit - 1));
    int wstatus = -1;
    for (int i = 0; i < 500; ++i) {
        if (::waitpid(pid, &wstatus, WNOHANG) == pid) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(in[1]);
    ASSERT_TRUE(WIFEXITED(wstatus));
    EXPECT_EQ(WEXITSTATUS(wstatus), 0);
    EXPECT_FALSE(fs::exists(simdir + "/control"));
    EXPECT_FALSE(fs::exists(simdir + "/mouse-cable-if1.sock"));
}

}  // namespace
}  // namespace zepho7::sim
