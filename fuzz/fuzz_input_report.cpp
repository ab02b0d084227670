// A descriptor and an input report from the same bytes: the first byte says how long the
// descriptor is (times 4). Unpacking must stay inside the report and the usage lists.
#include <vector>

#include "transport/hid_interface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zepho7::hid;
    if (size < 2)
        return 0;
    const size_t descriptor_size = std::min<size_t>(size - 1, size_t{data[0]} * 4);
    Descriptor d;
    if (ParseReportDescriptor({data + 1, descriptor_size}, d) != ParseResult::kOk)
        return 0;
    const uint8_t* report = data + 1 + descriptor_size;
    const size_t report_size = size - 1 - descriptor_size;
    for (const Collection& c : d.collections) {
        std::vector<HidDataItem> items;
        BuildDataItems(c, ReportType::kInput, items);
        if (report_size > 0) {
            [[maybe_unused]] const bool ok = UnpackReport(c, items, report, report_size);
        }
    }
    return 0;
}
