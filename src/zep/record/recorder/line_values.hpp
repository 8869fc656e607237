// A log line's values written as fixed-width bytes, read either from the
// argument slots the logger's wrapper saved or from a va_list.
#pragma once

#include <bit>
#include <cstdarg>
#include <cstring>

#include "log_lines.hpp"

namespace zep::record::recorder {

// Where a variadic call's integer and pointer arguments are: the argument
// registers left after the fixed ones, as the wrapper saved them, then the
// caller's stack arguments. Every slot is 8 bytes; an int32 is its low half.
struct ArgSlots {
    const u64 *regs = nullptr;
    u32 regCount = 0;
    const u64 *stack = nullptr;
};

// Room for every value of a line, its strings cut to fit (putString).
inline constexpr std::size_t kLineValuesRoom =
    kLineRoomAfter + 2 * (kStringRefBytes + kStringLengthBytes + kMaxInlineString);

static_assert(std::endian::native == std::endian::little,
              "a value's bytes are copied as they lie in its slot");

// A %s that is value i of f: the reference the last line of f gave the same
// address, or looked up (and remembered when it names a text).
inline u8 *putSlotString(u8 *at, const u8 *end, const LineFormat &f, u32 i, const char *text, Writer &writer)
{
    const bool remembered = i < LineFormat::kRememberedStrings;
    if (remembered && text == f.lastText[i] && text != nullptr) [[likely]] {
        return putLittle(at, f.lastRef[i], kStringRefBytes);
    }
    u8 *const start = at;
    at = putString(at, end, text, writer);
    const u64 ref = getLittle(start, kStringRefBytes);
    if (remembered && ref >= kStringTextBase) {
        f.lastText[i] = text;
        f.lastRef[i] = static_cast<u16>(ref);
    }
    return at;
}

// Values [from, to) of f, one slot each from slot on. 8 bytes are copied
// whatever the width (an int32 then takes its low 4): the room past `at`
// covers it.
inline u8 *putFromSlots(u8 *at, const u8 *end, const LineFormat &f, u32 from, u32 to, const u64 *slot,
                        Writer &writer)
{
    for (u32 i = from; i < to; ++i, ++slot) {
        const u8 bytes = f.bytes[i];
        if (bytes == 0) {
            at = putSlotString(at, end, f, i, reinterpret_cast<const char *>(*slot), writer);
            continue;
        }
        std::memcpy(at, slot, kMaxValueBytes);
        at += bytes;
    }
    return at;
}

// The same for values that are all numbers, the bulk of a line: unrolled, a
// value is a load, a store and a step.
inline u8 *putNumbersFromSlots(u8 *at, const LineFormat &f, u32 from, u32 to, const u64 *slot)
{
#pragma GCC unroll 4
    for (u32 i = from; i < to; ++i, ++slot) {
        std::memcpy(at, slot, kMaxValueBytes);
        at += f.bytes[i];
    }
    return at;
}

// Writes the values of a line of format f (which has no real) at `at`, from
// slots; returns the end. `end` is at least kLineValuesRoom past `at`. Inline,
// like the slot copies above: a value costs a load, a store and a step, where
// reading it through a va_list by class cost several times that.
inline u8 *putSlotValues(u8 *at, const u8 *end, const LineFormat &f, const ArgSlots &slots, Writer &writer)
{
    const u32 inRegs = f.count < slots.regCount ? f.count : slots.regCount;
    at = putFromSlots(at, end, f, 0, inRegs, slots.regs, writer);
    const u32 numbersFrom = f.stringsEnd > inRegs ? f.stringsEnd : inRegs;
    at = putFromSlots(at, end, f, inRegs, numbersFrom, slots.stack, writer);
    return putNumbersFromSlots(at, f, numbersFrom, f.count, slots.stack + (numbersFrom - inRegs));
}

// Writes the values of a line of format f at `at`, from args; returns the
// end. `end` is at least kLineValuesRoom past `at`.
u8 *putListValues(u8 *at, const u8 *end, const LineFormat &f, va_list &args, Writer &writer);

}  // namespace zep::record::recorder
