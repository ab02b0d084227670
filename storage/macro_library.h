// Macros of one device kind: the library file "macro.config" listing names and identifiers,
// one ".mac" file of events per macro, the 4-byte device encoding of an event, and the rule that
// keeps key assignments pointing at the right macros when one is deleted.
#pragma once

#include <json/value.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "storage/profile_document.h"

namespace zepho7::storage {

struct MacroInfo {
    std::string name;
    std::string guid;
    bool operator==(const MacroInfo&) const = default;
};

// One row of the macro editor: the event as JSON text and its delay field.
struct MacroEventRow {
    std::string event_json;
    std::string delay_text;
};

enum class MacroRenameResult { kRenamed, kBlank, kDuplicate, kNoSelection };

// Device record of an event: delay low, delay high, type (bit 7 set for "down"), button.
using EncodedEvent = std::array<uint8_t, 4>;
// "Delay" may be a string of digits (macro files) or a number (recoil files); it is truncated to
// 16 bits. Any "Action" other than "down" is a release.
EncodedEvent EncodeMacroEvent(const Json::Value& event);
std::vector<EncodedEvent> EncodeEvents(const Json::Value& events);

class MacroLibrary {
  public:
    static constexpr int kMaxMacros = 50;
    static constexpr int kVersion = 64;

    // library_name: "macro.config" for the mouse and keyboard ("kelvo_macro.config", read only,
    // for the other kinds).
    explicit MacroLibrary(std::filesystem::path user_folder,
                          std::string library_name = "macro.config");

    std::filesystem::path LibraryPath() const;
    std::vector<MacroInfo> Entries() const;
    std::vector<std::string> Names() const;
    int Count() const;
    // The macro's event file, empty when the index is out of range or its identifier is not a
    // plain file name.
    std::filesystem::path MacroFilePath(int index) const;

    // "macro_<n>" with the lowest free n (names compare without regard to case); empty when 50
    // macros exist or the library cannot be written. No event file is made yet.
    std::string AddMacro();
    MacroRenameResult RenameMacro(int index, std::string_view new_name);
    // Removes the macro's file and its library entry. Key assignments are the caller's (see
    // DeleteMacroEverywhere).
    [[nodiscard]] bool DeleteMacro(int index);

    // The events of a macro; empty when its file is missing or broken.
    Json::Value LoadEvents(int index) const;
    // Writes the macro file from the editor rows: rows whose JSON is empty or broken are left
    // out; each kept row gets its delay as decimal text ("0" when empty) and its JSON text back.
    [[nodiscard]] bool SaveMacro(int index, std::vector<MacroEventRow>& rows);
    // Adds a macro and copies the file byte for byte as its event file. Empty when the library
    // is full or the path is empty.
    std::string ImportMacro(const std::filesystem::path& source);
    [[nodiscard]] bool ExportMacro(int index, const std::filesystem::path& target) const;

    std::vector<EncodedEvent> EncodeMacro(int index) const;

  private:
    Json::Value ReadLibrary() const;

    std::filesystem::path user_folder_;
    std::string library_name_;
};

// Key lists and macro deletion: keys on macro m take their default function; keys on a later
// macro move down by one. Returns whether anything changed.
bool RenumberKeysAfterMacroDelete(std::vector<KeyEntry>& keys, int removed);
bool KeysUseMacro(const std::vector<KeyEntry>& keys, int macro);

// Deletes macro m: fixes the key lists of every other profile of the kind (through the
// document's secondary section) and of the current profile (saved), then removes the macro.
[[nodiscard]] bool DeleteMacroEverywhere(MacroLibrary& library, CBasicProfiledata& current,
                                         std::span<const std::filesystem::path> profiles, int m);

}  // namespace zepho7::storage
