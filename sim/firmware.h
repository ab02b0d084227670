// The firmware side of the 64-byte request/reply protocol: one memory model per emulated
// device, answering requests exactly as the device code of the program expects. The model
// knows nothing about sockets; the simulator feeds it frames.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace zepho7::sim {

enum class Model { Mouse, Keyboard, MousePad, Headset };
enum class Link { Cable, Receiver };

inline constexpr int kModelCount = 4;
inline constexpr int kFrameSize = 64;
inline constexpr int kMaxPayload = 56;
using Frame = std::array<uint8_t, kFrameSize>;

// Byte positions of the request and reply frame.
namespace frame {
inline constexpr int kReportId = 0;
inline constexpr int kChecksum = 1;  // 16-bit little-endian
inline constexpr int kCommand = 3;
inline constexpr int kLength = 4;
inline constexpr int kAddress = 5;  // 16-bit little-endian
inline constexpr int kStatus = 7;
inline constexpr int kPayload = 8;
inline constexpr uint8_t kConfigReportId = 4;
}  // namespace frame

// Command codes the firmware understands.
namespace cmd {
inline constexpr uint8_t kSessionBegin = 0x01;
inline constexpr uint8_t kSessionEnd = 0x02;
inline constexpr uint8_t kReadInfo = 0x03;
inline constexpr uint8_t kReadLight = 0x05;
inline constexpr uint8_t kWriteLight = 0x06;
inline constexpr uint8_t kReadKeys = 0x07;
inline constexpr uint8_t kWriteKeys = 0x09;
inline constexpr uint8_t kWriteFrame = 0x0B;
inline constexpr uint8_t kStreamFrame = 0x12;
inline constexpr uint8_t kWriteMacro = 0x15;
inline constexpr uint8_t kWriteRecoil = 0x17;
inline constexpr uint8_t kReadPower = 0x1A;
inline constexpr uint8_t kReadKeyAttributes = 0x1B;
inline constexpr uint8_t kLightNotice = 0x1C;
inline constexpr uint8_t kLinkQuery = 0xAA;
}  // namespace cmd

namespace status {
inline constexpr uint8_t kOk = 0x00;
inline constexpr uint8_t kRejected = 0xFF;
inline constexpr uint8_t kFailed = 0xFE;
}  // namespace status

// Sum of bytes 3..63 modulo 65536, the checksum of both directions.
[[nodiscard]] uint16_t FrameChecksum(const Frame& f) noexcept;
void SetFrameChecksum(Frame& f) noexcept;

// Memory areas of a device. Stream holds the last streamed light frame bytes.
enum class RegionId { Info, Keys, Light, LightFrame, Stream, Macro, Recoil, Power, Attrs };
inline constexpr int kRegionCount = 9;

[[nodiscard]] const char* ModelName(Model m) noexcept;  // "mouse", "keyboard", ...
[[nodiscard]] const char* LinkName(Link l) noexcept;    // "cable", "receiver"
[[nodiscard]] const char* RegionName(RegionId r) noexcept;

struct FirmwareCounters {
    uint64_t requests = 0;       // frames handed to the firmware
    uint64_t bad_checksums = 0;  // of those, frames whose checksum did not match
    uint64_t rejected = 0;       // answered with status 0xFF
    uint64_t sessions_begun = 0;
    uint64_t sessions_ended = 0;
    uint64_t light_notices = 0;
    uint64_t link_queries = 0;
    uint64_t stream_reports = 0;  // 0x12 reports accepted
    uint64_t stream_frames = 0;   // 0x12 reports at address 0, i.e. started frames
};

class Firmware {
  public:
    explicit Firmware(Model model);
    Firmware(const Firmware&) = delete;
    Firmware& operator=(const Firmware&) = delete;

    [[nodiscard]] Model model() const noexcept { return model_; }

    // Answers one request. `via` is the link it came in on (the power status reports the
    // wireless flag from it). Always produces a complete reply with its checksum set.
    void Handle(const Frame& request, Link via, Frame& reply);

    // Locked copies; out-of-range parts are clipped. ReadRegion with len 0 reads to the end.
    [[nodiscard]] std::vector<uint8_t> ReadRegion(RegionId id, size_t address = 0,
                                                  size_t len = 0) const;
    [[nodiscard]] bool WriteRegion(RegionId id, size_t address, std::span<const uint8_t> data);
    [[nodiscard]] size_t RegionSize(RegionId id) const;

    // Direct view of a region. Only safe while holding Lock(), since the simulator thread
    // changes memory as requests arrive.
    [[nodiscard]] std::span<uint8_t> Region(RegionId id);
    [[nodiscard]] std::unique_lock<std::mutex> Lock() const { return std::unique_lock(mutex_); }

    // Battery percentage and charging state (0 none, 1 charging, 2 full).
    void SetPowerStatus(uint8_t percent, uint8_t charging);
    void SetPhoneType(uint8_t phone_type);  // power status byte 5, used by the mousepad
    [[nodiscard]] FirmwareCounters Counters() const;
    void ResetCounters();
    // Back to the factory memory contents.
    void FactoryReset();

    [[nodiscard]] uint8_t KeyCount() const;

  private:
    void FactoryResetLocked();
    std::vector<uint8_t>& Mem(RegionId id) { return regions_[static_cast<size_t>(id)]; }
    const std::vector<uint8_t>& Mem(RegionId id) const { return regions_[static_cast<size_t>(id)]; }

    const Model model_;
    mutable std::mutex mutex_;
    std::array<std::vector<uint8_t>, kRegionCount> regions_;
    FirmwareCounters counters_;
};

}  // namespace zepho7::sim
