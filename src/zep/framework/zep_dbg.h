/* Framework interface: the logger. One call per line; the framework drops lines
 * below its severity threshold before formatting them. */
#pragma once

#include "zep_types.h"

extern "C" {

#define ZEP_DBG_NOTE 0u  /* normal operation */
#define ZEP_DBG_RARE 1u  /* rare, worth keeping at a raised threshold */
#define ZEP_DBG_ERROR 2u /* something failed */

/* staMac: the station the line is about, or null. */
void ZEP_DBG_Print(u32 severity, u32 moduleId, u32 category, const u8 *staMac,
                   const char *format, ...) __attribute__((format(printf, 5, 6)));

} /* extern "C" */
