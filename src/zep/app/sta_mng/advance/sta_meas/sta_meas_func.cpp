/* sta-meas measurement functions: the start, stop and station-leave handlers,
 * the periodic timer that sends requests, and the hosts' shares of a node. */
#include "sta_meas_inner.h"

#define STAMEAS_FILE_CAT STAMEAS_CAT_MEAS_FUNC

/* Operations of this file alone, with the C linkage of every operation of the
 * application: the framework calls some of them back through pointers. */
extern "C" {
static u32 ZEP_STAMEAS_GetAutoMeasId(const StaMeasKey *key);
static u32 ZEP_STAMEAS_FillAutoMeasValue(StaMeasInfo *info, u8 host);
static u32 ZEP_STAMEAS_FillMeasInfoBesidesKey(StaMeasInfo *info, const StaMeasReq *measReq,
                                              const StaMeasSched *sched, u8 host, u8 isAutoMeas);
static void ZEP_STAMEAS_CreateMeasTimer(void);
static void ZEP_STAMEAS_StopMeasTimer(void);
static u32 ZEP_STAMEAS_MeasTimerTimeout(void *msg, u32 len);
static u32 ZEP_STAMEAS_SendMeasureReq(StaMeasInfo *info, void *sendNo, void *needSort);
static void ZEP_STAMEAS_SelectMeasHost(StaMeasInfo *info, u8 *selHost, u8 *changed);
static u8 ZEP_STAMEAS_AutoMeasResultChk(StaMeasInfo *info);
static void ZEP_STAMEAS_SwitchAutoMeasId(StaMeasInfo *info);
static u8 ZEP_STAMEAS_UpdateMeasCount(StaMeasInfo *info, u8 host, u16 weight);
static bool ZEP_STAMEAS_IsValidMeasStartMsg(const void *msg, u32 len);
static bool ZEP_STAMEAS_IsValidMeasStopMsg(const void *msg, u32 len);
static u32 ZEP_STAMEAS_FindAndUpdateMeasInfo(const StaMeasStartMsg *msg, u32 *idxList,
                                             u32 capacity);
static void ZEP_STAMEAS_AddNewMeasInfo(const StaMeasStartMsg *msg, const u32 *idxList, u32 idxNum);
static u32 ZEP_STAMEAS_MeasStartProc(void *msg, u32 len);
static u32 ZEP_STAMEAS_StopHostMeas(StaMeasInfo *info, void *host, void *needSort);
static u32 ZEP_STAMEAS_StopHostMeasByKey(StaMeasInfo *info, void *host, void *stopKey,
                                         void *needSort);
static u32 ZEP_STAMEAS_MeasStopProc(void *msg, u32 len);
static u32 ZEP_STAMEAS_StaDelPrimProc(u32 arg1, u32 arg2, u32 arg3, void *sta);
}

StaMeasTimerState g_staMeasTimer = {};

static MeasCostInfo g_staMeasStartCost;
static MeasCostInfo g_staMeasStopCost;
static MeasCostInfo g_staMeasLeaveCost;

#define STAMEAS_STA_LEAVE_PRIORITY 1000u
#define STAMEAS_STA_LEAVE_NAME "sta_meas_del"
#define STAMEAS_TOKEN_MAX 143u /* requests built here carry tokens 1..143 */

/* ---- Host shares ---- */

static u32 ZEP_STAMEAS_GetAutoMeasId(const StaMeasKey *key)
{
    const ZEP_UAM_StaInfo *sta = ZEP_UAM_FindStaInfo(key->staMac);
    if (sta == nullptr) {
        STAMEAS_STA_LOG(ZEP_DBG_ERROR, key->staMac, "cant find sta info.\r\n");
        return STAMEAS_AUTO_MEAS_ID;
    }
    if (UMAC_BITMAP_IsBitUp(sta->capBitmap, ZEP_STA_CAP_LINK_MEAS) != 0) {
        return STAMEAS_MSG_LM_REQ;
    }
    if (UMAC_BITMAP_IsBitUp(sta->capBitmap, ZEP_STA_CAP_TPC_REQ) != 0) {
        return STAMEAS_MSG_TPC_REQ;
    }
    return STAMEAS_AUTO_MEAS_ID;
}

