// Our own HID report-descriptor parser. It turns the descriptor of one USB interface into its
// top-level collections, each with the report ids, report lengths and the button and value
// capabilities that the rest of the program looks at, in the shape the HID class driver of
// other systems reports them (one byte counted for the report id, even when unused).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zepho7::hid {

enum class ReportType : uint8_t { kInput = 0, kOutput = 1, kFeature = 2 };
inline constexpr int kReportTypeCount = 3;

// One data field of a report: a Main item, or the part of it that belongs to one usage.
struct Capability {
    uint16_t usage_page = 0;
    uint8_t report_id = 0;
    bool is_button = false;  // arrays and one-bit fields
    bool is_array = false;
    bool is_range = false;
    uint16_t usage_min = 0;  // == usage_max for a single usage
    uint16_t usage_max = 0;
    uint32_t bit_offset = 0;   // from the first data byte, after the report id byte
    uint16_t report_size = 0;  // bits per element
    uint16_t report_count = 0;
    int32_t logical_min = 0;
    int32_t logical_max = 0;
    int32_t physical_min = 0;
    int32_t physical_max = 0;
};

struct ReportCaps {
    std::vector<Capability> buttons;
    std::vector<Capability> values;
    uint16_t byte_length = 0;  // largest report of this type, one byte for the report id included
};

struct Collection {
    uint16_t usage_page = 0;
    uint16_t usage = 0;
    std::vector<uint8_t> report_ids;  // every id used inside it, ascending; {0} without ids
    ReportCaps caps[kReportTypeCount];

    const ReportCaps& Caps(ReportType type) const { return caps[static_cast<int>(type)]; }
    bool HasReportId(uint8_t id) const;
};

// Lengths of one report id, for comparison with reference decoders: bytes including the id
// byte only when the descriptor uses ids; -1 when the id has no report of that type.
struct ReportLengths {
    uint8_t report_id = 0;
    int length[kReportTypeCount] = {-1, -1, -1};
};

struct Descriptor {
    bool uses_report_ids = false;
    std::vector<Collection> collections;
    std::vector<ReportLengths> reports;  // sorted by id
};

enum class ParseResult {
    kOk,
    kTruncated,      // an item runs past the end, or a collection is never closed
    kMalformed,      // unbalanced collections, bad ranges, Pop without Push, report id 0
    kLimitExceeded,  // more nesting, fields or report bits than any real device uses
};

[[nodiscard]] ParseResult ParseReportDescriptor(std::span<const uint8_t> bytes, Descriptor& out);

}  // namespace zepho7::hid
