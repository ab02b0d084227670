#include "transport/hid_interface.h"

#include <dirent.h>
#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "base/le.h"
#include "base/simwire.h"

namespace zepho7::hid {

namespace {

constexpr int kHelloTimeoutMs = 1000;
constexpr size_t kMaxSysfsDescriptor = 4096;

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string_view NodeOf(std::string_view path) {
    return path.substr(0, path.find('#'));
}

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct FdCloser {
    int fd = -1;
    ~FdCloser() {
        if (fd >= 0)
            ::close(fd);
    }
};

// What the program needs to know about one node before it opens a collection on it.
struct NodeIdentity {
    std::string node;
    Attributes attributes;
    int interface_number = -1;  // -1: not a USB interface
    std::vector<uint8_t> descriptor;
};

bool ReadSmallFile(const std::string& path, std::vector<uint8_t>& out, size_t limit) {
    FdCloser f{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (f.fd < 0)
        return false;
    out.resize(limit);
    size_t used = 0;
    while (used < limit) {
        const ssize_t n = ::read(f.fd, out.data() + used, limit - used);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        used += static_cast<size_t>(n);
    }
    out.resize(used);
    return true;
}

std::string ReadSmallText(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadSmallFile(path, bytes, 4096))
        return {};
    return std::string(bytes.begin(), bytes.end());
}

uint32_t ParseHex(std::string_view text) {
    uint32_t value = 0;
    for (char c : text) {
        const int d = HexDigit(c);
        if (d < 0)
            break;
        value = value * 16 + static_cast<uint32_t>(d);
    }
    return value;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr)
        return {};
    return resolved;
}

// Identity of /dev/<name> from sysfs, which needs no access to the node itself.
bool HidrawIdentityFromSysfs(const std::string& name, NodeIdentity& id) {
    const std::string hid_dir = "/sys/class/hidraw/" + name + "/device";
    const std::string uevent = ReadSmallText(hid_dir + "/uevent");
    // HID_ID=0003:0000320F:0000223C (bus, vendor, product)
    const size_t at = uevent.find("HID_ID=");
    if (at == std::string::npos)
        return false;
    std::string_view rest = std::string_view(uevent).substr(at + 7);
    const size_t c1 = rest.find(':');
    if (c1 == std::string_view::npos)
        return false;
    const size_t c2 = rest.find(':', c1 + 1);
    if (c2 == std::string_view::npos)
        return false;
    id.attributes.vendor_id = static_cast<uint16_t>(ParseHex(rest.substr(c1 + 1, c2 - c1 - 1)));
    id.attributes.product_id = static_cast<uint16_t>(ParseHex(rest.substr(c2 + 1)));
    if (!ReadSmallFile(hid_dir + "/report_descriptor", id.descriptor, kMaxSysfsDescriptor)) {
        id.descriptor.clear();
    }
    // The HID device sits below its USB interface, which sits below the USB device.
    const std::string interface_dir = RealPath(hid_dir + "/..");
    const std::string number = ReadSmallText(interface_dir + "/bInterfaceNumber");
    if (!number.empty()) {
        id.interface_number = static_cast<int>(ParseHex(number));
        id.attributes.version_number =
            static_cast<uint16_t>(ParseHex(ReadSmallText(interface_dir + "/../bcdDevice")));
    }
    id.node = "/dev/" + name;
    return true;
}

int ConnectSimSocket(const std::string& node) {
    sockaddr_un address{};
    if (node.size() >= sizeof address.sun_path)
        return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, node.c_str(), node.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The simulator introduces every connection with its identity and descriptor.
bool ReadSimHello(int fd, NodeIdentity& id) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kHelloTimeoutMs) != 1 || (p.revents & POLLIN) == 0)
        return false;
    uint8_t message[simwire::kMaxHelloSize];
    const ssize_t n = ::recv(fd, message, sizeof message, 0);
    if (n < static_cast<ssize_t>(sizeof(simwire::Hello)))
        return false;
    if (std::memcmp(message, simwire::kMagic, sizeof simwire::kMagic) != 0)
        return false;
    const uint8_t* h = message;
    const size_t length = ReadLe16(h + offsetof(simwire::Hello, descriptor_length));
    if (length > static_cast<size_t>(n) - sizeof(simwire::Hello))
        return false;
    id.attributes.vendor_id = ReadLe16(h + offsetof(simwire::Hello, vendor_id));
    id.attributes.product_id = ReadLe16(h + offsetof(simwire::Hello, product_id));
    id.attributes.version_number = ReadLe16(h + offsetof(simwire::Hello, release_number));
    id.interface_number = h[offsetof(simwire::Hello, interface_number)];
    id.descriptor.assign(h + sizeof(simwire::Hello), h + sizeof(simwire::Hello) + length);
    return true;
}

