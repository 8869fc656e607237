/* sta-meas wire records: the bodies of every message the application receives
 * or sends. Defined once here; the framework emulation, the simulator and the
 * tests encode and decode through these same records. Host byte order.
 * Framework components written in C read the same header. */
#pragma once

#include "zep_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Message ids ---- */
#define STAMEAS_MSG_SCAN_STATE 34u      /* radio starts/stops scanning a channel */
#define STAMEAS_MSG_CO_SCAN_TRIG 42u    /* ask a radio to scan a channel (sent) */
#define STAMEAS_RPC_GET_MEAS_LIST 69u   /* "get_sta_meas_list" */
#define STAMEAS_RPC_GET_COMEAS_LIST 70u /* "get_sta_comeas_list" */
#define STAMEAS_IPC_NB_COMEAS_REQ 91u   /* blocks to neighbouring access points (sent) */
#define STAMEAS_MSG_LM_REQ 167u         /* link-measurement request (sent) */
#define STAMEAS_MSG_LM_REPORT 168u
#define STAMEAS_MSG_TPC_REQ 169u /* TPC request (sent) */
#define STAMEAS_MSG_TPC_REPORT 170u
#define STAMEAS_MSG_SCAN_CHAN_SET 181u /* a radio's scan channel set changed */
#define STAMEAS_MSG_MEAS_START 182u
#define STAMEAS_MSG_MEAS_STOP 183u
#define STAMEAS_MSG_COMEAS_START 184u
#define STAMEAS_MSG_COMEAS_STOP 185u
#define STAMEAS_MSG_MEAS_TIMER 186u
#define STAMEAS_MSG_MEAS_REPORT 197u /* completed report to every receiver (sent) */
#define STAMEAS_MSG_COMEAS_TO_NB 198u

#define STAMEAS_AUTO_MEAS_ID 0xFFFFFFFFu /* start entry: choose from the station's capabilities */
#define STAMEAS_ALL_RADIO 0xFFFFFFFFu    /* co-measurement: the radio that scans the channel */

#define STAMEAS_STA_MAX_NUM 128u   /* entries of one 182/183 */
#define STAMEAS_COMEAS_MAX_NUM 16u /* entries of one 184/185, stations of one 198 */

/* ---- Station measurement requests and schedules ---- */
typedef struct {
    u32 radioId;
    u32 vapId;
    u8 staMac[6];
    u8 tokenId; /* 1..143 when the application builds the request */
    s8 curEirp;
    u8 maxPower;
    u8 rsv[3];
} StaMeasReq;
ZEP_STATIC_ASSERT(sizeof(StaMeasReq) == 20);
ZEP_STATIC_ASSERT(offsetof(StaMeasReq, staMac) == 8);
ZEP_STATIC_ASSERT(offsetof(StaMeasReq, tokenId) == 14);
ZEP_STATIC_ASSERT(offsetof(StaMeasReq, maxPower) == 16);

typedef struct {
    u8 isLoop;
    u8 periodInSec; /* due when loopCnt % periodInSec == 0; 0 = never */
    u16 count;      /* requests left when isLoop is 0 */
} StaMeasSched;
ZEP_STATIC_ASSERT(sizeof(StaMeasSched) == 4);
ZEP_STATIC_ASSERT(offsetof(StaMeasSched, count) == 2);

/* ---- 182 / 183: measurement start and stop ---- */
typedef struct {
    u8 num;
    u8 host;
    u8 rsv[2];
    u32 radioId;
} StaMeasMsgHead;
ZEP_STATIC_ASSERT(sizeof(StaMeasMsgHead) == 8);
ZEP_STATIC_ASSERT(offsetof(StaMeasMsgHead, radioId) == 4);

typedef struct {
    u8 staMac[6];
    u8 rsv[2];
    u32 measId;
    StaMeasReq measReq;
    StaMeasSched sched;
} StaMeasStartEntry;
ZEP_STATIC_ASSERT(sizeof(StaMeasStartEntry) == 36);
ZEP_STATIC_ASSERT(offsetof(StaMeasStartEntry, measId) == 8);
ZEP_STATIC_ASSERT(offsetof(StaMeasStartEntry, measReq) == 12);
ZEP_STATIC_ASSERT(offsetof(StaMeasStartEntry, sched) == 32);

typedef struct {
    u8 staMac[6]; /* FF:FF:FF:FF:FF:FF = every node of the radio */
    u8 rsv[2];
    u32 measId; /* 0xFFFFFFFF = every measurement of the station */
} StaMeasStopEntry;
ZEP_STATIC_ASSERT(sizeof(StaMeasStopEntry) == 12);

ZEP_FLEX_ARRAY_BEGIN
typedef struct {
    StaMeasMsgHead head;
    StaMeasStartEntry entry[];
} StaMeasStartMsg;
typedef struct {
    StaMeasMsgHead head;
    StaMeasStopEntry entry[];
} StaMeasStopMsg;
ZEP_FLEX_ARRAY_END

