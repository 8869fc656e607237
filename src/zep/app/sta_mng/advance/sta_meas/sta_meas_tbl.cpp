/* sta-meas measurement table: pool-backed (station, measurement id) nodes, found
 * through one hash shared by every radio and ranked in one list per radio. */
#include "sta_meas_inner.h"

#define STAMEAS_FILE_CAT STAMEAS_CAT_TABLE

/* Operations of this file alone, with the C linkage of every operation of the
 * application: the framework calls some of them back through pointers. */
extern "C" {
static void ZEP_STAMEAS_FreeMeasNode(void *node);
static StaMeasNode *ZEP_STAMEAS_AddMeasNode(u32 radioId, const StaMeasKey *key);
static u32 ZEP_STAMEAS_MeasNodeKeyCmp(const void *key, const void *node);
static StaMeasNode *ZEP_STAMEAS_FindMeasNode(const StaMeasKey *key);
static void ZEP_STAMEAS_DelMeasNodeByKey(const StaMeasKey *key);
static s32 ZEP_STAMEAS_MeasNodeCmpWeightDesc(const void *a, const void *b);
static s32 ZEP_STAMEAS_MeasNodeCmpWeightAsc(const void *a, const void *b);
}

StaMeasTable *g_staMeasTbl = nullptr;

#define STAMEAS_KEY_HASH_MUL 31u

static u32 ZEP_STAMEAS_MeasKeyBucket(const u8 *staMac, u32 measId)
{
    u32 hash = 0;
    for (u32 i = 0; i < sizeof(StaMeasKey::staMac); i++) {
        hash = hash * STAMEAS_KEY_HASH_MUL + staMac[i];
    }
    hash = hash * STAMEAS_KEY_HASH_MUL + measId;
    return hash % STAMEAS_TBL_HASH_BUCKETS;
}

static StaMeasNode *ZEP_STAMEAS_NodeOfElement(const ZEP_SLL_Node *element)
{
    return static_cast<StaMeasNode *>(element->data);
}

/* Null while the table does not exist or the radio is not one of this device. */
static ZEP_SLL_Head *ZEP_STAMEAS_GetRadioList(u32 radioId)
{
    if (g_staMeasTbl == nullptr || ZEP_PROFILE_IsValidRadioId(radioId) != 1) {
        return nullptr;
    }
    return &g_staMeasTbl->radioList[radioId];
}

/* First element of a walk, or null when there is nothing to visit. */
static ZEP_SLL_Node *ZEP_STAMEAS_WalkFirst(ZEP_SLL_Head *head)
{
    if (head == nullptr || head->count == 0 || head->first == nullptr ||
        head->first == ZEP_SLL_HEAD_AS_NODE(head)) {
        return nullptr;
    }
    return head->first;
}

static ZEP_SLL_Node *ZEP_STAMEAS_WalkNext(ZEP_SLL_Head *head, const ZEP_SLL_Node *element)
{
    ZEP_SLL_Node *next = element->next;
    return (next == nullptr || next == ZEP_SLL_HEAD_AS_NODE(head)) ? nullptr : next;
}

STAMEAS_INNER u32 ZEP_STAMEAS_MeasTblInit(void)
{
    u32 radioNum = ZEP_PROFILE_GetMaxRadioNum();
    if (g_staMeasTbl != nullptr) {
        return STAMEAS_OK;
    }
    g_staMeasTbl = static_cast<StaMeasTable *>(ZEP_MALLOC_ZERO(sizeof(StaMeasTable)));
    if (g_staMeasTbl == nullptr) {
        return STAMEAS_ERR_NO_MEM;
    }
    g_staMeasTbl->nodePool = ZEP_MEMPOOL_Create(
        sizeof(StaMeasNode), radioNum * STAMEAS_TBL_MAX_PER_RADIO, STAMEAS_TBL_POOL_NAME, 0, 0, 0);
    if (g_staMeasTbl->nodePool != nullptr) {
        g_staMeasTbl->hashTbl = ZEP_HASH_CreateNew(STAMEAS_TBL_HASH_BUCKETS);
    }
    if (g_staMeasTbl->hashTbl != nullptr) {
        g_staMeasTbl->radioList =
            static_cast<ZEP_SLL_Head *>(ZEP_MALLOC_ZERO(radioNum * (u32)sizeof(ZEP_SLL_Head)));
    }
    if (g_staMeasTbl->radioList == nullptr) {
        ZEP_STAMEAS_MeasTblDeInit();
        return STAMEAS_ERR_NO_MEM;
    }
    for (u32 radioId = 0; radioId < radioNum; radioId++) {
        ZEP_SLL_Head *head = &g_staMeasTbl->radioList[radioId];
        head->first = ZEP_SLL_HEAD_AS_NODE(head);
        head->last = ZEP_SLL_HEAD_AS_NODE(head);
        head->count = 0;
    }
    return STAMEAS_OK;
}

