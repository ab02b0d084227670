// zepho7ctl: the mouse and the profiles from the command line, over the same core as the window.
// It finds devices with the device scan (hidraw nodes, and the simulator's sockets when
// ZEPHO7_SIM_DIR is set), keeps the same profile files, and writes as the window does: the
// profile first, then the device.
#include <json/value.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "devices/catalogue.h"
#include "devices/device_link.h"
#include "devices/device_scan.h"
#include "devices/mouse_device.h"
#include "keycodes/keycodes.h"
#include "storage/folders.h"
#include "storage/json_file.h"
#include "storage/light_files.h"
#include "storage/macro_library.h"
#include "storage/profile_list.h"
#include "storage/recoil_data.h"
#include "transport/commands.h"

namespace {

using namespace zepho7;
using namespace zepho7::devices;
using keycodes::FunctionCode;

// Exit codes (also in the manual page).
enum Exit : int {
    kOk = 0,
    kUsage = 1,
    kNoDevice = 2,
    kUnreachable = 3,
    kDeviceError = 4,
    kMacrosTooLarge = 5,
    kFileError = 6,
};

struct Options {
    bool json = false;
    std::string link;  // "", "cable" or "receiver"
    std::vector<std::string> args;
};

[[noreturn]] void Fail(int code, const std::string& message) {
    std::fprintf(stderr, "zepho7ctl: %s\n", message.c_str());
    std::exit(code);
}

void Print(const Options& o, const Json::Value& value, const std::string& text) {
    if (o.json)
        std::fputs(storage::ToStyledText(value).c_str(), stdout);
    else
        std::fputs(text.c_str(), stdout);
}

std::optional<int> Number(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size())
        return std::nullopt;
    for (size_t k = i; k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9')
            return std::nullopt;
    }
    if (text.size() > 9)
        return std::nullopt;
    return static_cast<int>(storage::ParseDecimal(text));
}

int NumberOr(std::string_view text, const char* what, int low, int high) {
    const auto n = Number(text);
    if (!n || *n < low || *n > high)
        Fail(kUsage, std::string(what) + " must be a number from " + std::to_string(low) + " to " +
                         std::to_string(high) + " (got '" + std::string(text) + "')");
    return *n;
}

