#include "devices/mouse_images.h"

#include <algorithm>
#include <cstring>

#include "base/le.h"

namespace zepho7::devices {

namespace {

void PutLe16(uint8_t (&field)[2], int value) {
    WriteLe16(field, static_cast<uint16_t>(value));
}

// Images are built front to back, so nothing is ever written through an index.
void Append16(std::vector<uint8_t>& image, size_t value) {
    image.push_back(static_cast<uint8_t>(value & 0xFF));
    image.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

}  // namespace

MouseInfo DecodeMouseInfo(std::span<const uint8_t, 34> b) {
    using namespace info_offset;
    MouseInfo info;
    info.key_count = b[kKeyCount];
    info.sensor_code = ReadLe16(&b[kSensorCode]);
    info.dpi_step = b[kDpiStep];
    info.max_slider = ReadLe16(&b[kMaxSliderPosition]);
    info.lowest_dpi = ReadLe16(&b[kLowestDpi]);
    info.macro_memory = static_cast<size_t>(b[kMacroMemory]) * 128;
    return info;
}

int SliderToDpi(const MouseInfo& info, int p) {
    const int s = info.dpi_step;
    const int b = info.lowest_dpi;
    if (info.sensor_code == kSensorCoarseAbove5000 && p > 48)
        return b + 48 * s + (p - 48) * 200;
    return p * s + b;
}

int DpiToSlider(const MouseInfo& info, int dpi) {
    const int b = info.lowest_dpi;
    const int value = std::max(dpi, b);
    if (info.sensor_code == kSensorCoarseAbove5000 && value > 5000)
        return (value - 5000) / 200 + 48;
    // A device that reports no step has one position only.
    return info.dpi_step == 0 ? 0 : (value - b) / info.dpi_step;
}

SettingsBytes BuildSettingsBlock(const SettingsInput& in) {
    SettingsBlock block;
    std::memset(&block, 0, sizeof block);
    block.active_block = static_cast<uint8_t>(in.block0_value);
    const int mode = in.light.select_item >= 12 ? 0 : in.light.select_item;
    // A mode the list does not cover is sent as it is.
    block.mode = static_cast<uint8_t>(static_cast<size_t>(mode) < in.mode_values.size()
                                          ? in.mode_values[static_cast<size_t>(mode)]
                                          : mode);
    block.brightness = in.light.light;
    block.inverse_speed = static_cast<uint8_t>(4 - std::min<int>(in.light.speed, 4));
    block.direction = in.light.fx;
    block.colour_cycle = in.light.multi_color;
    block.red = in.light.red;
    block.green = in.light.green;
    block.blue = in.light.blue;
    block.report_stage = static_cast<uint8_t>(in.settings.report_stage & 0xFF);
    block.active_dpi_stage = static_cast<uint8_t>(in.active_dpi_stage);
    const size_t stages = std::min<size_t>(in.stages.size(), kDpiStages);
    for (size_t i = 0; i < stages; ++i) {
        const storage::DpiStage& s = in.stages[i];
        DpiStageRecord& r = block.stages[i];
        r.enabled = s.active;
        r.separate_xy = s.xy;
        PutLe16(r.x_le, s.dpi_x);
        PutLe16(r.y_le, s.dpi_y);
        r.red = s.red;
        r.green = s.green;
        r.blue = s.blue;
    }
    block.caller_value = static_cast<uint8_t>(in.caller_value);
    PutLe16(block.screen_width_le, in.width);
    PutLe16(block.screen_height_le, in.height);
    const auto selected =
        std::find_if(in.corrections.begin(), in.corrections.end(),
                     [](const storage::CorrectEntry& e) { return e.select != 0; });
    if (selected != in.corrections.end()) {
        block.correct_min_sq = selected->min_sq;
        block.correct_pix_thresh = selected->pix_thresh;
    }
    SettingsBytes bytes;
    std::memcpy(bytes.data(), &block, sizeof block);
    return bytes;
}

BlockLight DecodeSettingsBlock(const SettingsBytes& bytes, std::span<const int> mode_values) {
    SettingsBlock block;
    std::memcpy(&block, bytes.data(), sizeof block);
    BlockLight light;
    light.mode = block.mode;
    const auto it = std::find(mode_values.begin(), mode_values.end(), block.mode);
    if (it != mode_values.end())
        light.mode = static_cast<int>(it - mode_values.begin());
    light.brightness = block.brightness;
    // A byte above 4 is not a speed the panel can show; it reads as the slowest.
    light.speed = static_cast<uint8_t>(4 - std::min<int>(block.inverse_speed, 4));
    light.colour_cycle = block.colour_cycle;
    light.red = block.red;
    light.green = block.green;
    light.blue = block.blue;
    light.active_dpi_stage = block.active_dpi_stage;
    return light;
}

size_t EventImageLength(std::span<const EventList> records) {
    using namespace event_image;
    size_t length = kHeaderSize;
    for (const EventList& r : records)
        length += 2 + kRecordHeader + kEventSize * r.size();
    return length;
}

std::vector<uint8_t> BuildEventImage(std::span<const EventList> records) {
    using namespace event_image;
    const size_t length = EventImageLength(records);
    if (length > 0xFFFF || records.size() > 0xFFFF)
        return {};
    std::vector<uint8_t> image;
    image.reserve(length);
    Append16(image, kMagic);
    Append16(image, length);
    Append16(image, records.size());
    image.resize(kHeaderSize, 0);
    size_t offset = kHeaderSize + 2 * records.size();
    for (const EventList& r : records) {
        Append16(image, offset);
        offset += kRecordHeader + kEventSize * r.size();
    }
    for (const EventList& r : records) {
        Append16(image, r.size());
        Append16(image, 0);
        for (const storage::EncodedEvent& e : r)
            image.insert(image.end(), e.begin(), e.end());
    }
    return image;
}

}  // namespace zepho7::devices
