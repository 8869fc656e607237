/* sta-meas diagnostics: handler cost figures, the hourly per-radio co-measurement
 * statistics, and the two RPC dumps of a measurement table or co-measurement list. */
#include "sta_meas_inner.h"

#define STAMEAS_FILE_CAT STAMEAS_CAT_DFX

/* Operations of this file alone, with the C linkage of every operation of the
 * application: the framework calls some of them back through pointers. */
extern "C" {
static u32 ZEP_STAMEAS_GetMeasListRpcProc(void *msg, u32 len);
static u32 ZEP_STAMEAS_FillRpcStaMeasList(StaMeasInfo *info, void *buf);
static u32 ZEP_STAMEAS_GetCoMeasListRpcProc(void *msg, u32 len);
static u32 ZEP_STAMEAS_FillRpcStaCoMeasList(ZEP_SLL_Head *list, CoMeasInfo *info, void *buf);
}

/* The co-measurement kind that the dump shows as type 0; every other id is type 1. */
#define STAMEAS_DFX_COMEAS_TYPE0_MEAS_ID 173u

/* Per-radio statistics, one block for radio ids 0 .. max radio number - 1. */
CoMeasStats *g_coMeasStats = nullptr;

STAMEAS_INNER u32 ZEP_STAMEAS_CoMeasStatsInit(void)
{
    if (g_coMeasStats != nullptr) {
        return STAMEAS_OK;
    }
    g_coMeasStats = static_cast<CoMeasStats *>(
        ZEP_MALLOC_ZERO(static_cast<u32>(sizeof(CoMeasStats)) * ZEP_PROFILE_GetMaxRadioNum()));
    return g_coMeasStats == nullptr ? STAMEAS_ERR_NO_MEM : STAMEAS_OK;
}

STAMEAS_INNER void ZEP_STAMEAS_CoMeasStatsDeInit(void)
{
    if (g_coMeasStats == nullptr) {
        return;
    }
    ZEP_FREE(g_coMeasStats);
    g_coMeasStats = nullptr;
}

/* A start tick of 0 marks a run that was never timed. A zero-length run stores 0,
 * which the next run takes for "nothing recorded yet": good enough for a figure
 * that only guides tuning. */
STAMEAS_INNER void ZEP_STAMEAS_SetMeasCostTick(const char *name, MeasCostInfo *cost, u32 startTick)
{
    if (startTick == 0 || cost == nullptr) {
        return;
    }
    u32 endTick = ZEP_GetTick();
    if (startTick > endTick) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "Invalid endTick %u or startTick %u.\r\n", endTick, startTick);
        return;
    }
    u32 ms = ZEP_TmTickToMillSec(endTick - startTick);
    cost->min = (cost->min == 0 || ms < cost->min) ? ms : cost->min;
    /* Halving at each run lets the figure follow recent behaviour. */
    cost->avg = (cost->avg == 0) ? ms : ((cost->avg + ms) >> 1);
    cost->max = (cost->max == 0 || ms > cost->max) ? ms : cost->max;
    STAMEAS_LOG(ZEP_DBG_NOTE, "%s cost min/avg/max = %u/%u/%u ms.\r\n", name, cost->min, cost->avg,
                cost->max);
}

/* The radio's statistics, or null (logged) for a radio outside the area. The area
 * is sized by the radio count, so both the profile and the count must agree. */
static CoMeasStats *ZEP_STAMEAS_GetRadioCoMeasStats(u32 radioId)
{
    if (ZEP_PROFILE_IsValidRadioId(radioId) != 1 || radioId >= ZEP_PROFILE_GetMaxRadioNum()) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "[STA-COMEAS-LOG] invalid radioId %u.\r\n", radioId);
        return nullptr;
    }
    return &g_coMeasStats[radioId];
}

/* The counters are only bumped by handlers that run after phase 0; a missing area
 * is still tolerated so that a late message after de-initialisation is harmless. */
