/* sta-meas co-measurement lists: per radio, one list of pending records per
 * channel, the channel support bits, the scanning flag and the scan-trigger gate. */
#include "sta_meas_inner.h"

#define STAMEAS_FILE_CAT STAMEAS_CAT_COMEAS_LIST

/* Operations of this file alone, with the C linkage of every operation of the
 * application: the framework calls some of them back through pointers. */
extern "C" {
static void ZEP_STAMEAS_FreeAllCoMeasList(void);
static u32 ZEP_STAMEAS_CoMeasNodeKeyCmp(const void *key, const ZEP_SLL_Node *element);
static s32 ZEP_STAMEAS_CoMeasNodeCmpWeightAsc(const void *a, const void *b);
}

/* One block for every radio, made at start-up; null while it does not exist. */
CoMeasRadioState *g_coMeasRadioState = nullptr;

#define COMEAS_INITIAL_REPEAT_SEND_CNT 1u

/* Quiet validity test: freeing must not log for an unknown radio. The bound
 * keeps a profile that disagrees with itself from indexing past the area. */
static CoMeasRadioState *CoMeasRadioOf(u32 radioId)
{
    if (g_coMeasRadioState == nullptr || ZEP_PROFILE_IsValidRadioId(radioId) == 0 ||
        radioId >= ZEP_PROFILE_GetMaxRadioNum()) {
        return nullptr;
    }
    return &g_coMeasRadioState[radioId];
}

/* The radio's state, or null with the refusal logged under fn, the operation called. */
static CoMeasRadioState *CoMeasRadioOrLog(const char *fn, u32 radioId)
{
    CoMeasRadioState *state = CoMeasRadioOf(radioId);
    if (state == nullptr) {
        STAMEAS_LOG_AS(fn, ZEP_DBG_ERROR, "Invalid radioId %u.\r\n", radioId);
    }
    return state;
}

/* The clock for the scan-trigger gate; false with the failure logged under fn. */
static bool CoMeasNowMs(const char *fn, u64 *nowMs)
{
    if (ZEP_HiPrecisionMsNow64(nowMs) != 0) {
        STAMEAS_LOG_AS(fn, ZEP_DBG_ERROR, "get time fail.\r\n");
        return false;
    }
    return true;
}

/* A macro, not a function, so that the line names the operation that was refused. */
#define COMEAS_LOG_INVALID_CHANNEL(channel)                                                        \
    STAMEAS_LOG(ZEP_DBG_ERROR, "Invalid channel %u.\r\n", (channel))

static void CoMeasMakeEmptyList(ZEP_SLL_Head *list)
{
    list->first = ZEP_SLL_HEAD_AS_NODE(list);
    list->last = ZEP_SLL_HEAD_AS_NODE(list);
    list->count = 0;
}

STAMEAS_INNER u32 ZEP_STAMEAS_CoMeasListInit(void)
{
    if (g_coMeasRadioState != nullptr) {
        STAMEAS_LOG(ZEP_DBG_RARE, "Sta co-measure list existed.\r\n");
        return STAMEAS_OK;
    }
    u32 radioNum = ZEP_PROFILE_GetMaxRadioNum();
    auto *area = static_cast<CoMeasRadioState *>(
        ZEP_MALLOC_ZERO(static_cast<u32>(sizeof(CoMeasRadioState)) * radioNum));
    if (area == nullptr) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "Malloc fail, radioNum %u.\r\n", radioNum);
        return STAMEAS_ERR_NO_MEM;
    }
    for (u32 radioId = 0; radioId < radioNum; radioId++) {
        for (u32 channel = 0; channel < COMEAS_CHANNEL_NUM; channel++) {
            CoMeasMakeEmptyList(&area[radioId].staList[channel]);
        }
        area[radioId].repeatSendCnt = COMEAS_INITIAL_REPEAT_SEND_CNT;
    }
    g_coMeasRadioState = area;
    return STAMEAS_OK;
}

STAMEAS_INNER void ZEP_STAMEAS_CoMeasListDeInit(void)
{
    if (g_coMeasRadioState == nullptr) {
        STAMEAS_LOG(ZEP_DBG_RARE, "Sta co-measure list not exist.\r\n");
        return;
    }
    ZEP_STAMEAS_FreeAllCoMeasList();
    ZEP_FREE(g_coMeasRadioState);
    g_coMeasRadioState = nullptr;
}

STAMEAS_INNER ZEP_SLL_Head *ZEP_STAMEAS_GetCoMeasStaList(u32 radioId, u32 channel)
{
    CoMeasRadioState *state = CoMeasRadioOrLog(__func__, radioId);
    if (state == nullptr) {
        return nullptr;
    }
    if (channel >= COMEAS_CHANNEL_NUM) {
        COMEAS_LOG_INVALID_CHANNEL(channel);
        return nullptr;
    }
    return &state->staList[channel];
}

