// Opening and closing a device's configuration collection on its transceiver: by cable, or
// through the mouse's receiver (which switches the transceiver to the receiver's report size).
#pragma once

#include <string>

#include "transport/device_transceiver.h"

namespace zepho7::devices {

// Opens the collection at `path` on the cable or receiver interface and marks the transceiver
// open in that link mode. False (and the transceiver closed) when it cannot be opened.
[[nodiscard]] bool OpenConfigurationLink(DeviceTransceiver& transceiver, const std::string& path,
                                         bool receiver);
void CloseConfigurationLink(DeviceTransceiver& transceiver);

}  // namespace zepho7::devices