/* Bytes 17..19 of the request are left as they are: zero in a new node. The
 * one caller has checked host already. */
static u32 ZEP_STAMEAS_FillAutoMeasValue(StaMeasInfo *info, u8 host)
{
    const ZEP_UAM_StaInfo *sta = ZEP_UAM_FindStaInfo(info->staMac);
    if (sta == nullptr) {
        STAMEAS_STA_LOG(ZEP_DBG_ERROR, info->staMac, "cant find sta info.\r\n");
        return STAMEAS_ERR;
    }
    StaMeasReq *req = &info->hostReq[host];
    u32 token = sta->tokenCounter % STAMEAS_TOKEN_MAX;
    req->radioId = sta->radioId;
    req->vapId = sta->vapId;
    memcpy_s(req->staMac, sizeof(req->staMac), info->staMac, sizeof(info->staMac));
    req->tokenId = (u8)(token == 0 ? STAMEAS_TOKEN_MAX : token);
    req->curEirp = ZEP_STA_GetRadioCurEirp(sta->radioId);
    req->maxPower = (u8)ZEP_STA_GetRadioMaxPower(sta->radioId);
    return STAMEAS_OK;
}

/* A refused share leaves the node exactly as it was. */
static u32 ZEP_STAMEAS_FillMeasInfoBesidesKey(StaMeasInfo *info, const StaMeasReq *measReq,
                                              const StaMeasSched *sched, u8 host, u8 isAutoMeas)
{
    STAMEAS_STA_LOG(ZEP_DBG_NOTE, info->staMac,
                    "measId:%u host:%u isLoop:%u periodInSec:%u count:%u isAutoMeas:%d "
                    "hostBitmap:0x%x weight:%u.\r\n",
                    info->measId, (u32)host, (u32)sched->isLoop, (u32)sched->periodInSec,
                    (u32)sched->count, (int)isAutoMeas, info->hostBitmap, (u32)info->weight);
    if (host >= STAMEAS_HOST_NUM) {
        return STAMEAS_ERR;
    }
    if (isAutoMeas != 0 || measReq == nullptr) {
        if (ZEP_STAMEAS_FillAutoMeasValue(info, host) != STAMEAS_OK) {
            return STAMEAS_ERR;
        }
    } else {
        memcpy_s(&info->hostReq[host], sizeof(StaMeasReq), measReq, sizeof(StaMeasReq));
    }
    if (UMAC_BITMAP_IsBitUp(&info->hostBitmap, host) == 0) {
        info->weight = (u16)(info->weight + ZEP_STAMEAS_GetHostWeight(host));
        (void)UMAC_BITMAP_SetBit(&info->hostBitmap, host);
    }
    (void)UMAC_BITMAP_SetBitValue(&info->autoMeasBitmap, host, isAutoMeas != 0 ? 1 : 0);
    memcpy_s(&info->hostSched[host], sizeof(StaMeasSched), sched, sizeof(StaMeasSched));
    return STAMEAS_OK;
}

/* ---- Timer ---- */

static void ZEP_STAMEAS_CreateMeasTimer(void)
{
    ZEP_TimerInfo timer;
    memset_s(&timer, sizeof(timer), 0, sizeof(timer));
    u32 ret = ZEP_MNG_FillTimerRegInfo(STAMEAS_TIMER_PERIOD_MS, 1, 0, &timer);
    if (ret == STAMEAS_OK) {
        ret = ZEP_MNG_FillTimerMsgInfo(STAMEAS_APP_ID, STAMEAS_MSG_MEAS_TIMER,
                                       ZEP_STAMEAS_MeasTimerTimeout, &timer);
    }
    if (ret == STAMEAS_OK) {
        ret = ZEP_MNG_StartTimer(&timer, &g_staMeasTimer.timerId);
    }
    if (ret != STAMEAS_OK) {
        /* The next start creates the timer only while the id reads 0. */
        g_staMeasTimer.timerId = 0;
        STAMEAS_LOG(ZEP_DBG_ERROR, "sta measure timer create fail %u.\r\n", ret);
        return;
    }
    STAMEAS_LOG(ZEP_DBG_NOTE, "sta measure timer create successful, timerId %u.\r\n",
                g_staMeasTimer.timerId);
    g_staMeasTimer.loopCnt = 0;
}

