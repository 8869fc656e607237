/* sta-meas data area and configuration: the per-radio measurement switch kept in
 * the framework's data area, and the scan-switch configuration item 32. */
#include "sta_meas_inner.h"

#define STAMEAS_FILE_CAT STAMEAS_CAT_CORE

/* Handle of the application's data area; 0 until phase 0 made it, never reset. */
u64 g_staMeasDataArea = 0;

#define STAMEAS_MEAS_SWITCH_ON 1u

STAMEAS_API StaMeasRadioData *ZEP_STAMEAS_GetRadioDataArea(u32 radioId)
{
    return static_cast<StaMeasRadioData *>(
        UMAC_OBJMNG_GetRadioDataInfo(g_staMeasDataArea, radioId));
}

STAMEAS_API u8 ZEP_STAMEAS_IsMeasEnable(u32 radioId)
{
    const StaMeasRadioData *data = ZEP_STAMEAS_GetRadioDataArea(radioId);
    if (data == nullptr) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "get radio %u data fail.\r\n", radioId);
        return 0;
    }
    return data->measSwitch == STAMEAS_MEAS_SWITCH_ON ? 1 : 0;
}

STAMEAS_API void ZEP_STAMEAS_SetMeasSwitch(u32 radioId, u8 value)
{
    StaMeasRadioData *data = ZEP_STAMEAS_GetRadioDataArea(radioId);
    if (data == nullptr) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "get radio %u data fail.\r\n", radioId);
        return;
    }
    data->measSwitch = value;
}

STAMEAS_API void ZEP_STAMEAS_InitDataObj(void)
{
    for (u32 radioId = 0; radioId < ZEP_PROFILE_GetMaxRadioNum(); radioId++) {
        ZEP_STAMEAS_SetMeasSwitch(radioId, STAMEAS_MEAS_SWITCH_ON);
    }
}

/* Made once: a second call keeps the switches as they are. */
STAMEAS_API u32 ZEP_STAMEAS_CreateDataObj(void)
{
    if (g_staMeasDataArea != 0) {
        return STAMEAS_OK;
    }
    UMAC_OBJMNG_DataAreaReq req = {0, sizeof(StaMeasRadioData), 0, ZEP_PROFILE_GetMaxRadioNum(),
                                   ZEP_PROFILE_GetMaxVapNumPerRadio()};
    u32 ret = UMAC_OBJMNG_MallocDataArea(&g_staMeasDataArea, &req);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "malloc data area fail.\r\n");
        return ret;
    }
    ZEP_STAMEAS_InitDataObj();
    return STAMEAS_OK;
}

STAMEAS_API u32 ZEP_STAMEAS_CfgFuncInit(void)
{
    u32 ret = ZEP_CFG_RegRadioSingleCfgMsg(STAMEAS_APP_ID, ZEP_CFG_ITEM_SCAN_SWITCH,
                                           ZEP_STAMEAS_CfgScanSwitchMsg);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "reg scan switch msg fail %u.\r\n", ret);
    }
    return ret;
}

/* The switch byte is stored as given: only 1 means enabled, so any other value
 * (a newer framework's "auto", say) safely reads as disabled. */
STAMEAS_API u32 ZEP_STAMEAS_CfgScanSwitchMsg(void *cfgMsg, u32 len)
{
    u32 radioId = 0;
    const u8 *value =
        static_cast<const u8 *>(ZEP_CFG_MsgParseSingleTlv(cfgMsg, len, &radioId, 0, 1));
    if (value == nullptr) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "get cfg fail.\r\n");
        return STAMEAS_ERR_CFG_PARSE;
    }
    STAMEAS_LOG(ZEP_DBG_NOTE, "radio %u scanSwitch %u.\r\n", radioId, value[0]);
    ZEP_STAMEAS_SetMeasSwitch(radioId, value[0]);
    return STAMEAS_OK;
}
