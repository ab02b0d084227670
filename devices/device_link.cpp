#include "devices/device_link.h"

namespace zepho7::devices {

bool OpenConfigurationLink(DeviceTransceiver& t, const std::string& path, bool receiver) {
    auto lock = t.LockExchanges();
    t.SetOpen(false);
    t.WiredInterface().Close();
    t.WirelessInterface().Close();
    hid::HidInterface& iface = receiver ? t.WirelessInterface() : t.WiredInterface();
    if (!iface.Open(path, true, true, true, false))
        return false;
    t.SetLinkMode(receiver ? kLinkModeWireless : 0);
    t.SetOpen(true);
    return true;
}

void CloseConfigurationLink(DeviceTransceiver& t) {
    auto lock = t.LockExchanges();
    t.SetOpen(false);
    t.WiredInterface().Close();
    t.WirelessInterface().Close();
}

}  // namespace zepho7::devices
