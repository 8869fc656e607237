/* Framework interface: intrusive hash table, circular singly linked list and
 * bit arrays. Containers never allocate on behalf of their elements. */
#pragma once

#include "zep_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Hash: the link lives at the start of each node, so link == node. ---- */
typedef struct ZEP_HashLink {
    struct ZEP_HashLink *next;
    struct ZEP_HashLink *prev;
    void *data; /* the node itself; set by the caller, never touched by the table */
} ZEP_HashLink;
ZEP_STATIC_ASSERT(sizeof(ZEP_HashLink) == 24);

typedef struct ZEP_HashTable ZEP_HashTable;
/* key: what the caller passed to ZEP_HASH_FindNode; node: a linked node.
 * Returns: 0 when the node matches the key. */
typedef u32 (*ZEP_HashKeyCmp)(const void *key, const void *node);
/* Called with each node still linked when the table is deleted. */
typedef void (*ZEP_HashFreeFn)(void *node);

/* Creates a table of bucketNum chains; the caller hashes keys to a bucket.
 * Returns: the table, or null for 0 buckets or no memory. */
ZEP_HashTable *ZEP_HASH_CreateNew(u32 bucketNum);
/* Links node (which starts with a ZEP_HashLink) at the front of bucket's chain.
 *   flags: insertion options; 0 is the only one the framework defines.
 * Returns: 0; non-zero for an unknown table, a null node, a bucket out of
 * range, or a node already linked (linking it twice would loop the chain). */
u32 ZEP_HASH_AddNode(ZEP_HashTable *tbl, void *node, u32 bucket, u32 flags);
/* Unlinks node from bucket's chain; the node is not freed.
 * Returns: 0; non-zero when the node is not linked in that bucket. */
u32 ZEP_HASH_DeleteNode(ZEP_HashTable *tbl, void *node, u32 bucket);
/* Returns: the first node of bucket's chain (most recently added first) for
 * which cmp(key, node) is 0, or null when none matches or an argument is bad. */
void *ZEP_HASH_FindNode(ZEP_HashTable *tbl, u32 bucket, const void *key, ZEP_HashKeyCmp cmp);
/* Calls freeFn (when not null) for every node still linked, then frees the
 * table; freeFn may free the node it is given.
 * Returns: 0; non-zero for a null or unknown table, which is left alone. */
u32 ZEP_HASH_DeleteTable(ZEP_HashTable *tbl, ZEP_HashFreeFn freeFn);

/* ---- Singly linked list, circular through its head. ----
 * An empty list has first == last == (ZEP_SLL_Node *)head and count 0; the last
 * element's next is the head. The head's first two words double as a node.
 * The caller makes an empty head itself; the list never allocates. */
typedef struct ZEP_SLL_Node {
    struct ZEP_SLL_Node *next;
    void *data; /* the caller's record; the list only hands it to compare functions */
} ZEP_SLL_Node;
typedef struct {
    ZEP_SLL_Node *first;
    void *reserved;
    ZEP_SLL_Node *last;
    u32 count;
} ZEP_SLL_Head;
ZEP_STATIC_ASSERT(sizeof(ZEP_SLL_Node) == 16);
ZEP_STATIC_ASSERT(sizeof(ZEP_SLL_Head) == 32);
ZEP_STATIC_ASSERT(offsetof(ZEP_SLL_Head, last) == 16);
ZEP_STATIC_ASSERT(offsetof(ZEP_SLL_Head, count) == 24);

/* The head seen as the node that closes the circle (its first word is 'next'). */
static inline ZEP_SLL_Node *ZEP_SLL_HeadAsNode(ZEP_SLL_Head *head)
{
#ifdef __cplusplus
    return reinterpret_cast<ZEP_SLL_Node *>(head);
#else
    return (ZEP_SLL_Node *)(void *)head;
#endif
}
#define ZEP_SLL_HEAD_AS_NODE(head) ZEP_SLL_HeadAsNode(head)

/* key: what the caller passed to ZEP_SLL_Find.
 * Returns: 0 when the element matches the key. */
typedef u32 (*ZEP_SLL_KeyCmp)(const void *key, const ZEP_SLL_Node *element);
/* Compares two elements' data pointers: negative, 0 or positive. */
typedef s32 (*ZEP_SLL_DataCmp)(const void *dataA, const void *dataB);
/* Called with each element by ZEP_SLL_FreeAll. */
typedef void (*ZEP_SLL_FreeFn)(void *element);

/* Links newNode between prev and next, which must be adjacent (prev may be
 * the head as node; prev == last with next == head appends).
 * Returns: 0 and count + 1; non-zero for a null argument or prev->next != next,
 * and the list is unchanged. */
u32 ZEP_SLL_InsertInMiddle(ZEP_SLL_Head *head, ZEP_SLL_Node *prev, ZEP_SLL_Node *newNode,
                           ZEP_SLL_Node *next);
/* Unlinks element without freeing it.
 * Returns: 0 and count - 1; non-zero when element is not in the list. */
u32 ZEP_SLL_Delete(ZEP_SLL_Head *head, ZEP_SLL_Node *element);
/* Returns: the first element, from first to last, for which cmp(key, element)
 * is 0; null when none matches or head or cmp is null. */
ZEP_SLL_Node *ZEP_SLL_Find(ZEP_SLL_Head *head, const void *key, ZEP_SLL_KeyCmp cmp);
/* Sorts the list in place, ascending by cmp on the elements' data; stable, so
 * equal elements keep their order. Returns: 0; non-zero for a null argument. */
u32 ZEP_SLL_MergeSort(ZEP_SLL_Head *head, ZEP_SLL_DataCmp cmp);
/* Calls freeFn (when not null) on every element and leaves the head empty;
 * freeFn may free the element it is given. Returns: 0; non-zero for a null head. */
u32 ZEP_SLL_FreeAll(ZEP_SLL_Head *head, ZEP_SLL_FreeFn freeFn);

/* ---- Bitmaps: bit n is bit n % 8 of byte n / 8 (a little-endian word works).
 * The caller owns the bytes and keeps bit within them; nothing is checked. ---- */
/* Returns: 1 when the bit is set; 0 when it is clear or bitmap is null. */
u32 UMAC_BITMAP_IsBitUp(const void *bitmap, u32 bit);
/* Set, clear, or set to value (0 clears, anything else sets) one bit.
 * Returns: 0; non-zero for a null bitmap. */
u32 UMAC_BITMAP_SetBit(void *bitmap, u32 bit);
u32 UMAC_BITMAP_ClearBit(void *bitmap, u32 bit);
u32 UMAC_BITMAP_SetBitValue(void *bitmap, u32 bit, u32 value);

#ifdef __cplusplus
} /* extern "C" */
#endif
