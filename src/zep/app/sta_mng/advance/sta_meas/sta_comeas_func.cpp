/* sta-meas co-measurement handlers: start and stop (184, 185), requests relayed
 * to neighbouring access points (198), and sending on scan (34, 181). */
#include "sta_meas_inner.h"

#define STAMEAS_FILE_CAT STAMEAS_CAT_COMEAS_FUNC

/* Operations of this file alone, with the C linkage of every operation of the
 * application: the framework calls some of them back through pointers. */
extern "C" {
static bool ZEP_STAMEAS_IsValidCoMeasStartMsg(const void *msg, u32 len);
static bool ZEP_STAMEAS_IsValidCoMeasStopMsg(const void *msg, u32 len);
static u32 ZEP_STAMEAS_MakeUpCoMeasStartMsg(CoMeasStartMsg *msg);
static u32 ZEP_STAMEAS_MakeUpCoMeasStopMsg(CoMeasStopMsg *msg);
static void ZEP_STAMEAS_SendCoMeasReqOnWorkChannel(const CoMeasStartMsg *msg);
static u32 ZEP_STAMEAS_FindAndUpdateCoMeasInfo(const CoMeasStartMsg *msg, u32 *idxList,
                                               u32 capacity);
static void ZEP_STAMEAS_FillCoMeasInfoBesidesKey(CoMeasInfo *info, const CoMeasStartEntry *entry,
                                                 u8 host);
static void ZEP_STAMEAS_AddNewCoMeasInfo(const CoMeasStartMsg *msg, ZEP_SLL_Head *list,
                                         const u32 *idxList, u32 idxNum);
static void ZEP_STAMEAS_TriggerScanForCoMeas(u32 radioId, u32 channel);
static u32 ZEP_STAMEAS_CoMeasStartProc(void *msg, u32 len);
static void ZEP_STAMEAS_DelHostFromCoMeasInfo(ZEP_SLL_Head *list, CoMeasInfo *info, u8 host);
static u32 ZEP_STAMEAS_DelHostFromCoMeasInfoById(ZEP_SLL_Head *list, CoMeasInfo *info, void *measId,
                                                 void *host, void *unused);
static u32 ZEP_STAMEAS_CoMeasStopProc(void *msg, u32 len);
static bool ZEP_STAMEAS_IsValidCoMeasReqMsg(const void *msg, u32 len);
static u32 ZEP_STAMEAS_CoMeasReqProc(void *msg, u32 len);
static u32 ZEP_STAMEAS_SendCoMeasToSpecNb(const ZEP_NB_ApRecord *nb, void *req, void *buf);
static bool ZEP_STAMEAS_IsNbSatisfyCoMeas(const CoMeasStaRec *sta, const ZEP_NB_ApRecord *nb,
                                          u8 checkSsid, u8 isSendOnScan);
static bool ZEP_STAMEAS_IsValidCoMeasScanMsg(const void *msg, u32 len);
static u32 ZEP_STAMEAS_ScanStateChangeProc(void *msg, u32 len);
static void ZEP_STAMEAS_SendAllCoMeasReq(u32 radioId, u32 channel);
static u32 ZEP_STAMEAS_SendAndDelMeasReq(ZEP_SLL_Head *list, CoMeasInfo *info, void *sendCnt);
static u32 ZEP_STAMEAS_DelSentCoMeasReq(ZEP_SLL_Head *list, CoMeasInfo *info, void *unused);
static u32 ZEP_STAMEAS_ScanChanSetChangeProc(void *msg, u32 len);
}

/* Room left in the 198 send buffer; back at its full size between messages. */
u32 g_coMeasReqBufLeft = COMEAS_NB_BUF_LEN;

static MeasCostInfo g_coMeasStartCost;
static MeasCostInfo g_coMeasStopCost;
static MeasCostInfo g_scanStateChangeCost;

#define COMEAS_MSG_HEAD_LEN ((u32)sizeof(CoMeasMsgHead))
#define COMEAS_NB_MSG_HEAD_LEN ((u32)sizeof(CoMeasToNbMsgHead))
#define COMEAS_NB_MSG_LEN(num) (COMEAS_NB_MSG_HEAD_LEN + (u32)sizeof(CoMeasStaRec) * (num))
#define COMEAS_NB_BLOCK_SIZE(num) ((u32)COMEAS_NB_BLOCK_LEN(num))

#define COMEAS_MAX_HOST_ID (STAMEAS_HOST_NUM - 1u)
#define COMEAS_MAX_CHANNEL (COMEAS_CHANNEL_NUM - 1u)
#define COMEAS_REQ_BAND_UNKNOWN 0xFFu
#define COMEAS_REQ_BAND_FREQ_ZERO 11u /* the radio's band code is 0 */
#define COMEAS_REQ_BAND_FREQ_OTHER 12u
/* A neighbour's record byte is rebased unless the neighbour measures while scanning. */
#define COMEAS_NB_REC_BYTE0_BIAS 56u

/* (num - 1) wraps 0 to 255, so one test rejects both 0 and anything above 16. */
static bool CoMeasIsBadNum(u8 num)
{
    return static_cast<u8>(num - 1u) > STAMEAS_COMEAS_MAX_NUM - 1u;
}

