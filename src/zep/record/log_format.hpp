// Log lines kept as their format and raw argument values: what each conversion
// of a printf format takes from the argument list, how a line's values are
// encoded, and the line made text again from them, only to show it.
#pragma once

#include <cstdarg>
#include <span>
#include <string>
#include <string_view>

#include "record_format.hpp"

namespace zep::record {

// How a conversion's argument is read from a va_list and kept.
enum class ArgClass : u8 {
    int32,    // int or unsigned: %d %u %x %c, h and hh (promoted to int), a * width or precision
    int64,    // long, long long, size_t, intmax_t, ptrdiff_t: %ld %llu %zu ...
    pointer,  // %p: kept, but only null or not is compared, addresses differ run to run
    string,   // %s
    real,     // %e %f %g %a (double), kept as its bits
};

inline constexpr u32 kMaxLogArgs = 32;
// A %s from writable memory is kept inline, up to this many bytes.
inline constexpr u32 kMaxInlineString = 1023;
inline constexpr u32 kStringRefBytes = 2;
inline constexpr u32 kStringLengthBytes = 2;

// The classes of the arguments format takes, in order, into classes (room for
// kMaxLogArgs). Returns their number, or -1 when the format has a conversion a
// recorded line cannot carry: %n, %m, wide or long double ones, positional
// arguments, an unknown letter, or more than kMaxLogArgs arguments.
int logArgClasses(std::string_view format, ArgClass *classes);

// A line's values are fixed width per class, little-endian, one after the
// other: an int32 its low 4 bytes, an int64, a pointer and a real (its bits)
// 8, a string its 2-byte reference. A value keeps its width from one line to
// the next, so lines of one format differ only where their values do.
inline constexpr u32 kMaxValueBytes = 8;
constexpr u32 valueBytes(ArgClass cls)
{
    return cls == ArgClass::int32 ? 4 : cls == ArgClass::string ? kStringRefBytes : kMaxValueBytes;
}

// How a %s argument is kept: its 2-byte reference, then for an inline one a
// 2-byte length and the bytes. A format's reference in a line's arguments
// takes the same values.
inline constexpr u64 kStringNull = 0;
inline constexpr u64 kStringInline = 1;
inline constexpr u64 kStringTextBase = 2;  // ref - 2 is the id of a text recorded before
static_assert(kStringTextBase + kMaxTexts <= 0xffff, "a text's reference fits its 2 bytes");

// The low `bytes` bytes of value at `at`, little-endian, and back.
inline u8 *putLittle(u8 *at, u64 value, u32 bytes)
{
    for (u32 i = 0; i < bytes; ++i) {
        at[i] = static_cast<u8>(value >> (8 * i));
    }
    return at + bytes;
}
inline u64 getLittle(const u8 *at, u32 bytes)
{
    u64 value = 0;
    for (u32 i = 0; i < bytes; ++i) {
        value |= static_cast<u64>(at[i]) << (8 * i);
    }
    return value;
}

// The arguments of one recorded line, decoded for showing it.
struct LogValue {
    u64 number = 0;
    std::string_view text;  // a string argument's bytes
    bool isNull = false;    // a null %s
};

// The values of a line whose conversions are `classes`, taken from args in
// order, each as its class says the caller passed it: a %s as its text (or
// null), a %p as its address, a real as its bits, any other as its number.
// This is how the recorder reads a line and a replay reads this build's.
void takeLogValues(va_list &args, std::span<const ArgClass> classes, LogValue *values);

// format made text with values (one per class, as logArgClasses gives them):
// each conversion is formatted alone by snprintf, the rest copied.
std::string formatLogLine(std::string_view format, const LogValue *values, std::size_t count);

}  // namespace zep::record
