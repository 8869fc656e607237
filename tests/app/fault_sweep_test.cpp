// Every fallible framework call is made to fail in turn, first across a whole
// lifecycle (start-up, a realistic workload, de-initialisation), then inside
// single operations on a steady state with full tables. After every step the
// structures must hold, and nothing may crash, leak or free twice.
#include <gmock/gmock.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <sstream>

#include "comeas_fixture.hpp"
#include "meas_fixture.hpp"

namespace zep::test {
namespace {

using comeas::coEntry;
using comeas::coMsg;
using comeas::scanMsg;

constexpr u32 kRadio = 0;
constexpr u16 kChannel = 36;
constexpr u8 kStations = 140;  // more than a radio's table holds
constexpr u8 kToken = 150;    // a neighbour's token, answered by the token database

Mac stationMac(u8 i)
{
    return Mac{0x00, 0x11, 0x22, 0x33, i, 0x01};
}

// The module linked in afresh, over more stations than fit, neighbours and a token.
void setUpWorld(host::Host &h)
{
    resetAppGlobals();
    h.useLinkedApp(ZEP_STA_RegStaMeasApp);
    for (u8 i = 0; i < kStations; i++) {
        // Mixed capabilities: either, both or only one of link measurement and TPC.
        h.addStation({stationMac(i), kRadio, i % 4u, i % 3u != 2, i % 2u == 0, i});
    }
    h.radio(kRadio).bssid[0] = Mac{0x02, 0, 0, 0, 0, 0x10};
    h.radio(kRadio).scanEirp[kChannel] = 17;
    for (u8 n = 0; n < 3; n++) {
        host::NeighbourFacts nb;
        nb.record.bssid[5] = static_cast<u8>(0x20 + n);
        nb.record.vapNum = 1;
        nb.record.vap[0].channel = kChannel;
        nb.scanEirp[kChannel] = 12;
        h.addNeighbour(nb);
    }
    h.addToken({kToken, kRadio, 0, Mac{0x02, 0, 0, 0, 0, 0x20}, 14, 11});
    h.setScanRadio(kChannel, 0, kRadio);
}

// Stations first..first+n-1, alternately automatic and fixed link measurement.
std::vector<u8> measStart(u8 host, u8 first, u8 n, StaMeasSched sched)
{
    std::vector<StaMeasStartEntry> entries;
    for (u8 i = first; i < first + n; i++) {
        StaMeasStartEntry e = startEntry(stationMac(i), i % 2u == 0 ? kAuto : kLm, sched);
        e.measReq.radioId = kRadio;
        e.measReq.tokenId = static_cast<u8>(1 + i % 100u);
        entries.push_back(e);
    }
    return measMsg(host, kRadio, entries);
}

std::vector<u8> coMeasStart(u8 host, u8 first, u8 n, u8 flags, u32 radio = kRadio)
{
    std::vector<CoMeasStartEntry> entries;
    for (u8 i = first; i < first + n; i++) {
        CoMeasStartEntry e = coEntry(0, 173u + i % 2u, flags);
        std::memcpy(e.staMac, stationMac(i).data(), sizeof(e.staMac));
        entries.push_back(e);
    }
    return coMsg(host, entries, COMEAS_START_FLAG_TRIG_SCAN, radio, kChannel);
}

std::vector<u8> coMeasToNeighbours(u8 n)
{
    CoMeasToNbMsgHead head{};
    head.flags = COMEAS_NB_FLAG_SEND_ON_SCAN;
    head.staNum = n;
    std::vector<CoMeasStaRec> stas(n);
    for (u8 i = 0; i < n; i++) {
        head.staTag[i] = 0x1000u + i;
        std::memcpy(stas[i].staMac, stationMac(i).data(), sizeof(stas[i].staMac));
        stas[i].radioId = kRadio;
        stas[i].channel = kChannel;
    }
    return messageOf(head, stas);
}

std::vector<u8> lmReport(u8 station, u8 token)
{
    LmReportMsg report{};
    std::memcpy(report.staMac, stationMac(station).data(), sizeof(report.staMac));
    report.tokenId = token;
    return bytesOf(report);
}

struct Step {
    const char *name;
    std::function<void(host::Host &)> run;
};

void dumpBoth(host::Host &h)
{
    std::vector<u8> meas = bytesOf(StaMeasListRpcMsg{});
    h.rpc(STAMEAS_RPC_GET_MEAS_LIST, meas);
    StaCoMeasListRpcMsg request{};
    request.channel = kChannel;
    std::vector<u8> coMeas = bytesOf(request);
    h.rpc(STAMEAS_RPC_GET_COMEAS_LIST, coMeas);
}

void scan(host::Host &h, u32 state)
{
    h.deliver(STAMEAS_MSG_SCAN_STATE, scanMsg(kRadio, state, kChannel));
}

// The workload between start-up and de-initialisation, one step at a time.
const std::vector<Step> &workload()
{
    static const std::vector<Step> steps = {
        {"measurement start",
         [](host::Host &h) {
             h.deliver(STAMEAS_MSG_MEAS_START, measStart(0, 0, 4, loopEvery(1)));
         }},
        {"expiries", [](host::Host &h) { h.advance(3000); }},
        {"own report", [](host::Host &h) { h.deliver(STAMEAS_MSG_LM_REPORT, lmReport(1, 2)); }},
        {"neighbour report",
         [](host::Host &h) { h.deliver(STAMEAS_MSG_LM_REPORT, lmReport(1, kToken)); }},
        {"scan on and off",
         [](host::Host &h) {
             scan(h, STAMEAS_SCAN_STATE_ON);
             scan(h, 0);
         }},
        {"co-measurement start",
         [](host::Host &h) {
             h.deliver(STAMEAS_MSG_COMEAS_START,
                       coMeasStart(2, 0, 2, COMEAS_ENTRY_FLAG_REPEAT_SEND));
             h.deliver(STAMEAS_MSG_COMEAS_START,
                       coMeasStart(2, 2, 1, COMEAS_ENTRY_FLAG_ON_WORK_CHANNEL));
             // Any radio: the one scanning the channel is asked for.
             h.deliver(STAMEAS_MSG_COMEAS_START,
                       coMeasStart(2, 3, 1, COMEAS_ENTRY_FLAG_REPEAT_SEND, STAMEAS_ALL_RADIO));
         }},
        {"scan on", [](host::Host &h) { scan(h, STAMEAS_SCAN_STATE_ON); }},
        {"neighbour request",
         [](host::Host &h) { h.deliver(STAMEAS_MSG_COMEAS_TO_NB, coMeasToNeighbours(2)); }},
        {"dumps", dumpBoth},
        {"scan off", [](host::Host &h) { scan(h, 0); }},
        {"co-measurement stop",
         [](host::Host &h) {
             const std::vector stop = {comeas::coStop(kAllStations, 173)};
             h.deliver(STAMEAS_MSG_COMEAS_STOP, coMsg(2, stop, 0, kRadio, kChannel));
         }},
        {"station leave",
         [](host::Host &h) {
             const Mac m = stationMac(0);
             h.staLeave(&m);
         }},
        {"measurement stop",
         [](host::Host &h) {
             const std::vector stop = {stopEntry(kAllStations, kAuto)};
             h.deliver(STAMEAS_MSG_MEAS_STOP, measMsg(0, kRadio, stop));
         }},
        {"scan switch off",
         [](host::Host &h) {
             h.deliverConfig(ZEP_CFG_ITEM_SCAN_SWITCH, kRadio, std::vector<u8>{0});
         }},
        {"quiet expiries", [](host::Host &h) { h.advance(2000); }},
    };
    return steps;
}

// Full tables: two hosts over more stations than fit, and a full co-measurement list.
void reachSteadyState(host::Host &h)
{
    h.start();
    h.deliver(STAMEAS_MSG_MEAS_START, measStart(1, 0, 128, loopEvery(1)));
    h.deliver(STAMEAS_MSG_MEAS_START, measStart(0, 12, 128, loopEvery(2)));
    scan(h, STAMEAS_SCAN_STATE_ON);
    scan(h, 0);
    h.deliver(STAMEAS_MSG_COMEAS_START, coMeasStart(2, 0, 16, COMEAS_ENTRY_FLAG_REPEAT_SEND));
    h.advance(1500);
}

const std::vector<Step> &steadyOperations()
{
    static const std::vector<Step> ops = {
        {"expiry at full tables", [](host::Host &h) { h.advance(1000); }},
        {"report", [](host::Host &h) { h.deliver(STAMEAS_MSG_LM_REPORT, lmReport(13, kToken)); }},
        {"eviction by a heavier host",
         [](host::Host &h) {
             h.deliver(STAMEAS_MSG_MEAS_START, measStart(0, 1, 8, loopEvery(1)));
         }},
        {"scan sending the full list", [](host::Host &h) { scan(h, STAMEAS_SCAN_STATE_ON); }},
        {"neighbour request",
         [](host::Host &h) { h.deliver(STAMEAS_MSG_COMEAS_TO_NB, coMeasToNeighbours(16)); }},
        {"dumps", dumpBoth},
    };
    return ops;
}

constexpr u64 kLimit = 20000;  // far above the fallible calls of any run here

class Sweep
{
  public:
    using Body = std::function<void(host::Host &, const std::function<void()> &)>;

