// Emulated peripherals behind Unix seqpacket sockets, one socket per USB HID interface
// (see base/simwire.h for the wire format). One service thread accepts connections, answers
// requests with the firmware models and broadcasts input reports to every connection of an
// interface, as hidraw does for every open file.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sim/firmware.h"

namespace zepho7::sim {

enum class FaultKind {
    Silence,              // the request is lost: no reply, no effect
    WrongEcho,            // the reply carries another command code
    StatusRejected,       // reply status 0xFF, request not applied
    StatusFailed,         // reply status 0xFE, request not applied
    ReceiverUnreachable,  // reply command 0xAA as from a receiver without its device
    Delay,                // the reply leaves delay_ms later (later replies queue behind it)
    UnplugMidTransfer,    // the link unplugs instead of replying (use skip to pick the request)
    BadReplyChecksum,     // the reply's checksum bytes are wrong
};

struct Fault {
    FaultKind kind;
    int skip = 0;   // requests to let through first
    int count = 1;  // requests affected after that; -1 = until cleared
    int delay_ms = 0;
    std::optional<Link> link =
        std::nullopt;  // only requests arriving on this link; empty = any link
};

struct Request {
    Link link;
    std::array<uint8_t, 64> frame;  // as received (padded with zeros / cut to 64 bytes)
};

class Simulator {
  public:
    static constexpr size_t kRequestLogSize = 4096;
    static constexpr size_t kHeadsetReportLogSize = 1024;

    // Creates the folder (mode 0700) if missing and starts the service thread; no sockets
    // exist until Plug. Ready() tells whether that worked.
    explicit Simulator(std::string dir);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    [[nodiscard]] bool Ready() const noexcept { return ready_; }
    [[nodiscard]] const std::string& Dir() const noexcept { return dir_; }

    // Creates the interface sockets of the device on that link. False when already plugged,
    // for a receiver of anything but the mouse, or when a socket cannot be made.
    [[nodiscard]] bool Plug(Model model, Link link = Link::Cable);
    // Closes every connection of the device on that link and removes its sockets.
    [[nodiscard]] bool Unplug(Model model, Link link = Link::Cable);
    [[nodiscard]] bool IsPlugged(Model model, Link link) const;

    // Whether the mouse can be reached through its receiver (default true).
    void SetReceiverLinked(bool linked);
    [[nodiscard]] bool ReceiverLinked() const;

    // Input report [3, code low, code high] on interface 1 to every connection. False when
    // that device/link is not plugged or has no notification collection (headset).
    [[nodiscard]] bool SendNotification(Model model, Link link, uint16_t code);

    void InjectFault(Model model, const Fault& fault);
    void ClearFaults(Model model);
    [[nodiscard]] size_t ActiveFaults(Model model) const;

    // The device's firmware; its accessors lock it, so this is safe from any thread.
    [[nodiscard]] Firmware& Device(Model model);

    // Requests received (both links), oldest first, at most kRequestLogSize.
    [[nodiscard]] std::vector<Request> Requests(Model model) const;
    void ClearRequests(Model model);
    [[nodiscard]] uint64_t BadChecksums(Model model) const;
    // Requests received since start, including those that never reached the firmware.
    [[nodiscard]] uint64_t RequestCount(Model model) const;

    // Output reports with id 0xFF received by the headset, oldest first (12 make one frame).
    [[nodiscard]] std::vector<std::array<uint8_t, 17>> HeadsetReports() const;
    void ClearHeadsetReports();

    // One hex line per request and reply, or an empty function to stop. The sink is called
    // from the service thread (or from this call, for lines still pending), never with the
    // simulator's state lock held; it must not call SetTraffic. Once SetTraffic returns, the
    // previous sink has received every line made before and is never called again.
    void SetTraffic(std::function<void(std::string_view line)> sink);

    [[nodiscard]] std::string SocketPath(Model model, Link link, int interface_number) const;

  private:
    struct Interface;
    struct DeviceState;
    struct Pending;
    struct Target;

    void Run();
    void Wake() const;
    bool PlugLocked(Model model, Link link);
    bool UnplugLocked(Model model, Link link);
    void CloseInterface(Interface& iface);
    void Accept(Interface& iface);
    void Receive(Interface& iface, int fd);
    void HandleRequest(Interface& iface, const uint8_t* data, size_t size);
    void Broadcast(Interface& iface, const uint8_t* data, size_t size);
    void FireTimers();
    int NextTimeoutMs() const;
    void Traffic(const char* direction, Model model, Link link, const uint8_t* data, size_t size);
    DeviceState& State(Model model) { return *devices_[static_cast<size_t>(model)]; }
    const DeviceState& State(Model model) const { return *devices_[static_cast<size_t>(model)]; }

    const std::string dir_;
    bool ready_ = false;
    int wake_fd_ = -1;
    mutable std::mutex mutex_;  // everything below; taken before any firmware lock
    bool stop_ = false;
    bool dirty_ = true;  // the set of descriptors changed: rebuild the poll set
    bool receiver_linked_ = true;
    uint64_t next_interface_id_ = 1;
    std::array<std::unique_ptr<DeviceState>, kModelCount> devices_;
    std::vector<std::unique_ptr<Interface>> interfaces_;
    std::vector<std::unique_ptr<Interface>> retired_;  // closed, freed when the poll set is rebuilt
    std::vector<Pending> pending_;                     // delayed replies, in due order
    std::vector<std::array<uint8_t, 17>> headset_reports_;
    size_t headset_next_ = 0;
    bool traffic_on_ = false;
    std::vector<std::string> traffic_lines_;  // collected under mutex_, written after it
    // Held while the sink runs; taken after mutex_ when both are needed.
    std::mutex sink_mutex_;
    std::function<void(std::string_view)> sink_;
    std::thread thread_;
};

}  // namespace zepho7::sim
