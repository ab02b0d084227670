#include "sim/firmware.h"

#include <algorithm>

#include "base/le.h"

namespace zepho7::sim {

namespace {

// Device-information block: the bytes the program reads and the simulator's own choices.
namespace info {
inline constexpr int kSize = 34;
inline constexpr int kProductId = 0;        // 16-bit, simulator's choice
inline constexpr int kFirmwareVersion = 2;  // 16-bit, simulator's choice
inline constexpr int kKind = 4;             // device kind code, simulator's choice
inline constexpr int kKeyCount = 5;
inline constexpr int kSensor = 9;  // 16-bit
inline constexpr int kDpiStep = 11;
inline constexpr int kMaxSlider = 12;   // 16-bit
inline constexpr int kMinDpi = 14;      // 16-bit
inline constexpr int kMacroUnits = 18;  // macro memory in 128-byte units
}  // namespace info

inline constexpr size_t kKeyArea = 512;
inline constexpr size_t kLightArea = 512;
inline constexpr size_t kFramePages = 4;
inline constexpr size_t kFramePage = 512;
inline constexpr size_t kStreamArea = 512;
inline constexpr size_t kRecoilArea = 4096;
inline constexpr size_t kPowerSize = 6;
inline constexpr uint16_t kFirmwareVersion = 0x0102;

struct DeviceFacts {
    uint16_t product_id;
    uint8_t kind;
    uint8_t key_count;
    uint16_t sensor;
    uint8_t dpi_step;
    uint16_t max_slider;
    uint16_t min_dpi;
    uint8_t macro_units;
    size_t recoil_size;
    uint8_t phone_type;
};

// Indexed by Model. Mouse: 100..26000 DPI in steps of 50 (slider 0..518), 4 KiB macro memory.
constexpr DeviceFacts kFacts[kModelCount] = {
    {0x223C, 2, 11, 0x3395, 50, 518, 100, 32, kRecoilArea, 0},
    {0x0000, 1, 126, 0, 0, 0, 0, 32, 0, 0},
    {0x1004, 3, 0, 0, 0, 0, 0, 0, 0, 1},
    {0x1630, 7, 0, 0, 0, 0, 0, 0, 0, 0},
};

// The mouse's logical keys 0..10 as the factory key table holds them.
constexpr uint8_t kMouseKeys[11][3] = {
    {0x10, 0x01, 0x00}, {0x10, 0x02, 0x00}, {0x10, 0x04, 0x00}, {0x10, 0x10, 0x00},
    {0x10, 0x08, 0x00}, {0x13, 0x01, 0x00}, {0x13, 0x02, 0x00}, {0x13, 0x03, 0x00},
    {0xA0, 0x1B, 0x00}, {0x16, 0x90, 0x01}, {0x14, 0x78, 0x02},
};

// The keyboard's factory key codes of device keys 0..125 (type, code 1, code 2).
constexpr uint8_t kKeyboardKeys[126][3] = {
    {0x20, 0x00, 0x29}, {0x20, 0x00, 0x3a}, {0x20, 0x00, 0x3b}, {0x20, 0x00, 0x3c},
    {0x20, 0x00, 0x3d}, {0x20, 0x00, 0x3e}, {0x20, 0x00, 0x3f}, {0x20, 0x00, 0x40},
    {0x20, 0x00, 0x41}, {0x20, 0x00, 0x42}, {0x20, 0x00, 0x43}, {0x20, 0x00, 0x44},
    {0x20, 0x00, 0x45}, {0x20, 0x00, 0x46}, {0x20, 0x00, 0x47}, {0x20, 0x00, 0x48},
    {0xa0, 0x1b, 0x00}, {0xa0, 0x24, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00},
    {0x20, 0x00, 0x00}, {0x20, 0x00, 0x35}, {0x20, 0x00, 0x1e}, {0x20, 0x00, 0x1f},
    {0x20, 0x00, 0x20}, {0x20, 0x00, 0x21}, {0x20, 0x00, 0x22}, {0x20, 0x00, 0x23},
    {0x20, 0x00, 0x24}, {0x20, 0x00, 0x25}, {0x20, 0x00, 0x26}, {0x20, 0x00, 0x27},
    {0x20, 0x00, 0x2d}, {0x20, 0x00, 0x2e}, {0x20, 0x00, 0x2a}, {0x20, 0x00, 0x49},
    {0x20, 0x00, 0x4a}, {0x20, 0x00, 0x4b}, {0x20, 0x00, 0x53}, {0x20, 0x00, 0x54},
    {0x20, 0x00, 0x55}, {0x20, 0x00, 0x56}, {0x20, 0x00, 0x2b}, {0x20, 0x00, 0x14},
    {0x20, 0x00, 0x1a}, {0x20, 0x00, 0x08}, {0x20, 0x00, 0x15}, {0x20, 0x00, 0x17},
    {0x20, 0x00, 0x1c}, {0x20, 0x00, 0x18}, {0x20, 0x00, 0x0c}, {0x20, 0x00, 0x12},
    {0x20, 0x00, 0x13}, {0x20, 0x00, 0x2f}, {0x20, 0x00, 0x30}, {0x20, 0x00, 0x31},
    {0x20, 0x00, 0x4c}, {0x20, 0x00, 0x4d}, {0x20, 0x00, 0x4e}, {0x20, 0x00, 0x5f},
    {0x20, 0x00, 0x60}, {0x20, 0x00, 0x61}, {0x20, 0x00, 0x32}, {0x20, 0x00, 0x39},
    {0x20, 0x00, 0x04}, {0x20, 0x00, 0x16}, {0x20, 0x00, 0x07}, {0x20, 0x00, 0x09},
    {0x20, 0x00, 0x0a}, {0x20, 0x00, 0x0b}, {0x20, 0x00, 0x0d}, {0x20, 0x00, 0x0e},
    {0x20, 0x00, 0x0f}, {0x20, 0x00, 0x33}, {0x20, 0x00, 0x34}, {0x20, 0x00, 0x28},
    {0x20, 0x00, 0x5c}, {0x20, 0x00, 0x5d}, {0x20, 0x00, 0x5e}, {0x20, 0x00, 0x8a},
    {0x20, 0x00, 0x8b}, {0x20, 0x00, 0x90}, {0x20, 0x00, 0x91}, {0x20, 0x00, 0x88},
    {0x20, 0x02, 0x00}, {0x20, 0x00, 0x1d}, {0x20, 0x00, 0x1b}, {0x20, 0x00, 0x06},
    {0x20, 0x00, 0x19}, {0x20, 0x00, 0x05}, {0x20, 0x00, 0x11}, {0x20, 0x00, 0x10},
    {0x20, 0x00, 0x36}, {0x20, 0x00, 0x37}, {0x20, 0x00, 0x38}, {0x20, 0x20, 0x00},
    {0x20, 0x00, 0x52}, {0x20, 0x00, 0x59}, {0x20, 0x00, 0x5a}, {0x20, 0x00, 0x5b},
    {0x20, 0x00, 0x87}, {0x20, 0x00, 0x89}, {0x20, 0x00, 0x64}, {0x20, 0x00, 0x85},
    {0x20, 0x00, 0x00}, {0x20, 0x01, 0x00}, {0x20, 0x08, 0x00}, {0x20, 0x04, 0x00},
    {0x20, 0x00, 0x2c}, {0x20, 0x40, 0x00}, {0xa0, 0x01, 0x00}, {0x20, 0x00, 0x65},
    {0x20, 0x10, 0x00}, {0x20, 0x00, 0x50}, {0x20, 0x00, 0x51}, {0x20, 0x00, 0x4f},
    {0x20, 0x00, 0x62}, {0x20, 0x00, 0x63}, {0x20, 0x00, 0x58}, {0x20, 0x00, 0x57},
    {0xd0, 0xa2, 0x01}, {0xd0, 0xa2, 0x02}, {0xd0, 0xa2, 0x03}, {0xd0, 0xa2, 0x04},
    {0xd0, 0xa2, 0x05}, {0x20, 0x80, 0x00},
};

// Mouse settings block (one per onboard block at block × 128).
namespace block {
inline constexpr size_t kStride = 128;
inline constexpr size_t kSize = 80;
inline constexpr int kCount = 4;
inline constexpr int kActiveBlock = 0;
inline constexpr int kMode = 1;
inline constexpr int kBrightness = 2;
inline constexpr int kSpeed = 3;  // 4 - speed index
inline constexpr int kRed = 6;
inline constexpr int kReportRate = 11;
inline constexpr int kActiveStage = 12;
inline constexpr int kStages = 14;  // 6 stages of 9 bytes
inline constexpr int kStageSize = 9;
inline constexpr int kCallerValue = 68;
inline constexpr int kScreenWidth = 69;
inline constexpr int kScreenHeight = 71;
}  // namespace block
static_assert(block::kSize <= block::kStride, "settings blocks must not overlap");

constexpr uint16_t kStageDpi[6] = {400, 800, 1600, 3200, 6400, 12800};
constexpr uint8_t kStageColours[6][3] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                         {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
constexpr uint8_t kBlockColours[block::kCount][3] = {
    {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};

// Keyboard light record at selector × 25 (selector 0 at 0), 27 bytes.
namespace kbd {
inline constexpr int kEffect = 1;
inline constexpr int kBrightness = 2;
inline constexpr int kSpeed = 3;
inline constexpr int kRed = 6;
inline constexpr int kPolling = 23;
}  // namespace kbd

// Mousepad and headset light record at slot × 64, 21 bytes.
namespace pad {
inline constexpr int kEffect = 1;
inline constexpr int kBrightness = 2;
inline constexpr int kSpeed = 3;
inline constexpr int kRed = 6;
}  // namespace pad

void Put16(std::vector<uint8_t>& v, size_t at, uint16_t value) {
    WriteLe16(&v[at], value);
}

}  // namespace

uint16_t FrameChecksum(const Frame& f) noexcept {
    uint32_t sum = 0;
    for (size_t i = frame::kCommand; i < f.size(); ++i) {
        sum += f[i];
    }
    return static_cast<uint16_t>(sum & 0xFFFF);
}

void SetFrameChecksum(Frame& f) noexcept {
    WriteLe16(&f[frame::kChecksum], FrameChecksum(f));
}

const char* ModelName(Model m) noexcept {
    switch (m) {
        case Model::Mouse:
            return "mouse";
        case Model::Keyboard:
            return "keyboard";
        case Model::MousePad:
            return "mousepad";
        case Model::Headset:
            return "headset";
    }
    return "?";
}

const char* LinkName(Link l) noexcept {
    return l == Link::Receiver ? "receiver" : "cable";
}

const char* RegionName(RegionId r) noexcept {
    constexpr const char* kNames[kRegionCount] = {"info",  "keys",   "light", "frame", "stream",
                                                  "macro", "recoil", "power", "attrs"};
    return kNames[static_cast<size_t>(r)];
}

Firmware::Firmware(Model model) : model_(model) {
    FactoryResetLocked();
}

void Firmware::FactoryReset() {
    std::lock_guard lock(mutex_);
    FactoryResetLocked();
}

void Firmware::FactoryResetLocked() {
    const DeviceFacts& f = kFacts[static_cast<size_t>(model_)];
    Mem(RegionId::Info).assign(info::kSize, 0);
    Mem(RegionId::Keys).assign(kKeyArea, 0);
    Mem(RegionId::Light).assign(kLightArea, 0);
    Mem(RegionId::LightFrame).assign(kFramePages * kFramePage, 0);
    Mem(RegionId::Stream).assign(kStreamArea, 0);
    Mem(RegionId::Macro).assign(size_t{f.macro_units} * 128, 0);
    Mem(RegionId::Recoil).assign(f.recoil_size, 0);
    Mem(RegionId::Power).assign(kPowerSize, 0);
    Mem(RegionId::Attrs).assign(f.key_count, 0xFF);

    auto& inf = Mem(RegionId::Info);
    Put16(inf, info::kProductId, f.product_id);
    Put16(inf, info::kFirmwareVersion, kFirmwareVersion);
    inf[info::kKind] = f.kind;
    inf[info::kKeyCount] = f.key_count;
    Put16(inf, info::kSensor, f.sensor);
    inf[info::kDpiStep] = f.dpi_step;
    Put16(inf, info::kMaxSlider, f.max_slider);
    Put16(inf, info::kMinDpi, f.min_dpi);
    inf[info::kMacroUnits] = f.macro_units;

    auto& power = Mem(RegionId::Power);
    power[0] = 80;
    power[5] = f.phone_type;

    auto& keys = Mem(RegionId::Keys);
    auto& light = Mem(RegionId::Light);
    auto& attrs = Mem(RegionId::Attrs);
    switch (model_) {
        case Model::Mouse:
            for (size_t k = 0; k < std::size(kMouseKeys); ++k) {
                std::copy_n(kMouseKeys[k], 3, &keys[k * 3]);
            }
            for (int b = 0; b < block::kCount; ++b) {
                uint8_t* p = &light[static_cast<size_t>(b) * block::kStride];
                p[block::kMode] = static_cast<uint8_t>(b);
                p[block::kBrightness] = 4;
                p[block::kSpeed] = 2;
                std::copy_n(kBlockColours[b], 3, p + block::kRed);
                p[block::kReportRate] = 3;
                p[block::kActiveStage] = 1;
                for (int s = 0; s < 6; ++s) {
                    uint8_t* st = p + block::kStages + s * block::kStageSize;
                    const auto pos = static_cast<uint16_t>((kStageDpi[s] - f.min_dpi) / f.dpi_step);
                    st[0] = 1;
                    st[1] = 0;
                    WriteLe16(st + 2, pos);
                    WriteLe16(st + 4, pos);
                    std::copy_n(kStageColours[s], 3, st + 6);
                }
                p[block::kCallerValue] = 1;
                WriteLe16(p + block::kScreenWidth, 1920);
                WriteLe16(p + block::kScreenHeight, 1080);
            }
            light[block::kActiveBlock] = 0;
            break;
        case Model::Keyboard:
            for (size_t k = 0; k < std::size(kKeyboardKeys); ++k) {
                std::copy_n(kKeyboardKeys[k], 3, &keys[k * 3]);
                const bool placeholder = kKeyboardKeys[k][0] == 0x20 && kKeyboardKeys[k][1] == 0 &&
                                         kKeyboardKeys[k][2] == 0;
                attrs[k] = placeholder ? 0xFF : static_cast<uint8_t>(k);
            }
            light[kbd::kEffect] = 1;
            light[kbd::kBrightness] = 4;
            light[kbd::kSpeed] = 2;
            light[kbd::kRed] = 255;
            light[kbd::kRed + 1] = 255;
            light[kbd::kRed + 2] = 255;
            light[kbd::kPolling] = 3;
            break;
        case Model::MousePad:
        case Model::Headset:
            light[pad::kEffect] = 1;
            light[pad::kBrightness] = 4;
            light[pad::kSpeed] = 2;
            light[pad::kRed] = 0;
            light[pad::kRed + 1] = 128;
            light[pad::kRed + 2] = 255;
            break;
    }
}

uint8_t Firmware::KeyCount() const {
    return kFacts[static_cast<size_t>(model_)].key_count;
}

void Firmware::Handle(const Frame& request, Link via, Frame& reply) {
    reply.fill(0);
    reply[frame::kReportId] = frame::kConfigReportId;
    std::copy_n(&request[frame::kCommand], 4, &reply[frame::kCommand]);

    const uint8_t code = request[frame::kCommand];
    const size_t len = request[frame::kLength];
    const size_t address = ReadLe16(&request[frame::kAddress]);

    std::lock_guard lock(mutex_);
    ++counters_.requests;
    uint8_t result = status::kOk;
    if (FrameChecksum(request) != ReadLe16(&request[frame::kChecksum])) {
        ++counters_.bad_checksums;
        result = status::kFailed;
    } else {
        // Data commands: which region and direction.
        RegionId region = RegionId::Info;
        bool is_data = true;
        bool is_write = false;
        switch (code) {
            case cmd::kReadInfo:
                region = RegionId::Info;
                break;
            case cmd::kReadLight:
                region = RegionId::Light;
                break;
            case cmd::kWriteLight:
                region = RegionId::Light, is_write = true;
                break;
            case cmd::kReadKeys:
                region = RegionId::Keys;
                break;
            // Address = bank × 512 + offset over a 512-byte area: only bank 0 fits.
            case cmd::kWriteKeys:
                region = RegionId::Keys, is_write = true;
                break;
            case cmd::kWriteFrame:
                region = RegionId::LightFrame, is_write = true;
                break;
            case cmd::kStreamFrame:
                region = RegionId::Stream, is_write = true;
                break;
            case cmd::kWriteMacro:
                region = RegionId::Macro, is_write = true;
                break;
            case cmd::kWriteRecoil:
                region = RegionId::Recoil, is_write = true;
                break;
            case cmd::kReadPower:
                region = RegionId::Power;
                break;
            case cmd::kReadKeyAttributes:
                region = RegionId::Attrs;
                break;
            default:
                is_data = false;
                break;
        }
        if (is_data) {
            auto& mem = Mem(region);
            if (len > kMaxPayload || address + len > mem.size()) {
                result = status::kRejected;
            } else if (is_write) {
                std::copy_n(&request[frame::kPayload], len, mem.begin() + address);
                if (code == cmd::kStreamFrame) {
                    ++counters_.stream_reports;
                    if (address == 0) {
                        ++counters_.stream_frames;
                    }
                }
            } else {
                std::copy_n(mem.begin() + address, len, &reply[frame::kPayload]);
                // The wireless-link flag describes the link the status was asked over.
                if (code == cmd::kReadPower && address <= 3 && address + len > 3) {
                    reply[frame::kPayload + 3 - address] = via == Link::Receiver ? 1 : 0;
                }
            }
        } else {
            switch (code) {
                case cmd::kSessionBegin:
                    ++counters_.sessions_begun;
                    break;
                case cmd::kSessionEnd:
                    ++counters_.sessions_ended;
                    break;
                case cmd::kLightNotice:
                    ++counters_.light_notices;
                    break;
                case cmd::kLinkQuery:
                    ++counters_.link_queries;
                    reply[frame::kPayload] = 0xFF;
                    break;
                default:
                    result = status::kRejected;
                    break;
            }
        }
    }
    if (result == status::kRejected) {
        ++counters_.rejected;
    }
    reply[frame::kStatus] = result;
    SetFrameChecksum(reply);
}

std::vector<uint8_t> Firmware::ReadRegion(RegionId id, size_t address, size_t len) const {
    std::lock_guard lock(mutex_);
    const auto& mem = Mem(id);
    if (address >= mem.size()) {
        return {};
    }
    const size_t n = len == 0 ? mem.size() - address : std::min(len, mem.size() - address);
    return {mem.begin() + static_cast<std::ptrdiff_t>(address),
            mem.begin() + static_cast<std::ptrdiff_t>(address + n)};
}

bool Firmware::WriteRegion(RegionId id, size_t address, std::span<const uint8_t> data) {
    std::lock_guard lock(mutex_);
    auto& mem = Mem(id);
    if (address > mem.size() || data.size() > mem.size() - address) {
        return false;
    }
    std::copy(data.begin(), data.end(), mem.begin() + static_cast<std::ptrdiff_t>(address));
    return true;
}

size_t Firmware::RegionSize(RegionId id) const {
    std::lock_guard lock(mutex_);
    return Mem(id).size();
}

std::span<uint8_t> Firmware::Region(RegionId id) {
    return Mem(id);
}

void Firmware::SetPowerStatus(uint8_t percent, uint8_t charging) {
    std::lock_guard lock(mutex_);
    auto& power = Mem(RegionId::Power);
    power[0] = percent;
    power[1] = charging;
}

void Firmware::SetPhoneType(uint8_t phone_type) {
    std::lock_guard lock(mutex_);
    Mem(RegionId::Power)[5] = phone_type;
}

FirmwareCounters Firmware::Counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

void Firmware::ResetCounters() {
    std::lock_guard lock(mutex_);
    counters_ = {};
}

}  // namespace zepho7::sim
