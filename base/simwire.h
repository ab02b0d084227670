// The simulator's socket protocol. Each emulated USB HID interface is a Unix SOCK_SEQPACKET
// socket named "<something>.sock" in the folder given by ZEPHO7_SIM_DIR. After accepting a
// connection the simulator sends one hello message; every later message is one HID report,
// exactly as a hidraw node delivers it (report id first when the interface numbers its
// reports). Input reports go to every connection of the interface, as hidraw copies them to
// every open file.
#pragma once

#include <cstdint>

namespace zepho7::simwire {

inline constexpr char kSocketSuffix[] = ".sock";
inline constexpr uint8_t kMagic[8] = {'Z', '7', 'S', 'I', 'M', 'H', 'I', '1'};

// Hello message: this header, then `descriptor_length` bytes of report descriptor.
struct [[gnu::packed]] Hello {
    uint8_t magic[8];
    uint16_t vendor_id;  // little-endian, as are the other fields
    uint16_t product_id;
    uint16_t release_number;
    uint8_t interface_number;
    uint8_t reserved;
    uint16_t descriptor_length;
};
static_assert(sizeof(Hello) == 18);

inline constexpr int kMaxDescriptor = 4096;
inline constexpr int kMaxHelloSize = static_cast<int>(sizeof(Hello)) + kMaxDescriptor;
inline constexpr int kMaxReportSize = 4096;

}  // namespace zepho7::simwire
