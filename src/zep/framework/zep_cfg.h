/* Framework interface: radio configuration items and per-radio data areas. */
#pragma once

#include "zep_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Handler of one radio configuration message.
 *   cfgMsg/len: the encoded message (ZEP_CfgMsgHead, then TLVs), valid only
 *               during the call; read it with ZEP_CFG_MsgParseSingleTlv.
 * Returns: 0 when the item was applied, otherwise the handler's error status. */
typedef u32 (*ZEP_CfgMsgHandler)(void *cfgMsg, u32 len);

/* Configuration item types. */
#define ZEP_CFG_ITEM_SCAN_SWITCH 32u

/* Registers handler for configuration item itemType, called once per radio
 * configuration message that carries the item.
 *   appId: the registering application.
 * Returns: 0; non-zero for a null handler or an item that already has one. */
u32 ZEP_CFG_RegRadioSingleCfgMsg(u32 appId, u32 itemType, ZEP_CfgMsgHandler handler);

/* Finds one TLV of a configuration message.
 *   cfgMsg/len:  the message the handler was given.
 *   radioId:     receives the radio the message is for.
 *   tlvIndex:    which TLV, counting from 0 in message order.
 *   minValueLen: value bytes the caller is about to read.
 * Returns: a pointer into cfgMsg at the TLV's value bytes, and *radioId
 * written; null (and *radioId untouched) when an argument is null, the message
 * is truncated, has fewer TLVs, or the TLV's value is shorter than minValueLen. */
void *ZEP_CFG_MsgParseSingleTlv(void *cfgMsg, u32 len, u32 *radioId, u32 tlvIndex,
                                u32 minValueLen);

/* Wire encoding of a radio configuration message: a header, then TLVs back to
 * back, each a ZEP_CfgTlvHead followed by its value bytes. */
typedef struct {
    u32 radioId;
    u32 tlvNum;
} ZEP_CfgMsgHead;
typedef struct {
    u16 type; /* item type, e.g. ZEP_CFG_ITEM_SCAN_SWITCH */
    u16 len;  /* value bytes that follow */
} ZEP_CfgTlvHead;
ZEP_STATIC_ASSERT(sizeof(ZEP_CfgMsgHead) == 8);
ZEP_STATIC_ASSERT(sizeof(ZEP_CfgTlvHead) == 4);

/* Object manager: one data area per application, sliced into a global part,
 * one slice per radio and one per VAP of each radio. */
typedef struct {
    u32 globalBytes;
    u32 bytesPerRadio;
    u32 bytesPerVap;
    u32 maxRadioNum;       /* radios to provide slices for */
    u32 maxVapNumPerRadio; /* VAPs per radio */
} UMAC_OBJMNG_DataAreaReq;
ZEP_STATIC_ASSERT(sizeof(UMAC_OBJMNG_DataAreaReq) == 20);

/* Allocates a zeroed data area laid out as req asks.
 *   areaHandle: receives the area's handle (only meaningful to the calls below).
 * Returns: 0 and *areaHandle written; non-zero for a null argument, no radio
 * slice asked for (bytesPerRadio or maxRadioNum 0) or no memory, *areaHandle
 * left untouched. Areas live as long as the process. */
u32 UMAC_OBJMNG_MallocDataArea(u64 *areaHandle, const UMAC_OBJMNG_DataAreaReq *req);

/* Returns: radio radioId's slice of the area (bytesPerRadio bytes), or null
 * for an unknown handle or a radio id at or beyond maxRadioNum. */
void *UMAC_OBJMNG_GetRadioDataInfo(u64 areaHandle, u32 radioId);

#ifdef __cplusplus
} /* extern "C" */
#endif
