// JSON file helpers shared by every stored document: whole-file reads that never fail (absent,
// empty or broken files read as null), atomic whole-file writes, time-stamp identifiers, and
// type-safe access to values that came from a file.
#pragma once

#include <json/value.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace zepho7::storage {

// Files above this size are not read: no document of the program comes near it, and it bounds
// the memory a hostile file can make the reader use.
inline constexpr std::uintmax_t kMaxJsonFileSize = 16u * 1024u * 1024u;
// Highest array index a setter will create, so an index taken from a file cannot make a
// document allocate without bound.
inline constexpr Json::ArrayIndex kMaxWriteIndex = 4096;

enum class ReadStatus { kOk, kMissing, kEmpty, kBroken, kTooLarge, kUnreadable };

struct ReadResult {
    Json::Value value;  // null unless status is kOk
    ReadStatus status = ReadStatus::kMissing;
};

// Parses text with comments allowed; null when it does not parse.
Json::Value ParseJson(std::string_view text, bool* ok = nullptr);
ReadResult ReadJsonFileStatus(const std::filesystem::path& path);
Json::Value ReadJsonFile(const std::filesystem::path& path);

// Reads a document that is about to be changed and written back. A file that exists but holds
// no JSON object is set aside first (see SetAsideBrokenFile), so the user's bytes are kept; the
// result is then an empty object, as it is for a missing file.
Json::Value ReadDocumentForUpdate(const std::filesystem::path& path);

// Renames a broken file to "<name>.broken-YYYYMMDD-HHMMSS" (with "-N" added when that exists)
// and traces it. Returns the new path, or an empty path when the rename failed.
std::filesystem::path SetAsideBrokenFile(const std::filesystem::path& path);

// Indented text, one member per line, ending in a line break; strings stay UTF-8.
std::string ToStyledText(const Json::Value& value);

// Identity of a file's current content: a file replaced by rename gets a new inode, one changed
// in place a new modification time or size.
struct FileStamp {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = -1;
    int64_t modified_ns = 0;
    bool operator==(const FileStamp&) const = default;
};
// False when the file cannot be examined (missing, say).
[[nodiscard]] bool StampOfFile(const std::filesystem::path& path, FileStamp& stamp);

// Writes whole files atomically: a temporary file in the same folder, written, flushed to disk,
// then renamed over the target. On any failure the target is left as it was. `written`, when
// given, receives the stamp of the file as written.
[[nodiscard]] bool WriteFileAtomic(const std::filesystem::path& path, std::string_view bytes,
                                   FileStamp* written = nullptr);
[[nodiscard]] bool WriteJsonFile(const Json::Value& value, const std::filesystem::path& path,
                                 FileStamp* written = nullptr);
// Byte-for-byte copy, written atomically.
[[nodiscard]] bool CopyFileAtomic(const std::filesystem::path& from,
                                  const std::filesystem::path& to);

// "%d_%02d_%02d_%02d_%02d_%02d_%03d" of the local time (year ... millisecond).
std::string MakeTimestampId(std::chrono::system_clock::time_point when);
std::string MakeTimestampId();
// A time-stamp identifier that `taken` rejects is moved on by one millisecond until it is free,
// so two profiles or macros made within the same millisecond never share a file.
std::string MakeUniqueTimestampId(const std::function<bool(const std::string&)>& taken);

// True when a name taken from a file can be used as a file name inside a folder: not empty, no
// folder separators, not "." or "..".
bool IsPlainFileName(std::string_view name);

// Access to values read from files. Wrong types read as empty or zero, never throw.
const Json::Value& Member(const Json::Value& object, const char* key);
const Json::Value& Element(const Json::Value& array, Json::ArrayIndex index);
Json::ArrayIndex ArraySize(const Json::Value& array);
int64_t ToInt(const Json::Value& value);  // numbers and booleans; anything else 0
bool ToBool(const Json::Value& value);    // any non-zero number is true
std::string ToString(const Json::Value& value);
inline int64_t IntMember(const Json::Value& object, const char* key) {
    return ToInt(Member(object, key));
}

// Write access: turns the value into an object or array first when it is not one.
Json::Value& ObjectMember(Json::Value& object, const char* key);
// nullptr when index is above kMaxWriteIndex.
Json::Value* ArrayElement(Json::Value& array, Json::ArrayIndex index);

// Standard decimal conversion: leading blanks, optional sign, digits; anything else ends the
// number; no digits give 0. Saturates instead of overflowing.
int64_t ParseDecimal(std::string_view text);

// Names compare without regard to ASCII case.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
std::string_view Trim(std::string_view text);

// Text passes between the interface (UTF-16) and documents (UTF-8) through these; malformed
// sequences become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

}  // namespace zepho7::storage