/* The id is left to the framework: it is cleared only if the framework does so. */
static void ZEP_STAMEAS_StopMeasTimer(void)
{
    if (g_staMeasTimer.timerId == 0) {
        return;
    }
    u32 ret = ZEP_MNG_StopTimer(&g_staMeasTimer.timerId, g_staMeasTimer.timerId);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "sta measure timer stop fail %u, loopCnt %llu.\r\n", ret,
                    (unsigned long long)g_staMeasTimer.loopCnt);
        return;
    }
    STAMEAS_LOG(ZEP_DBG_NOTE, "sta measure timer stop successful, loopCnt %llu.\r\n",
                (unsigned long long)g_staMeasTimer.loopCnt);
}

/* One radio's round: requests from the front of its list, then its order and
 * its co-measurement statistics. */
static void ZEP_STAMEAS_MeasRadioTimeout(u32 radioId)
{
    u32 sendNo = 0;
    u8 needSort = 0;
    ZEP_STAMEAS_WalkMeasTbl2(radioId, ZEP_STAMEAS_SendMeasureReq, &sendNo, &needSort);
    if (needSort != 0 && ZEP_STAMEAS_GetMeasTblSize(radioId) > STAMEAS_MAX_SEND_PER_RADIO) {
        ZEP_STAMEAS_SortMeasTbl(radioId);
    }
    (void)ZEP_STAMEAS_LogCoMeasStats(radioId);
}

static u32 ZEP_STAMEAS_MeasTimerTimeout(void * /*msg*/, u32 /*len*/)
{
    u32 startTick = ZEP_GetTick();
    for (u32 radioId = 0; radioId < ZEP_PROFILE_GetMaxRadioNum(); radioId++) {
        if (ZEP_STAMEAS_IsMeasEnable(radioId) == 0) {
            STAMEAS_LOG(ZEP_DBG_NOTE, "radio %u dont send measure request as meas-disabled.\r\n",
                        radioId);
            continue;
        }
        ZEP_STAMEAS_MeasRadioTimeout(radioId);
    }
    g_staMeasTimer.loopCnt++;
    ZEP_STAMEAS_SetMeasCostTick(__func__, &g_staMeasTimer.cost, startTick);
    return STAMEAS_OK;
}

/* At most one request per node per expiry; 60 ends the radio's round once
 * it has had its share of successful sends. */
static u32 ZEP_STAMEAS_SendMeasureReq(StaMeasInfo *info, void *sendNo, void *needSort)
{
    u32 *sendNum = static_cast<u32 *>(sendNo);
    u8 selHost = STAMEAS_HOST_NONE;
    u8 changed = 0;

    if (info->skipNextReq != 0) {
        info->skipNextReq = 0;
        STAMEAS_STA_LOG(ZEP_DBG_NOTE, info->staMac, "new sta dont measure.\r\n");
        return STAMEAS_OK;
    }
    ZEP_STAMEAS_SelectMeasHost(info, &selHost, &changed);
    if (selHost < STAMEAS_HOST_NUM) {
        u32 ret = ZEP_MNG_SendMsg(ZEP_DEST_ALL, 0, info->measId, &info->hostReq[selHost],
                                  sizeof(StaMeasReq));
        if (ret == STAMEAS_OK) {
            STAMEAS_STA_LOG(ZEP_DBG_NOTE, info->staMac,
                            "Send No.%u measure request %u successful, total %u.\r\n", *sendNum,
                            info->measId, info->reqNum);
            info->reqNum++;
            (*sendNum)++;
        } else {
            STAMEAS_STA_LOG(ZEP_DBG_ERROR, info->staMac,
                            "Send No.%u measure request %u fail %u.\r\n", *sendNum, info->measId,
                            ret);
        }
    }
    if (info->hostBitmap == 0) {
        ZEP_STAMEAS_DelMeasNode(STAMEAS_NODE_OF_INFO(info));
    }
    if (changed != 0) {
        *static_cast<u8 *>(needSort) = 1;
    }
    return *sendNum >= STAMEAS_MAX_SEND_PER_RADIO ? STAMEAS_WALK_STOP : STAMEAS_OK;
}

