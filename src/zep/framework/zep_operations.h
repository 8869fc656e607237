/* Every framework operation the module imports, one row each, with what the
 * tools around the module need to know of it. The emulation's fault
 * injection, the recorder's wraps, the recording's operation ids, the replay
 * and the contract kit all take their lists from this table, and the
 * emulation's entry points are made from its rows, so adding an operation is
 * one row here (beside its emulated body and its recording's builder).
 *
 * A row is X(name, replay, fault, failure, entry, result, params, outputs, note):
 *   replay   answered    recorded; a replay gives back the recorded result
 *                        and outputs, and the framework is not asked.
 *            computed    recorded; a replay checks the call against the
 *                        recording and lets the emulation compute it on the
 *                        module's own memory. A fallible one fails where the
 *                        recording says it failed, since what made it fail
 *                        (no memory, an injected fault) is not in the replay.
 *            unrecorded  a pure read of the module's own memory: nothing to
 *                        record, a replay computes it again.
 *   fault    fallible    the emulation can make it fail; its name is what
 *                        tests and scenarios arm the fault by.
 *            infallible  the emulation never fails it on request.
 *   failure  null        its result is a pointer, null when it failed (a
 *                        recording keeps only whether one was given).
 *            status      a non-zero result is its failure, where it can fail
 *                        (a lookup's null result is a miss, not a failure).
 *   entry    generated   the emulation's C entry point is made from this row:
 *                        it shows a recorded call to a replay's tap, then
 *                        runs the emulated body of the same name.
 *            written     the emulation writes it itself (the logger, whose
 *                        format's arguments follow the parameters listed).
 *   result   its result type.
 *   params   its parameters as (type, name, type, name, ...), in order.
 *   outputs  (name, bytes, ...): the pointer parameters through which it
 *            hands back what a replay answers from the recording, each with
 *            the bytes the recording keeps of it, in the recording's order.
 *   note     why no contract check covers it; empty when one does.
 *
 * The recorded rows, in this order, are the recording format's operation ids:
 * a recorded row is only ever added after the last recorded one. */
#pragma once

