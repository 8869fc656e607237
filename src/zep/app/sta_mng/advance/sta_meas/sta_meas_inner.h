/* sta-meas private header: the records every source file of the application
 * shares, its constants, its logging macros, the MAC and key helpers, and the
 * operations that one source file offers the others (helpers used by one file
 * are static there). Nothing here is seen by the framework except through
 * sta_meas.map. */
#pragma once

#include <string.h>

#include "sta_meas_msg.h"
#include "zep_framework.h"

#define STAMEAS_API extern "C" __attribute__((visibility("default")))
#define STAMEAS_INNER extern "C"

/* ---- Identity and statuses ---- */
#define STAMEAS_APP_ID 63u
#define STAMEAS_APP_NAME "sta-meas"
#define STAMEAS_PHASE_NUM 2u

#define STAMEAS_OK 0u
#define STAMEAS_ERR 1u
#define STAMEAS_ERR_NULL_STA 2u
#define STAMEAS_ERR_CFG_PARSE 8u
#define STAMEAS_ERR_NO_MEM 41u
#define STAMEAS_ERR_INVALID_MSG 43u
#define STAMEAS_ERR_INVALID_RADIO 49u
#define STAMEAS_WALK_STOP 60u

/* ---- Hosts ---- */
#define STAMEAS_HOST_NUM 3u
#define STAMEAS_HOST_NONE 3u
#define STAMEAS_AUTO_MEAS_ID_NUM 2u

/* ---- Logging ----
 * Each source file defines STAMEAS_FILE_CAT before using these. A line about one
 * station carries its MAC both as the logger's station argument and in the text. */
#define STAMEAS_CAT_CORE 0u
#define STAMEAS_CAT_TABLE 1u
#define STAMEAS_CAT_COMEAS_LIST 2u
#define STAMEAS_CAT_MEAS_FUNC 3u
#define STAMEAS_CAT_COMEAS_FUNC 4u
#define STAMEAS_CAT_DFX 5u

#define STAMEAS_SEV_TAG(sev) ((sev) == ZEP_DBG_ERROR ? "error" : "note")

#define STAMEAS_LOG(sev, fmt, ...) STAMEAS_LOG_AS(__func__, sev, fmt __VA_OPT__(, ) __VA_ARGS__)

/* For checks shared by several operations: the line names the operation the
 * framework called (fn), not the helper. */
#define STAMEAS_LOG_AS(fn, sev, fmt, ...)                                                          \
    ZEP_DBG_Print((sev), STAMEAS_APP_ID, STAMEAS_FILE_CAT, nullptr, "%s[%u]: " fmt, (fn),          \
                  (u32)__LINE__ __VA_OPT__(, ) __VA_ARGS__)

/* A MAC in log text: STAMEAS_MAC_FMT in the format, STAMEAS_MAC_ARGS(mac) for its bytes. */
#define STAMEAS_MAC_FMT "%02x%02x-%02x%02x-%02x%02x"
#define STAMEAS_MAC_ARGS(mac) (mac)[0], (mac)[1], (mac)[2], (mac)[3], (mac)[4], (mac)[5]

#define STAMEAS_STA_LOG(sev, mac, fmt, ...)                                                        \
    STAMEAS_STA_LOG_AS(__func__, sev, mac, fmt __VA_OPT__(, ) __VA_ARGS__)

#define STAMEAS_STA_LOG_AS(fn, sev, mac, fmt, ...)                                                 \
    ZEP_DBG_Print((sev), STAMEAS_APP_ID, STAMEAS_FILE_CAT, (mac),                                  \
                  " [%s]%s[%u][STA_MEAS][" STAMEAS_MAC_FMT "]: " fmt, STAMEAS_SEV_TAG(sev), (fn),  \
                  (u32)__LINE__, STAMEAS_MAC_ARGS(mac) __VA_OPT__(, ) __VA_ARGS__)

/* ---- Station MACs and keys ---- */
#define STAMEAS_MAC_LEN 6u

