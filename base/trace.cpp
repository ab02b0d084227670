#include "base/trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zepho7::trace {

namespace {

bool EnabledFromEnvironment() {
    const char* value = std::getenv("ZEPHO7_TRACE");
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

std::mutex g_sink_mutex;
Capture* g_capture = nullptr;  // innermost live capture, guarded by g_sink_mutex

}  // namespace

namespace detail {
std::atomic<bool> g_enabled{EnabledFromEnvironment()};
}

void Write(std::string_view line) {
    std::lock_guard lock(g_sink_mutex);
    if (g_capture != nullptr) {
        std::lock_guard capture_lock(g_capture->mutex_);
        g_capture->lines_.emplace_back(line);
        if (!g_capture->lines_.back().empty() && g_capture->lines_.back().back() == '\n') {
            g_capture->lines_.back().pop_back();
        }
        return;
    }
    std::fwrite(line.data(), 1, line.size(), stderr);
    if (line.empty() || line.back() != '\n') {
        std::fputc('\n', stderr);
    }
}

void Printf(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) {
        return;
    }
    Write(std::string_view(buffer, static_cast<size_t>(n) < sizeof buffer ? static_cast<size_t>(n)
                                                                          : sizeof buffer - 1));
}

Capture::Capture() {
    std::lock_guard lock(g_sink_mutex);
    outer_ = g_capture;
    g_capture = this;
    was_enabled_ = detail::g_enabled.exchange(true);
}

Capture::~Capture() {
    std::lock_guard lock(g_sink_mutex);
    g_capture = outer_;
    detail::g_enabled.store(was_enabled_);
}

std::vector<std::string> Capture::Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool Capture::Contains(std::string_view text) const {
    std::lock_guard lock(mutex_);
    for (const auto& line : lines_) {
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

void Capture::Clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

}  // namespace zepho7::trace
