/* Framework interface: fixed-width types and values shared by every service.
 * Applications and the framework agree on these; nothing here allocates.
 * Every header of the interface reads as C11 and as C++. */
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef uint8_t u8;
typedef uint16_t u16;
typedef uint32_t u32;
typedef uint64_t u64;
typedef int8_t s8;
typedef int16_t s16;
typedef int32_t s32;
typedef int64_t s64;

/* Compile-time layout checks that read the same in C and C++; the condition
 * itself is the message a failing build shows. */
#ifdef __cplusplus
#define ZEP_STATIC_ASSERT(cond) static_assert(cond, #cond)
#else
#define ZEP_STATIC_ASSERT(cond) _Static_assert(cond, #cond)
#endif

/* Variable-length records end in a flexible array member: standard C, and an
 * extension g++ and clang++ accept but report under -pedantic. Framework
 * builds compile C++ with -pedantic too, so the report is silenced around
 * those records only. */
#ifdef __cplusplus
#define ZEP_FLEX_ARRAY_BEGIN \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wpedantic\"")
#define ZEP_FLEX_ARRAY_END _Pragma("GCC diagnostic pop")
#else
#define ZEP_FLEX_ARRAY_BEGIN
#define ZEP_FLEX_ARRAY_END
#endif

/* Destination meaning "every receiver of the message id". */
#define ZEP_DEST_ALL 0xFFFFFFFFu

/* Statuses. Framework operations return ZEP_OK on success; any other value is
 * the framework's own error code, which callers log or pass up unchanged and
 * never interpret. ZEP_ERR is the generic failure an application returns. */
#define ZEP_OK 0u
#define ZEP_ERR 1u

/* Every pointer-sized record the framework shares assumes an LP64 target. */
ZEP_STATIC_ASSERT(sizeof(void *) == 8);
