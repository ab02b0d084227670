#include "keycodes/keycodes.h"

#include <algorithm>

namespace zepho7::keycodes {

namespace {

constexpr std::array<FunctionCode, 5> kMouseButtonRows = {{{0x10, 0x01, 0x00},
                                                           {0x10, 0x04, 0x00},
                                                           {0x10, 0x02, 0x00},
                                                           {0x10, 0x10, 0x00},
                                                           {0x10, 0x08, 0x00}}};
constexpr std::array<FunctionCode, 3> kDpiRows = {
    {{0x13, 0x01, 0x00}, {0x13, 0x02, 0x00}, {0x13, 0x03, 0x00}}};
constexpr std::array<uint16_t, 18> kMediaUsages = {0x0183, 0x00CD, 0x00B7, 0x00B6, 0x00B5, 0x00EA,
                                                   0x00E9, 0x00E2, 0x0223, 0x0227, 0x0226, 0x0224,
                                                   0x0225, 0x022A, 0x0221, 0x0194, 0x0192, 0x018A};
constexpr std::array<FunctionCode, 18> MakeMediaRows() {
    std::array<FunctionCode, 18> rows{};
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i] = MediaCode(kMediaUsages[i]);
    }
    return rows;
}
constexpr std::array<FunctionCode, 18> kMediaRows = MakeMediaRows();
constexpr std::array<const char*, 18> kMediaEntries = {
    "media_text",    "media_play",   "media_stop", "media_prev",  "media_next", "media_vol_sub",
    "media_vol_add", "media_mute",   "web_text",   "web_refresh", "wed_stop",   "wed_back",
    "wed_forward",   "wed_favorite", "web_search", "media_mypc",  "media_calc", "media_mail"};
constexpr std::array<FunctionCode, 3> kSystemRows = {
    {{0x40, 0x01, 0x00}, {0x40, 0x02, 0x00}, {0x40, 0x04, 0x00}}};
// All left Ctrl plus a key: O, N, Z, S, C, X, V, F, A, -, =.
constexpr std::array<FunctionCode, 11> kShortcutRows = {{{0x20, 0x01, 0x12},
                                                         {0x20, 0x01, 0x11},
                                                         {0x20, 0x01, 0x1D},
                                                         {0x20, 0x01, 0x16},
                                                         {0x20, 0x01, 0x06},
                                                         {0x20, 0x01, 0x1B},
                                                         {0x20, 0x01, 0x19},
                                                         {0x20, 0x01, 0x09},
                                                         {0x20, 0x01, 0x04},
                                                         {0x20, 0x01, 0x2D},
                                                         {0x20, 0x01, 0x2E}}};

