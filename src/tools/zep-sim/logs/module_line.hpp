// Finds the module's own text in one line of an access point's log, whatever
// the syslog prefix before it, and splits it into the parts every module line
// shares: the function, the station (if the line is about
// one), and the message after ": ".
#pragma once

#include <optional>
#include <string_view>

#include "zep_types.h"

namespace zep::sim::logs {

enum class Tag { None, Note, Error };

struct ModuleLine {
    std::string_view func;  // the function that wrote the line
    std::optional<u64> sta;  // the station's MAC as 48 bits, on station lines
    Tag tag = Tag::None;     // station lines say note or error; others say nothing
    std::string_view text;   // the message, without the trailing CR/LF
};

// Null when the line holds no module text (another program's line).
std::optional<ModuleLine> findModuleLine(std::string_view line);

// Reads "xxxx-xxxx-xxxx" (12 hex digits in three groups) and advances past it.
std::optional<u64> takeMac(std::string_view &s);

// The two below run several times on every line: inline, so that a literal
// prefix compares without a library call.

// Advances past prefix when s starts with it.
inline bool takePrefix(std::string_view &s, std::string_view prefix)
{
    if (!s.starts_with(prefix)) {
        return false;
    }
    s.remove_prefix(prefix.size());
    return true;
}

// Reads an unsigned decimal at the front of s and advances past it.
inline std::optional<u64> takeNumber(std::string_view &s)
{
    std::size_t i = 0;
    u64 value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        value = value * 10 + static_cast<u64>(s[i] - '0');
        ++i;
    }
    // 20 digits reach past u64; a longer run is not a number the module wrote.
    if (i == 0 || i > 19) {
        return std::nullopt;
    }
    s.remove_prefix(i);
    return value;
}

}  // namespace zep::sim::logs
