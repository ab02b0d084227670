#include "devices/device_scan.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "base/simwire.h"
#include "base/trace.h"
#include "sim_fixture.h"

namespace zepho7::devices {
namespace {

using namespace std::chrono_literals;
using sim::Link;
using sim::Model;

class Recorder : public ScanListener {
  public:
    void OnDeviceArrived(int slot) override { Add(slot); }
    void OnDeviceRemoved(int slot) override { Add(-1 - slot); }  // removals as -1 - slot
    void OnFirstPass() override {
        std::lock_guard lock(mutex_);
        ++first_passes_;
        cv_.notify_all();
    }
    // Waits until `count` events have arrived; the events.
    std::vector<int> WaitFor(size_t count, std::chrono::milliseconds limit = 2000ms) {
        std::unique_lock lock(mutex_);
        cv_.wait_for(lock, limit, [&] { return events_.size() >= count; });
        return events_;
    }
    int FirstPasses() {
        std::lock_guard lock(mutex_);
        return first_passes_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

  private:
    void Add(int e) {
        std::lock_guard lock(mutex_);
        events_.push_back(e);
        cv_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<int> events_;
    int first_passes_ = 0;
};

using ScanTest = testing::SimTest;

TEST_F(ScanTest, CableAndReceiverArriveInEnumerationOrderAndLeaveOnUnplug) {
    LiveSlotTable slots;
    Recorder recorder;
    DeviceScanner scanner(slots, recorder);
    ASSERT_TRUE(Sim().Plug(Model::Mouse));
    EXPECT_FALSE(scanner.RunCycle());
    // Collections are listed in order, so the notification collection (3) comes first.
    EXPECT_EQ(recorder.WaitFor(2, 0ms), (std::vector<int>{5, 4}));
    EXPECT_EQ(slots.Get(4).path, MousePath(4));

    ASSERT_TRUE(Sim().Plug(Model::Mouse, Link::Receiver));
    EXPECT_FALSE(scanner.RunCycle());
    EXPECT_EQ(recorder.WaitFor(4, 0ms), (std::vector<int>{5, 4, 7, 6}));
    EXPECT_EQ(DeviceTypeForSlot(6), 0);

    recorder.Clear();
    ASSERT_TRUE(Sim().Unplug(Model::Mouse));
    EXPECT_FALSE(scanner.RunCycle());
    EXPECT_EQ(recorder.WaitFor(2, 0ms), (std::vector<int>{-1 - 4, -1 - 5}));
    EXPECT_FALSE(slots.Get(4).connected);
    EXPECT_TRUE(slots.Get(4).path.empty());
    EXPECT_TRUE(slots.Get(6).connected);
}

TEST_F(ScanTest, ThreadSeesChangesWithoutWaitingForTheSafetyCycle) {
    LiveSlotTable slots;
    Recorder recorder;
    // A safety cycle far away: only the change notifications can find the device in time.
    DeviceScanner scanner(slots, recorder, ScanOptions{60s, 100ms, 100ms});
    scanner.Start();
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(recorder.FirstPasses(), 1);

    ASSERT_TRUE(Sim().Plug(Model::MousePad));
    EXPECT_EQ(recorder.WaitFor(2, 1000ms), (std::vector<int>{9, 8}));
    recorder.Clear();
    const auto unplugged = std::chrono::steady_clock::now();
    ASSERT_TRUE(Sim().Unplug(Model::MousePad));
    // Each slot is checked on its own, so one may be seen gone a cycle before the other.
    auto removed = recorder.WaitFor(2, 1000ms);
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, (std::vector<int>{-1 - 9, -1 - 8}));
    const auto took = std::chrono::steady_clock::now() - unplugged;
    RecordProperty(
        "removal_ms",
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));