/* Periods are counted on the shared expiry number, not from the host's start. */
static bool ZEP_STAMEAS_IsHostDue(const StaMeasSched *sched)
{
    if ((sched->isLoop == 0 && sched->count == 0) || sched->periodInSec == 0) {
        return false;
    }
    return g_staMeasTimer.loopCnt % sched->periodInSec == 0;
}

/* Every due host uses up a request, though only the heaviest one's is sent. */
static void ZEP_STAMEAS_SelectMeasHost(StaMeasInfo *info, u8 *selHost, u8 *changed)
{
    u16 bestWeight = 0;
    *selHost = STAMEAS_HOST_NONE;
    for (u8 host = 0; host < STAMEAS_HOST_NUM; host++) {
        if (UMAC_BITMAP_IsBitUp(&info->hostBitmap, host) == 0) {
            continue;
        }
        if (UMAC_BITMAP_IsBitUp(&info->autoMeasBitmap, host) != 0 &&
            ZEP_STAMEAS_AutoMeasResultChk(info) == 0) {
            ZEP_STAMEAS_SwitchAutoMeasId(info);
            *changed = 1;
            continue;
        }
        if (!ZEP_STAMEAS_IsHostDue(&info->hostSched[host])) {
            continue;
        }
        u16 weight = (u16)ZEP_STAMEAS_GetHostWeight(host);
        if (*selHost == STAMEAS_HOST_NONE || weight > bestWeight) {
            *selHost = host;
            bestWeight = weight;
        }
        if (ZEP_STAMEAS_UpdateMeasCount(info, host, weight) != 0) {
            *changed = 1;
        }
    }
}

/* A host whose count runs out leaves the node, but its request still goes out
 * in this visit when it is the chosen one. */
static u8 ZEP_STAMEAS_UpdateMeasCount(StaMeasInfo *info, u8 host, u16 weight)
{
    StaMeasSched *sched = &info->hostSched[host];
    if (sched->isLoop != 0) {
        return 0;
    }
    sched->count--;
    if (sched->count != 0) {
        return 0;
    }
    info->weight = info->weight < weight ? 0 : (u16)(info->weight - weight);
    (void)UMAC_BITMAP_ClearBit(&info->hostBitmap, host);
    return 1;
}

/* One report at any time confirms the node for good. */
static u8 ZEP_STAMEAS_AutoMeasResultChk(StaMeasInfo *info)
{
    if (info->reportChecked != 0) {
        return info->reportChecked;
    }
    if (info->reqNum < STAMEAS_AUTO_MEAS_GIVE_UP_REQ) {
        return 1;
    }
    if (info->reportNum != 0) {
        info->reportChecked = 1;
        return 1;
    }
    STAMEAS_STA_LOG(ZEP_DBG_NOTE, info->staMac,
                    "sta dont support measId %u, reqNum %u reportNum %u hostBitmap 0x%x "
                    "autoMeasBitmap 0x%x.\r\n",
                    info->measId, info->reqNum, 0u, info->hostBitmap, info->autoMeasBitmap);
    return 0;
}

/* The station's 169 node, made on the 167 node's radio when missing; null for
 * any other id or when the table refuses it. */
