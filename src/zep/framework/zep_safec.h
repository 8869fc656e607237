/* Bounds-checked memory operations. They come from the safe C library, not from
 * the framework; callers do not check their results. */
#pragma once

/* The library's header is found through -I, not as a system header, so its
 * macros' clang-only attributes and C-style casts would count as warnings of
 * every clang build that includes it with -pedantic or -Wold-style-cast. */
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wgcc-compat"
#pragma clang diagnostic ignored "-Wold-style-cast"
#endif
#ifdef __cplusplus
extern "C" {
#endif
#include <safe_mem_lib.h>
#ifdef __cplusplus
}
#endif
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
