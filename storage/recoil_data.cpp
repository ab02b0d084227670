#include "storage/recoil_data.h"

#include <algorithm>

#include "base/trace.h"
#include "storage/folders.h"
#include "storage/json_file.h"

namespace zepho7::storage {

namespace fs = std::filesystem;

namespace {
std::string FileName(int gun) {
    return "ShootData_" + std::to_string(gun) + ".Shoot";
}

Json::Value Event(const char* action, int button, int delay, int type) {
    Json::Value e(Json::objectValue);
    e["Action"] = action;
    e["Button"] = button;
    e["Delay"] = delay;
    e["Type"] = type;
    return e;
}
}  // namespace

RecoilData::RecoilData(fs::path user_folder, fs::path default_folder)
    : user_folder_(std::move(user_folder)), default_folder_(std::move(default_folder)) {}

int RecoilData::ClampGun(int gun) {
    return std::clamp(gun, 0, kGuns - 1);
}
int RecoilData::ClampBullet(int bullet) {
    return std::clamp(bullet, 0, kBullets - 1);
}

fs::path RecoilData::UserFile(int gun) const {
    return user_folder_ / FileName(ClampGun(gun));
}
fs::path RecoilData::DefaultFile(int gun) const {
    return default_folder_ / FileName(ClampGun(gun));
}

bool RecoilData::InitShoot() {
    bool ok = true;
    for (int gun = 0; gun < kGuns; ++gun) {
        if (ReadJsonFile(UserFile(gun)).isNull()) {
            ok = ResetShoot(gun) && ok;
        }
    }
    return ok;
}

Bullet RecoilData::LoadBullet(int gun, int bullet) const {
    const Json::Value document = ReadJsonFile(UserFile(gun));
    const Json::Value& events = Member(document, "Events");
    const auto first = static_cast<Json::ArrayIndex>(ClampBullet(bullet) * kEventsPerBullet);
    const Json::Value& x = Element(events, first + 2);
    const Json::Value& y = Element(events, first + 3);
    const Json::Value& delay = Member(y, "Delay");
    return {ToString(Member(x, "Action")) == "down", static_cast<int>(IntMember(x, "Button")),
            ToString(Member(y, "Action")) == "down", static_cast<int>(IntMember(y, "Button")),
            static_cast<int>(delay.isString() ? ParseDecimal(delay.asString()) : ToInt(delay))};
}

bool RecoilData::SaveBullet(int gun, int bullet, const Bullet& value) {
    const fs::path path = UserFile(gun);
    Json::Value document = ReadDocumentForUpdate(path);
    Json::Value& events = ObjectMember(document, "Events");
    if (!events.isArray()) {
        events = Json::Value(Json::arrayValue);
    }
    const auto first = static_cast<Json::ArrayIndex>(ClampBullet(bullet) * kEventsPerBullet);
    // Bullets before this one that the file lacks come from the default pattern.
    if (events.size() < first) {
        const Json::Value defaults = ReadJsonFile(DefaultFile(gun));
        const Json::Value& default_events = Member(defaults, "Events");
        for (Json::ArrayIndex i = events.size(); i < first; ++i) {
            events[i] = Element(default_events, i);
        }
    }
    const char* x_action = value.x_left ? "down" : "up";
    const char* y_action = value.y_up ? "down" : "up";
    const auto x = std::clamp(value.x, 0, 255);
    const auto y = std::clamp(value.y, 0, 255);
    const auto delay = std::clamp(value.delay, 0, 65535);
    events[first + 0] = Event("down", 1, 10, 1);
    events[first + 1] = Event("up", 1, 0, 1);
    events[first + 2] = Event(x_action, x, 5, 4);
    events[first + 3] = Event(y_action, y, delay, 5);
    events[first + 4] = Event(x_action, 0, 0, 4);
    events[first + 5] = Event(y_action, 0, 0, 5);
    if (!EnsureFolder(user_folder_)) {
        return false;
    }
    return WriteJsonFile(document, path);
}

bool RecoilData::ImportShoot(int gun, const fs::path& source) {
    return !source.empty() && EnsureFolder(user_folder_) && CopyFileAtomic(source, UserFile(gun));
}

bool RecoilData::ExportShoot(int gun, const fs::path& target) const {
    return !target.empty() && CopyFileAtomic(UserFile(gun), target);
}

bool RecoilData::ResetShoot(int gun) {
    if (!EnsureFolder(user_folder_)) {
        return false;
    }
    if (!CopyFileAtomic(DefaultFile(gun), UserFile(gun))) {
        Z7_TRACE("storage: no default recoil file %s", DefaultFile(gun).c_str());
        return false;
    }
    return true;
}

std::vector<EncodedEvent> RecoilData::EncodeGun(int gun) const {
    return EncodeEvents(Member(ReadJsonFile(UserFile(gun)), "Events"));
}

}  // namespace zepho7::storage