    // Runs body with the first, second, ... fallible call after arm() failing,
    // until a run fails none; the k of that run.
    u64 sweep(const Body &body)
    {
        k_ = 1;
        while (k_ < kLimit && run(k_, body)) {
            k_++;
        }
        return k_;
    }

    void note(const char *when, const std::vector<std::string> &violations)
    {
        // The first broken step of a run says enough to reproduce it.
        if (!violations.empty() && reportedK_ != k_) {
            reportedK_ = k_;
            findings_ << "k " << k_ << ", " << when << ":\n" << describe(violations);
        }
    }

    std::string findings() const { return findings_.str(); }
    u64 runs() const { return runs_; }

  private:
    // Runs body on a fresh host with the k-th fallible call after arm() failing;
    // false once no call was failed, which ends the sweep.
    bool run(u64 k, const Body &body)
    {
        host::Host h;
        h.setCaptureLogs(false);
        setUpWorld(h);
        body(h, [&] { h.faults().failKthFallible(k); });
        note("after the run", tableViolations(h, AppStage::Running));
        note("after de-initialisation", deinitViolations(h));
        runs_++;
        return h.faults().injectedFailures() != 0;
    }

    u64 k_ = 0;
    u64 reportedK_ = 0;
    u64 runs_ = 0;
    std::ostringstream findings_;
};

TEST(FaultSweep, LifecycleWithEachFallibleCallFailingKeepsEveryStructure)
{
    Sweep sweep;
    const u64 k = sweep.sweep([&](host::Host &h, const std::function<void()> &arm) {
        arm();
        h.start();
        for (const Step &step : workload()) {
            step.run(h);
            sweep.note(step.name, tableViolations(h, AppStage::Running));
        }
    });
    RecordProperty("runs", static_cast<int>(sweep.runs()));
    EXPECT_EQ(sweep.findings(), "");
    EXPECT_GT(k, 100u) << "the workload made suspiciously few fallible calls";
    EXPECT_LT(k, kLimit);
}

// Every name fault injection accepts must be one the emulation counts when its
// operation is called: a fallible row whose entry point never asks would take
// a rule and never fire it, and an operation the workload never calls is one
// the sweep above never fails.
TEST(FaultSweep, TheLifecycleCallsEveryFallibleOperation)
{
    host::Host h;
    h.setCaptureLogs(false);
    setUpWorld(h);
    ASSERT_EQ(h.start(), 0u);
    for (const Step &step : workload()) {
        step.run(h);
    }
    h.deinit();
    std::vector<std::string_view> uncalled;
    std::ranges::copy_if(host::Faults::operations(), std::back_inserter(uncalled),
                         [&](std::string_view op) { return h.faults().calls(op) == 0; });
    EXPECT_THAT(uncalled, ::testing::IsEmpty());
}

class SteadyFaultSweep : public ::testing::TestWithParam<std::size_t>
{
};

TEST_P(SteadyFaultSweep, EachFallibleCallOfTheOperationFailingKeepsEveryStructure)
{
    const Step &op = steadyOperations()[GetParam()];
    Sweep sweep;
    const u64 k = sweep.sweep([&](host::Host &h, const std::function<void()> &arm) {
        reachSteadyState(h);
        arm();
        op.run(h);
    });
    RecordProperty("runs", static_cast<int>(sweep.runs()));
    EXPECT_EQ(sweep.findings(), "") << op.name;
    EXPECT_GT(k, 1u) << op.name << " made no fallible call";
    EXPECT_LT(k, kLimit);
}

INSTANTIATE_TEST_SUITE_P(Operations, SteadyFaultSweep,
                         ::testing::Range<std::size_t>(0, steadyOperations().size()),
                         [](const auto &param) {
                             std::string name = steadyOperations()[param.param].name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

// A node the hash refuses must not stay in the radio's list: the next start of
// the same key would add a second node that the hash does find.
TEST(FaultSweep, NodeRefusedByTheHashIsGivenBack)
{
    host::Host h;
    setUpWorld(h);
    ASSERT_EQ(h.start(), 0u);
    h.faults().failCall("ZEP_HASH_AddNode", 1);
    h.deliver(STAMEAS_MSG_MEAS_START, measStart(0, 1, 1, loopEvery(1)));
    EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(kRadio), 0u);
    EXPECT_EQ(h.memory().poolBlocksInUse(STAMEAS_TBL_POOL_NAME), 0u);
    const auto refusal = std::find_if(h.logs().begin(), h.logs().end(), [](const auto &line) {
        return line.text.ends_with("]: Radio 0 measId[167] hash add fail 7.\r\n");
    });
    ASSERT_NE(refusal, h.logs().end());
    EXPECT_EQ(refusal->severity, ZEP_DBG_ERROR);
    h.deliver(STAMEAS_MSG_MEAS_START, measStart(0, 1, 1, loopEvery(1)));
    h.deliver(STAMEAS_MSG_MEAS_START, measStart(0, 1, 1, loopEvery(1)));
    EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(kRadio), 1u);
    EXPECT_EQ(describe(tableViolations(h, AppStage::Running)), "");
    h.deinit();
}

}  // namespace
}  // namespace zep::test
