#include "storage/json_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <json/reader.h>
#include <json/writer.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>

#include "base/trace.h"

namespace zepho7::storage {

namespace fs = std::filesystem;

namespace {

const Json::Value& NullValue() {
    static const Json::Value null;
    return null;
}

std::unique_ptr<Json::CharReader> MakeReader() {
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["allowComments"] = true;
    // Deep nesting is never legitimate here; the limit keeps the parser's recursion bounded.
    builder["stackLimit"] = 256;
    return std::unique_ptr<Json::CharReader>(builder.newCharReader());
}

std::tm LocalTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

// Closes a descriptor and removes a temporary file unless released.
class TempFile {
  public:
    TempFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~TempFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        if (!path_.empty()) {
            ::unlink(path_.c_str());
        }
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }
    void Release() { path_.clear(); }

  private:
    int fd_;
    std::string path_;
};

}  // namespace

Json::Value ParseJson(std::string_view text, bool* ok) {
    Json::Value value;
    std::string errors;
    bool parsed = false;
    try {
        parsed = MakeReader()->parse(text.data(), text.data() + text.size(), &value, &errors);
    } catch (const Json::Exception&) {
        // The parser reports nesting beyond its stack limit by throwing.
        parsed = false;
    }
    if (ok != nullptr) {
        *ok = parsed;
    }
    return parsed ? value : Json::Value();
}

ReadResult ReadJsonFileStatus(const fs::path& path) {
    std::error_code ec;
    const auto status = fs::status(path, ec);
    if (ec || !fs::exists(status)) {
        return {{}, ReadStatus::kMissing};
    }
    if (!fs::is_regular_file(status)) {
        return {{}, ReadStatus::kUnreadable};
    }
    const auto size = fs::file_size(path, ec);
    if (ec) {
        return {{}, ReadStatus::kUnreadable};
    }
    if (size > kMaxJsonFileSize) {
        Z7_TRACE("storage: %s is %ju bytes, too large to read", path.c_str(), size);
        return {{}, ReadStatus::kTooLarge};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        Z7_TRACE("storage: cannot open %s: %s", path.c_str(), std::strerror(errno));
        return {{}, ReadStatus::kUnreadable};
    }
    std::string text(static_cast<size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    if (text.empty()) {
        Z7_TRACE("storage: %s is empty", path.c_str());
        return {{}, ReadStatus::kEmpty};
    }
    bool ok = false;
    Json::Value value = ParseJson(text, &ok);
    if (!ok) {
        Z7_TRACE("storage: %s does not parse", path.c_str());
        return {{}, ReadStatus::kBroken};
    }
    return {std::move(value), ReadStatus::kOk};
}

Json::Value ReadJsonFile(const fs::path& path) {
    return ReadJsonFileStatus(path).value;
}

Json::Value ReadDocumentForUpdate(const fs::path& path) {
    ReadResult read = ReadJsonFileStatus(path);
    if (read.status == ReadStatus::kOk && read.value.isObject()) {
        return std::move(read.value);
    }
    if (read.status != ReadStatus::kMissing) {
        (void)SetAsideBrokenFile(path);
    }
    return Json::Value(Json::objectValue);
}

fs::path SetAsideBrokenFile(const fs::path& path) {
    const std::tm tm = LocalTime(std::time(nullptr));
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
    const std::string base = path.string() + ".broken-" + stamp;
    fs::path target = base;
    std::error_code ec;
    for (int n = 2; fs::exists(target, ec) && n < 1000; ++n) {
        target = base + "-" + std::to_string(n);
    }
    fs::rename(path, target, ec);
    if (ec) {
        Z7_TRACE("storage: cannot set aside broken file %s: %s", path.c_str(),
                 ec.message().c_str());
        return {};
    }
    Z7_TRACE("storage: broken file %s set aside as %s", path.c_str(), target.c_str());
    return target;
}

namespace {

void AppendIndent(std::string& out, int depth) {
    out.append(static_cast<size_t>(depth) * 3, ' ');
}

void AppendString(std::string& out, const char* begin, const char* end) {
    out += '"';
    for (const char* p = begin; p != end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);  // UTF-8 is written as it is
                }
        }
    }
    out += '"';
}