static StaMeasInfo *ZEP_STAMEAS_GetSwitchTarget(const StaMeasInfo *info, u8 *added)
{
    *added = 0;
    if (info->measId != STAMEAS_MSG_LM_REQ) {
        return nullptr;
    }
    StaMeasKey key;
    ZEP_STAMEAS_MakeMeasKey(&key, info->staMac, STAMEAS_MSG_TPC_REQ);
    StaMeasInfo *target = ZEP_STAMEAS_FindMeasInfo(&key);
    if (target == nullptr) {
        target = ZEP_STAMEAS_AddMeasInfo(info->radioId, &key);
        *added = target != nullptr ? 1 : 0;
    }
    return target;
}

/* Moves the automatic hosts of a silent station from its link-measurement node
 * to its TPC node, or drops them. The node keeps its weight; the visit deletes
 * it when no host is left. A 169 node that existed before is never deleted
 * here: the walk may already hold it as the next node to visit. */
static void ZEP_STAMEAS_SwitchAutoMeasId(StaMeasInfo *info)
{
    u8 added = 0;
    StaMeasInfo *target = ZEP_STAMEAS_GetSwitchTarget(info, &added);
    for (u8 host = 0; host < STAMEAS_HOST_NUM; host++) {
        if (UMAC_BITMAP_IsBitUp(&info->hostBitmap, host) == 0 ||
            UMAC_BITMAP_IsBitUp(&info->autoMeasBitmap, host) == 0) {
            continue;
        }
        if (target != nullptr &&
            ZEP_STAMEAS_FillMeasInfoBesidesKey(target, &info->hostReq[host], &info->hostSched[host],
                                               host, 1) != STAMEAS_OK) {
            if (added != 0) {
                ZEP_STAMEAS_DelMeasNode(STAMEAS_NODE_OF_INFO(target));
            }
            target = nullptr;
        }
        (void)UMAC_BITMAP_ClearBit(&info->hostBitmap, host);
        (void)UMAC_BITMAP_ClearBit(&info->autoMeasBitmap, host);
    }
}

STAMEAS_INNER void ZEP_STAMEAS_StatsMeasResult(const u8 *staMac, u32 measId)
{
    StaMeasKey key;
    ZEP_STAMEAS_MakeMeasKey(&key, staMac, measId);
    StaMeasInfo *info = ZEP_STAMEAS_FindMeasInfo(&key);
    if (info == nullptr) {
        return;
    }
    info->reportNum++;
    STAMEAS_STA_LOG(ZEP_DBG_NOTE, info->staMac, "meas report received %u/%u.\r\n", info->reportNum,
                    info->reqNum);
}

/* ---- Start, stop and station leave ---- */

static bool ZEP_STAMEAS_IsBadMsgNum(u8 num)
{
    return num == 0 || num > STAMEAS_STA_MAX_NUM;
}

/* Start and stop share their header and length checks. */
static bool ZEP_STAMEAS_IsValidMeasMsg(const char *fn, const void *msg, u32 len, u32 entrySize)
{
    u32 ret = ZEP_MNG_CheckMsgValid(msg, len, sizeof(StaMeasMsgHead));
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG_AS(fn, ZEP_DBG_ERROR, "msg err %u, msgLen %u.\r\n", ret, len);
        return false;
    }
    const StaMeasMsgHead *head = static_cast<const StaMeasMsgHead *>(msg);
    if (ZEP_PROFILE_IsValidRadioId(head->radioId) != 1) {
        STAMEAS_LOG_AS(fn, ZEP_DBG_ERROR, "invalid radioId %u.\r\n", head->radioId);
        return false;
    }
    if (ZEP_STAMEAS_IsBadMsgNum(head->num)) {
        STAMEAS_LOG_AS(fn, ZEP_DBG_ERROR, "invalid num %u.\r\n", (u32)head->num);
        return false;
    }
    ret = ZEP_MNG_CheckMsgValid(msg, len, sizeof(StaMeasMsgHead) + entrySize * head->num);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG_AS(fn, ZEP_DBG_ERROR, "msg err %u, msgLen %u, num %u.\r\n", ret, len,
                       (u32)head->num);
        return false;
    }
    if (head->host >= STAMEAS_HOST_NUM) {
        STAMEAS_LOG_AS(fn, ZEP_DBG_ERROR, "invalid host %u.\r\n", (u32)head->host);
        return false;
    }
    return true;
}