#define ZEP_OPERATIONS(X)                                                                                    \
    X(ZEP_MNG_RegApp, answered, fallible, status, generated, u32,                                            \
      (u32, appId, u32, phaseNum, const ZEP_AppInfo *, appInfo), (), "")                                     \
    X(ZEP_MNG_RegMsg, answered, fallible, status, generated, u32,                                            \
      (u32, kind, u32, appId, u32, msgId, u32, reserved, ZEP_MsgHandler, handler), (), "")                   \
    X(ZEP_MNG_UnRegMsg, answered, fallible, status, generated, u32,                                          \
      (u32, kind, u32, appId, u32, msgId, ZEP_MsgHandler, handler), (), "")                                  \
    X(ZEP_MNG_CheckMsgValid, computed, infallible, status, generated, u32,                                   \
      (const void *, msg, u32, len, u32, minLen), (), "")                                                    \
    X(ZEP_MNG_SendMsg, answered, fallible, status, generated, u32,                                           \
      (u32, dest, u32, reserved, u32, msgId, const void *, body, u32, len), (), "")                          \
    X(ZEP_MNG_SendIPCMsg, answered, fallible, status, generated, u32,                                        \
      (u32, dest, u32, msgId, const void *, body, u32, len, u32, reserved), (), "")                          \
    X(ZEP_MNG_FillTimerRegInfo, computed, fallible, status, generated, u32,                                  \
      (u32, periodMs, u32, isRepeat, u32, reserved, ZEP_TimerInfo *, timer), (), "")                         \
    X(ZEP_MNG_FillTimerMsgInfo, computed, fallible, status, generated, u32,                                  \
      (u32, appId, u32, msgId, ZEP_MsgHandler, handler, ZEP_TimerInfo *, timer), (), "")                     \
    X(ZEP_MNG_StartTimer, answered, fallible, status, generated, u32,                                        \
      (const ZEP_TimerInfo *, timer, u32 *, timerId), (timerId, 4), "")                                      \
    X(ZEP_MNG_StopTimer, answered, fallible, status, generated, u32,                                         \
      (u32 *, timerId, u32, timerIdValue), (timerId, 4), "")                                                 \
    X(ZEP_STA_RegAccessPrimHandle, answered, fallible, status, generated, u32,                               \
      (u32, primId, ZEP_AccessPrimHandler, handler, u32, priority, const char *, name), (), "")              \
    X(ZEP_GetTick, answered, infallible, status, generated, u32,                                             \
      (), (), "")                                                                                            \
    X(ZEP_TmTickToMillSec, answered, infallible, status, generated, u32,                                     \
      (u32, ticks), (), "")                                                                                  \
    X(ZEP_HiPrecisionMsNow64, answered, fallible, status, generated, u32,                                    \
      (u64 *, nowMs), (nowMs, 8), "")                                                                        \
    X(ZEP_CFG_RegRadioSingleCfgMsg, answered, fallible, status, generated, u32,                              \
      (u32, appId, u32, itemType, ZEP_CfgMsgHandler, handler), (), "")                                       \
    X(ZEP_CFG_MsgParseSingleTlv, answered, fallible, null, generated, void *,                                \
      (void *, cfgMsg, u32, len, u32 *, radioId, u32, tlvIndex, u32, minValueLen), (radioId, 4), "")         \
    X(UMAC_OBJMNG_MallocDataArea, computed, fallible, status, generated, u32,                                \
      (u64 *, areaHandle, const UMAC_OBJMNG_DataAreaReq *, req), (), "")                                     \
    X(UMAC_OBJMNG_GetRadioDataInfo, computed, fallible, null, generated, void *,                             \
      (u64, areaHandle, u32, radioId), (), "")                                                               \
    X(UMAC_MallocZero, computed, fallible, null, generated, void *,                                          \
      (const char *, file, u32, line, u32, size), (), "")                                                    \
    X(UMAC_Free, computed, infallible, status, generated, void,                                              \
      (const char *, file, u32, line, void *, block), (), "")                                                \
    X(ZEP_Free, computed, infallible, status, generated, void,                                               \
      (void *, block), (), "")                                                                               \
    X(ZEP_MEMPOOL_Create, computed, fallible, null, generated, ZEP_MemPool *,                                \
      (u32, blockSize, u32, blockCount, const char *, name, u32, flags, u32, align, u32, reserved), (), "")  \
    X(ZEP_MEMPOOL_Malloc, computed, fallible, null, generated, void *,                                       \
      (ZEP_MemPool *, pool), (), "")                                                                         \
    X(ZEP_MEMPOOL_Free, computed, infallible, status, generated, u32,                                        \
      (ZEP_MemPool *, pool, void *, block), (), "")                                                          \
    X(ZEP_MEMPOOL_Destroy, computed, infallible, status, generated, u32,                                     \
      (ZEP_MemPool *, pool, u32, flags), (), "")                                                             \
    X(ZEP_HASH_CreateNew, computed, fallible, null, generated, ZEP_HashTable *,                              \
      (u32, bucketNum), (), "")                                                                              \
    X(ZEP_HASH_AddNode, computed, fallible, status, generated, u32,                                          \
      (ZEP_HashTable *, tbl, void *, node, u32, bucket, u32, flags), (), "")                                 \
    X(ZEP_HASH_DeleteNode, computed, infallible, status, generated, u32,                                     \
      (ZEP_HashTable *, tbl, void *, node, u32, bucket), (), "")                                             \
    X(ZEP_HASH_FindNode, unrecorded, infallible, status, generated, void *,                                  \
      (ZEP_HashTable *, tbl, u32, bucket, const void *, key, ZEP_HashKeyCmp, cmp), (), "")                   \
    X(ZEP_HASH_DeleteTable, computed, infallible, status, generated, u32,                                    \
      (ZEP_HashTable *, tbl, ZEP_HashFreeFn, freeFn), (), "")                                                \
    X(ZEP_SLL_InsertInMiddle, computed, infallible, status, generated, u32,                                  \
      (ZEP_SLL_Head *, head, ZEP_SLL_Node *, prev, ZEP_SLL_Node *, newNode, ZEP_SLL_Node *, next), (), "")   \
    X(ZEP_SLL_Delete, computed, infallible, status, generated, u32,                                          \
      (ZEP_SLL_Head *, head, ZEP_SLL_Node *, element), (), "")                                               \
    X(ZEP_SLL_Find, computed, infallible, status, generated, ZEP_SLL_Node *,                                 \
      (ZEP_SLL_Head *, head, const void *, key, ZEP_SLL_KeyCmp, cmp), (), "")                                \
    X(ZEP_SLL_MergeSort, computed, infallible, status, generated, u32,                                       \
      (ZEP_SLL_Head *, head, ZEP_SLL_DataCmp, cmp), (), "")                                                  \
    X(ZEP_SLL_FreeAll, computed, infallible, status, generated, u32,                                         \
      (ZEP_SLL_Head *, head, ZEP_SLL_FreeFn, freeFn), (), "")                                                \
    X(UMAC_BITMAP_IsBitUp, unrecorded, infallible, status, generated, u32,                                   \
      (const void *, bitmap, u32, bit), (), "")                                                              \
    X(UMAC_BITMAP_SetBit, computed, infallible, status, generated, u32,                                      \
      (void *, bitmap, u32, bit), (), "")                                                                    \
    X(UMAC_BITMAP_ClearBit, computed, infallible, status, generated, u32,                                    \
      (void *, bitmap, u32, bit), (), "")                                                                    \
    X(UMAC_BITMAP_SetBitValue, computed, infallible, status, generated, u32,                                 \
      (void *, bitmap, u32, bit, u32, value), (), "")                                                        \
    X(ZEP_PROFILE_GetMaxRadioNum, answered, infallible, status, generated, u32,                              \
      (), (), "")                                                                                            \
    X(ZEP_PROFILE_GetMaxVapNumPerRadio, answered, infallible, status, generated, u32,                        \
      (), (), "")                                                                                            \
    X(ZEP_PROFILE_IsValidRadioId, answered, infallible, status, generated, u32,                              \
      (u32, radioId), (), "")                                                                                \
    X(ZEP_STA_GetRadioCurEirp, answered, infallible, status, generated, s8,                                  \
      (u32, radioId), (), "")                                                                                \
    X(ZEP_STA_GetRadioMaxPower, answered, infallible, status, generated, s8,                                 \
      (u32, radioId), (), "")                                                                                \
    X(ZEP_STA_GetRadioFreq, answered, infallible, status, generated, u32,                                    \
      (u32, radioId), (), "")                                                                                \
    X(ZEP_STA_GetVapBssid, answered, fallible, null, generated, const u8 *,                                  \
      (u32, radioId, u32, vapId), (), "")                                                                    \
    X(ZEP_UAM_FindStaInfo, answered, fallible, null, generated, const ZEP_UAM_StaInfo *,                     \
      (const u8 *, staMac), (), "")                                                                          \
    X(ZEP_NB_WalkApVapWithP2, answered, infallible, status, generated, u32,                                  \
      (ZEP_NB_WalkFn, fn, void *, p1, void *, p2), (), "")                                                   \
    X(ZEP_NB_GetNbScanEirp, answered, fallible, status, generated, u32,                                      \
      (const ZEP_NB_ApRecord *, nb, u8, channel, u8, selector, s8 *, eirp), (eirp, 1), "")                   \
    X(ZEP_NB_GetScanRadioId, answered, fallible, status, generated, u32,                                     \
      (u16, channel, u8, freqInd, u32 *, radioId, u8 *, aux), (radioId, 4, aux, 1), "")                      \
    X(ZEP_NB_GetRadioScanEirp, answered, fallible, status, generated, u32,                                   \
      (u32, radioId, u32, channel, s8 *, eirp), (eirp, 1), "")                                               \
    X(ZEP_NB_GetNbApVapBssidByTokenId, answered, fallible, status, generated, u32,                           \
      (u8, tokenId, u32, radioId, u32, vapId, u8 *, bssid), (bssid, 6), "")                                  \
    X(ZEP_NB_GetNbApVapEirpByTokenId, answered, fallible, status, generated, u32,                            \
      (u8, tokenId, u32, radioId, u32, vapId, s8 *, eirp), (eirp, 1), "")                                    \
    X(ZEP_NB_GetNbApRadioScanEirpByTokenId, answered, fallible, status, generated, u32,                      \
      (u8, tokenId, u32, radioId, s8 *, scanEirp), (scanEirp, 1), "")                                        \
    X(ZEP_StrnCmp, computed, infallible, status, generated, s32,                                             \
      (const void *, a, const void *, b, u32, n), (), "")                                                    \
    X(ZEP_DBG_Print, computed, infallible, status, written, void,                                            \
      (u32, severity, u32, moduleId, u32, category, const u8 *, staMac, const char *, format), (),           \
      "cannot fail and returns nothing; the kit cannot read the framework's log, so "                        \
      "the first log lines of the module are read at bring-up instead")

