// Log lines kept as their format and raw argument values: what each conversion
// of a printf format takes from the argument list, how a line's values are
// encoded, and the line made text again from them, only to show it.
#pragma once

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

// The classes of the arguments format takes, in order, into classes (room for
// kMaxLogArgs). Returns their number, or -1 when the format has a conversion a
// recorded line cannot carry: %n, %m, wide or long double ones, positional
// arguments, an unknown letter, or more than kMaxLogArgs arguments.
int logArgClasses(std::string_view format, ArgClass *classes);

// How a %s argument is kept, the first varint of its value.
inline constexpr u64 kStringNull = 0;
inline constexpr u64 kStringInline = 1;  // then a varint length and the bytes
inline constexpr u64 kStringTextBase = 2;  // ref - 2 is the id of a text recorded before

// The arguments of one recorded line, decoded for showing it.
struct LogValue {
    u64 number = 0;
    std::string_view text;  // a string argument's bytes
    bool isNull = false;    // a null %s
};

// format made text with values (one per class, as logArgClasses gives them):
// each conversion is formatted alone by snprintf, the rest copied.
std::string formatLogLine(std::string_view format, const LogValue *values, std::size_t count);

}  // namespace zep::record
