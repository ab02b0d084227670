// Whatever a device answers, the commands return one of their result codes and never read
// or write outside their buffers. A tiny device behind a simulator-style socket answers each
// request with the next reply from the input: a length byte (replies up to 255 bytes; 0 means
// no answer at all), then that many bytes. Once the input is used up it answers properly.
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/le.h"
#include "base/simwire.h"
#include "transport/commands.h"

namespace {

using namespace zepho7;

// Interface 1's vendor collection: report id 4, 63 bytes each way.
constexpr uint8_t kDescriptor[] = {0x06, 0x1C, 0xFF, 0x09, 0x92, 0xA1, 0x01, 0x85, 0x04,
                                   0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x3F,
                                   0x09, 0x01, 0x81, 0x02, 0x09, 0x02, 0x91, 0x02, 0xC0};

class ScriptedDevice {
  public:
    ScriptedDevice() {
        char pattern[] = "/tmp/zepho7-fuzz-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        node_ = dir_ + "/device.sock";
        listen_fd_ = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, node_.c_str(), sizeof address.sun_path - 1);
        if (::bind(listen_fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listen_fd_, 8) != 0) {
            std::abort();
        }
        std::thread([this] { Serve(); }).detach();  // lives as long as the fuzzing process
    }

    std::string Path() const { return node_ + "#vid_320f&pid_223c&mi_01&col01"; }

    void SetScript(std::vector<std::vector<uint8_t>> replies) {
        std::lock_guard lock(mutex_);
        script_ = std::move(replies);
        next_ = 0;
    }

  private:
    void Serve() {
        for (;;) {
            const int fd = ::accept(listen_fd_, nullptr, nullptr);
            if (fd < 0)
                continue;
            uint8_t hello[sizeof(simwire::Hello) + sizeof kDescriptor] = {};
            std::memcpy(hello, simwire::kMagic, sizeof simwire::kMagic);
            WriteLe16(hello + offsetof(simwire::Hello, vendor_id), 0x320F);
            WriteLe16(hello + offsetof(simwire::Hello, product_id), 0x223C);
            hello[offsetof(simwire::Hello, interface_number)] = 1;
            WriteLe16(hello + offsetof(simwire::Hello, descriptor_length), sizeof kDescriptor);
            std::memcpy(hello + sizeof(simwire::Hello), kDescriptor, sizeof kDescriptor);
            ::send(fd, hello, sizeof hello, MSG_NOSIGNAL);
            uint8_t request[kFrameSize];
            while (::recv(fd, request, sizeof request, 0) > 0) {
                std::vector<uint8_t> reply;
                {
                    std::lock_guard lock(mutex_);
                    if (next_ < script_.size()) {
                        reply = script_[next_++];
                        if (reply.empty())
                            continue;  // silence
                    }
                }
                if (reply.empty()) {  // a well-behaved answer
                    reply.assign(request, request + kFrameSize);
                    reply[7] = 0;
                    reply[8] = 0xFF;
                }
                ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
            ::close(fd);
        }
    }

    std::string dir_;
    std::string node_;
    int listen_fd_ = -1;
    std::mutex mutex_;
    std::vector<std::vector<uint8_t>> script_;
    size_t next_ = 0;
};

bool IsResultCode(int r) {
    return r == kResultOk || r == kResultReadFailed || r == kResultWriteFailed ||
           r == kResultUnreachable || r == kResultRejected || r == kResultFailed;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ScriptedDevice device;
    std::vector<std::vector<uint8_t>> replies;
    for (size_t i = 0; i < size && replies.size() < 32;) {
        const size_t length = std::min<size_t>(data[i], size - i - 1);
        replies.emplace_back(data + i + 1, data + i + 1 + length);
        i += 1 + length;
    }
    device.SetScript(std::move(replies));

    for (const int mode : {0, kLinkModeWireless}) {
        DeviceTransceiver t;
        t.SetTimeouts(1, 1);  // silence is part of the input: keep it cheap
        hid::HidInterface& link = mode == 0 ? t.WiredInterface() : t.WirelessInterface();
        if (!link.Open(device.Path(), true, true, true, false))
            std::abort();
        t.SetLinkMode(mode);
        t.SetOpen(true);
        std::array<uint8_t, kDeviceInfoSize> info{};
        std::array<uint8_t, 80> block{};
        std::array<uint8_t, 6> power{};
        if (!IsResultCode(CmdReadDeviceInfo(t, info)))
            std::abort();
        if (!IsResultCode(CmdReadLight(t, block, 0x80)))
            std::abort();
        if (!IsResultCode(CmdReadPowerStatus(t, power, 0)))
            std::abort();
        [[maybe_unused]] const bool linked = CmdQueryLink(t);
        if (t.IsBusy())
            std::abort();
    }
    return 0;
}
