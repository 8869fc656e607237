// Bit arrays: bit n is bit n % 8 of byte n / 8, so a little-endian word works
// as bits 0..31.
#include "host_impl.hpp"

namespace {

u8 mask(u32 bit) { return static_cast<u8>(1u << (bit % 8)); }

u32 setBitValue(void *bitmap, u32 bit, u32 value)
{
    if (bitmap == nullptr) {
        return zep::host::kErrNullPtr;
    }
    u8 &byte = static_cast<u8 *>(bitmap)[bit / 8];
    byte = static_cast<u8>(value != 0 ? byte | mask(bit) : byte & ~mask(bit));
    return 0;
}

}  // namespace

using namespace zep::host;

u32 emulated::UMAC_BITMAP_IsBitUp(const void *bitmap, u32 bit)
{
    if (bitmap == nullptr) {
        return 0;
    }
    return (static_cast<const u8 *>(bitmap)[bit / 8] & mask(bit)) != 0 ? 1 : 0;
}

u32 emulated::UMAC_BITMAP_SetBit(void *bitmap, u32 bit)
{
    return setBitValue(bitmap, bit, 1);
}

u32 emulated::UMAC_BITMAP_ClearBit(void *bitmap, u32 bit)
{
    return setBitValue(bitmap, bit, 0);
}

u32 emulated::UMAC_BITMAP_SetBitValue(void *bitmap, u32 bit, u32 value)
{
    return setBitValue(bitmap, bit, value);
}
