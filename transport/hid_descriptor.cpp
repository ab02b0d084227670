#include "transport/hid_descriptor.h"

#include <algorithm>
#include <array>
#include <bitset>

namespace zepho7::hid {

bool Collection::HasReportId(uint8_t id) const {
    return std::binary_search(report_ids.begin(), report_ids.end(), id);
}

namespace {

// Far beyond any real device, small enough that a hostile descriptor cannot make us allocate
// much: the program keeps per-usage tables for what this parser returns.
constexpr int kMaxDepth = 32;
constexpr int kMaxPushDepth = 16;
constexpr size_t kMaxCapabilities = 1024;
constexpr size_t kMaxLocalUsages = 1024;
constexpr uint64_t kMaxReportBits = 8 * 4096;
constexpr uint32_t kMaxValueUsages = 4096;  // usages of ranged value fields, summed

struct Globals {
    uint16_t usage_page = 0;
    int32_t logical_min = 0;
    int32_t logical_max = 0;
    uint32_t logical_max_unsigned = 0;
    int32_t physical_min = 0;
    int32_t physical_max = 0;
    uint32_t physical_max_unsigned = 0;
    uint32_t report_size = 0;
    uint32_t report_count = 0;
    uint8_t report_id = 0;
};

struct Locals {
    std::vector<uint32_t> usages;  // page << 16 | usage
    uint32_t usage_min = 0;
    uint32_t usage_max = 0;
    bool has_min = false;
    bool has_max = false;

    void Clear() {
        usages.clear();
        has_min = has_max = false;
    }
};

int32_t SignedValue(uint32_t raw, int size) {
    switch (size) {
        case 1:
            return static_cast<int8_t>(raw);
        case 2:
            return static_cast<int16_t>(raw);
        default:
            return static_cast<int32_t>(raw);
    }
}

// A maximum written in fewer bytes than its sign bit needs (255 as one byte) means the
// unsigned value when the minimum is not negative.
int32_t FixMaximum(int32_t min, int32_t max, uint32_t max_unsigned) {
    if (min >= 0 && max < min) {
        return static_cast<int32_t>(std::min<uint32_t>(max_unsigned, INT32_MAX));
    }
    return max;
}

class Parser {
  public:
    explicit Parser(Descriptor& out) : out_(out) {}

    ParseResult Run(std::span<const uint8_t> bytes);

  private:
    ParseResult Main(uint8_t tag, uint32_t data);
    ParseResult Field(ReportType type, uint32_t flags);
    ParseResult AddCap(ReportType type, Capability cap);
    void Finish();

