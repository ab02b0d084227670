// Key function codes: the three bytes (type, code 1, code 2) that every mouse button and keyboard
// key carries in the device key tables, the tables of the program's key vocabulary, and the
// conversions between codes, table rows, stored integers and display names.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zepho7::keycodes {

// Function code types.
namespace type {
inline constexpr uint8_t kNone = 0x00;
inline constexpr uint8_t kMouseButton = 0x10;
inline constexpr uint8_t kSwing = 0x11;
inline constexpr uint8_t kWheel = 0x12;
inline constexpr uint8_t kDpiAction = 0x13;
inline constexpr uint8_t kFire = 0x14;
inline constexpr uint8_t kDpiShift = 0x16;
inline constexpr uint8_t kKeyboard = 0x20;
inline constexpr uint8_t kShortcutFunction = 0x22;
inline constexpr uint8_t kShowWindow = 0x23;
inline constexpr uint8_t kConsumer = 0x30;
inline constexpr uint8_t kSystem = 0x40;
inline constexpr uint8_t kMacro = 0x70;
inline constexpr uint8_t kMacroRepeat = 0x71;
inline constexpr uint8_t kGunKey = 0x72;
inline constexpr uint8_t kSpecial = 0xA0;
inline constexpr uint8_t kShortcut = 0xB0;
inline constexpr uint8_t kMKey = 0xD0;
}  // namespace type

struct FunctionCode {
    uint8_t type = 0;
    uint8_t code1 = 0;
    uint8_t code2 = 0;

    // Stored form in profile files: (type << 16) | (code 1 << 8) | code 2.
    constexpr int32_t ToInt() const noexcept { return (type << 16) | (code1 << 8) | code2; }
    // Each byte is taken from its position; higher bits are dropped.
    static constexpr FunctionCode FromInt(int64_t v) noexcept {
        return {static_cast<uint8_t>((v >> 16) & 0xFF), static_cast<uint8_t>((v >> 8) & 0xFF),
                static_cast<uint8_t>(v & 0xFF)};
    }
    constexpr bool operator==(const FunctionCode&) const = default;
};

constexpr bool IsMacroCode(FunctionCode c) noexcept {
    return c.type == type::kMacro || c.type == type::kMacroRepeat;
}

// The combo-box tables of the key assignment panel: the row number is the item index.
enum class FunctionTable { kMouseButtons, kDpiActions, kMedia, kSystem, kShortcuts };

std::span<const FunctionCode> TableRows(FunctionTable table) noexcept;
std::optional<FunctionCode> CodeAtRow(FunctionTable table, int row) noexcept;
int RowOfCode(FunctionTable table, FunctionCode code) noexcept;  // -1 when absent

// Consumer (media) keys: code 1 is the low byte of the HID consumer usage, code 2 the high one.
constexpr FunctionCode MediaCode(uint16_t usage) noexcept {
    return {type::kConsumer, static_cast<uint8_t>(usage & 0xFF), static_cast<uint8_t>(usage >> 8)};
}
constexpr uint16_t ConsumerUsage(FunctionCode c) noexcept {
    return static_cast<uint16_t>(c.code2 << 8 | c.code1);
}

// One row of the key table.
struct KeyCodeEntry {
    uint16_t virtual_key;  // Windows virtual-key code, 0 when the key has none
    FunctionCode code;
    uint8_t scan_code;  // PC/AT set-1 make code; meaningful only when has_scan_code
    bool extended;      // the set-1 code carries the E0 prefix
    bool has_scan_code;
    const char* entry;  // language entry name
};

inline constexpr int kKeyTableSize = 142;
std::span<const KeyCodeEntry> KeyTable() noexcept;

// Look-ups over the key table; each returns the row index or -1.
int FindKeyByVirtualKey(uint16_t virtual_key) noexcept;
int FindKeyByScanCode(uint8_t scan_code, bool extended) noexcept;
int FindKeyByCode(FunctionCode code) noexcept;                         // all three bytes equal
int FindKeyByModifierUsage(uint8_t modifier, uint8_t usage) noexcept;  // keyboard rows (type 0x20)

// Modifier bits of code 1 of a keyboard code, in key-table order (rows 0..7).
inline constexpr std::array<uint8_t, 8> kModifierBits = {0x01, 0x02, 0x04, 0x08,
                                                         0x10, 0x20, 0x40, 0x80};

// What a code is shown as. Entries are language entry names that the interface resolves and
// joins with "+"; a literal is shown as it is (a macro's name, or the fixed text for unknown
// types).
struct DisplayName {
    enum class Kind { kNothing, kEntries, kLiteral };
    Kind kind = Kind::kNothing;
    std::vector<std::string> parts;

    bool operator==(const DisplayName&) const = default;
};

// macro_names: the names of the kind's macro library in order (for types 0x70 and 0x71).
DisplayName NameOfCode(FunctionCode code, std::span<const std::string> macro_names = {});

// Panel category of a code by its type (0 none, 1 mouse button ... 11 shortcut), or -1 when the
// type has no category. The panel shows category 0 when the code equals the key's default.
int CategoryOfType(uint8_t type) noexcept;

// Swing (0x11): code 1 = delay << 4 | speed (both taken modulo 16); code 2 = count, bit 7 the
// direction.
struct Movement {
    int delay = 0;
    int speed = 0;
    int count = 0;
    int direction = 0;  // combo item 0 or 1
    bool operator==(const Movement&) const = default;
};
FunctionCode EncodeSwing(const Movement& m) noexcept;
Movement DecodeSwing(FunctionCode c) noexcept;
// Wheel (0x12): code 2 is a signed step count; direction 1 stores (128 - count) | 0x80.
FunctionCode EncodeWheel(const Movement& m) noexcept;
Movement DecodeWheel(FunctionCode c) noexcept;
// Fire (0x14): interval and count.
constexpr FunctionCode EncodeFire(int interval, int count) noexcept {
    return {type::kFire, static_cast<uint8_t>(interval), static_cast<uint8_t>(count)};
}
// Macro: repeat mode 0..3 gives type 0x70; mode 4 gives 0x71 with the repeat count.
FunctionCode EncodeMacro(int macro_index, int repeat_mode, int repeat_count) noexcept;

// The mouse's eleven logical keys: their default codes (which also identify them in the device
// key table) and their own language entry names.
inline constexpr int kMouseLogicalKeys = 11;
extern const std::array<FunctionCode, kMouseLogicalKeys> kMouseDefaultCodes;
extern const std::array<const char*, kMouseLogicalKeys> kMouseKeyEntries;

// The keyboard's factory code for each of its 170 UI keys.
inline constexpr int kKeyboardUiKeys = 170;
extern const std::array<FunctionCode, kKeyboardUiKeys> kKeyboardFactoryCodes;

}  // namespace zepho7::keycodes