/* The nodes are reached through the hash, which holds every one of them. */
STAMEAS_INNER void ZEP_STAMEAS_MeasTblDeInit(void)
{
    if (g_staMeasTbl == nullptr) {
        return;
    }
    if (g_staMeasTbl->radioList != nullptr) {
        ZEP_FREE(g_staMeasTbl->radioList);
        g_staMeasTbl->radioList = nullptr;
    }
    if (g_staMeasTbl->hashTbl != nullptr) {
        (void)ZEP_HASH_DeleteTable(g_staMeasTbl->hashTbl, ZEP_STAMEAS_FreeMeasNode);
        g_staMeasTbl->hashTbl = nullptr;
    }
    if (g_staMeasTbl->nodePool != nullptr) {
        (void)ZEP_MEMPOOL_Destroy(g_staMeasTbl->nodePool, 0);
        g_staMeasTbl->nodePool = nullptr;
    }
    ZEP_FREE(g_staMeasTbl);
    g_staMeasTbl = nullptr;
}

static void ZEP_STAMEAS_FreeMeasNode(void *node)
{
    (void)ZEP_MEMPOOL_Free(g_staMeasTbl->nodePool, node);
}

STAMEAS_INNER u32 ZEP_STAMEAS_GetMeasTblSize(u32 radioId)
{
    const ZEP_SLL_Head *head = ZEP_STAMEAS_GetRadioList(radioId);
    if (head == nullptr) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "Invalid radioId %u.\r\n", radioId);
        return 0;
    }
    return head->count;
}

STAMEAS_INNER StaMeasInfo *ZEP_STAMEAS_AddMeasInfo(u32 radioId, const StaMeasKey *key)
{
    if (ZEP_STAMEAS_GetRadioList(radioId) == nullptr) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "Invalid radioId %u.\r\n", radioId);
        return nullptr;
    }
    StaMeasNode *node = ZEP_STAMEAS_AddMeasNode(radioId, key);
    return node == nullptr ? nullptr : &node->info;
}

/* Callers have looked the key up first: the table keeps one node per key. */
static StaMeasNode *ZEP_STAMEAS_AddMeasNode(u32 radioId, const StaMeasKey *key)
{
    ZEP_SLL_Head *head = &g_staMeasTbl->radioList[radioId];
    if (head->count >= STAMEAS_TBL_MAX_PER_RADIO) {
        STAMEAS_STA_LOG(ZEP_DBG_NOTE, key->staMac,
                        "Radio %u sta measure list reach max number %u.\r\n", radioId, head->count);
        return nullptr;
    }
    StaMeasNode *node = static_cast<StaMeasNode *>(ZEP_MEMPOOL_Malloc(g_staMeasTbl->nodePool));
    if (node == nullptr) {
        STAMEAS_STA_LOG(ZEP_DBG_ERROR, key->staMac,
                        "Radio %u sta measure node malloc fail, current number %u.\r\n", radioId,
                        head->count);
        return nullptr;
    }
    u32 bucket = ZEP_STAMEAS_MeasKeyBucket(key->staMac, key->measId);
    memset_s(node, sizeof(StaMeasNode), 0, sizeof(StaMeasNode));
    node->hashLink.data = node;
    node->listLink.data = node;
    memcpy_s(&node->info, sizeof(StaMeasKey), key, sizeof(StaMeasKey));
    node->info.radioId = radioId;
    /* A node the hash refused could never be found again: a second start of the
     * same key would add it twice. */
    u32 ret = ZEP_HASH_AddNode(g_staMeasTbl->hashTbl, node, bucket, 0);
    if (ret != STAMEAS_OK) {
        STAMEAS_STA_LOG(ZEP_DBG_ERROR, key->staMac, "Radio %u measId[%u] hash add fail %u.\r\n",
                        radioId, key->measId, ret);
        (void)ZEP_MEMPOOL_Free(g_staMeasTbl->nodePool, node);
        return nullptr;
    }
    (void)ZEP_SLL_InsertInMiddle(head, head->last, &node->listLink, ZEP_SLL_HEAD_AS_NODE(head));
    STAMEAS_STA_LOG(ZEP_DBG_NOTE, key->staMac, "Radio %u measId[%u] add into table, total %u.\r\n",
                    radioId, key->measId, head->count);
    return node;
}