static bool CoMeasIsOnWorkChannel(const CoMeasStartEntry *entry)
{
    return (entry->flags & COMEAS_ENTRY_FLAG_ON_WORK_CHANNEL) != 0;
}

static void CoMeasMakeKey(CoMeasKey *key, const u8 *staMac, u32 measId)
{
    memset_s(key, sizeof(*key), 0, sizeof(*key));
    memcpy_s(key->staMac, sizeof(key->staMac), staMac, sizeof(key->staMac));
    key->measId = measId;
}

/* ==== 184 / 185: start and stop ==== */

/* Start and stop share their header checks; only the entry size differs. */
static bool ZEP_STAMEAS_IsValidCoMeasMsg(const char *fn, const void *msg, u32 len, u32 entrySize)
{
    u32 ret = ZEP_MNG_CheckMsgValid(msg, len, COMEAS_MSG_HEAD_LEN);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG_AS(fn, ZEP_DBG_ERROR, "msg err %u, msgLen %u.\r\n", ret, len);
        return false;
    }
    const CoMeasMsgHead *head = static_cast<const CoMeasMsgHead *>(msg);
    if (CoMeasIsBadNum(head->num)) {
        STAMEAS_LOG_AS(fn, ZEP_DBG_ERROR, "invalid num %u.\r\n", static_cast<u32>(head->num));
        return false;
    }
    ret = ZEP_MNG_CheckMsgValid(msg, len, COMEAS_MSG_HEAD_LEN + entrySize * head->num);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG_AS(fn, ZEP_DBG_ERROR, "msg err %u, msgLen %u, num %u.\r\n", ret, len,
                       static_cast<u32>(head->num));
        return false;
    }
    if (head->host > COMEAS_MAX_HOST_ID) {
        STAMEAS_LOG_AS(fn, ZEP_DBG_ERROR, "invalid host %u.\r\n", static_cast<u32>(head->host));
        return false;
    }
    if (head->channel > COMEAS_MAX_CHANNEL) {
        STAMEAS_LOG_AS(fn, ZEP_DBG_ERROR, "invalid channel %u.\r\n",
                       static_cast<u32>(head->channel));
        return false;
    }
    if (head->radioId != STAMEAS_ALL_RADIO && ZEP_PROFILE_IsValidRadioId(head->radioId) == 0) {
        STAMEAS_LOG_AS(fn, ZEP_DBG_ERROR, "invalid radioId %u.\r\n", head->radioId);
        return false;
    }
    return true;
}

static bool ZEP_STAMEAS_IsValidCoMeasStartMsg(const void *msg, u32 len)
{
    return ZEP_STAMEAS_IsValidCoMeasMsg(__func__, msg, len, sizeof(CoMeasStartEntry));
}

static bool ZEP_STAMEAS_IsValidCoMeasStopMsg(const void *msg, u32 len)
{
    return ZEP_STAMEAS_IsValidCoMeasMsg(__func__, msg, len, sizeof(CoMeasStopEntry));
}

/* The radio that scans the channel stands in for "any radio": hosts address
 * a channel, and only the scanning radio can measure off its working channel. */
static u32 CoMeasResolveRadio(CoMeasMsgHead *head)
{
    if (head->radioId != STAMEAS_ALL_RADIO) {
        return STAMEAS_OK;
    }
    u32 radioId = 0;
    u8 aux = 0;
    if (ZEP_NB_GetScanRadioId(head->channel, head->freqInd, &radioId, &aux) != 0) {
        return STAMEAS_ERR;
    }
    head->radioId = radioId;
    return STAMEAS_OK;
}

/* Completes one body in place; false when it needs the scan EIRP and none is known. */
static bool CoMeasCompleteReqBody(CoMeasStartEntry *entry, u32 radioId, s8 scanEirp)
{
    u8 *body = entry->reqBody;
    u32 bodyRadio = 0;
    memcpy_s(&bodyRadio, sizeof(bodyRadio), body + COMEAS_REQ_RADIO_OFFSET, sizeof(bodyRadio));
    if (bodyRadio == STAMEAS_ALL_RADIO) {
        memcpy_s(body + COMEAS_REQ_RADIO_OFFSET, sizeof(radioId), &radioId, sizeof(radioId));
    }
    if (body[COMEAS_REQ_BAND_OFFSET] == COMEAS_REQ_BAND_UNKNOWN) {
        body[COMEAS_REQ_BAND_OFFSET] = ZEP_STA_GetRadioFreq(radioId) == 0
                                           ? COMEAS_REQ_BAND_FREQ_ZERO
                                           : COMEAS_REQ_BAND_FREQ_OTHER;
    }
    /* On the working channel the radio transmits at its current power; off it,
     * the scan EIRP is what the station will see. */
    if (static_cast<s8>(body[COMEAS_REQ_EIRP_OFFSET]) == COMEAS_EIRP_UNKNOWN) {
        if (CoMeasIsOnWorkChannel(entry)) {
            body[COMEAS_REQ_EIRP_OFFSET] = static_cast<u8>(ZEP_STA_GetRadioCurEirp(radioId));
        } else if (scanEirp == COMEAS_EIRP_UNKNOWN) {
            return false;
        } else {
            body[COMEAS_REQ_EIRP_OFFSET] = static_cast<u8>(scanEirp);
        }
    }
    if (static_cast<s8>(body[COMEAS_REQ_EIRP2_OFFSET]) == COMEAS_EIRP_UNKNOWN) {
        if (scanEirp == COMEAS_EIRP_UNKNOWN) {
            return false;
        }
        body[COMEAS_REQ_EIRP2_OFFSET] = static_cast<u8>(scanEirp);
    }
    body[COMEAS_REQ_FLAGS_OFFSET] =
        static_cast<u8>((body[COMEAS_REQ_FLAGS_OFFSET] & ~COMEAS_ENTRY_FLAG_ON_WORK_CHANNEL) |
                        (CoMeasIsOnWorkChannel(entry) ? COMEAS_ENTRY_FLAG_ON_WORK_CHANNEL : 0u));
    return true;
}

