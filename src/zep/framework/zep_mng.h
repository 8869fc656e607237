/* Framework interface: message manager, timers, access primitives and clock.
 * Applications register handlers here; the framework calls them one at a time. */
#pragma once

#include "zep_types.h"

extern "C" {

/* Handler of an event message, an RPC (the reply is written in place) or a timer. */
typedef u32 (*ZEP_MsgHandler)(void *msg, u32 len);

/* Message kinds accepted by ZEP_MNG_RegMsg. */
#define ZEP_MSG_KIND_EVENT 0u
#define ZEP_MSG_KIND_RPC 5u

/* Application record handed to ZEP_MNG_RegApp; the framework keeps the pointer. */
#define ZEP_APP_NAME_LEN 32u
typedef struct {
    char name[ZEP_APP_NAME_LEN];
    u32 (*init)(u32 phase);
    u64 phaseNum;
    u32 (*deInit)(void);
} ZEP_AppInfo;
static_assert(sizeof(ZEP_AppInfo) == 56);
static_assert(offsetof(ZEP_AppInfo, init) == 32);
static_assert(offsetof(ZEP_AppInfo, phaseNum) == 40);
static_assert(offsetof(ZEP_AppInfo, deInit) == 48);

u32 ZEP_MNG_RegApp(u32 appId, u32 phaseNum, const ZEP_AppInfo *appInfo);
u32 ZEP_MNG_RegMsg(u32 kind, u32 appId, u32 msgId, u32 reserved, ZEP_MsgHandler handler);
u32 ZEP_MNG_UnRegMsg(u32 kind, u32 appId, u32 msgId, ZEP_MsgHandler handler);
/* 0 when msg is present and len >= minLen; otherwise a non-zero error code. */
u32 ZEP_MNG_CheckMsgValid(const void *msg, u32 len, u32 minLen);
/* Both sends copy the body before they return. */
u32 ZEP_MNG_SendMsg(u32 dest, u32 reserved, u32 msgId, const void *body, u32 len);
u32 ZEP_MNG_SendIPCMsg(u32 dest, u32 msgId, const void *body, u32 len, u32 reserved);

/* Timer record: zeroed by the caller, filled by the two Fill calls, copied by
 * ZEP_MNG_StartTimer so it may live on the caller's stack. */
typedef struct {
    u32 periodMs;
    u32 isRepeat;
    u32 reserved;
    u32 appId;
    u32 msgId;
    u32 pad;
    ZEP_MsgHandler handler;
} ZEP_TimerInfo;
static_assert(sizeof(ZEP_TimerInfo) == 32);
static_assert(offsetof(ZEP_TimerInfo, msgId) == 16);
static_assert(offsetof(ZEP_TimerInfo, handler) == 24);

u32 ZEP_MNG_FillTimerRegInfo(u32 periodMs, u32 isRepeat, u32 reserved, ZEP_TimerInfo *timer);
u32 ZEP_MNG_FillTimerMsgInfo(u32 appId, u32 msgId, ZEP_MsgHandler handler, ZEP_TimerInfo *timer);
/* Writes a non-zero id on success; leaves *timerId untouched on failure. */
u32 ZEP_MNG_StartTimer(const ZEP_TimerInfo *timer, u32 *timerId);
u32 ZEP_MNG_StopTimer(u32 *timerId, u32 timerIdValue);

/* Access primitives: the framework tells applications about station events. */
#define ZEP_PRIM_STA_LEAVE 6u
typedef u32 (*ZEP_AccessPrimHandler)(u32 arg1, u32 arg2, u32 arg3, void *sta);
u32 ZEP_STA_RegAccessPrimHandle(u32 primId, ZEP_AccessPrimHandler handler, u32 priority,
                                const char *name);

/* Clock. Ticks are the framework's cheap counter; ms64 is monotonic wall time. */
u32 ZEP_GetTick(void);
u32 ZEP_TmTickToMillSec(u32 ticks);
u32 ZEP_HiPrecisionMsNow64(u64 *nowMs);

} /* extern "C" */
