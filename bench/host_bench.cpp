// The emulation's own per-event costs, with no application in the way: a send,
// a filtered log line, a delivery to a handler that does nothing, and the
// queue of scheduled actions at a day's depth.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "measure.hpp"
#include "zep_host.hpp"

namespace {

using zep::bench::measure;

constexpr u32 kEventId = 900;

u32 doNothing(void * /*msg*/, u32 /*len*/) { return 0; }

const std::array<u8, 20> kRequest{};

// Nothing at all: what the counting itself adds to every figure.
void BM_MeasureFloor(benchmark::State &state)
{
    measure(state, "MeasureFloor", [] {});
}
BENCHMARK(BM_MeasureFloor);

// The fast path of a long run: sends neither captured nor observed.
void BM_HostSendMsg(benchmark::State &state)
{
    zep::host::Host host;
    host.setCaptureSent(false);
    measure(state, "HostSendMsg",
            [&] { ZEP_MNG_SendMsg(ZEP_DEST_ALL, 0, 167, kRequest.data(), kRequest.size()); });
}
BENCHMARK(BM_HostSendMsg);

void BM_HostSendIpcMsg(benchmark::State &state)
{
    zep::host::Host host;
    host.setCaptureSent(false);
    measure(state, "HostSendIpcMsg",
            [&] { ZEP_MNG_SendIPCMsg(7, 198, kRequest.data(), kRequest.size(), 0); });
}
BENCHMARK(BM_HostSendIpcMsg);

// What tests see: every send kept in sent().
void BM_HostSendMsgCaptured(benchmark::State &state)
{
    zep::host::Host host;
    measure(state, "HostSendMsgCaptured",
            [&] { ZEP_MNG_SendMsg(ZEP_DEST_ALL, 0, 167, kRequest.data(), kRequest.size()); },
            [&] { host.clearCaptures(); });
}
BENCHMARK(BM_HostSendMsgCaptured);

// A note line under an error threshold: dropped before any formatting.
void BM_HostFilteredLog(benchmark::State &state)
{
    zep::host::Host host;
    host.setLogThreshold(ZEP_DBG_ERROR);
    const u8 mac[6] = {0, 0x11, 0x22, 0x33, 0x44, 0x55};
    measure(state, "HostFilteredLog", [&] {
        ZEP_DBG_Print(ZEP_DBG_NOTE, 1, 2, mac, "Send No.%u measure request %u successful.\r\n", 3u,
                      167u);
    });
}
BENCHMARK(BM_HostFilteredLog);

void BM_HostDeliver(benchmark::State &state)
{
    zep::host::Host host;
    ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, 1, kEventId, 0, doNothing);
    const std::vector<u8> body(24, 0x5A);
    measure(state, "HostDeliver", [&] { host.deliver(kEventId, body); });
}
BENCHMARK(BM_HostDeliver);

// range(0) actions stay pending, one per ms ahead; each operation schedules
// one more at the far end and advances 1 ms, which runs the earliest.
void BM_HostScheduledAction(benchmark::State &state)
{
    zep::host::Host host;
    const auto depth = static_cast<u64>(state.range(0));
    u64 ran = 0;
    for (u64 i = 1; i <= depth; i++) {
        host.schedule(i, [&ran] { ++ran; });
    }
    measure(state, "HostScheduledAction/" + std::to_string(depth), [&] {
        host.schedule(host.nowMs() + depth + 1, [&ran] { ++ran; });
        host.advance(1);
    });
    benchmark::DoNotOptimize(ran);
}
BENCHMARK(BM_HostScheduledAction)->Arg(512)->Arg(65536);

}  // namespace