template <typename Number>
void AppendNumber(std::string& out, Number n) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, n);
    out.append(text, result.ptr);
}

// The same indented layout the files have always had, written without jsoncpp's writer, which
// allocates per value and made saving a large profile several times slower than reading it.
void AppendValue(std::string& out, const Json::Value& v, int depth) {
    switch (v.type()) {
        case Json::nullValue:
            out += "null";
            break;
        case Json::intValue:
            AppendNumber(out, v.asLargestInt());
            break;
        case Json::uintValue:
            AppendNumber(out, v.asLargestUInt());
            break;
        case Json::realValue: {
            const double d = v.asDouble();
            if (!std::isfinite(d)) {
                out += "null";
            } else {
                const size_t at = out.size();
                AppendNumber(out, d);
                if (out.find_first_of(".e", at) == std::string::npos)
                    out += ".0";
            }
            break;
        }
        case Json::stringValue: {
            const char* begin = nullptr;
            const char* end = nullptr;
            v.getString(&begin, &end);
            AppendString(out, begin, end);
            break;
        }
        case Json::booleanValue:
            out += v.asBool() ? "true" : "false";
            break;
        case Json::arrayValue: {
            if (v.empty()) {
                out += "[]";
                break;
            }
            out += "[\n";
            const Json::ArrayIndex n = v.size();
            for (Json::ArrayIndex i = 0; i < n; ++i) {
                AppendIndent(out, depth + 1);
                AppendValue(out, v[i], depth + 1);
                out += i + 1 < n ? ",\n" : "\n";
            }
            AppendIndent(out, depth);
            out += ']';
            break;
        }
        case Json::objectValue: {
            if (v.empty()) {
                out += "{}";
                break;
            }
            out += "{\n";
            const auto last = v.end();
            for (auto it = v.begin(); it != last;) {
                AppendIndent(out, depth + 1);
                const char* name_end = nullptr;
                const char* name = it.memberName(&name_end);
                AppendString(out, name, name_end);
                out += " : ";
                AppendValue(out, *it, depth + 1);
                out += ++it != last ? ",\n" : "\n";
            }
            AppendIndent(out, depth);
            out += '}';
            break;
        }
    }
}

}  // namespace

std::string ToStyledText(const Json::Value& value) {
    std::string text;
    text.reserve(4096);
    AppendValue(text, value, 0);
    text += '\n';
    return text;
}

namespace {

FileStamp StampOf(const struct stat& st) {
    return FileStamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                     static_cast<int64_t>(st.st_size),
                     static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

}  // namespace

bool StampOfFile(const fs::path& path, FileStamp& stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return false;
    }
    stamp = StampOf(st);
    return true;
}