std::vector<std::string> ListHidrawNames() {
    std::vector<std::string> names;
    if (udev* u = udev_new()) {
        if (udev_enumerate* e = udev_enumerate_new(u)) {
            if (udev_enumerate_add_match_subsystem(e, "hidraw") == 0 &&
                udev_enumerate_scan_devices(e) == 0) {
                udev_list_entry* entry = nullptr;
                udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e)) {
                    const char* syspath = udev_list_entry_get_name(entry);
                    if (const char* slash = std::strrchr(syspath, '/'))
                        names.emplace_back(slash + 1);
                }
            }
            udev_enumerate_unref(e);
        }
        udev_unref(u);
        return names;
    }
    if (DIR* dir = ::opendir("/sys/class/hidraw")) {  // no udev: read sysfs directly
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strncmp(entry->d_name, "hidraw", 6) == 0)
                names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }
    return names;
}

// hidraw2 before hidraw10.
bool NodeNameLess(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

std::vector<std::string> ListSimSockets() {
    std::vector<std::string> sockets;
    const char* dir_name = std::getenv("ZEPHO7_SIM_DIR");
    if (dir_name == nullptr || dir_name[0] == '\0')
        return sockets;
    DIR* dir = ::opendir(dir_name);
    if (dir == nullptr)
        return sockets;
    const std::string_view suffix = simwire::kSocketSuffix;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() > suffix.size() && name.substr(name.size() - suffix.size()) == suffix) {
            sockets.push_back(std::string(dir_name) + "/" + std::string(name));
        }
    }
    ::closedir(dir);
    std::sort(sockets.begin(), sockets.end());
    return sockets;
}

void AppendPaths(const NodeIdentity& id, std::vector<std::string>& out) {
    Descriptor descriptor;
    size_t collections = 1;
    if (ParseReportDescriptor(id.descriptor, descriptor) == ParseResult::kOk &&
        !descriptor.collections.empty()) {
        collections = descriptor.collections.size();
    }
    char suffix[64];
    int n = std::snprintf(suffix, sizeof suffix, "#vid_%04x&pid_%04x", id.attributes.vendor_id,
                          id.attributes.product_id);
    if (id.interface_number >= 0) {
        n += std::snprintf(suffix + n, sizeof suffix - static_cast<size_t>(n), "&mi_%02x",
                           id.interface_number);
    }
    if (collections == 1) {
        out.push_back(id.node + suffix);
        return;
    }
    for (size_t c = 1; c <= collections; ++c) {
        char col[16];
        std::snprintf(col, sizeof col, "&col%02zx", c);
        out.push_back(id.node + suffix + col);
    }
}

}  // namespace

uint32_t ParseHexAfter(std::string_view path, std::string_view marker) {
    if (marker.empty() || path.size() < marker.size())
        return 0;
    for (size_t i = 0; i + marker.size() <= path.size(); ++i) {
        bool equal = true;
        for (size_t k = 0; k < marker.size() && equal; ++k) {
            equal = LowerAscii(path[i + k]) == LowerAscii(marker[k]);
        }
        if (equal)
            return ParseHex(path.substr(i + marker.size()));
    }
    return 0;
}

HidInterface::HidInterface() : cancel_fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

HidInterface::~HidInterface() {
    Close();
    if (cancel_fd_ >= 0)
        ::close(cancel_fd_);
}