    Descriptor& out_;
    Globals globals_;
    std::array<Globals, kMaxPushDepth> stack_{};
    int stack_depth_ = 0;
    Locals locals_;
    int depth_ = 0;
    int top_ = -1;  // index of the enclosing top-level collection
    size_t cap_count_ = 0;
    uint32_t value_usages_ = 0;
    std::array<std::array<uint64_t, 256>, kReportTypeCount> bits_{};
    std::array<std::bitset<256>, kReportTypeCount> seen_{};
    std::vector<std::array<std::bitset<256>, kReportTypeCount>> ids_of_collection_;
};

ParseResult Parser::Run(std::span<const uint8_t> bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        const uint8_t prefix = bytes[i++];
        if (prefix == 0xFE) {  // long item: skipped, its size is in the next byte
            if (i + 2 > bytes.size()) {
                return ParseResult::kTruncated;
            }
            const size_t size = bytes[i];
            i += 2;
            if (size > bytes.size() - i) {
                return ParseResult::kTruncated;
            }
            i += size;
            continue;
        }
        const int size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (static_cast<size_t>(size) > bytes.size() - i) {
            return ParseResult::kTruncated;
        }
        uint32_t data = 0;
        for (int b = 0; b < size; ++b) {
            data |= static_cast<uint32_t>(bytes[i + b]) << (8 * b);
        }
        i += size;
        const uint8_t tag = prefix >> 4;
        const int type = (prefix >> 2) & 3;
        if (type == 0) {
            if (const ParseResult r = Main(tag, data); r != ParseResult::kOk) {
                return r;
            }
        } else if (type == 1) {
            switch (tag) {
                case 0x0:
                    globals_.usage_page = static_cast<uint16_t>(data);
                    break;
                case 0x1:
                    globals_.logical_min = SignedValue(data, size);
                    break;
                case 0x2:
                    globals_.logical_max = SignedValue(data, size);
                    globals_.logical_max_unsigned = data;
                    break;
                case 0x3:
                    globals_.physical_min = SignedValue(data, size);
                    break;
                case 0x4:
                    globals_.physical_max = SignedValue(data, size);
                    globals_.physical_max_unsigned = data;
                    break;
                case 0x7:
                    globals_.report_size = data;
                    break;
                case 0x8:
                    if (data == 0 || data > 255) {
                        return ParseResult::kMalformed;
                    }
                    globals_.report_id = static_cast<uint8_t>(data);
                    out_.uses_report_ids = true;
                    break;
                case 0x9:
                    globals_.report_count = data;
                    break;
                case 0xA:
                    if (stack_depth_ == kMaxPushDepth) {
                        return ParseResult::kLimitExceeded;
                    }
                    stack_[stack_depth_++] = globals_;
                    break;
                case 0xB:
                    if (stack_depth_ == 0) {
                        return ParseResult::kMalformed;
                    }
                    globals_ = stack_[--stack_depth_];
                    break;
                default:
                    break;  // unit, unit exponent, reserved
            }
        } else if (type == 2) {
            const uint32_t extended = size == 4 ? data : (globals_.usage_page << 16) | data;
            switch (tag) {
                case 0x0:
                    if (locals_.usages.size() == kMaxLocalUsages) {
                        return ParseResult::kLimitExceeded;
                    }
                    locals_.usages.push_back(extended);
                    break;
                case 0x1:
                    locals_.usage_min = extended;
                    locals_.has_min = true;
                    break;
                case 0x2:
                    locals_.usage_max = extended;
                    locals_.has_max = true;
                    break;
                default:
                    break;  // designators, strings, delimiters
            }
        }
        // type 3 is reserved; its data was skipped above
    }
    if (depth_ != 0) {
        return ParseResult::kTruncated;
    }
    Finish();
    return ParseResult::kOk;
}

ParseResult Parser::Main(uint8_t tag, uint32_t data) {
    ParseResult result = ParseResult::kOk;
    switch (tag) {
        case 0x8:
            result = Field(ReportType::kInput, data);
            break;
        case 0x9:
            result = Field(ReportType::kOutput, data);
            break;
        case 0xB:
            result = Field(ReportType::kFeature, data);
            break;
        case 0xA:
            if (depth_ == kMaxDepth) {
                return ParseResult::kLimitExceeded;
            }
            if (depth_ == 0) {
                Collection collection;
                const uint32_t usage = locals_.usages.empty()
                                           ? (locals_.has_min ? locals_.usage_min
                                                              : uint32_t{globals_.usage_page} << 16)
                                           : locals_.usages.back();
                collection.usage_page = static_cast<uint16_t>(usage >> 16);
                collection.usage = static_cast<uint16_t>(usage & 0xFFFF);
                out_.collections.push_back(std::move(collection));
                ids_of_collection_.emplace_back();
                top_ = static_cast<int>(out_.collections.size()) - 1;
            }
            ++depth_;
            break;
        case 0xC:
            if (depth_ == 0) {
                return ParseResult::kMalformed;
            }
            if (--depth_ == 0) {
                top_ = -1;
            }
            break;
        default:
            break;
    }
    locals_.Clear();
    return result;
}

ParseResult Parser::Field(ReportType type, uint32_t flags) {
    const int t = static_cast<int>(type);
    const uint8_t id = globals_.report_id;
    const uint64_t field_bits = uint64_t{globals_.report_size} * globals_.report_count;
    const uint64_t offset = bits_[t][id];
    if (offset + field_bits > kMaxReportBits) {
        return ParseResult::kLimitExceeded;
    }
    bits_[t][id] = offset + field_bits;
    seen_[t].set(id);
    if (top_ >= 0) {
        ids_of_collection_[top_][t].set(id);
    }

    const bool constant = (flags & 1) != 0;
    const bool variable = (flags & 2) != 0;
    if (constant || top_ < 0 || field_bits == 0 || globals_.report_size > 32) {
        return ParseResult::kOk;  // padding, or nothing a caller could read
    }

    Capability base;
    base.report_id = id;
    base.is_array = !variable;
    base.is_button = !variable || globals_.report_size == 1;
    base.bit_offset = static_cast<uint32_t>(offset);
    base.report_size = static_cast<uint16_t>(globals_.report_size);
    base.logical_min = globals_.logical_min;
    base.logical_max =
        FixMaximum(globals_.logical_min, globals_.logical_max, globals_.logical_max_unsigned);
    base.physical_min = globals_.physical_min;
    base.physical_max =
        FixMaximum(globals_.physical_min, globals_.physical_max, globals_.physical_max_unsigned);

    const uint32_t count = globals_.report_count;
    const bool ranged = locals_.has_min && locals_.has_max;
    if (ranged || locals_.usages.empty() || base.is_array) {
        // One capability over the whole field.
        uint32_t first = 0;
        uint32_t last = 0;
        if (ranged) {
            first = locals_.usage_min;
            last = locals_.usage_max;
            if ((first >> 16) != (last >> 16) || (last & 0xFFFF) < (first & 0xFFFF)) {
                return ParseResult::kMalformed;
            }
        } else if (!locals_.usages.empty()) {
            const auto [lo, hi] = std::minmax_element(locals_.usages.begin(), locals_.usages.end());
            first = *lo;
            last = (*hi >> 16) == (*lo >> 16) ? *hi : *lo;
        } else {
            first = last = uint32_t{globals_.usage_page} << 16;
        }
        Capability cap = base;
        cap.usage_page = static_cast<uint16_t>(first >> 16);
        cap.usage_min = static_cast<uint16_t>(first & 0xFFFF);
        cap.usage_max = static_cast<uint16_t>(last & 0xFFFF);
        cap.report_count = static_cast<uint16_t>(std::min<uint32_t>(count, UINT16_MAX));
        if (!cap.is_button && cap.usage_max - cap.usage_min >= cap.report_count) {
            // Usages past the last element have no data in the report.
            cap.usage_max = static_cast<uint16_t>(cap.usage_min + cap.report_count - 1);
        }
        cap.is_range = cap.usage_min != cap.usage_max;
        return AddCap(type, cap);
    }
    // Listed usages of a variable field: one capability per usage, the last one taking the
    // elements that are left.
    const size_t n = locals_.usages.size();
    uint32_t element = 0;
    for (size_t u = 0; u < n && element < count; ++u) {
        Capability cap = base;
        cap.usage_page = static_cast<uint16_t>(locals_.usages[u] >> 16);
        cap.usage_min = cap.usage_max = static_cast<uint16_t>(locals_.usages[u] & 0xFFFF);
        const uint32_t elements = u + 1 == n ? count - element : 1;
        cap.bit_offset = static_cast<uint32_t>(offset + uint64_t{element} * globals_.report_size);
        cap.report_count = static_cast<uint16_t>(std::min<uint32_t>(elements, UINT16_MAX));
        if (const ParseResult r = AddCap(type, cap); r != ParseResult::kOk) {
            return r;
        }
        element += elements;
    }
    return ParseResult::kOk;
}

ParseResult Parser::AddCap(ReportType type, Capability cap) {
    if (++cap_count_ > kMaxCapabilities) {
        return ParseResult::kLimitExceeded;
    }
    ReportCaps& caps = out_.collections[top_].caps[static_cast<int>(type)];
    if (cap.is_button) {
        caps.buttons.push_back(cap);
    } else {
        value_usages_ += cap.usage_max - cap.usage_min + 1u;
        if (value_usages_ > kMaxValueUsages) {
            return ParseResult::kLimitExceeded;
        }
        caps.values.push_back(cap);
    }
    return ParseResult::kOk;
}

void Parser::Finish() {
    for (int id = 0; id < 256; ++id) {
        ReportLengths lengths;
        lengths.report_id = static_cast<uint8_t>(id);
        bool any = false;
        for (int t = 0; t < kReportTypeCount; ++t) {
            if (seen_[t].test(id)) {
                const uint64_t bits = bits_[t][id] + (out_.uses_report_ids ? 8 : 0);
                lengths.length[t] = static_cast<int>((bits + 7) / 8);
                any = true;
            }
        }
        if (any) {
            out_.reports.push_back(lengths);
        }
    }
    for (size_t c = 0; c < out_.collections.size(); ++c) {
        Collection& collection = out_.collections[c];
        std::bitset<256> all;
        for (int t = 0; t < kReportTypeCount; ++t) {
            const auto& ids = ids_of_collection_[c][t];
            all |= ids;
            uint64_t longest = 0;
            bool any = false;
            for (int id = 0; id < 256; ++id) {
                if (ids.test(id)) {
                    longest = std::max(longest, bits_[t][id]);
                    any = true;
                }
            }
            // One byte for the report id is always counted, as the HID class driver does.
            collection.caps[t].byte_length = any ? static_cast<uint16_t>((longest + 7) / 8 + 1) : 0;
        }
        for (int id = 0; id < 256; ++id) {
            if (all.test(id)) {
                collection.report_ids.push_back(static_cast<uint8_t>(id));
            }
        }
        if (collection.report_ids.empty()) {
            collection.report_ids.push_back(0);
        }
    }
}

}  // namespace

ParseResult ParseReportDescriptor(std::span<const uint8_t> bytes, Descriptor& out) {
    out = Descriptor{};
    Parser parser(out);
    const ParseResult result = parser.Run(bytes);
    if (result != ParseResult::kOk) {
        out = Descriptor{};
    }
    return result;
}

}  // namespace zepho7::hid
