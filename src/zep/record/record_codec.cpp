// Block checksums come from zlib, a library every Debian system carries.
#include "record_codec.hpp"

#include <zlib.h>

namespace zep::record {

u32 checksum(std::span<const u8> bytes)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes an unsigned int length; a payload never comes near it.
    crc = crc32(crc, bytes.data(), static_cast<uInt>(bytes.size()));
    return static_cast<u32>(crc);
}

void putBlockHeader(u8 *at, u32 tag, std::span<const u8> payload, u32 events)
{
    putWord(at, tag);
    putWord(at + 4, static_cast<u32>(payload.size()));
    putWord(at + 8, events);
    putWord(at + 12, checksum(payload));
    // The header has its own checksum, so that a damaged length is told apart
    // from a file that simply ends early.
    putWord(at + 16, checksum({at, 16}));
}

}  // namespace zep::record