// Virtual-key code, function code, set-1 scan code, extended flag, has scan code, entry name.
constexpr std::array<KeyCodeEntry, kKeyTableSize> kKeys = {{
    {0x0A2, {0x20, 0x01, 0x00}, 0x1D, false, true, "keyboard_key_LCtrl"},
    {0x0A0, {0x20, 0x02, 0x00}, 0x2A, false, true, "keyboard_key_LShift"},
    {0x0A4, {0x20, 0x04, 0x00}, 0x38, false, true, "keyboard_key_LAlt"},
    {0x05B, {0x20, 0x08, 0x00}, 0x5B, true, true, "keyboard_key_LWin"},
    {0x0A3, {0x20, 0x10, 0x00}, 0x1D, true, true, "keyboard_key_RCtrl"},
    {0x0A1, {0x20, 0x20, 0x00}, 0x36, true, true, "keyboard_key_RShift"},
    {0x0A5, {0x20, 0x40, 0x00}, 0x38, true, true, "keyboard_key_RAlt"},
    {0x05C, {0x20, 0x80, 0x00}, 0x5C, true, true, "keyboard_key_RWin"},
    {0x041, {0x20, 0x00, 0x04}, 0x1E, false, true, "keyboard_key_A"},
    {0x042, {0x20, 0x00, 0x05}, 0x30, false, true, "keyboard_key_B"},
    {0x043, {0x20, 0x00, 0x06}, 0x2E, false, true, "keyboard_key_C"},
    {0x044, {0x20, 0x00, 0x07}, 0x20, false, true, "keyboard_key_D"},
    {0x045, {0x20, 0x00, 0x08}, 0x12, false, true, "keyboard_key_E"},
    {0x046, {0x20, 0x00, 0x09}, 0x21, false, true, "keyboard_key_F"},
    {0x047, {0x20, 0x00, 0x0A}, 0x22, false, true, "keyboard_key_G"},
    {0x048, {0x20, 0x00, 0x0B}, 0x23, false, true, "keyboard_key_H"},
    {0x049, {0x20, 0x00, 0x0C}, 0x17, false, true, "keyboard_key_I"},
    {0x04A, {0x20, 0x00, 0x0D}, 0x24, false, true, "keyboard_key_J"},
    {0x04B, {0x20, 0x00, 0x0E}, 0x25, false, true, "keyboard_key_K"},
    {0x04C, {0x20, 0x00, 0x0F}, 0x26, false, true, "keyboard_key_L"},
    {0x04D, {0x20, 0x00, 0x10}, 0x32, false, true, "keyboard_key_M"},
    {0x04E, {0x20, 0x00, 0x11}, 0x31, false, true, "keyboard_key_N"},
    {0x04F, {0x20, 0x00, 0x12}, 0x18, false, true, "keyboard_key_O"},
    {0x050, {0x20, 0x00, 0x13}, 0x19, false, true, "keyboard_key_P"},
    {0x051, {0x20, 0x00, 0x14}, 0x10, false, true, "keyboard_key_Q"},
    {0x052, {0x20, 0x00, 0x15}, 0x13, false, true, "keyboard_key_R"},
    {0x053, {0x20, 0x00, 0x16}, 0x1F, false, true, "keyboard_key_S"},
    {0x054, {0x20, 0x00, 0x17}, 0x14, false, true, "keyboard_key_T"},
    {0x055, {0x20, 0x00, 0x18}, 0x16, false, true, "keyboard_key_U"},
    {0x056, {0x20, 0x00, 0x19}, 0x2F, false, true, "keyboard_key_V"},
    {0x057, {0x20, 0x00, 0x1A}, 0x11, false, true, "keyboard_key_W"},
    {0x058, {0x20, 0x00, 0x1B}, 0x2D, false, true, "keyboard_key_X"},
    {0x059, {0x20, 0x00, 0x1C}, 0x15, false, true, "keyboard_key_Y"},
    {0x05A, {0x20, 0x00, 0x1D}, 0x2C, false, true, "keyboard_key_Z"},
    {0x031, {0x20, 0x00, 0x1E}, 0x02, false, true, "keyboard_key_1"},
    {0x032, {0x20, 0x00, 0x1F}, 0x03, false, true, "keyboard_key_2"},
    {0x033, {0x20, 0x00, 0x20}, 0x04, false, true, "keyboard_key_3"},
    {0x034, {0x20, 0x00, 0x21}, 0x05, false, true, "keyboard_key_4"},
    {0x035, {0x20, 0x00, 0x22}, 0x06, false, true, "keyboard_key_5"},
    {0x036, {0x20, 0x00, 0x23}, 0x07, false, true, "keyboard_key_6"},
    {0x037, {0x20, 0x00, 0x24}, 0x08, false, true, "keyboard_key_7"},
    {0x038, {0x20, 0x00, 0x25}, 0x09, false, true, "keyboard_key_8"},
    {0x039, {0x20, 0x00, 0x26}, 0x0A, false, true, "keyboard_key_9"},
    {0x030, {0x20, 0x00, 0x27}, 0x0B, false, true, "keyboard_key_0"},
    {0x00D, {0x20, 0x00, 0x28}, 0x1C, false, true, "keyboard_key_Enter"},
    {0x01B, {0x20, 0x00, 0x29}, 0x01, false, true, "keyboard_key_Esc"},
    {0x008, {0x20, 0x00, 0x2A}, 0x0E, false, true, "keyboard_key_BackSpace"},
    {0x009, {0x20, 0x00, 0x2B}, 0x0F, false, true, "keyboard_key_Tab"},
    {0x020, {0x20, 0x00, 0x2C}, 0x39, false, true, "keyboard_key_Space"},
    {0x0BD, {0x20, 0x00, 0x2D}, 0x0C, false, true, "keyboard_key_-"},
    {0x0BB, {0x20, 0x00, 0x2E}, 0x0D, false, true, "keyboard_key_="},
    {0x0DB, {0x20, 0x00, 0x2F}, 0x1A, false, true, "keyboard_key_["},
    {0x0DD, {0x20, 0x00, 0x30}, 0x1B, false, true, "keyboard_key_]"},
    {0x0DC, {0x20, 0x00, 0x31}, 0x2B, false, true, "keyboard_key_xiegang"},
    {0x0BA, {0x20, 0x00, 0x33}, 0x27, false, true, "keyboard_key_;"},
    {0x0DE, {0x20, 0x00, 0x34}, 0x28, false, true, "keyboard_key_'"},
    {0x0C0, {0x20, 0x00, 0x35}, 0x29, false, true, "keyboard_key_`"},
    {0x0BC, {0x20, 0x00, 0x36}, 0x33, false, true, "keyboard_key_<"},
    {0x0BE, {0x20, 0x00, 0x37}, 0x34, false, true, "keyboard_key_."},
    {0x0BF, {0x20, 0x00, 0x38}, 0x35, false, true, "keyboard_key_/"},
    {0x014, {0x20, 0x00, 0x39}, 0x3A, false, true, "keyboard_key_Caplk"},
    {0x070, {0x20, 0x00, 0x3A}, 0x3B, false, true, "keyboard_key_F1"},
    {0x071, {0x20, 0x00, 0x3B}, 0x3C, false, true, "keyboard_key_F2"},
    {0x072, {0x20, 0x00, 0x3C}, 0x3D, false, true, "keyboard_key_F3"},
    {0x073, {0x20, 0x00, 0x3D}, 0x3E, false, true, "keyboard_key_F4"},
    {0x074, {0x20, 0x00, 0x3E}, 0x3F, false, true, "keyboard_key_F5"},
    {0x075, {0x20, 0x00, 0x3F}, 0x40, false, true, "keyboard_key_F6"},
    {0x076, {0x20, 0x00, 0x40}, 0x41, false, true, "keyboard_key_F7"},
    {0x077, {0x20, 0x00, 0x41}, 0x42, false, true, "keyboard_key_F8"},
    {0x078, {0x20, 0x00, 0x42}, 0x43, false, true, "keyboard_key_F9"},
    {0x079, {0x20, 0x00, 0x43}, 0x44, false, true, "keyboard_key_F10"},
    {0x07A, {0x20, 0x00, 0x44}, 0x57, false, true, "keyboard_key_F11"},
    {0x07B, {0x20, 0x00, 0x45}, 0x58, false, true, "keyboard_key_F12"},
    {0x02C, {0x20, 0x00, 0x46}, 0x37, true, true, "keyboard_key_Print Scr"},
    {0x091, {0x20, 0x00, 0x47}, 0x46, false, true, "keyboard_key_Scroll Lock"},
    {0x013, {0x20, 0x00, 0x48}, 0x45, false, true, "keyboard_key_Pause"},
    {0x02D, {0x20, 0x00, 0x49}, 0x52, true, true, "keyboard_key_Insert"},
    {0x024, {0x20, 0x00, 0x4A}, 0x47, true, true, "keyboard_key_Home"},
    {0x021, {0x20, 0x00, 0x4B}, 0x49, true, true, "keyboard_key_Page Up"},
    {0x02E, {0x20, 0x00, 0x4C}, 0x53, true, true, "keyboard_key_Delete"},
    {0x023, {0x20, 0x00, 0x4D}, 0x4F, true, true, "keyboard_key_End"},
    {0x022, {0x20, 0x00, 0x4E}, 0x51, true, true, "keyboard_key_Page Down"},
    {0x027, {0x20, 0x00, 0x4F}, 0x4D, true, true, "keyboard_key_Right"},
    {0x025, {0x20, 0x00, 0x50}, 0x4B, true, true, "keyboard_key_Left"},
    {0x028, {0x20, 0x00, 0x51}, 0x50, true, true, "keyboard_key_Down"},
    {0x026, {0x20, 0x00, 0x52}, 0x48, true, true, "keyboard_key_Up"},
    {0x090, {0x20, 0x00, 0x53}, 0x45, true, true, "keyboard_key_Num Lock"},
    {0x06F, {0x20, 0x00, 0x54}, 0x35, true, true, "keyboard_key_Num /"},
    {0x06A, {0x20, 0x00, 0x55}, 0x37, false, true, "keyboard_key_Num *"},
    {0x06D, {0x20, 0x00, 0x56}, 0x4A, false, true, "keyboard_key_Num -"},
    {0x06B, {0x20, 0x00, 0x57}, 0x4E, false, true, "keyboard_key_Num +"},
    {0x101, {0x20, 0x00, 0x58}, 0x1C, true, true, "keyboard_key_Num Enter"},
    {0x061, {0x20, 0x00, 0x59}, 0x4F, false, true, "keyboard_key_Num 1"},
    {0x062, {0x20, 0x00, 0x5A}, 0x50, false, true, "keyboard_key_Num 2"},
    {0x063, {0x20, 0x00, 0x5B}, 0x51, false, true, "keyboard_key_Num 3"},
    {0x064, {0x20, 0x00, 0x5C}, 0x4B, false, true, "keyboard_key_Num 4"},
    {0x065, {0x20, 0x00, 0x5D}, 0x4C, false, true, "keyboard_key_Num 5"},
    {0x066, {0x20, 0x00, 0x5E}, 0x4D, false, true, "keyboard_key_Num 6"},
    {0x067, {0x20, 0x00, 0x5F}, 0x47, false, true, "keyboard_key_Num 7"},
    {0x068, {0x20, 0x00, 0x60}, 0x48, false, true, "keyboard_key_Num 8"},
    {0x069, {0x20, 0x00, 0x61}, 0x49, false, true, "keyboard_key_Num 9"},
    {0x060, {0x20, 0x00, 0x62}, 0x52, false, true, "keyboard_key_Num 0"},
    {0x06E, {0x20, 0x00, 0x63}, 0x53, false, true, "keyboard_key_Decimal"},
    {0x05D, {0x20, 0x00, 0x65}, 0x5D, true, true, "keyboard_key_App"},
    {0x0E2, {0x20, 0x00, 0x64}, 0x56, false, true, "keyboard_key_K45"},
    {0x0C1, {0x20, 0x00, 0x87}, 0x73, false, true, "keyboard_key_K56"},
    {0x0FF, {0x20, 0x00, 0x89}, 0x7D, false, true, "keyboard_key_K14"},
    {0x0C2, {0x20, 0x00, 0x85}, 0x7E, false, true, "keyboard_key_K107"},
    {0x0EB, {0x20, 0x00, 0x8B}, 0x7B, false, true, "keyboard_key_K131"},
    {0x0FF, {0x20, 0x00, 0x8A}, 0x79, false, true, "keyboard_key_K132"},
    {0x0FF, {0x20, 0x00, 0x88}, 0x70, false, true, "keyboard_key_K133"},
    {0x0E9, {0x20, 0x00, 0x91}, 0x71, false, true, "keyboard_key_K150"},
    {0x0FF, {0x20, 0x00, 0x90}, 0x72, false, true, "keyboard_key_K151"},
    {0x0BF, {0x20, 0x00, 0x32}, 0x00, false, false, "keyboard_key_K42"},
    {0x0B7, {0x30, 0x92, 0x01}, 0x00, false, false, "keyboard_key_Launch App2"},
    {0x0AC, {0x30, 0x23, 0x02}, 0x00, false, false, "keyboard_key_Browaer Home"},
    {0x0B3, {0x30, 0xCD, 0x00}, 0x00, false, false, "keyboard_key_Media Play Pause"},
    {0x0AA, {0x30, 0x21, 0x02}, 0x00, false, false, "keyboard_key_Browser Search"},
    {0x0B4, {0x30, 0x8A, 0x01}, 0x00, false, false, "keyboard_key_Launch Mail"},
    {0x0AF, {0x30, 0xE9, 0x00}, 0x00, false, false, "keyboard_key_Volume Up"},
    {0x0AD, {0x30, 0xE2, 0x00}, 0x00, false, false, "keyboard_key_Volume Mute"},
    {0x0B2, {0x30, 0xB7, 0x00}, 0x00, false, false, "keyboard_key_Media Stop"},
    {0x0AE, {0x30, 0xEA, 0x00}, 0x00, false, false, "keyboard_key_Volume Down"},
    {0x0AB, {0x30, 0x2A, 0x02}, 0x00, false, false, "keyboard_key_Browser Favorites"},
    {0x0A7, {0x30, 0x25, 0x02}, 0x00, false, false, "keyboard_key_Browser ForWard"},
    {0x0A6, {0x30, 0x24, 0x02}, 0x00, false, false, "keyboard_key_Browser Back"},
    {0x0B1, {0x30, 0xB6, 0x00}, 0x00, false, false, "keyboard_key_Media Prev Track"},
    {0x0B0, {0x30, 0xB5, 0x00}, 0x00, false, false, "keyboard_key_Media Next Track"},
    {0x0B6, {0x30, 0x94, 0x01}, 0x00, false, false, "keyboard_key_Computer"},
    {0x0A8, {0x30, 0x27, 0x02}, 0x00, false, false, "keyboard_key_Browser Refresh"},
    {0x0A9, {0x30, 0x26, 0x02}, 0x00, false, false, "wed_stop"},
    {0x0B5, {0x30, 0x83, 0x01}, 0x00, false, false, "keyboard_key_Launch Media Select"},
    {0x103, {0x40, 0x01, 0x00}, 0x00, false, false, "keyboard_key_Power"},
    {0x104, {0x40, 0x02, 0x00}, 0x00, false, false, "keyboard_key_Sleep"},
    {0x105, {0x40, 0x04, 0x00}, 0x00, false, false, "keyboard_key_Wakeup"},
    {0x000, {0xD0, 0xA2, 0x01}, 0x00, false, false, "keyboard_key_M1"},
    {0x000, {0xD0, 0xA2, 0x02}, 0x00, false, false, "keyboard_key_M2"},
    {0x000, {0xD0, 0xA2, 0x03}, 0x00, false, false, "keyboard_key_M3"},
    {0x000, {0xD0, 0xA2, 0x04}, 0x00, false, false, "keyboard_key_M4"},
    {0x000, {0xD0, 0xA2, 0x05}, 0x00, false, false, "keyboard_key_M5"},
    {0x000, {0xA0, 0x01, 0x00}, 0x00, false, false, "keyboard_key_FN"},
    {0x000, {0xA0, 0x1B, 0x00}, 0x00, false, false, "keyboard_key_GM"},
}};

