// libFuzzer target: one received message per input, chosen by the first byte
// and carrying the rest as its body, delivered to a freshly started application
// that already holds a little state (a measurement node, a listed co-measurement).
// A crash, a broken structure, or anything but the data area left after
// de-initialisation is a finding.
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "linked_app.hpp"
#include "sta_meas_inner.h"
#include "table_check.hpp"
#include "zep_host.hpp"

namespace {

using zep::host::Host;
using zep::host::Mac;
using zep::test::AppStage;
using zep::test::bytesOf;
using zep::test::resetAppGlobals;

constexpr u32 kRadio = 0;
constexpr u8 kChannel = 36;
const Mac kSta = {0x00, 0x11, 0x22, 0x33, 0x44, 0x01};

enum class Target { Event, Rpc, Config };
struct Choice {
    Target target;
    u32 id;
};
constexpr Choice kChoices[] = {
    {Target::Event, STAMEAS_MSG_MEAS_START},     {Target::Event, STAMEAS_MSG_MEAS_STOP},
    {Target::Event, STAMEAS_MSG_LM_REPORT},      {Target::Event, STAMEAS_MSG_TPC_REPORT},
    {Target::Event, STAMEAS_MSG_COMEAS_START},   {Target::Event, STAMEAS_MSG_COMEAS_STOP},
    {Target::Event, STAMEAS_MSG_COMEAS_TO_NB},   {Target::Event, STAMEAS_MSG_SCAN_STATE},
    {Target::Event, STAMEAS_MSG_SCAN_CHAN_SET},  {Target::Rpc, STAMEAS_RPC_GET_MEAS_LIST},
    {Target::Rpc, STAMEAS_RPC_GET_COMEAS_LIST},  {Target::Config, ZEP_CFG_ITEM_SCAN_SWITCH},
};

void setUpWorld(Host &h)
{
    h.addStation({kSta, kRadio, 0, true, true, 0});
    h.radio(kRadio).bssid[0] = Mac{0x02, 0, 0, 0, 0, 0x10};
    h.radio(kRadio).scanEirp[kChannel] = 17;
    zep::host::NeighbourFacts nb;
    nb.record.bssid[5] = 0x20;
    nb.record.vapNum = 1;
    nb.record.vap[0].channel = kChannel;
    nb.scanEirp[kChannel] = 12;
    h.addNeighbour(nb);
    h.addToken({150, kRadio, 0, Mac{0x02, 0, 0, 0, 0, 0x20}, 14, 11});
    h.setScanRadio(kChannel, 0, kRadio);
}

// One automatic measurement and one listed co-measurement, so that stops,
// reports and dumps have something to find.
void seedState(Host &h)
{
    struct {
        StaMeasMsgHead head;
        StaMeasStartEntry entry;
    } start = {};
    start.head = {1, 0, {}, kRadio};
    std::copy(kSta.begin(), kSta.end(), start.entry.staMac);
    start.entry.measId = STAMEAS_AUTO_MEAS_ID;
    start.entry.sched = {1, 1, 0};
    h.deliver(STAMEAS_MSG_MEAS_START, bytesOf(start));

    // One scan makes the channel capable; off again, the co-measurement is listed, not sent.
    ScanStateMsg scan = {};
    scan.radioId = kRadio;
    scan.channel = kChannel;
    scan.scanState = STAMEAS_SCAN_STATE_ON;
    h.deliver(STAMEAS_MSG_SCAN_STATE, bytesOf(scan));
    scan.scanState = 0;
    h.deliver(STAMEAS_MSG_SCAN_STATE, bytesOf(scan));

    struct {
        CoMeasMsgHead head;
        CoMeasStartEntry entry;
    } coMeas = {};
    coMeas.head = {1, 2, kChannel, kRadio, 0, 0, {}};
    std::copy(kSta.begin(), kSta.end(), coMeas.entry.staMac);
    coMeas.entry.measId = 173;
    h.deliver(STAMEAS_MSG_COMEAS_START, bytesOf(coMeas));
}

void deliverInput(Host &h, const Choice &choice, std::span<const u8> body)
{
    switch (choice.target) {
    case Target::Event:
        h.deliver(choice.id, body);
        break;
    case Target::Rpc: {
        std::vector<u8> buffer(body.begin(), body.end());
        h.rpc(choice.id, buffer);
        break;
    }
    case Target::Config:
        if (!body.empty()) {
            h.deliverConfig(choice.id, body[0] % 4u, body.subspan(1));
        }
        break;
    }
}

void reportIfBroken(const char *when, const std::vector<std::string> &violations)
{
    if (!violations.empty()) {
        std::fprintf(stderr, "structure broken %s:\n%s", when,
                     zep::test::describe(violations).c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8 *data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    resetAppGlobals();
    Host h;
    h.setCaptureLogs(false);
    h.useLinkedApp(ZEP_STA_RegStaMeasApp);
    setUpWorld(h);
    if (h.start() != 0) {
        std::abort();  // nothing is injected: start-up must succeed
    }
    seedState(h);

    const Choice &choice = kChoices[data[0] % std::size(kChoices)];
    deliverInput(h, choice, std::span<const u8>(data + 1, size - 1));
    h.advance(2500);
    reportIfBroken("after the message", zep::test::tableViolations(h, AppStage::Running));
    reportIfBroken("after de-initialisation", zep::test::deinitViolations(h));
    return 0;
}
