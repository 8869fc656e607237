// zep-contract: bit arrays. Bit n is bit n % 8 of byte n / 8, which the
// module relies on when it reads a station's capability bytes and when it
// keeps host bitmaps in little-endian words.
#include <array>
#include <vector>

#include "check.hpp"
#include "zep_framework.h"

namespace zep::contract {
namespace {

constexpr u32 kBytes = 16;  // as a station's capability bitmap
using Bits = std::array<u8, kBytes>;

// Exactly bit n set, by the numbering above.
Bits only(u32 bit)
{
    Bits bytes{};
    bytes[bit / 8] = static_cast<u8>(1u << (bit % 8));
    return bytes;
}

void numbering(Verdict &v)
{
    for (u32 bit = 0; bit < kBytes * 8; ++bit) {
        Bits bytes{};
        UMAC_BITMAP_SetBit(bytes.data(), bit);
        const bool setRight = bytes == only(bit);
        UMAC_BITMAP_ClearBit(bytes.data(), bit);
        const bool clearRight = bytes == Bits{};
        UMAC_BITMAP_SetBitValue(bytes.data(), bit, 2);  // any non-zero value sets
        const bool valueSets = bytes == only(bit);
        UMAC_BITMAP_SetBitValue(bytes.data(), bit, 0);
        const bool valueClears = bytes == Bits{};
        v.expect(setRight && clearRight && valueSets && valueClears,
                 "bit %u: set %s, clear %s, set by value %s, clear by value %s", bit,
                 setRight ? "ok" : "wrong", clearRight ? "ok" : "wrong", valueSets ? "ok" : "wrong",
                 valueClears ? "ok" : "wrong");
    }
}

void isBitUp(Verdict &v)
{
    // Capability bits 34 and 35 of a station record, and a host bitmap word.
    Bits capabilities{};
    capabilities[4] = 0x0C;
    for (u32 bit = 0; bit < kBytes * 8; ++bit) {
        const u32 up = UMAC_BITMAP_IsBitUp(capabilities.data(), bit);
        const u32 want = bit == 34 || bit == 35 ? 1 : 0;
        v.expect(up == want, "bit %u of bytes with bits 34 and 35 set reads %u", bit, up);
    }
    const u32 word = 0x00000005u;  // hosts 0 and 2
    v.expect(UMAC_BITMAP_IsBitUp(&word, 0) == 1 && UMAC_BITMAP_IsBitUp(&word, 1) == 0 &&
                 UMAC_BITMAP_IsBitUp(&word, 2) == 1,
             "bits 0..2 of the word 5 read %u%u%u", UMAC_BITMAP_IsBitUp(&word, 0),
             UMAC_BITMAP_IsBitUp(&word, 1), UMAC_BITMAP_IsBitUp(&word, 2));
}

}  // namespace

const std::vector<Check> kBitmapChecks = {
    {"bitmaps.numbering",
     "UMAC_BITMAP_SetBit, ClearBit and SetBitValue change bit n % 8 of byte n / 8",
     {"UMAC_BITMAP_SetBit", "UMAC_BITMAP_ClearBit", "UMAC_BITMAP_SetBitValue"}, numbering},
    {"bitmaps.is_bit_up", "UMAC_BITMAP_IsBitUp reads bit n % 8 of byte n / 8, 1 when set",
     {"UMAC_BITMAP_IsBitUp"}, isBitUp},
};

}  // namespace zep::contract
