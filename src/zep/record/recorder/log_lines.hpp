// The recorder's log formats and strings, each written once and named by id
// after: what a recorded line needs to be written as its raw values.
#pragma once

#include "log_format.hpp"
#include "record_writer.hpp"

namespace zep::record::recorder {

// What writing a line of one format needs, worked out once per format.
struct LineFormat {
    u64 ref = 0;  // how a line names it: kStringTextBase + id, or kStringInline
    u8 count = 0;
    ArgClass classes[kMaxLogArgs];
};

// The format's classes and reference, its definition written the first time;
// null when it cannot be recorded (the recording has then ended).
const LineFormat *lineFormat(const char *format, Writer &writer);

// Writes a %s value at `at`: a reference to a text written once, or the bytes
// themselves when they live in writable memory, cut so that kLineRoomAfter
// bytes stay before end for the values after it.
u8 *putString(u8 *at, const u8 *end, const char *text, Writer &writer);
inline constexpr std::size_t kLineRoomAfter = kMaxLogArgs * kMaxValueBytes + kMaxValueBytes;

// Room for every value of a line, its strings cut to fit (putString).
inline constexpr std::size_t kLineValuesRoom =
    kLineRoomAfter + 2 * (kStringRefBytes + kStringLengthBytes + kMaxInlineString);

}  // namespace zep::record::recorder