static bool ZEP_STAMEAS_IsValidMeasStartMsg(const void *msg, u32 len)
{
    return ZEP_STAMEAS_IsValidMeasMsg(__func__, msg, len, sizeof(StaMeasStartEntry));
}

static bool ZEP_STAMEAS_IsValidMeasStopMsg(const void *msg, u32 len)
{
    return ZEP_STAMEAS_IsValidMeasMsg(__func__, msg, len, sizeof(StaMeasStopEntry));
}

static u8 ZEP_STAMEAS_IsAutoEntry(const StaMeasStartEntry *entry)
{
    return entry->measId == STAMEAS_AUTO_MEAS_ID ? 1 : 0;
}

/* The key of a start entry; an automatic entry takes the id the station's
 * capabilities allow, which may stay unresolved. */
static void ZEP_STAMEAS_BuildStartKey(const StaMeasStartEntry *entry, StaMeasKey *key)
{
    ZEP_STAMEAS_MakeMeasKey(key, entry->staMac, entry->measId);
    if (ZEP_STAMEAS_IsAutoEntry(entry) != 0) {
        key->measId = ZEP_STAMEAS_GetAutoMeasId(key);
    }
}

static u32 ZEP_STAMEAS_FindAndUpdateMeasInfo(const StaMeasStartMsg *msg, u32 *idxList, u32 capacity)
{
    u32 idxNum = 0;
    for (u32 i = 0; i < msg->head.num; i++) {
        const StaMeasStartEntry *entry = &msg->entry[i];
        StaMeasKey key;
        ZEP_STAMEAS_BuildStartKey(entry, &key);
        if (ZEP_STAMEAS_IsAutoMeasId(key.measId) == 0) {
            STAMEAS_STA_LOG(ZEP_DBG_NOTE, key.staMac, "unsupport measId %u.\r\n", key.measId);
            continue;
        }
        StaMeasInfo *info = ZEP_STAMEAS_FindMeasInfo(&key);
        if (info != nullptr) {
            (void)ZEP_STAMEAS_FillMeasInfoBesidesKey(info, &entry->measReq, &entry->sched,
                                                     msg->head.host,
                                                     ZEP_STAMEAS_IsAutoEntry(entry));
        } else if (idxNum < capacity) {
            idxList[idxNum++] = i;
        }
    }
    return idxNum;
}

/* A key named twice in one message is looked up again before it is added, so
 * the second entry updates the node the first one made: the shared hash must
 * never hold a key twice. */
static void ZEP_STAMEAS_AddNewMeasInfo(const StaMeasStartMsg *msg, const u32 *idxList, u32 idxNum)
{
    const StaMeasMsgHead *head = &msg->head;
    ZEP_STAMEAS_ChkAndCutTblForNewMeas(head->radioId, (u8)idxNum,
                                       (u16)ZEP_STAMEAS_GetHostWeight(head->host));
    for (u32 k = 0; k < idxNum; k++) {
        const StaMeasStartEntry *entry = &msg->entry[idxList[k]];
        StaMeasKey key;
        ZEP_STAMEAS_BuildStartKey(entry, &key);
        if (ZEP_STAMEAS_IsAutoMeasId(key.measId) == 0) {
            STAMEAS_STA_LOG(ZEP_DBG_NOTE, key.staMac, "unsupport measId %u.\r\n", key.measId);
            continue;
        }
        u8 isAutoMeas = ZEP_STAMEAS_IsAutoEntry(entry);
        StaMeasInfo *info = ZEP_STAMEAS_FindMeasInfo(&key);
        if (info != nullptr) {
            (void)ZEP_STAMEAS_FillMeasInfoBesidesKey(info, &entry->measReq, &entry->sched,
                                                     head->host, isAutoMeas);
            continue;
        }
        info = ZEP_STAMEAS_AddMeasInfo(head->radioId, &key);
        if (info == nullptr) {
            return; /* the table is full: the later entries are dropped */
        }
        info->skipNextReq = 1;
        if (ZEP_STAMEAS_FillMeasInfoBesidesKey(info, &entry->measReq, &entry->sched, head->host,
                                               isAutoMeas) != STAMEAS_OK) {
            ZEP_STAMEAS_DelMeasNode(STAMEAS_NODE_OF_INFO(info));
        }
    }
}

