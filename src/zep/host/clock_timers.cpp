// Virtual time: the millisecond clock, timers, scheduled test actions and the
// tick counter. Nothing here reads the real clock except to time handlers.
#include <chrono>
#include <cstring>

#include "host_impl.hpp"

namespace zep::host {

namespace {

using TimerIt = std::map<u32, detail::Timer>::iterator;

// The earliest timer due at or before limit; the lower id wins a tie because
// the map is ordered by id and only a strictly earlier time replaces a pick.
TimerIt nextDueTimer(std::map<u32, detail::Timer> &timers, u64 limit)
{
    auto best = timers.end();
    for (auto it = timers.begin(); it != timers.end(); ++it) {
        if (it->second.dueMs <= limit && (best == timers.end() || it->second.dueMs < best->second.dueMs)) {
            best = it;
        }
    }
    return best;
}

void fireTimer(Host::Impl &s, TimerIt it)
{
    const ZEP_TimerInfo info = it->second.info;
    // Re-armed (or dropped) before the handler runs, so the handler may stop
    // or restart timers, including its own.
    if (info.isRepeat != 0) {
        it->second.dueMs += info.periodMs;
    } else {
        s.timers.erase(it);
    }
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
        const auto timer = nextDueTimer(s.timers, target);
        const auto action = s.actions.begin() != s.actions.end() && s.actions.begin()->first.first <= target
                                ? s.actions.begin()
                                : s.actions.end();
        const bool haveTimer = timer != s.timers.end();
        const bool haveAction = action != s.actions.end();
        if (!haveTimer && !haveAction) {
            break;
        }
        // A timer goes first at equal times: the action then sees the state
        // the expiry left, as it would on a device where timers fire at once.
        if (haveTimer && (!haveAction || timer->second.dueMs <= action->first.first)) {
            s.nowMs = std::max(s.nowMs, timer->second.dueMs);
            fireTimer(s, timer);
        } else {
            s.nowMs = std::max(s.nowMs, action->first.first);
            std::function<void()> run = std::move(action->second);
            s.actions.erase(action);
            run();
        }
    }
    s.nowMs = std::max(s.nowMs, target);
}

void Host::schedule(u64 atMs, std::function<void()> action)
{
    impl_->actions.emplace(std::pair{atMs, impl_->nextActionOrder++}, std::move(action));
}

std::size_t Host::activeTimers() const { return impl_->timers.size(); }

Ticks &Host::ticks() { return impl_->ticks; }

}  // namespace zep::host

using namespace zep::host;

u32 ZEP_MNG_FillTimerRegInfo(u32 periodMs, u32 isRepeat, u32 reserved, ZEP_TimerInfo *timer)
{
    if (auto fault = detail::injectedFault("ZEP_MNG_FillTimerRegInfo")) {
        return *fault;
    }
    if (timer == nullptr) {
        return kErrNullPtr;
    }
    timer->periodMs = periodMs;
    timer->isRepeat = isRepeat;
    timer->reserved = reserved;
    return 0;
}

u32 ZEP_MNG_FillTimerMsgInfo(u32 appId, u32 msgId, ZEP_MsgHandler handler, ZEP_TimerInfo *timer)
{
    if (auto fault = detail::injectedFault("ZEP_MNG_FillTimerMsgInfo")) {
        return *fault;
    }
    if (timer == nullptr) {
        return kErrNullPtr;
    }
    timer->appId = appId;
    timer->msgId = msgId;
    timer->handler = handler;
    return 0;
}

u32 ZEP_MNG_StartTimer(const ZEP_TimerInfo *timer, u32 *timerId)
{
    if (auto fault = detail::injectedFault("ZEP_MNG_StartTimer")) {
        return *fault;
    }
    if (timer == nullptr || timerId == nullptr) {
        return kErrNullPtr;
    }
    if (timer->periodMs == 0 || timer->handler == nullptr) {
        return ZEP_ERR;
    }
    Host::Impl &s = detail::state();
    u32 id = s.nextTimerId;
    while (id == 0 || s.timers.contains(id)) {  // 0 means "no timer" to callers
        ++id;
    }
    s.nextTimerId = id + 1;
    // The record usually lives on the caller's stack: keep a copy.
    s.timers.emplace(id, detail::Timer{*timer, s.nowMs + timer->periodMs});
    *timerId = id;
    return 0;
}

u32 ZEP_MNG_StopTimer(u32 *timerId, u32 timerIdValue)
{
    if (auto fault = detail::injectedFault("ZEP_MNG_StopTimer")) {
        return *fault;
    }
    if (timerId == nullptr) {
        return kErrNullPtr;
    }
    if (detail::state().timers.erase(timerIdValue) == 0) {
        return kErrNotFound;
    }
    // The emulation clears the caller's id, so a stopped timer reads as "no
    // timer" and cannot be stopped twice by mistake.
    *timerId = 0;
    return 0;
}

u32 ZEP_GetTick(void)
{
    Host::Impl &s = detail::state();
    return s.ticks.next(s.nowMs);
}

u32 ZEP_TmTickToMillSec(u32 ticks) { return ticks / detail::state().ticks.ticksPerMs(); }

u32 ZEP_HiPrecisionMsNow64(u64 *nowMs)
{
    if (auto fault = detail::injectedFault("ZEP_HiPrecisionMsNow64")) {
        return *fault;
    }
    if (nowMs == nullptr) {
        return kErrNullPtr;
    }
    *nowMs = detail::state().nowMs;
    return 0;
}