STAMEAS_INNER void ZEP_STAMEAS_CoMeasStatsSetCoMeasReq(u32 radioId)
{
    if (g_coMeasStats == nullptr) {
        return;
    }
    CoMeasStats *stats = ZEP_STAMEAS_GetRadioCoMeasStats(radioId);
    if (stats != nullptr) {
        stats->sendCoMeasReqCount++;
    }
}

STAMEAS_INNER void ZEP_STAMEAS_CoMeasStatsSetCoMeasRep(u32 radioId)
{
    if (g_coMeasStats == nullptr) {
        return;
    }
    CoMeasStats *stats = ZEP_STAMEAS_GetRadioCoMeasStats(radioId);
    if (stats != nullptr) {
        stats->rcvCoMeasReportCount++;
    }
}

/* Called on every timer expiry; logs and restarts the counters at most once an hour. */
STAMEAS_INNER u32 ZEP_STAMEAS_LogCoMeasStats(u32 radioId)
{
    if (g_coMeasStats == nullptr) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "[STA-COMEAS-LOG] log comeas statistics fail.\r\n");
        return STAMEAS_ERR;
    }
    CoMeasStats *stats = ZEP_STAMEAS_GetRadioCoMeasStats(radioId);
    if (stats == nullptr) {
        return STAMEAS_ERR_INVALID_RADIO;
    }
    u64 now = 0;
    u32 ret = ZEP_HiPrecisionMsNow64(&now);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "[STA-COMEAS-LOG] get time fail, ret[%u].\r\n", ret);
        return ret;
    }
    /* Signed so that a clock behind lastLogTime reads as "not yet" rather than wrapping. */
    s64 left = static_cast<s64>(stats->lastLogTime - now + STAMEAS_STATS_LOG_PERIOD_MS);
    if (left >= 0) {
        STAMEAS_LOG(ZEP_DBG_NOTE,
                    "[STA-COMEAS-LOG] radio:%u do not record, it is not yet time. "
                    "timeNow[%llu], lastLogTime[%llu].\r\n",
                    radioId, (unsigned long long)now, (unsigned long long)stats->lastLogTime);
        return STAMEAS_OK;
    }
    STAMEAS_LOG(ZEP_DBG_RARE,
                "[STA-COMEAS-LOG] STA Comeas Stats [Radio:%u]:\r\nsendCoMeasReqCount[%u]\r\n"
                "rcvCoMeasReportCount[%u]\r\nlogTimestamp[%llu]\r\n",
                radioId, stats->sendCoMeasReqCount, stats->rcvCoMeasReportCount,
                (unsigned long long)stats->lastLogTime);
    memset_s(stats, sizeof(*stats), 0, sizeof(*stats));
    stats->lastLogTime = now;
    return STAMEAS_OK;
}

/* The dumps stay registered after de-initialisation, so each one checks that
 * the data it reads still exists before it looks inside. */
STAMEAS_INNER u32 ZEP_STAMEAS_DfxFuncInit(void)
{
    u32 ret = ZEP_MNG_RegMsg(ZEP_MSG_KIND_RPC, STAMEAS_APP_ID, STAMEAS_RPC_GET_MEAS_LIST, 0,
                             ZEP_STAMEAS_GetMeasListRpcProc);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "reg rpc get_sta_meas_list msg fail %u.\r\n", ret);
        return ret;
    }
    ret = ZEP_MNG_RegMsg(ZEP_MSG_KIND_RPC, STAMEAS_APP_ID, STAMEAS_RPC_GET_COMEAS_LIST, 0,
                         ZEP_STAMEAS_GetCoMeasListRpcProc);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "reg rpc get_sta_comeas_list msg fail %u.\r\n", ret);
    }
    return ret;
}

/* The reply is written into the requester's buffer; a short one is left untouched. */
static u32 ZEP_STAMEAS_GetMeasListRpcProc(void *msg, u32 len)
{
    u32 ret = ZEP_MNG_CheckMsgValid(msg, len, sizeof(StaMeasListRpcMsg));
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "msg err %u, msgLen %u.\r\n", ret, len);
        return ret;
    }
    if (g_staMeasTbl == nullptr) {
        return STAMEAS_OK;
    }
    const StaMeasListRpcMsg *rpc = static_cast<const StaMeasListRpcMsg *>(msg);
    ZEP_STAMEAS_WalkMeasTbl(rpc->radioId, ZEP_STAMEAS_FillRpcStaMeasList, msg);
    return STAMEAS_OK;
}

