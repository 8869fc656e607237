// Hex text <-> bytes, and the MAC spellings used in traces and tables.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zep_host.hpp"

namespace zep::sim {

using host::Mac;

// Lower-case hex, two digits per byte, no separators.
std::string toHex(std::span<const u8> bytes);

// Accepts pairs of hex digits, ignoring spaces, ':', '-' and '_' between them;
// nullopt on any other character or an odd digit count.
std::optional<std::vector<u8>> parseHex(std::string_view text);

inline Mac macAt(std::span<const u8> bytes, std::size_t offset)
{
    Mac mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        mac[i] = bytes[offset + i];
    }
    return mac;
}

// A MAC as one number, its first byte highest: ordered as its bytes are,
// and hashed and compared without a call to memcmp. Built byte by byte, not
// copied into a wider integer, so that a lookup never waits on a store.
constexpr u64 macNumber(const Mac &mac)
{
    u64 number = 0;
    for (const u8 byte : mac) {
        number = number << 8 | byte;
    }
    return number;
}

// The n-th MAC after mac, counting its six bytes as one number.
inline Mac macPlus(Mac mac, std::size_t n)
{
    for (std::size_t step = 0; step < n; ++step) {
        for (std::size_t i = mac.size(); i-- > 0;) {
            if (++mac[i] != 0) {
                break;
            }
        }
    }
    return mac;
}

// The one spelling of a MAC in everything zep-sim prints: "00:11:22:33:44:01".
// The overloads take the other forms a MAC arrives in and end in the same code.
std::string macText(const Mac &mac);
std::string macText(const u8 (&bytes)[6]);
std::string macText(u64 sta);  // the low six bytes, the first byte highest, as the log reader keeps it
Mac macOf(u64 sta);            // the same six bytes

inline constexpr Mac kBroadcastMac{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

}  // namespace zep::sim