constexpr std::array<const char*, 9> kShortcutFunctionEntries = {
    "custem_cut",  "custem_copy", "custem_paste", "custem_undo", "custem_select_all",
    "custem_find", "custem_new",  "custem_save",  "custem_open"};

DisplayName Entries(std::vector<std::string> parts) {
    return {DisplayName::Kind::kEntries, std::move(parts)};
}
DisplayName Entry(const char* e) {
    return Entries({e});
}

// Keyboard keys (and the no-function type): the exact key, or the modifiers named one by one
// followed by the key of the usage.
DisplayName NameOfKeyboardCode(FunctionCode code) {
    if (code.code1 == 0 && code.code2 == 0) {
        return Entry("close_text");
    }
    const int exact = FindKeyByModifierUsage(code.code1, code.code2);
    if (exact >= 0) {
        return Entry(kKeys[static_cast<size_t>(exact)].entry);
    }
    std::vector<std::string> parts;
    for (size_t bit = 0; bit < kModifierBits.size(); ++bit) {
        if ((code.code1 & kModifierBits[bit]) != 0) {
            parts.emplace_back(kKeys[bit].entry);
        }
    }
    if (code.code2 != 0) {
        const int key = FindKeyByModifierUsage(0, code.code2);
        if (key >= 0) {
            parts.emplace_back(kKeys[static_cast<size_t>(key)].entry);
        }
    }
    if (parts.empty()) {
        return {};
    }
    return Entries(std::move(parts));
}

}  // namespace

