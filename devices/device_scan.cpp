#include "devices/device_scan.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/trace.h"
#include "transport/hid_interface.h"

namespace zepho7::devices {

using Clock = std::chrono::steady_clock;

// The change sources the scan sleeps on. Every source is optional: without any, only the
// safety cycle runs.
class DeviceScanner::Watch {
  public:
    Watch() {
        stop_fd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if ((udev_ = udev_new()) != nullptr) {
            monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
            if (monitor_ != nullptr && (udev_monitor_filter_add_match_subsystem_devtype(
                                            monitor_, "hidraw", nullptr) != 0 ||
                                        udev_monitor_enable_receiving(monitor_) != 0)) {
                udev_monitor_unref(monitor_);
                monitor_ = nullptr;
            }
        }
        inotify_fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotify_fd_ >= 0) {
            // Nodes appear and go in /dev even without a udev daemon; an ACL change that makes
            // a node usable shows as IN_ATTRIB.
            dev_watch_ =
                ::inotify_add_watch(inotify_fd_, "/dev", IN_CREATE | IN_DELETE | IN_ATTRIB);
            const char* sim = std::getenv("ZEPHO7_SIM_DIR");
            if (sim != nullptr && sim[0] != '\0')
                sim_dir_ = sim;
            WatchSimDir();
        }
    }
    ~Watch() {
        if (monitor_ != nullptr)
            udev_monitor_unref(monitor_);
        if (udev_ != nullptr)
            udev_unref(udev_);
        if (inotify_fd_ >= 0)
            ::close(inotify_fd_);
        if (stop_fd_ >= 0)
            ::close(stop_fd_);
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    // A folder made after start-up is watched from the next safety cycle on.
    void WatchSimDir() {
        if (inotify_fd_ < 0 || sim_dir_.empty() || sim_watch_ >= 0)
            return;
        sim_watch_ = ::inotify_add_watch(
            inotify_fd_, sim_dir_.c_str(),
            IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF);
    }

    void WakeForStop() {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t w = ::write(stop_fd_, &one, sizeof one);
    }

    // Sleeps until `deadline`, a stop or a relevant change; true on a change.
    bool Wait(Clock::time_point deadline) {
        pollfd fds[3];
        nfds_t n = 0;
        fds[n++] = {stop_fd_, POLLIN, 0};
        const int udev_fd = monitor_ != nullptr ? udev_monitor_get_fd(monitor_) : -1;
        if (udev_fd >= 0)
            fds[n++] = {udev_fd, POLLIN, 0};
        if (inotify_fd_ >= 0)
            fds[n++] = {inotify_fd_, POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int timeout = static_cast<int>(std::clamp<long long>(left + 1, 0, 60'000));
        if (::poll(fds, n, timeout) <= 0)
            return false;
        bool changed = false;
        for (nfds_t i = 1; i < n; ++i) {
            if ((fds[i].revents & POLLIN) == 0)
                continue;
            if (fds[i].fd == udev_fd)
                changed = DrainUdev() || changed;
            else
                changed = DrainInotify() || changed;
        }
        return changed;
    }

  private:
    bool DrainUdev() {
        bool any = false;
        while (udev_device* d = udev_monitor_receive_device(monitor_)) {
            any = true;
            udev_device_unref(d);
        }
        return any;
    }

    bool DrainInotify() {
        alignas(inotify_event) char buffer[4096];
        bool relevant = false;
        for (;;) {
            const ssize_t n = ::read(inotify_fd_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            for (ssize_t at = 0; at < n;) {
                inotify_event event;
                std::memcpy(&event, buffer + at, sizeof event);
                const char* name = buffer + at + sizeof(inotify_event);
                if (event.wd == sim_watch_) {
                    relevant = true;
                    if ((event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0)
                        sim_watch_ = -1;
                } else if (event.wd == dev_watch_ && event.len > 0 &&
                           std::strncmp(name, "hidraw", 6) == 0) {
                    relevant = true;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
            }
        }
        return relevant;
    }

    udev* udev_ = nullptr;
    udev_monitor* monitor_ = nullptr;
    int inotify_fd_ = -1;
    int dev_watch_ = -1;
    int sim_watch_ = -1;
    int stop_fd_ = -1;
    std::string sim_dir_;
};

DeviceScanner::DeviceScanner(LiveSlotTable& slots, ScanListener& listener, ScanOptions options)
    : slots_(slots), listener_(listener), options_(options) {}

DeviceScanner::~DeviceScanner() {
    static_cast<void>(Stop());
}

void DeviceScanner::Start() {
    thread_.Start([this](std::stop_token token) { Run(token); });
}

StopOutcome DeviceScanner::Stop(std::chrono::milliseconds wait) {
    return thread_.Stop(wait);
}

bool DeviceScanner::RunCycle() {
    cycles_.fetch_add(1, std::memory_order_relaxed);
    bool retry = false;
    if (!slots_.AllSlotsTaken()) {
        hid::HidInterface lister;
        if (!lister.Enumerate()) {
            // A failed listing is tried again at the next cycle rather than ending the scan.
            Z7_TRACE("device scan: the HID collections could not be listed\n");
            return true;
        }
        enumerations_.fetch_add(1, std::memory_order_relaxed);
        hid::HidInterface probe;
        while (const char* path = lister.NextPath()) {
            const std::string_view p = path;
            MatchCandidate c;
            c.vendor_id = VendorIdFromPath(p);
            c.product_id = ProductIdFromPath(p);
            c.interface_number = InterfaceFromPath(p);
            c.collection_number = CollectionFromPath(p);
            if (!slots_.PreMatch(c.vendor_id, c.product_id, c.interface_number,
                                 c.collection_number)) {
                continue;
            }
            if (!probe.Open(p, true, false, true, false)) {
                retry = true;
                continue;
            }
            c.vendor_id = probe.GetAttributes().vendor_id;
            c.product_id = probe.GetAttributes().product_id;
            c.usage_page = probe.GetCaps().usage_page;
            c.usage = probe.GetCaps().usage;
            probe.Close();
            const int slot = slots_.FullMatch(c, p);
            if (slot < 0) {
                retry = true;
                continue;
            }
            listener_.OnDeviceArrived(slot);
        }
    }
    hid::HidInterface check;
    for (const auto& [index, path] : slots_.ConnectedSlots()) {
        if (check.Open(path, false, false, false, false)) {
            check.Close();
            continue;
        }
        // The owner may have freed or re-filled the slot meanwhile: only a slot still holding
        // this path is released.
        const InterfaceSlot now = slots_.Get(index);
        if (now.connected && now.path == path) {
            slots_.Release(index);
            listener_.OnDeviceRemoved(index);
        }
    }
    return retry;
}

void DeviceScanner::Run(std::stop_token token) {
    Watch watch;
    std::stop_callback on_stop(token, [&watch] { watch.WakeForStop(); });
    bool first = true;
    auto retry_delay = options_.first_retry;
    auto due = Clock::now();
    bool settle_pending = false;
    while (!token.stop_requested()) {
        if (Clock::now() >= due) {
            const bool retry = RunCycle();
            if (first) {
                first = false;
                listener_.OnFirstPass();
            }
            auto next = options_.safety_interval;
            if (retry) {
                next = std::min(next, retry_delay);
                retry_delay = std::min(retry_delay * 2, options_.safety_interval);
            } else {
                retry_delay = options_.first_retry;
            }
            if (settle_pending) {
                next = std::min(next, options_.settle);
                settle_pending = false;
            }
            due = Clock::now() + next;
            watch.WatchSimDir();
        }
        if (watch.Wait(due)) {
            due = Clock::now();
            settle_pending = true;
            retry_delay = options_.first_retry;
        }
    }
    Z7_TRACE("抓取设备线程设定退出\n");
}

}  // namespace zepho7::devices