static u32 ZEP_STAMEAS_MeasNodeKeyCmp(const void *key, const void *node)
{
    const StaMeasKey *k = static_cast<const StaMeasKey *>(key);
    const StaMeasInfo *info = &static_cast<const StaMeasNode *>(node)->info;
    if (!ZEP_STAMEAS_IsSameMac(k->staMac, info->staMac) || k->measId != info->measId) {
        return 1;
    }
    return 0;
}

static StaMeasNode *ZEP_STAMEAS_FindMeasNode(const StaMeasKey *key)
{
    /* The station-leave handler outlives the table, so a missing table is normal. */
    if (g_staMeasTbl == nullptr || g_staMeasTbl->hashTbl == nullptr) {
        return nullptr;
    }
    u32 bucket = ZEP_STAMEAS_MeasKeyBucket(key->staMac, key->measId);
    return static_cast<StaMeasNode *>(
        ZEP_HASH_FindNode(g_staMeasTbl->hashTbl, bucket, key, ZEP_STAMEAS_MeasNodeKeyCmp));
}

STAMEAS_INNER StaMeasInfo *ZEP_STAMEAS_FindMeasInfo(const StaMeasKey *key)
{
    StaMeasNode *node = ZEP_STAMEAS_FindMeasNode(key);
    return node == nullptr ? nullptr : &node->info;
}

STAMEAS_INNER void ZEP_STAMEAS_DelMeasNode(StaMeasNode *node)
{
    StaMeasInfo *info = &node->info;
    ZEP_SLL_Head *head = &g_staMeasTbl->radioList[info->radioId];
    u32 bucket = ZEP_STAMEAS_MeasKeyBucket(info->staMac, info->measId);

    (void)ZEP_HASH_DeleteNode(g_staMeasTbl->hashTbl, node, bucket);
    (void)ZEP_SLL_Delete(head, &node->listLink);
    STAMEAS_STA_LOG(ZEP_DBG_NOTE, info->staMac,
                    "Radio %u measId[%u] delete from table, left %u.\r\n", info->radioId,
                    info->measId, head->count);
    (void)ZEP_MEMPOOL_Free(g_staMeasTbl->nodePool, node);
}

static void ZEP_STAMEAS_DelMeasNodeByKey(const StaMeasKey *key)
{
    StaMeasNode *node = ZEP_STAMEAS_FindMeasNode(key);
    if (node != nullptr) {
        ZEP_STAMEAS_DelMeasNode(node);
    }
}

/* 1 tells the caller that the node stays with a lower weight, so its radio's
 * order may need sorting again. */
STAMEAS_INNER u8 ZEP_STAMEAS_DelHostFromMeasNode(StaMeasNode *node, u8 host)
{
    StaMeasInfo *info = &node->info;
    if (UMAC_BITMAP_IsBitUp(&info->hostBitmap, host) == 0) {
        return 0;
    }
    u32 weight = ZEP_STAMEAS_GetHostWeight(host);
    info->weight = info->weight < weight ? 0 : (u16)(info->weight - weight);
    (void)UMAC_BITMAP_ClearBit(&info->hostBitmap, host);
    (void)UMAC_BITMAP_ClearBit(&info->autoMeasBitmap, host);
    if (info->hostBitmap != 0) {
        return 1;
    }
    ZEP_STAMEAS_DelMeasNode(node);
    return 0;
}

/* Every automatic id of the station goes, whichever radio and hosts hold it. */
STAMEAS_INNER void ZEP_STAMEAS_DelStaAutoMeasNodes(const u8 *staMac)
{
    u32 measIds[STAMEAS_AUTO_MEAS_ID_NUM] = {0};
    u32 idNum = ZEP_STAMEAS_GetAutoMeasIds(measIds, STAMEAS_AUTO_MEAS_ID_NUM);
    for (u32 i = 0; i < idNum; i++) {
        StaMeasKey key;
        ZEP_STAMEAS_MakeMeasKey(&key, staMac, measIds[i]);
        ZEP_STAMEAS_DelMeasNodeByKey(&key);
    }
}

/* Evicts from the light end, only nodes strictly lighter than the asking host:
 * a host never pushes out a node that it alone would weigh as much as. */