static u32 ZEP_STAMEAS_MakeUpCoMeasStartMsg(CoMeasStartMsg *msg)
{
    CoMeasMsgHead *head = &msg->head;
    if (CoMeasResolveRadio(head) != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_NOTE, "cant get scan radio, channel %u freqInd %u.\r\n",
                    static_cast<u32>(head->channel), static_cast<u32>(head->freqInd));
        return STAMEAS_ERR;
    }
    s8 scanEirp = 0;
    if (ZEP_NB_GetRadioScanEirp(head->radioId, head->channel, &scanEirp) != 0) {
        scanEirp = COMEAS_EIRP_UNKNOWN;
    }
    for (u32 i = 0; i < head->num; i++) {
        if (!CoMeasCompleteReqBody(&msg->entry[i], head->radioId, scanEirp)) {
            STAMEAS_LOG(ZEP_DBG_NOTE, "cant get scanEirp, radio %u channel %u\r\n", head->radioId,
                        static_cast<u32>(head->channel));
            return STAMEAS_ERR;
        }
    }
    return STAMEAS_OK;
}

static u32 ZEP_STAMEAS_MakeUpCoMeasStopMsg(CoMeasStopMsg *msg)
{
    CoMeasMsgHead *head = &msg->head;
    if (CoMeasResolveRadio(head) != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_NOTE, "cant get scan radio, channel %u freqInd %u.\r\n",
                    static_cast<u32>(head->channel), static_cast<u32>(head->freqInd));
        return STAMEAS_ERR;
    }
    return STAMEAS_OK;
}

/* While the radio scans it is off its working channel, so such a request
 * would reach nobody. */
static void ZEP_STAMEAS_SendCoMeasReqOnWorkChannel(const CoMeasStartMsg *msg)
{
    const CoMeasMsgHead *head = &msg->head;
    for (u32 i = 0; i < head->num; i++) {
        const CoMeasStartEntry *entry = &msg->entry[i];
        if (!CoMeasIsOnWorkChannel(entry)) {
            continue;
        }
        if (ZEP_STAMEAS_IsMeasEnable(head->radioId) == 0) {
            STAMEAS_LOG(ZEP_DBG_NOTE, "radio %u dont send co-measure request as meas-disabled.\r\n",
                        head->radioId);
            continue;
        }
        if (ZEP_STAMEAS_IsRadioOnScanState(head->radioId) != 0) {
            STAMEAS_STA_LOG(ZEP_DBG_NOTE, entry->staMac,
                            "Drop co-meas request as radio %u is on scan state.\r\n",
                            head->radioId);
            continue;
        }
        u32 ret =
            ZEP_MNG_SendMsg(ZEP_DEST_ALL, 0, entry->measId, entry->reqBody, COMEAS_REQ_BODY_LEN);
        if (ret == STAMEAS_OK) {
            STAMEAS_STA_LOG(ZEP_DBG_NOTE, entry->staMac,
                            "Send No.%u co-measure request %u successful.\r\n", i, entry->measId);
        } else {
            STAMEAS_STA_LOG(ZEP_DBG_ERROR, entry->staMac,
                            "Send No.%u co-measure request %u fail %u.\r\n", i, entry->measId, ret);
        }
    }
}

static u32 ZEP_STAMEAS_FindAndUpdateCoMeasInfo(const CoMeasStartMsg *msg, u32 *idxList,
                                               u32 capacity)
{
    ZEP_SLL_Head *list = ZEP_STAMEAS_GetCoMeasStaList(msg->head.radioId, msg->head.channel);
    u32 newNum = 0;
    for (u32 i = 0; i < msg->head.num; i++) {
        const CoMeasStartEntry *entry = &msg->entry[i];
        if (CoMeasIsOnWorkChannel(entry)) {
            continue;
        }
        CoMeasKey key;
        CoMeasMakeKey(&key, entry->staMac, entry->measId);
        CoMeasInfo *info = ZEP_STAMEAS_FindCoMeasInfo(list, &key);
        if (info != nullptr) {
            ZEP_STAMEAS_FillCoMeasInfoBesidesKey(info, entry, msg->head.host);
        } else if (newNum < capacity) {
            idxList[newNum++] = i;
        }
    }
    return newNum;
}

/* Room is made once for all new entries; when the list is still full, the
 * entries that do not fit are dropped in message order. */