static u32 ZEP_STAMEAS_MeasStartProc(void *msg, u32 len)
{
    u32 idxList[STAMEAS_STA_MAX_NUM];
    memset_s(idxList, sizeof(idxList), 0, sizeof(idxList));
    u32 startTick = ZEP_GetTick();
    if (!ZEP_STAMEAS_IsValidMeasStartMsg(msg, len)) {
        return STAMEAS_ERR_INVALID_MSG;
    }
    const StaMeasStartMsg *start = static_cast<const StaMeasStartMsg *>(msg);
    const StaMeasMsgHead *head = &start->head;
    STAMEAS_LOG(ZEP_DBG_NOTE, "Host %u start measure, number %u radio %u.\r\n", (u32)head->host,
                (u32)head->num, head->radioId);
    u32 idxNum = ZEP_STAMEAS_FindAndUpdateMeasInfo(start, idxList, STAMEAS_STA_MAX_NUM);
    if (idxNum != 0) {
        ZEP_STAMEAS_AddNewMeasInfo(start, idxList, idxNum);
    }
    u32 size = ZEP_STAMEAS_GetMeasTblSize(head->radioId);
    if (size > STAMEAS_MAX_SEND_PER_RADIO) {
        ZEP_STAMEAS_SortMeasTbl(head->radioId);
    }
    if (size != 0 && g_staMeasTimer.timerId == 0) {
        ZEP_STAMEAS_CreateMeasTimer();
    }
    ZEP_STAMEAS_SetMeasCostTick(__func__, &g_staMeasStartCost, startTick);
    return STAMEAS_OK;
}

static u32 ZEP_STAMEAS_StopHostMeas(StaMeasInfo *info, void *host, void *needSort)
{
    u8 hostId = *static_cast<const u8 *>(host);
    if (ZEP_STAMEAS_DelHostFromMeasNode(STAMEAS_NODE_OF_INFO(info), hostId) != 0) {
        *static_cast<u8 *>(needSort) = 1;
    }
    return STAMEAS_OK;
}

static u32 ZEP_STAMEAS_StopHostMeasByKey(StaMeasInfo *info, void *host, void *stopKey,
                                         void *needSort)
{
    const StaMeasKey *key = static_cast<const StaMeasKey *>(stopKey);
    if (!ZEP_STAMEAS_IsSameMac(info->staMac, key->staMac)) {
        return STAMEAS_OK;
    }
    if (key->measId != STAMEAS_AUTO_MEAS_ID && key->measId != info->measId) {
        return STAMEAS_OK;
    }
    return ZEP_STAMEAS_StopHostMeas(info, host, needSort);
}

/* Only the message's radio is walked; the timer keeps running even when the
 * tables empty. */
