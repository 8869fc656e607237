// Station-measurement hot paths through the emulated framework: a timer expiry
// over four full tables, starts, stops, a station leaving, reports for own and
// neighbour tokens and the table dump. Figures include the emulation's delivery
// copy and send capture.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "linked_app.hpp"
#include "measure.hpp"
#include "sta_meas_inner.h"
#include "zep_host.hpp"

namespace {

using zep::bench::measure;
using zep::test::appendRecord;

constexpr u8 kMeasHosts = 3;
constexpr u32 kFullRadios = 4;

zep::host::Mac measMac(u32 radioId, u32 i)
{
    return {0x00, 0x11, 0x22, static_cast<u8>(radioId), 0x44, static_cast<u8>(i)};
}

StaMeasStartEntry startEntry(const zep::host::Mac &mac, u32 measId, u8 host)
{
    StaMeasStartEntry e{};
    std::memcpy(e.staMac, mac.data(), mac.size());
    e.measId = measId;
    std::memset(&e.measReq, 0x30 + host, sizeof(e.measReq));
    e.sched = StaMeasSched{1, 1, 0};
    return e;
}

std::vector<u8> measStart(u8 host, u32 radioId, u32 num)
{
    StaMeasMsgHead head{static_cast<u8>(num), host, {}, radioId};
    std::vector<u8> out;
    appendRecord(out, head);
    for (u32 i = 0; i < num; i++) {
        appendRecord(out, startEntry(measMac(radioId, i), STAMEAS_MSG_LM_REQ, host));
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

    explicit MeasApp(u32 radios = 2) : host(zep::host::Profile{radios, 4})
    {
        zep::test::resetAppGlobals();
        host.setLogThreshold(1);
        host.setCaptureLogs(false);
        host.useLinkedApp(ZEP_STA_RegStaMeasApp);
        host.start();
    }
    ~MeasApp() { host.deinit(); }

    // Every radio's table full with the three hosts on each node; the nodes'
    // first expiry, which only clears their skip flag, is behind.
    void fillTables()
    {
        for (u32 radioId = 0; radioId < host.profile().radios; radioId++) {
            for (u8 h = 0; h < kMeasHosts; h++) {
                host.deliver(STAMEAS_MSG_MEAS_START, measStart(h, radioId, STAMEAS_STA_MAX_NUM));
            }
        }
        host.advance(1000);
        host.clearCaptures();
    }
};

// 4 radios x 128 nodes; each radio's round ends after its share of sends.
void BM_MeasExpiry4RadiosFull(benchmark::State &state)
{
    MeasApp app(kFullRadios);
    app.fillTables();
    measure(state, "MeasExpiry4RadiosFull", [&] { app.host.advance(1000); },
            [&] { app.host.clearCaptures(); });
    app.host.clearCaptures();
    app.host.advance(1000);
    state.counters["sends/expiry"] = static_cast<double>(app.host.sent().size());
}
BENCHMARK(BM_MeasExpiry4RadiosFull);

// The same as a long simulation runs it: sends observed, not captured.
void BM_MeasExpiry4RadiosFullUncaptured(benchmark::State &state)
{
    MeasApp app(kFullRadios);
    app.fillTables();
    app.host.setCaptureSent(false);
    measure(state, "MeasExpiry4RadiosFullUncaptured", [&] { app.host.advance(1000); });
}
BENCHMARK(BM_MeasExpiry4RadiosFullUncaptured);

void BM_MeasStart128New(benchmark::State &state)
{
    MeasApp app;
    const std::vector<u8> start = measStart(0, 0, STAMEAS_STA_MAX_NUM);
    const std::vector<u8> stop = measStopAll(0, 0);
    measure(state, "MeasStart128New", [&] { app.host.deliver(STAMEAS_MSG_MEAS_START, start); },
            [&] { app.host.deliver(STAMEAS_MSG_MEAS_STOP, stop); });
}
BENCHMARK(BM_MeasStart128New);

void BM_MeasStart128Update(benchmark::State &state)
{
    MeasApp app;
    const std::vector<u8> start = measStart(0, 0, STAMEAS_STA_MAX_NUM);
    app.host.deliver(STAMEAS_MSG_MEAS_START, start);
    measure(state, "MeasStart128Update", [&] { app.host.deliver(STAMEAS_MSG_MEAS_START, start); });
}
BENCHMARK(BM_MeasStart128Update);

void BM_MeasStopEveryStation(benchmark::State &state)
{
    MeasApp app;
    const std::vector<u8> start = measStart(0, 0, STAMEAS_STA_MAX_NUM);
    const std::vector<u8> stop = measStopAll(0, 0);
    measure(state, "MeasStopEveryStation", [&] { app.host.deliver(STAMEAS_MSG_MEAS_STOP, stop); },
            [&] { app.host.deliver(STAMEAS_MSG_MEAS_START, start); });
}
BENCHMARK(BM_MeasStopEveryStation);

// Full tables on 4 radios; the leaving station has its link-measurement node
// on radio 0 and its TPC node on radio 1, both put back between leaves.
void BM_MeasStationLeave(benchmark::State &state)
{
    MeasApp app(kFullRadios);
    app.fillTables();
    const zep::host::Mac leaving{0x00, 0x11, 0x22, 0xEE, 0x44, 0x01};
    std::vector<u8> lm;
    appendRecord(lm, StaMeasMsgHead{1, 0, {}, 0});
    appendRecord(lm, startEntry(leaving, STAMEAS_MSG_LM_REQ, 0));
    std::vector<u8> tpc;
    appendRecord(tpc, StaMeasMsgHead{1, 0, {}, 1});
    appendRecord(tpc, startEntry(leaving, STAMEAS_MSG_TPC_REQ, 0));
    measure(state, "MeasStationLeave", [&] { app.host.staLeave(&leaving); },
            [&] {
                app.host.deliver(STAMEAS_MSG_MEAS_START, lm);
                app.host.deliver(STAMEAS_MSG_MEAS_START, tpc);
            });
}
BENCHMARK(BM_MeasStationLeave);

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
    measure(state, "MeasLmReport", [&] { app.host.deliver(STAMEAS_MSG_LM_REPORT, body); },
            [&] { app.host.clearCaptures(); });
}
BENCHMARK(BM_MeasLmReport);

// A report to a neighbour's request: the token's BSSID, EIRP and scan EIRP
// come from the three by-token neighbour queries.
void BM_MeasLmReportNeighbourToken(benchmark::State &state)
{
    MeasApp app;
    constexpr u8 kToken = 150;
    app.host.addToken({kToken, 0, 1, zep::host::Mac{0x02, 0, 0, 0, 0, 0xB2}, s8{-5}, s8{12}});
    app.host.deliver(STAMEAS_MSG_MEAS_START, measStart(0, 0, STAMEAS_STA_MAX_NUM));
    LmReportMsg report{0, 1, {}, 0, kToken, {}};
    const zep::host::Mac mac = measMac(0, 77);
    std::memcpy(report.staMac, mac.data(), mac.size());
    std::vector<u8> body;
    appendRecord(body, report);
    measure(state, "MeasLmReportNeighbourToken",
            [&] { app.host.deliver(STAMEAS_MSG_LM_REPORT, body); },
            [&] { app.host.clearCaptures(); });
}
BENCHMARK(BM_MeasLmReportNeighbourToken);

// RPC 69 on a full radio: the first 64 of its 128 nodes listed in place.
void BM_MeasListDump(benchmark::State &state)
{
    MeasApp app;
    for (u8 h = 0; h < kMeasHosts; h++) {
        app.host.deliver(STAMEAS_MSG_MEAS_START, measStart(h, 0, STAMEAS_STA_MAX_NUM));
    }
    std::vector<u8> buffer(sizeof(StaMeasListRpcMsg));
    measure(state, "MeasListDump", [&] { app.host.rpc(STAMEAS_RPC_GET_MEAS_LIST, buffer); },
            [&] { std::fill(buffer.begin(), buffer.end(), u8{0}); });
}
BENCHMARK(BM_MeasListDump);

}  // namespace
