/* Framework interface: fixed-width types and values shared by every service.
 * Applications and the framework agree on these; nothing here allocates. */
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

/* Destination meaning "every receiver of the message id". */
#define ZEP_DEST_ALL 0xFFFFFFFFu

#define ZEP_OK 0u
#define ZEP_ERR 1u

/* Every pointer-sized record the framework shares assumes an LP64 target. */
static_assert(sizeof(void *) == 8, "framework records are laid out for 64-bit pointers");
