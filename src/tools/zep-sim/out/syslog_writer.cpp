#include "out/syslog_writer.hpp"

#include <array>
#include <cstdio>

namespace zep::sim {

std::string syslogDate(u64 ms)
{
    static constexpr std::array<const char *, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static constexpr std::array<u64, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const u64 seconds = ms / 1000;
    u64 day = (seconds / 86400) % 365;  // a run of years wraps into the same calendar
    std::size_t month = 0;
    while (day >= kDays[month]) {
        day -= kDays[month];
        ++month;
    }
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%s %2u %02u:%02u:%02u", kMonths[month],
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
    std::string_view text = ev.text;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        while (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            out_ << prefix << line << '\n';
        }
    }
}

}  // namespace zep::sim