bool HidInterface::Enumerate() {
    FreePathList();
    for (const std::string& name : [] {
             auto names = ListHidrawNames();
             std::sort(names.begin(), names.end(), NodeNameLess);
             return names;
         }()) {
        NodeIdentity id;
        if (HidrawIdentityFromSysfs(name, id))
            AppendPaths(id, path_list_);
    }
    for (const std::string& socket : ListSimSockets()) {
        FdCloser f{ConnectSimSocket(socket)};
        NodeIdentity id;
        id.node = socket;
        if (f.fd >= 0 && ReadSimHello(f.fd, id))
            AppendPaths(id, path_list_);
    }
    return true;
}

const char* HidInterface::NextPath() {
    if (path_cursor_ >= path_list_.size())
        return nullptr;
    return path_list_[path_cursor_++].c_str();
}

void HidInterface::FreePathList() {
    path_list_.clear();
    path_list_.shrink_to_fit();
    path_cursor_ = 0;
}

bool HidInterface::PathPresent(std::string_view path) {
    const std::string node(NodeOf(path));
    struct stat st {};
    return !node.empty() && ::stat(node.c_str(), &st) == 0;
}

bool HidInterface::Open(std::string_view path, bool want_read, bool want_write, bool overlapped,
                        bool exclusive) {
    std::unique_lock lock(io_mutex_);
    // Release whatever is open: outstanding I/O is cancelled and waited for first.
    if (active_io_ > 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t w = ::write(cancel_fd_, &one, sizeof one);
        io_idle_.wait(lock, [this] { return active_io_ == 0; });
    }
    Release();
    want_read_ = want_read;
    want_write_ = want_write;
    overlapped_ = overlapped;
    exclusive_ = exclusive;
    device_path_.assign(path);
    return OpenNode(NodeOf(path), want_read, want_write);
}

bool HidInterface::OpenNode(std::string_view node_view, bool want_read, bool want_write) {
    const std::string node(node_view);
    interface_number_ = static_cast<int>(ParseHexAfter(device_path_, "&mi_"));
    collection_number_ = static_cast<int>(ParseHexAfter(device_path_, "&col"));

    struct stat st {};
    if (node.empty() || ::stat(node.c_str(), &st) != 0)
        return false;
    NodeIdentity id;
    int fd = -1;
    if (S_ISSOCK(st.st_mode)) {
        fd = ConnectSimSocket(node);
        if (fd < 0 || !ReadSimHello(fd, id)) {
            if (fd >= 0)
                ::close(fd);
            return false;
        }
        is_socket_ = true;
    } else if (S_ISCHR(st.st_mode)) {
        if (want_read || want_write) {
            const int mode = want_read && want_write ? O_RDWR : (want_write ? O_WRONLY : O_RDONLY);
            fd = ::open(node.c_str(), mode | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0)
                return false;
            hidraw_devinfo info{};
            int size = 0;
            hidraw_report_descriptor raw{};
            if (::ioctl(fd, HIDIOCGRAWINFO, &info) != 0 ||
                ::ioctl(fd, HIDIOCGRDESCSIZE, &size) != 0 || size < 0 ||
                size > HID_MAX_DESCRIPTOR_SIZE) {
                ::close(fd);
                return false;
            }
            raw.size = static_cast<uint32_t>(size);
            if (::ioctl(fd, HIDIOCGRDESC, &raw) != 0) {
                ::close(fd);
                return false;
            }
            id.attributes.vendor_id = static_cast<uint16_t>(info.vendor);
            id.attributes.product_id = static_cast<uint16_t>(info.product);
            id.descriptor.assign(raw.value, raw.value + raw.size);
            const std::string name = node.substr(node.rfind('/') + 1);
            NodeIdentity sysfs;
            if (HidrawIdentityFromSysfs(name, sysfs)) {
                id.attributes.version_number = sysfs.attributes.version_number;
            }
        } else {
            const std::string name = node.substr(node.rfind('/') + 1);
            if (!HidrawIdentityFromSysfs(name, id))
                return false;
        }
        is_socket_ = false;
    } else {
        return false;
    }

    Descriptor descriptor;
    const size_t index = collection_number_ > 0 ? static_cast<size_t>(collection_number_ - 1) : 0;
    if (ParseReportDescriptor(id.descriptor, descriptor) != ParseResult::kOk ||
        index >= descriptor.collections.size()) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    if (is_socket_ && !want_read && !want_write) {
        ::close(fd);  // identity only
        fd = -1;
    }
    collection_ = std::move(descriptor.collections[index]);
    numbered_reports_ = descriptor.uses_report_ids;
    attributes_ = id.attributes;

    const ReportCaps& in = collection_.Caps(ReportType::kInput);
    const ReportCaps& out = collection_.Caps(ReportType::kOutput);
    const ReportCaps& feature = collection_.Caps(ReportType::kFeature);
    caps_ = Caps{collection_.usage,
                 collection_.usage_page,
                 in.byte_length,
                 out.byte_length,
                 feature.byte_length,
                 static_cast<uint16_t>(in.buttons.size()),
                 static_cast<uint16_t>(in.values.size()),
                 static_cast<uint16_t>(out.buttons.size()),
                 static_cast<uint16_t>(out.values.size()),
                 static_cast<uint16_t>(feature.buttons.size()),
                 static_cast<uint16_t>(feature.values.size())};
    input_report_.assign(in.byte_length, 0);
    output_report_.assign(out.byte_length, 0);
    feature_report_.assign(feature.byte_length, 0);
    BuildDataItems(collection_, ReportType::kInput, input_items_);
    BuildDataItems(collection_, ReportType::kOutput, output_items_);
    BuildDataItems(collection_, ReportType::kFeature, feature_items_);
    fd_ = fd;
    open_ = true;
    return true;
}

