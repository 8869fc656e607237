// Stateful libFuzzer target: an input is a sequence of operations played on one
// long-lived host (messages of any id and length, well-formed messages about
// the world's stations, time, configuration item 32, station departures and
// arrivals, dumps, de-initialisation with a new start-up, armed faults). After
// every operation the table-structure checker runs; after the input the
// application is de-initialised and must hold nothing but its data area.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

#include "linked_app.hpp"
#include "sta_meas_inner.h"
#include "table_check.hpp"
#include "zep_host.hpp"

namespace {

using zep::host::Host;
using zep::host::Mac;
using zep::test::appendRecord;
using zep::test::AppStage;
using zep::test::bytesOf;

constexpr u32 kRadios = 2;
constexpr u8 kStations = 8;
constexpr u8 kChannels[] = {36, 6};  // one per radio, scanned by it
constexpr u8 kTokens[] = {150, 201};
constexpr std::size_t kMaxOps = 64;
constexpr u64 kStartMs = 100000;  // a scan-trigger time of 0 would read as "never"

Mac stationMac(u8 i)
{
    return Mac{0x00, 0x11, 0x22, 0x33, 0x44, static_cast<u8>(i % kStations)};
}

zep::host::StationFacts stationFacts(u8 i)
{
    return {stationMac(i), i % kRadios, i % 3u, i % 3u != 2, i % 2u == 0, i * 40u};
}

void setUpWorld(Host &h)
{
    for (u8 i = 0; i < kStations; i++) {
        h.addStation(stationFacts(i));
    }
    for (u32 radio = 0; radio < kRadios; radio++) {
        h.radio(radio).bssid[0] = Mac{0x02, 0, 0, 0, static_cast<u8>(radio), 0x10};
        h.radio(radio).scanEirp[kChannels[radio]] = 17;
        h.setScanRadio(kChannels[radio], 0, radio);
    }
    for (u8 n = 0; n < 3; n++) {
        zep::host::NeighbourFacts nb;
        nb.record.bssid[5] = static_cast<u8>(0x20 + n);
        nb.record.vapNum = 1;
        nb.record.vap[0].channel = kChannels[n % kRadios];
        nb.scanEirp[kChannels[n % kRadios]] = 12;
        h.addNeighbour(nb);
    }
    h.addToken({kTokens[0], 0, 0, Mac{0x02, 0, 0, 0, 0, 0x20}, 14, 11});
    h.addToken({kTokens[1], 1, 1, Mac{0x02, 0, 0, 0, 0, 0x21}, 9, std::nullopt});
}

// Reads the input front to back; past its end every read gives zeros.
class Input
{
  public:
    explicit Input(std::span<const u8> data) : data_(data) {}
    bool empty() const { return at_ >= data_.size(); }
    u8 byte() { return at_ < data_.size() ? data_[at_++] : 0; }
    u16 word() { return static_cast<u16>(byte() | byte() << 8); }
    std::span<const u8> bytes(std::size_t n)
    {
        n = std::min(n, data_.size() - std::min(at_, data_.size()));
        const auto out = data_.subspan(at_, n);
        at_ += n;
        return out;
    }

