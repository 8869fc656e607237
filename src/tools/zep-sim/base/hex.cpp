#include "base/hex.hpp"

namespace zep::sim {

namespace {

int digitValue(char c)
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

}  // namespace

std::string toHex(std::span<const u8> bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const u8 b : bytes) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return out;
}

std::optional<std::vector<u8>> parseHex(std::string_view text)
{
    std::vector<u8> out;
    int high = -1;
    for (const char c : text) {
        if (c == ' ' || c == ':' || c == '-' || c == '_' || c == '\n' || c == '\t') {
            if (high >= 0) {
                return std::nullopt;  // a separator inside a byte
            }
            continue;
        }
        const int v = digitValue(c);
        if (v < 0) {
            return std::nullopt;
        }
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<u8>(high * 16 + v));
            high = -1;
        }
    }
    if (high >= 0) {
        return std::nullopt;
    }
    return out;
}

std::string macText(const Mac &mac)
{
    return host::formatMac(mac);
}

std::string macText(const u8 (&bytes)[6])
{
    return macText(macAt(bytes, 0));
}

Mac macOf(u64 sta)
{
    Mac mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        mac[i] = static_cast<u8>(sta >> (8 * (mac.size() - 1 - i)));
    }
    return mac;
}

std::string macText(u64 sta)
{
    return macText(macOf(sta));
}

}  // namespace zep::sim