void BuildDataItems(const Collection& collection, ReportType type,
                    std::vector<HidDataItem>& items) {
    const ReportCaps& caps = collection.Caps(type);
    items.clear();
    size_t count = caps.buttons.size();
    for (const Capability& v : caps.values)
        count += v.usage_max - v.usage_min + 1u;
    items.reserve(count);
    for (size_t i = 0; i < caps.buttons.size(); ++i) {
        const Capability& b = caps.buttons[i];
        HidDataItem item;
        item.is_button_data = true;
        item.usage_page = b.usage_page;
        item.report_id = b.report_id;
        item.usage_min = b.usage_min;
        item.usage_max = b.usage_max;
        // As many usages as all button fields of this page can report at once.
        for (const Capability& other : caps.buttons) {
            if (other.usage_page == b.usage_page)
                item.max_usage_list_length += other.report_count;
        }
        item.usage_list.assign(item.max_usage_list_length, 0);
        item.cap_index = static_cast<uint16_t>(i);
        items.push_back(std::move(item));
    }
    for (size_t i = 0; i < caps.values.size(); ++i) {
        const Capability& v = caps.values[i];
        for (uint32_t u = v.usage_min; u <= v.usage_max; ++u) {
            HidDataItem item;
            item.usage_page = v.usage_page;
            item.report_id = v.report_id;
            item.usage = static_cast<uint16_t>(u);
            item.cap_index = static_cast<uint16_t>(i);
            item.element = static_cast<uint16_t>(u - v.usage_min);
            items.push_back(std::move(item));
        }
    }
}

void HidInterface::Release() {
    open_ = false;
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    uint64_t drained = 0;
    [[maybe_unused]] const ssize_t r = ::read(cancel_fd_, &drained, sizeof drained);
    collection_ = Collection{};
    caps_ = Caps{};
    attributes_ = Attributes{};
    input_report_.clear();
    output_report_.clear();
    feature_report_.clear();
    input_items_.clear();
    output_items_.clear();
    feature_items_.clear();
}

void HidInterface::Close() {
    std::unique_lock lock(io_mutex_);
    if (active_io_ > 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t w = ::write(cancel_fd_, &one, sizeof one);
        io_idle_.wait(lock, [this] { return active_io_ == 0; });
    }
    Release();
}

