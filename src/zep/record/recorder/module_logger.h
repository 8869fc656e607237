// Included ahead of every source of the application in the recording build
// (-include), and nowhere else: each of the application's log lines goes to
// the framework's logger as the application wrote the call, and, while a
// recording runs, to the recorder first with the same values. A wrapper cannot
// hand a variadic call on as it came; a function template given the call's
// own arguments passes them to both with their own types, each evaluated once.
// Recording off, a line costs a load, a compare and a branch more. The
// application's sources are not changed.
#pragma once

#include "zep_dbg.h"

namespace zep::record {
class Writer;
}

// The framework's logger (by its link name, the recording build wrapping it)
// and the recorder's, both given the line as the application passed it. No
// format attribute: the calls are checked where the application makes them,
// in the normal build.
extern "C" {
void __real_ZEP_DBG_Print(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format, ...);
__attribute__((visibility("hidden"))) void zep_record_line(u32 severity, u32 moduleId, u32 category,
                                                           const u8 *staMac, const char *format, ...);
__attribute__((visibility("hidden"))) extern zep::record::Writer *zep_record_writer;
}

template <class... Values>
inline void zep_record_print(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format,
                             Values... values)
{
    if (zep_record_writer != nullptr) [[unlikely]] {
        zep_record_line(severity, moduleId, category, staMac, format, values...);
    }
    __real_ZEP_DBG_Print(severity, moduleId, category, staMac, format, values...);
}

#define ZEP_DBG_Print zep_record_print
