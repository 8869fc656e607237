// Reading the module's formats: a literal prefix, then a decimal. Every line of
// a log and every log event of a play go through these: inline, so that a
// literal prefix compares without a library call.
#pragma once

#include <optional>
#include <string_view>

#include "zep_types.h"

namespace zep::sim {

// Whether s starts with prefix, compared byte by byte in place: the
// prefixes are a few bytes, and a call to memcmp costs more than comparing them.
inline bool startsWith(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (s[i] != prefix[i]) {
            return false;
        }
    }
    return true;
}

// Advances past prefix when s starts with it.
inline bool takePrefix(std::string_view &s, std::string_view prefix)
{
    if (!startsWith(s, prefix)) {
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

// Calls each with every line of text that is not empty once the '\r' of a
// CRLF ending is dropped: a log event's text as the module logged it.
template <typename Each>
void forEachLine(std::string_view text, Each each)
{
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        while (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            each(line);
        }
    }
}

}  // namespace zep::sim