bool HidInterface::BeginIo(int& fd) {
    std::lock_guard lock(io_mutex_);
    if (!open_ || fd_ < 0)
        return false;
    fd = fd_;
    ++active_io_;
    return true;
}

void HidInterface::EndIo() {
    std::lock_guard lock(io_mutex_);
    if (--active_io_ == 0)
        io_idle_.notify_all();
}

// Waits until `fd` is ready for `events`; false on time-out, cancel, or a vanished node.
bool HidInterface::WaitFor(int fd, short events, int timeout_ms, int64_t deadline_ns) {
    pollfd set[2] = {{cancel_fd_, POLLIN, 0}, {fd, events, 0}};
    for (;;) {
        int wait_ms = -1;
        if (timeout_ms >= 0) {
            const int64_t left = deadline_ns - NowNs();
            wait_ms = left <= 0 ? 0 : static_cast<int>((left + 999'999) / 1'000'000);
        }
        const int n = ::poll(set, 2, wait_ms);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        if (set[0].revents != 0)
            return false;
        if (set[1].revents & events)
            return true;
        return false;  // POLLHUP, POLLERR, POLLNVAL: the device is gone
    }
}

bool HidInterface::Read(uint8_t* buffer, size_t length, size_t* bytes_read, int timeout_ms) {
    if (bytes_read != nullptr)
        *bytes_read = 0;
    int fd = -1;
    if (buffer == nullptr || length < 2 || !BeginIo(fd))
        return false;
    reading_ = true;
    const int64_t deadline = NowNs() + int64_t{timeout_ms} * 1'000'000;
    bool ok = false;
    // Unnumbered reports get a 0 in front so byte 0 is always the report id.
    uint8_t* target = numbered_reports_ ? buffer : buffer + 1;
    const size_t capacity = numbered_reports_ ? length : length - 1;
    for (;;) {
        // Try first: the device's thread often has the reply ready by the time we get here.
        const ssize_t n =
            is_socket_ ? ::recv(fd, target, capacity, MSG_DONTWAIT) : ::read(fd, target, capacity);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            if (!WaitFor(fd, POLLIN, timeout_ms, deadline))
                break;
            continue;
        }
        if (n <= 0)
            break;  // error, or the peer closed: the node is gone
        if (!numbered_reports_)
            buffer[0] = 0;
        if (numbered_reports_ && !collection_.HasReportId(buffer[0]))
            continue;  // another collection's
        if (bytes_read != nullptr)
            *bytes_read = static_cast<size_t>(n) + (numbered_reports_ ? 0 : 1);
        ok = true;
        break;
    }
    reading_ = false;
    EndIo();
    return ok;
}

bool HidInterface::Write(const uint8_t* buffer, size_t length, size_t* bytes_written,
                         int timeout_ms) {
    if (bytes_written != nullptr)
        *bytes_written = 0;
    int fd = -1;
    if (buffer == nullptr || length == 0 || !BeginIo(fd))
        return false;
    writing_ = true;
    const int64_t deadline = NowNs() + int64_t{timeout_ms} * 1'000'000;
    bool ok = false;
    for (;;) {
        const ssize_t n = is_socket_ ? ::send(fd, buffer, length, MSG_DONTWAIT | MSG_NOSIGNAL)
                                     : ::write(fd, buffer, length);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            if (!WaitFor(fd, POLLOUT, timeout_ms, deadline))
                break;
            continue;
        }
        if (n < 0)
            break;
        if (bytes_written != nullptr)
            *bytes_written = static_cast<size_t>(n);
        ok = static_cast<size_t>(n) == length;
        break;
    }
    writing_ = false;
    EndIo();
    return ok;
}

