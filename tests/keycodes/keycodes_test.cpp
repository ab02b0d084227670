#include "keycodes/keycodes.h"

#include <gtest/gtest.h>

#include <set>

namespace zepho7::keycodes {
namespace {

using Parts = std::vector<std::string>;

TEST(FunctionCode, StoredIntegerRoundTrip) {
    const FunctionCode c = FunctionCode::FromInt(459267);
    EXPECT_EQ(c, (FunctionCode{7, 2, 3}));
    EXPECT_EQ(c.ToInt(), 459267);
    EXPECT_EQ(FunctionCode::FromInt(-1), (FunctionCode{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ((FunctionCode{0x16, 0x90, 0x01}).ToInt(), 0x169001);
}

TEST(KeyTable, ShapeAndInvariants) {
    const auto keys = KeyTable();
    ASSERT_EQ(keys.size(), 142u);
    std::set<int> codes;
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i].has_scan_code, i <= 112) << i;
        EXPECT_TRUE(codes.insert(keys[i].code.ToInt()).second) << "duplicate code in row " << i;
        EXPECT_NE(keys[i].entry, nullptr);
    }
    // The modifiers carry their bit; the ordinary keys have no modifier.
    for (size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(keys[i].code, (FunctionCode{0x20, kModifierBits[i], 0})) << i;
    }
    for (size_t i = 8; i < 114; ++i) {
        EXPECT_EQ(keys[i].code.type, 0x20) << i;
        EXPECT_EQ(keys[i].code.code1, 0) << i;
    }
    // Scan code and extended flag together identify each scanned row.
    std::set<std::pair<int, bool>> scans;
    for (size_t i = 0; i <= 112; ++i) {
        EXPECT_TRUE(scans.insert({keys[i].scan_code, keys[i].extended}).second) << i;
    }
    // Every media row of the key table is a row of the media table.
    for (size_t i = 114; i < 132; ++i) {
        EXPECT_GE(RowOfCode(FunctionTable::kMedia, keys[i].code), 0) << i;
    }
}

struct LookupCase {
    const char* what;
    int row;
    const char* entry;
};

TEST(KeyTable, LookUps) {
    const LookupCase cases[] = {
        {"vk A", FindKeyByVirtualKey(0x41), "keyboard_key_A"},
        {"vk keypad Enter", FindKeyByVirtualKey(0x101), "keyboard_key_Num Enter"},
        {"vk 0xBF finds slash first", FindKeyByVirtualKey(0xBF), "keyboard_key_/"},
        {"vk power", FindKeyByVirtualKey(0x103), "keyboard_key_Power"},
        {"vk play", FindKeyByVirtualKey(0xB3), "keyboard_key_Media Play Pause"},
        {"scan right Ctrl", FindKeyByScanCode(0x1D, true), "keyboard_key_RCtrl"},
        {"scan left Ctrl", FindKeyByScanCode(0x1D, false), "keyboard_key_LCtrl"},
        {"scan right Shift", FindKeyByScanCode(0x36, true), "keyboard_key_RShift"},
        {"scan Num Lock", FindKeyByScanCode(0x45, true), "keyboard_key_Num Lock"},
        {"scan Pause", FindKeyByScanCode(0x45, false), "keyboard_key_Pause"},
        {"scan F12", FindKeyByScanCode(0x58, false), "keyboard_key_F12"},
        {"scan keypad Enter", FindKeyByScanCode(0x1C, true), "keyboard_key_Num Enter"},
        {"scan K151", FindKeyByScanCode(0x72, false), "keyboard_key_K151"},
        {"code GM", FindKeyByCode({0xA0, 0x1B, 0}), "keyboard_key_GM"},
        {"code M3", FindKeyByCode({0xD0, 0xA2, 3}), "keyboard_key_M3"},
        {"modifier+usage Esc", FindKeyByModifierUsage(0, 0x29), "keyboard_key_Esc"},
        {"modifier+usage right Alt", FindKeyByModifierUsage(0x40, 0), "keyboard_key_RAlt"},
    };
    for (const auto& c : cases) {
        ASSERT_GE(c.row, 0) << c.what;
        EXPECT_STREQ(KeyTable()[static_cast<size_t>(c.row)].entry, c.entry) << c.what;
    }
    EXPECT_EQ(FindKeyByVirtualKey(0), -1);
    EXPECT_EQ(FindKeyByScanCode(0x7F, true), -1);
    EXPECT_EQ(FindKeyByCode({0x20, 0x03, 0x04}), -1);
}

TEST(FunctionTables, RowsAndCodes) {
    EXPECT_EQ(TableRows(FunctionTable::kMouseButtons).size(), 5u);
    EXPECT_EQ(TableRows(FunctionTable::kDpiActions).size(), 3u);
    EXPECT_EQ(TableRows(FunctionTable::kMedia).size(), 18u);
    EXPECT_EQ(TableRows(FunctionTable::kSystem).size(), 3u);
    EXPECT_EQ(TableRows(FunctionTable::kShortcuts).size(), 11u);
    EXPECT_EQ(CodeAtRow(FunctionTable::kMouseButtons, 1), (FunctionCode{0x10, 0x04, 0}));
    EXPECT_EQ(CodeAtRow(FunctionTable::kMedia, 8), (FunctionCode{0x30, 0x23, 0x02}));
    EXPECT_EQ(CodeAtRow(FunctionTable::kShortcuts, 10), (FunctionCode{0x20, 0x01, 0x2E}));
    EXPECT_FALSE(CodeAtRow(FunctionTable::kSystem, 3));
    EXPECT_FALSE(CodeAtRow(FunctionTable::kSystem, -1));
    EXPECT_EQ(RowOfCode(FunctionTable::kSystem, {0x40, 0x04, 0}), 2);
    EXPECT_EQ(RowOfCode(FunctionTable::kDpiActions, {0x13, 0x04, 0}), -1);
    EXPECT_EQ(ConsumerUsage(MediaCode(0x022A)), 0x022A);
}

struct NameCase {
    FunctionCode code;
    DisplayName::Kind kind;
    Parts parts;
};

TEST(DisplayNames, ByType) {
    using K = DisplayName::Kind;
    const std::vector<std::string> macros = {"macro_1", "macro_2"};
    const NameCase cases[] = {
        {{0x20, 0x00, 0x04}, K::kEntries, {"keyboard_key_A"}},
        {{0x00, 0x00, 0x04}, K::kEntries, {"keyboard_key_A"}},
        {{0x20, 0x02, 0x04}, K::kEntries, {"keyboard_key_LShift", "keyboard_key_A"}},
        {{0x20, 0x03, 0x04},
         K::kEntries,
         {"keyboard_key_LCtrl", "keyboard_key_LShift", "keyboard_key_A"}},
        {{0x20, 0x05, 0x00}, K::kEntries, {"keyboard_key_LCtrl", "keyboard_key_LAlt"}},
        {{0x20, 0x80, 0x00}, K::kEntries, {"keyboard_key_RWin"}},
        {{0x20, 0x00, 0x00}, K::kEntries, {"close_text"}},
        {{0x20, 0x00, 0xF0}, K::kNothing, {}},
        {{0x10, 0x04, 0x00}, K::kEntries, {"mouse_key_middle"}},
        {{0x10, 0x20, 0x00}, K::kNothing, {}},
        {{0x11, 0x45, 0x83}, K::kEntries, {"mouse_key_right_Swing"}},
        {{0x11, 0x45, 0x03}, K::kEntries, {"mouse_key_left_Swing"}},
        {{0x12, 0x00, 0xFD}, K::kEntries, {"mouse_key_down_Swing"}},
        {{0x13, 0x03, 0x00}, K::kEntries, {"mouse_key_DPI_loop"}},
        {{0x14, 0x78, 0x02}, K::kEntries, {"mouse_key_fire_key"}},
        {{0x16, 0x90, 0x01}, K::kEntries, {"mouse_key_DPI_shift"}},
        {{0x22, 0x00, 0x08}, K::kEntries, {"custem_open"}},
        {{0x22, 0x00, 0x09}, K::kNothing, {}},
        {{0x23, 0x00, 0x00}, K::kEntries, {"show_window"}},
        {{0x30, 0xE9, 0x00}, K::kEntries, {"media_vol_add"}},
        {{0x30, 0x8A, 0x01}, K::kEntries, {"media_mail"}},
        {{0x40, 0x02, 0x00}, K::kEntries, {"system_sleep"}},
        {{0x70, 0x01, 0x00}, K::kLiteral, {"macro_2"}},
        {{0x71, 0x02, 0x05}, K::kNothing, {}},
        {{0x72, 0x03, 0x00}, K::kEntries, {"gun_4_txt"}},
        {{0x72, 0x04, 0x00}, K::kNothing, {}},
        {{0xA0, 0x02, 0x00}, K::kEntries, {"mouse_key_smart_key"}},
        {{0xA0, 0x00, 0x00}, K::kEntries, {"close_text"}},
        {{0xA0, 0x1B, 0x00}, K::kEntries, {"keyboard_key_GM"}},
        {{0xB0, 0x00, 0x00}, K::kNothing, {}},
        {{0x99, 0x00, 0x00}, K::kLiteral, {"\xE5\x85\xB3\xE9\x97\xAD"}},
    };
    for (const auto& c : cases) {
        const DisplayName name = NameOfCode(c.code, macros);
        EXPECT_EQ(name.kind, c.kind) << std::hex << c.code.ToInt();
        EXPECT_EQ(name.parts, c.parts) << std::hex << c.code.ToInt();
    }
}

TEST(Conversions, SwingWheelFireMacro) {
    EXPECT_EQ(EncodeSwing({20, 5, 3, 0}), (FunctionCode{0x11, 0x45, 0x03}));
    EXPECT_EQ(EncodeSwing({1, 2, 3, 1}), (FunctionCode{0x11, 0x12, 0x83}));
    EXPECT_EQ(DecodeSwing({0x11, 0x12, 0x83}), (Movement{1, 2, 3, 1}));
    EXPECT_EQ(EncodeWheel({0, 0, 3, 1}).code2, 0xFD);
    EXPECT_EQ(DecodeWheel({0x12, 0x00, 0xFD}), (Movement{0, 0, 3, 1}));
    EXPECT_EQ(DecodeWheel({0x12, 0x21, 0x05}), (Movement{2, 1, 5, 0}));
    EXPECT_EQ(EncodeFire(0x78, 2), (FunctionCode{0x14, 0x78, 0x02}));
    EXPECT_EQ(EncodeMacro(2, 4, 5), (FunctionCode{0x71, 2, 5}));
    EXPECT_EQ(EncodeMacro(2, 1, 5), (FunctionCode{0x70, 2, 1}));
    EXPECT_EQ(CategoryOfType(0x71), 9);
    EXPECT_EQ(CategoryOfType(0x16), -1);
}

TEST(DeviceDefaults, MouseAndKeyboardCodesAreDistinctWhereTheyMustBe) {
    std::set<int> mouse;
    for (const auto& c : kMouseDefaultCodes) {
        EXPECT_TRUE(mouse.insert(c.ToInt()).second);
    }
    EXPECT_EQ(kMouseDefaultCodes[9], (FunctionCode{0x16, 0x90, 0x01}));
    // Keyboard keys are found by their factory code, so every real key code is unique
    // (20 00 00 marks the unused slots).
    std::set<int> keyboard;
    for (const auto& c : kKeyboardFactoryCodes) {
        if (c != FunctionCode{0x20, 0, 0}) {
            EXPECT_TRUE(keyboard.insert(c.ToInt()).second) << std::hex << c.ToInt();
        }
    }
    EXPECT_EQ(kKeyboardFactoryCodes[125], (FunctionCode{0x20, 0x80, 0x00}));
    EXPECT_EQ(kKeyboardFactoryCodes[126], (FunctionCode{0x20, 0x00, 0x00}));
}

}  // namespace
}  // namespace zepho7::keycodes