/* The cap is tested before allocating so that a full list costs nothing. */
STAMEAS_INNER CoMeasInfo *ZEP_STAMEAS_AddCoMeasInfo(ZEP_SLL_Head *list, const CoMeasKey *key)
{
    if (list == nullptr || key == nullptr) {
        return nullptr;
    }
    if (list->count > COMEAS_LIST_MAX - 1) {
        STAMEAS_STA_LOG(ZEP_DBG_NOTE, key->staMac, "Sta co-measure list reach max number %u.\r\n",
                        list->count);
        return nullptr;
    }
    auto *node = static_cast<CoMeasNode *>(ZEP_MALLOC_ZERO(sizeof(CoMeasNode)));
    if (node == nullptr) {
        STAMEAS_STA_LOG(ZEP_DBG_ERROR, key->staMac,
                        "Sta co-measure node malloc fail, current number %u.\r\n", list->count);
        return nullptr;
    }
    STAMEAS_STA_LOG(ZEP_DBG_NOTE, key->staMac, "measId[%u] add into staList.\r\n", key->measId);
    node->link.data = &node->info;
    memcpy_s(&node->info, sizeof(CoMeasKey), key, sizeof(CoMeasKey));
    ZEP_SLL_InsertInMiddle(list, list->last, &node->link, ZEP_SLL_HEAD_AS_NODE(list));
    return &node->info;
}

STAMEAS_INNER CoMeasInfo *ZEP_STAMEAS_FindCoMeasInfo(ZEP_SLL_Head *list, const CoMeasKey *key)
{
    if (list == nullptr || key == nullptr) {
        return nullptr;
    }
    ZEP_SLL_Node *element = ZEP_SLL_Find(list, key, ZEP_STAMEAS_CoMeasNodeKeyCmp);
    if (element == nullptr) {
        return nullptr;
    }
    return static_cast<CoMeasInfo *>(element->data);
}

STAMEAS_INNER void ZEP_STAMEAS_DelCoMeasNode(ZEP_SLL_Head *list, ZEP_SLL_Node *element)
{
    const CoMeasInfo *info = static_cast<const CoMeasInfo *>(element->data);
    ZEP_SLL_Delete(list, element);
    STAMEAS_STA_LOG(ZEP_DBG_NOTE, info->staMac, "measId[%u] delete from list, left %u.\r\n",
                    info->measId, list->count);
    ZEP_FREE(element);
}

STAMEAS_INNER u32 ZEP_STAMEAS_GetCoMeasNodeNum(const ZEP_SLL_Head *list)
{
    return list == nullptr ? 0 : list->count;
}

/* Evicts the lightest records, but only those lighter than the asking host:
 * a host never pushes out a request that matters at least as much as its own.
 * The list is left sorted ascending, which becomes its send order. */
STAMEAS_INNER void ZEP_STAMEAS_ChkAndCutCoMeasList(ZEP_SLL_Head *list, u8 newNum, u8 host)
{
    u32 total = static_cast<u32>(newNum) + ZEP_STAMEAS_GetCoMeasNodeNum(list);
    if (total <= COMEAS_LIST_MAX || list == nullptr) {
        return;
    }
    u16 hostWeight = static_cast<u16>(ZEP_STAMEAS_GetHostWeight(host));
    ZEP_SLL_MergeSort(list, ZEP_STAMEAS_CoMeasNodeCmpWeightAsc);
    if (list->count == 0) {
        return;
    }
    u32 excess = total - COMEAS_LIST_MAX;
    ZEP_SLL_Node *head = ZEP_SLL_HEAD_AS_NODE(list);
    ZEP_SLL_Node *cur = list->first;
    while (static_cast<const CoMeasInfo *>(cur->data)->weight < hostWeight) {
        ZEP_SLL_Node *next = cur->next;
        ZEP_STAMEAS_DelCoMeasNode(list, cur);
        excess--;
        if (excess == 0 || next == head) {
            return;
        }
        cur = next;
    }
}

/* The next element is read before the callback runs, so the callback may
 * delete the element it was given. */
STAMEAS_INNER void ZEP_STAMEAS_TraverseCoMeasList(ZEP_SLL_Head *list, CoMeasWalkFn fn, void *arg)
{
    if (list == nullptr || fn == nullptr || list->count == 0 || list->first == nullptr) {
        return;
    }
    ZEP_SLL_Node *head = ZEP_SLL_HEAD_AS_NODE(list);
    ZEP_SLL_Node *cur = list->first;
    while (cur != head) {
        ZEP_SLL_Node *next = cur->next;
        if (fn(list, static_cast<CoMeasInfo *>(cur->data), arg) == STAMEAS_WALK_STOP) {
            return;
        }
        cur = next;
    }
}

STAMEAS_INNER void ZEP_STAMEAS_TraverseCoMeasListEx(ZEP_SLL_Head *list, CoMeasWalkFnEx fn, void *a,
                                                    void *b, void *c)
{
    if (list == nullptr || fn == nullptr || list->count == 0 || list->first == nullptr) {
        return;
    }
    ZEP_SLL_Node *head = ZEP_SLL_HEAD_AS_NODE(list);
    ZEP_SLL_Node *cur = list->first;
    while (cur != head) {
        ZEP_SLL_Node *next = cur->next;
        if (fn(list, static_cast<CoMeasInfo *>(cur->data), a, b, c) == STAMEAS_WALK_STOP) {
            return;
        }
        cur = next;
    }
}

