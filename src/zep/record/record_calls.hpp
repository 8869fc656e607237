// What is kept of each framework call: its scalar arguments (pointers only as
// "given or not", since addresses differ from run to run) and the bytes it was
// handed. The recorder and the replay build calls with the same functions, so
// the two can never disagree on an operation's shape.
#pragma once

#include <bit>
#include <cstring>
#include <initializer_list>

#include "record_format.hpp"
#include "zep_framework.h"

namespace zep::record::calls {

inline RecordedCall op(Op id, std::initializer_list<u64> args, std::span<const u8> in = {})
{
    RecordedCall e;
    e.kind = CallKind::op;
    e.id = static_cast<u8>(id);
    for (u64 a : args) {
        e.args[e.argCount++] = a;
    }
    e.in = in;
    return e;
}

inline u64 given(const void *p) { return p != nullptr ? 1 : 0; }
template <class R, class... A>
u64 given(R (*fn)(A...))
{
    return fn != nullptr ? 1 : 0;
}

inline std::span<const u8> bytesOf(const void *p, u64 size)
{
    return p != nullptr ? std::span<const u8>(static_cast<const u8 *>(p), size) : std::span<const u8>();
}

// Operations whose result is a pointer record only whether it was null, and
// those that cannot fail record nothing after the call but its status.
inline bool failed(const RecordedCall &recorded)
{
    const bool nullFails = recorded.id < static_cast<u8>(Op::count) && kOps[recorded.id].nullFails;
    return nullFails ? recorded.ret == 0 : recorded.ret != 0;
}

// One builder per operation, named after it, taking the operation's own
// parameters: the recorder calls it with what the module passed, and a replay
// with what the emulation shows it, so that the two build the same event.
inline RecordedCall ZEP_MNG_RegApp(u32 appId, u32 phaseNum, const ZEP_AppInfo *info) { return op(Op::ZEP_MNG_RegApp, {appId, phaseNum, given(info)}); }
inline RecordedCall ZEP_MNG_RegMsg(u32 kind, u32 appId, u32 msgId, u32 reserved, ZEP_MsgHandler handler) { return op(Op::ZEP_MNG_RegMsg, {kind, appId, msgId, reserved, given(handler)}); }
inline RecordedCall ZEP_MNG_UnRegMsg(u32 kind, u32 appId, u32 msgId, ZEP_MsgHandler /*handler*/) { return op(Op::ZEP_MNG_UnRegMsg, {kind, appId, msgId}); }
inline RecordedCall ZEP_MNG_CheckMsgValid(const void *msg, u32 len, u32 minLen) { return op(Op::ZEP_MNG_CheckMsgValid, {given(msg), len, minLen}); }
inline RecordedCall ZEP_MNG_SendMsg(u32 dest, u32 reserved, u32 msgId, const void *body, u32 len) { return op(Op::ZEP_MNG_SendMsg, {dest, reserved, msgId, len}, bytesOf(body, len)); }
inline RecordedCall ZEP_MNG_SendIPCMsg(u32 dest, u32 msgId, const void *body, u32 len, u32 reserved) { return op(Op::ZEP_MNG_SendIPCMsg, {dest, msgId, len, reserved}, bytesOf(body, len)); }
inline RecordedCall ZEP_MNG_FillTimerRegInfo(u32 periodMs, u32 isRepeat, u32 reserved, const ZEP_TimerInfo *timer) { return op(Op::ZEP_MNG_FillTimerRegInfo, {periodMs, isRepeat, reserved, given(timer)}); }
inline RecordedCall ZEP_MNG_FillTimerMsgInfo(u32 appId, u32 msgId, ZEP_MsgHandler handler, const ZEP_TimerInfo *timer) { return op(Op::ZEP_MNG_FillTimerMsgInfo, {appId, msgId, given(handler), given(timer)}); }
inline RecordedCall ZEP_MNG_StartTimer(const ZEP_TimerInfo *timer, const u32 *timerId) { return op(Op::ZEP_MNG_StartTimer, {given(timer), timer ? timer->periodMs : 0, timer ? timer->isRepeat : 0, timer ? timer->msgId : 0, given(timerId)}); }
inline RecordedCall ZEP_MNG_StopTimer(const u32 *timerId, u32 timerIdValue) { return op(Op::ZEP_MNG_StopTimer, {given(timerId), timerIdValue}); }
inline RecordedCall ZEP_STA_RegAccessPrimHandle(u32 primId, ZEP_AccessPrimHandler handler, u32 priority, const char * /*name*/) { return op(Op::ZEP_STA_RegAccessPrimHandle, {primId, given(handler), priority}); }
inline RecordedCall ZEP_GetTick() { return op(Op::ZEP_GetTick, {}); }
inline RecordedCall ZEP_TmTickToMillSec(u32 ticks) { return op(Op::ZEP_TmTickToMillSec, {ticks}); }
inline RecordedCall ZEP_HiPrecisionMsNow64(const u64 *nowMs) { return op(Op::ZEP_HiPrecisionMsNow64, {given(nowMs)}); }
inline RecordedCall ZEP_CFG_RegRadioSingleCfgMsg(u32 appId, u32 itemType, ZEP_CfgMsgHandler handler) { return op(Op::ZEP_CFG_RegRadioSingleCfgMsg, {appId, itemType, given(handler)}); }
inline RecordedCall ZEP_CFG_MsgParseSingleTlv(const void *cfgMsg, u32 len, const u32 *radioId, u32 tlvIndex, u32 minValueLen) { return op(Op::ZEP_CFG_MsgParseSingleTlv, {given(cfgMsg), len, given(radioId), tlvIndex, minValueLen}); }
inline RecordedCall UMAC_OBJMNG_MallocDataArea(const u64 *handle, const UMAC_OBJMNG_DataAreaReq *req) { return op(Op::UMAC_OBJMNG_MallocDataArea, {given(handle), given(req)}, bytesOf(req, sizeof(UMAC_OBJMNG_DataAreaReq))); }
inline RecordedCall UMAC_OBJMNG_GetRadioDataInfo(u64 /*areaHandle*/, u32 radioId) { return op(Op::UMAC_OBJMNG_GetRadioDataInfo, {radioId}); }
inline RecordedCall UMAC_MallocZero(const char * /*file*/, u32 line, u32 size) { return op(Op::UMAC_MallocZero, {line, size}); }
inline RecordedCall UMAC_Free(const char * /*file*/, u32 line, const void *block) { return op(Op::UMAC_Free, {line, given(block)}); }
inline RecordedCall ZEP_Free(const void *block) { return op(Op::ZEP_Free, {given(block)}); }
inline RecordedCall ZEP_MEMPOOL_Create(u32 blockSize, u32 blockCount, const char * /*name*/, u32 flags, u32 align, u32 reserved) { return op(Op::ZEP_MEMPOOL_Create, {blockSize, blockCount, flags, align, reserved}); }
inline RecordedCall ZEP_MEMPOOL_Malloc(const ZEP_MemPool *pool) { return op(Op::ZEP_MEMPOOL_Malloc, {given(pool)}); }
inline RecordedCall ZEP_MEMPOOL_Free(const ZEP_MemPool *pool, const void *block) { return op(Op::ZEP_MEMPOOL_Free, {given(pool), given(block)}); }
inline RecordedCall ZEP_MEMPOOL_Destroy(const ZEP_MemPool *pool, u32 flags) { return op(Op::ZEP_MEMPOOL_Destroy, {given(pool), flags}); }
inline RecordedCall ZEP_HASH_CreateNew(u32 bucketNum) { return op(Op::ZEP_HASH_CreateNew, {bucketNum}); }
inline RecordedCall ZEP_HASH_AddNode(const ZEP_HashTable * /*tbl*/, const void *node, u32 bucket, u32 flags) { return op(Op::ZEP_HASH_AddNode, {given(node), bucket, flags}); }
inline RecordedCall ZEP_HASH_DeleteNode(const ZEP_HashTable * /*tbl*/, const void *node, u32 bucket) { return op(Op::ZEP_HASH_DeleteNode, {given(node), bucket}); }
inline RecordedCall ZEP_HASH_DeleteTable(const ZEP_HashTable * /*tbl*/, ZEP_HashFreeFn freeFn) { return op(Op::ZEP_HASH_DeleteTable, {given(freeFn)}); }
inline RecordedCall ZEP_SLL_InsertInMiddle(const ZEP_SLL_Head *head, const ZEP_SLL_Node * /*prev*/, const ZEP_SLL_Node *newNode, const ZEP_SLL_Node * /*next*/) { return op(Op::ZEP_SLL_InsertInMiddle, {given(head), given(newNode)}); }
inline RecordedCall ZEP_SLL_Delete(const ZEP_SLL_Head *head, const ZEP_SLL_Node *element) { return op(Op::ZEP_SLL_Delete, {given(head), given(element)}); }
inline RecordedCall ZEP_SLL_Find(const ZEP_SLL_Head *head, const void *key, ZEP_SLL_KeyCmp /*cmp*/) { return op(Op::ZEP_SLL_Find, {given(head), given(key)}); }
inline RecordedCall ZEP_SLL_MergeSort(const ZEP_SLL_Head *head, ZEP_SLL_DataCmp /*cmp*/) { return op(Op::ZEP_SLL_MergeSort, {given(head)}); }
inline RecordedCall ZEP_SLL_FreeAll(const ZEP_SLL_Head *head, ZEP_SLL_FreeFn freeFn) { return op(Op::ZEP_SLL_FreeAll, {given(head), given(freeFn)}); }
inline RecordedCall UMAC_BITMAP_SetBit(const void *bitmap, u32 bit) { return op(Op::UMAC_BITMAP_SetBit, {given(bitmap), bit}); }
inline RecordedCall UMAC_BITMAP_ClearBit(const void *bitmap, u32 bit) { return op(Op::UMAC_BITMAP_ClearBit, {given(bitmap), bit}); }
inline RecordedCall UMAC_BITMAP_SetBitValue(const void *bitmap, u32 bit, u32 value) { return op(Op::UMAC_BITMAP_SetBitValue, {given(bitmap), bit, value}); }
inline RecordedCall ZEP_PROFILE_GetMaxRadioNum() { return op(Op::ZEP_PROFILE_GetMaxRadioNum, {}); }
inline RecordedCall ZEP_PROFILE_GetMaxVapNumPerRadio() { return op(Op::ZEP_PROFILE_GetMaxVapNumPerRadio, {}); }
inline RecordedCall ZEP_PROFILE_IsValidRadioId(u32 radioId) { return op(Op::ZEP_PROFILE_IsValidRadioId, {radioId}); }
inline RecordedCall ZEP_STA_GetRadioCurEirp(u32 radioId) { return op(Op::ZEP_STA_GetRadioCurEirp, {radioId}); }
inline RecordedCall ZEP_STA_GetRadioMaxPower(u32 radioId) { return op(Op::ZEP_STA_GetRadioMaxPower, {radioId}); }
inline RecordedCall ZEP_STA_GetRadioFreq(u32 radioId) { return op(Op::ZEP_STA_GetRadioFreq, {radioId}); }
inline RecordedCall ZEP_STA_GetVapBssid(u32 radioId, u32 vapId) { return op(Op::ZEP_STA_GetVapBssid, {radioId, vapId}); }
inline RecordedCall ZEP_UAM_FindStaInfo(const u8 *staMac) { return op(Op::ZEP_UAM_FindStaInfo, {given(staMac)}, bytesOf(staMac, 6)); }
inline RecordedCall ZEP_NB_WalkApVapWithP2(ZEP_NB_WalkFn fn, const void * /*p1*/, const void * /*p2*/) { return op(Op::ZEP_NB_WalkApVapWithP2, {given(fn)}); }
inline RecordedCall ZEP_NB_GetNbScanEirp(const ZEP_NB_ApRecord *nb, u32 channel, u32 selector, const s8 *eirp) { return op(Op::ZEP_NB_GetNbScanEirp, {channel, selector, given(eirp)}, bytesOf(nb != nullptr ? nb->bssid : nullptr, 6)); }
inline RecordedCall ZEP_NB_GetScanRadioId(u32 channel, u32 freqInd, const u32 *radioId, const u8 *aux) { return op(Op::ZEP_NB_GetScanRadioId, {channel, freqInd, given(radioId), given(aux)}); }
inline RecordedCall ZEP_NB_GetRadioScanEirp(u32 radioId, u32 channel, const s8 *eirp) { return op(Op::ZEP_NB_GetRadioScanEirp, {radioId, channel, given(eirp)}); }
inline RecordedCall ZEP_NB_GetNbApVapBssidByTokenId(u32 tokenId, u32 radioId, u32 vapId, const u8 *bssid) { return op(Op::ZEP_NB_GetNbApVapBssidByTokenId, {tokenId, radioId, vapId, given(bssid)}); }
inline RecordedCall ZEP_NB_GetNbApVapEirpByTokenId(u32 tokenId, u32 radioId, u32 vapId, const s8 *eirp) { return op(Op::ZEP_NB_GetNbApVapEirpByTokenId, {tokenId, radioId, vapId, given(eirp)}); }
inline RecordedCall ZEP_NB_GetNbApRadioScanEirpByTokenId(u32 tokenId, u32 radioId, const s8 *scanEirp) { return op(Op::ZEP_NB_GetNbApRadioScanEirpByTokenId, {tokenId, radioId, given(scanEirp)}); }
inline RecordedCall ZEP_StrnCmp(const void * /*a*/, const void * /*b*/, u32 n) { return op(Op::ZEP_StrnCmp, {n}); }
// A MAC as a 48-bit number, its first byte the most significant: one load
// of 8 bytes would read past the six, so 4 and 2.
inline u64 mac48(const u8 *mac)
{
    if (mac == nullptr) {
        return 0;
    }
    u32 high = 0;
    u16 low = 0;
    std::memcpy(&high, mac, 4);
    std::memcpy(&low, mac + 4, 2);
    if constexpr (std::endian::native == std::endian::little) {
        high = __builtin_bswap32(high);
        low = __builtin_bswap16(low);
    }
    return static_cast<u64>(high) << 16 | low;
}
// A log line: its format by reference (or, for a format in writable memory,
// its own text in `out`) and its argument values as the recorder encodes them.
inline RecordedCall ZEP_DBG_Print(u32 severity, u32 moduleId, u32 category, const u8 *staMac, u64 formatRef,
                           std::span<const u8> values, std::span<const u8> ownFormat)
{
    RecordedCall e = op(Op::ZEP_DBG_Print, {severity, moduleId, category, given(staMac), mac48(staMac), formatRef}, values);
    e.out = ownFormat;
    return e;
}

}  // namespace zep::record::calls

