// The device scan: finds the supported collections among the HID collections of the machine
// (and of the simulator), claims their slots in the live slot table and tells the owner about
// arrivals and removals. It sleeps until something changes: a hidraw node appears, disappears or
// changes (udev monitor, and inotify on /dev when there is no udev daemon) or a socket of
// $ZEPHO7_SIM_DIR does (inotify). Each change runs a cycle at once and a second one shortly
// after, for nodes whose permissions or sockets become usable a moment later; a slow safety
// cycle runs regardless. Collections that match by path but could not be opened or matched are
// retried with a growing delay.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <stop_token>

#include "devices/catalogue.h"
#include "devices/worker_thread.h"

namespace zepho7::devices {

// The owner's side. Called on the scan thread, synchronously: the scan continues only when the
// call has returned, so the owner has handled each arrival before the next. A handler must not
// wait for the scan to stop.
class ScanListener {
  public:
    virtual ~ScanListener() = default;
    virtual void OnDeviceArrived(int slot_index) = 0;
    virtual void OnDeviceRemoved(int slot_index) = 0;
    // Once, after the first cycle: the window may be shown.
    virtual void OnFirstPass() = 0;
};

struct ScanOptions {
    std::chrono::milliseconds safety_interval{3000};
    std::chrono::milliseconds settle{100};       // the follow-up cycle after a change
    std::chrono::milliseconds first_retry{100};  // first delay for a collection that failed
};

class DeviceScanner {
  public:
    DeviceScanner(LiveSlotTable& slots, ScanListener& listener, ScanOptions options = {});
    // Stops the thread; waits for it however long that takes.
    ~DeviceScanner();
    DeviceScanner(const DeviceScanner&) = delete;
    DeviceScanner& operator=(const DeviceScanner&) = delete;

    void Start();
    // Bounded stop (1000 ms); a thread still inside a listener call is kept until it returns.
    StopOutcome Stop(std::chrono::milliseconds wait = std::chrono::milliseconds(1000));

    // One cycle on the calling thread: enumerate and match while a slot is free, then check the
    // connected slots. True when some collection should be tried again soon.
    bool RunCycle();

    [[nodiscard]] uint64_t Cycles() const { return cycles_.load(std::memory_order_relaxed); }
    [[nodiscard]] uint64_t Enumerations() const {
        return enumerations_.load(std::memory_order_relaxed);
    }

  private:
    class Watch;
    void Run(std::stop_token token);

    LiveSlotTable& slots_;
    ScanListener& listener_;
    const ScanOptions options_;
    std::atomic<uint64_t> cycles_{0};
    std::atomic<uint64_t> enumerations_{0};
    WorkerThread thread_;  // last: stopped before the members it uses go away
};

}  // namespace zepho7::devices