extern "C" {
static inline bool ZEP_STAMEAS_IsSameMac(const u8 *a, const u8 *b)
{
    return memcmp(a, b, STAMEAS_MAC_LEN) == 0;
}

/* FF:FF:FF:FF:FF:FF in a stop entry stands for every station. */
static inline bool ZEP_STAMEAS_IsBroadcastMac(const u8 *mac)
{
    static const u8 broadcast[STAMEAS_MAC_LEN] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    return ZEP_STAMEAS_IsSameMac(mac, broadcast);
}
}

/* ---- Per-radio data area ---- */
typedef struct {
    u8 measSwitch; /* 1 = measurement enabled; anything else = disabled */
    u8 rsv[3];
} StaMeasRadioData;
static_assert(sizeof(StaMeasRadioData) == 4);

/* ---- Cost timing and co-measurement statistics ---- */
typedef struct {
    u32 min; /* ms; 0 = nothing recorded yet */
    u32 avg;
    u32 max;
} MeasCostInfo;
static_assert(sizeof(MeasCostInfo) == 12);

typedef struct {
    u32 sendCoMeasReqCount;
    u32 rcvCoMeasReportCount;
    u64 lastLogTime; /* ms; 0 = never */
} CoMeasStats;
static_assert(sizeof(CoMeasStats) == 16);

#define STAMEAS_STATS_LOG_PERIOD_MS 3600000ull

/* ---- Measurement table ----
 * Every node is in the hash and in exactly one radio list (info.radioId). */
#define STAMEAS_TBL_MAX_PER_RADIO 128u
#define STAMEAS_TBL_HASH_BUCKETS 63u
#define STAMEAS_TBL_POOL_NAME "sta_meas_table"
#define STAMEAS_MAX_SEND_PER_RADIO 64u /* per expiry; also the sort threshold */

typedef struct {
    u8 staMac[6];
    u8 keyPad[2]; /* neither hashed nor compared */
    u32 measId;
} StaMeasKey;
static_assert(sizeof(StaMeasKey) == 12);

/* Keys are built whole, so that the padding never carries stale bytes. */
extern "C" {
static inline void ZEP_STAMEAS_MakeMeasKey(StaMeasKey *key, const u8 *staMac, u32 measId)
{
    memset_s(key, sizeof(*key), 0, sizeof(*key));
    memcpy_s(key->staMac, sizeof(key->staMac), staMac, sizeof(key->staMac));
    key->measId = measId;
}
}

typedef struct {
    u8 staMac[6];
    u8 keyPad[2];
    u32 measId;
    StaMeasReq hostReq[STAMEAS_HOST_NUM];
    u32 radioId;
    u16 weight;
    u32 hostBitmap;
    u32 autoMeasBitmap;
    StaMeasSched hostSched[STAMEAS_HOST_NUM];
    u32 reqNum;
    u32 reportNum;
    u8 reportChecked;
    u8 skipNextReq;
} StaMeasInfo;
static_assert(offsetof(StaMeasInfo, measId) == 8);
static_assert(offsetof(StaMeasInfo, hostReq) == 12);
static_assert(offsetof(StaMeasInfo, radioId) == 72);
static_assert(offsetof(StaMeasInfo, weight) == 76);
static_assert(offsetof(StaMeasInfo, hostBitmap) == 80);
static_assert(offsetof(StaMeasInfo, hostSched) == 88);
static_assert(offsetof(StaMeasInfo, reqNum) == 100);
static_assert(offsetof(StaMeasInfo, skipNextReq) == 109);
static_assert(sizeof(StaMeasInfo) == 112);

typedef struct {
    ZEP_HashLink hashLink; /* first: the hash hands back the node itself */
    ZEP_SLL_Node listLink; /* data = the node */
    StaMeasInfo info;
} StaMeasNode;
static_assert(offsetof(StaMeasNode, hashLink) == 0);
static_assert(offsetof(StaMeasNode, listLink) == 24);
static_assert(offsetof(StaMeasNode, info) == 40);
static_assert(sizeof(StaMeasNode) == 152);

