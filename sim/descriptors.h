// USB identities and HID report descriptors of the emulated interfaces.
#pragma once

#include <cstdint>
#include <span>

#include "sim/firmware.h"

namespace zepho7::sim {

struct DeviceIdentity {
    uint16_t vendor_id;
    uint16_t product_id;
    uint16_t release_number;
};

struct InterfaceSpec {
    uint8_t number;                       // USB interface number
    std::span<const uint8_t> descriptor;  // HID report descriptor
};

// Receiver is only valid for the mouse; callers check with HasLink first.
[[nodiscard]] bool HasLink(Model model, Link link) noexcept;
[[nodiscard]] DeviceIdentity Identity(Model model, Link link) noexcept;
[[nodiscard]] std::span<const InterfaceSpec> Interfaces(Model model) noexcept;
// The interface that carries the 64-byte requests (and notifications, except the headset).
[[nodiscard]] int ConfigInterface(Model model) noexcept;

inline constexpr uint8_t kNotificationReportId = 3;
inline constexpr uint8_t kHeadsetLedReportId = 0xFF;
inline constexpr int kHeadsetLedReportSize = 17;  // with the report id

}  // namespace zepho7::sim
