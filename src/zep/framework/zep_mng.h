/* Framework interface: message manager, timers, access primitives and clock.
 * Applications register handlers here; the framework calls them one at a time,
 * on its dispatching context, never concurrently. */
#pragma once

#include "zep_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Handler of an event message, an RPC or a timer expiry.
 *   msg: the body, owned by the framework and valid only during the call; an
 *        RPC handler writes its reply into it, in place.
 *   len: bytes of body that may be read.
 * Returns: 0 when the message was handled, otherwise the handler's error
 * status; the body is not delivered again either way. */
typedef u32 (*ZEP_MsgHandler)(void *msg, u32 len);

/* Message kinds accepted by ZEP_MNG_RegMsg. */
#define ZEP_MSG_KIND_EVENT 0u /* one-way message; the body is the handler's to read */
#define ZEP_MSG_KIND_RPC 5u   /* remote procedure call; the reply goes back in the body */

/* Application record handed to ZEP_MNG_RegApp; the framework keeps the pointer,
 * so the record must outlive the registration. */
#define ZEP_APP_NAME_LEN 32u
typedef struct {
    char name[ZEP_APP_NAME_LEN]; /* NUL-terminated, shown in the framework's logs */
    u32 (*init)(u32 phase);      /* phase 0, then phase 1 once phase 0 returned 0 */
    u64 phaseNum;                /* number of init phases the framework runs */
    u32 (*deInit)(void);         /* called once at unload */
} ZEP_AppInfo;
ZEP_STATIC_ASSERT(sizeof(ZEP_AppInfo) == 56);
ZEP_STATIC_ASSERT(offsetof(ZEP_AppInfo, init) == 32);
ZEP_STATIC_ASSERT(offsetof(ZEP_AppInfo, phaseNum) == 40);
ZEP_STATIC_ASSERT(offsetof(ZEP_AppInfo, deInit) == 48);

/* Registers an application.
 *   appId:    the application's module id (it tags its handlers and log lines).
 *   phaseNum: how many init phases to run.
 *   appInfo:  the record above; kept by pointer.
 * Returns: 0, and the framework later runs the init phases in order and
 * deInit at unload; non-zero for a null record or a second registration,
 * and none of the record's entries is ever called. */
u32 ZEP_MNG_RegApp(u32 appId, u32 phaseNum, const ZEP_AppInfo *appInfo);

/* Registers handler for the message msgId of the given kind.
 *   kind:     ZEP_MSG_KIND_EVENT or ZEP_MSG_KIND_RPC.
 *   appId:    the registering application.
 *   reserved: pass 0.
 * Returns: 0; non-zero for a null handler, an unknown kind, or a (kind, msgId)
 * that already has a handler: a second registration never replaces the first. */
u32 ZEP_MNG_RegMsg(u32 kind, u32 appId, u32 msgId, u32 reserved, ZEP_MsgHandler handler);

/* Withdraws the handler of (kind, msgId).
 *   handler: must be the one registered; naming another withdraws nothing.
 * Returns: 0; non-zero when no such registration exists. */
u32 ZEP_MNG_UnRegMsg(u32 kind, u32 appId, u32 msgId, ZEP_MsgHandler handler);

/* Checks a received body before it is read.
 *   msg:    the body as the handler got it.
 *   len:    the length the handler got.
 *   minLen: the bytes the caller is about to read; check a variable-length
 *           message twice, against its header first, then against header
 *           plus count records.
 * Returns: 0 when msg is not null and len >= minLen (a longer body passes);
 * otherwise non-zero. */
u32 ZEP_MNG_CheckMsgValid(const void *msg, u32 len, u32 minLen);

/* Sends an event message.
 *   dest:     receiver, or ZEP_DEST_ALL for every handler of msgId.
 *   reserved: pass 0.
 *   body/len: copied before the call returns, so a stack buffer will do; a null
 *             body is allowed only with len 0.
 * Returns: 0 when queued; non-zero when nothing was sent. */
u32 ZEP_MNG_SendMsg(u32 dest, u32 reserved, u32 msgId, const void *body, u32 len);