#define STAMEAS_NODE_OF_INFO(infoPtr)                                                              \
    ((StaMeasNode *)(void *)((u8 *)(infoPtr)-offsetof(StaMeasNode, info)))

typedef struct {
    ZEP_HashTable *hashTbl;
    ZEP_SLL_Head *radioList; /* one head per radio id */
    ZEP_MemPool *nodePool;
} StaMeasTable;

/* Walk callbacks get the node's info and the walk's extra values; 60 stops. */
typedef u32 (*StaMeasWalkFn)(StaMeasInfo *info, void *a);
typedef u32 (*StaMeasWalkFn2)(StaMeasInfo *info, void *a, void *b);
typedef u32 (*StaMeasWalkFn3)(StaMeasInfo *info, void *a, void *b, void *c);

/* ---- Measurement timer ---- */
#define STAMEAS_TIMER_PERIOD_MS 1000u
#define STAMEAS_AUTO_MEAS_GIVE_UP_REQ 3u

typedef struct {
    u32 timerId; /* 0 = no timer */
    u64 loopCnt; /* expiries since the timer was created */
    MeasCostInfo cost;
} StaMeasTimerState;

/* ---- Co-measurement lists ---- */
#define COMEAS_CHANNEL_NUM 234u
#define COMEAS_LIST_MAX 16u
#define COMEAS_SCAN_TRIGGER_GAP_MS 500u
#define COMEAS_INFO_FLAG_REPEAT_SEND 0x01u
#define COMEAS_INFO_FLAG_REQ_SENT 0x02u

typedef struct {
    u8 staMac[6];
    u8 pad[2]; /* zero in every key built; not compared */
    u32 measId;
} CoMeasKey;
static_assert(sizeof(CoMeasKey) == 12);

typedef struct {
    u8 staMac[6];
    u8 keyPad[2];
    u32 measId;
    u8 reqBody[COMEAS_REQ_BODY_LEN];
    u16 weight;
    u8 flags; /* COMEAS_INFO_FLAG_* */
    u8 rsv;
    u32 hostBitmap;
} CoMeasInfo;
static_assert(offsetof(CoMeasInfo, reqBody) == 12);
static_assert(offsetof(CoMeasInfo, weight) == 36);
static_assert(offsetof(CoMeasInfo, hostBitmap) == 40);
static_assert(sizeof(CoMeasInfo) == 44);

/* One allocation per record: the list element, then the record it points at. */
typedef struct {
    ZEP_SLL_Node link; /* data = &info */
    CoMeasInfo info;
} CoMeasNode;
static_assert(offsetof(CoMeasNode, info) == 16);

#define COMEAS_NODE_OF_INFO(infoPtr)                                                               \
    ((CoMeasNode *)(void *)((u8 *)(infoPtr)-offsetof(CoMeasNode, info)))

#define COMEAS_SUPPORT_BITMAP_BYTES ((COMEAS_CHANNEL_NUM + 7u) / 8u)

typedef struct {
    u64 scanTriggerMs; /* 0 = never triggered */
    u8 onScanState;
    u8 repeatSendCnt; /* send passes after the first one */
    u8 coMeasSupportBitmap[COMEAS_SUPPORT_BITMAP_BYTES];
    ZEP_SLL_Head staList[COMEAS_CHANNEL_NUM];
} CoMeasRadioState;
static_assert(offsetof(CoMeasRadioState, coMeasSupportBitmap) == 10);
static_assert(offsetof(CoMeasRadioState, staList) == 40);

typedef u32 (*CoMeasWalkFn)(ZEP_SLL_Head *list, CoMeasInfo *info, void *arg);
typedef u32 (*CoMeasWalkFnEx)(ZEP_SLL_Head *list, CoMeasInfo *info, void *a, void *b, void *c);