namespace zep::record {

// A station record is kept by its named fields only (34 of its 200 bytes):
// the rest is reserved, and a replay hands the application zeros there.
inline constexpr std::size_t kStationBytes = 34;
inline void packStation(const ZEP_UAM_StaInfo &sta, u8 *out)
{
    std::memcpy(out, sta.staMac, 6);
    std::memcpy(out + 6, &sta.radioId, 4);
    std::memcpy(out + 10, &sta.vapId, 4);
    std::memcpy(out + 14, sta.capBitmap, ZEP_STA_CAP_BITMAP_BYTES);
    std::memcpy(out + 30, &sta.tokenCounter, 4);
}
inline void unpackStation(std::span<const u8> in, ZEP_UAM_StaInfo &sta)
{
    sta = ZEP_UAM_StaInfo{};
    if (in.size() != kStationBytes) {
        return;
    }
    std::memcpy(sta.staMac, in.data(), 6);
    std::memcpy(&sta.radioId, in.data() + 6, 4);
    std::memcpy(&sta.vapId, in.data() + 10, 4);
    std::memcpy(sta.capBitmap, in.data() + 14, ZEP_STA_CAP_BITMAP_BYTES);
    std::memcpy(&sta.tokenCounter, in.data() + 30, 4);
}

// A neighbour record is kept up to its last VAP entry in use.
inline std::span<const u8> neighbourBytes(const ZEP_NB_ApRecord &nb)
{
    const u32 vaps = nb.vapNum < ZEP_NB_MAX_VAP ? nb.vapNum : ZEP_NB_MAX_VAP;
    return {reinterpret_cast<const u8 *>(&nb), offsetof(ZEP_NB_ApRecord, vap) + vaps * sizeof(ZEP_NB_VapEntry)};
}

}  // namespace zep::record
