// Any bytes as a report descriptor: the parser returns a result, never crashes, and what it
// accepts stays within its limits.
#include <cstdlib>

#include "transport/hid_descriptor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zepho7::hid;
    Descriptor d;
    if (ParseReportDescriptor({data, size}, d) != ParseResult::kOk) {
        if (!d.collections.empty())
            std::abort();
        return 0;
    }
    for (const Collection& c : d.collections) {
        for (int t = 0; t < kReportTypeCount; ++t) {
            for (const Capability& cap : c.caps[t].values) {
                if (cap.usage_max < cap.usage_min)
                    std::abort();
            }
        }
    }
    return 0;
}