// "RRGGBB" or "#RRGGBB".
std::array<uint8_t, 3> Colour(std::string_view text) {
    if (!text.empty() && text[0] == '#')
        text.remove_prefix(1);
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        Fail(kUsage, "a colour is six hexadecimal digits RRGGBB (got '" + std::string(text) + "')");
    const unsigned long v = std::strtoul(std::string(text).c_str(), nullptr, 16);
    return {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

std::string Hex(int r, int g, int b) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%02x%02x%02x", r & 0xFF, g & 0xFF, b & 0xFF);
    return buffer;
}

// ---- Help ----

struct CommandHelp {
    const char* name;
    const char* usage;
    const char* text;
};

constexpr CommandHelp kHelp[] = {
    {"list", "zepho7ctl list",
     "Lists the attached supported devices: kind, link (cable or receiver),\n"
     "whether the device answers, and the mouse's battery level.\n"},
    {"info", "zepho7ctl info",
     "Shows the mouse's device-information block: product, firmware, key count,\n"
     "sensor, DPI range and step, macro memory.\n"},
    {"get", "zepho7ctl get [dpi|rate|light|keys|all]",
     "Reads the mouse (its settings block into the current profile, as the window\n"
     "does on arrival) and shows the DPI stages, active stage, report rate, lighting\n"
     "and key assignments of the current profile.\n"},
    {"set", "zepho7ctl set WHAT ...",
     "Changes the current profile, saves it, then writes the mouse:\n"
     "  set dpi STAGE [--dpi N] [--enable|--disable] [--colour RRGGBB]   stage 0..5\n"
     "  set active-stage STAGE                                         stage 0..5\n"
     "  set rate N                                  report rate stage 0..4\n"
     "  set light [--mode N] [--brightness 0..4] [--speed 0..4] [--direction 0|1]\n"
     "            [--colour-cycle 0|1] [--colour RRGGBB]\n"
     "  set key KEY FUNCTION     KEY: 0..10 or a key name (mouse_key_left ...);\n"
     "                           FUNCTION: a function name (see 'zepho7ctl functions'),\n"
     "                           macro:N[:MODE], default, or a code 0xTTAABB\n"
     "The DPI value is converted to the sensor's slider position as the\n"
     "performance panel does; the active stage cannot be switched off.\n"},
    {"functions", "zepho7ctl functions", "Lists the function names 'set key' accepts.\n"},
    {"macros", "zepho7ctl macros list | write",
     "list: the macro library with event counts and the keys that use each macro.\n"
     "write: writes the macros used by the keys to the mouse; when they do not fit,\n"
     "says how many events must go and writes nothing.\n"},
    {"recoil", "zepho7ctl recoil write",
     "Writes the four recoil files (ShootData_0..3.Shoot) to the mouse; missing\n"
     "files are first copied from the defaults.\n"},
    {"apply", "zepho7ctl apply",
     "Writes the whole current profile to the mouse: settings block, key table,\n"
     "macros.\n"},
    {"profile",
     "zepho7ctl profile list | select N | add | copy N | rename N NAME |\n"
     "                  delete N | reset N | export N FILE | import FILE",
     "The mouse profiles (the window's profile bar). N is the position shown by\n"
     "'profile list'. select, and reset of the selected profile, also write the\n"
     "profile to the mouse when one is attached.\n"},
};

void PrintHelp(FILE* out) {
    std::fprintf(out,
                 "usage: zepho7ctl [--json] [--link cable|receiver] COMMAND [ARGS]\n"
                 "       zepho7ctl COMMAND --help\n\n"
                 "Configures Zepho7 peripherals from the command line. Uses the same profiles\n"
                 "as the window ($XDG_DATA_HOME/Zepho7); ZEPHO7_SIM_DIR adds the devices of\n"
                 "zepho7-sim. Exit status: 0 done, 1 usage, 2 no device, 3 not reachable\n"
                 "through the receiver, 4 device error, 5 macros too large, 6 file error.\n\n"
                 "Commands:\n");
    for (const CommandHelp& h : kHelp)
        std::fprintf(out, "  %s\n", h.usage);
    std::fprintf(out,
                 "\nOptions:\n  --json     JSON output\n"
                 "  --link L   use the mouse by cable or through its receiver\n");
}

bool HelpFor(const std::string& command) {
    for (const CommandHelp& h : kHelp) {
        if (command == h.name) {
            std::printf("usage: %s\n\n%s", h.usage, h.text);
            return true;
        }
    }
    return false;
}

// ---- Devices ----

struct NullListener : ScanListener {
    void OnDeviceArrived(int) override {}
    void OnDeviceRemoved(int) override {}
    void OnFirstPass() override {}
};

std::vector<InterfaceSlot> ScanSlots() {
    LiveSlotTable table;
    NullListener listener;
    DeviceScanner scanner(table, listener);
    static_cast<void>(scanner.RunCycle());
    std::vector<InterfaceSlot> found;
    for (const InterfaceSlot& s : table.Snapshot()) {
        if (!s.path.empty())
            found.push_back(s);
    }
    return found;
}

std::string KindName(uint16_t kind) {
    switch (kind) {
        case kKindKeyboard:
        case kKindKeyboardReceiver:
            return "keyboard";
        case kKindMouse:
        case kKindMouseReceiver:
            return "mouse";
        case kKindMousePad:
            return "mousepad";
        case kKindHeadset:
        case kKindHeadsetOther:
            return "headset";
        default:
            return "unknown";
    }
}

bool IsReceiver(uint16_t kind) {
    return kind == kKindMouseReceiver || kind == kKindKeyboardReceiver;
}

std::unique_ptr<CNerioMouseDevice> MakeMouse() {
    auto mouse = std::make_unique<CNerioMouseDevice>(storage::DataFolders::ForThisRun());
    const DeviceTypeInfo& t = kDeviceTypes[0];
    mouse->SetKeyCount(t.key_count);
    mouse->SetLedCount(t.led_count);
    mouse->SetTypeRow(0);
    mouse->SetHasBattery(t.has_battery);
    mouse->SetTypeName(std::string(t.type_name));
    return mouse;
}

std::string ResultText(int r) {
    switch (r) {
        case kResultReadFailed:
            return "no answer, or the mouse could not be reached";
        case kResultWriteFailed:
            return "the request could not be sent";
        case kResultUnreachable:
            return "the receiver cannot reach the mouse";
        case kResultRejected:
            return "the mouse rejected the request (status 0xFF)";
        case kResultFailed:
            return "the mouse failed the request (status 0xFE)";
        default:
            return "result " + std::to_string(r);
    }
}

// The attached mouse, opened and read. Exits with a clear message when there is none.
std::unique_ptr<CNerioMouseDevice> OpenMouse(const Options& o, bool read = true) {
    std::optional<InterfaceSlot> chosen;
    for (const InterfaceSlot& s : ScanSlots()) {
        if (s.info.role != kRoleConfiguration ||
            (s.info.kind != kKindMouse && s.info.kind != kKindMouseReceiver)) {
            continue;
        }
        const bool receiver = s.info.kind == kKindMouseReceiver;
        if (o.link == (receiver ? "cable" : "receiver"))
            continue;
        // The cable wins when both are there, as the mouse then charges and answers faster.
        if (!chosen || (!receiver && chosen->info.kind == kKindMouseReceiver))
            chosen = s;
    }
    if (!chosen)
        Fail(kNoDevice,
             o.link.empty() ? "no mouse is attached" : "no mouse is attached by " + o.link);
    auto mouse = MakeMouse();
    mouse->SetIdentity(*chosen);
    mouse->SetTypeIndex(kDeviceTypes[0].type_index);
    const bool receiver = chosen->info.kind == kKindMouseReceiver;
    if (!OpenConfigurationLink(mouse->Transceiver(), chosen->path, receiver))
        Fail(kNoDevice, "cannot open " + chosen->path + " (is the udev rule installed?)");
    if (receiver && !mouse->IsReachableByReceiver())
        Fail(kUnreachable, "the receiver cannot reach the mouse (switched off or out of range?)");
    if (read) {
        const int r = mouse->ReadFromDevice();
        if (r != kResultOk)
            Fail(r == kResultUnreachable ? kUnreachable : kDeviceError,
                 "reading the mouse failed: " + ResultText(r));
    }
    return mouse;
}

void CheckWrite(int result, const char* what) {
    if (result == kResultOk)
        return;
    Fail(result == kResultUnreachable ? kUnreachable : kDeviceError,
         std::string(what) + " not written: " + ResultText(result));
}

// Settings block as the performance panel writes it: block 0, values 0 and 1, and the screen
// size the mouse already holds (there is no screen here).
void WriteSettings(CNerioMouseDevice& mouse) {
    const SettingsBytes& m = mouse.SettingsMirror();
    LightWriteRequest request{.block = 0, .block0_value = 0, .caller_value = 1};
    request.width = m[69] | m[70] << 8;
    request.height = m[71] | m[72] << 8;
    CheckWrite(mouse.WriteLightSettings(request), "settings block");
}

void WriteMacrosOrFail(CNerioMouseDevice& mouse) {
    const std::vector<int> list = mouse.ListMacros();
    const int r = mouse.WriteMacros(list);
    if (r == kMacrosWritten)
        return;
    if (r > 0)
        Fail(kMacrosTooLarge, "the macros do not fit the mouse's macro memory (" +
                                  std::to_string(mouse.Info().macro_memory) + " bytes): remove " +
                                  std::to_string(r) + " events; nothing was written");
    if (r == kMacroTooLong)
        Fail(kMacrosTooLarge, "a macro has more than 250 events; nothing was written");
    if (r == kMacroLibraryMissing)
        Fail(kFileError, "the macro library (macro.config) cannot be read");
    CheckWrite(r == kMacrosLinkFailed ? kResultReadFailed : r, "macros");
}

void SaveOrFail(CNerioMouseDevice& mouse) {
    if (!mouse.Profile().Save())
        Fail(kFileError, "cannot save " + mouse.Profile().GetProfilePath().string());
}

// ---- Function names ----

std::string CodeName(FunctionCode code, std::span<const std::string> macros) {
    const keycodes::DisplayName n = keycodes::NameOfCode(code, macros);
    std::string text;
    for (const std::string& part : n.parts)
        text += (text.empty() ? "" : "+") + part;
    if (keycodes::IsMacroCode(code))
        text = "macro:" + std::to_string(code.code1) + (text.empty() ? "" : " (" + text + ")");
    return text.empty() ? "none" : text;
}

std::map<std::string, FunctionCode> FunctionNames() {
    std::map<std::string, FunctionCode> names;
    using keycodes::FunctionTable;
    for (FunctionTable t : {FunctionTable::kMouseButtons, FunctionTable::kDpiActions,
                            FunctionTable::kMedia, FunctionTable::kSystem}) {
        for (const FunctionCode& c : keycodes::TableRows(t))
            names.emplace(CodeName(c, {}), c);
    }
    for (const keycodes::KeyCodeEntry& e : keycodes::KeyTable())
        names.emplace(e.entry, e.code);
    return names;
}

std::string Hex6(FunctionCode c) {
    char buffer[12];
    std::snprintf(buffer, sizeof buffer, "0x%02x%02x%02x", c.type, c.code1, c.code2);
    return buffer;
}

FunctionCode ParseFunction(const std::string& text, const storage::KeyEntry& key) {
    if (text == "default")
        return key.default_code;
    if (text.rfind("macro:", 0) == 0) {
        const std::string rest = text.substr(6);
        const size_t colon = rest.find(':');
        const int m = NumberOr(rest.substr(0, colon), "the macro number", 0, 255);
        const int mode = colon == std::string::npos
                             ? 0
                             : NumberOr(rest.substr(colon + 1), "the repeat mode", 0, 3);
        return keycodes::EncodeMacro(m, mode, 0);
    }
    if (text.rfind("0x", 0) == 0 && text.size() == 8 &&
        text.find_first_not_of("0123456789abcdefABCDEF", 2) == std::string::npos) {
        return FunctionCode::FromInt(std::strtol(text.c_str() + 2, nullptr, 16));
    }
    const auto names = FunctionNames();
    const auto it = names.find(text);
    if (it == names.end())
        Fail(kUsage, "unknown function '" + text + "' (see 'zepho7ctl functions')");
    return it->second;
}

int ParseKey(const std::string& text) {
    if (const auto n = Number(text)) {
        if (*n >= 0 && *n < keycodes::kMouseLogicalKeys)
            return *n;
    }
    for (int j = 0; j < keycodes::kMouseLogicalKeys; ++j) {
        if (text == keycodes::kMouseKeyEntries[static_cast<size_t>(j)])
            return j;
    }
    Fail(kUsage,
         "unknown mouse key '" + text + "' (0..10 or a name shown by 'zepho7ctl get keys')");
}

// ---- Commands ----

int CmdList(const Options& o) {
    Json::Value out(Json::arrayValue);
    std::string text;
    for (const InterfaceSlot& s : ScanSlots()) {
        if (s.info.role != kRoleConfiguration)
            continue;
        Json::Value d;
        d["kind"] = KindName(s.info.kind);
        d["link"] = IsReceiver(s.info.kind) ? "receiver" : "cable";
        d["path"] = s.path;
        bool reachable = true;
        std::string battery = "-";
        if (s.info.kind == kKindMouse || s.info.kind == kKindMouseReceiver) {
            auto mouse = MakeMouse();
            mouse->SetIdentity(s);
            if (OpenConfigurationLink(mouse->Transceiver(), s.path,
                                      s.info.kind == kKindMouseReceiver)) {
                reachable = CmdQueryLink(mouse->Transceiver());
                mouse->ReadPowerStatus();
                if (const auto p = mouse->LastPowerStatus()) {
                    d["battery"] = (*p)[0];
                    d["charging"] = (*p)[1];
                    battery = std::to_string((*p)[0]) + "%" + ((*p)[1] != 0 ? " charging" : "");
                }
            } else {
                reachable = false;
            }
        }
        d["reachable"] = reachable;
        out.append(d);
        char line[512];
        std::snprintf(line, sizeof line, "%-9s %-9s %-10s %-14s %s\n", d["kind"].asCString(),
                      d["link"].asCString(), reachable ? "reachable" : "away", battery.c_str(),
                      s.path.c_str());
        text += line;
    }
    if (out.empty())
        text = "no supported device is attached\n";
    Print(o, out, text);
    return kOk;
}

int CmdInfo(const Options& o) {
    auto mouse = OpenMouse(o);
    const MouseInfo& i = mouse->Info();
    const auto& b = mouse->DeviceInfoBlock();
    Json::Value v;
    v["product_id"] = b[0] | b[1] << 8;
    v["firmware"] = b[2] | b[3] << 8;
    v["keys"] = i.key_count;
    v["sensor"] = i.sensor_code;
    v["dpi_step"] = i.dpi_step;
    v["dpi_min"] = SliderToDpi(i, 0);
    v["dpi_max"] = SliderToDpi(i, i.max_slider);
    v["slider_max"] = i.max_slider;
    v["macro_memory"] = static_cast<Json::UInt>(i.macro_memory);
    v["link"] = mouse->Transceiver().IsWireless() ? "receiver" : "cable";
    char text[512];
    std::snprintf(text, sizeof text,
                  "product    %04x, firmware %04x, by %s\nkeys       %d\nsensor     %04x\n"
                  "DPI        %d to %d in steps of %d (slider 0..%d)\nmacro memory %zu bytes\n",
                  v["product_id"].asInt(), v["firmware"].asInt(), v["link"].asCString(),
                  i.key_count, i.sensor_code, v["dpi_min"].asInt(), v["dpi_max"].asInt(),
                  i.dpi_step, i.max_slider, i.macro_memory);
    Print(o, v, text);
    return kOk;
}

Json::Value DpiJson(CNerioMouseDevice& mouse, std::string& text) {
    storage::CMouseProfiledata& p = mouse.Profile();
    Json::Value stages(Json::arrayValue);
    const int active = p.GetActiveDpiStage();
    const auto list = p.GetDpiStages();
    for (size_t n = 0; n < list.size() && n < kDpiStages; ++n) {
        const storage::DpiStage& s = list[n];
        Json::Value j;
        j["stage"] = static_cast<int>(n);
        j["enabled"] = s.active != 0;
        j["dpi"] = SliderToDpi(mouse.Info(), s.dpi_x);
        j["slider"] = s.dpi_x;
        j["colour"] = Hex(s.red, s.green, s.blue);
        j["active"] = static_cast<int>(n) == active;
        stages.append(j);
        char line[128];
        std::snprintf(line, sizeof line, "stage %zu  %-8s %6d DPI  colour %s%s\n", n,
                      s.active != 0 ? "enabled" : "disabled", j["dpi"].asInt(),
                      j["colour"].asCString(), j["active"].asBool() ? "  (active)" : "");
        text += line;
    }
    return stages;
}

int CmdGet(const Options& o) {
    const std::string what = o.args.size() > 1 ? o.args[1] : "all";
    if (what != "all" && what != "dpi" && what != "rate" && what != "light" && what != "keys")
        Fail(kUsage, "get takes dpi, rate, light, keys or all");
    auto mouse = OpenMouse(o);
    storage::CMouseProfiledata& p = mouse->Profile();
    Json::Value v;
    std::string text;
    const bool all = what == "all";
    if (all || what == "dpi") {
        v["dpi_stages"] = DpiJson(*mouse, text);
        v["active_stage"] = p.GetActiveDpiStage();
    }
    if (all || what == "rate") {
        v["report_rate_stage"] = p.GetMouseSettings().report_stage;
        text += "report rate stage " + std::to_string(p.GetMouseSettings().report_stage) + "\n";
    }
    if (all || what == "light") {
        const storage::LightRecord l = p.GetLightInfo();
        Json::Value j;
        j["mode"] = l.select_item;
        const auto names = mouse->ModeValues();
        std::string name;
        if (l.select_item < names.size()) {
            // The effect's language entry, as the lighting panel lists it.
            storage::DataFolders f = mouse->Folders();
            const auto lights =
                storage::ReadDefaultLights(storage::ReadJsonFile(f.DefaultLightList()), 1);
            if (l.select_item < lights.size())
                name = lights[l.select_item].name;
        }
        j["mode_name"] = name;
        j["brightness"] = l.light;
        j["speed"] = l.speed;
        j["direction"] = l.fx;
        j["colour_cycle"] = l.multi_color;
        j["colour"] = Hex(l.red, l.green, l.blue);
        v["light"] = j;
        char line[256];
        std::snprintf(line, sizeof line,
                      "light mode %d %s, brightness %d, speed %d, direction %d, colour cycle %d, "
                      "colour %s\n",
                      l.select_item, name.c_str(), l.light, l.speed, l.fx, l.multi_color,
                      j["colour"].asCString());
        text += line;
    }
    if (all || what == "keys") {
        Json::Value keys(Json::arrayValue);
        const auto& list = mouse->KeyAssignments();
        for (size_t k = 0; k < list.size() && k < keycodes::kMouseLogicalKeys; ++k) {
            Json::Value j;
            j["key"] = static_cast<int>(k);
            j["name"] = keycodes::kMouseKeyEntries[k];
            j["function"] = CodeName(list[k].current, mouse->MacroNames());
            j["code"] = Hex6(list[k].current);
            const auto it = mouse->LogicalKeyMap().find(static_cast<int>(k));
            j["on_device"] = it != mouse->LogicalKeyMap().end() && it->second != kNoDeviceKey;
            keys.append(j);
            char line[256];
            std::snprintf(line, sizeof line, "key %-2zu %-20s %s (%s)%s\n", k,
                          keycodes::kMouseKeyEntries[k], j["function"].asCString(),
                          j["code"].asCString(), j["on_device"].asBool() ? "" : "  not on device");
            text += line;
        }
        v["keys"] = keys;
    }
    Print(o, v, text);
    return kOk;
}

// "--name value" pairs after the positional arguments.
std::map<std::string, std::string> Flags(const std::vector<std::string>& args, size_t from,
                                         const std::vector<std::string>& with_value,
                                         const std::vector<std::string>& bare) {
    std::map<std::string, std::string> flags;
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (std::find(bare.begin(), bare.end(), a) != bare.end()) {
            flags[a] = "1";
        } else if (std::find(with_value.begin(), with_value.end(), a) != with_value.end()) {
            if (i + 1 >= args.size())
                Fail(kUsage, a + " needs a value");
            flags[a] = args[++i];
        } else {
            Fail(kUsage, "unexpected argument '" + a + "' (see 'zepho7ctl set --help')");
        }
    }
    return flags;
}

