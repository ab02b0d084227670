#include "sim/simulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/le.h"
#include "base/simwire.h"
#include "base/trace.h"
#include "sim/descriptors.h"

namespace zepho7::sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t LinkIndex(Link l) {
    return l == Link::Receiver ? 1 : 0;
}

uint16_t ToLe16(uint16_t v) {
    if constexpr (std::endian::native == std::endian::big) {
        return static_cast<uint16_t>((v >> 8) | (v << 8));
    }
    return v;
}

std::vector<uint8_t> MakeHello(const DeviceIdentity& id, const InterfaceSpec& layout) {
    simwire::Hello h{};
    std::memcpy(h.magic, simwire::kMagic, sizeof h.magic);
    h.vendor_id = ToLe16(id.vendor_id);
    h.product_id = ToLe16(id.product_id);
    h.release_number = ToLe16(id.release_number);
    h.interface_number = layout.number;
    h.descriptor_length = ToLe16(static_cast<uint16_t>(layout.descriptor.size()));
    const auto* header = reinterpret_cast<const uint8_t*>(&h);
    std::vector<uint8_t> out(header, header + sizeof h);
    out.insert(out.end(), layout.descriptor.begin(), layout.descriptor.end());
    return out;
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

bool FillAddress(const std::string& path, sockaddr_un& addr) {
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// A listening seqpacket socket bound under a temporary name and renamed into place, so a
// client scanning the folder never finds a socket that is not yet listening.
int MakeListener(const std::string& path) {
    const std::string temp = path + ".tmp";
    sockaddr_un addr;
    if (!FillAddress(temp, addr)) {
        Z7_TRACE("sim: socket path too long: %s", temp.c_str());
        return -1;
    }
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    ::unlink(temp.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(fd, 16) != 0 || ::rename(temp.c_str(), path.c_str()) != 0) {
        Z7_TRACE("sim: cannot create %s: %s", path.c_str(), std::strerror(errno));
        ::unlink(temp.c_str());
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

struct Simulator::Interface {
    uint64_t id = 0;
    Model model = Model::Mouse;
    Link link = Link::Cable;
    int number = 0;
    bool config = false;  // carries the 64-byte requests
    int listen_fd = -1;
    std::string path;
    std::vector<int> connections;
    std::vector<uint8_t> hello;
};

struct Simulator::DeviceState {
    explicit DeviceState(Model m) : firmware(m) { log.reserve(kRequestLogSize); }
    Firmware firmware;
    std::vector<Fault> faults;
    std::vector<Request> log;  // ring once full; log_next is the oldest entry then
    size_t log_next = 0;
    uint64_t received = 0;
    std::array<Clock::time_point, 2> last_due{};  // per link: replies queue behind delays
};

struct Simulator::Pending {
    Clock::time_point due;
    uint64_t interface_id;
    Frame reply;
};

struct Simulator::Target {
    Interface* iface;
    int fd;
    bool listener;
};

Simulator::Simulator(std::string dir) : dir_(std::move(dir)) {
    for (int m = 0; m < kModelCount; ++m) {
        devices_[static_cast<size_t>(m)] = std::make_unique<DeviceState>(static_cast<Model>(m));
    }
    headset_reports_.reserve(kHeadsetReportLogSize);
    std::error_code ec;
    const std::filesystem::path p(dir_);
    if (p.has_parent_path()) {
        std::filesystem::create_directories(p.parent_path(), ec);
    }
    if (::mkdir(dir_.c_str(), 0700) != 0 && errno != EEXIST) {
        Z7_TRACE("sim: cannot create folder %s: %s", dir_.c_str(), std::strerror(errno));
        return;
    }
    wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_fd_ < 0) {
        return;
    }
    ready_ = true;
    thread_ = std::thread([this] { Run(); });
}

Simulator::~Simulator() {
    {
        std::lock_guard lock(mutex_);
        for (auto& iface : interfaces_) {
            CloseInterface(*iface);
        }
        interfaces_.clear();
        stop_ = true;
    }
    Wake();
    if (thread_.joinable()) {
        thread_.join();
    }
    CloseFd(wake_fd_);
}

void Simulator::Wake() const {
    if (wake_fd_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_fd_, &one, sizeof one);
    }
}

std::string Simulator::SocketPath(Model model, Link link, int interface_number) const {
    return dir_ + "/" + ModelName(model) + "-" + LinkName(link) + "-if" +
           std::to_string(interface_number) + simwire::kSocketSuffix;
}

bool Simulator::Plug(Model model, Link link) {
    std::lock_guard lock(mutex_);
    return PlugLocked(model, link);
}

bool Simulator::PlugLocked(Model model, Link link) {
    if (!ready_ || !HasLink(model, link)) {
        return false;
    }
    for (const auto& iface : interfaces_) {
        if (iface->model == model && iface->link == link) {
            return false;
        }
    }
    const DeviceIdentity identity = Identity(model, link);
    std::vector<std::unique_ptr<Interface>> made;
    for (const InterfaceSpec& layout : Interfaces(model)) {
        auto iface = std::make_unique<Interface>();
        iface->id = next_interface_id_++;
        iface->model = model;
        iface->link = link;
        iface->number = layout.number;
        iface->config = layout.number == ConfigInterface(model);
        iface->path = SocketPath(model, link, layout.number);
        iface->hello = MakeHello(identity, layout);
        iface->listen_fd = MakeListener(iface->path);
        if (iface->listen_fd < 0) {
            for (auto& m : made) {
                CloseInterface(*m);
            }
            return false;
        }
        made.push_back(std::move(iface));
    }
    for (auto& m : made) {
        interfaces_.push_back(std::move(m));
    }
    State(model).last_due[LinkIndex(link)] = {};
    dirty_ = true;
    Wake();
    Z7_TRACE("sim: plugged %s by %s", ModelName(model), LinkName(link));
    return true;
}

bool Simulator::Unplug(Model model, Link link) {
    std::lock_guard lock(mutex_);
    return UnplugLocked(model, link);
}

bool Simulator::UnplugLocked(Model model, Link link) {
    bool found = false;
    for (auto it = interfaces_.begin(); it != interfaces_.end();) {
        if ((*it)->model == model && (*it)->link == link) {
            CloseInterface(**it);
            retired_.push_back(std::move(*it));  // the poll loop may still point at it
            it = interfaces_.erase(it);
            found = true;
        } else {
            ++it;
        }
    }
    if (found) {
        dirty_ = true;
        Wake();
        Z7_TRACE("sim: unplugged %s by %s", ModelName(model), LinkName(link));
    }
    return found;
}

void Simulator::CloseInterface(Interface& iface) {
    if (iface.listen_fd >= 0) {
        ::unlink(iface.path.c_str());
    }
    CloseFd(iface.listen_fd);
    for (int& fd : iface.connections) {
        CloseFd(fd);
    }
    iface.connections.clear();
}

bool Simulator::IsPlugged(Model model, Link link) const {
    std::lock_guard lock(mutex_);
    return std::any_of(interfaces_.begin(), interfaces_.end(),
                       [&](const auto& i) { return i->model == model && i->link == link; });
}

void Simulator::SetReceiverLinked(bool linked) {
    std::lock_guard lock(mutex_);
    receiver_linked_ = linked;
}

bool Simulator::ReceiverLinked() const {
    std::lock_guard lock(mutex_);
    return receiver_linked_;
}

bool Simulator::SendNotification(Model model, Link link, uint16_t code) {
    std::lock_guard lock(mutex_);
    if (model == Model::Headset) {
        return false;
    }
    for (auto& iface : interfaces_) {
        if (iface->model == model && iface->link == link && iface->config) {
            const uint8_t report[3] = {kNotificationReportId, static_cast<uint8_t>(code & 0xFF),
                                       static_cast<uint8_t>(code >> 8)};
            if (traffic_on_) {
                Traffic("<-", model, link, report, sizeof report);
                Wake();  // the service thread writes the traffic lines
            }
            Broadcast(*iface, report, sizeof report);
            return true;
        }
    }
    return false;
}

void Simulator::InjectFault(Model model, const Fault& fault) {
    std::lock_guard lock(mutex_);
    if (fault.count != 0) {
        State(model).faults.push_back(fault);
    }
}

void Simulator::ClearFaults(Model model) {
    std::lock_guard lock(mutex_);
    State(model).faults.clear();
}

size_t Simulator::ActiveFaults(Model model) const {
    std::lock_guard lock(mutex_);
    return State(model).faults.size();
}

Firmware& Simulator::Device(Model model) {
    return State(model).firmware;
}

std::vector<Request> Simulator::Requests(Model model) const {
    std::lock_guard lock(mutex_);
    const DeviceState& d = State(model);
    std::vector<Request> out;
    out.reserve(d.log.size());
    out.insert(out.end(), d.log.begin() + static_cast<std::ptrdiff_t>(d.log_next), d.log.end());
    out.insert(out.end(), d.log.begin(), d.log.begin() + static_cast<std::ptrdiff_t>(d.log_next));
    return out;
}

void Simulator::ClearRequests(Model model) {
    std::lock_guard lock(mutex_);
    State(model).log.clear();
    State(model).log_next = 0;
}

uint64_t Simulator::RequestCount(Model model) const {
    std::lock_guard lock(mutex_);
    return State(model).received;
}

uint64_t Simulator::BadChecksums(Model model) const {
    return State(model).firmware.Counters().bad_checksums;
}

std::vector<std::array<uint8_t, 17>> Simulator::HeadsetReports() const {
    std::lock_guard lock(mutex_);
    std::vector<std::array<uint8_t, 17>> out;
    out.reserve(headset_reports_.size());
    const auto mid = headset_reports_.begin() + static_cast<std::ptrdiff_t>(headset_next_);
    out.insert(out.end(), mid, headset_reports_.end());
    out.insert(out.end(), headset_reports_.begin(), mid);
    return out;
}

void Simulator::ClearHeadsetReports() {
    std::lock_guard lock(mutex_);
    headset_reports_.clear();
    headset_next_ = 0;
}

void Simulator::SetTraffic(std::function<void(std::string_view line)> sink) {
    std::vector<std::string> lines;
    std::unique_lock lock(mutex_);
    lines.swap(traffic_lines_);
    traffic_on_ = static_cast<bool>(sink);
    std::unique_lock sink_lock(sink_mutex_);
    lock.unlock();
    if (sink_) {
        for (const auto& line : lines) {
            sink_(line);
        }
    }
    sink_ = std::move(sink);
}

// ---- service thread ----

void Simulator::Run() {
    std::vector<pollfd> fds;
    std::vector<Target> targets;
    std::vector<std::string> lines;
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (dirty_) {
            fds.clear();
            targets.clear();
            fds.push_back({wake_fd_, POLLIN, 0});
            targets.push_back({nullptr, wake_fd_, false});
            for (auto& iface : interfaces_) {
                fds.push_back({iface->listen_fd, POLLIN, 0});
                targets.push_back({iface.get(), iface->listen_fd, true});
                for (int fd : iface->connections) {
                    fds.push_back({fd, POLLIN, 0});
                    targets.push_back({iface.get(), fd, false});
                }
            }
            retired_.clear();
            dirty_ = false;
        }
        const int timeout = NextTimeoutMs();
        lock.unlock();
        const int n = ::poll(fds.data(), fds.size(), timeout);
        lock.lock();
        if (n > 0 && (fds[0].revents & POLLIN) != 0) {
            uint64_t value = 0;
            [[maybe_unused]] const ssize_t r = ::read(wake_fd_, &value, sizeof value);
        }
        // A changed set means descriptors may have been closed (and their numbers reused)
        // since poll looked at them: drop this round; poll is level-triggered.
        if (n > 0 && !dirty_) {
            for (size_t i = 1; i < fds.size() && !dirty_ && !stop_; ++i) {
                if (fds[i].revents == 0) {
                    continue;
                }
                const Target& t = targets[i];
                if (t.listener) {
                    Accept(*t.iface);
                } else {
                    Receive(*t.iface, t.fd);
                }
            }
        }
        FireTimers();
        if (!traffic_lines_.empty()) {
            lines.swap(traffic_lines_);
            std::unique_lock sink_lock(sink_mutex_);
            lock.unlock();
            if (sink_) {
                for (const auto& line : lines) {
                    sink_(line);
                }
            }
            sink_lock.unlock();
            lines.clear();
            lock.lock();
        }
    }
}

void Simulator::Accept(Interface& iface) {
    const int fd = ::accept4(iface.listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
        return;
    }
    // A fresh socket's send buffer is empty, so the hello always fits.
    if (::send(fd, iface.hello.data(), iface.hello.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0) {
        ::close(fd);
        return;
    }
    iface.connections.push_back(fd);
    dirty_ = true;
}

void Simulator::Receive(Interface& iface, int fd) {
    uint8_t buf[simwire::kMaxReportSize];
    const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return;
    }
    if (n <= 0) {  // the client closed its end
        auto it = std::find(iface.connections.begin(), iface.connections.end(), fd);
        if (it != iface.connections.end()) {
            ::close(fd);
            iface.connections.erase(it);
        }
        dirty_ = true;
        return;
    }
    const auto size = static_cast<size_t>(n);
    if (!iface.config) {
        return;  // e.g. keyboard LED output reports on interface 0: nothing to emulate
    }
    if (buf[0] == frame::kConfigReportId) {
        HandleRequest(iface, buf, size);
    } else if (iface.model == Model::Headset && buf[0] == kHeadsetLedReportId) {
        std::array<uint8_t, kHeadsetLedReportSize> report{};
        std::copy_n(buf, std::min(size, report.size()), report.begin());
        if (headset_reports_.size() < kHeadsetReportLogSize) {
            headset_reports_.push_back(report);
        } else {
            headset_reports_[headset_next_] = report;
            headset_next_ = (headset_next_ + 1) % kHeadsetReportLogSize;
        }
        if (traffic_on_) {
            Traffic("->", iface.model, iface.link, buf, size);
        }
    }
}

void Simulator::HandleRequest(Interface& iface, const uint8_t* data, size_t size) {
    DeviceState& d = State(iface.model);
    Request req{iface.link, {}};
    std::copy_n(data, std::min(size, req.frame.size()), req.frame.begin());
    ++d.received;
    if (d.log.size() < kRequestLogSize) {
        d.log.push_back(req);
    } else {
        d.log[d.log_next] = req;
        d.log_next = (d.log_next + 1) % kRequestLogSize;
    }
    if (traffic_on_) {
        Traffic("->", iface.model, iface.link, data, size);
    }

    bool silence = false, wrong_echo = false, rejected = false, failed = false;
    bool unreachable = false, unplug = false, bad_sum = false;
    int delay_ms = 0;
    for (auto it = d.faults.begin(); it != d.faults.end();) {
        Fault& f = *it;
        if (f.link && *f.link != iface.link) {
            ++it;
            continue;
        }
        if (f.skip > 0) {
            --f.skip;
            ++it;
            continue;
        }
        switch (f.kind) {
            case FaultKind::Silence:
                silence = true;
                break;
            case FaultKind::WrongEcho:
                wrong_echo = true;
                break;
            case FaultKind::StatusRejected:
                rejected = true;
                break;
            case FaultKind::StatusFailed:
                failed = true;
                break;
            case FaultKind::ReceiverUnreachable:
                unreachable = true;
                break;
            case FaultKind::Delay:
                delay_ms = std::max(delay_ms, f.delay_ms);
                break;
            case FaultKind::UnplugMidTransfer:
                unplug = true;
                break;
            case FaultKind::BadReplyChecksum:
                bad_sum = true;
                break;
        }
        if (f.count > 0) {
            --f.count;
        }
        it = f.count == 0 ? d.faults.erase(it) : it + 1;
    }
    if (unplug) {
        UnplugLocked(iface.model, iface.link);  // `iface` is retired from here on
        return;
    }
    if (silence) {
        return;
    }

    Frame reply{};
    const bool receiver_down = iface.link == Link::Receiver && !receiver_linked_;
    if (unreachable || receiver_down || rejected || failed) {
        // Answered without reaching the firmware: nothing is applied.
        reply[frame::kReportId] = frame::kConfigReportId;
        std::copy_n(&req.frame[frame::kCommand], 4, &reply[frame::kCommand]);
        if (unreachable || receiver_down) {
            reply[frame::kCommand] = cmd::kLinkQuery;  // byte 8 stays 0: not reachable
        } else {
            reply[frame::kStatus] = rejected ? status::kRejected : status::kFailed;
        }
        SetFrameChecksum(reply);
    } else {
        d.firmware.Handle(req.frame, iface.link, reply);
    }
    if (wrong_echo) {
        uint8_t other = static_cast<uint8_t>(reply[frame::kCommand] ^ 0x40);
        reply[frame::kCommand] = other == cmd::kLinkQuery ? uint8_t{0xAB} : other;
        SetFrameChecksum(reply);
    }
    if (bad_sum) {
        WriteLe16(&reply[frame::kChecksum], static_cast<uint16_t>(FrameChecksum(reply) + 1));
    }

    // Replies leave in order: one that follows a delayed reply waits for it.
    Clock::time_point& last_due = d.last_due[LinkIndex(iface.link)];
    const Clock::time_point now = Clock::now();
    if (delay_ms > 0 || last_due > now) {
        const Clock::time_point due = std::max(now + std::chrono::milliseconds(delay_ms), last_due);
        last_due = due;
        auto pos =
            std::upper_bound(pending_.begin(), pending_.end(), due,
                             [](Clock::time_point t, const Pending& p) { return t < p.due; });
        pending_.insert(pos, Pending{due, iface.id, reply});
        return;
    }
    if (traffic_on_) {
        Traffic("<-", iface.model, iface.link, reply.data(), reply.size());
    }
    Broadcast(iface, reply.data(), reply.size());
}

void Simulator::Broadcast(Interface& iface, const uint8_t* data, size_t size) {
    // A client that does not read loses reports once its buffer is full, as with hidraw.
    for (int fd : iface.connections) {
        [[maybe_unused]] const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    }
}

int Simulator::NextTimeoutMs() const {
    if (pending_.empty()) {
        return -1;
    }
    const auto left = pending_.front().due - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

void Simulator::FireTimers() {
    const Clock::time_point now = Clock::now();
    size_t done = 0;
    while (done < pending_.size() && pending_[done].due <= now) {
        const Pending& p = pending_[done++];
        for (auto& iface : interfaces_) {
            if (iface->id == p.interface_id) {
                if (traffic_on_) {
                    Traffic("<-", iface->model, iface->link, p.reply.data(), p.reply.size());
                }
                Broadcast(*iface, p.reply.data(), p.reply.size());
                break;
            }
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(done));
}

void Simulator::Traffic(const char* direction, Model model, Link link, const uint8_t* data,
                        size_t size) {
    std::string line;
    line.reserve(40 + size * 3);
    line += ModelName(model);
    line += '/';
    line += LinkName(link);
    line += ' ';
    line += direction;
    char hex[4];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(hex, sizeof hex, " %02x", data[i]);
        line += hex;
    }
    traffic_lines_.push_back(std::move(line));
}

}  // namespace zepho7::sim
