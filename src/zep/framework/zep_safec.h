/* Bounds-checked memory operations. They come from the safe C library, not from
 * the framework; callers do not check their results. */
#pragma once

extern "C" {
#include <safe_mem_lib.h>
}
