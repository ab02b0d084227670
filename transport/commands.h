// One function per device command: each builds the request frames, splits long data into
// reports of the transceiver's chunk size and turns the replies into a result code
// (kResultOk, or the first failing code). Nothing else in the program builds a frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "transport/device_transceiver.h"

namespace zepho7 {

enum CommandCode : uint8_t {
    kCmdSessionBegin = 0x01,
    kCmdSessionEnd = 0x02,
    kCmdReadDeviceInfo = 0x03,
    kCmdReadLight = 0x05,
    kCmdWriteLight = 0x06,
    kCmdReadKeyTable = 0x07,
    kCmdWriteKeyTable = 0x09,
    kCmdWriteLightFrame = 0x0B,
    kCmdStreamLightFrame = 0x12,
    kCmdWriteMacroData = 0x15,
    kCmdWriteRecoilData = 0x17,
    kCmdReadPowerStatus = 0x1A,
    kCmdReadKeyAttributes = 0x1B,
    kCmdLightControlNotice = 0x1C,
    kCmdQueryLink = 0xAA,
};

inline constexpr size_t kDeviceInfoSize = 34;
inline constexpr size_t kPowerStatusMax = 56;
inline constexpr uint32_t kRecoilChunk = 56;

[[nodiscard]] int CmdSessionBegin(DeviceTransceiver& t);
// Waits 10 ms first: the firmware needs the pause after the last transfer of a group.
[[nodiscard]] int CmdSessionEnd(DeviceTransceiver& t);
[[nodiscard]] int CmdReadDeviceInfo(DeviceTransceiver& t, std::span<uint8_t, kDeviceInfoSize> out);
[[nodiscard]] int CmdReadLight(DeviceTransceiver& t, std::span<uint8_t> out, uint32_t address);
[[nodiscard]] int CmdWriteLight(DeviceTransceiver& t, std::span<const uint8_t> data,
                                uint32_t address);
// Reads the transceiver's data length bytes; `out` must hold them.
[[nodiscard]] int CmdReadKeyTable(DeviceTransceiver& t, std::span<uint8_t> out);
// Writes the data length bytes of `data`; only bank 0 exists (-201 otherwise, nothing sent).
[[nodiscard]] int CmdWriteKeyTable(DeviceTransceiver& t, std::span<const uint8_t> data, int bank);
[[nodiscard]] int CmdWriteLightFrame(DeviceTransceiver& t, std::span<const uint8_t> data,
                                     uint32_t page, uint32_t page_size);
// Quiet, under the light lock; a report due while another exchange runs is dropped (and
// counts as sent), since the next frame replaces it anyway.
[[nodiscard]] int CmdStreamLightFrame(DeviceTransceiver& t, std::span<const uint8_t> data);
[[nodiscard]] int CmdWriteMacroData(DeviceTransceiver& t, std::span<const uint8_t> data);
// 56-byte reports on either link, with no outer lock.
[[nodiscard]] int CmdWriteRecoilData(DeviceTransceiver& t, std::span<const uint8_t> data);
// One report of at most 56 bytes.
[[nodiscard]] int CmdReadPowerStatus(DeviceTransceiver& t, std::span<uint8_t> out,
                                     uint32_t address);
// Data length / 3 bytes: one attribute byte per key.
[[nodiscard]] int CmdReadKeyAttributes(DeviceTransceiver& t, std::span<uint8_t> out);
[[nodiscard]] int CmdLightControlNotice(DeviceTransceiver& t);
// True on the cable without sending; through the receiver, true when the device answers.
[[nodiscard]] bool CmdQueryLink(DeviceTransceiver& t);

}  // namespace zepho7