static void ZEP_STAMEAS_AddNewCoMeasInfo(const CoMeasStartMsg *msg, ZEP_SLL_Head *list,
                                         const u32 *idxList, u32 idxNum)
{
    ZEP_STAMEAS_ChkAndCutCoMeasList(list, static_cast<u8>(idxNum), msg->head.host);
    for (u32 i = 0; i < idxNum; i++) {
        const CoMeasStartEntry *entry = &msg->entry[idxList[i]];
        CoMeasKey key;
        CoMeasMakeKey(&key, entry->staMac, entry->measId);
        CoMeasInfo *info = ZEP_STAMEAS_AddCoMeasInfo(list, &key);
        if (info == nullptr) {
            return;
        }
        ZEP_STAMEAS_FillCoMeasInfoBesidesKey(info, entry, msg->head.host);
    }
}

/* The heaviest host's body wins: a lighter host joins the record but never
 * replaces what a heavier one asked for. */
static void ZEP_STAMEAS_FillCoMeasInfoBesidesKey(CoMeasInfo *info, const CoMeasStartEntry *entry,
                                                 u8 host)
{
    if (UMAC_BITMAP_IsBitUp(&info->hostBitmap, host) == 0) {
        info->weight = static_cast<u16>(info->weight + ZEP_STAMEAS_GetHostWeight(host));
        UMAC_BITMAP_SetBit(&info->hostBitmap, host);
    }
    u32 topHost = ZEP_STAMEAS_GetTopHost(info->hostBitmap);
    if (host == topHost) {
        memcpy_s(info->reqBody, sizeof(info->reqBody), entry->reqBody, sizeof(entry->reqBody));
    }
    if ((entry->flags & COMEAS_ENTRY_FLAG_REPEAT_SEND) != 0) {
        info->flags |= COMEAS_INFO_FLAG_REPEAT_SEND;
    }
    STAMEAS_STA_LOG(ZEP_DBG_NOTE, entry->staMac,
                    "measId:%u topHost:%u host:%u hostBitmap:0x%x weight:%u isRepeatSend:%u.\r\n",
                    info->measId, topHost, static_cast<u32>(host), info->hostBitmap,
                    static_cast<u32>(info->weight),
                    static_cast<u32>(info->flags & COMEAS_INFO_FLAG_REPEAT_SEND));
}

/* The trigger time is only recorded after a successful send, so a failed
 * request may be retried by the very next start. */
static void ZEP_STAMEAS_TriggerScanForCoMeas(u32 radioId, u32 channel)
{
    if (!ZEP_STAMEAS_IsCanTriggerScan(radioId)) {
        STAMEAS_LOG(ZEP_DBG_NOTE, "radio %u scan inhibit.\r\n", radioId);
        return;
    }
    CoScanTrigMsg trig = {radioId, channel};
    u32 ret = ZEP_MNG_SendMsg(ZEP_DEST_ALL, 0, STAMEAS_MSG_CO_SCAN_TRIG, &trig, sizeof(trig));
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "send msg to trig co-scan fail %u, radio[%u] channel[%u].\r\n",
                    ret, radioId, channel);
        return;
    }
    STAMEAS_LOG(ZEP_DBG_NOTE, "send msg to trig co-scan success, radio[%u] channel[%u].\r\n",
                radioId, channel);
    ZEP_STAMEAS_UpdateScanTriggerMs(radioId);
}

static bool CoMeasHasListedEntry(const CoMeasStartMsg *msg)
{
    for (u32 i = 0; i < msg->head.num; i++) {
        if (!CoMeasIsOnWorkChannel(&msg->entry[i])) {
            return true;
        }
    }
    return false;
}

static u32 ZEP_STAMEAS_CoMeasStartProc(void *msg, u32 len)
{
    u32 startTick = ZEP_GetTick();
    if (!ZEP_STAMEAS_IsValidCoMeasStartMsg(msg, len)) {
        return STAMEAS_ERR_INVALID_MSG;
    }
    CoMeasStartMsg *start = static_cast<CoMeasStartMsg *>(msg);
    if (ZEP_STAMEAS_MakeUpCoMeasStartMsg(start) != STAMEAS_OK) {
        return STAMEAS_ERR;
    }
    ZEP_STAMEAS_SendCoMeasReqOnWorkChannel(start);

    const CoMeasMsgHead *head = &start->head;
    if (!ZEP_STAMEAS_IsCoMeasSupport(head->radioId, head->channel)) {
        STAMEAS_LOG(ZEP_DBG_NOTE, "Host %u cant co-measure with radioId %u, channel %u.\r\n",
                    static_cast<u32>(head->host), head->radioId, static_cast<u32>(head->channel));
        return STAMEAS_OK;
    }
    STAMEAS_LOG(ZEP_DBG_NOTE,
                "Host %u start co-measure with radioId %u, channel %u, number %u.\r\n",
                static_cast<u32>(head->host), head->radioId, static_cast<u32>(head->channel),
                static_cast<u32>(head->num));
    ZEP_SLL_Head *list = ZEP_STAMEAS_GetCoMeasStaList(head->radioId, head->channel);
    u32 idxList[STAMEAS_COMEAS_MAX_NUM];
    u32 newNum = ZEP_STAMEAS_FindAndUpdateCoMeasInfo(start, idxList, STAMEAS_COMEAS_MAX_NUM);
    if (newNum != 0) {
        ZEP_STAMEAS_AddNewCoMeasInfo(start, list, idxList, newNum);
    }
    if ((head->flags & COMEAS_START_FLAG_TRIG_SCAN) != 0 && head->num != 0 &&
        CoMeasHasListedEntry(start) && ZEP_STAMEAS_GetCoMeasNodeNum(list) != 0) {
        ZEP_STAMEAS_TriggerScanForCoMeas(head->radioId, head->channel);
    }
    ZEP_STAMEAS_SetMeasCostTick("ZEP_STAMEAS_CoMeasStartProc", &g_coMeasStartCost, startTick);
    return STAMEAS_OK;
}

