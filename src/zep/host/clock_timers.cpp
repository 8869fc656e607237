// Virtual time: the millisecond clock, timers, scheduled test actions and the
// tick counter. Nothing here reads the real clock except to time handlers.
#include <chrono>
#include <cstring>

#include "host_impl.hpp"

namespace zep::host {

namespace {

void fireTimer(Host::Impl &s)
{
    // Re-armed (or dropped) before the handler runs, so the handler may stop
    // or restart timers, including its own.
    const ZEP_TimerInfo info = s.timers.fire();
    const std::span<const u8> record(reinterpret_cast<const u8 *>(&info), sizeof(info));
    s.callOnCopy(ZEP_MSG_KIND_EVENT, info.msgId, info.handler, record);
}

}  // namespace

u32 detail::TickSource::next(u64 nowMs)
{
    if (!script_.empty()) {
        const u32 value = script_.front();
        script_.pop_front();
        return value;
    }
    // Starts at 1 so that a tick is never 0, which callers may treat as unset.
    return static_cast<u32>(1 + nowMs * ticksPerMs_);
}

u64 Host::nowMs() const { return impl_->nowMs; }

void Host::setNowMs(u64 ms)
{
    if (ms > impl_->nowMs) {
        impl_->nowMs = ms;
    }
}

void Host::advance(u64 ms)
{
    Impl &s = *impl_;
    const u64 target = s.nowMs + ms;
    for (;;) {
        const auto timer = s.timers.front();
        const auto action = s.actions.frontTime();
        const bool timerDue = timer && timer->dueMs <= target;
        const bool actionDue = action && *action <= target;
        // A timer goes first at equal times: the action then sees the state
        // the expiry left, as it would on a device where timers fire at once.
        if (timerDue && (!actionDue || timer->dueMs <= *action)) {
            s.nowMs = std::max(s.nowMs, timer->dueMs);
            fireTimer(s);
        } else if (actionDue) {
            s.nowMs = std::max(s.nowMs, *action);
            s.actions.pop()();
        } else {
            break;
        }
    }
    s.nowMs = std::max(s.nowMs, target);
}

void Host::schedule(u64 atMs, std::function<void()> action)
{
    impl_->actions.push(atMs, std::move(action));
}

std::optional<u32> Host::expireTimer(u32 msgId, std::span<const u8> record)
{
    const std::optional<ZEP_TimerInfo> timer = impl_->timers.expire(msgId);
    if (!timer) {
        return std::nullopt;
    }
    std::vector<u8> handedOver(record.begin(), record.end());
    if (handedOver.size() >= sizeof(ZEP_TimerInfo)) {
        std::memcpy(handedOver.data() + offsetof(ZEP_TimerInfo, handler), &timer->handler, sizeof timer->handler);
    }
    return impl_->callOnCopy(ZEP_MSG_KIND_EVENT, msgId, timer->handler, handedOver);
}

std::size_t Host::activeTimers() const { return impl_->timers.size(); }

Ticks &Host::ticks() { return impl_->ticks; }

}  // namespace zep::host

using namespace zep::host;

u32 emulated::ZEP_MNG_FillTimerRegInfo(u32 periodMs, u32 isRepeat, u32 reserved, ZEP_TimerInfo *timer)
{
    if (auto status = detail::refusal(detail::Op::ZEP_MNG_FillTimerRegInfo, timer)) {
        return *status;
    }
    timer->periodMs = periodMs;
    timer->isRepeat = isRepeat;
    timer->reserved = reserved;
    return 0;
}

u32 emulated::ZEP_MNG_FillTimerMsgInfo(u32 appId, u32 msgId, ZEP_MsgHandler handler, ZEP_TimerInfo *timer)
{
    if (auto status = detail::refusal(detail::Op::ZEP_MNG_FillTimerMsgInfo, timer)) {
        return *status;
    }
    timer->appId = appId;
    timer->msgId = msgId;
    timer->handler = handler;
    return 0;
}

u32 emulated::ZEP_MNG_StartTimer(const ZEP_TimerInfo *timer, u32 *timerId)
{
    if (auto status = detail::refusal(detail::Op::ZEP_MNG_StartTimer, timer, timerId)) {
        return *status;
    }
    if (timer->periodMs == 0 || timer->handler == nullptr) {
        return ZEP_ERR;
    }
    Host::Impl &s = detail::state();
    // The record usually lives on the caller's stack: the queue keeps a copy.
    const u32 id = s.timers.start(*timer, s.nowMs + timer->periodMs);
    *timerId = id;
    return 0;
}

u32 emulated::ZEP_MNG_StopTimer(u32 *timerId, u32 timerIdValue)
{
    if (auto status = detail::refusal(detail::Op::ZEP_MNG_StopTimer, timerId)) {
        return *status;
    }
    if (!detail::state().timers.stop(timerIdValue)) {
        return kErrNotFound;
    }
    // The emulation clears the caller's id, so a stopped timer reads as "no
    // timer" and cannot be stopped twice by mistake.
    *timerId = 0;
    return 0;
}

u32 emulated::ZEP_GetTick(void)
{
    Host::Impl &s = detail::state();
    return s.ticks.next(s.nowMs);
}

u32 emulated::ZEP_TmTickToMillSec(u32 ticks)
{
    return ticks / detail::state().ticks.ticksPerMs();
}

u32 emulated::ZEP_HiPrecisionMsNow64(u64 *nowMs)
{
    if (auto status = detail::refusal(detail::Op::ZEP_HiPrecisionMsNow64, nowMs)) {
        return *status;
    }
    *nowMs = detail::state().nowMs;
    return 0;
}