  private:
    std::span<const u8> data_;
    std::size_t at_ = 0;
};

constexpr u32 kEventIds[] = {
    STAMEAS_MSG_MEAS_START,   STAMEAS_MSG_MEAS_STOP,    STAMEAS_MSG_LM_REPORT,
    STAMEAS_MSG_TPC_REPORT,   STAMEAS_MSG_COMEAS_START, STAMEAS_MSG_COMEAS_STOP,
    STAMEAS_MSG_COMEAS_TO_NB, STAMEAS_MSG_SCAN_STATE,   STAMEAS_MSG_SCAN_CHAN_SET,
};

// A message id of the application's, or now and then any id at all.
u32 messageId(u8 selector)
{
    return selector < 240 ? kEventIds[selector % std::size(kEventIds)] : selector;
}

void rawMessage(Host &h, Input &in)
{
    const u32 id = messageId(in.byte());
    const auto body = in.bytes(in.word() % 2048u);
    h.deliver(id, body);
}

void copyMac(u8 *to, const Mac &mac)
{
    std::memcpy(to, mac.data(), mac.size());
}

std::vector<u8> measStart(Input &in)
{
    const u8 num = static_cast<u8>(1 + in.byte() % 4u);
    std::vector<u8> out =
        bytesOf(StaMeasMsgHead{num, static_cast<u8>(in.byte() % 4u), {}, in.byte() % 3u});
    for (u8 i = 0; i < num; i++) {
        const u8 sta = in.byte();
        StaMeasStartEntry e{};
        copyMac(e.staMac, stationMac(sta));
        const u8 kind = in.byte();
        e.measId = kind % 3u == 0 ? STAMEAS_AUTO_MEAS_ID
                                  : (kind % 3u == 1 ? STAMEAS_MSG_LM_REQ : STAMEAS_MSG_TPC_REQ);
        e.measReq.radioId = sta % kRadios;
        copyMac(e.measReq.staMac, stationMac(sta));
        e.measReq.tokenId = in.byte();
        e.sched = {static_cast<u8>(kind >> 7), static_cast<u8>(in.byte() % 4u),
                   static_cast<u16>(in.byte() % 5u)};
        appendRecord(out, e);
    }
    return out;
}

std::vector<u8> measStop(Input &in)
{
    std::vector<u8> out =
        bytesOf(StaMeasMsgHead{1, static_cast<u8>(in.byte() % 4u), {}, in.byte() % 3u});
    const u8 sta = in.byte();
    StaMeasStopEntry e{};
    copyMac(e.staMac, sta == 0xFF ? Mac{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF} : stationMac(sta));
    const u8 kind = in.byte();
    e.measId = kind % 3u == 0 ? STAMEAS_AUTO_MEAS_ID
                              : (kind % 3u == 1 ? STAMEAS_MSG_LM_REQ : STAMEAS_MSG_TPC_REQ);
    appendRecord(out, e);
    return out;
}

template <class Report> std::vector<u8> report(Input &in)
{
    Report r{};
    const u8 sta = in.byte();
    r.radioId = sta % kRadios;
    r.vapId = in.byte() % 4u;
    copyMac(r.staMac, stationMac(sta));
    const u8 token = in.byte();
    r.tokenId = token < 128 ? token % 8u : kTokens[token % 2u];
    return bytesOf(r);
}

CoMeasMsgHead coMeasHead(Input &in, u8 num)
{
    const u8 radio = in.byte();
    return {num,
            static_cast<u8>(in.byte() % 4u),
            kChannels[radio % kRadios],
            radio >= 0xF0 ? STAMEAS_ALL_RADIO : radio % kRadios,
            0,
            static_cast<u8>(in.byte() % 2u),
            {}};
}

std::vector<u8> coMeasStart(Input &in)
{
    const u8 num = static_cast<u8>(1 + in.byte() % 4u);
    std::vector<u8> out = bytesOf(coMeasHead(in, num));
    for (u8 i = 0; i < num; i++) {
        CoMeasStartEntry e{};
        copyMac(e.staMac, stationMac(in.byte()));
        e.flags = in.byte() % 4u;
        e.measId = 173u + in.byte() % 2u;
        const auto body = in.bytes(COMEAS_REQ_BODY_LEN);
        std::memcpy(e.reqBody, body.data(), body.size());
        appendRecord(out, e);
    }
    return out;
}

std::vector<u8> coMeasStop(Input &in)
{
    std::vector<u8> out = bytesOf(coMeasHead(in, 1));
    const u8 sta = in.byte();
    CoMeasStopEntry e{};
    copyMac(e.staMac, sta == 0xFF ? Mac{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF} : stationMac(sta));
    e.measId = 173u + in.byte() % 2u;
    appendRecord(out, e);
    return out;
}

std::vector<u8> coMeasToNeighbours(Input &in)
{
    CoMeasToNbMsgHead head{};
    head.flags = in.byte() % 4u;
    head.staNum = static_cast<u8>(1 + in.byte() % STAMEAS_COMEAS_MAX_NUM);
    for (u8 i = 0; i < head.staNum; i++) {
        head.staTag[i] = 0x100u + i;
    }
    std::vector<u8> out = bytesOf(head);
    for (u8 i = 0; i < head.staNum; i++) {
        CoMeasStaRec sta{};
        const u8 which = in.byte();
        copyMac(sta.staMac, stationMac(which));
        sta.radioId = which % kRadios;
        sta.channel = kChannels[which % kRadios];
        appendRecord(out, sta);
    }
    return out;
}

std::vector<u8> scanState(Input &in)
{
    const u8 radio = in.byte();
    return bytesOf(ScanStateMsg{radio % 3u, in.byte() % 2u, {}, kChannels[radio % kRadios], {}});
}

// Well-formed messages about the world's stations, so that the fuzzer reaches
// deep states without having to guess MACs and lengths.
void wellFormedMessage(Host &h, Input &in)
{
    using Build = std::vector<u8> (*)(Input &);
    static const std::pair<u32, Build> kMessages[] = {
        {STAMEAS_MSG_MEAS_START, measStart},          {STAMEAS_MSG_MEAS_STOP, measStop},
        {STAMEAS_MSG_LM_REPORT, report<LmReportMsg>}, {STAMEAS_MSG_TPC_REPORT, report<TpcReportMsg>},
        {STAMEAS_MSG_COMEAS_START, coMeasStart},      {STAMEAS_MSG_COMEAS_STOP, coMeasStop},
        {STAMEAS_MSG_COMEAS_TO_NB, coMeasToNeighbours}, {STAMEAS_MSG_SCAN_STATE, scanState},
    };
    const auto &[msgId, build] = kMessages[in.byte() % std::size(kMessages)];
    h.deliver(msgId, build(in));
}

void advanceTime(Host &h, Input &in)
{
    h.advance(in.byte() * 100u);
}

void configItem(Host &h, Input &in)
{
    const u8 radio = in.byte();
    h.deliverConfig(ZEP_CFG_ITEM_SCAN_SWITCH, radio % 3u, in.bytes(in.byte() % 4u));
}

bool g_worldChanged = false;  // the station database differs from setUpWorld's

void stationChange(Host &h, Input &in)
{
    g_worldChanged = true;
    const u8 which = in.byte();
    const Mac mac = stationMac(which);
    switch (which >> 5) {
    case 0:
        h.staLeave(nullptr);
        break;
    case 1:
        h.removeStation(mac);
        break;
    case 2:
        h.addStation(stationFacts(which));
        break;
    default:
        h.staLeave(&mac);
        break;
    }
}

void dump(Host &h, Input &in)
{
    const u8 which = in.byte();
    std::vector<u8> buffer(which & 1u ? sizeof(StaCoMeasListRpcMsg) : sizeof(StaMeasListRpcMsg));
    const auto head = in.bytes(8);
    std::memcpy(buffer.data(), head.data(), head.size());
    if (which & 2u) {
        buffer.resize(in.byte());  // any length the caller may hand over
    }
    h.rpc(which & 1u ? STAMEAS_RPC_GET_COMEAS_LIST : STAMEAS_RPC_GET_MEAS_LIST, buffer);
}

void armFault(Host &h, Input &in)
{
    const auto ops = zep::host::Faults::operations();
    const std::string_view op = ops[in.byte() % ops.size()];
    const u8 nth = in.byte();
    h.faults().failCall(op, 1u + nth % 16u, 1u + (nth >> 4) % 4u);
}

[[noreturn]] void fail(const char *when, const std::vector<std::string> &violations)
{
    std::fprintf(stderr, "structure broken %s:\n%s", when, zep::test::describe(violations).c_str());
    std::abort();
}

void check(Host &h, AppStage stage, const char *when)
{
    const auto violations = zep::test::tableViolations(h, stage);
    if (!violations.empty()) {
        fail(when, violations);
    }
}

void stopApp(Host &h)
{
    if (const auto violations = zep::test::deinitViolations(h); !violations.empty()) {
        fail("after de-initialisation", violations);
    }
    h.forgetApp();
    // What a freshly loaded library would hold, except the data area it keeps;
    // the switches in it go back to their start-up value.
    g_staMeasTimer = {};
    ZEP_STAMEAS_InitDataObj();
    h.setNowMs(kStartMs);
}

void restart(Host &h)
{
    stopApp(h);
    h.start();
}

Host &longLivedHost()
{
    static Host *host = [] {
        zep::test::resetAppGlobals();
        auto *h = new Host(zep::host::Profile{kRadios, 4});
        h->setCaptureLogs(false);
        h->useLinkedApp(ZEP_STA_RegStaMeasApp);
        h->setNowMs(kStartMs);
        setUpWorld(*h);
        return h;
    }();
    return *host;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const u8 *data, std::size_t size)
{
    Host &h = longLivedHost();
    if (h.start() != 0) {
        std::abort();  // nothing is armed yet: start-up must succeed
    }
    Input in(std::span<const u8>(data, size));
    for (std::size_t ops = 0; ops < kMaxOps && !in.empty(); ops++) {
        switch (in.byte() % 9u) {
        case 0:
            rawMessage(h, in);
            break;
        case 1:
            wellFormedMessage(h, in);
            break;
        case 2:
            advanceTime(h, in);
            break;
        case 3:
            configItem(h, in);
            break;
        case 4:
            stationChange(h, in);
            break;
        case 5:
            dump(h, in);
            break;
        case 6:
            restart(h);
            break;
        case 7:
            armFault(h, in);
            break;
        default:
            wellFormedMessage(h, in);
            break;
        }
        check(h, AppStage::Running, "after an operation");
    }
    stopApp(h);
    if (g_worldChanged) {
        for (u8 i = 0; i < kStations; i++) {
            h.addStation(stationFacts(i));  // the next input starts from the same world
        }
        g_worldChanged = false;
    }
    return 0;
}
