// zep-contract: timers and the clock. A repeating timer at the module's
// period, its stop, a failed start, and the tick's unit and wrap.
#include <vector>

#include "check.hpp"
#include "contract_driver.h"
#include "zep_framework.h"

namespace zep::contract {
namespace {

constexpr u32 kTimerMsgId = kKitMsgBase + 0x10;
constexpr u32 kPeriodMs = 1000;  // the module's measurement timer
// Expiries may come late on a loaded device, never early.
constexpr u64 kEarlyMs = kPeriodMs / 50;
constexpr u64 kLateMs = kPeriodMs / 10;

struct Expiries {
    std::vector<u64> atMs;
    u32 wrongRecord = 0;  // expiries whose record was not the timer's
};
Expiries g_expiries;

u64 nowMs()
{
    u64 now = 0;
    ZEP_HiPrecisionMsNow64(&now);
    return now;
}

u32 onExpiry(void *msg, u32 len)
{
    g_expiries.atMs.push_back(nowMs());
    const auto *record = static_cast<const ZEP_TimerInfo *>(msg);
    if (msg == nullptr || len < sizeof(ZEP_TimerInfo) || record->msgId != kTimerMsgId) {
        ++g_expiries.wrongRecord;
    }
    return ZEP_OK;
}

// Fills a record on this function's stack and starts it: the framework must
// keep its own copy, as the module's record is gone when its handler returns.
u32 startTimer(u32 isRepeat, u32 *timerId)
{
    ZEP_TimerInfo timer{};
    const u32 reg = ZEP_MNG_FillTimerRegInfo(kPeriodMs, isRepeat, 0, &timer);
    const u32 msg = ZEP_MNG_FillTimerMsgInfo(kKitAppId, kTimerMsgId, onExpiry, &timer);
    if (reg != 0 || msg != 0) {
        return reg != 0 ? reg : msg;
    }
    const u32 status = ZEP_MNG_StartTimer(&timer, timerId);
    timer = ZEP_TimerInfo{};
    return status;
}

void repeatsEveryPeriod(Verdict &v)
{
    g_expiries = {};
    u32 timerId = 0;
    const u64 startMs = nowMs();
    const u32 status = startTimer(1, &timerId);
    if (!v.expect(status == 0 && timerId != 0, "starting returned %u with id %u", status, timerId)) {
        return;
    }
    ZEPC_DriverRunFor(3 * kPeriodMs + kPeriodMs / 2);
    const auto &at = g_expiries.atMs;
    v.expect(at.size() == 3, "%zu expiries in 3.5 periods of a repeating timer", at.size());
    u64 previous = startMs;
    for (u64 when : at) {
        const u64 gap = when - previous;
        v.expect(gap + kEarlyMs >= kPeriodMs && gap <= kPeriodMs + kLateMs,
                 "an expiry %llu ms after the previous one, period %u ms",
                 static_cast<unsigned long long>(gap), kPeriodMs);
        previous = when;
    }
    v.expect(g_expiries.wrongRecord == 0, "%u expiries did not carry the timer's record",
             g_expiries.wrongRecord);
    ZEP_MNG_StopTimer(&timerId, timerId);
}

void stopEndsExpiries(Verdict &v)
{
    g_expiries = {};
    u32 timerId = 0;
    if (!v.expect(startTimer(1, &timerId) == 0, "the timer could not be started")) {
        return;
    }
    ZEPC_DriverRunFor(kPeriodMs / 2);
    const u32 held = timerId;
    const u32 status = ZEP_MNG_StopTimer(&timerId, held);
    v.expect(status == 0, "ZEP_MNG_StopTimer returned %u", status);
    ZEPC_DriverRunFor(2 * kPeriodMs);
    v.expect(g_expiries.atMs.empty(), "%zu expiries after the timer was stopped",
             g_expiries.atMs.size());
    v.expect(timerId == 0, "the caller's id reads %u after the stop, not 0", timerId);
}

void failedStartLeavesId(Verdict &v)
{
    ZEP_TimerInfo timer{};
    ZEP_MNG_FillTimerRegInfo(0, 1, 0, &timer);  // a period of 0 cannot run
    ZEP_MNG_FillTimerMsgInfo(kKitAppId, kTimerMsgId, onExpiry, &timer);
    u32 timerId = 0;
    const u32 status = ZEP_MNG_StartTimer(&timer, &timerId);
    v.expect(status != 0, "a timer of period 0 was started");
    v.expect(status == 0 || timerId == 0, "the refused start wrote id %u", timerId);
    if (status == 0) {
        ZEP_MNG_StopTimer(&timerId, timerId);
    }
}

void tickMeasuresTime(Verdict &v)
{
    constexpr u32 kWaitMs = 200;
    const u64 startMs = nowMs();
    const u32 startTick = ZEP_GetTick();
    ZEPC_DriverRunFor(kWaitMs);
    const u32 ticks = ZEP_GetTick() - startTick;
    const u64 elapsedMs = nowMs() - startMs;
    const u32 tickMs = ZEP_TmTickToMillSec(ticks);
    v.expect(elapsedMs >= kWaitMs, "the millisecond clock moved %llu ms in %u ms",
             static_cast<unsigned long long>(elapsedMs), kWaitMs);
    // The two clocks are read a moment apart: a millisecond either way each.
    v.expect(tickMs + 2 >= elapsedMs && tickMs <= elapsedMs + 2,
             "%u ticks read as %u ms while the millisecond clock moved %llu ms", ticks, tickMs,
             static_cast<unsigned long long>(elapsedMs));
}

// Callers take differences of the 32-bit tick, which wrap, so a difference
// may be any u32: each must convert in proportion, with no overflow inside
// the conversion (a 32-bit "ticks * 1000 / rate" breaks past 2^32 / 1000).
void tickWrap(Verdict &v)
{
    v.expect(ZEP_TmTickToMillSec(0) == 0, "0 ticks read as %u ms", ZEP_TmTickToMillSec(0));
    u64 before = 0;
    for (u32 shift = 8; shift < 32; ++shift) {
        const u32 difference = 1u << shift;
        const u64 half = ZEP_TmTickToMillSec(difference >> 1);
        const u64 whole = ZEP_TmTickToMillSec(difference);
        v.expect(whole >= before && whole + 1 >= 2 * half && whole <= 2 * half + 1,
                 "%u ticks read as %llu ms, half of them as %llu ms", difference,
                 static_cast<unsigned long long>(whole), static_cast<unsigned long long>(half));
        before = whole;
    }
    const u64 all = ZEP_TmTickToMillSec(0xFFFFFFFFu);
    v.expect(all >= before, "0xffffffff ticks read as %llu ms, fewer than 2^31 ticks",
             static_cast<unsigned long long>(all));
}

void monotonicMs(Verdict &v)
{
    u64 first = 0;
    const u32 status = ZEP_HiPrecisionMsNow64(&first);
    ZEPC_DriverRunFor(10);
    u64 second = 0;
    ZEP_HiPrecisionMsNow64(&second);
    v.expect(status == 0, "ZEP_HiPrecisionMsNow64 returned %u", status);
    v.expect(second >= first + 10, "the clock read %llu ms, then %llu ms 10 ms later",
             static_cast<unsigned long long>(first), static_cast<unsigned long long>(second));
    v.expect(ZEP_HiPrecisionMsNow64(nullptr) != 0, "a null output was accepted");
}

}  // namespace

const std::vector<Check> kTimerChecks = {
    {"timers.repeat_every_period",
     "A repeating timer started from a stack record fires every period with it",
     {"ZEP_MNG_FillTimerRegInfo", "ZEP_MNG_FillTimerMsgInfo", "ZEP_MNG_StartTimer"},
     repeatsEveryPeriod},
    {"timers.stop_ends_expiries",
     "ZEP_MNG_StopTimer stops the timer, zeroes the caller's id; no expiry follows",
     {"ZEP_MNG_StopTimer"}, stopEndsExpiries},
    {"timers.failed_start_keeps_id", "A refused ZEP_MNG_StartTimer leaves the caller's id at 0",
     {"ZEP_MNG_StartTimer"}, failedStartLeavesId},
    {"timers.tick_unit",
     "ZEP_TmTickToMillSec turns a tick difference into the milliseconds elapsed",
     {"ZEP_GetTick", "ZEP_TmTickToMillSec"}, tickMeasuresTime},
    {"timers.tick_wrap", "Any 32-bit tick difference, across the wrap too, converts in proportion",
     {"ZEP_TmTickToMillSec"}, tickWrap},
    {"timers.monotonic_ms", "ZEP_HiPrecisionMsNow64 gives monotonic milliseconds that follow time",
     {"ZEP_HiPrecisionMsNow64"}, monotonicMs},
};

}  // namespace zep::contract