/* A record keeps the body it carries even when its owner leaves: the
 * remaining hosts still want the station measured. */
static void ZEP_STAMEAS_DelHostFromCoMeasInfo(ZEP_SLL_Head *list, CoMeasInfo *info, u8 host)
{
    if (UMAC_BITMAP_IsBitUp(&info->hostBitmap, host) == 0) {
        return;
    }
    u32 hostWeight = ZEP_STAMEAS_GetHostWeight(host);
    info->weight = info->weight < hostWeight ? 0 : static_cast<u16>(info->weight - hostWeight);
    UMAC_BITMAP_ClearBit(&info->hostBitmap, host);
    if (info->hostBitmap == 0) {
        ZEP_STAMEAS_DelCoMeasNode(list, &COMEAS_NODE_OF_INFO(info)->link);
    }
}

static u32 ZEP_STAMEAS_DelHostFromCoMeasInfoById(ZEP_SLL_Head *list, CoMeasInfo *info, void *measId,
                                                 void *host, void * /*unused*/)
{
    if (info->measId == *static_cast<const u32 *>(measId)) {
        ZEP_STAMEAS_DelHostFromCoMeasInfo(list, info, *static_cast<const u8 *>(host));
    }
    return STAMEAS_OK;
}

static u32 ZEP_STAMEAS_CoMeasStopProc(void *msg, u32 len)
{
    u32 startTick = ZEP_GetTick();
    if (!ZEP_STAMEAS_IsValidCoMeasStopMsg(msg, len)) {
        return STAMEAS_ERR_INVALID_MSG;
    }
    CoMeasStopMsg *stop = static_cast<CoMeasStopMsg *>(msg);
    if (ZEP_STAMEAS_MakeUpCoMeasStopMsg(stop) != STAMEAS_OK) {
        return STAMEAS_ERR;
    }
    CoMeasMsgHead *head = &stop->head;
    STAMEAS_LOG(ZEP_DBG_NOTE, "Host %u stop measure with radioId %u channel %u number %u.\r\n",
                static_cast<u32>(head->host), head->radioId, static_cast<u32>(head->channel),
                static_cast<u32>(head->num));
    ZEP_SLL_Head *list = ZEP_STAMEAS_GetCoMeasStaList(head->radioId, head->channel);
    for (u32 i = 0; i < head->num; i++) {
        CoMeasStopEntry *entry = &stop->entry[i];
        if (ZEP_STAMEAS_IsBroadcastMac(entry->staMac)) {
            STAMEAS_LOG(ZEP_DBG_NOTE, "Clean list with measId %u host %u.\r\n", entry->measId,
                        static_cast<u32>(head->host));
            ZEP_STAMEAS_TraverseCoMeasListEx(list, ZEP_STAMEAS_DelHostFromCoMeasInfoById,
                                             &entry->measId, &head->host, nullptr);
            continue;
        }
        STAMEAS_STA_LOG(ZEP_DBG_NOTE, entry->staMac, "Host %u stop co-measure id %u.\r\n",
                        static_cast<u32>(head->host), entry->measId);
        CoMeasKey key;
        CoMeasMakeKey(&key, entry->staMac, entry->measId);
        CoMeasInfo *info = ZEP_STAMEAS_FindCoMeasInfo(list, &key);
        if (info != nullptr) {
            ZEP_STAMEAS_DelHostFromCoMeasInfo(list, info, head->host);
        }
    }
    ZEP_STAMEAS_SetMeasCostTick("ZEP_STAMEAS_CoMeasStopProc", &g_coMeasStopCost, startTick);
    return STAMEAS_OK;
}

/* ==== 198: co-measurement by neighbouring access points ==== */

static bool ZEP_STAMEAS_IsValidCoMeasReqMsg(const void *msg, u32 len)
{
    u32 ret = ZEP_MNG_CheckMsgValid(msg, len, COMEAS_NB_MSG_HEAD_LEN);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "msg err %u, msgLen %u.\r\n", ret, len);
        return false;
    }
    u8 staNum = static_cast<const CoMeasToNbMsgHead *>(msg)->staNum;
    if (CoMeasIsBadNum(staNum)) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "co-measure request sta num %u invalid.\r\n",
                    static_cast<u32>(staNum));
        return false;
    }
    ret = ZEP_MNG_CheckMsgValid(msg, len, COMEAS_NB_MSG_LEN(staNum));
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "msg err %u, msgLen %u, staNum %u.\r\n", ret, len,
                    static_cast<u32>(staNum));
        return false;
    }
    return true;
}

