#include "logs/module_line.hpp"

#include <cstring>

namespace zep::sim::logs {

namespace {

// Every function of the module, and its registration entry, starts so.
constexpr std::string_view kFuncMark = "ZEP_STA";
constexpr std::string_view kStaMark = "[STA_MEAS][";

bool isIdentChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// memchr to each 'Z' is far cheaper than a general substring search, and the
// syslog prefixes in front of the module's text rarely hold one.
std::size_t findFuncMark(std::string_view line)
{
    const char *at = line.data();
    const char *end = line.data() + line.size();
    while (end - at >= static_cast<std::ptrdiff_t>(kFuncMark.size())) {
        const void *z = std::memchr(at, 'Z', static_cast<std::size_t>(end - at));
        if (z == nullptr) {
            break;
        }
        at = static_cast<const char *>(z);
        if (static_cast<std::size_t>(end - at) >= kFuncMark.size() &&
            std::memcmp(at, kFuncMark.data(), kFuncMark.size()) == 0) {
            return static_cast<std::size_t>(at - line.data());
        }
        ++at;
    }
    return std::string_view::npos;
}

Tag tagBefore(std::string_view line, std::size_t funcAt)
{
    const std::string_view before = line.substr(0, funcAt);
    if (before.ends_with("[note]")) {
        return Tag::Note;
    }
    if (before.ends_with("[error]")) {
        return Tag::Error;
    }
    return Tag::None;
}

std::string_view trimEnd(std::string_view s)
{
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) {
        s.remove_suffix(1);
    }
    return s;
}

}  // namespace

bool takePrefix(std::string_view &s, std::string_view prefix)
{
    if (!s.starts_with(prefix)) {
        return false;
    }
    s.remove_prefix(prefix.size());
    return true;
}

std::optional<u64> takeNumber(std::string_view &s)
{
    std::size_t i = 0;
    u64 value = 0;
    // 20 digits reach past u64; a longer run is not a number the module wrote.
    while (i < s.size() && i < 20 && s[i] >= '0' && s[i] <= '9') {
        value = value * 10 + static_cast<u64>(s[i] - '0');
        ++i;
    }
    if (i == 0 || (i < s.size() && s[i] >= '0' && s[i] <= '9')) {
        return std::nullopt;
    }
    s.remove_prefix(i);
    return value;
}

std::optional<u64> takeMac(std::string_view &s)
{
    // "0011-2233-4401": three groups of four hex digits.
    constexpr std::size_t kLen = 14;
    if (s.size() < kLen || s[4] != '-' || s[9] != '-') {
        return std::nullopt;
    }
    u64 mac = 0;
    for (std::size_t i = 0; i < kLen; ++i) {
        if (i == 4 || i == 9) {
            continue;
        }
        const int v = hexValue(s[i]);
        if (v < 0) {
            return std::nullopt;
        }
        mac = (mac << 4) | static_cast<u64>(v);
    }
    s.remove_prefix(kLen);
    return mac;
}

std::optional<ModuleLine> findModuleLine(std::string_view line)
{
    const std::size_t at = findFuncMark(line);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    ModuleLine m;
    m.tag = tagBefore(line, at);
    std::string_view rest = line.substr(at);
    std::size_t n = 0;
    while (n < rest.size() && isIdentChar(rest[n])) {
        ++n;
    }
    m.func = rest.substr(0, n);
    rest.remove_prefix(n);
    const auto src = takePrefix(rest, "[") ? takeNumber(rest) : std::nullopt;
    if (!src || !takePrefix(rest, "]")) {
        return std::nullopt;
    }
    m.srcLine = static_cast<u32>(*src);
    if (takePrefix(rest, kStaMark)) {
        m.sta = takeMac(rest);
        if (!m.sta || !takePrefix(rest, "]")) {
            return std::nullopt;
        }
    }
    if (!takePrefix(rest, ": ")) {
        return std::nullopt;
    }
    m.text = trimEnd(rest);
    return m;
}

}  // namespace zep::sim::logs
