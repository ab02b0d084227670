// Messages the program shares with other processes, by the names they are known under. On
// Linux they travel over the D-Bus session bus (docs/dbus.md).
#pragma once

namespace zepho7::app {

inline constexpr char kProductName[] = "Zepho7";
inline constexpr char kWindowTitle[] = "Zepho7 Gaming Mouse 1.0";
// The maker's home page, opened by the logo ($ZEPHO7_HOME_PAGE replaces it).
inline constexpr char kHomePage[] = "https://github.com/zepho7";

// The instance message: brings the running copy's window to the front.
inline constexpr char kInstanceMessage[] = "Zepho7";

struct SharedMessage {
    const char* role;
    const char* name;
};
// In the order they are registered. The fifth name really ends in "EBE19".
inline constexpr SharedMessage kSharedMessages[] = {
    {"settings relay", "{4695579F-999A-41d4-9FAF-EFFCE93EBF15}"},
    {"light-control announcement", "{4695579F-999A-41d4-9FAF-EFFCE93EBF16}"},
    {"light-control request", "{4695579F-999A-41d4-9FAF-EFFCE93EBF17}"},
    {"device-list request", "{4695579F-999A-41d4-9FAF-EFFCE93EBF18}"},
    {"companion command", "{4695579F-999A-41d4-9FAF-EFFCE93EBE19}"},
};
inline constexpr int kSettingsRelay = 0;
inline constexpr int kLightControlAnnouncement = 1;
inline constexpr int kLightControlRequest = 2;
inline constexpr int kDeviceListRequest = 3;
inline constexpr int kCompanionCommand = 4;

inline constexpr char kBusName[] = "io.zepho7.Zepho7";
inline constexpr char kBusPath[] = "/io/zepho7/Zepho7";

}  // namespace zepho7::app
