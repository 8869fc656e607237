#include "logs/module_line.hpp"

namespace zep::sim::logs {

namespace {

// Every function of the module, and its registration entry, starts so.
constexpr std::string_view kFuncMark = "ZEP_STA";
constexpr std::string_view kStaMark = "[STA_MEAS][";
constexpr std::size_t kFuncMax = 64;  // longer than any of the module's function names

// A hex digit's value, -1 for any other character.
int hexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char lower = static_cast<char>(c | 0x20);  // 'A' to 'F' become 'a' to 'f'
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
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

}  // namespace

std::optional<u64> takeMac(std::string_view &s)
{
    // "0011-2233-4401": three groups of four hex digits.
    constexpr std::size_t kLen = 14;
    if (s.size() < kLen || s[4] != '-' || s[9] != '-') {
        return std::nullopt;
    }
    u64 mac = 0;
    for (const std::size_t i : {0, 1, 2, 3, 5, 6, 7, 8, 10, 11, 12, 13}) {
        const int digit = hexValue(s[i]);
        if (digit < 0) {
            return std::nullopt;
        }
        mac = mac << 4 | static_cast<u64>(digit);
    }
    s.remove_prefix(kLen);
    return mac;
}

std::optional<ModuleLine> findModuleLine(std::string_view line)
{
    const std::size_t at = line.find(kFuncMark);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    ModuleLine m;
    m.tag = tagBefore(line, at);
    std::string_view rest = line.substr(at);
    // A function name holds no '[': the source line's bracket ends it. The
    // line number itself is of no use here and is only checked for digits.
    const std::size_t open = rest.substr(0, kFuncMax).find('[');
    const std::size_t close =
        open == std::string_view::npos ? open : rest.find_first_not_of("0123456789", open + 1);
    if (close == std::string_view::npos || close == open + 1 || rest[close] != ']') {
        return std::nullopt;
    }
    m.func = rest.substr(0, open);
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
    m.text = rest.substr(0, rest.find_last_not_of("\r\n") + 1);  // npos + 1: line ends alone
    return m;
}

}  // namespace zep::sim::logs