STAMEAS_INNER void ZEP_STAMEAS_ChkAndCutTblForNewMeas(u32 radioId, u8 newNum, u16 newWeight)
{
    ZEP_SLL_Head *head = ZEP_STAMEAS_GetRadioList(radioId);
    if (head == nullptr) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "Invalid radioId %u.\r\n", radioId);
        return;
    }
    u32 total = (u32)newNum + head->count;
    if (total <= STAMEAS_TBL_MAX_PER_RADIO) {
        return;
    }
    (void)ZEP_SLL_MergeSort(head, ZEP_STAMEAS_MeasNodeCmpWeightAsc);
    ZEP_SLL_Node *element = ZEP_STAMEAS_WalkFirst(head);
    u32 toCut = total - STAMEAS_TBL_MAX_PER_RADIO;
    while (element != nullptr && ZEP_STAMEAS_NodeOfElement(element)->info.weight < newWeight) {
        ZEP_SLL_Node *next = ZEP_STAMEAS_WalkNext(head, element);
        ZEP_STAMEAS_DelMeasNode(ZEP_STAMEAS_NodeOfElement(element));
        if (--toCut == 0) {
            return;
        }
        element = next;
    }
}

STAMEAS_INNER void ZEP_STAMEAS_SortMeasTbl(u32 radioId)
{
    ZEP_SLL_Head *head = ZEP_STAMEAS_GetRadioList(radioId);
    if (head == nullptr) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "Invalid radioId %u.\r\n", radioId);
        return;
    }
    (void)ZEP_SLL_MergeSort(head, ZEP_STAMEAS_MeasNodeCmpWeightDesc);
}

static u16 ZEP_STAMEAS_NodeWeight(const void *node)
{
    return node == nullptr ? 0 : static_cast<const StaMeasNode *>(node)->info.weight;
}

static s32 ZEP_STAMEAS_MeasNodeCmpWeightDesc(const void *a, const void *b)
{
    u16 weightA = ZEP_STAMEAS_NodeWeight(a);
    u16 weightB = ZEP_STAMEAS_NodeWeight(b);
    if (weightA == weightB) {
        return 0;
    }
    return weightA > weightB ? -1 : 1;
}

static s32 ZEP_STAMEAS_MeasNodeCmpWeightAsc(const void *a, const void *b)
{
    return -ZEP_STAMEAS_MeasNodeCmpWeightDesc(a, b);
}

/* The walks take the successor before the callback, so a callback may delete
 * the node that it is given. */
STAMEAS_INNER void ZEP_STAMEAS_WalkMeasTbl(u32 radioId, StaMeasWalkFn fn, void *a)
{
    ZEP_SLL_Head *head = fn == nullptr ? nullptr : ZEP_STAMEAS_GetRadioList(radioId);
    ZEP_SLL_Node *element = ZEP_STAMEAS_WalkFirst(head);
    while (element != nullptr) {
        ZEP_SLL_Node *next = ZEP_STAMEAS_WalkNext(head, element);
        if (fn(&ZEP_STAMEAS_NodeOfElement(element)->info, a) == STAMEAS_WALK_STOP) {
            return;
        }
        element = next;
    }
}

STAMEAS_INNER void ZEP_STAMEAS_WalkMeasTbl2(u32 radioId, StaMeasWalkFn2 fn, void *a, void *b)
{
    ZEP_SLL_Head *head = fn == nullptr ? nullptr : ZEP_STAMEAS_GetRadioList(radioId);
    ZEP_SLL_Node *element = ZEP_STAMEAS_WalkFirst(head);
    while (element != nullptr) {
        ZEP_SLL_Node *next = ZEP_STAMEAS_WalkNext(head, element);
        if (fn(&ZEP_STAMEAS_NodeOfElement(element)->info, a, b) == STAMEAS_WALK_STOP) {
            return;
        }
        element = next;
    }
}

STAMEAS_INNER void ZEP_STAMEAS_WalkMeasTbl3(u32 radioId, StaMeasWalkFn3 fn, void *a, void *b,
                                            void *c)
{
    ZEP_SLL_Head *head = fn == nullptr ? nullptr : ZEP_STAMEAS_GetRadioList(radioId);
    ZEP_SLL_Node *element = ZEP_STAMEAS_WalkFirst(head);
    while (element != nullptr) {
        ZEP_SLL_Node *next = ZEP_STAMEAS_WalkNext(head, element);
        if (fn(&ZEP_STAMEAS_NodeOfElement(element)->info, a, b, c) == STAMEAS_WALK_STOP) {
            return;
        }
        element = next;
    }
}