/* Each trait's word as 1 or 0, for the lists that keep some rows only. A
 * misspelt word names none of these and does not compile. */
#define ZEP_OP_RECORDED_answered 1
#define ZEP_OP_RECORDED_computed 1
#define ZEP_OP_RECORDED_unrecorded 0
#define ZEP_OP_ANSWERED_answered 1
#define ZEP_OP_ANSWERED_computed 0
#define ZEP_OP_ANSWERED_unrecorded 0
#define ZEP_OP_FALLIBLE_fallible 1
#define ZEP_OP_FALLIBLE_infallible 0
#define ZEP_OP_NULL_FAILS_null 1
#define ZEP_OP_NULL_FAILS_status 0

/* ZEP_OP_WHEN(flag, ...): what follows the flag where it is 1, nothing where
 * it is 0; e.g. ZEP_OP_WHEN(ZEP_OP_FALLIBLE_##fault, name,) in a row's macro
 * lists the fallible operations alone. */
#define ZEP_OP_WHEN(flag, ...) ZEP_OP_WHEN_(flag, __VA_ARGS__)
#define ZEP_OP_WHEN_(flag, ...) ZEP_OP_WHEN_##flag(__VA_ARGS__)
#define ZEP_OP_WHEN_1(...) __VA_ARGS__
#define ZEP_OP_WHEN_0(...)

