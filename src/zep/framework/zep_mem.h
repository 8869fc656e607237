/* Framework interface: general heap (tagged with the caller's source position)
 * and fixed-size block pools. */
#pragma once

#include "zep_types.h"

extern "C" {

/* Zero-filled block, or null. */
void *UMAC_MallocZero(const char *file, u32 line, u32 size);
void UMAC_Free(const char *file, u32 line, void *block);
/* Frees a UMAC_MallocZero block; shaped to serve as a container free function. */
void ZEP_Free(void *block);

#define ZEP_MALLOC_ZERO(size) UMAC_MallocZero(__FILE__, __LINE__, (size))
#define ZEP_FREE(block) UMAC_Free(__FILE__, __LINE__, (block))

typedef struct ZEP_MemPool ZEP_MemPool;

/* blockCount blocks of blockSize bytes, made once; exhaustion gives null. */
ZEP_MemPool *ZEP_MEMPOOL_Create(u32 blockSize, u32 blockCount, const char *name, u32 flags,
                                u32 align, u32 reserved);
void *ZEP_MEMPOOL_Malloc(ZEP_MemPool *pool); /* contents undefined */
u32 ZEP_MEMPOOL_Free(ZEP_MemPool *pool, void *block);
u32 ZEP_MEMPOOL_Destroy(ZEP_MemPool *pool, u32 flags);

} /* extern "C" */