int CmdSet(const Options& o) {
    if (o.args.size() < 2)
        Fail(kUsage, "set needs what to set (see 'zepho7ctl set --help')");
    const std::string what = o.args[1];
    auto need = [&](size_t n) {
        if (o.args.size() < n)
            Fail(kUsage, "set " + what + ": missing argument (see 'zepho7ctl set --help')");
    };
    if (what != "dpi" && what != "active-stage" && what != "rate" && what != "light" &&
        what != "key") {
        Fail(kUsage, "set takes dpi, active-stage, rate, light or key");
    }
    need(what == "light" ? 2 : 3);
    auto mouse = OpenMouse(o);
    storage::CMouseProfiledata& p = mouse->Profile();
    if (what == "dpi") {
        const int n = NumberOr(o.args[2], "the stage", 0, kDpiStages - 1);
        const auto f =
            Flags(o.args, 3, {"--dpi", "--colour", "--color"}, {"--enable", "--disable"});
        std::vector<storage::DpiStage> stages = p.GetDpiStages();
        stages.resize(std::max<size_t>(stages.size(), static_cast<size_t>(n) + 1));
        storage::DpiStage& s = stages[static_cast<size_t>(n)];
        if (f.count("--dpi") != 0) {
            const int dpi = NumberOr(f.at("--dpi"), "the DPI", 0, 1000000);
            s.dpi_x = static_cast<uint16_t>(
                std::min<int>(DpiToSlider(mouse->Info(), dpi), mouse->Info().max_slider));
        }
        for (const char* c : {"--colour", "--color"}) {
            if (f.count(c) != 0) {
                const auto rgb = Colour(f.at(c));
                s.red = rgb[0];
                s.green = rgb[1];
                s.blue = rgb[2];
            }
        }
        if (f.count("--enable") != 0)
            s.active = 1;
        if (f.count("--disable") != 0) {
            if (n == p.GetActiveDpiStage())
                Fail(kUsage, "the active stage cannot be switched off");
            int enabled = 0;
            for (const storage::DpiStage& x : stages)
                enabled += x.active != 0 ? 1 : 0;
            if (s.active != 0 && enabled <= 1)
                Fail(kUsage, "the last enabled stage cannot be switched off");
            s.active = 0;
        }
        p.SetDpiStages(stages);
    } else if (what == "active-stage") {
        const int n = NumberOr(o.args[2], "the stage", 0, kDpiStages - 1);
        std::vector<storage::DpiStage> stages = p.GetDpiStages();
        if (static_cast<size_t>(n) >= stages.size() || stages[static_cast<size_t>(n)].active == 0)
            Fail(kUsage, "stage " + std::to_string(n) + " is not enabled");
        p.SetActiveDpiStage(n);
    } else if (what == "rate") {
        storage::MouseSettings m = p.GetMouseSettings();
        m.report_stage = static_cast<uint16_t>(NumberOr(o.args[2], "the report rate stage", 0, 4));
        p.SetMouseSettings(m);
    } else if (what == "light") {
        const auto f = Flags(o.args, 2,
                             {"--mode", "--brightness", "--speed", "--direction", "--colour-cycle",
                              "--colour", "--color"},
                             {});
        storage::LightRecord l = p.GetLightInfo();
        const auto custom = storage::ReadCustomLights(p.LoadLightListFile(), 1);
        const int modes = 12 + static_cast<int>(custom.size()) - 1;
        if (f.count("--mode") != 0)
            l.select_item = static_cast<uint8_t>(NumberOr(f.at("--mode"), "the mode", 0, modes));
        if (f.count("--brightness") != 0)
            l.light = static_cast<uint8_t>(NumberOr(f.at("--brightness"), "the brightness", 0, 4));
        if (f.count("--speed") != 0)
            l.speed = static_cast<uint8_t>(NumberOr(f.at("--speed"), "the speed", 0, 4));
        if (f.count("--direction") != 0)
            l.fx = static_cast<uint8_t>(NumberOr(f.at("--direction"), "the direction", 0, 1));
        if (f.count("--colour-cycle") != 0)
            l.multi_color =
                static_cast<uint8_t>(NumberOr(f.at("--colour-cycle"), "the colour cycle", 0, 1));
        for (const char* c : {"--colour", "--color"}) {
            if (f.count(c) != 0) {
                const auto rgb = Colour(f.at(c));
                l.red = rgb[0];
                l.green = rgb[1];
                l.blue = rgb[2];
            }
        }
        p.SetLightInfo(l);
    } else {
        const int key = ParseKey(o.args[2]);
        need(4);
        const FunctionCode code =
            ParseFunction(o.args[3], mouse->KeyAssignments()[static_cast<size_t>(key)]);
        if (keycodes::IsMacroCode(code) &&
            code.code1 >= static_cast<int>(mouse->MacroNames().size())) {
            Fail(kUsage, "there is no macro " + std::to_string(code.code1) +
                             " (see 'zepho7ctl macros list')");
        }
        static_cast<void>(mouse->SetKeyAssignment(key, code));
    }
    SaveOrFail(*mouse);
    if (what == "key") {
        CheckWrite(mouse->WriteCurrentKeyAssignments(0), "key table");
        WriteMacrosOrFail(*mouse);
    } else {
        static_cast<void>(mouse->ApplyLightSettings());
        WriteSettings(*mouse);
    }
    Print(o, Json::Value("ok"), "done\n");
    return kOk;
}