/* ---- 168 / 170: reports; 197: the completed report ---- */
typedef struct {
    u32 radioId;
    u32 vapId;
    u8 staMac[6];
    u8 rsv;
    u8 tokenId;
    u8 values[8];
} LmReportMsg;
ZEP_STATIC_ASSERT(sizeof(LmReportMsg) == 24);
ZEP_STATIC_ASSERT(offsetof(LmReportMsg, tokenId) == 15);

typedef struct {
    u32 radioId;
    u32 vapId;
    u8 staMac[6];
    u8 tokenId;
    u8 values[5];
} TpcReportMsg;
ZEP_STATIC_ASSERT(sizeof(TpcReportMsg) == 20);
ZEP_STATIC_ASSERT(offsetof(TpcReportMsg, tokenId) == 14);

typedef struct {
    u8 bssid[6];
    s8 eirp;
    s8 scanErip;
} MeasExtensionInfo;
ZEP_STATIC_ASSERT(sizeof(MeasExtensionInfo) == 8);

#define STAMEAS_OWN_TOKEN_END 144u /* tokens below: this access point's own requests */
#define STAMEAS_NB_TOKEN_HIGH 200u /* token class 3 from here */

typedef struct {
    u32 reportMsgId; /* 168 or 170 */
    u8 report[24];   /* LM body, or TPC body + 4 zero bytes */
    MeasExtensionInfo ext;
    u8 tokenClass; /* bits 0..1 */
    u8 rsv[3];
} StaMeasReportMsg;
ZEP_STATIC_ASSERT(sizeof(StaMeasReportMsg) == 40);
ZEP_STATIC_ASSERT(offsetof(StaMeasReportMsg, ext) == 28);
ZEP_STATIC_ASSERT(offsetof(StaMeasReportMsg, tokenClass) == 36);

/* ---- 184 / 185: co-measurement start and stop ---- */
#define COMEAS_START_FLAG_TRIG_SCAN 0x01u
#define COMEAS_ENTRY_FLAG_ON_WORK_CHANNEL 0x01u
#define COMEAS_ENTRY_FLAG_REPEAT_SEND 0x02u
#define COMEAS_REQ_BODY_LEN 24u

typedef struct {
    u8 num;
    u8 host;
    u16 channel;
    u32 radioId; /* STAMEAS_ALL_RADIO: resolved from (channel, freqInd) in place */
    u8 freqInd;
    u8 flags; /* 184 only: COMEAS_START_FLAG_* */
    u8 rsv[2];
} CoMeasMsgHead;
ZEP_STATIC_ASSERT(sizeof(CoMeasMsgHead) == 12);
ZEP_STATIC_ASSERT(offsetof(CoMeasMsgHead, radioId) == 4);
ZEP_STATIC_ASSERT(offsetof(CoMeasMsgHead, freqInd) == 8);

/* Offsets inside reqBody that the start handler completes. */
#define COMEAS_REQ_RADIO_OFFSET 0u
#define COMEAS_REQ_ADDR_OFFSET 10u /* 6-byte address shown by the dump */
#define COMEAS_REQ_BAND_OFFSET 16u
#define COMEAS_REQ_EIRP_OFFSET 17u
#define COMEAS_REQ_DUMP_BYTE_OFFSET 18u
#define COMEAS_REQ_EIRP2_OFFSET 19u
#define COMEAS_REQ_FLAGS_OFFSET 20u
#define COMEAS_EIRP_UNKNOWN 127

typedef struct {
    u8 staMac[6];
    u8 flags; /* COMEAS_ENTRY_FLAG_* */
    u8 rsv;
    u32 measId;
    u8 reqBody[COMEAS_REQ_BODY_LEN];
} CoMeasStartEntry;
ZEP_STATIC_ASSERT(sizeof(CoMeasStartEntry) == 36);
ZEP_STATIC_ASSERT(offsetof(CoMeasStartEntry, reqBody) == 12);

typedef struct {
    u8 staMac[6]; /* FF:FF:FF:FF:FF:FF = every station */
    u8 rsv[2];
    u32 measId;
} CoMeasStopEntry;
ZEP_STATIC_ASSERT(sizeof(CoMeasStopEntry) == 12);

ZEP_FLEX_ARRAY_BEGIN
typedef struct {
    CoMeasMsgHead head;
    CoMeasStartEntry entry[];
} CoMeasStartMsg;
typedef struct {
    CoMeasMsgHead head;
    CoMeasStopEntry entry[];
} CoMeasStopMsg;
ZEP_FLEX_ARRAY_END

typedef struct {
    u32 radioId;
    u32 channel;
} CoScanTrigMsg;
ZEP_STATIC_ASSERT(sizeof(CoScanTrigMsg) == 8);

/* ---- 198: co-measurement to neighbours; 91: the blocks sent to them ---- */
#define COMEAS_NB_FLAG_CHECK_SSID 0x01u
#define COMEAS_NB_FLAG_SEND_ON_SCAN 0x02u
#define COMEAS_NB_SSID_LEN 32u

