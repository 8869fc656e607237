// A line's values copied slot by slot: the width of each was worked out once
// per format, so a value costs a load, a store and a step, where reading it
// through a va_list by class and encoding it cost several times that.
#include "line_values.hpp"

#include <bit>
#include <cstring>

namespace zep::record::recorder {

static_assert(std::endian::native == std::endian::little,
              "a value's bytes are copied as they lie in its slot");

namespace {

// Values [from, to) of f, one slot each from slot on. 8 bytes are copied
// whatever the width (an int32 then takes its low 4): the room past `at`
// covers it.
u8 *putFromSlots(u8 *at, const u8 *end, const LineFormat &f, u32 from, u32 to, const u64 *slot,
                 Writer &writer)
{
    for (u32 i = from; i < to; ++i, ++slot) {
        const u8 bytes = f.bytes[i];
        if (bytes == 0) {
            at = putString(at, end, reinterpret_cast<const char *>(*slot), writer);
            continue;
        }
        std::memcpy(at, slot, kMaxValueBytes);
        at += bytes;
    }
    return at;
}

// The same for values that are all numbers, the bulk of a line: unrolled, a
// value is a load, a store and a step.
u8 *putNumbersFromSlots(u8 *at, const LineFormat &f, u32 from, u32 to, const u64 *slot)
{
#pragma GCC unroll 4
    for (u32 i = from; i < to; ++i, ++slot) {
        std::memcpy(at, slot, kMaxValueBytes);
        at += f.bytes[i];
    }
    return at;
}

}  // namespace

u8 *putSlotValues(u8 *at, const u8 *end, const LineFormat &f, const ArgSlots &slots, Writer &writer)
{
    const u32 inRegs = f.count < slots.regCount ? f.count : slots.regCount;
    at = putFromSlots(at, end, f, 0, inRegs, slots.regs, writer);
    const u32 numbersFrom = f.stringsEnd > inRegs ? f.stringsEnd : inRegs;
    at = putFromSlots(at, end, f, inRegs, numbersFrom, slots.stack, writer);
    return putNumbersFromSlots(at, f, numbersFrom, f.count, slots.stack + (numbersFrom - inRegs));
}

u8 *putListValues(u8 *at, const u8 *end, const LineFormat &f, va_list &args, Writer &writer)
{
    for (u32 i = 0; i < f.count; ++i) {
        switch (f.classes[i]) {
        case ArgClass::int32:
            at = putLittle(at, va_arg(args, unsigned), 4);
            break;
        case ArgClass::int64:
            at = putLittle(at, va_arg(args, unsigned long long), 8);
            break;
        case ArgClass::pointer:
            at = putLittle(at, reinterpret_cast<std::uintptr_t>(va_arg(args, void *)), 8);
            break;
        case ArgClass::string:
            at = putString(at, end, va_arg(args, const char *), writer);
            break;
        case ArgClass::real: {
            const double d = va_arg(args, double);
            at = putLittle(at, std::bit_cast<u64>(d), 8);
            break;
        }
        }
    }
    return at;
}

}  // namespace zep::record::recorder