int CmdFunctions(const Options& o) {
    Json::Value v;
    std::string text;
    for (const auto& [name, code] : FunctionNames()) {
        v[name] = Hex6(code);
        text += name + "  " + Hex6(code) + "\n";
    }
    text += "macro:N[:MODE]  a macro of the library (MODE 0..3)\ndefault  the key's own function\n";
    Print(o, v, text);
    return kOk;
}

int CmdMacros(const Options& o) {
    const std::string what = o.args.size() > 1 ? o.args[1] : "";
    if (what == "write") {
        auto mouse = OpenMouse(o);
        WriteMacrosOrFail(*mouse);
        Json::Value v(Json::arrayValue);
        for (int m : mouse->ListMacros())
            v.append(m);
        Print(o, v, "wrote " + std::to_string(v.size()) + " macros\n");
        return kOk;
    }
    if (what != "list")
        Fail(kUsage, "macros takes list or write");
    const storage::DataFolders folders = storage::DataFolders::ForThisRun();
    storage::MacroLibrary library(folders.UserFolder(storage::kMouseType));
    Json::Value v(Json::arrayValue);
    std::string text;
    const auto entries = library.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        Json::Value j;
        j["number"] = static_cast<int>(i);
        j["name"] = entries[i].name;
        j["events"] = static_cast<int>(library.EncodeMacro(static_cast<int>(i)).size());
        v.append(j);
        text += std::to_string(i) + "  " + entries[i].name + "  " +
                std::to_string(j["events"].asInt()) + " events\n";
    }
    if (entries.empty())
        text = "the macro library is empty\n";
    Print(o, v, text);
    return kOk;
}

