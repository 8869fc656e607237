// Recorded message-manager, timer and clock operations: each runs the
// framework's own, then records its arguments, status and outputs.
#include "recorder.hpp"

using namespace zep::record;
using namespace zep::record::recorder;

extern "C" {



// The recording halves, out of line so that the wrappers below need no stack
// frame on their way straight to the framework.
[[gnu::noinline]] u32 recorded_ZEP_MNG_CheckMsgValid(const void *msg, u32 len, u32 minLen)
{
    u32 r = __real_ZEP_MNG_CheckMsgValid(msg, len, minLen);
    recordCall(calls::ZEP_MNG_CheckMsgValid(msg, len, minLen), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_MNG_SendMsg(u32 dest, u32 reserved, u32 msgId, const void *body, u32 len)
{
    u32 r = __real_ZEP_MNG_SendMsg(dest, reserved, msgId, body, len);
    recordCall(calls::ZEP_MNG_SendMsg(dest, reserved, msgId, body, len), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_MNG_SendIPCMsg(u32 dest, u32 msgId, const void *body, u32 len, u32 reserved)
{
    u32 r = __real_ZEP_MNG_SendIPCMsg(dest, msgId, body, len, reserved);
    recordCall(calls::ZEP_MNG_SendIPCMsg(dest, msgId, body, len, reserved), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_MNG_FillTimerRegInfo(u32 periodMs, u32 isRepeat, u32 reserved, ZEP_TimerInfo *timer)
{
    u32 r = __real_ZEP_MNG_FillTimerRegInfo(periodMs, isRepeat, reserved, timer);
    recordCall(calls::ZEP_MNG_FillTimerRegInfo(periodMs, isRepeat, reserved, timer), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_MNG_StartTimer(const ZEP_TimerInfo *timer, u32 *timerId)
{
    u32 r = __real_ZEP_MNG_StartTimer(timer, timerId);
    recordCall(calls::ZEP_MNG_StartTimer(timer, timerId), r, r == 0 && timerId != nullptr ? calls::bytesOf(timerId, 4) : std::span<const u8>());
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_MNG_StopTimer(u32 *timerId, u32 timerIdValue)
{
    u32 r = __real_ZEP_MNG_StopTimer(timerId, timerIdValue);
    recordCall(calls::ZEP_MNG_StopTimer(timerId, timerIdValue), r, calls::bytesOf(timerId, 4));
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_GetTick(void)
{
    u32 r = __real_ZEP_GetTick();
    recordCall(calls::ZEP_GetTick(), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_TmTickToMillSec(u32 ticks)
{
    u32 r = __real_ZEP_TmTickToMillSec(ticks);
    recordCall(calls::ZEP_TmTickToMillSec(ticks), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_HiPrecisionMsNow64(u64 *nowMs)
{
    u32 r = __real_ZEP_HiPrecisionMsNow64(nowMs);
    recordCall(calls::ZEP_HiPrecisionMsNow64(nowMs), r, r == 0 && nowMs != nullptr ? calls::bytesOf(nowMs, 8) : std::span<const u8>());
    return r;
}










}  // extern "C"
