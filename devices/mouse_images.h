// The mouse's memory images as the host writes them: the device-information block it reads,
// the 80-byte settings block (one per onboard profile, at block × 128 in light memory), and the
// event image shared by macros and recoil data. Also the DPI slider conversion of the sensor.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "storage/macro_library.h"
#include "storage/profile_document.h"

namespace zepho7::devices {

// Device-information block: the fields the mouse uses, by offset.
namespace info_offset {
inline constexpr size_t kKeyCount = 5;
inline constexpr size_t kSensorCode = 9;  // 16-bit
inline constexpr size_t kDpiStep = 11;
inline constexpr size_t kMaxSliderPosition = 12;  // 16-bit
inline constexpr size_t kLowestDpi = 14;          // 16-bit
inline constexpr size_t kMacroMemory = 18;        // units of 128 bytes
}  // namespace info_offset

struct MouseInfo {
    int key_count = 0;
    uint16_t sensor_code = 0;
    uint8_t dpi_step = 0;
    uint16_t max_slider = 0;
    uint16_t lowest_dpi = 0;
    size_t macro_memory = 0;  // bytes
    bool operator==(const MouseInfo&) const = default;
};
MouseInfo DecodeMouseInfo(std::span<const uint8_t, 34> block);

// Slider position <-> DPI on this sensor. One sensor switches to 200-DPI steps above 5000 DPI.
inline constexpr uint16_t kSensorCoarseAbove5000 = 13093;  // 0x3325
int SliderToDpi(const MouseInfo& info, int position);
// Values below the lowest DPI are raised to it; the result is the slider position.
int DpiToSlider(const MouseInfo& info, int dpi);

// One DPI stage on the device (9 bytes).
#pragma pack(push, 1)
struct DpiStageRecord {
    uint8_t enabled;
    uint8_t separate_xy;
    uint8_t x_le[2];  // slider positions, little-endian
    uint8_t y_le[2];
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};
static_assert(sizeof(DpiStageRecord) == 9);

inline constexpr int kDpiStages = 6;
inline constexpr size_t kSettingsBlockRead = 80;
inline constexpr size_t kSettingsBlockWritten = 75;
inline constexpr uint32_t kSettingsBlockStride = 128;

// The settings block. Bytes 9, 10 and 13 are written as 0; 75..79 are only read.
struct SettingsBlock {
    uint8_t active_block;  // meaningful in block 0 only
    uint8_t mode;          // the device's mode value
    uint8_t brightness;
    uint8_t inverse_speed;  // 4 - speed index
    uint8_t direction;
    uint8_t colour_cycle;
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t zero_9[2];
    uint8_t report_stage;
    uint8_t active_dpi_stage;
    uint8_t zero_13;
    DpiStageRecord stages[kDpiStages];
    uint8_t caller_value;
    uint8_t screen_width_le[2];
    uint8_t screen_height_le[2];
    uint8_t correct_min_sq;
    uint8_t correct_pix_thresh;
    uint8_t read_only[5];
};
static_assert(sizeof(SettingsBlock) == kSettingsBlockRead);
static_assert(offsetof(SettingsBlock, stages) == 14);
static_assert(offsetof(SettingsBlock, caller_value) == 68);
static_assert(offsetof(SettingsBlock, correct_pix_thresh) == 74);
#pragma pack(pop)

using SettingsBytes = std::array<uint8_t, kSettingsBlockRead>;

// What goes into a settings block besides the profile.
struct SettingsInput {
    storage::LightRecord light;
    std::vector<storage::DpiStage> stages;  // at most six are used; missing ones are 0
    int active_dpi_stage = 0;
    storage::MouseSettings settings;
    std::vector<storage::CorrectEntry> corrections;
    std::span<const int> mode_values;  // the device value of each light mode
    int block0_value = 0;
    int caller_value = 0;
    int width = 0;
    int height = 0;
};
SettingsBytes BuildSettingsBlock(const SettingsInput& input);

// The light settings read back from a block.
struct BlockLight {
    int mode = 0;  // index into the mode list, or the raw byte when no entry matches
    uint8_t brightness = 0;
    uint8_t speed = 0;
    uint8_t colour_cycle = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t active_dpi_stage = 0;
};
BlockLight DecodeSettingsBlock(const SettingsBytes& block, std::span<const int> mode_values);

// Event images (macros and recoil data): magic, total length, record count, 10 zero bytes, a
// table of record offsets, then per record its event count, two zero bytes and the events.
namespace event_image {
inline constexpr uint16_t kMagic = 0x55AA;
inline constexpr size_t kHeaderSize = 16;
inline constexpr size_t kRecordHeader = 4;
inline constexpr size_t kEventSize = 4;
inline constexpr size_t kMaxMacroEvents = 250;
}  // namespace event_image

using EventList = std::vector<storage::EncodedEvent>;
// 16 + 6 × records + 4 × events.
size_t EventImageLength(std::span<const EventList> records);
// Empty when the image would not fit 16-bit lengths and offsets.
std::vector<uint8_t> BuildEventImage(std::span<const EventList> records);

}  // namespace zepho7::devices
