#include "base/time_text.hpp"

#include <cstdio>

namespace zep::sim {

std::string formatTime(u64 ms)
{
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%4llu.%03llu", static_cast<unsigned long long>(ms / 1000),
                  static_cast<unsigned long long>(ms % 1000));
    return buf;
}

std::string formatFixed(double value, int decimals)
{
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%.*f", decimals, value);
    return buf;
}

std::string formatSeconds(u64 ms)
{
    const std::string t = formatTime(ms);
    return t.substr(t.find_first_not_of(' '));
}

std::string formatClock(u64 ms)
{
    const u64 s = ms / 1000;
    char buf[48];
    if (s >= 86400) {
        std::snprintf(buf, sizeof(buf), "%llu d %02llu:%02llu:%02llu",
                      static_cast<unsigned long long>(s / 86400),
                      static_cast<unsigned long long>(s / 3600 % 24),
                      static_cast<unsigned long long>(s / 60 % 60),
                      static_cast<unsigned long long>(s % 60));
    } else {
        std::snprintf(buf, sizeof(buf), "%02llu:%02llu:%02llu", static_cast<unsigned long long>(s / 3600),
                      static_cast<unsigned long long>(s / 60 % 60),
                      static_cast<unsigned long long>(s % 60));
    }
    return buf;
}

}  // namespace zep::sim