    trace::Capture capture;
    EXPECT_EQ(scanner.Stop(), StopOutcome::kEnded);
    EXPECT_TRUE(capture.Contains("抓取设备线程设定退出"));
    EXPECT_TRUE(capture.Contains("线程退出：：对象处于激发状态"));
    EXPECT_EQ(recorder.FirstPasses(), 1);
}

TEST_F(ScanTest, WithEverySlotTakenOnlyTheRemovalCheckRuns) {
    LiveSlotTable slots;
    for (int i = 0; i < kSlotCount; ++i) {
        const SlotDescriptor& s = kInterfaceSlots[static_cast<size_t>(i)];
        ASSERT_EQ(slots.FullMatch({s.vendor_id, s.product_id, s.interface_number,
                                   s.collection_number, s.usage_page, s.usage},
                                  "/nonexistent/" + std::to_string(i)),
                  i);
    }
    slots.Release(3);
    ASSERT_TRUE(slots.FullMatch({0x320F, 0, 1, 3, 0x000C, 0x0001}, "") == 3);  // connected, no path
    Recorder recorder;
    DeviceScanner scanner(slots, recorder);
    ASSERT_TRUE(Sim().Plug(Model::Mouse));
    scanner.RunCycle();
    EXPECT_EQ(scanner.Enumerations(), 0u);
    // Every slot's path is gone: each is freed with one removal.
    EXPECT_EQ(recorder.WaitFor(kSlotCount, 0ms).size(), static_cast<size_t>(kSlotCount));
    scanner.RunCycle();
    EXPECT_EQ(scanner.Enumerations(), 1u);
    EXPECT_EQ(recorder.WaitFor(kSlotCount + 2, 0ms).size(), static_cast<size_t>(kSlotCount + 2));
}

// A socket that presents itself as a mousepad interface whose collections carry usage page
// 0xFF00: right vendor, product, interface and collection numbers, wrong usage page.
class ForeignInterface {
  public:
    explicit ForeignInterface(const std::string& path) : path_(path) {
        fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(fd_, 8), 0);
        thread_ = std::jthread([this](std::stop_token token) { Serve(token); });
    }
    ~ForeignInterface() {
        thread_.request_stop();
        thread_.join();
        ::close(fd_);
        ::unlink(path_.c_str());
    }
    int Connections() const { return connections_.load(); }

  private:
    void Serve(std::stop_token token) {
        std::vector<uint8_t> descriptor;
        for (uint8_t id = 1; id <= 4; ++id) {
            const uint8_t collection[] = {0x06, 0x00, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85,
                                          id,   0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,
                                          0x95, 0x3F, 0x09, 0x01, 0x81, 0x02, 0xC0};
            descriptor.insert(descriptor.end(), std::begin(collection), std::end(collection));
        }
        simwire::Hello hello{};
        std::memcpy(hello.magic, simwire::kMagic, sizeof hello.magic);
        hello.vendor_id = 0x320F;
        hello.product_id = 0x1004;
        hello.release_number = 0x0100;
        hello.interface_number = 1;
        hello.descriptor_length = static_cast<uint16_t>(descriptor.size());
        std::vector<uint8_t> message(sizeof hello);
        std::memcpy(message.data(), &hello, sizeof hello);
        message.insert(message.end(), descriptor.begin(), descriptor.end());
        while (!token.stop_requested()) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0)
                continue;
            ++connections_;
            [[maybe_unused]] const ssize_t n = ::send(c, message.data(), message.size(), 0);
            ::close(c);
        }
    }
    std::string path_;
    int fd_ = -1;
    std::atomic<int> connections_{0};
    std::jthread thread_;
};

TEST_F(ScanTest, WrongUsagePageIsOpenedRejectedAndTriedAgainNextCycle) {
    ForeignInterface foreign(dir_ + "/foreign.sock");
    LiveSlotTable slots;
    Recorder recorder;
    DeviceScanner scanner(slots, recorder);
    EXPECT_TRUE(scanner.RunCycle());  // asks for a retry
    const int after_first = foreign.Connections();
    EXPECT_GE(after_first, 3);  // the listing, then collections 3 and 4 opened
    EXPECT_TRUE(scanner.RunCycle());
    EXPECT_EQ(foreign.Connections(), 2 * after_first);
    EXPECT_TRUE(recorder.WaitFor(1, 0ms).empty());
    EXPECT_FALSE(slots.Get(8).connected);
}

}  // namespace
}  // namespace zepho7::devices