typedef struct {
    u8 staMac[6];
    u8 rsv0[6];
    u8 ssid[COMEAS_NB_SSID_LEN];
    u8 rsv1;
    u8 radioId; /* local radio whose band a neighbour VAP must share */
    u8 rsv2[2];
    u8 channel;
    u8 rsv3[2];
    u8 selector; /* passed with channel to the neighbour scan-EIRP query */
} CoMeasStaRec;
ZEP_STATIC_ASSERT(sizeof(CoMeasStaRec) == 52);
ZEP_STATIC_ASSERT(offsetof(CoMeasStaRec, ssid) == 12);
ZEP_STATIC_ASSERT(offsetof(CoMeasStaRec, radioId) == 45);
ZEP_STATIC_ASSERT(offsetof(CoMeasStaRec, channel) == 48);
ZEP_STATIC_ASSERT(offsetof(CoMeasStaRec, selector) == 51);

typedef struct {
    u8 flags; /* COMEAS_NB_FLAG_* */
    u8 rsv[2];
    u8 staNum;
    u32 staTag[STAMEAS_COMEAS_MAX_NUM];
} CoMeasToNbMsgHead;
ZEP_STATIC_ASSERT(sizeof(CoMeasToNbMsgHead) == 68);

ZEP_FLEX_ARRAY_BEGIN
typedef struct {
    CoMeasToNbMsgHead head;
    CoMeasStaRec sta[];
} CoMeasToNbMsg;
ZEP_FLEX_ARRAY_END

typedef struct {
    u8 nbMac[6];
    u8 nbRecByte0;
    u8 staNum;
    u32 staTag[STAMEAS_COMEAS_MAX_NUM];
} NbCoMeasReqBlockHead;
ZEP_STATIC_ASSERT(sizeof(NbCoMeasReqBlockHead) == 72);

#define COMEAS_NB_BUF_LEN 1900u
#define COMEAS_NB_BLOCK_LEN(k) (sizeof(NbCoMeasReqBlockHead) + sizeof(CoMeasStaRec) * (k))

/* ---- 34 / 181: scanning ---- */
#define STAMEAS_SCAN_STATE_ON 1u
typedef struct {
    u32 radioId;
    u32 scanState;
    u8 rsv0[8];
    u32 channel;
    u8 rsv1[4];
} ScanStateMsg;
ZEP_STATIC_ASSERT(sizeof(ScanStateMsg) == 24);
ZEP_STATIC_ASSERT(offsetof(ScanStateMsg, channel) == 16);

typedef struct {
    u32 radioId;
    u8 rsv[104];
} ScanChanSetMsg;
ZEP_STATIC_ASSERT(sizeof(ScanChanSetMsg) == 108);

/* ---- 69 / 70: list dumps, answered in the caller's buffer ---- */
#define STAMEAS_RPC_MEAS_ENTRY_MAX 64u
#define STAMEAS_RPC_COMEAS_ENTRY_MAX 16u

typedef struct __attribute__((packed)) {
    u8 staMac[6];
    u8 measType; /* 0 for measId 167, else 1 */
    u32 radioId; /* from the top host's request */
    u8 vapId;    /* low byte of the top host's request VAP */
    u16 weight;
    u8 isLoop;
    u8 periodInSec;
    u16 count;
} StaMeasListRpcEntry;
ZEP_STATIC_ASSERT(sizeof(StaMeasListRpcEntry) == 18);
ZEP_STATIC_ASSERT(offsetof(StaMeasListRpcEntry, radioId) == 7);
ZEP_STATIC_ASSERT(offsetof(StaMeasListRpcEntry, weight) == 12);
ZEP_STATIC_ASSERT(offsetof(StaMeasListRpcEntry, count) == 16);

typedef struct __attribute__((packed)) {
    u32 radioId;
    u8 num;
    StaMeasListRpcEntry entry[STAMEAS_RPC_MEAS_ENTRY_MAX];
} StaMeasListRpcMsg;
ZEP_STATIC_ASSERT(sizeof(StaMeasListRpcMsg) == 1157);
ZEP_STATIC_ASSERT(offsetof(StaMeasListRpcMsg, entry) == 5);

typedef struct __attribute__((packed)) {
    u8 staMac[6];
    u8 measType; /* 0 for measId 173, else 1 */
    u8 addr[6];  /* reqBody bytes 10..15 */
    u16 weight;
    u8 reqByte18;
    u8 eirp; /* reqBody byte 17 */
} StaCoMeasListRpcEntry;
ZEP_STATIC_ASSERT(sizeof(StaCoMeasListRpcEntry) == 17);
ZEP_STATIC_ASSERT(offsetof(StaCoMeasListRpcEntry, weight) == 13);

typedef struct __attribute__((packed)) {
    u32 radioId;
    u32 channel;
    u8 num;
    StaCoMeasListRpcEntry entry[STAMEAS_RPC_COMEAS_ENTRY_MAX];
} StaCoMeasListRpcMsg;
ZEP_STATIC_ASSERT(sizeof(StaCoMeasListRpcMsg) == 281);
ZEP_STATIC_ASSERT(offsetof(StaCoMeasListRpcMsg, entry) == 9);

#ifdef __cplusplus
} /* extern "C" */
#endif