/* A node is shown as its top host sees it; a node without a host (which the
 * table should never hold) is skipped without using up an entry. */
static u32 ZEP_STAMEAS_FillRpcStaMeasList(StaMeasInfo *info, void *buf)
{
    StaMeasListRpcMsg *rpc = static_cast<StaMeasListRpcMsg *>(buf);
    if (rpc->num >= STAMEAS_RPC_MEAS_ENTRY_MAX) {
        return STAMEAS_WALK_STOP;
    }
    u32 host = ZEP_STAMEAS_GetTopHost(info->hostBitmap);
    if (host >= STAMEAS_HOST_NUM) {
        STAMEAS_STA_LOG(ZEP_DBG_ERROR, info->staMac,
                        "Cant get measure host, bitmap 0x%x weight %u.\r\n", info->hostBitmap,
                        static_cast<u32>(info->weight));
        return STAMEAS_ERR;
    }
    const StaMeasReq *req = &info->hostReq[host];
    const StaMeasSched *sched = &info->hostSched[host];
    StaMeasListRpcEntry entry = {};
    memcpy_s(entry.staMac, sizeof(entry.staMac), info->staMac, sizeof(info->staMac));
    entry.measType = info->measId == STAMEAS_MSG_LM_REQ ? 0 : 1;
    entry.radioId = req->radioId;
    entry.vapId = static_cast<u8>(req->vapId & 0xFFu);
    entry.weight = info->weight;
    entry.isLoop = sched->isLoop;
    entry.periodInSec = sched->periodInSec;
    entry.count = sched->count;
    rpc->entry[rpc->num] = entry;
    rpc->num++;
    return STAMEAS_OK;
}

static u32 ZEP_STAMEAS_GetCoMeasListRpcProc(void *msg, u32 len)
{
    u32 ret = ZEP_MNG_CheckMsgValid(msg, len, sizeof(StaCoMeasListRpcMsg));
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "msg err %u, msgLen %u.\r\n", ret, len);
        return ret;
    }
    if (g_coMeasRadioState == nullptr) {
        return STAMEAS_OK;
    }
    const StaCoMeasListRpcMsg *rpc = static_cast<const StaCoMeasListRpcMsg *>(msg);
    /* An unknown radio or channel is logged by the lookup and simply dumps nothing. */
    ZEP_SLL_Head *list = ZEP_STAMEAS_GetCoMeasStaList(rpc->radioId, rpc->channel);
    if (list != nullptr) {
        ZEP_STAMEAS_TraverseCoMeasList(list, ZEP_STAMEAS_FillRpcStaCoMeasList, msg);
    }
    return STAMEAS_OK;
}

static u32 ZEP_STAMEAS_FillRpcStaCoMeasList(ZEP_SLL_Head * /*list*/, CoMeasInfo *info, void *buf)
{
    StaCoMeasListRpcMsg *rpc = static_cast<StaCoMeasListRpcMsg *>(buf);
    if (rpc->num >= STAMEAS_RPC_COMEAS_ENTRY_MAX) {
        return STAMEAS_WALK_STOP;
    }
    StaCoMeasListRpcEntry entry = {};
    memcpy_s(entry.staMac, sizeof(entry.staMac), info->staMac, sizeof(info->staMac));
    entry.measType = info->measId == STAMEAS_DFX_COMEAS_TYPE0_MEAS_ID ? 0 : 1;
    memcpy_s(entry.addr, sizeof(entry.addr), &info->reqBody[COMEAS_REQ_ADDR_OFFSET],
             sizeof(entry.addr));
    entry.weight = info->weight;
    entry.reqByte18 = info->reqBody[COMEAS_REQ_DUMP_BYTE_OFFSET];
    entry.eirp = info->reqBody[COMEAS_REQ_EIRP_OFFSET];
    rpc->entry[rpc->num] = entry;
    rpc->num++;
    return STAMEAS_OK;
}