static u32 ZEP_STAMEAS_CoMeasReqProc(void *msg, u32 len)
{
    if (!ZEP_STAMEAS_IsValidCoMeasReqMsg(msg, len)) {
        return STAMEAS_ERR_INVALID_MSG;
    }
    u8 *buf = static_cast<u8 *>(ZEP_MALLOC_ZERO(COMEAS_NB_BUF_LEN));
    if (buf == nullptr) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "malloc fail, size %u.\r\n", COMEAS_NB_BUF_LEN);
        return STAMEAS_ERR_NO_MEM;
    }
    ZEP_NB_WalkApVapWithP2(ZEP_STAMEAS_SendCoMeasToSpecNb, msg, buf);
    if (g_coMeasReqBufLeft != COMEAS_NB_BUF_LEN) {
        u32 ret = ZEP_MNG_SendIPCMsg(ZEP_DEST_ALL, STAMEAS_IPC_NB_COMEAS_REQ, buf,
                                     COMEAS_NB_BUF_LEN - g_coMeasReqBufLeft, 0);
        if (ret != STAMEAS_OK) {
            STAMEAS_LOG(ZEP_DBG_ERROR, "send nb co-measure request fail %u.\r\n", ret);
        }
        g_coMeasReqBufLeft = COMEAS_NB_BUF_LEN;
    }
    ZEP_FREE(buf);
    return STAMEAS_OK;
}

/* Appends this neighbour's block and flushes as soon as the room left could
 * not take another block of the largest size this request can give, so a
 * block is never split across two messages. */
static u32 ZEP_STAMEAS_SendCoMeasToSpecNb(const ZEP_NB_ApRecord *nb, void *req, void *buf)
{
    const CoMeasToNbMsg *msg = static_cast<const CoMeasToNbMsg *>(req);
    u8 checkSsid = (msg->head.flags & COMEAS_NB_FLAG_CHECK_SSID) != 0 ? 1 : 0;
    u8 isSendOnScan = (msg->head.flags & COMEAS_NB_FLAG_SEND_ON_SCAN) != 0 ? 1 : 0;
    u32 offset = COMEAS_NB_BUF_LEN - g_coMeasReqBufLeft;
    /* Blocks are 4-byte multiples, so every block head is aligned like the buffer;
     * the room left always holds a block of this request's largest size. */
    auto *block =
        static_cast<NbCoMeasReqBlockHead *>(static_cast<void *>(static_cast<u8 *>(buf) + offset));
    auto *records = static_cast<CoMeasStaRec *>(static_cast<void *>(block + 1));
    const u8 *nbMac = nb->bssid;
    u32 k = 0;

    for (u32 i = 0; i < msg->head.staNum; i++) {
        const CoMeasStaRec *sta = &msg->sta[i];
        if (!ZEP_STAMEAS_IsNbSatisfyCoMeas(sta, nb, checkSsid, isSendOnScan)) {
            STAMEAS_STA_LOG(ZEP_DBG_NOTE, sta->staMac,
                            "nb[" STAMEAS_MAC_FMT
                            "] checkSsid:%u isSendOnScan:%u not satisfied.\r\n",
                            STAMEAS_MAC_ARGS(nbMac), static_cast<u32>(checkSsid),
                            static_cast<u32>(isSendOnScan));
            continue;
        }
        STAMEAS_STA_LOG(ZEP_DBG_NOTE, sta->staMac,
                        "nb[" STAMEAS_MAC_FMT "] checkSsid:%u isSendOnScan:%u satisfied.\r\n",
                        STAMEAS_MAC_ARGS(nbMac), static_cast<u32>(checkSsid),
                        static_cast<u32>(isSendOnScan));
        block->staTag[k] = msg->head.staTag[i];
        records[k] = *sta;
        ZEP_STAMEAS_CoMeasStatsSetCoMeasReq(sta->radioId);
        k++;
    }
    if (k == 0) {
        STAMEAS_LOG(ZEP_DBG_NOTE, "no sta can be measured by nb " STAMEAS_MAC_FMT "\r\n",
                    STAMEAS_MAC_ARGS(nbMac));
        return STAMEAS_OK;
    }
    memcpy_s(block->nbMac, sizeof(block->nbMac), nbMac, sizeof(block->nbMac));
    block->nbRecByte0 =
        isSendOnScan != 0 ? nb->recByte0 : static_cast<u8>(nb->recByte0 - COMEAS_NB_REC_BYTE0_BIAS);
    block->staNum = static_cast<u8>(k);
    g_coMeasReqBufLeft -= COMEAS_NB_BLOCK_SIZE(k);
    if (g_coMeasReqBufLeft >= COMEAS_NB_BLOCK_SIZE(msg->head.staNum)) {
        return STAMEAS_OK;
    }
    u32 ret = ZEP_MNG_SendIPCMsg(ZEP_DEST_ALL, STAMEAS_IPC_NB_COMEAS_REQ, buf,
                                 COMEAS_NB_BUF_LEN - g_coMeasReqBufLeft, 0);
    g_coMeasReqBufLeft = COMEAS_NB_BUF_LEN;
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "send nb co-measure request fail %u.\r\n", ret);
        return ret;
    }
    STAMEAS_LOG(ZEP_DBG_NOTE,
                "send co-measure request success to nb " STAMEAS_MAC_FMT ", staNum %u.\r\n",
                STAMEAS_MAC_ARGS(nbMac), k);
    return STAMEAS_OK;
}

/* A neighbour measuring while it scans is not tied to a channel: it only needs
 * to know its own scan EIRP there, and the first VAP on the band decides. */
