/* Framework interface: radio configuration items and per-radio data areas. */
#pragma once

#include "zep_types.h"

extern "C" {

typedef u32 (*ZEP_CfgMsgHandler)(void *cfgMsg, u32 len);

/* Configuration item types. */
#define ZEP_CFG_ITEM_SCAN_SWITCH 32u

u32 ZEP_CFG_RegRadioSingleCfgMsg(u32 appId, u32 itemType, ZEP_CfgMsgHandler handler);
/* Returns the value bytes of TLV number tlvIndex when it holds at least
 * minValueLen bytes, and writes the radio the message is for; null otherwise. */
void *ZEP_CFG_MsgParseSingleTlv(void *cfgMsg, u32 len, u32 *radioId, u32 tlvIndex,
                                u32 minValueLen);

/* Wire encoding of a radio configuration message: a header, then TLVs back to back. */
typedef struct {
    u32 radioId;
    u32 tlvNum;
} ZEP_CfgMsgHead;
typedef struct {
    u16 type;
    u16 len; /* value bytes that follow */
} ZEP_CfgTlvHead;
static_assert(sizeof(ZEP_CfgMsgHead) == 8);
static_assert(sizeof(ZEP_CfgTlvHead) == 4);

/* Object manager: one data area per application, sliced per radio and VAP. */
typedef struct {
    u32 globalBytes;
    u32 bytesPerRadio;
    u32 bytesPerVap;
    u32 maxRadioNum;
    u32 maxVapNumPerRadio;
} UMAC_OBJMNG_DataAreaReq;
static_assert(sizeof(UMAC_OBJMNG_DataAreaReq) == 20);

u32 UMAC_OBJMNG_MallocDataArea(u64 *areaHandle, const UMAC_OBJMNG_DataAreaReq *req);
void *UMAC_OBJMNG_GetRadioDataInfo(u64 areaHandle, u32 radioId);

} /* extern "C" */
