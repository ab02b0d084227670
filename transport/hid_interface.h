// One opened HID top-level collection. On Linux a collection is reached through the hidraw
// node of its USB interface (one node carries every collection of the interface) or through a
// simulator socket that behaves like such a node. Paths name the node and the collection:
//   /dev/hidraw3#vid_320f&pid_223c&mi_01&col04
// An interface with a single top-level collection has no "&col" part.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "transport/hid_descriptor.h"

namespace zepho7::hid {

// Hexadecimal number after `marker` (case-insensitive) in `path`; 0 when the marker is absent.
uint32_t ParseHexAfter(std::string_view path, std::string_view marker);

struct Attributes {
    uint16_t vendor_id = 0;
    uint16_t product_id = 0;
    uint16_t version_number = 0;  // USB release number (bcdDevice)
};

struct Caps {
    uint16_t usage = 0;
    uint16_t usage_page = 0;
    uint16_t input_report_byte_length = 0;
    uint16_t output_report_byte_length = 0;
    uint16_t feature_report_byte_length = 0;
    uint16_t number_input_button_caps = 0;
    uint16_t number_input_value_caps = 0;
    uint16_t number_output_button_caps = 0;
    uint16_t number_output_value_caps = 0;
    uint16_t number_feature_button_caps = 0;
    uint16_t number_feature_value_caps = 0;
};

enum class HidStatus : uint8_t {
    kSuccess,
    kReportTooShort,   // the report ends before the item's bits
    kBufferTooSmall,   // more usages were on than the item's list holds
    kValueOutOfRange,  // raw value outside the logical range: no scaled value
};

// One entry of a data-item table: one per button capability, one per value usage.
struct HidDataItem {
    bool is_button_data = false;
    uint16_t usage_page = 0;
    HidStatus status = HidStatus::kSuccess;
    uint8_t report_id = 0;
    bool is_data_set = false;
    // Button data: the usages that were on, compacted to the front, 0 after the last.
    uint16_t usage_min = 0;
    uint16_t usage_max = 0;
    uint32_t max_usage_list_length = 0;
    std::vector<uint16_t> usage_list;
    // Value data.
    uint16_t usage = 0;
    int32_t raw_value = 0;
    int32_t scaled_value = 0;
    // Where the item's data sits: capability index within its kind, element within it.
    uint16_t cap_index = 0;
    uint16_t element = 0;
};

// The data-item table of one report type of a collection: one item per button capability,
// then one per value usage. Lists are sized here, once, so unpacking never allocates.
void BuildDataItems(const Collection& collection, ReportType type, std::vector<HidDataItem>& items);
// Fills the input items whose report id is report[0]. False when a value lies beyond the end
// of the report.
[[nodiscard]] bool UnpackReport(const Collection& collection, std::span<HidDataItem> items,
                                const uint8_t* report, size_t length);

class HidInterface {
  public:
    HidInterface();
    ~HidInterface();
    HidInterface(const HidInterface&) = delete;
    HidInterface& operator=(const HidInterface&) = delete;

    // Lists every collection of every hidraw node, then of every simulator socket in
    // $ZEPHO7_SIM_DIR. False (and an empty list) when the system cannot be enumerated.
    [[nodiscard]] bool Enumerate();
    // The next path of the last enumeration, or nullptr at the end. Owned by the list.
    const char* NextPath();
    void FreePathList();

    // Opens the collection named by `path`. With neither read nor write access only the
    // identity and capabilities are read. `overlapped` and `exclusive` are kept for callers;
    // every Linux open can time out and be cancelled, and hidraw has no share modes.
    [[nodiscard]] bool Open(std::string_view path, bool want_read, bool want_write, bool overlapped,
                            bool exclusive);
    // Aborts a Read or Write blocked in another thread, then releases the node.
    void Close();

    // Whole reports with a time-out in ms (-1: until data or cancel). A read returns only
    // input reports of this collection's report ids; byte 0 is the report id (0 when the
    // interface does not number its reports).
    [[nodiscard]] bool Read(uint8_t* buffer, size_t length, size_t* bytes_read, int timeout_ms);
    [[nodiscard]] bool Write(const uint8_t* buffer, size_t length, size_t* bytes_written,
                             int timeout_ms);

    // Fills the input data items from one input report (byte 0 = report id).
    [[nodiscard]] bool UnpackInputReport(const uint8_t* report, size_t length);

    // True when the node of `path` still exists (the scan's removal check).
    static bool PathPresent(std::string_view path);

    bool IsOpen() const { return open_; }
    const Attributes& GetAttributes() const { return attributes_; }
    const Caps& GetCaps() const { return caps_; }
    int InterfaceNumber() const { return interface_number_; }
    int CollectionNumber() const { return collection_number_; }
    const std::string& DevicePath() const { return device_path_; }
    std::span<uint8_t> InputReportBuffer() { return input_report_; }
    std::span<HidDataItem> InputDataItems() { return input_items_; }
    std::span<const HidDataItem> OutputDataItems() const { return output_items_; }
    std::span<const HidDataItem> FeatureDataItems() const { return feature_items_; }
    const Collection& GetCollection() const { return collection_; }
    bool IsReading() const { return reading_; }
    bool IsWriting() const { return writing_; }

  private:
    bool OpenNode(std::string_view node, bool want_read, bool want_write);
    void Release();  // caller holds io_mutex_ and no I/O is outstanding
    bool BeginIo(int& fd);
    void EndIo();
    bool WaitFor(int fd, short events, int timeout_ms, int64_t deadline_ns);

    std::vector<std::string> path_list_;
    size_t path_cursor_ = 0;

    bool want_read_ = false;
    bool want_write_ = false;
    bool overlapped_ = false;
    bool exclusive_ = false;

    int fd_ = -1;
    int cancel_fd_ = -1;  // eventfd: readable while a Close/Open is cancelling I/O
    std::atomic<bool> open_{false};
    bool is_socket_ = false;
    bool numbered_reports_ = false;
    std::string device_path_;
    Attributes attributes_;
    Caps caps_;
    Collection collection_;
    std::vector<uint8_t> input_report_;
    std::vector<HidDataItem> input_items_;
    std::vector<uint8_t> output_report_;
    std::vector<HidDataItem> output_items_;
    std::vector<uint8_t> feature_report_;
    std::vector<HidDataItem> feature_items_;
    int interface_number_ = 0;
    int collection_number_ = 0;

    // Read/Write run outside the lock; Close waits until none is outstanding before the
    // file descriptor goes away, so a descriptor number is never reused under a reader.
    std::mutex io_mutex_;
    std::condition_variable io_idle_;
    int active_io_ = 0;
    std::atomic<bool> reading_{false};
    std::atomic<bool> writing_{false};
};

}  // namespace zepho7::hid
