// Recoil ("shoot") data: four files "ShootData_<gun>.Shoot" in the mouse's user folder, each a
// macro-like event list of 30 bullets of six events, with shipped defaults of the same names in
// the default-data folder. This is the file side of the recoil panel.
#pragma once

#include <json/value.h>

#include <filesystem>
#include <vector>

#include "storage/macro_library.h"

namespace zepho7::storage {

struct Bullet {
    bool x_left = false;  // X action "down": movement to the left
    int x = 0;            // 0..255
    bool y_up = false;    // Y action "down": movement upwards
    int y = 0;
    int delay = 0;  // milliseconds
    bool operator==(const Bullet&) const = default;
};

class RecoilData {
  public:
    static constexpr int kGuns = 4;
    static constexpr int kBullets = 30;
    static constexpr int kEventsPerBullet = 6;

    RecoilData(std::filesystem::path user_folder, std::filesystem::path default_folder);

    static int ClampGun(int gun);
    static int ClampBullet(int bullet);
    std::filesystem::path UserFile(int gun) const;
    std::filesystem::path DefaultFile(int gun) const;

    // Recreates missing or unreadable user files from the defaults. False when a copy failed.
    [[nodiscard]] bool InitShoot();
    // Reads the two movement events of a bullet; absent events read as zeros.
    Bullet LoadBullet(int gun, int bullet) const;
    // Writes the six events of a bullet; the file's other events and keys are kept.
    [[nodiscard]] bool SaveBullet(int gun, int bullet, const Bullet& value);
    // Byte-for-byte copies, as the user asked: import takes any file unchecked.
    [[nodiscard]] bool ImportShoot(int gun, const std::filesystem::path& source);
    [[nodiscard]] bool ExportShoot(int gun, const std::filesystem::path& target) const;
    [[nodiscard]] bool ResetShoot(int gun);

    // The events of a gun's user file in the device encoding (720 bytes for a complete gun).
    std::vector<EncodedEvent> EncodeGun(int gun) const;

  private:
    std::filesystem::path user_folder_;
    std::filesystem::path default_folder_;
};

}  // namespace zepho7::storage
