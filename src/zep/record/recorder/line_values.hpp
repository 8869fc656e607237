// A log line's values written as fixed-width bytes, read either from the
// argument slots the logger's wrapper saved or from a va_list.
#pragma once

#include <cstdarg>

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

// Writes the values of a line of format f at `at`, from slots (f must have no
// real) or from args; returns the end. `end` is at least kLineValuesRoom past
// `at`.
u8 *putSlotValues(u8 *at, const u8 *end, const LineFormat &f, const ArgSlots &slots, Writer &writer);
u8 *putListValues(u8 *at, const u8 *end, const LineFormat &f, va_list &args, Writer &writer);

}  // namespace zep::record::recorder