/* ---- Globals ---- */
STAMEAS_API u64 g_staMeasDataArea;
STAMEAS_INNER StaMeasTable *g_staMeasTbl;
STAMEAS_INNER StaMeasTimerState g_staMeasTimer;
STAMEAS_INNER CoMeasRadioState *g_coMeasRadioState;
STAMEAS_INNER CoMeasStats *g_coMeasStats;
STAMEAS_INNER u32 g_coMeasReqBufLeft;

/* ---- Core: registration, lifecycle, hosts (sta_meas_core.cpp) ---- */
STAMEAS_API u32 ZEP_STA_RegStaMeasApp(void);
STAMEAS_INNER u32 ZEP_STAMEAS_GetHostWeight(u8 host);
STAMEAS_INNER u32 ZEP_STAMEAS_GetTopHost(u32 hostBitmap);
STAMEAS_INNER u32 ZEP_STAMEAS_GetAutoMeasIds(u32 *ids, u32 capacity);
STAMEAS_INNER u8 ZEP_STAMEAS_IsAutoMeasId(u32 measId);

/* ---- Data area and configuration (sta_meas_cfg.cpp) ---- */
STAMEAS_API StaMeasRadioData *ZEP_STAMEAS_GetRadioDataArea(u32 radioId);
STAMEAS_API u8 ZEP_STAMEAS_IsMeasEnable(u32 radioId);
STAMEAS_API void ZEP_STAMEAS_SetMeasSwitch(u32 radioId, u8 value);
STAMEAS_API void ZEP_STAMEAS_InitDataObj(void);
STAMEAS_API u32 ZEP_STAMEAS_CreateDataObj(void);
STAMEAS_API u32 ZEP_STAMEAS_CfgFuncInit(void);
STAMEAS_API u32 ZEP_STAMEAS_CfgScanSwitchMsg(void *cfgMsg, u32 len);

/* ---- Measurement table (sta_meas_tbl.cpp) ---- */
STAMEAS_INNER u32 ZEP_STAMEAS_MeasTblInit(void);
STAMEAS_INNER void ZEP_STAMEAS_MeasTblDeInit(void);
STAMEAS_INNER u32 ZEP_STAMEAS_GetMeasTblSize(u32 radioId);
STAMEAS_INNER StaMeasInfo *ZEP_STAMEAS_AddMeasInfo(u32 radioId, const StaMeasKey *key);
STAMEAS_INNER StaMeasInfo *ZEP_STAMEAS_FindMeasInfo(const StaMeasKey *key);
STAMEAS_INNER void ZEP_STAMEAS_DelMeasNode(StaMeasNode *node);
STAMEAS_INNER u8 ZEP_STAMEAS_DelHostFromMeasNode(StaMeasNode *node, u8 host);
STAMEAS_INNER void ZEP_STAMEAS_DelStaAutoMeasNodes(const u8 *staMac);
STAMEAS_INNER void ZEP_STAMEAS_ChkAndCutTblForNewMeas(u32 radioId, u8 newNum, u16 newWeight);
STAMEAS_INNER void ZEP_STAMEAS_SortMeasTbl(u32 radioId);
STAMEAS_INNER void ZEP_STAMEAS_WalkMeasTbl(u32 radioId, StaMeasWalkFn fn, void *a);
STAMEAS_INNER void ZEP_STAMEAS_WalkMeasTbl2(u32 radioId, StaMeasWalkFn2 fn, void *a, void *b);
STAMEAS_INNER void ZEP_STAMEAS_WalkMeasTbl3(u32 radioId, StaMeasWalkFn3 fn, void *a, void *b,
                                            void *c);

/* ---- Measurement functions: start/stop, timer, host shares (sta_meas_func.cpp) ---- */
STAMEAS_INNER u32 ZEP_STAMEAS_MeasFuncInit(void);
STAMEAS_INNER void ZEP_STAMEAS_MeasFuncDeInit(void);
STAMEAS_INNER void ZEP_STAMEAS_StatsMeasResult(const u8 *staMac, u32 measId);

