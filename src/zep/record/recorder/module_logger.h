/* Included ahead of every source of the application in the recording build
 * (-include), and nowhere else: the application's log lines reach the
 * framework's logger through a pointer, which the recorder points at its own
 * logger while it records. A wrapper in C or C++ cannot hand a variadic call
 * on as it came; a call through a pointer reaches whichever logger it names
 * with the caller's arguments untouched, and costs nothing more while
 * recording is off. The application's sources are not changed. */
#pragma once

#include "zep_dbg.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*ZEP_DBG_Logger)(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format, ...)
    __attribute__((format(printf, 5, 6)));
extern ZEP_DBG_Logger zep_record_logger __attribute__((visibility("hidden")));

#ifdef __cplusplus
} /* extern "C" */
#endif

#define ZEP_DBG_Print zep_record_logger