/* Scan state, trigger time and repeat count survive: only the channel set
 * that the radio scans has changed, not the radio. */
STAMEAS_INNER void ZEP_STAMEAS_FreeRadioCoMeasList(u32 radioId)
{
    CoMeasRadioState *state = CoMeasRadioOf(radioId);
    if (state == nullptr) {
        return;
    }
    for (u32 channel = 0; channel < COMEAS_CHANNEL_NUM; channel++) {
        if (state->staList[channel].count != 0) {
            ZEP_SLL_FreeAll(&state->staList[channel], ZEP_Free);
        }
        UMAC_BITMAP_ClearBit(state->coMeasSupportBitmap, channel);
    }
}

static void ZEP_STAMEAS_FreeAllCoMeasList(void)
{
    for (u32 radioId = 0; radioId < ZEP_PROFILE_GetMaxRadioNum(); radioId++) {
        ZEP_STAMEAS_FreeRadioCoMeasList(radioId);
    }
}

STAMEAS_INNER bool ZEP_STAMEAS_IsCoMeasSupport(u32 radioId, u32 channel)
{
    const CoMeasRadioState *state = CoMeasRadioOrLog(__func__, radioId);
    if (state == nullptr) {
        return false;
    }
    if (channel >= COMEAS_CHANNEL_NUM) {
        COMEAS_LOG_INVALID_CHANNEL(channel);
        return false;
    }
    return UMAC_BITMAP_IsBitUp(state->coMeasSupportBitmap, channel) != 0;
}

STAMEAS_INNER void ZEP_STAMEAS_SetCoMeasSupport(u32 radioId, u32 channel)
{
    CoMeasRadioState *state = CoMeasRadioOrLog(__func__, radioId);
    if (state == nullptr) {
        return;
    }
    if (channel >= COMEAS_CHANNEL_NUM) {
        COMEAS_LOG_INVALID_CHANNEL(channel);
        return;
    }
    UMAC_BITMAP_SetBit(state->coMeasSupportBitmap, channel);
}

STAMEAS_INNER u8 ZEP_STAMEAS_IsRadioOnScanState(u32 radioId)
{
    const CoMeasRadioState *state = CoMeasRadioOrLog(__func__, radioId);
    if (state == nullptr) {
        return 0;
    }
    return state->onScanState;
}

STAMEAS_INNER void ZEP_STAMEAS_SetRadioOnScanState(u32 radioId, u8 state)
{
    CoMeasRadioState *radio = CoMeasRadioOrLog(__func__, radioId);
    if (radio == nullptr) {
        return;
    }
    radio->onScanState = state;
}

STAMEAS_INNER void ZEP_STAMEAS_UpdateScanTriggerMs(u32 radioId)
{
    CoMeasRadioState *state = CoMeasRadioOrLog(__func__, radioId);
    if (state == nullptr) {
        return;
    }
    u64 nowMs = 0;
    if (!CoMeasNowMs(__func__, &nowMs)) {
        return;
    }
    state->scanTriggerMs = nowMs;
}

/* One scan request per radio per 500 ms: the scanner is shared with the
 * radio's own traffic, and starts arrive in bursts. */
STAMEAS_INNER bool ZEP_STAMEAS_IsCanTriggerScan(u32 radioId)
{
    const CoMeasRadioState *state = CoMeasRadioOrLog(__func__, radioId);
    if (state == nullptr) {
        return false;
    }
    u64 nowMs = 0;
    if (!CoMeasNowMs(__func__, &nowMs)) {
        return false;
    }
    if (state->scanTriggerMs == 0) {
        return true;
    }
    return state->scanTriggerMs + COMEAS_SCAN_TRIGGER_GAP_MS < nowMs;
}

STAMEAS_INNER u8 ZEP_STAMEAS_GetCoMeasRepeatSendCnt(u32 radioId)
{
    const CoMeasRadioState *state = CoMeasRadioOrLog(__func__, radioId);
    if (state == nullptr) {
        return 0;
    }
    return state->repeatSendCnt;
}

/* The two key bytes between MAC and measId are padding and take no part. */
static u32 ZEP_STAMEAS_CoMeasNodeKeyCmp(const void *key, const ZEP_SLL_Node *element)
{
    const CoMeasKey *k = static_cast<const CoMeasKey *>(key);
    const CoMeasInfo *info = static_cast<const CoMeasInfo *>(element->data);
    return info->measId == k->measId && ZEP_STAMEAS_IsSameMac(info->staMac, k->staMac) ? 0 : 1;
}

static s32 ZEP_STAMEAS_CoMeasNodeCmpWeightAsc(const void *a, const void *b)
{
    u32 wa = a == nullptr ? 0 : static_cast<const CoMeasInfo *>(a)->weight;
    u32 wb = b == nullptr ? 0 : static_cast<const CoMeasInfo *>(b)->weight;
    return static_cast<s32>(wa > wb) - static_cast<s32>(wa < wb);
}
