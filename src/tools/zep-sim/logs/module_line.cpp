#include "logs/module_line.hpp"

#include <array>
#include <cstring>

namespace zep::sim::logs {

namespace {

// Every function of the module, and its registration entry, starts so.
constexpr std::string_view kFuncMark = "ZEP_STA";
constexpr std::string_view kStaMark = "[STA_MEAS][";
constexpr std::size_t kFuncMax = 64;  // longer than any of the module's function names

// Digit values of the hex characters, -1 for every other byte: MACs are on
// most lines, so they are read by table.
constexpr auto kHex = [] {
    std::array<signed char, 256> t{};
    t.fill(-1);
    for (int c = 0; c < 10; ++c) {
        t['0' + c] = static_cast<signed char>(c);
    }
    for (int c = 0; c < 6; ++c) {
        t['a' + c] = static_cast<signed char>(10 + c);
        t['A' + c] = static_cast<signed char>(10 + c);
    }
    return t;
}();

int hexValue(char c)
{
    return kHex[static_cast<unsigned char>(c)];
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
    if (funcAt == 0 || line[funcAt - 1] != ']') {
        return Tag::None;
    }
    const std::string_view before = line.substr(0, funcAt);
    if (before.ends_with("[note]")) {
        return Tag::Note;
    }
    return before.ends_with("[error]") ? Tag::Error : Tag::None;
}

std::string_view trimEnd(std::string_view s)
{
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n')) {
        s.remove_suffix(1);
    }
    return s;
}

}  // namespace

std::optional<u64> takeMac(std::string_view &s)
{
    // "0011-2233-4401": three groups of four hex digits.
    constexpr std::size_t kLen = 14;
    constexpr std::array<std::size_t, 12> kDigits{0, 1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 13};
    if (s.size() < kLen || s[4] != '-' || s[9] != '-') {
        return std::nullopt;
    }
    u64 mac = 0;
    int bad = 0;  // negative once any digit is not hex: one test at the end
    for (const std::size_t i : kDigits) {
        const int v = hexValue(s[i]);
        bad |= v;
        mac = (mac << 4) | static_cast<u64>(v & 0xF);
    }
    if (bad < 0) {
        return std::nullopt;
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
    // A function name holds no '[': the source line's bracket ends it. The
    // line number itself is of no use here and is only checked for a digit.
    const std::size_t open = rest.substr(0, kFuncMax).find('[');
    if (open == std::string_view::npos || open + 1 >= rest.size() || rest[open + 1] < '0' ||
        rest[open + 1] > '9') {
        return std::nullopt;
    }
    m.func = rest.substr(0, open);
    std::size_t close = open + 2;
    while (close < rest.size() && rest[close] >= '0' && rest[close] <= '9') {
        ++close;
    }
    if (close >= rest.size() || rest[close] != ']') {
        return std::nullopt;
    }
    rest.remove_prefix(close + 1);
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
