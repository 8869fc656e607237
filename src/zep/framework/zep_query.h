/* Framework interface: device profile and the read-only radio, station and
 * neighbour databases. Records handed out stay the framework's: read them
 * during the handler that got them and keep no pointer across handlers. */
#pragma once

#include "zep_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Profile ---- */
/* Returns: the number of radios; valid radio ids are 0 up to this count - 1. */
u32 ZEP_PROFILE_GetMaxRadioNum(void);
/* Returns: the number of VAPs each radio may carry. */
u32 ZEP_PROFILE_GetMaxVapNumPerRadio(void);
/* A truth value, unlike the statuses elsewhere in the interface.
 * Returns: 1 for a radio of this device, 0 for any other id. */
u32 ZEP_PROFILE_IsValidRadioId(u32 radioId);

/* ---- Radios: an unknown radio id reads as 0 from the value queries. ---- */
/* Returns: the radio's current EIRP in dBm (signed). */
s8 ZEP_STA_GetRadioCurEirp(u32 radioId);
/* Returns: the radio's maximum transmit power in dBm (signed). */
s8 ZEP_STA_GetRadioMaxPower(u32 radioId);
/* Returns: the radio's band code: 0 when the radio has no band (not set up),
 * otherwise a code that equals the band code of neighbour VAPs on that band. */
u32 ZEP_STA_GetRadioFreq(u32 radioId);
/* Returns: the 6-byte BSSID of VAP vapId of the radio, or null when the radio
 * or the VAP is unknown. */
const u8 *ZEP_STA_GetVapBssid(u32 radioId, u32 vapId);

/* ---- Stations: the record ZEP_UAM_FindStaInfo hands out (read only). ---- */
#define ZEP_STA_CAP_BITMAP_BYTES 16u
#define ZEP_STA_CAP_LINK_MEAS 34u /* link measurement supported */
#define ZEP_STA_CAP_TPC_REQ 35u   /* TPC request supported */
typedef struct {
    u8 staMac[6];
    u8 rsv0[6];
    u32 radioId; /* radio serving the station */
    u32 vapId;   /* VAP of that radio the station is associated with */
    u8 rsv1[60];
    u8 capBitmap[ZEP_STA_CAP_BITMAP_BYTES]; /* ZEP_STA_CAP_* bits, UMAC_BITMAP order */
    u8 rsv2[100];
    u32 tokenCounter; /* the station's running request token */
} ZEP_UAM_StaInfo;
ZEP_STATIC_ASSERT(offsetof(ZEP_UAM_StaInfo, radioId) == 12);
ZEP_STATIC_ASSERT(offsetof(ZEP_UAM_StaInfo, vapId) == 16);
ZEP_STATIC_ASSERT(offsetof(ZEP_UAM_StaInfo, capBitmap) == 80);
ZEP_STATIC_ASSERT(offsetof(ZEP_UAM_StaInfo, tokenCounter) == 196);
ZEP_STATIC_ASSERT(sizeof(ZEP_UAM_StaInfo) == 200);

/* Returns: the record of the associated station with this 6-byte MAC, or null
 * when no such station is associated (or staMac is null). */
const ZEP_UAM_StaInfo *ZEP_UAM_FindStaInfo(const u8 *staMac);

/* ---- Neighbours: the record the neighbour walk hands out (read only). ---- */
#define ZEP_NB_SSID_LEN 32u
#define ZEP_NB_MAX_VAP 16u
typedef struct {
    u8 ssid[ZEP_NB_SSID_LEN]; /* not NUL-terminated when all 32 bytes are used */
    u8 rsv0;
    u8 channel;
    u8 rsv1[2];
    u8 band; /* band code, comparable with ZEP_STA_GetRadioFreq */
    u8 rsv2[7];
} ZEP_NB_VapEntry;
ZEP_STATIC_ASSERT(sizeof(ZEP_NB_VapEntry) == 44);
ZEP_STATIC_ASSERT(offsetof(ZEP_NB_VapEntry, channel) == 33);
ZEP_STATIC_ASSERT(offsetof(ZEP_NB_VapEntry, band) == 36);

typedef struct {
    u8 recByte0; /* a per-neighbour value the framework defines; carried unchanged */
    u8 rsv0;
    u8 bssid[6];
    u8 vapNum; /* entries of vap[] in use */
    u8 rsv1[7];
    ZEP_NB_VapEntry vap[ZEP_NB_MAX_VAP];
} ZEP_NB_ApRecord;
ZEP_STATIC_ASSERT(offsetof(ZEP_NB_ApRecord, bssid) == 2);
ZEP_STATIC_ASSERT(offsetof(ZEP_NB_ApRecord, vapNum) == 8);
ZEP_STATIC_ASSERT(offsetof(ZEP_NB_ApRecord, vap) == 16);

/* Called once per neighbour with p1 and p2 as given to the walk. Its result
 * does not stop the walk; the walk ignores it. */
typedef u32 (*ZEP_NB_WalkFn)(const ZEP_NB_ApRecord *nb, void *p1, void *p2);
/* Calls fn once per known neighbour, in the database's order.
 * Returns: 0 (also when there are no neighbours); non-zero for a null fn. */
u32 ZEP_NB_WalkApVapWithP2(ZEP_NB_WalkFn fn, void *p1, void *p2);

/* The scan EIRP at which this access point hears neighbour nb on a channel.
 *   nb:       a record from the walk.
 *   selector: a second key of the scan results beside the channel; its values
 *             are the framework's, and applications pass on the one a request
 *             carried without reading it.
 *   eirp:     receives the EIRP in dBm.
 * Returns: 0 and *eirp written when known; non-zero otherwise. */
u32 ZEP_NB_GetNbScanEirp(const ZEP_NB_ApRecord *nb, u8 channel, u8 selector, s8 *eirp);

/* The local radio that scans a channel.
 *   channel/freqInd: the channel number and the frequency index that goes
 *                    with it (one number can name channels on several bands).
 *   radioId:         receives the radio.
 *   aux:             receives a byte of framework detail about that radio that
 *                    applications do not need; may be null.
 * Returns: 0 and *radioId written; non-zero when no radio scans the channel. */
u32 ZEP_NB_GetScanRadioId(u16 channel, u8 freqInd, u32 *radioId, u8 *aux);

/* Returns: 0 and *eirp (dBm) written with the local radio's scan EIRP on
 * channel; non-zero when the radio or the channel is unknown. */
u32 ZEP_NB_GetRadioScanEirp(u32 radioId, u32 channel, s8 *eirp);

/* Lookups of a neighbouring access point by the token of a station's report:
 * a token outside the range this access point gives its own requests, with
 * the local radio (and VAP) the report came in on, designates one neighbour
 * VAP. Each returns 0 and writes its output (a 6-byte BSSID, the VAP's EIRP,
 * the neighbour radio's scan EIRP, in dBm) when the token is known; non-zero,
 * with the output untouched, otherwise or for a null output. */
u32 ZEP_NB_GetNbApVapBssidByTokenId(u8 tokenId, u32 radioId, u32 vapId, u8 *bssid);
u32 ZEP_NB_GetNbApVapEirpByTokenId(u8 tokenId, u32 radioId, u32 vapId, s8 *eirp);
u32 ZEP_NB_GetNbApRadioScanEirpByTokenId(u8 tokenId, u32 radioId, s8 *scanEirp);

/* Compares the first n bytes of a and b (not stopping at a NUL).
 * Returns: 0 when equal; otherwise negative or positive like memcmp. */
s32 ZEP_StrnCmp(const void *a, const void *b, u32 n);

#ifdef __cplusplus
} /* extern "C" */
#endif