static bool ZEP_STAMEAS_IsNbSatisfyCoMeas(const CoMeasStaRec *sta, const ZEP_NB_ApRecord *nb,
                                          u8 checkSsid, u8 isSendOnScan)
{
    u32 band = ZEP_STA_GetRadioFreq(sta->radioId);
    u32 vapNum = nb->vapNum < ZEP_NB_MAX_VAP ? nb->vapNum : ZEP_NB_MAX_VAP;
    for (u32 v = 0; v < vapNum; v++) {
        const ZEP_NB_VapEntry *vap = &nb->vap[v];
        if (vap->band != band) {
            continue;
        }
        if (checkSsid != 0 && ZEP_StrnCmp(vap->ssid, sta->ssid, COMEAS_NB_SSID_LEN) != 0) {
            continue;
        }
        if (isSendOnScan != 0) {
            s8 eirp = 0;
            return ZEP_NB_GetNbScanEirp(nb, sta->channel, sta->selector, &eirp) == 0;
        }
        if (vap->channel == sta->channel) {
            return true;
        }
    }
    return false;
}

/* ==== 34 / 181: sending on scan; registration ==== */

static bool ZEP_STAMEAS_IsValidCoMeasScanMsg(const void *msg, u32 len)
{
    u32 ret = ZEP_MNG_CheckMsgValid(msg, len, sizeof(ScanStateMsg));
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "msg err %u, msgLen %u.\r\n", ret, len);
        return false;
    }
    const ScanStateMsg *scan = static_cast<const ScanStateMsg *>(msg);
    if (ZEP_PROFILE_IsValidRadioId(scan->radioId) == 0) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "invalid radioId %u.\r\n", scan->radioId);
        return false;
    }
    if (scan->channel > COMEAS_MAX_CHANNEL) {
        STAMEAS_LOG(ZEP_DBG_NOTE, "radioId[%u] invalid channel %u.\r\n", scan->radioId,
                    scan->channel);
        return false;
    }
    return true;
}

/* A channel the radio has been seen scanning becomes capable even while
 * measurement is off, so that the records wait for a later scan. */
static u32 ZEP_STAMEAS_ScanStateChangeProc(void *msg, u32 len)
{
    u32 startTick = ZEP_GetTick();
    if (!ZEP_STAMEAS_IsValidCoMeasScanMsg(msg, len)) {
        return STAMEAS_ERR_INVALID_MSG;
    }
    const ScanStateMsg *scan = static_cast<const ScanStateMsg *>(msg);
    bool onScan = scan->scanState == STAMEAS_SCAN_STATE_ON;
    ZEP_STAMEAS_SetRadioOnScanState(scan->radioId, onScan ? 1 : 0);
    if (!onScan) {
        return STAMEAS_OK;
    }
    ZEP_STAMEAS_SetCoMeasSupport(scan->radioId, scan->channel);
    if (ZEP_STAMEAS_IsMeasEnable(scan->radioId) != 0) {
        ZEP_STAMEAS_SendAllCoMeasReq(scan->radioId, scan->channel);
    } else {
        STAMEAS_LOG(ZEP_DBG_NOTE, "radio %u cant send co-measure request as meas-disabled.\r\n",
                    scan->radioId);
    }
    ZEP_STAMEAS_SetMeasCostTick("ZEP_STAMEAS_ScanStateChangeProc", &g_scanStateChangeCost,
                                startTick);
    return STAMEAS_OK;
}

/* The send count is shared by every pass, so one scan sends at most 16
 * requests plus one per later pass however many records repeat. */
static void ZEP_STAMEAS_SendAllCoMeasReq(u32 radioId, u32 channel)
{
    ZEP_SLL_Head *list = ZEP_STAMEAS_GetCoMeasStaList(radioId, channel);
    if (list == nullptr) {
        return;
    }
    u32 passNum = static_cast<u32>(ZEP_STAMEAS_GetCoMeasRepeatSendCnt(radioId)) + 1u;
    STAMEAS_LOG(ZEP_DBG_NOTE, "radio %u channel %u trigger co-measure, sendCnt %u.\r\n", radioId,
                channel, passNum);
    u32 sendCnt = 0;
    for (u32 pass = 0; pass < passNum; pass++) {
        ZEP_STAMEAS_TraverseCoMeasList(list, ZEP_STAMEAS_SendAndDelMeasReq, &sendCnt);
    }
    ZEP_STAMEAS_TraverseCoMeasList(list, ZEP_STAMEAS_DelSentCoMeasReq, nullptr);
}

/* A failed send counts as sent: the scan is over before a retry could go out. */
static u32 ZEP_STAMEAS_SendAndDelMeasReq(ZEP_SLL_Head *list, CoMeasInfo *info, void *sendCnt)
{
    u32 *cnt = static_cast<u32 *>(sendCnt);
    u32 ret = ZEP_MNG_SendMsg(ZEP_DEST_ALL, 0, info->measId, info->reqBody, COMEAS_REQ_BODY_LEN);
    if (ret == STAMEAS_OK) {
        STAMEAS_STA_LOG(ZEP_DBG_NOTE, info->staMac,
                        "Send No.%u co-measure request %u successful.\r\n", *cnt, info->measId);
    } else {
        STAMEAS_STA_LOG(ZEP_DBG_ERROR, info->staMac,
                        "Send No.%u co-measure request %u fail %u.\r\n", *cnt, info->measId, ret);
    }
    info->flags |= COMEAS_INFO_FLAG_REQ_SENT;
    (*cnt)++;
    if ((info->flags & COMEAS_INFO_FLAG_REPEAT_SEND) == 0) {
        ZEP_STAMEAS_DelCoMeasNode(list, &COMEAS_NODE_OF_INFO(info)->link);
    }
    return *cnt >= COMEAS_LIST_MAX ? STAMEAS_WALK_STOP : STAMEAS_OK;
}

