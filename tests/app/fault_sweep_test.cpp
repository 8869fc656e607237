// Every fallible framework call of a start-up, a short realistic workload and a
// de-initialisation is made to fail in turn: nothing may crash, leak or free twice.
#include "app_fixture.hpp"

namespace zep::test {
namespace {

constexpr u32 kRadio = 0;
constexpr u8 kChannel = 36;

void setUpWorld(host::Host &h)
{
    for (u8 last : {u8{1}, u8{2}}) {
        h.addStation({macOf(last), kRadio, 0, true, last == 1, 0});
    }
    h.radio(kRadio).bssid[0] = Mac{0x02, 0, 0, 0, 0, 0x10};
    h.radio(kRadio).scanEirp[kChannel] = 17;
    host::NeighbourFacts nb;
    nb.record.bssid[5] = 0x20;
    nb.record.vapNum = 1;
    nb.record.vap[0].channel = kChannel;
    nb.scanEirp[kChannel] = 12;
    h.addNeighbour(nb);
    h.addToken({150, kRadio, 0, Mac{0x02, 0, 0, 0, 0, 0x20}, 14, 11});
}

std::vector<u8> measStart()
{
    StaMeasMsgHead head = {2, 0, {}, kRadio};
    StaMeasStartEntry fixed = {};
    const Mac a = macOf(1);
    std::copy(a.begin(), a.end(), fixed.staMac);
    fixed.measId = STAMEAS_MSG_LM_REQ;
    fixed.measReq.radioId = kRadio;
    std::copy(a.begin(), a.end(), fixed.measReq.staMac);
    fixed.measReq.tokenId = 1;
    fixed.sched = {1, 1, 0};
    StaMeasStartEntry automatic = fixed;
    const Mac b = macOf(2);
    std::copy(b.begin(), b.end(), automatic.staMac);
    automatic.measId = STAMEAS_AUTO_MEAS_ID;
    automatic.sched = {0, 1, 3};
    return messageOf(head, {fixed, automatic});
}

std::vector<u8> lmReport(u8 token)
{
    LmReportMsg report = {};
    const Mac a = macOf(1);
    std::copy(a.begin(), a.end(), report.staMac);
    report.tokenId = token;
    return bytesOf(report);
}

std::vector<u8> scanState(u32 state)
{
    ScanStateMsg msg = {};
    msg.radioId = kRadio;
    msg.scanState = state;
    msg.channel = kChannel;
    return bytesOf(msg);
}

std::vector<u8> coMeasStart()
{
    CoMeasMsgHead head = {2, 2, kChannel, kRadio, 0, COMEAS_START_FLAG_TRIG_SCAN, {}};
    CoMeasStartEntry listed = {};
    const Mac a = macOf(1);
    std::copy(a.begin(), a.end(), listed.staMac);
    listed.flags = COMEAS_ENTRY_FLAG_REPEAT_SEND;
    listed.measId = 173;
    listed.reqBody[COMEAS_REQ_BAND_OFFSET] = 0xFF;
    listed.reqBody[COMEAS_REQ_EIRP_OFFSET] = COMEAS_EIRP_UNKNOWN;
    listed.reqBody[COMEAS_REQ_EIRP2_OFFSET] = COMEAS_EIRP_UNKNOWN;
    CoMeasStartEntry now = listed;
    now.flags = COMEAS_ENTRY_FLAG_ON_WORK_CHANNEL;
    now.measId = 174;
    return messageOf(head, {listed, now});
}

std::vector<u8> coMeasStop()
{
    CoMeasMsgHead head = {1, 2, kChannel, kRadio, 0, 0, {}};
    CoMeasStopEntry all = {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {}, 173};
    return messageOf(head, {all});
}

std::vector<u8> coMeasToNeighbours()
{
    CoMeasToNbMsgHead head = {};
    head.staNum = 1;
    head.staTag[0] = 0x1234;
    CoMeasStaRec sta = {};
    const Mac a = macOf(1);
    std::copy(a.begin(), a.end(), sta.staMac);
    sta.radioId = kRadio;
    sta.channel = kChannel;
    return messageOf(head, {sta});
}

std::vector<u8> measStopAll()
{
    StaMeasMsgHead head = {1, 0, {}, kRadio};
    StaMeasStopEntry all = {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, {}, STAMEAS_AUTO_MEAS_ID};
    return messageOf(head, {all});
}

void runWorkload(host::Host &h)
{
    h.start();
    h.deliver(STAMEAS_MSG_MEAS_START, measStart());
    h.advance(3000);
    h.deliver(STAMEAS_MSG_LM_REPORT, lmReport(1));
    h.deliver(STAMEAS_MSG_LM_REPORT, lmReport(150));
    // A first scan makes the channel capable; off it again so the working-channel entry goes out.
    h.deliver(STAMEAS_MSG_SCAN_STATE, scanState(STAMEAS_SCAN_STATE_ON));
    h.deliver(STAMEAS_MSG_SCAN_STATE, scanState(0));
    h.deliver(STAMEAS_MSG_COMEAS_START, coMeasStart());
    h.deliver(STAMEAS_MSG_SCAN_STATE, scanState(STAMEAS_SCAN_STATE_ON));
    h.deliver(STAMEAS_MSG_COMEAS_TO_NB, coMeasToNeighbours());
    StaMeasListRpcMsg meas = {};
    std::vector<u8> measBuf = bytesOf(meas);
    h.rpc(STAMEAS_RPC_GET_MEAS_LIST, measBuf);
    StaCoMeasListRpcMsg coMeas = {};
    coMeas.channel = kChannel;
    std::vector<u8> coMeasBuf = bytesOf(coMeas);
    h.rpc(STAMEAS_RPC_GET_COMEAS_LIST, coMeasBuf);
    h.deliver(STAMEAS_MSG_SCAN_STATE, scanState(0));
    h.deliver(STAMEAS_MSG_COMEAS_STOP, coMeasStop());
    h.deliver(STAMEAS_MSG_MEAS_STOP, measStopAll());
    const std::vector<u8> off = {0};
    h.deliverConfig(ZEP_CFG_ITEM_SCAN_SWITCH, kRadio, off);
    h.advance(2000);
    h.deinit();
}

TEST(FaultSweep, EveryFallibleCallFailingOnceLeavesNoLeakAndNoBadFree)
{
    constexpr u64 kLimit = 20000;  // far above the workload's fallible calls
    u64 k = 1;
    for (; k < kLimit; k++) {
        resetAppGlobals();
        host::Host h;
        h.setCaptureLogs(false);
        h.useLinkedApp(ZEP_STA_RegStaMeasApp);
        setUpWorld(h);
        h.faults().failKthFallible(k);

        runWorkload(h);

        EXPECT_EQ(h.memory().liveBlocks(), 0u) << "failing fallible call " << k;
        EXPECT_EQ(h.memory().badFrees(), 0u) << "failing fallible call " << k;
        if (h.faults().injectedFailures() == 0) {
            break;
        }
        if (HasFailure()) {
            break;  // one reported k is enough to reproduce
        }
    }
    EXPECT_LT(k, kLimit);
    EXPECT_GT(k, 20u) << "the workload made suspiciously few fallible calls";
}

}  // namespace
}  // namespace zep::test
