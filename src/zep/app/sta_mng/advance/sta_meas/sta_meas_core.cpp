/* sta-meas core: the registration entry, the two start-up phases and
 * de-initialisation, and the fixed measurement hosts with their weights. */
#include "sta_meas_inner.h"

#define STAMEAS_FILE_CAT STAMEAS_CAT_CORE

/* Operations of this file alone, with the C linkage of every operation of the
 * application: the framework calls some of them back through pointers. */
extern "C" {
static u32 ZEP_STAMEAS_AppInit(u32 phase);
static u32 ZEP_STAMEAS_DataInit(void);
static u32 ZEP_STAMEAS_FuncInit(void);
static u32 ZEP_STAMEAS_AppDeInit(void);
}

/* The framework keeps a pointer to this record for the life of the application. */
static const ZEP_AppInfo g_staMeasAppInfo = {
    STAMEAS_APP_NAME,
    ZEP_STAMEAS_AppInit,
    STAMEAS_PHASE_NUM,
    ZEP_STAMEAS_AppDeInit,
};

/* Weight of hosts 0, 1 and 2; any other id weighs STAMEAS_OTHER_HOST_WEIGHT. A test
 * build gives host 1 another weight, to prove that comparing two builds notices. */
#ifndef STAMEAS_HOST1_WEIGHT
#define STAMEAS_HOST1_WEIGHT 20
#endif
static const u16 g_staMeasHostWeight[STAMEAS_HOST_NUM] = {100, STAMEAS_HOST1_WEIGHT, 60};
#define STAMEAS_OTHER_HOST_WEIGHT 10u

/* The measurement ids whose request the application can build itself. */
static const u32 g_staMeasAutoMeasIds[STAMEAS_AUTO_MEAS_ID_NUM] = {STAMEAS_MSG_LM_REQ,
                                                                   STAMEAS_MSG_TPC_REQ};

STAMEAS_API u32 ZEP_STA_RegStaMeasApp(void)
{
    u32 ret = ZEP_MNG_RegApp(STAMEAS_APP_ID, STAMEAS_PHASE_NUM, &g_staMeasAppInfo);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "reg app failed %u\r\n", ret);
    }
    return ret;
}

static u32 ZEP_STAMEAS_AppInit(u32 phase)
{
    u32 ret;

    if (phase == 0) {
        ret = ZEP_STAMEAS_DataInit();
    } else if (phase == 1) {
        ret = ZEP_STAMEAS_FuncInit();
    } else {
        return STAMEAS_OK;
    }
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "app init failed %u\r\n", ret);
    }
    return ret;
}

/* Phase 0: create the data, in dependency order. Each step is safe to repeat,
 * so a second phase 0 creates nothing twice. Failed steps are not undone. */
static u32 ZEP_STAMEAS_DataInit(void)
{
    u32 ret = ZEP_STAMEAS_CreateDataObj();
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "create data obj fail %u.\r\n", ret);
        return ret;
    }
    ret = ZEP_STAMEAS_MeasTblInit();
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "sta measure table init fail %u.\r\n", ret);
        return ret;
    }
    ret = ZEP_STAMEAS_CoMeasListInit();
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "sta co-measure list init fail %u.\r\n", ret);
        return ret;
    }
    ret = ZEP_STAMEAS_CoMeasStatsInit();
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "sta co-measure Stats init fail %u.\r\n", ret);
        return ret;
    }
    return STAMEAS_OK;
}

/* Phase 1: register the handlers. Each step logs its own failure; handlers
 * registered by earlier steps stay registered. */
static u32 ZEP_STAMEAS_FuncInit(void)
{
    static u32 (*const steps[])(void) = {
        ZEP_STAMEAS_CfgFuncInit,    /* configuration item 32 */
        ZEP_STAMEAS_MeasFuncInit,   /* 182, 183, station leave */
        ZEP_STAMEAS_CoMeasFuncInit, /* 184, 185, 34, 198, 181 */
        ZEP_STAMEAS_ReportFuncInit, /* 168, 170 */
        ZEP_STAMEAS_DfxFuncInit,    /* RPC 69, 70 */
    };
    for (u32 i = 0; i < sizeof(steps) / sizeof(steps[0]); i++) {
        u32 ret = steps[i]();
        if (ret != STAMEAS_OK) {
            return ret;
        }
    }
    return STAMEAS_OK;
}

/* Data is freed before the handlers are withdrawn: both happen on the
 * dispatching context, so no handler can run in between. */
static u32 ZEP_STAMEAS_AppDeInit(void)
{
    ZEP_STAMEAS_MeasTblDeInit();
    ZEP_STAMEAS_CoMeasListDeInit();
    ZEP_STAMEAS_CoMeasStatsDeInit();
    ZEP_STAMEAS_MeasFuncDeInit();
    ZEP_STAMEAS_CoMeasFuncDeInit();
    ZEP_STAMEAS_ReportFuncDeInit();
    return STAMEAS_OK;
}

STAMEAS_INNER u32 ZEP_STAMEAS_GetHostWeight(u8 host)
{
    if (host < STAMEAS_HOST_NUM) {
        return g_staMeasHostWeight[host];
    }
    return STAMEAS_OTHER_HOST_WEIGHT;
}

/* Heaviest host of the bitmap; a tie keeps the lower id. Bits above 2 are ignored. */
STAMEAS_INNER u32 ZEP_STAMEAS_GetTopHost(u32 hostBitmap)
{
    u32 best = STAMEAS_HOST_NONE;
    u32 bestWeight = 0;

    for (u8 host = 0; host < STAMEAS_HOST_NUM; host++) {
        if (UMAC_BITMAP_IsBitUp(&hostBitmap, host) == 0) {
            continue;
        }
        u32 weight = ZEP_STAMEAS_GetHostWeight(host);
        if (best == STAMEAS_HOST_NONE || weight > bestWeight) {
            best = host;
            bestWeight = weight;
        }
    }
    return best;
}

STAMEAS_INNER u32 ZEP_STAMEAS_GetAutoMeasIds(u32 *ids, u32 capacity)
{
    u32 num = capacity < STAMEAS_AUTO_MEAS_ID_NUM ? capacity : STAMEAS_AUTO_MEAS_ID_NUM;
    if (ids == nullptr || num == 0) {
        return 0;
    }
    memcpy_s(ids, sizeof(u32) * num, g_staMeasAutoMeasIds, sizeof(u32) * num);
    return num;
}

STAMEAS_INNER u8 ZEP_STAMEAS_IsAutoMeasId(u32 measId)
{
    return (measId == STAMEAS_MSG_LM_REQ || measId == STAMEAS_MSG_TPC_REQ) ? 1 : 0;
}
