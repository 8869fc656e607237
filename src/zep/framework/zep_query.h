/* Framework interface: device profile and the read-only radio, station and
 * neighbour databases. */
#pragma once

#include "zep_types.h"

extern "C" {

/* ---- Profile ---- */
u32 ZEP_PROFILE_GetMaxRadioNum(void);
u32 ZEP_PROFILE_GetMaxVapNumPerRadio(void);
u32 ZEP_PROFILE_IsValidRadioId(u32 radioId); /* 1 for a radio of this device */

/* ---- Radios ---- */
s8 ZEP_STA_GetRadioCurEirp(u32 radioId);
s8 ZEP_STA_GetRadioMaxPower(u32 radioId);
u32 ZEP_STA_GetRadioFreq(u32 radioId); /* band code */
const u8 *ZEP_STA_GetVapBssid(u32 radioId, u32 vapId);

/* ---- Stations: the record ZEP_UAM_FindStaInfo hands out (read only). ---- */
#define ZEP_STA_CAP_BITMAP_BYTES 16u
#define ZEP_STA_CAP_LINK_MEAS 34u /* link measurement supported */
#define ZEP_STA_CAP_TPC_REQ 35u   /* TPC request supported */
typedef struct {
    u8 staMac[6];
    u8 rsv0[6];
    u32 radioId;
    u32 vapId;
    u8 rsv1[60];
    u8 capBitmap[ZEP_STA_CAP_BITMAP_BYTES];
    u8 rsv2[100];
    u32 tokenCounter;
} ZEP_UAM_StaInfo;
static_assert(offsetof(ZEP_UAM_StaInfo, radioId) == 12);
static_assert(offsetof(ZEP_UAM_StaInfo, vapId) == 16);
static_assert(offsetof(ZEP_UAM_StaInfo, capBitmap) == 80);
static_assert(offsetof(ZEP_UAM_StaInfo, tokenCounter) == 196);
static_assert(sizeof(ZEP_UAM_StaInfo) == 200);

const ZEP_UAM_StaInfo *ZEP_UAM_FindStaInfo(const u8 *staMac);

/* ---- Neighbours: the record the neighbour walk hands out (read only). ---- */
#define ZEP_NB_SSID_LEN 32u
#define ZEP_NB_MAX_VAP 16u
typedef struct {
    u8 ssid[ZEP_NB_SSID_LEN];
    u8 rsv0;
    u8 channel;
    u8 rsv1[2];
    u8 band;
    u8 rsv2[7];
} ZEP_NB_VapEntry;
static_assert(sizeof(ZEP_NB_VapEntry) == 44);
static_assert(offsetof(ZEP_NB_VapEntry, channel) == 33);
static_assert(offsetof(ZEP_NB_VapEntry, band) == 36);

typedef struct {
    u8 recByte0;
    u8 rsv0;
    u8 bssid[6];
    u8 vapNum;
    u8 rsv1[7];
    ZEP_NB_VapEntry vap[ZEP_NB_MAX_VAP];
} ZEP_NB_ApRecord;
static_assert(offsetof(ZEP_NB_ApRecord, bssid) == 2);
static_assert(offsetof(ZEP_NB_ApRecord, vapNum) == 8);
static_assert(offsetof(ZEP_NB_ApRecord, vap) == 16);

typedef u32 (*ZEP_NB_WalkFn)(const ZEP_NB_ApRecord *nb, void *p1, void *p2);
/* Calls fn once per known neighbour, in the database's order. */
u32 ZEP_NB_WalkApVapWithP2(ZEP_NB_WalkFn fn, void *p1, void *p2);
u32 ZEP_NB_GetNbScanEirp(const ZEP_NB_ApRecord *nb, u8 channel, u8 selector, s8 *eirp);
u32 ZEP_NB_GetScanRadioId(u16 channel, u8 freqInd, u32 *radioId, u8 *aux);
u32 ZEP_NB_GetRadioScanEirp(u32 radioId, u32 channel, s8 *eirp);
u32 ZEP_NB_GetNbApVapBssidByTokenId(u8 tokenId, u32 radioId, u32 vapId, u8 *bssid);
u32 ZEP_NB_GetNbApVapEirpByTokenId(u8 tokenId, u32 radioId, u32 vapId, s8 *eirp);
u32 ZEP_NB_GetNbApRadioScanEirpByTokenId(u8 tokenId, u32 radioId, s8 *scanEirp);

/* 0 when the first n bytes are equal. */
s32 ZEP_StrnCmp(const void *a, const void *b, u32 n);

} /* extern "C" */
