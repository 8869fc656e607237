/* Framework interface: general heap (tagged with the caller's source position)
 * and fixed-size block pools. */
#pragma once

#include "zep_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Allocates size zeroed bytes.
 *   file/line: the caller's source position; the framework's memory accounting
 *              reports leaks by it (use ZEP_MALLOC_ZERO).
 * Returns: the block, or null for size 0 or no memory. */
void *UMAC_MallocZero(const char *file, u32 line, u32 size);
/* Frees a UMAC_MallocZero block; null does nothing. file/line as above. */
void UMAC_Free(const char *file, u32 line, void *block);
/* Frees a UMAC_MallocZero block; null does nothing. Shaped to serve as a
 * container free function (ZEP_HashFreeFn, ZEP_SLL_FreeFn). */
void ZEP_Free(void *block);

#define ZEP_MALLOC_ZERO(size) UMAC_MallocZero(__FILE__, __LINE__, (size))
#define ZEP_FREE(block) UMAC_Free(__FILE__, __LINE__, (block))

typedef struct ZEP_MemPool ZEP_MemPool;

/* Creates a pool of blockCount blocks of blockSize bytes, all made at once.
 *   name:     shown in the framework's memory reports; kept by pointer.
 *   flags:    creation options; pass 0.
 *   align:    block alignment in bytes; 0 for the framework's default.
 *   reserved: pass 0.
 * Returns: the pool, or null for a zero size or count, or no memory. */
ZEP_MemPool *ZEP_MEMPOOL_Create(u32 blockSize, u32 blockCount, const char *name, u32 flags,
                                u32 align, u32 reserved);
/* Returns: a free block of pool (contents undefined), or null when all are in
 * use or pool is unknown. */
void *ZEP_MEMPOOL_Malloc(ZEP_MemPool *pool);
/* Gives block back to pool.
 * Returns: 0; non-zero for a null argument or a block that is not an
 * allocated block of this pool (nothing is freed). */
u32 ZEP_MEMPOOL_Free(ZEP_MemPool *pool, void *block);
/* Destroys pool and every block in it, in use or not.
 *   flags: destruction options; pass 0.
 * Returns: 0; non-zero for a null or unknown pool. */
u32 ZEP_MEMPOOL_Destroy(ZEP_MemPool *pool, u32 flags);

#ifdef __cplusplus
} /* extern "C" */
#endif