namespace {

// Little-endian bit field of up to 32 bits starting `bit` bits after the report id byte.
bool ExtractBits(const uint8_t* report, size_t length, uint64_t bit, unsigned size,
                 uint32_t& value) {
    const uint64_t end = 8 + bit + size;  // 8: the report id byte
    if (end > uint64_t{length} * 8)
        return false;
    value = 0;
    for (unsigned i = 0; i < size; ++i) {
        const uint64_t b = 8 + bit + i;
        if ((report[b / 8] >> (b % 8)) & 1)
            value |= uint32_t{1} << i;
    }
    return true;
}

int32_t SignExtend(uint32_t value, unsigned size) {
    if (size >= 32)
        return static_cast<int32_t>(value);
    const uint32_t sign = uint32_t{1} << (size - 1);
    return static_cast<int32_t>((value ^ sign)) - static_cast<int32_t>(sign);
}

}  // namespace

bool HidInterface::UnpackInputReport(const uint8_t* report, size_t length) {
    return UnpackReport(collection_, input_items_, report, length);
}

bool UnpackReport(const Collection& collection, std::span<HidDataItem> items, const uint8_t* report,
                  size_t length) {
    if (report == nullptr || length == 0)
        return false;
    const ReportCaps& caps = collection.Caps(ReportType::kInput);
    const uint8_t id = report[0];
    for (HidDataItem& item : items) {
        if (item.report_id != id)
            continue;
        if (item.is_button_data) {
            // Every usage of this page that is on in the report, kept when in the item's range.
            item.status = HidStatus::kSuccess;
            size_t used = 0;
            for (const Capability& cap : caps.buttons) {
                if (cap.usage_page != item.usage_page || cap.report_id != id)
                    continue;
                for (unsigned e = 0; e < cap.report_count; ++e) {
                    uint32_t raw = 0;
                    if (!ExtractBits(report, length, cap.bit_offset + uint64_t{e} * cap.report_size,
                                     cap.report_size, raw)) {
                        item.status = HidStatus::kReportTooShort;
                        break;
                    }
                    uint32_t usage = 0;
                    if (cap.is_array) {
                        const int64_t v =
                            cap.logical_min < 0 ? SignExtend(raw, cap.report_size) : int64_t{raw};
                        if (v < cap.logical_min || v > cap.logical_max)
                            continue;
                        usage = cap.usage_min + static_cast<uint32_t>(v - cap.logical_min);
                        if (usage > cap.usage_max)
                            continue;
                    } else {
                        if (raw == 0)
                            continue;
                        usage = cap.is_range ? cap.usage_min + e : cap.usage_min;
                    }
                    if (usage == 0 || usage < item.usage_min || usage > item.usage_max)
                        continue;
                    if (used == item.usage_list.size()) {
                        item.status = HidStatus::kBufferTooSmall;
                        break;
                    }
                    item.usage_list[used++] = static_cast<uint16_t>(usage);
                }
            }
            if (used < item.usage_list.size())
                item.usage_list[used] = 0;
        } else {
            const Capability& cap = caps.values[item.cap_index];
            uint32_t raw = 0;
            if (!ExtractBits(report, length,
                             cap.bit_offset + uint64_t{item.element} * cap.report_size,
                             cap.report_size, raw)) {
                item.status = HidStatus::kReportTooShort;
                return false;
            }
            item.raw_value =
                cap.logical_min < 0 ? SignExtend(raw, cap.report_size) : static_cast<int32_t>(raw);
            item.status = HidStatus::kSuccess;
            int64_t pmin = cap.physical_min;
            int64_t pmax = cap.physical_max;
            if (pmin == 0 && pmax == 0) {
                pmin = cap.logical_min;
                pmax = cap.logical_max;
            }
            if (cap.logical_max <= cap.logical_min || item.raw_value < cap.logical_min ||
                item.raw_value > cap.logical_max) {
                item.status = HidStatus::kValueOutOfRange;
                item.scaled_value = 0;
            } else {
                const int64_t span = int64_t{cap.logical_max} - cap.logical_min;
                item.scaled_value = static_cast<int32_t>(
                    pmin + (int64_t{item.raw_value} - cap.logical_min) * (pmax - pmin) / span);
            }
        }
        item.is_data_set = true;
    }
    return true;
}

}  // namespace zepho7::hid
