#include "transport/device_transceiver.h"

#include <cstring>

#include "base/le.h"
#include "base/trace.h"

namespace zepho7 {

uint16_t FrameChecksum(const uint8_t* frame) {
    uint32_t sum = 0;
    for (size_t i = 3; i < kFrameSize; ++i)
        sum += frame[i];
    return static_cast<uint16_t>(sum & 0xFFFF);
}

void SetFrameChecksum(uint8_t* frame) {
    WriteLe16(frame + 1, FrameChecksum(frame));
}

namespace {

// Marker line, then the frame as two lines of 32 bytes in groups of four.
void TraceFrame(const char* marker, const uint8_t* f) {
    Z7_TRACE("%s", marker);
    for (int half = 0; half < 2; ++half) {
        const uint8_t* b = f + half * 32;
        Z7_TRACE(
            "%02x %02x %02x %02x   %02x %02x %02x %02x   %02x %02x %02x %02x   %02x %02x %02x "
            "%02x  %02x %02x %02x %02x  %02x %02x %02x %02x  %02x %02x %02x %02x  %02x %02x %02x "
            "%02x",
            b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
            b[14], b[15], b[16], b[17], b[18], b[19], b[20], b[21], b[22], b[23], b[24], b[25],
            b[26], b[27], b[28], b[29], b[30], b[31]);
    }
}

// The smallest reply that carries a command echo and a status byte.
constexpr size_t kMinReply = 8;
constexpr uint8_t kReceiverUnreachable = 0xAA;

}  // namespace

DeviceTransceiver::DeviceTransceiver() = default;

void DeviceTransceiver::SetLinkMode(int mode) {
    const bool wireless = mode == kLinkModeWireless;
    wireless_.store(wireless, std::memory_order_release);
    chunk_size_.store(wireless ? kWirelessChunk : kWiredChunk, std::memory_order_release);
}

bool DeviceTransceiver::SetDataLength(uint16_t length) {
    if (length > kMaxDataLength)
        return false;
    data_length_.store(length, std::memory_order_release);
    return true;
}

int DeviceTransceiver::Exchange(const uint8_t* request, size_t request_length, uint8_t* reply,
                                size_t reply_length, size_t* bytes_read) {
    return Run(request, request_length, reply, reply_length, bytes_read, true);
}

int DeviceTransceiver::ExchangeQuiet(const uint8_t* request, size_t request_length, uint8_t* reply,
                                     size_t reply_length, size_t* bytes_read) {
    return Run(request, request_length, reply, reply_length, bytes_read, false);
}

int DeviceTransceiver::ExchangeUnder(OuterLock outer, bool quiet, const uint8_t* request,
                                     uint8_t* reply, size_t* bytes_read) {
    std::unique_lock<std::mutex> lock;
    if (outer == OuterLock::kCommand) {
        lock = std::unique_lock(command_lock_);
    } else if (outer == OuterLock::kLight) {
        lock = std::unique_lock(light_lock_);
    }
    return Run(request, kFrameSize, reply, kFrameSize, bytes_read, !quiet);
}

int DeviceTransceiver::Run(const uint8_t* request, size_t request_length, uint8_t* reply,
                           size_t reply_length, size_t* bytes_read, bool traced) {
    busy_.fetch_add(1, std::memory_order_acq_rel);
    size_t ignored = 0;
    size_t& got = bytes_read != nullptr ? *bytes_read : ignored;
    got = 0;
    int result = kResultReadFailed;
    if (IsOpen() && request != nullptr && reply != nullptr && reply_length > 0) {
        uint8_t frame[kFrameSize] = {};
        std::memcpy(frame, request, request_length < kFrameSize ? request_length : kFrameSize);
        if (traced)
            TraceFrame("命令", frame);

        const bool wireless = IsWireless();
        hid::HidInterface& link = wireless ? wireless_interface_ : wired_;
        const int timeout = wireless ? wireless_timeout_ms_ : wired_timeout_ms_;
        // One lock over the write and the read: with the lock released in between, a light
        // frame's exchange could read this request's reply (and this one the frame's), leaving
        // one of them to wait out two read time-outs for a reply already taken.
        std::lock_guard lock(exchange_lock_);
        size_t sent = 0;
        const bool written = link.Write(frame, kFrameSize, &sent, timeout);
        if (!written) {
            result = kResultWriteFailed;
        } else {
            // A stray reply (to a request whose reader gave up) is skipped once; a second
            // mismatch is handed to the caller, who judges its status byte.
            for (int reads = 0; reads < 2; ++reads) {
                std::memset(reply, 0, reply_length);
                // A failed read, or one too short to carry an echo and a status, counts as
                // a mismatch: the second read may still bring the reply.
                const bool ok = link.Read(reply, reply_length, &got, timeout) && got >= kMinReply;
                result = ok ? kResultOk : kResultReadFailed;
                if (ok && reply[3] == frame[3])
                    break;
                if (ok && wireless && reply[3] == kReceiverUnreachable) {
                    result = kResultUnreachable;
                    break;
                }
            }
        }
        if (traced && written) {
            uint8_t shown[kFrameSize] = {};
            std::memcpy(shown, reply, reply_length < kFrameSize ? reply_length : kFrameSize);
            TraceFrame("返回", shown);
        }
        if (traced && result != kResultOk) {
            Z7_TRACE("exchange 0x%02x with %s failed: %d", frame[3],
                     label_.empty() ? "device" : label_.c_str(), result);
        }
    }
    busy_.fetch_sub(1, std::memory_order_acq_rel);
    return result;
}

}  // namespace zepho7
