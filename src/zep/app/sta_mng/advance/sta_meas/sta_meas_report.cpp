/* sta-meas reports: link-measurement and TPC reports counted against their node,
 * completed with the figures of the access point their token designates, and
 * forwarded as the 40-byte measurement report. */
#include "sta_meas_inner.h"

#define STAMEAS_FILE_CAT STAMEAS_CAT_CORE

/* Operations of this file alone, with the C linkage of every operation of the
 * application: the framework calls some of them back through pointers. */
extern "C" {
static u32 ZEP_STAMEAS_FillApExtensionInfo(u32 radioId, u32 vapId, const u8 *staMac,
                                           MeasExtensionInfo *ext);
static u32 ZEP_STAMEAS_FillNbExtensionInfo(u32 radioId, u32 vapId, u8 tokenId, const u8 *staMac,
                                           MeasExtensionInfo *ext);
static u32 ZEP_STAMEAS_LmReportMsgProc(void *msg, u32 len);
static u32 ZEP_STAMEAS_TpcReportMsgProc(void *msg, u32 len);
}

#define STAMEAS_TOKEN_CLASS_NB 0x01u      /* a neighbour's token */
#define STAMEAS_TOKEN_CLASS_NB_HIGH 0x02u /* a neighbour's token from the upper range */

/* What the two report kinds have in common once their body is parsed. */
typedef struct {
    const void *body;
    u32 bodyLen;
    u32 reqId; /* the request that the report answers */
    u32 reportId;
    u32 radioId;
    u32 vapId;
    const u8 *staMac;
    u8 tokenId;
} StaMeasReportSrc;

static u8 ZEP_STAMEAS_GetTokenClass(u8 tokenId)
{
    u8 tokenClass = 0;
    if (tokenId >= STAMEAS_OWN_TOKEN_END) {
        tokenClass |= STAMEAS_TOKEN_CLASS_NB;
    }
    if (tokenId >= STAMEAS_NB_TOKEN_HIGH) {
        tokenClass |= STAMEAS_TOKEN_CLASS_NB_HIGH;
    }
    return tokenClass;
}

/* Builds the report; a non-zero status means it cannot be completed and must
 * not be sent. Reports under a neighbour's token count for the co-measurement
 * statistics even when the neighbour cannot be resolved. */
static u32 ZEP_STAMEAS_BuildMeasReport(const StaMeasReportSrc *src, StaMeasReportMsg *report)
{
    memset_s(report, sizeof(StaMeasReportMsg), 0, sizeof(StaMeasReportMsg));
    report->reportMsgId = src->reportId;
    memcpy_s(report->report, sizeof(report->report), src->body, src->bodyLen);
    report->tokenClass = ZEP_STAMEAS_GetTokenClass(src->tokenId);
    if (src->tokenId < STAMEAS_OWN_TOKEN_END) {
        ZEP_STAMEAS_StatsMeasResult(src->staMac, src->reqId);
        return ZEP_STAMEAS_FillApExtensionInfo(src->radioId, src->vapId, src->staMac, &report->ext);
    }
    u32 ret = ZEP_STAMEAS_FillNbExtensionInfo(src->radioId, src->vapId, src->tokenId, src->staMac,
                                              &report->ext);
    ZEP_STAMEAS_CoMeasStatsSetCoMeasRep(src->radioId);
    return ret;
}

/* Builds and forwards one report; fn is the handler the framework called. */
static u32 ZEP_STAMEAS_ForwardMeasReport(const char *fn, const StaMeasReportSrc *src)
{
    StaMeasReportMsg report;
    u32 ret = ZEP_STAMEAS_BuildMeasReport(src, &report);
    if (ret != STAMEAS_OK) {
        return ret;
    }
    ret = ZEP_MNG_SendMsg(ZEP_DEST_ALL, 0, STAMEAS_MSG_MEAS_REPORT, &report, sizeof(report));
    if (ret != STAMEAS_OK) {
        STAMEAS_STA_LOG_AS(fn, ZEP_DBG_ERROR, src->staMac, "send measure report fail %u.\r\n", ret);
    }
    return ret;
}

static u32 ZEP_STAMEAS_LmReportMsgProc(void *msg, u32 len)
{
    u32 ret = ZEP_MNG_CheckMsgValid(msg, len, sizeof(LmReportMsg));
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "msg err %u, msgLen %u.\r\n", ret, len);
        return ret;
    }
    const LmReportMsg *lm = static_cast<const LmReportMsg *>(msg);
    const StaMeasReportSrc src = {
        lm,          sizeof(LmReportMsg), STAMEAS_MSG_LM_REQ, STAMEAS_MSG_LM_REPORT,
        lm->radioId, lm->vapId,           lm->staMac,         lm->tokenId};
    return ZEP_STAMEAS_ForwardMeasReport(__func__, &src);
}