static u32 ZEP_STAMEAS_MeasStopProc(void *msg, u32 len)
{
    u32 startTick = ZEP_GetTick();
    u8 needSort = 0;
    if (!ZEP_STAMEAS_IsValidMeasStopMsg(msg, len)) {
        return STAMEAS_ERR_INVALID_MSG;
    }
    const StaMeasStopMsg *stop = static_cast<const StaMeasStopMsg *>(msg);
    u8 host = stop->head.host;
    u32 radioId = stop->head.radioId;
    STAMEAS_LOG(ZEP_DBG_NOTE, "Host %u stop measure, number %u radioId %u.\r\n", (u32)host,
                (u32)stop->head.num, radioId);
    for (u32 i = 0; i < stop->head.num; i++) {
        const StaMeasStopEntry *entry = &stop->entry[i];
        if (ZEP_STAMEAS_IsBroadcastMac(entry->staMac)) {
            STAMEAS_LOG(ZEP_DBG_NOTE, "Clean table with radioId %u host %u.\r\n", radioId,
                        (u32)host);
            ZEP_STAMEAS_WalkMeasTbl2(radioId, ZEP_STAMEAS_StopHostMeas, &host, &needSort);
            continue;
        }
        STAMEAS_STA_LOG(ZEP_DBG_NOTE, entry->staMac, "Host %u stop measure id %u.\r\n", (u32)host,
                        entry->measId);
        StaMeasKey key;
        ZEP_STAMEAS_MakeMeasKey(&key, entry->staMac, entry->measId);
        ZEP_STAMEAS_WalkMeasTbl3(radioId, ZEP_STAMEAS_StopHostMeasByKey, &host, &key, &needSort);
    }
    if (needSort != 0 && ZEP_STAMEAS_GetMeasTblSize(radioId) > STAMEAS_MAX_SEND_PER_RADIO) {
        ZEP_STAMEAS_SortMeasTbl(radioId);
    }
    ZEP_STAMEAS_SetMeasCostTick(__func__, &g_staMeasStopCost, startTick);
    return STAMEAS_OK;
}

static u32 ZEP_STAMEAS_StaDelPrimProc(u32 /*arg1*/, u32 /*arg2*/, u32 /*arg3*/, void *sta)
{
    u32 startTick = ZEP_GetTick();
    if (sta == nullptr) {
        return STAMEAS_ERR_NULL_STA;
    }
    const u8 *staMac = static_cast<const u8 *>(sta);
    STAMEAS_STA_LOG(ZEP_DBG_NOTE, staMac, "Sta leave, clean measure node.\r\n");
    ZEP_STAMEAS_DelStaAutoMeasNodes(staMac);
    ZEP_STAMEAS_SetMeasCostTick(__func__, &g_staMeasLeaveCost, startTick);
    return STAMEAS_OK;
}

/* ---- Registration ---- */

STAMEAS_INNER u32 ZEP_STAMEAS_MeasFuncInit(void)
{
    u32 ret = ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, STAMEAS_APP_ID, STAMEAS_MSG_MEAS_START, 0,
                             ZEP_STAMEAS_MeasStartProc);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "reg sta measure start msg failed %u.\r\n", ret);
        return ret;
    }
    ret = ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, STAMEAS_APP_ID, STAMEAS_MSG_MEAS_STOP, 0,
                         ZEP_STAMEAS_MeasStopProc);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "reg sta measure stop msg failed %u.\r\n", ret);
        return ret;
    }
    ret = ZEP_STA_RegAccessPrimHandle(ZEP_PRIM_STA_LEAVE, ZEP_STAMEAS_StaDelPrimProc,
                                      STAMEAS_STA_LEAVE_PRIORITY, STAMEAS_STA_LEAVE_NAME);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "reg prim handle for sta-leave failed %u.\r\n", ret);
    }
    return ret;
}

/* The station-leave handler stays registered: it copes with a missing table. */
STAMEAS_INNER void ZEP_STAMEAS_MeasFuncDeInit(void)
{
    u32 ret = ZEP_MNG_UnRegMsg(ZEP_MSG_KIND_EVENT, STAMEAS_APP_ID, STAMEAS_MSG_MEAS_START,
                               ZEP_STAMEAS_MeasStartProc);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "Unreg sta measure start msg failed %u.\r\n", ret);
    }
    ret = ZEP_MNG_UnRegMsg(ZEP_MSG_KIND_EVENT, STAMEAS_APP_ID, STAMEAS_MSG_MEAS_STOP,
                           ZEP_STAMEAS_MeasStopProc);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "Unreg sta measure stop msg failed %u.\r\n", ret);
    }
    ZEP_STAMEAS_StopMeasTimer();
}
