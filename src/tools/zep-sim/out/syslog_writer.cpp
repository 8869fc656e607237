#include "out/syslog_writer.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <numeric>

#include "base/text_scan.hpp"

namespace zep::sim {

namespace {

constexpr std::array<std::string_view, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<u64, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// The number of the given width at text[at], spaces before it allowed.
std::optional<u64> fieldAt(std::string_view text, std::size_t at, std::size_t width)
{
    u64 value = 0;
    bool digits = false;
    for (std::size_t i = at; i < at + width; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            value = value * 10 + static_cast<u64>(c - '0');
            digits = true;
        } else if (c != ' ' || digits) {
            return std::nullopt;
        }
    }
    return digits ? std::optional(value) : std::nullopt;
}

}  // namespace

std::optional<u64> syslogDateMs(std::string_view line)
{
    // "Jan  1 00:00:02 ": month, day, hours, minutes, seconds at fixed places.
    if (line.size() < 16 || line[3] != ' ' || line[6] != ' ' || line[9] != ':' || line[12] != ':' ||
        line[15] != ' ') {
        return std::nullopt;
    }
    const auto month = std::find(kMonths.begin(), kMonths.end(), line.substr(0, 3));
    const auto day = fieldAt(line, 4, 2);
    const auto hours = fieldAt(line, 7, 2);
    const auto minutes = fieldAt(line, 10, 2);
    const auto seconds = fieldAt(line, 13, 2);
    if (month == kMonths.end() || !day || !hours || !minutes || !seconds || *day == 0) {
        return std::nullopt;
    }
    const auto monthsBefore = kDays.begin() + (month - kMonths.begin());
    const u64 days = std::accumulate(kDays.begin(), monthsBefore, *day - 1);
    return (((days * 24 + *hours) * 60 + *minutes) * 60 + *seconds) * 1000;
}

std::string syslogDate(u64 ms)
{
    const u64 seconds = ms / 1000;
    u64 day = (seconds / 86400) % 365;  // a run of years wraps into the same calendar
    std::size_t month = 0;
    while (day >= kDays[month]) {
        day -= kDays[month];
        ++month;
    }
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%s %2u %02u:%02u:%02u", kMonths[month].data(),
                  static_cast<unsigned>(day + 1), static_cast<unsigned>(seconds / 3600 % 24),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    return buf;
}

void SyslogWriter::onEvent(const Event &ev)
{
    if (ev.kind != EventKind::Log) {
        return;
    }
    const std::string prefix = syslogDate(ev.t) + ' ' + host_ + " zep: ";
    forEachLine(ev.text, [&](std::string_view line) { out_ << prefix << line << '\n'; });
}

}  // namespace zep::sim