const std::array<FunctionCode, kMouseLogicalKeys> kMouseDefaultCodes = {{{0x10, 0x01, 0x00},
                                                                         {0x10, 0x02, 0x00},
                                                                         {0x10, 0x04, 0x00},
                                                                         {0x10, 0x10, 0x00},
                                                                         {0x10, 0x08, 0x00},
                                                                         {0x13, 0x01, 0x00},
                                                                         {0x13, 0x02, 0x00},
                                                                         {0x13, 0x03, 0x00},
                                                                         {0xA0, 0x1B, 0x00},
                                                                         {0x16, 0x90, 0x01},
                                                                         {0x14, 0x78, 0x02}}};

const std::array<const char*, kMouseLogicalKeys> kMouseKeyEntries = {
    "mouse_key_left",  "mouse_key_right",   "mouse_key_middle",  "mouse_key_forward",
    "mouse_key_back",  "mouse_key_DPI_add", "mouse_key_DPI_sub", "mouse_key_DPI_loop",
    "keyboard_key_GM", "mouse_key_M8_key",  "mouse_key_fire_key"};

const std::array<FunctionCode, kKeyboardUiKeys> kKeyboardFactoryCodes = {
    {{0x20, 0x00, 0x29}, {0x20, 0x00, 0x3a}, {0x20, 0x00, 0x3b}, {0x20, 0x00, 0x3c},
     {0x20, 0x00, 0x3d}, {0x20, 0x00, 0x3e}, {0x20, 0x00, 0x3f}, {0x20, 0x00, 0x40},
     {0x20, 0x00, 0x41}, {0x20, 0x00, 0x42}, {0x20, 0x00, 0x43}, {0x20, 0x00, 0x44},
     {0x20, 0x00, 0x45}, {0x20, 0x00, 0x46}, {0x20, 0x00, 0x47}, {0x20, 0x00, 0x48},
     {0xa0, 0x1b, 0x00}, {0xa0, 0x24, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00},
     {0x20, 0x00, 0x00}, {0x20, 0x00, 0x35}, {0x20, 0x00, 0x1e}, {0x20, 0x00, 0x1f},
     {0x20, 0x00, 0x20}, {0x20, 0x00, 0x21}, {0x20, 0x00, 0x22}, {0x20, 0x00, 0x23},
     {0x20, 0x00, 0x24}, {0x20, 0x00, 0x25}, {0x20, 0x00, 0x26}, {0x20, 0x00, 0x27},
     {0x20, 0x00, 0x2d}, {0x20, 0x00, 0x2e}, {0x20, 0x00, 0x2a}, {0x20, 0x00, 0x49},
     {0x20, 0x00, 0x4a}, {0x20, 0x00, 0x4b}, {0x20, 0x00, 0x53}, {0x20, 0x00, 0x54},
     {0x20, 0x00, 0x55}, {0x20, 0x00, 0x56}, {0x20, 0x00, 0x2b}, {0x20, 0x00, 0x14},
     {0x20, 0x00, 0x1a}, {0x20, 0x00, 0x08}, {0x20, 0x00, 0x15}, {0x20, 0x00, 0x17},
     {0x20, 0x00, 0x1c}, {0x20, 0x00, 0x18}, {0x20, 0x00, 0x0c}, {0x20, 0x00, 0x12},
     {0x20, 0x00, 0x13}, {0x20, 0x00, 0x2f}, {0x20, 0x00, 0x30}, {0x20, 0x00, 0x31},
     {0x20, 0x00, 0x4c}, {0x20, 0x00, 0x4d}, {0x20, 0x00, 0x4e}, {0x20, 0x00, 0x5f},
     {0x20, 0x00, 0x60}, {0x20, 0x00, 0x61}, {0x20, 0x00, 0x32}, {0x20, 0x00, 0x39},
     {0x20, 0x00, 0x04}, {0x20, 0x00, 0x16}, {0x20, 0x00, 0x07}, {0x20, 0x00, 0x09},
     {0x20, 0x00, 0x0a}, {0x20, 0x00, 0x0b}, {0x20, 0x00, 0x0d}, {0x20, 0x00, 0x0e},
     {0x20, 0x00, 0x0f}, {0x20, 0x00, 0x33}, {0x20, 0x00, 0x34}, {0x20, 0x00, 0x28},
     {0x20, 0x00, 0x5c}, {0x20, 0x00, 0x5d}, {0x20, 0x00, 0x5e}, {0x20, 0x00, 0x8a},
     {0x20, 0x00, 0x8b}, {0x20, 0x00, 0x90}, {0x20, 0x00, 0x91}, {0x20, 0x00, 0x88},
     {0x20, 0x02, 0x00}, {0x20, 0x00, 0x1d}, {0x20, 0x00, 0x1b}, {0x20, 0x00, 0x06},
     {0x20, 0x00, 0x19}, {0x20, 0x00, 0x05}, {0x20, 0x00, 0x11}, {0x20, 0x00, 0x10},
     {0x20, 0x00, 0x36}, {0x20, 0x00, 0x37}, {0x20, 0x00, 0x38}, {0x20, 0x20, 0x00},
     {0x20, 0x00, 0x52}, {0x20, 0x00, 0x59}, {0x20, 0x00, 0x5a}, {0x20, 0x00, 0x5b},
     {0x20, 0x00, 0x87}, {0x20, 0x00, 0x89}, {0x20, 0x00, 0x64}, {0x20, 0x00, 0x85},
     {0x20, 0x00, 0x00}, {0x20, 0x01, 0x00}, {0x20, 0x08, 0x00}, {0x20, 0x04, 0x00},
     {0x20, 0x00, 0x2c}, {0x20, 0x40, 0x00}, {0xa0, 0x01, 0x00}, {0x20, 0x00, 0x65},
     {0x20, 0x10, 0x00}, {0x20, 0x00, 0x50}, {0x20, 0x00, 0x51}, {0x20, 0x00, 0x4f},
     {0x20, 0x00, 0x62}, {0x20, 0x00, 0x63}, {0x20, 0x00, 0x58}, {0x20, 0x00, 0x57},
     {0xd0, 0xa2, 0x01}, {0xd0, 0xa2, 0x02}, {0xd0, 0xa2, 0x03}, {0xd0, 0xa2, 0x04},
     {0xd0, 0xa2, 0x05}, {0x20, 0x80, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00},
     {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00},
     {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00},
     {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00},
     {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00},
     {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00},
     {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00},
     {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00},
     {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00},
     {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00},
     {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00},
     {0x20, 0x00, 0x00}, {0x20, 0x00, 0x00}}};