static u32 ZEP_STAMEAS_DelSentCoMeasReq(ZEP_SLL_Head *list, CoMeasInfo *info, void * /*unused*/)
{
    if ((info->flags & COMEAS_INFO_FLAG_REQ_SENT) != 0) {
        ZEP_STAMEAS_DelCoMeasNode(list, &COMEAS_NODE_OF_INFO(info)->link);
    }
    return STAMEAS_OK;
}

/* Only scanned channels are capable; a new channel set starts from none. */
static u32 ZEP_STAMEAS_ScanChanSetChangeProc(void *msg, u32 len)
{
    u32 ret = ZEP_MNG_CheckMsgValid(msg, len, sizeof(ScanChanSetMsg));
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "msg err %u, msgLen %u.\r\n", ret, len);
        return STAMEAS_ERR_INVALID_MSG;
    }
    u32 radioId = static_cast<const ScanChanSetMsg *>(msg)->radioId;
    STAMEAS_LOG(ZEP_DBG_NOTE, "Radio %u scan channel set update.\r\n", radioId);
    ZEP_STAMEAS_FreeRadioCoMeasList(radioId);
    return STAMEAS_OK;
}

/* Registration order matters: a failure stops it, leaving the earlier ones.
 * Macros rather than a table so that each line keeps its own literal format. */
#define COMEAS_REG_OR_RETURN(msgId, handler, fmt)                                                  \
    do {                                                                                           \
        u32 regRet = ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, STAMEAS_APP_ID, (msgId), 0, (handler));    \
        if (regRet != STAMEAS_OK) {                                                                \
            STAMEAS_LOG(ZEP_DBG_ERROR, fmt, regRet);                                               \
            return regRet;                                                                         \
        }                                                                                          \
    } while (0)

#define COMEAS_UNREG(msgId, handler, fmt)                                                          \
    do {                                                                                           \
        u32 unregRet = ZEP_MNG_UnRegMsg(ZEP_MSG_KIND_EVENT, STAMEAS_APP_ID, (msgId), (handler));   \
        if (unregRet != STAMEAS_OK) {                                                              \
            STAMEAS_LOG(ZEP_DBG_ERROR, fmt, unregRet);                                             \
        }                                                                                          \
    } while (0)

STAMEAS_INNER u32 ZEP_STAMEAS_CoMeasFuncInit(void)
{
    COMEAS_REG_OR_RETURN(STAMEAS_MSG_COMEAS_START, ZEP_STAMEAS_CoMeasStartProc,
                         "reg sta co-measure start msg failed %u.\r\n");
    COMEAS_REG_OR_RETURN(STAMEAS_MSG_COMEAS_STOP, ZEP_STAMEAS_CoMeasStopProc,
                         "reg sta co-measure stop msg failed %u.\r\n");
    COMEAS_REG_OR_RETURN(STAMEAS_MSG_SCAN_STATE, ZEP_STAMEAS_ScanStateChangeProc,
                         "reg scan state change msg failed %u.\r\n");
    COMEAS_REG_OR_RETURN(STAMEAS_MSG_COMEAS_TO_NB, ZEP_STAMEAS_CoMeasReqProc,
                         "reg co-measure to nb msg failed %u.\r\n");
    COMEAS_REG_OR_RETURN(STAMEAS_MSG_SCAN_CHAN_SET, ZEP_STAMEAS_ScanChanSetChangeProc,
                         "reg scan channel set change msg failed %u.\r\n");
    return STAMEAS_OK;
}

STAMEAS_INNER void ZEP_STAMEAS_CoMeasFuncDeInit(void)
{
    COMEAS_UNREG(STAMEAS_MSG_COMEAS_START, ZEP_STAMEAS_CoMeasStartProc,
                 "Unreg sta co-measure start msg failed %u.\r\n");
    COMEAS_UNREG(STAMEAS_MSG_COMEAS_STOP, ZEP_STAMEAS_CoMeasStopProc,
                 "Unreg sta co-measure stop msg failed %u.\r\n");
    COMEAS_UNREG(STAMEAS_MSG_SCAN_STATE, ZEP_STAMEAS_ScanStateChangeProc,
                 "Unreg sta co-measure scan msg failed %u.\r\n");
    COMEAS_UNREG(STAMEAS_MSG_COMEAS_TO_NB, ZEP_STAMEAS_CoMeasReqProc,
                 "Unreg co-measure to nb msg failed %u.\r\n");
    COMEAS_UNREG(STAMEAS_MSG_SCAN_CHAN_SET, ZEP_STAMEAS_ScanChanSetChangeProc,
                 "Unreg scan channel set change msg failed %u.\r\n");
}
