// Station-measurement hot paths through the emulated framework: a timer expiry
// over full tables, a 128-entry start, a stop of every station and a report.
// Figures include the emulation's delivery copy and send capture.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "linked_app.hpp"
#include "sta_meas_inner.h"
#include "zep_host.hpp"

namespace {

using zep::test::appendRecord;

constexpr u8 kMeasHosts = 3;


zep::host::Mac measMac(u32 radioId, u32 i)
{
    return {0x00, 0x11, 0x22, static_cast<u8>(radioId), 0x44, static_cast<u8>(i)};
}

std::vector<u8> measStart(u8 host, u32 radioId, u32 num)
{
    StaMeasMsgHead head{static_cast<u8>(num), host, {}, radioId};
    std::vector<u8> out;
    appendRecord(out, head);
    for (u32 i = 0; i < num; i++) {
        StaMeasStartEntry e{};
        const zep::host::Mac mac = measMac(radioId, i);
        std::memcpy(e.staMac, mac.data(), mac.size());
        e.measId = STAMEAS_MSG_LM_REQ;
        std::memset(&e.measReq, 0x30 + host, sizeof(e.measReq));
        e.sched = StaMeasSched{1, 1, 0};
        appendRecord(out, e);
    }
    return out;
}

std::vector<u8> measStopAll(u8 host, u32 radioId)
{
    StaMeasMsgHead head{1, host, {}, radioId};
    StaMeasStopEntry e{};
    std::memset(e.staMac, 0xFF, sizeof(e.staMac));
    std::vector<u8> out;
    appendRecord(out, head);
    appendRecord(out, e);
    return out;
}

// A started application on a host that formats no note lines.
struct MeasApp {
    zep::host::Host host;

    MeasApp()
    {
        zep::test::resetAppGlobals();
        host.setLogThreshold(1);
        host.setCaptureLogs(false);
        host.useLinkedApp(ZEP_STA_RegStaMeasApp);
        host.start();
    }
    ~MeasApp() { host.deinit(); }
};

void BM_MeasExpiryFullTables(benchmark::State &state)
{
    MeasApp app;
    const u32 radios = app.host.profile().radios;
    for (u32 radioId = 0; radioId < radios; radioId++) {
        for (u8 host = 0; host < kMeasHosts; host++) {
            app.host.deliver(STAMEAS_MSG_MEAS_START, measStart(host, radioId, STAMEAS_STA_MAX_NUM));
        }
    }
    app.host.advance(1000);  // the new nodes' first expiry only clears their skip flag
    for (auto _ : state) {
        app.host.advance(1000);
        app.host.clearCaptures();
    }
    app.host.advance(1000);
    state.counters["sends/expiry"] = static_cast<double>(app.host.sent().size());
}
BENCHMARK(BM_MeasExpiryFullTables);

void BM_MeasStart128New(benchmark::State &state)
{
    MeasApp app;
    const std::vector<u8> start = measStart(0, 0, STAMEAS_STA_MAX_NUM);
    const std::vector<u8> stop = measStopAll(0, 0);
    for (auto _ : state) {
        app.host.deliver(STAMEAS_MSG_MEAS_START, start);
        state.PauseTiming();
        app.host.deliver(STAMEAS_MSG_MEAS_STOP, stop);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MeasStart128New);

void BM_MeasStart128Update(benchmark::State &state)
{
    MeasApp app;
    const std::vector<u8> start = measStart(0, 0, STAMEAS_STA_MAX_NUM);
    app.host.deliver(STAMEAS_MSG_MEAS_START, start);
    for (auto _ : state) {
        app.host.deliver(STAMEAS_MSG_MEAS_START, start);
    }
}
BENCHMARK(BM_MeasStart128Update);

void BM_MeasStopEveryStation(benchmark::State &state)
{
    MeasApp app;
    const std::vector<u8> start = measStart(0, 0, STAMEAS_STA_MAX_NUM);
    const std::vector<u8> stop = measStopAll(0, 0);
    for (auto _ : state) {
        state.PauseTiming();
        app.host.deliver(STAMEAS_MSG_MEAS_START, start);
        state.ResumeTiming();
        app.host.deliver(STAMEAS_MSG_MEAS_STOP, stop);
    }
}
BENCHMARK(BM_MeasStopEveryStation);

void BM_MeasLmReport(benchmark::State &state)
{
    MeasApp app;
    app.host.radio(0).bssid[1] = zep::host::Mac{0x02, 0, 0, 0, 0, 0x01};
    app.host.deliver(STAMEAS_MSG_MEAS_START, measStart(0, 0, STAMEAS_STA_MAX_NUM));
    LmReportMsg report{0, 1, {}, 0, 10, {}};
    const zep::host::Mac mac = measMac(0, 77);
    std::memcpy(report.staMac, mac.data(), mac.size());
    std::vector<u8> body;
    appendRecord(body, report);
    for (auto _ : state) {
        app.host.deliver(STAMEAS_MSG_LM_REPORT, body);
        app.host.clearCaptures();
    }
}
BENCHMARK(BM_MeasLmReport);

}  // namespace