int CmdRecoil(const Options& o) {
    if (o.args.size() < 2 || o.args[1] != "write")
        Fail(kUsage, "recoil takes write");
    auto mouse = OpenMouse(o);
    storage::RecoilData recoil(mouse->Folders().UserFolder(storage::kMouseType),
                               mouse->Folders().DefaultData());
    if (!recoil.InitShoot())
        Fail(kFileError, "cannot create the recoil files from the defaults");
    CheckWrite(mouse->WriteRecoilData(), "recoil data");
    Print(o, Json::Value("ok"), "done\n");
    return kOk;
}

void ApplyProfile(CNerioMouseDevice& mouse) {
    WriteSettings(mouse);
    CheckWrite(mouse.WriteCurrentKeyAssignments(0), "key table");
    WriteMacrosOrFail(mouse);
}

int CmdApply(const Options& o) {
    auto mouse = OpenMouse(o, false);
    if (mouse->ReadDeviceSettings() != kResultOk)
        Fail(kDeviceError, "reading the mouse failed");
    mouse->LoadProfile();
    // The settings mirror gives the screen size the mouse holds.
    static_cast<void>(mouse->ReadLightSettings());
    mouse->LoadProfile();
    ApplyProfile(*mouse);
    Print(o, Json::Value("ok"), "done\n");
    return kOk;
}

