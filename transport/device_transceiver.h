// The carrier of a device's 64-byte request/reply exchanges, over the device's own
// configuration collection (cable) or the receiver's (wireless).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "transport/hid_interface.h"

namespace zepho7 {

// Result codes of exchanges and commands.
enum : int {
    kResultOk = 1,
    kResultReadFailed = 0,      // not open, or the read failed or timed out
    kResultWriteFailed = -1,    // the write failed or timed out
    kResultUnreachable = -101,  // the receiver answered 0xAA: the device behind it is away
    kResultRejected = -102,     // reply status 0xFF
    kResultFailed = -103,       // reply status 0xFE
    kResultBadBank = -201,      // refused before any traffic: bank or address out of range
};

inline constexpr size_t kFrameSize = 64;
inline constexpr uint8_t kReportId = 4;
inline constexpr uint16_t kMaxDataLength = 512;
inline constexpr uint32_t kWiredChunk = 56;
inline constexpr uint32_t kWirelessChunk = 24;
inline constexpr int kWiredTimeoutMs = 1000;
inline constexpr int kWirelessTimeoutMs = 5000;
inline constexpr int kLinkModeWireless = 2;

// Sum of bytes 3..63, stored little-endian in bytes 1..2; computed last.
uint16_t FrameChecksum(const uint8_t* frame);
void SetFrameChecksum(uint8_t* frame);

// Which lock a request/reply runs under besides the exchange lock. The outer lock is always
// taken first; the exchange lock is private to the transceiver, so the order cannot invert.
enum class OuterLock { kCommand, kLight, kNone };

class DeviceTransceiver {
  public:
    DeviceTransceiver();
    DeviceTransceiver(const DeviceTransceiver&) = delete;
    DeviceTransceiver& operator=(const DeviceTransceiver&) = delete;

    // 2 selects the receiver (chunks of 24); anything else the cable (chunks of 56).
    void SetLinkMode(int mode);
    // False, and no change, above 512.
    [[nodiscard]] bool SetDataLength(uint16_t length);

    // One request/reply, traced ("命令"/"返回" and the frames) when tracing is on.
    [[nodiscard]] int Exchange(const uint8_t* request, size_t request_length, uint8_t* reply,
                               size_t reply_length, size_t* bytes_read);
    // The same without the trace, for frames sent at frame rate.
    [[nodiscard]] int ExchangeQuiet(const uint8_t* request, size_t request_length, uint8_t* reply,
                                    size_t reply_length, size_t* bytes_read);
    // Takes `outer` (unless kNone), then exchanges; what the command functions use.
    [[nodiscard]] int ExchangeUnder(OuterLock outer, bool quiet, const uint8_t* request,
                                    uint8_t* reply, size_t* bytes_read);

    // Held by the link code while it reopens an interface; no exchange runs meanwhile.
    [[nodiscard]] std::unique_lock<std::mutex> LockExchanges() {
        return std::unique_lock(exchange_lock_);
    }
    // Guards a device's receiver notification collection; never taken with the others.
    std::mutex& NotificationLock() { return notification_lock_; }

    bool IsOpen() const { return open_.load(std::memory_order_acquire); }
    void SetOpen(bool open) { open_.store(open, std::memory_order_release); }
    bool IsWireless() const { return wireless_.load(std::memory_order_acquire); }
    bool IsBusy() const { return busy_.load(std::memory_order_acquire) > 0; }
    bool IsStreaming() const { return streaming_.load(std::memory_order_acquire); }
    void SetStreaming(bool streaming) { streaming_.store(streaming, std::memory_order_release); }
    uint32_t ChunkSize() const { return chunk_size_.load(std::memory_order_acquire); }
    uint16_t DataLength() const { return data_length_.load(std::memory_order_acquire); }
    hid::HidInterface& WiredInterface() { return wired_; }
    hid::HidInterface& WirelessInterface() { return wireless_interface_; }

    // Names the device in trace lines about failed exchanges.
    void SetLabel(std::string label) { label_ = std::move(label); }
    const std::string& Label() const { return label_; }
    // Shorter waits for tests of silent devices; the defaults are the devices' real limits.
    void SetTimeouts(int wired_ms, int wireless_ms) {
        wired_timeout_ms_ = wired_ms;
        wireless_timeout_ms_ = wireless_ms;
    }

  private:
    int Run(const uint8_t* request, size_t request_length, uint8_t* reply, size_t reply_length,
            size_t* bytes_read, bool traced);

    std::atomic<uint16_t> data_length_{kMaxDataLength};
    std::atomic<int> busy_{0};  // exchanges in progress (commands and light frames can overlap)
    std::atomic<bool> open_{false};
    std::atomic<bool> streaming_{false};
    hid::HidInterface wired_;
    hid::HidInterface wireless_interface_;
    std::mutex exchange_lock_;
    std::mutex notification_lock_;
    std::mutex command_lock_;
    std::mutex light_lock_;
    std::atomic<bool> wireless_{false};
    std::atomic<uint32_t> chunk_size_{kWirelessChunk};
    std::string label_;
    int wired_timeout_ms_ = kWiredTimeoutMs;
    int wireless_timeout_ms_ = kWirelessTimeoutMs;
};

}  // namespace zepho7
