// The recorder's log formats and strings, each written once and named by id
// after: what a recorded line needs to be written as its raw values.
#pragma once

#include "log_format.hpp"
#include "record_writer.hpp"

namespace zep::record::recorder {

struct LineFormat {
    u64 ref = 0;  // how a line names it: kStringTextBase + id, or kStringInline
    u8 count = 0;
    ArgClass classes[kMaxLogArgs];
};

// The format's classes and reference, its definition written the first time;
// null when it cannot be recorded (the recording has then ended).
const LineFormat *lineFormat(const char *format, Writer &writer);

// Writes a %s value at `at` (never past end): a reference to a text written
// once, or the bytes themselves when they live in writable memory.
u8 *putString(u8 *at, const u8 *end, const char *text, Writer &writer);

}  // namespace zep::record::recorder
