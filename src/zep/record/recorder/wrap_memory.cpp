// Recorded data-area, memory, pool, hash, list and bitmap operations. Their
// results are recomputed on replay; the recording keeps the statuses so that a
// replay fails what failed here. The two most frequent, a bitmap's bit read
// and a hash lookup, are not wrapped at all: they only read the application's
// own memory, cannot fail, and a replay computes them again exactly. The operations that call back into the
// application are recorded as they are called, so that the calls their
// callbacks make follow them in the recording.
#include "recorder.hpp"

using namespace zep::record;
using namespace zep::record::recorder;

extern "C" {



// The recording halves, out of line so that the wrappers below need no stack
// frame on their way straight to the framework.
[[gnu::noinline]] void *recorded_UMAC_OBJMNG_GetRadioDataInfo(u64 areaHandle, u32 radioId)
{
    void *r = __real_UMAC_OBJMNG_GetRadioDataInfo(areaHandle, radioId);
    recordCall(calls::UMAC_OBJMNG_GetRadioDataInfo(areaHandle, radioId), calls::given(r));
    return r;
}

[[gnu::noinline]] void *recorded_UMAC_MallocZero(const char *file, u32 line, u32 size)
{
    void *r = __real_UMAC_MallocZero(file, line, size);
    recordCall(calls::UMAC_MallocZero(file, line, size), calls::given(r));
    return r;
}

[[gnu::noinline]] ZEP_MemPool *recorded_ZEP_MEMPOOL_Create(u32 blockSize, u32 blockCount, const char *name, u32 flags, u32 align, u32 reserved)
{
    ZEP_MemPool *r = __real_ZEP_MEMPOOL_Create(blockSize, blockCount, name, flags, align, reserved);
    recordCall(calls::ZEP_MEMPOOL_Create(blockSize, blockCount, name, flags, align, reserved), calls::given(r));
    return r;
}

[[gnu::noinline]] void *recorded_ZEP_MEMPOOL_Malloc(ZEP_MemPool *pool)
{
    void *r = __real_ZEP_MEMPOOL_Malloc(pool);
    recordCall(calls::ZEP_MEMPOOL_Malloc(pool), calls::given(r));
    return r;
}

[[gnu::noinline]] ZEP_HashTable *recorded_ZEP_HASH_CreateNew(u32 bucketNum)
{
    ZEP_HashTable *r = __real_ZEP_HASH_CreateNew(bucketNum);
    recordCall(calls::ZEP_HASH_CreateNew(bucketNum), calls::given(r));
    return r;
}

[[gnu::noinline]] u32 recorded_UMAC_OBJMNG_MallocDataArea(u64 *areaHandle, const UMAC_OBJMNG_DataAreaReq *req)
{
    u32 r = __real_UMAC_OBJMNG_MallocDataArea(areaHandle, req);
    recordCall(calls::UMAC_OBJMNG_MallocDataArea(areaHandle, req), r);
    return r;
}

[[gnu::noinline]] void recorded_UMAC_Free(const char *file, u32 line, void *block)
{
    __real_UMAC_Free(file, line, block);
    recordCall(calls::UMAC_Free(file, line, block), 0);
}

[[gnu::noinline]] void recorded_ZEP_Free(void *block)
{
    __real_ZEP_Free(block);
    recordCall(calls::ZEP_Free(block), 0);
}

[[gnu::noinline]] u32 recorded_ZEP_MEMPOOL_Free(ZEP_MemPool *pool, void *block)
{
    u32 r = __real_ZEP_MEMPOOL_Free(pool, block);
    recordCall(calls::ZEP_MEMPOOL_Free(pool, block), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_MEMPOOL_Destroy(ZEP_MemPool *pool, u32 flags)
{
    u32 r = __real_ZEP_MEMPOOL_Destroy(pool, flags);
    recordCall(calls::ZEP_MEMPOOL_Destroy(pool, flags), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_HASH_AddNode(ZEP_HashTable *tbl, void *node, u32 bucket, u32 flags)
{
    u32 r = __real_ZEP_HASH_AddNode(tbl, node, bucket, flags);
    recordCall(calls::ZEP_HASH_AddNode(tbl, node, bucket, flags), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_HASH_DeleteNode(ZEP_HashTable *tbl, void *node, u32 bucket)
{
    u32 r = __real_ZEP_HASH_DeleteNode(tbl, node, bucket);
    recordCall(calls::ZEP_HASH_DeleteNode(tbl, node, bucket), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_SLL_InsertInMiddle(ZEP_SLL_Head *head, ZEP_SLL_Node *prev, ZEP_SLL_Node *newNode, ZEP_SLL_Node *next)
{
    u32 r = __real_ZEP_SLL_InsertInMiddle(head, prev, newNode, next);
    recordCall(calls::ZEP_SLL_InsertInMiddle(head, prev, newNode, next), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_SLL_Delete(ZEP_SLL_Head *head, ZEP_SLL_Node *element)
{
    u32 r = __real_ZEP_SLL_Delete(head, element);
    recordCall(calls::ZEP_SLL_Delete(head, element), r);
    return r;
}

[[gnu::noinline]] u32 recorded_UMAC_BITMAP_SetBit(void *bitmap, u32 bit)
{
    u32 r = __real_UMAC_BITMAP_SetBit(bitmap, bit);
    recordCall(calls::UMAC_BITMAP_SetBit(bitmap, bit), r);
    return r;
}

[[gnu::noinline]] u32 recorded_UMAC_BITMAP_ClearBit(void *bitmap, u32 bit)
{
    u32 r = __real_UMAC_BITMAP_ClearBit(bitmap, bit);
    recordCall(calls::UMAC_BITMAP_ClearBit(bitmap, bit), r);
    return r;
}

[[gnu::noinline]] u32 recorded_UMAC_BITMAP_SetBitValue(void *bitmap, u32 bit, u32 value)
{
    u32 r = __real_UMAC_BITMAP_SetBitValue(bitmap, bit, value);
    recordCall(calls::UMAC_BITMAP_SetBitValue(bitmap, bit, value), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_HASH_DeleteTable(ZEP_HashTable *tbl, ZEP_HashFreeFn freeFn)
{
    recordCall(calls::ZEP_HASH_DeleteTable(tbl, freeFn), 0);
    return __real_ZEP_HASH_DeleteTable(tbl, freeFn);
}

[[gnu::noinline]] ZEP_SLL_Node *recorded_ZEP_SLL_Find(ZEP_SLL_Head *head, const void *key, ZEP_SLL_KeyCmp cmp)
{
    recordCall(calls::ZEP_SLL_Find(head, key, cmp), 0);
    return __real_ZEP_SLL_Find(head, key, cmp);
}

[[gnu::noinline]] u32 recorded_ZEP_SLL_MergeSort(ZEP_SLL_Head *head, ZEP_SLL_DataCmp cmp)
{
    recordCall(calls::ZEP_SLL_MergeSort(head, cmp), 0);
    return __real_ZEP_SLL_MergeSort(head, cmp);
}

[[gnu::noinline]] u32 recorded_ZEP_SLL_FreeAll(ZEP_SLL_Head *head, ZEP_SLL_FreeFn freeFn)
{
    recordCall(calls::ZEP_SLL_FreeAll(head, freeFn), 0);
    return __real_ZEP_SLL_FreeAll(head, freeFn);
}






















}  // extern "C"