/* The pairs of a (type, name, ...) or (name, bytes, ...) list:
 * ZEP_OP_PAIRS(f, list) is f(first, second) for each pair, separated by
 * commas; nothing for (). Up to 6 pairs. */
#define ZEP_OP_PAIRS(f, list) ZEP_OP_PAIRS_I(f, ZEP_OP_UNPAREN list)
#define ZEP_OP_UNPAREN(...) __VA_ARGS__
#define ZEP_OP_PAIRS_I(f, ...) ZEP_OP_PAIRS_N(ZEP_OP_COUNT(__VA_ARGS__), f, __VA_ARGS__)
#define ZEP_OP_PAIRS_N(n, ...) ZEP_OP_PAIRS_N_(n, __VA_ARGS__)
#define ZEP_OP_PAIRS_N_(n, ...) ZEP_OP_PAIRS_##n(__VA_ARGS__)
#define ZEP_OP_COUNT(...) ZEP_OP_COUNT_(__VA_ARGS__ __VA_OPT__(, ) 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0)
#define ZEP_OP_COUNT_(a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, n, ...) n
#define ZEP_OP_PAIRS_0(f, ...)
#define ZEP_OP_PAIRS_2(f, a, b) f(a, b)
#define ZEP_OP_PAIRS_4(f, a, b, ...) f(a, b), ZEP_OP_PAIRS_2(f, __VA_ARGS__)
#define ZEP_OP_PAIRS_6(f, a, b, ...) f(a, b), ZEP_OP_PAIRS_4(f, __VA_ARGS__)
#define ZEP_OP_PAIRS_8(f, a, b, ...) f(a, b), ZEP_OP_PAIRS_6(f, __VA_ARGS__)
#define ZEP_OP_PAIRS_10(f, a, b, ...) f(a, b), ZEP_OP_PAIRS_8(f, __VA_ARGS__)
#define ZEP_OP_PAIRS_12(f, a, b, ...) f(a, b), ZEP_OP_PAIRS_10(f, __VA_ARGS__)

/* Of a (type, name, ...) list: the parameters as declared, their types
 * alone, their names alone. */
#define ZEP_OP_PARAMS(list) ZEP_OP_PAIRS(ZEP_OP_PARAM_, list)
#define ZEP_OP_TYPES(list) ZEP_OP_PAIRS(ZEP_OP_TYPE_, list)
#define ZEP_OP_NAMES(list) ZEP_OP_PAIRS(ZEP_OP_NAME_, list)
#define ZEP_OP_PARAM_(type, name) type name
#define ZEP_OP_TYPE_(type, name) type
#define ZEP_OP_NAME_(type, name) name

/* The entry column's word as 1 or 0. */
#define ZEP_OP_GENERATED_generated 1
#define ZEP_OP_GENERATED_written 0
