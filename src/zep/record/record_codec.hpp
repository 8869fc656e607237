// Little-endian words, LEB128 varints and block checksums: the byte-level
// pieces the writer and the reader share.
#pragma once

#include <cstring>

#include "record_format.hpp"

namespace zep::record {

inline void putWord(u8 *at, u32 value)
{
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<u8>(value >> (8 * i));
    }
}

inline u32 getWord(const u8 *at)
{
    return static_cast<u32>(at[0]) | static_cast<u32>(at[1]) << 8 | static_cast<u32>(at[2]) << 16 |
           static_cast<u32>(at[3]) << 24;
}

// Writes value as a varint at `at`, which has room for 10 bytes; returns the end.
inline u8 *putVarint(u8 *at, u64 value)
{
    while (value >= 0x80) {
        *at++ = static_cast<u8>(value | 0x80);
        value >>= 7;
    }
    *at++ = static_cast<u8>(value);
    return at;
}

// Reads a varint at pos; false when it runs off the end or is longer than 10
// bytes.
inline bool getVarint(std::span<const u8> bytes, u64 &pos, u64 &value)
{
    value = 0;
    for (u32 shift = 0; shift < 64; shift += 7) {
        if (pos >= bytes.size()) {
            return false;
        }
        const u8 byte = bytes[pos++];
        value |= static_cast<u64>(byte & 0x7f) << shift;
        if ((byte & 0x80) == 0) {
            return true;
        }
    }
    return false;
}

// CRC-32 (zlib's polynomial) of bytes.
u32 checksum(std::span<const u8> bytes);

// Fills the 20-byte block header for a payload.
void putBlockHeader(u8 *at, u32 tag, std::span<const u8> payload, u32 events);

}  // namespace zep::record
