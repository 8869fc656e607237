/* Framework interface: the logger. One call per line; the framework drops lines
 * below its severity threshold before formatting them. */
#pragma once

#include "zep_types.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ZEP_DBG_NOTE 0u  /* normal operation */
#define ZEP_DBG_RARE 1u  /* rare, worth keeping at a raised threshold */
#define ZEP_DBG_ERROR 2u /* something failed */

/* Writes one log line.
 *   severity: ZEP_DBG_NOTE, ZEP_DBG_RARE or ZEP_DBG_ERROR.
 *   moduleId: the application's id.
 *   category: the application's own sub-area (it filters lines per source file).
 *   staMac:   the 6-byte MAC of the station the line is about, or null; lets
 *             the framework follow one station across modules.
 *   format:   printf format and its values; the line ends with what the
 *             format ends with (the framework adds no newline).
 * Cannot fail: a line the framework cannot keep is dropped silently. */
void ZEP_DBG_Print(u32 severity, u32 moduleId, u32 category, const u8 *staMac,
                   const char *format, ...) __attribute__((format(printf, 5, 6)));

#ifdef __cplusplus
} /* extern "C" */
#endif
