// The framework logger: threshold first, then formatting, then the captures,
// the observer and (optionally) stderr.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "host_impl.hpp"

using namespace zep::host;

namespace {

// Declared printf-like so the compilers check the format of the caller instead.
__attribute__((format(printf, 1, 0))) std::string formatLine(const char *format, va_list args)
{
    va_list measure;
    va_copy(measure, args);
    const int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(needed), '\0');
    // The string's own terminator slot takes vsnprintf's '\0'.
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    return text;
}

// Everything past the threshold, out of line, so that a dropped line costs
// the caller no more than the threshold check.
__attribute__((format(printf, 6, 0), noinline)) void printLine(Host::Impl &s, u32 severity,
                                                               u32 moduleId, u32 category,
                                                               const u8 *staMac,
                                                               const char *format, va_list args)
{
    LogLine line{s.nowMs, severity, moduleId, category, std::nullopt, formatLine(format, args)};
    ++s.formattedLogLines;
    if (staMac != nullptr) {
        Mac mac;
        std::memcpy(mac.data(), staMac, mac.size());
        line.sta = mac;
    }
    if (s.logToStderr) {
        std::string shown = line.text;
        std::erase(shown, '\r');
        std::fputs(shown.c_str(), stderr);
    }
    if (s.observer != nullptr) {
        s.observer->onLog(line);
    }
    if (s.captureLogs) {
        s.logs.push_back(std::move(line));
    }
}

// A replay compares every line the application writes, kept or not, as its
// format and arguments, without formatting it; a replay that writes a trace
// or a timeline watches the lines at or above the threshold too, formatted
// as a play's are.
__attribute__((format(printf, 6, 0), noinline)) void showLineToTap(Host::Impl &s, u32 severity, u32 moduleId,
                                                                   u32 category, const u8 *staMac,
                                                                   const char *format, va_list args)
{
    va_list again;
    va_copy(again, args);
    detail::g_tap->onLog(severity, moduleId, category, staMac, format, again);
    va_end(again);
    if (s.observer != nullptr && severity >= s.logThreshold) {
        printLine(s, severity, moduleId, category, staMac, format, args);
    }
}

}  // namespace

void ZEP_DBG_Print(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format, ...)
{
    Host::Impl &s = detail::state();
    // Dropped lines cost nothing: the threshold is checked before formatting.
    // (A replay's tap sees every line, whatever the threshold.)
    if ((severity < s.logThreshold && detail::g_tap == nullptr) || format == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    if (detail::g_tap != nullptr) [[unlikely]] {
        showLineToTap(s, severity, moduleId, category, staMac, format, args);
    } else {
        printLine(s, severity, moduleId, category, staMac, format, args);
    }
    va_end(args);
}
