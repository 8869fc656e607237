/* Every framework operation the module imports, one row each, with what the
 * tools around the module need to know of it. The emulation's fault
 * injection, the recorder's wraps, the recording's operation ids, the replay
 * and the contract kit all take their lists from this table, so adding an
 * operation is one row here (beside its emulated body and its recording's
 * builder).
 *
 * A row is X(name, replay, fault, failure, note):
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
 *   note     why no contract check covers it; empty when one does.
 *
 * The recorded rows, in this order, are the recording format's operation ids:
 * a recorded row is only ever added after the last recorded one. */
#pragma once

#define ZEP_OPERATIONS(X)                                                                          \
    X(ZEP_MNG_RegApp,                       answered,   fallible,   status, "")                    \
    X(ZEP_MNG_RegMsg,                       answered,   fallible,   status, "")                    \
    X(ZEP_MNG_UnRegMsg,                     answered,   fallible,   status, "")                    \
    X(ZEP_MNG_CheckMsgValid,                computed,   infallible, status, "")                    \
    X(ZEP_MNG_SendMsg,                      answered,   fallible,   status, "")                    \
    X(ZEP_MNG_SendIPCMsg,                   answered,   fallible,   status, "")                    \
    X(ZEP_MNG_FillTimerRegInfo,             computed,   fallible,   status, "")                    \
    X(ZEP_MNG_FillTimerMsgInfo,             computed,   fallible,   status, "")                    \
    X(ZEP_MNG_StartTimer,                   answered,   fallible,   status, "")                    \
    X(ZEP_MNG_StopTimer,                    answered,   fallible,   status, "")                    \
    X(ZEP_STA_RegAccessPrimHandle,          answered,   fallible,   status, "")                    \
    X(ZEP_GetTick,                          answered,   infallible, status, "")                    \
    X(ZEP_TmTickToMillSec,                  answered,   infallible, status, "")                    \
    X(ZEP_HiPrecisionMsNow64,               answered,   fallible,   status, "")                    \
    X(ZEP_CFG_RegRadioSingleCfgMsg,         answered,   fallible,   status, "")                    \
    X(ZEP_CFG_MsgParseSingleTlv,            answered,   fallible,   null,   "")                    \
    X(UMAC_OBJMNG_MallocDataArea,           computed,   fallible,   status, "")                    \
    X(UMAC_OBJMNG_GetRadioDataInfo,         computed,   fallible,   null,   "")                    \
    X(UMAC_MallocZero,                      computed,   fallible,   null,   "")                    \
    X(UMAC_Free,                            computed,   infallible, status, "")                    \
    X(ZEP_Free,                             computed,   infallible, status, "")                    \
    X(ZEP_MEMPOOL_Create,                   computed,   fallible,   null,   "")                    \
    X(ZEP_MEMPOOL_Malloc,                   computed,   fallible,   null,   "")                    \
    X(ZEP_MEMPOOL_Free,                     computed,   infallible, status, "")                    \
    X(ZEP_MEMPOOL_Destroy,                  computed,   infallible, status, "")                    \
    X(ZEP_HASH_CreateNew,                   computed,   fallible,   null,   "")                    \
    X(ZEP_HASH_AddNode,                     computed,   fallible,   status, "")                    \
    X(ZEP_HASH_DeleteNode,                  computed,   infallible, status, "")                    \
    X(ZEP_HASH_FindNode,                    unrecorded, infallible, status, "")                    \
    X(ZEP_HASH_DeleteTable,                 computed,   infallible, status, "")                    \
    X(ZEP_SLL_InsertInMiddle,               computed,   infallible, status, "")                    \
    X(ZEP_SLL_Delete,                       computed,   infallible, status, "")                    \
    X(ZEP_SLL_Find,                         computed,   infallible, status, "")                    \
    X(ZEP_SLL_MergeSort,                    computed,   infallible, status, "")                    \
    X(ZEP_SLL_FreeAll,                      computed,   infallible, status, "")                    \
    X(UMAC_BITMAP_IsBitUp,                  unrecorded, infallible, status, "")                    \
    X(UMAC_BITMAP_SetBit,                   computed,   infallible, status, "")                    \
    X(UMAC_BITMAP_ClearBit,                 computed,   infallible, status, "")                    \
    X(UMAC_BITMAP_SetBitValue,              computed,   infallible, status, "")                    \
    X(ZEP_PROFILE_GetMaxRadioNum,           answered,   infallible, status, "")                    \
    X(ZEP_PROFILE_GetMaxVapNumPerRadio,     answered,   infallible, status, "")                    \
    X(ZEP_PROFILE_IsValidRadioId,           answered,   infallible, status, "")                    \
    X(ZEP_STA_GetRadioCurEirp,              answered,   infallible, status, "")                    \
    X(ZEP_STA_GetRadioMaxPower,             answered,   infallible, status, "")                    \
    X(ZEP_STA_GetRadioFreq,                 answered,   infallible, status, "")                    \
    X(ZEP_STA_GetVapBssid,                  answered,   fallible,   null,   "")                    \
    X(ZEP_UAM_FindStaInfo,                  answered,   fallible,   null,   "")                    \
    X(ZEP_NB_WalkApVapWithP2,               answered,   infallible, status, "")                    \
    X(ZEP_NB_GetNbScanEirp,                 answered,   fallible,   status, "")                    \
    X(ZEP_NB_GetScanRadioId,                answered,   fallible,   status, "")                    \
    X(ZEP_NB_GetRadioScanEirp,              answered,   fallible,   status, "")                    \
    X(ZEP_NB_GetNbApVapBssidByTokenId,      answered,   fallible,   status, "")                    \
    X(ZEP_NB_GetNbApVapEirpByTokenId,       answered,   fallible,   status, "")                    \
    X(ZEP_NB_GetNbApRadioScanEirpByTokenId, answered,   fallible,   status, "")                    \
    X(ZEP_StrnCmp,                          computed,   infallible, status, "")                    \
    X(ZEP_DBG_Print,                        computed,   infallible, status,                        \
      "cannot fail and returns nothing; the kit cannot read the framework's log, so "              \
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