/* Sends an inter-process message to neighbouring access points.
 *   dest:     ZEP_DEST_ALL for every neighbour.
 *   body/len: copied before the call returns; the caller may free the body.
 *   reserved: pass 0.
 * Returns: 0 when queued; non-zero when nothing was sent. */
u32 ZEP_MNG_SendIPCMsg(u32 dest, u32 msgId, const void *body, u32 len, u32 reserved);

/* Timer record: zeroed by the caller, filled by the two Fill calls, copied by
 * ZEP_MNG_StartTimer so it may live on the caller's stack. On each expiry the
 * handler is called like a message handler with a copy of this record. */
typedef struct {
    u32 periodMs;          /* first expiry after periodMs, then every periodMs if isRepeat */
    u32 isRepeat;          /* 0: fires once; non-zero: fires until stopped */
    u32 reserved;
    u32 appId;             /* owner */
    u32 msgId;             /* message id the expiry is delivered as */
    u32 pad;
    ZEP_MsgHandler handler;
} ZEP_TimerInfo;
ZEP_STATIC_ASSERT(sizeof(ZEP_TimerInfo) == 32);
ZEP_STATIC_ASSERT(offsetof(ZEP_TimerInfo, msgId) == 16);
ZEP_STATIC_ASSERT(offsetof(ZEP_TimerInfo, handler) == 24);

/* Fills the schedule part of timer (reserved: pass 0).
 * Returns: 0; non-zero for a null timer, which is left alone. */
u32 ZEP_MNG_FillTimerRegInfo(u32 periodMs, u32 isRepeat, u32 reserved, ZEP_TimerInfo *timer);
/* Fills the delivery part of timer: owner, message id and handler.
 * Returns: 0; non-zero for a null timer, which is left alone. */
u32 ZEP_MNG_FillTimerMsgInfo(u32 appId, u32 msgId, ZEP_MsgHandler handler, ZEP_TimerInfo *timer);

/* Starts a timer from a filled record (copied; the caller's may go away).
 *   timerId: receives the new timer's id, never 0.
 * Returns: 0 and *timerId written; non-zero (null argument, period 0, no
 * handler, no resources) and *timerId left untouched, so a caller that keeps 0
 * for "no timer" still reads 0. */
u32 ZEP_MNG_StartTimer(const ZEP_TimerInfo *timer, u32 *timerId);

/* Stops the timer timerIdValue.
 *   timerId:      where the caller keeps the id; set to 0 once stopped.
 *   timerIdValue: the id to stop (the value *timerId holds).
 * Returns: 0 when stopped; non-zero for an unknown id or a null timerId, and
 * *timerId is left as it was. */
u32 ZEP_MNG_StopTimer(u32 *timerId, u32 timerIdValue);

/* Access primitives: the framework tells applications about station events. */
#define ZEP_PRIM_STA_LEAVE 6u
/* arg1..arg3: framework bookkeeping (arg1 is the primitive id); applications
 * ignore them. sta: the station's ZEP_UAM_StaInfo record (read only; its
 * first 6 bytes are the MAC), or null. Returns a status the framework logs. */
typedef u32 (*ZEP_AccessPrimHandler)(u32 arg1, u32 arg2, u32 arg3, void *sta);
/* Registers handler for primitive primId.
 *   priority: the framework's ordering hint among subscribers of primId.
 *   name:     shown in the framework's logs; kept by pointer.
 * Returns: 0; non-zero for a null handler or a primitive that already has one.
 * There is no withdrawal: the handler stays for the life of the process. */
u32 ZEP_STA_RegAccessPrimHandle(u32 primId, ZEP_AccessPrimHandler handler, u32 priority,
                                const char *name);

/* Clock. Ticks are the framework's cheap 32-bit counter; it wraps, so
 * compare differences, not values. */
u32 ZEP_GetTick(void);
/* Returns: the milliseconds a difference of ticks stands for (rounded down). */
u32 ZEP_TmTickToMillSec(u32 ticks);
/* Monotonic milliseconds.
 * Returns: 0 and *nowMs written; non-zero for a null nowMs or a clock that
 * cannot be read, *nowMs left untouched. */
u32 ZEP_HiPrecisionMsNow64(u64 *nowMs);

#ifdef __cplusplus
} /* extern "C" */
#endif