static u32 ZEP_STAMEAS_TpcReportMsgProc(void *msg, u32 len)
{
    u32 ret = ZEP_MNG_CheckMsgValid(msg, len, sizeof(TpcReportMsg));
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "msg err %u, msgLen %u.\r\n", ret, len);
        return ret;
    }
    const TpcReportMsg *tpc = static_cast<const TpcReportMsg *>(msg);
    const StaMeasReportSrc src = {
        tpc,          sizeof(TpcReportMsg), STAMEAS_MSG_TPC_REQ, STAMEAS_MSG_TPC_REPORT,
        tpc->radioId, tpc->vapId,           tpc->staMac,         tpc->tokenId};
    return ZEP_STAMEAS_ForwardMeasReport(__func__, &src);
}

static u32 ZEP_STAMEAS_FillApExtensionInfo(u32 radioId, u32 vapId, const u8 *staMac,
                                           MeasExtensionInfo *ext)
{
    const u8 *bssid = ZEP_STA_GetVapBssid(radioId, vapId);
    if (bssid == nullptr) {
        STAMEAS_STA_LOG(ZEP_DBG_ERROR, staMac, "cant get bssid for radio %u vap %u.\r\n", radioId,
                        vapId);
        return STAMEAS_ERR;
    }
    memcpy_s(ext->bssid, sizeof(ext->bssid), bssid, sizeof(ext->bssid));
    ext->eirp = ZEP_STA_GetRadioCurEirp(radioId);
    ext->scanErip = ZEP_STA_GetRadioMaxPower(radioId);
    STAMEAS_STA_LOG(ZEP_DBG_NOTE, staMac, "bssid:[" STAMEAS_MAC_FMT "] eirp:%d scanErip:%d.\r\n",
                    STAMEAS_MAC_ARGS(ext->bssid), (int)ext->eirp, (int)ext->scanErip);
    return STAMEAS_OK;
}

/* The three queries run in order; the first failure ends the fill. */
static u32 ZEP_STAMEAS_FillNbExtensionInfo(u32 radioId, u32 vapId, u8 tokenId, const u8 *staMac,
                                           MeasExtensionInfo *ext)
{
    u32 ret = ZEP_NB_GetNbApVapBssidByTokenId(tokenId, radioId, vapId, ext->bssid);
    if (ret != STAMEAS_OK) {
        STAMEAS_STA_LOG(ZEP_DBG_NOTE, staMac,
                        "cant get nb bssid for radio %u vap %u tokenId %u.\r\n", radioId, vapId,
                        (u32)tokenId);
        return ret;
    }
    ret = ZEP_NB_GetNbApVapEirpByTokenId(tokenId, radioId, vapId, &ext->eirp);
    if (ret != STAMEAS_OK) {
        STAMEAS_STA_LOG(ZEP_DBG_NOTE, staMac,
                        "cant get nb eirp for radio %u vap %u tokenId %u.\r\n", radioId, vapId,
                        (u32)tokenId);
        return ret;
    }
    ret = ZEP_NB_GetNbApRadioScanEirpByTokenId(tokenId, radioId, &ext->scanErip);
    if (ret != STAMEAS_OK) {
        STAMEAS_STA_LOG(ZEP_DBG_NOTE, staMac, "cant get nb scan eirp for radio %u tokenId %u.\r\n",
                        radioId, (u32)tokenId);
        return ret;
    }
    STAMEAS_STA_LOG(ZEP_DBG_NOTE, staMac, "bssid:[" STAMEAS_MAC_FMT "] eirp:%d scanErip:%d.\r\n",
                    STAMEAS_MAC_ARGS(ext->bssid), (int)ext->eirp, (int)ext->scanErip);
    return STAMEAS_OK;
}

STAMEAS_INNER u32 ZEP_STAMEAS_ReportFuncInit(void)
{
    u32 ret = ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, STAMEAS_APP_ID, STAMEAS_MSG_LM_REPORT, 0,
                             ZEP_STAMEAS_LmReportMsgProc);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "reg lm report msg proc fail %u.\r\n", ret);
        return ret;
    }
    ret = ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, STAMEAS_APP_ID, STAMEAS_MSG_TPC_REPORT, 0,
                         ZEP_STAMEAS_TpcReportMsgProc);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "reg tpc report msg proc fail %u.\r\n", ret);
    }
    return ret;
}

STAMEAS_INNER void ZEP_STAMEAS_ReportFuncDeInit(void)
{
    u32 ret = ZEP_MNG_UnRegMsg(ZEP_MSG_KIND_EVENT, STAMEAS_APP_ID, STAMEAS_MSG_LM_REPORT,
                               ZEP_STAMEAS_LmReportMsgProc);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "unreg lm report msg proc fail %u.\r\n", ret);
    }
    ret = ZEP_MNG_UnRegMsg(ZEP_MSG_KIND_EVENT, STAMEAS_APP_ID, STAMEAS_MSG_TPC_REPORT,
                           ZEP_STAMEAS_TpcReportMsgProc);
    if (ret != STAMEAS_OK) {
        STAMEAS_LOG(ZEP_DBG_ERROR, "unreg tpc report msg proc fail %u.\r\n", ret);
    }
}
