#include "transport/commands.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "base/le.h"
#include "base/trace.h"

namespace zepho7 {

namespace {

constexpr uint32_t kLastAddress = 0xFFFF;  // addresses travel as 16 bits
constexpr uint8_t kStatusRejected = 0xFF;
constexpr uint8_t kStatusFailed = 0xFE;
constexpr size_t kPayloadOffset = 8;

struct TransferPlan {
    uint8_t code = 0;
    OuterLock lock = OuterLock::kCommand;
    uint32_t chunk = kWiredChunk;
    bool stream = false;  // quiet, and dropped while another exchange runs
};

int StatusResult(const uint8_t* reply) {
    if (reply[7] == kStatusRejected)
        return kResultRejected;
    if (reply[7] == kStatusFailed)
        return kResultFailed;
    return kResultOk;
}

// Sends `length` bytes from `address` on, in reports of at most plan.chunk payload bytes,
// writing from `source` or reading into `target` (or neither). Stops at the first failure;
// reports already applied stay applied.
int Transfer(DeviceTransceiver& t, const TransferPlan& plan, uint64_t address,
             const uint8_t* source, uint8_t* target, size_t length) {
    if (length == 0)
        return kResultOk;
    if (address + length - 1 > kLastAddress) {
        Z7_TRACE("command 0x%02x: %zu bytes at 0x%llx are beyond the device's address range",
                 plan.code, length, static_cast<unsigned long long>(address));
        return kResultBadBank;
    }
    uint8_t request[kFrameSize] = {};
    uint8_t reply[kFrameSize];
    request[0] = kReportId;
    request[3] = plan.code;
    for (size_t offset = 0; offset < length; offset += plan.chunk) {
        const size_t part = std::min<size_t>(plan.chunk, length - offset);
        request[4] = static_cast<uint8_t>(part);
        WriteLe16(request + 5, static_cast<uint16_t>(address + offset));
        if (source != nullptr)
            std::memcpy(request + kPayloadOffset, source + offset, part);
        SetFrameChecksum(request);
        if (plan.stream && t.IsBusy()) {
            Z7_TRACE("放弃灯光数据");
            continue;
        }
        size_t got = 0;
        const int result = t.ExchangeUnder(plan.lock, plan.stream, request, reply, &got);
        if (result != kResultOk)
            return result;
        if (const int status = StatusResult(reply); status != kResultOk)
            return status;
        if (target != nullptr) {
            if (got < kPayloadOffset + part)
                return kResultReadFailed;  // short reply
            std::memcpy(target + offset, reply + kPayloadOffset, part);
        }
    }
    return kResultOk;
}

int Simple(DeviceTransceiver& t, uint8_t code) {
    uint8_t request[kFrameSize] = {};
    uint8_t reply[kFrameSize];
    request[0] = kReportId;
    request[3] = code;
    SetFrameChecksum(request);
    size_t got = 0;
    const int result = t.ExchangeUnder(OuterLock::kCommand, false, request, reply, &got);
    return result != kResultOk ? result : StatusResult(reply);
}

TransferPlan Plan(const DeviceTransceiver& t, uint8_t code) {
    return TransferPlan{code, OuterLock::kCommand, t.ChunkSize(), false};
}

void RequireRoom(size_t have, size_t need, const char* what) {
    if (have < need)
        throw std::length_error(what);
}

}  // namespace

int CmdSessionBegin(DeviceTransceiver& t) {
    return Simple(t, kCmdSessionBegin);
}

int CmdSessionEnd(DeviceTransceiver& t) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Simple(t, kCmdSessionEnd);
}

int CmdReadDeviceInfo(DeviceTransceiver& t, std::span<uint8_t, kDeviceInfoSize> out) {
    return Transfer(t, Plan(t, kCmdReadDeviceInfo), 0, nullptr, out.data(), out.size());
}

int CmdReadLight(DeviceTransceiver& t, std::span<uint8_t> out, uint32_t address) {
    return Transfer(t, Plan(t, kCmdReadLight), address, nullptr, out.data(), out.size());
}

int CmdWriteLight(DeviceTransceiver& t, std::span<const uint8_t> data, uint32_t address) {
    return Transfer(t, Plan(t, kCmdWriteLight), address, data.data(), nullptr, data.size());
}

int CmdReadKeyTable(DeviceTransceiver& t, std::span<uint8_t> out) {
    const size_t length = t.DataLength();
    RequireRoom(out.size(), length, "key table buffer smaller than the data length");
    return Transfer(t, Plan(t, kCmdReadKeyTable), 0, nullptr, out.data(), length);
}

int CmdWriteKeyTable(DeviceTransceiver& t, std::span<const uint8_t> data, int bank) {
    if (bank != 0)
        return kResultBadBank;
    const size_t length = t.DataLength();
    RequireRoom(data.size(), length, "key table smaller than the data length");
    return Transfer(t, Plan(t, kCmdWriteKeyTable), 0, data.data(), nullptr, length);
}

int CmdWriteLightFrame(DeviceTransceiver& t, std::span<const uint8_t> data, uint32_t page,
                       uint32_t page_size) {
    TransferPlan plan = Plan(t, kCmdWriteLightFrame);
    plan.lock = OuterLock::kLight;
    return Transfer(t, plan, uint64_t{page} * page_size, data.data(), nullptr, data.size());
}

int CmdStreamLightFrame(DeviceTransceiver& t, std::span<const uint8_t> data) {
    TransferPlan plan = Plan(t, kCmdStreamLightFrame);
    plan.lock = OuterLock::kLight;
    plan.stream = true;
    return Transfer(t, plan, 0, data.data(), nullptr, data.size());
}

int CmdWriteMacroData(DeviceTransceiver& t, std::span<const uint8_t> data) {
    return Transfer(t, Plan(t, kCmdWriteMacroData), 0, data.data(), nullptr, data.size());
}

int CmdWriteRecoilData(DeviceTransceiver& t, std::span<const uint8_t> data) {
    const TransferPlan plan{kCmdWriteRecoilData, OuterLock::kNone, kRecoilChunk, false};
    return Transfer(t, plan, 0, data.data(), nullptr, data.size());
}

int CmdReadPowerStatus(DeviceTransceiver& t, std::span<uint8_t> out, uint32_t address) {
    if (out.size() > kPowerStatusMax)
        return kResultBadBank;
    TransferPlan plan = Plan(t, kCmdReadPowerStatus);
    plan.chunk = kPowerStatusMax;  // always one report
    return Transfer(t, plan, address, nullptr, out.data(), out.size());
}

int CmdReadKeyAttributes(DeviceTransceiver& t, std::span<uint8_t> out) {
    const size_t length = t.DataLength() / 3;
    RequireRoom(out.size(), length, "key attribute buffer smaller than the key count");
    return Transfer(t, Plan(t, kCmdReadKeyAttributes), 0, nullptr, out.data(), length);
}

int CmdLightControlNotice(DeviceTransceiver& t) {
    return Simple(t, kCmdLightControlNotice);
}

bool CmdQueryLink(DeviceTransceiver& t) {
    if (!t.IsWireless())
        return true;
    uint8_t request[kFrameSize] = {};
    uint8_t reply[kFrameSize];
    request[0] = kReportId;
    request[3] = kCmdQueryLink;
    SetFrameChecksum(request);
    size_t got = 0;
    const int result = t.ExchangeUnder(OuterLock::kCommand, false, request, reply, &got);
    return result == kResultOk && got > 8 && reply[8] == 0xFF && reply[7] != kStatusRejected &&
           reply[7] != kStatusFailed;
}

}  // namespace zepho7
