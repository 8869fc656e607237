/* Framework interface: intrusive hash table, circular singly linked list and
 * bit arrays. Containers never allocate on behalf of their elements. */
#pragma once

#include "zep_types.h"

extern "C" {

/* ---- Hash: the link lives at the start of each node, so link == node. ---- */
typedef struct ZEP_HashLink {
    struct ZEP_HashLink *next;
    struct ZEP_HashLink *prev;
    void *data; /* the node itself */
} ZEP_HashLink;
static_assert(sizeof(ZEP_HashLink) == 24);

typedef struct ZEP_HashTable ZEP_HashTable;
/* 0 when the node matches the key. */
typedef u32 (*ZEP_HashKeyCmp)(const void *key, const void *node);
typedef void (*ZEP_HashFreeFn)(void *node);

ZEP_HashTable *ZEP_HASH_CreateNew(u32 bucketNum);
u32 ZEP_HASH_AddNode(ZEP_HashTable *tbl, void *node, u32 bucket, u32 flags);
u32 ZEP_HASH_DeleteNode(ZEP_HashTable *tbl, void *node, u32 bucket);
void *ZEP_HASH_FindNode(ZEP_HashTable *tbl, u32 bucket, const void *key, ZEP_HashKeyCmp cmp);
/* Calls freeFn for every node still linked, then frees the table. */
u32 ZEP_HASH_DeleteTable(ZEP_HashTable *tbl, ZEP_HashFreeFn freeFn);

/* ---- Singly linked list, circular through its head. ----
 * An empty list has first == last == (ZEP_SLL_Node *)head and count 0; the last
 * element's next is the head. The head's first two words double as a node. */
typedef struct ZEP_SLL_Node {
    struct ZEP_SLL_Node *next;
    void *data;
} ZEP_SLL_Node;
typedef struct {
    ZEP_SLL_Node *first;
    void *reserved;
    ZEP_SLL_Node *last;
    u32 count;
} ZEP_SLL_Head;
static_assert(sizeof(ZEP_SLL_Node) == 16);
static_assert(sizeof(ZEP_SLL_Head) == 32);
static_assert(offsetof(ZEP_SLL_Head, last) == 16);
static_assert(offsetof(ZEP_SLL_Head, count) == 24);

/* The head seen as the node that closes the circle (its first word is 'next'). */
static inline ZEP_SLL_Node *ZEP_SLL_HeadAsNode(ZEP_SLL_Head *head)
{
    return reinterpret_cast<ZEP_SLL_Node *>(head);
}
#define ZEP_SLL_HEAD_AS_NODE(head) ZEP_SLL_HeadAsNode(head)

/* 0 when the element matches the key. */
typedef u32 (*ZEP_SLL_KeyCmp)(const void *key, const ZEP_SLL_Node *element);
/* Negative, 0 or positive, on the elements' data pointers. */
typedef s32 (*ZEP_SLL_DataCmp)(const void *dataA, const void *dataB);
typedef void (*ZEP_SLL_FreeFn)(void *element);

/* Links newNode between prev and next (prev == last, next == head appends). */
u32 ZEP_SLL_InsertInMiddle(ZEP_SLL_Head *head, ZEP_SLL_Node *prev, ZEP_SLL_Node *newNode,
                           ZEP_SLL_Node *next);
/* Unlinks without freeing. */
u32 ZEP_SLL_Delete(ZEP_SLL_Head *head, ZEP_SLL_Node *element);
ZEP_SLL_Node *ZEP_SLL_Find(ZEP_SLL_Head *head, const void *key, ZEP_SLL_KeyCmp cmp);
/* Stable ascending merge sort in place. */
u32 ZEP_SLL_MergeSort(ZEP_SLL_Head *head, ZEP_SLL_DataCmp cmp);
/* Calls freeFn on every element and leaves the head empty. */
u32 ZEP_SLL_FreeAll(ZEP_SLL_Head *head, ZEP_SLL_FreeFn freeFn);

/* ---- Bitmaps: bit n is bit n % 8 of byte n / 8 (a little-endian word works). ---- */
u32 UMAC_BITMAP_IsBitUp(const void *bitmap, u32 bit);
u32 UMAC_BITMAP_SetBit(void *bitmap, u32 bit);
u32 UMAC_BITMAP_ClearBit(void *bitmap, u32 bit);
u32 UMAC_BITMAP_SetBitValue(void *bitmap, u32 bit, u32 value);

} /* extern "C" */
