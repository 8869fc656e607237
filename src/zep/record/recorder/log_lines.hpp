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
    bool hasReal = false;  // a double comes in a vector register: read through the va_list
    u8 stringsEnd = 0;     // one past its last string: every value from there on is a number
    ArgClass classes[kMaxLogArgs];
    u8 bytes[kMaxLogArgs];  // each value's width in the line; 0 for a string
    // The %s of each of the first values, when the last line named it as a
    // text: a read-only text never changes, so the same address again is the
    // same reference, with no lookup (a line's strings are nearly always
    // __func__ and a severity tag, among its first values).
    static constexpr u32 kRememberedStrings = 4;
    mutable const char *lastText[kRememberedStrings] = {};
    mutable u16 lastRef[kRememberedStrings] = {};
};

// The format's classes and reference, its definition written the first time;
// null when it cannot be recorded (the recording has then ended).
const LineFormat *lineFormat(const char *format, Writer &writer);

// Writes a %s value at `at`: a reference to a text written once, or the bytes
// themselves when they live in writable memory, cut so that kLineRoomAfter
// bytes stay before end for the values after it.
u8 *putString(u8 *at, const u8 *end, const char *text, Writer &writer);
inline constexpr std::size_t kLineRoomAfter = kMaxLogArgs * kMaxValueBytes + kMaxValueBytes;

}  // namespace zep::record::recorder
