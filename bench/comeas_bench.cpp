// Co-measurement hot paths through the emulated framework: a 16-entry start,
// a scan that sends 16 listed requests, and a 16-station request over 32
// neighbours. Figures include the emulation's delivery copy and send capture.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "linked_app.hpp"
#include "measure.hpp"
#include "sta_meas_inner.h"
#include "zep_host.hpp"

namespace {

using zep::bench::measure;
using zep::test::appendRecord;

constexpr u32 kRadio = 1;
constexpr u16 kChan = 36;
constexpr u8 kBand = 2;

// A started application on a quiet host; the radio is left scanning nothing.
struct App {
    zep::host::Host host;

    App()
    {
        zep::test::resetAppGlobals();
        host.setLogThreshold(1);
        host.setCaptureLogs(false);
        host.setNowMs(100000);
        host.useLinkedApp(ZEP_STA_RegStaMeasApp);
        host.start();
        host.radio(kRadio).band = kBand;
    }
    ~App() { host.deinit(); }

    static std::vector<u8> scanBody(u32 state)
    {
        ScanStateMsg m{};
        m.radioId = kRadio;
        m.scanState = state;
        m.channel = kChan;
        std::vector<u8> body;
        appendRecord(body, m);
        return body;
    }

    void scan(u32 state) { host.deliver(STAMEAS_MSG_SCAN_STATE, scanBody(state)); }

    // A scan makes the channel co-measurement capable; leaving it lets starts list.
    void makeChannelCapable()
    {
        scan(1);
        scan(0);
    }
};

std::vector<u8> start16(u8 entryFlags)
{
    CoMeasMsgHead head{};
    head.num = STAMEAS_COMEAS_MAX_NUM;
    head.channel = kChan;
    head.radioId = kRadio;
    std::vector<u8> out;
    appendRecord(out, head);
    for (u8 i = 0; i < STAMEAS_COMEAS_MAX_NUM; i++) {
        CoMeasStartEntry e{};
        e.staMac[5] = i;
        e.flags = entryFlags;
        e.measId = 600u + i;
        std::memset(e.reqBody, 0x20 + i, sizeof(e.reqBody));
        appendRecord(out, e);
    }
    return out;
}

std::vector<u8> stopAll()
{
    CoMeasMsgHead head{};
    head.num = STAMEAS_COMEAS_MAX_NUM;
    head.channel = kChan;
    head.radioId = kRadio;
    std::vector<u8> out;
    appendRecord(out, head);
    CoMeasStopEntry e{};
    std::memset(e.staMac, 0xFF, sizeof(e.staMac));
    for (u8 i = 0; i < STAMEAS_COMEAS_MAX_NUM; i++) {
        e.measId = 600u + i;
        appendRecord(out, e);
    }
    return out;
}

// Every record exists already: the start only merges the host into them.
void BM_CoMeasStart16Merge(benchmark::State &state)
{
    App app;
    app.makeChannelCapable();
    const auto start = start16(0);
    app.host.deliver(STAMEAS_MSG_COMEAS_START, start);
    measure(state, "CoMeasStart16Merge", [&] { app.host.deliver(STAMEAS_MSG_COMEAS_START, start); });
}
BENCHMARK(BM_CoMeasStart16Merge);

// 16 records added, then withdrawn by one 185 of 16 broadcast entries.
void BM_CoMeasStart16AddAndStop(benchmark::State &state)
{
    App app;
    app.makeChannelCapable();
    const auto start = start16(0);
    const auto stop = stopAll();
    measure(state, "CoMeasStart16AddAndStop", [&] {
        app.host.deliver(STAMEAS_MSG_COMEAS_START, start);
        app.host.deliver(STAMEAS_MSG_COMEAS_STOP, stop);
    });
}
BENCHMARK(BM_CoMeasStart16AddAndStop);

// Only the 34 is timed; refilling the list and dropping captures are not.
void BM_CoMeasScanSends16(benchmark::State &state)
{
    App app;
    app.makeChannelCapable();
    const auto start = start16(0);
    const std::vector<u8> onBody = App::scanBody(1);
    measure(state, "CoMeasScanSends16", [&] { app.host.deliver(STAMEAS_MSG_SCAN_STATE, onBody); },
            [&] {
                app.scan(0);
                app.host.deliver(STAMEAS_MSG_COMEAS_START, start);
                app.host.clearCaptures();
            });
}
BENCHMARK(BM_CoMeasScanSends16);

// All 32 neighbours qualify for all 16 stations: 32 blocks in 16 messages.
void BM_CoMeasToNb16x32(benchmark::State &state)
{
    App app;
    for (u8 n = 0; n < 32; n++) {
        zep::host::NeighbourFacts nb;
        nb.record.bssid[5] = n;
        nb.record.vapNum = 1;
        nb.record.vap[0].channel = 6;
        nb.record.vap[0].band = kBand;
        app.host.addNeighbour(nb);
    }
    CoMeasToNbMsgHead head{};
    head.staNum = STAMEAS_COMEAS_MAX_NUM;
    std::vector<u8> req;
    appendRecord(req, head);
    for (u8 i = 0; i < STAMEAS_COMEAS_MAX_NUM; i++) {
        CoMeasStaRec sta{};
        sta.staMac[5] = i;
        sta.radioId = kRadio;
        sta.channel = 6;
        appendRecord(req, sta);
    }
    measure(state, "CoMeasToNb16x32", [&] { app.host.deliver(STAMEAS_MSG_COMEAS_TO_NB, req); },
            [&] { app.host.clearCaptures(); });
}
BENCHMARK(BM_CoMeasToNb16x32);

}  // namespace