// After the profile list changed the current profile: the mouse gets it, when attached.
void ApplySelectedIfAttached(const Options& o) {
    bool attached = false;
    for (const InterfaceSlot& s : ScanSlots())
        attached |= s.info.role == kRoleConfiguration &&
                    (s.info.kind == kKindMouse || s.info.kind == kKindMouseReceiver);
    if (!attached)
        return;
    auto mouse = OpenMouse(o, false);
    if (mouse->ReadDeviceSettings() != kResultOk)
        Fail(kDeviceError, "reading the mouse failed");
    mouse->LoadProfile();
    ApplyProfile(*mouse);
}

int CmdProfile(const Options& o) {
    const storage::DataFolders folders = storage::DataFolders::ForThisRun();
    storage::ProfileList list(storage::kind::kMouse, folders.UserFolder(storage::kMouseType),
                              folders.DefaultProfile(storage::kMouseType));
    if (!list.InitProfiles())
        Fail(kFileError, "cannot write the profile list " + list.ListPath().string());
    const std::string what = o.args.size() > 1 ? o.args[1] : "list";
    const int count = list.GetProfileCount();
    auto index = [&](size_t at) {
        if (o.args.size() <= at)
            Fail(kUsage, "profile " + what + " needs a profile number");
        return NumberOr(o.args[at], "the profile number", 0, count - 1);
    };
    bool apply = false;
    std::string done = "done\n";
    if (what == "list") {
        Json::Value v(Json::arrayValue);
        std::string text;
        const auto entries = list.Entries();
        for (size_t i = 0; i < entries.size(); ++i) {
            Json::Value j;
            j["number"] = static_cast<int>(i);
            j["name"] = entries[i].name;
            j["uuid"] = entries[i].uuid;
            j["selected"] = static_cast<int>(i) == list.GetSelectedIndex();
            v.append(j);
            text += (j["selected"].asBool() ? "* " : "  ") + std::to_string(i) + "  " +
                    entries[i].name + "\n";
        }
        Print(o, v, text);
        return kOk;
    } else if (what == "select") {
        if (!list.SelectProfile(index(2)))
            Fail(kFileError, "cannot select the profile");
        apply = true;
    } else if (what == "add") {
        const int n = list.AddProfile();
        if (n < 0)
            Fail(kFileError, "no profile added (at most 50)");
        done = "added profile " + std::to_string(n) + "\n";
    } else if (what == "copy") {
        const int n = list.CopyProfile(index(2));
        if (n < 0)
            Fail(kFileError, "the profile could not be copied");
        done = "copied to profile " + std::to_string(n) + "\n";
    } else if (what == "rename") {
        const int n = index(2);
        if (o.args.size() < 4)
            Fail(kUsage, "profile rename needs a new name");
        switch (list.RenameProfile(n, o.args[3])) {
            case storage::RenameResult::kRenamed:
                break;
            case storage::RenameResult::kNameInUse:
                Fail(kUsage, "another profile is called '" + o.args[3] + "'");
            case storage::RenameResult::kBlank:
                Fail(kUsage, "a profile name cannot be blank");
            case storage::RenameResult::kNoProfile:
                Fail(kUsage, "there is no such profile");
        }
    } else if (what == "delete") {
        const int n = index(2);
        const bool was_selected = n == list.GetSelectedIndex();
        const int next = list.DeleteProfile(n);
        if (next < 0)
            Fail(kUsage, "the last profile cannot be deleted");
        if (was_selected) {
            if (!list.SelectProfile(next))
                Fail(kFileError, "cannot select the profile");
            apply = true;
        }
    } else if (what == "reset") {
        const int n = index(2);
        if (!list.ResetProfile(n))
            Fail(kFileError, "the profile could not be reset");
        apply = n == list.GetSelectedIndex();
    } else if (what == "export") {
        const int n = index(2);
        if (o.args.size() < 4)
            Fail(kUsage, "profile export needs a file name");
        if (!list.ExportProfile(n, o.args[3]))
            Fail(kFileError, "cannot write " + o.args[3]);
    } else if (what == "import") {
        if (o.args.size() < 3)
            Fail(kUsage, "profile import needs a file name");
        const storage::ImportResult r = list.ImportProfile(o.args[2]);
        switch (r.status) {
            case storage::ImportStatus::kImported:
                done = "imported as profile " + std::to_string(r.index) + " '" + r.name + "'\n";
                break;
            case storage::ImportStatus::kUnreadable:
                Fail(kFileError, "cannot read " + o.args[2]);
            case storage::ImportStatus::kNotAProfile:
                Fail(kFileError, o.args[2] + " is not a profile");
            case storage::ImportStatus::kWrongKind:
                Fail(kFileError, o.args[2] + " is a profile of another device");
            case storage::ImportStatus::kWriteFailed:
                Fail(kFileError, "cannot write the imported profile");
        }
    } else {
        Fail(kUsage, "unknown profile command '" + what + "' (see 'zepho7ctl profile --help')");
    }
    if (apply)
        ApplySelectedIfAttached(o);
    Print(o, Json::Value("ok"), done);
    return kOk;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    bool help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--json") {
            o.json = true;
        } else if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--link") {
            if (i + 1 >= argc ||
                (std::string(argv[i + 1]) != "cable" && std::string(argv[i + 1]) != "receiver")) {
                Fail(kUsage, "--link takes cable or receiver");
            }
            o.link = argv[++i];
        } else {
            o.args.push_back(a);
        }
    }
    if (o.args.empty() || o.args[0] == "help") {
        if (o.args.size() > 1 && HelpFor(o.args[1]))
            return kOk;
        PrintHelp(help || !o.args.empty() ? stdout : stderr);
        return help || !o.args.empty() ? kOk : kUsage;
    }
    const std::string command = o.args[0];
    if (help) {
        if (HelpFor(command))
            return kOk;
        Fail(kUsage, "unknown command '" + command + "' (see 'zepho7ctl --help')");
    }
    static const std::map<std::string, int (*)(const Options&)> kCommands = {
        {"list", CmdList},     {"info", CmdInfo},           {"get", CmdGet},
        {"set", CmdSet},       {"functions", CmdFunctions}, {"macros", CmdMacros},
        {"recoil", CmdRecoil}, {"apply", CmdApply},         {"profile", CmdProfile},
    };
    const auto it = kCommands.find(command);
    if (it == kCommands.end())
        Fail(kUsage, "unknown command '" + command + "' (see 'zepho7ctl --help')");
    return it->second(o);
}