/* ---- Reports (sta_meas_report.cpp) ---- */
STAMEAS_INNER u32 ZEP_STAMEAS_ReportFuncInit(void);
STAMEAS_INNER void ZEP_STAMEAS_ReportFuncDeInit(void);

/* ---- Co-measurement list (sta_comeas_list.cpp) ---- */
STAMEAS_INNER u32 ZEP_STAMEAS_CoMeasListInit(void);
STAMEAS_INNER void ZEP_STAMEAS_CoMeasListDeInit(void);
STAMEAS_INNER ZEP_SLL_Head *ZEP_STAMEAS_GetCoMeasStaList(u32 radioId, u32 channel);
STAMEAS_INNER CoMeasInfo *ZEP_STAMEAS_AddCoMeasInfo(ZEP_SLL_Head *list, const CoMeasKey *key);
STAMEAS_INNER CoMeasInfo *ZEP_STAMEAS_FindCoMeasInfo(ZEP_SLL_Head *list, const CoMeasKey *key);
STAMEAS_INNER void ZEP_STAMEAS_DelCoMeasNode(ZEP_SLL_Head *list, ZEP_SLL_Node *element);
STAMEAS_INNER u32 ZEP_STAMEAS_GetCoMeasNodeNum(const ZEP_SLL_Head *list);
STAMEAS_INNER void ZEP_STAMEAS_ChkAndCutCoMeasList(ZEP_SLL_Head *list, u8 newNum, u8 host);
STAMEAS_INNER void ZEP_STAMEAS_TraverseCoMeasList(ZEP_SLL_Head *list, CoMeasWalkFn fn, void *arg);
STAMEAS_INNER void ZEP_STAMEAS_TraverseCoMeasListEx(ZEP_SLL_Head *list, CoMeasWalkFnEx fn, void *a,
                                                    void *b, void *c);
STAMEAS_INNER void ZEP_STAMEAS_FreeRadioCoMeasList(u32 radioId);
STAMEAS_INNER bool ZEP_STAMEAS_IsCoMeasSupport(u32 radioId, u32 channel);
STAMEAS_INNER void ZEP_STAMEAS_SetCoMeasSupport(u32 radioId, u32 channel);
STAMEAS_INNER u8 ZEP_STAMEAS_IsRadioOnScanState(u32 radioId);
STAMEAS_INNER void ZEP_STAMEAS_SetRadioOnScanState(u32 radioId, u8 state);
STAMEAS_INNER void ZEP_STAMEAS_UpdateScanTriggerMs(u32 radioId);
STAMEAS_INNER bool ZEP_STAMEAS_IsCanTriggerScan(u32 radioId);
STAMEAS_INNER u8 ZEP_STAMEAS_GetCoMeasRepeatSendCnt(u32 radioId);

/* ---- Co-measurement functions: start/stop, neighbours, scans (sta_comeas_func.cpp) ---- */
STAMEAS_INNER u32 ZEP_STAMEAS_CoMeasFuncInit(void);
STAMEAS_INNER void ZEP_STAMEAS_CoMeasFuncDeInit(void);

/* ---- Diagnostics: cost, statistics, dumps (sta_meas_dfx.cpp) ---- */
STAMEAS_INNER u32 ZEP_STAMEAS_CoMeasStatsInit(void);
STAMEAS_INNER void ZEP_STAMEAS_CoMeasStatsDeInit(void);
STAMEAS_INNER void ZEP_STAMEAS_SetMeasCostTick(const char *name, MeasCostInfo *cost, u32 startTick);
STAMEAS_INNER void ZEP_STAMEAS_CoMeasStatsSetCoMeasReq(u32 radioId);
STAMEAS_INNER void ZEP_STAMEAS_CoMeasStatsSetCoMeasRep(u32 radioId);
STAMEAS_INNER u32 ZEP_STAMEAS_LogCoMeasStats(u32 radioId);
STAMEAS_INNER u32 ZEP_STAMEAS_DfxFuncInit(void);