std::span<const FunctionCode> TableRows(FunctionTable table) noexcept {
    switch (table) {
        case FunctionTable::kMouseButtons:
            return kMouseButtonRows;
        case FunctionTable::kDpiActions:
            return kDpiRows;
        case FunctionTable::kMedia:
            return kMediaRows;
        case FunctionTable::kSystem:
            return kSystemRows;
        case FunctionTable::kShortcuts:
            return kShortcutRows;
    }
    return {};
}

std::optional<FunctionCode> CodeAtRow(FunctionTable table, int row) noexcept {
    const auto rows = TableRows(table);
    if (row < 0 || static_cast<size_t>(row) >= rows.size()) {
        return std::nullopt;
    }
    return rows[static_cast<size_t>(row)];
}

int RowOfCode(FunctionTable table, FunctionCode code) noexcept {
    const auto rows = TableRows(table);
    const auto it = std::find(rows.begin(), rows.end(), code);
    return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

std::span<const KeyCodeEntry> KeyTable() noexcept {
    return kKeys;
}

namespace {
template <typename Pred>
int FindRow(Pred pred, size_t end = kKeys.size()) noexcept {
    for (size_t i = 0; i < end; ++i) {
        if (pred(kKeys[i])) {
            return static_cast<int>(i);
        }
    }
    return -1;
}
}  // namespace

int FindKeyByVirtualKey(uint16_t virtual_key) noexcept {
    if (virtual_key == 0) {
        return -1;  // rows without a virtual-key code carry 0
    }
    return FindRow([&](const KeyCodeEntry& e) { return e.virtual_key == virtual_key; });
}

int FindKeyByScanCode(uint8_t scan_code, bool extended) noexcept {
    return FindRow([&](const KeyCodeEntry& e) {
        return e.has_scan_code && e.scan_code == scan_code && e.extended == extended;
    });
}

int FindKeyByCode(FunctionCode code) noexcept {
    return FindRow([&](const KeyCodeEntry& e) { return e.code == code; });
}

int FindKeyByModifierUsage(uint8_t modifier, uint8_t usage) noexcept {
    return FindRow([&](const KeyCodeEntry& e) {
        return e.code.type == type::kKeyboard && e.code.code1 == modifier && e.code.code2 == usage;
    });
}

DisplayName NameOfCode(FunctionCode code, std::span<const std::string> macro_names) {
    switch (code.type) {
        case type::kNone:
        case type::kKeyboard:
            return NameOfKeyboardCode(code);
        case type::kMouseButton:
            switch (code.code1) {
                case 0x01:
                    return Entry("mouse_key_left");
                case 0x04:
                    return Entry("mouse_key_middle");
                case 0x02:
                    return Entry("mouse_key_right");
                case 0x10:
                    return Entry("mouse_key_forward");
                case 0x08:
                    return Entry("mouse_key_back");
                default:
                    return {};
            }
        case type::kSwing:
            return Entry((code.code2 & 0x80) ? "mouse_key_right_Swing" : "mouse_key_left_Swing");
        case type::kWheel:
            return Entry((code.code2 & 0x80) ? "mouse_key_down_Swing" : "mouse_key_up_Swing");
        case type::kDpiAction:
            switch (code.code1) {
                case 1:
                    return Entry("mouse_key_DPI_add");
                case 2:
                    return Entry("mouse_key_DPI_sub");
                case 3:
                    return Entry("mouse_key_DPI_loop");
                default:
                    return {};
            }
        case type::kFire:
            return Entry("mouse_key_fire_key");
        case type::kDpiShift:
            return Entry("mouse_key_DPI_shift");
        case type::kShortcutFunction:
            if (code.code1 == 0 && code.code2 < kShortcutFunctionEntries.size()) {
                return Entry(kShortcutFunctionEntries[code.code2]);
            }
            return {};
        case type::kShowWindow:
            if (code.code1 == 0 && code.code2 == 0) {
                return Entry("show_window");
            }
            return {};
        case type::kConsumer: {
            const int row = RowOfCode(FunctionTable::kMedia, code);
            return row < 0 ? DisplayName{} : Entry(kMediaEntries[static_cast<size_t>(row)]);
        }
        case type::kSystem:
            switch (code.code1) {
                case 0x01:
                    return Entry("system_power");
                case 0x02:
                    return Entry("system_sleep");
                case 0x04:
                    return Entry("system_wake_up");
                default:
                    return {};
            }
        case type::kMacro:
        case type::kMacroRepeat:
            if (code.code1 < macro_names.size()) {
                return {DisplayName::Kind::kLiteral, {macro_names[code.code1]}};
            }
            return {};
        case type::kGunKey:
            if (code.code1 < 4) {
                static constexpr std::array<const char*, 4> kGuns = {"gun_1_txt", "gun_2_txt",
                                                                     "gun_3_txt", "gun_4_txt"};
                return Entry(kGuns[code.code1]);
            }
            return {};
        case type::kSpecial: {
            if (code.code1 == 2) {
                return Entry("mouse_key_smart_key");
            }
            if (code.code1 == 0) {
                return Entry("close_text");
            }
            const int row = FindKeyByCode(code);
            return row < 0 ? DisplayName{} : Entry(kKeys[static_cast<size_t>(row)].entry);
        }
        case 0x15:
        case 0x21:
        case 0x50:
        case 0x60:
        case type::kShortcut:
        case 0xC0:
            return {};  // the key keeps what it showed before
        default:
            // Shown as it stands, not looked up in the language file.
            return {DisplayName::Kind::kLiteral, {"\xE5\x85\xB3\xE9\x97\xAD"}};
    }
}

int CategoryOfType(uint8_t t) noexcept {
    switch (t) {
        case type::kNone:
            return 0;
        case type::kMouseButton:
            return 1;
        case type::kSwing:
            return 2;
        case type::kWheel:
            return 3;
        case type::kDpiAction:
            return 4;
        case type::kFire:
            return 5;
        case type::kKeyboard:
            return 6;
        case type::kConsumer:
            return 7;
        case type::kSystem:
            return 8;
        case type::kMacro:
        case type::kMacroRepeat:
            return 9;
        case type::kGunKey:
            return 10;
        case type::kShortcut:
            return 11;
        default:
            return -1;
    }
}

namespace {
constexpr uint8_t Nibbles(int delay, int speed) noexcept {
    return static_cast<uint8_t>(((delay & 0x0F) << 4) | (speed & 0x0F));
}
}  // namespace

FunctionCode EncodeSwing(const Movement& m) noexcept {
    const int count = m.count & 0x7F;
    return {type::kSwing, Nibbles(m.delay, m.speed),
            static_cast<uint8_t>(m.direction == 1 ? (count | 0x80) : count)};
}

Movement DecodeSwing(FunctionCode c) noexcept {
    return {c.code1 >> 4, c.code1 & 0x0F, c.code2 & 0x7F, (c.code2 & 0x80) ? 1 : 0};
}

FunctionCode EncodeWheel(const Movement& m) noexcept {
    const uint8_t code2 = m.direction == 1 ? static_cast<uint8_t>(((128 - m.count) | 0x80) & 0xFF)
                                           : static_cast<uint8_t>(m.count & 0x7F);
    return {type::kWheel, Nibbles(m.delay, m.speed), code2};
}

Movement DecodeWheel(FunctionCode c) noexcept {
    if (c.code2 & 0x80) {
        return {c.code1 >> 4, c.code1 & 0x0F, 128 - (c.code2 & 0x7F), 1};
    }
    return {c.code1 >> 4, c.code1 & 0x0F, c.code2, 0};
}

FunctionCode EncodeMacro(int macro_index, int repeat_mode, int repeat_count) noexcept {
    if (repeat_mode == 4) {
        return {type::kMacroRepeat, static_cast<uint8_t>(macro_index),
                static_cast<uint8_t>(repeat_count)};
    }
    return {type::kMacro, static_cast<uint8_t>(macro_index), static_cast<uint8_t>(repeat_mode)};
}

}  // namespace zepho7::keycodes
