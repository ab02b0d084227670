// The program's one diagnostic channel. Off by default; ZEPHO7_TRACE=1 sends it to stderr,
// and tests can capture it. While it is off no formatting work is done: use Z7_TRACE, which
// tests the switch before it evaluates its arguments.
#pragma once

#include <atomic>
#include <cstdarg>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zepho7::trace {

namespace detail {
extern std::atomic<bool> g_enabled;
}

inline bool Enabled() noexcept {
    return detail::g_enabled.load(std::memory_order_relaxed);
}

// Switches the channel on or off for the whole process (ZEPHO7_TRACE sets the default).
inline void SetEnabled(bool on) noexcept {
    detail::g_enabled.store(on, std::memory_order_relaxed);
}

// Writes one line (a trailing newline is added when missing).
void Write(std::string_view line);
void Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// While alive, tracing is on and every line goes to this object instead of stderr.
// Captures nest; the innermost one receives the lines.
class Capture {
  public:
    Capture();
    ~Capture();
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    std::vector<std::string> Lines() const;
    bool Contains(std::string_view text) const;
    void Clear();

  private:
    friend void Write(std::string_view line);
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    Capture* outer_ = nullptr;
    bool was_enabled_ = false;
};

}  // namespace zepho7::trace

#define Z7_TRACE(...)                             \
    do {                                          \
        if (::zepho7::trace::Enabled()) {         \
            ::zepho7::trace::Printf(__VA_ARGS__); \
        }                                         \
    } while (0)