bool WriteFileAtomic(const fs::path& path, std::string_view bytes, FileStamp* written) {
    std::string pattern = path.string() + ".tmp-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        Z7_TRACE("storage: cannot create a temporary file for %s: %s", path.c_str(),
                 std::strerror(errno));
        return false;
    }
    TempFile temp(fd, pattern);
    // Keep the mode of the file being replaced; new files get the usual 0644.
    struct stat st {};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    (void)::fchmod(fd, mode);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            Z7_TRACE("storage: writing %s failed after %zu of %zu bytes: %s", path.c_str(), done,
                     bytes.size(), std::strerror(errno));
            return false;
        }
        done += static_cast<size_t>(n);
    }
    // Stamped before the rename: whatever replaces the file after it cannot share the stamp.
    struct stat after {};
    if (written != nullptr && ::fstat(fd, &after) == 0) {
        *written = StampOf(after);
    }
    if (::fdatasync(fd) != 0 || !temp.Close()) {
        Z7_TRACE("storage: flushing %s failed: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    if (::rename(temp.path().c_str(), path.c_str()) != 0) {
        Z7_TRACE("storage: replacing %s failed: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    temp.Release();
    return true;
}

bool WriteJsonFile(const Json::Value& value, const fs::path& path, FileStamp* written) {
    // Reused: a large profile's text would otherwise be mapped and unmapped on every save.
    thread_local std::string text;
    text.clear();
    AppendValue(text, value, 0);
    text += '\n';
    const bool ok = WriteFileAtomic(path, text, written);
    if (text.capacity() > (size_t{1} << 22)) {
        std::string().swap(text);  // do not hold on to the memory of an unusually large file
    }
    return ok;
}

bool CopyFileAtomic(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    const auto size = fs::file_size(from, ec);
    if (ec || size > kMaxJsonFileSize) {
        Z7_TRACE("storage: cannot copy %s", from.c_str());
        return false;
    }
    std::ifstream in(from, std::ios::binary);
    if (!in) {
        return false;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return WriteFileAtomic(to, bytes.str());
}

std::string MakeTimestampId(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    const int millis = static_cast<int>(ms % 1000);
    const std::tm tm = LocalTime(seconds);
    char text[64];
    std::snprintf(text, sizeof text, "%d_%02d_%02d_%02d_%02d_%02d_%03d", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, millis);
    return text;
}

std::string MakeTimestampId() {
    return MakeTimestampId(std::chrono::system_clock::now());
}

std::string MakeUniqueTimestampId(const std::function<bool(const std::string&)>& taken) {
    auto when = std::chrono::system_clock::now();
    std::string id = MakeTimestampId(when);
    for (int i = 0; i < 100000 && taken(id); ++i) {
        when += std::chrono::milliseconds(1);
        id = MakeTimestampId(when);
    }
    return id;
}

bool IsPlainFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string_view::npos &&
           name.find('\0') == std::string_view::npos;
}

const Json::Value& Member(const Json::Value& object, const char* key) {
    if (!object.isObject()) {
        return NullValue();
    }
    const Json::Value* found = object.find(key, key + std::strlen(key));
    return found != nullptr ? *found : NullValue();
}

const Json::Value& Element(const Json::Value& array, Json::ArrayIndex index) {
    if (!array.isArray() || index >= array.size()) {
        return NullValue();
    }
    return array[index];
}

Json::ArrayIndex ArraySize(const Json::Value& array) {
    return array.isArray() ? array.size() : 0;
}

int64_t ToInt(const Json::Value& value) {
    if (value.isInt64()) {
        return value.asInt64();
    }
    if (value.isUInt64()) {
        return std::numeric_limits<int64_t>::max();
    }
    if (value.isDouble()) {
        const double d = value.asDouble();
        if (!std::isfinite(d)) {
            return 0;
        }
        if (d >= 9.2e18) {
            return std::numeric_limits<int64_t>::max();
        }
        if (d <= -9.2e18) {
            return std::numeric_limits<int64_t>::min();
        }
        return static_cast<int64_t>(d);
    }
    if (value.isBool()) {
        return value.asBool() ? 1 : 0;
    }
    return 0;
}

bool ToBool(const Json::Value& value) {
    return ToInt(value) != 0;
}

std::string ToString(const Json::Value& value) {
    return value.isString() ? value.asString() : std::string();
}

Json::Value& ObjectMember(Json::Value& object, const char* key) {
    if (!object.isObject()) {
        object = Json::Value(Json::objectValue);
    }
    return object[key];
}

Json::Value* ArrayElement(Json::Value& array, Json::ArrayIndex index) {
    if (index > kMaxWriteIndex) {
        return nullptr;
    }
    if (!array.isArray()) {
        array = Json::Value(Json::arrayValue);
    }
    return &array[index];
}

int64_t ParseDecimal(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 10 - 10;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value > kLimit) {
            return negative ? std::numeric_limits<int64_t>::min()
                            : std::numeric_limits<int64_t>::max();
        }
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string_view Trim(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r\n\v\f";
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

namespace {
void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
constexpr char32_t kReplacement = 0xFFFD;
}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        int length = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (b0 < 0x80) {
            length = 1;
            c = b0;
        } else if ((b0 & 0xE0) == 0xC0) {
            length = 2;
            c = b0 & 0x1F;
            min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            length = 3;
            c = b0 & 0x0F;
            min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            length = 4;
            c = b0 & 0x07;
            min = 0x10000;
        }
        bool valid = length > 0 && i + static_cast<size_t>(length) <= text.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto b = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            valid = (b & 0xC0) == 0x80;
            c = (c << 6) | (b & 0x3F);
        }
        if (valid && (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) {
            valid = false;
        }
        if (!valid) {
            out += static_cast<char16_t>(kReplacement);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += static_cast<size_t>(length);
    }
    return out;
}

}  // namespace zepho7::storage
