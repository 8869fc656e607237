#include "replay/replay_view.hpp"

#include <cstring>

#include "logs/log_view.hpp"
#include "record_calls.hpp"
#include "sta_meas_msg.h"

namespace zep::sim::replay {

namespace {

using zep::record::Op;

}  // namespace

ReplayView::ReplayView(host::Host &host, const ViewOptions &options)
    : host_(host), fanout_(host), summary_(options.radios), human_(options.timeline),
      logLevel_(options.logLevel)
{
    outputs_ = attachOutputs(fanout_, summary_,
                             {human_, options.verbose, options.trace, options.sinks, options.report, {}}, *this,
                             host_.faults());
    fanout_.addSink(*this);
    if (outputs_.timeline) {
        outputs_.timeline->printHeader();
    }
    host_.setLogThreshold(logLevel_);
    host_.setObserver(&fanout_);
}

ReplayView::~ReplayView()
{
    host_.setObserver(nullptr);
}

void ReplayView::finish(u64 playedMs)
{
    fanout_.endStep();
    stationLog_.finish();
    endMs_ = host_.nowMs();
    if (human_ != nullptr) {
        printSummary(*human_, summary_, playedMs, findings());
        logs::printStationTable(*human_, stations());
    }
}

void ReplayView::onEvent(const Event &ev)
{
    if (ev.kind == EventKind::Log) {
        stationLog_.setLineTime(ev.t);
        stationLog_.feedText(ev.text);
    } else if (ev.kind == EventKind::Rpc && ev.status == 0u) {
        noteListSize(ev.id, ev.body);
    }
}

void noteFacts(HostLedger &ledger, const zep::record::RecordedCall &call, u64 result, std::span<const u8> out)
{
    const auto radioId = static_cast<u32>(call.args[0]);
    switch (static_cast<Op>(call.id)) {
    case Op::ZEP_UAM_FindStaInfo: {
        if (call.in.size() != sizeof(host::Mac)) {
            break;
        }
        if (result == 0) {  // not in the database: the module builds no request for it
            host::Mac mac;
            std::memcpy(mac.data(), call.in.data(), mac.size());
            ledger.forgetStation(mac);
            break;
        }
        ZEP_UAM_StaInfo sta{};
        zep::record::unpackStation(out, sta);
        const auto capable = [&sta](u32 bit) { return ((sta.capBitmap[bit / 8] >> (bit % 8)) & 1u) != 0; };
        host::StationFacts facts;
        std::memcpy(facts.mac.data(), call.in.data(), facts.mac.size());
        facts.radioId = sta.radioId;
        facts.vapId = sta.vapId;
        facts.linkMeas = capable(ZEP_STA_CAP_LINK_MEAS);
        facts.tpc = capable(ZEP_STA_CAP_TPC_REQ);
        facts.tokenCounter = sta.tokenCounter;
        ledger.setStation(facts);
        break;
    }
    case Op::ZEP_STA_GetRadioCurEirp:
        ledger.radioPower(radioId).curEirp = static_cast<s8>(result);
        break;
    case Op::ZEP_STA_GetRadioMaxPower:
        ledger.radioPower(radioId).maxPower = static_cast<s8>(result);
        break;
    default:
        break;
    }
}

// A dump's reply says how many records the radio's table (or one list)
// holds: the figure a play reads after every step to fill its summary.
void ReplayView::noteListSize(u32 rpcId, std::span<const u8> reply)
{
    if (rpcId == STAMEAS_RPC_GET_MEAS_LIST && reply.size() > offsetof(StaMeasListRpcMsg, num)) {
        u32 radio = 0;
        std::memcpy(&radio, reply.data() + offsetof(StaMeasListRpcMsg, radioId), sizeof radio);
        tableSizes_[radio] = reply[offsetof(StaMeasListRpcMsg, num)];
        summary_.setNodes(radio, tableSizes_[radio]);
    } else if (rpcId == STAMEAS_RPC_GET_COMEAS_LIST && reply.size() > offsetof(StaCoMeasListRpcMsg, num)) {
        u32 radio = 0;
        u32 channel = 0;
        std::memcpy(&radio, reply.data() + offsetof(StaCoMeasListRpcMsg, radioId), sizeof radio);
        std::memcpy(&channel, reply.data() + offsetof(StaCoMeasListRpcMsg, channel), sizeof channel);
        listSizes_[{radio, channel}] = reply[offsetof(StaCoMeasListRpcMsg, num)];
    }
}

std::optional<u32> ReplayView::tableSize(u32 radio)
{
    const auto it = tableSizes_.find(radio);
    return it != tableSizes_.end() ? std::optional(it->second) : std::nullopt;
}

std::optional<u32> ReplayView::comeasSize(u32 radio, u32 channel)
{
    const auto it = listSizes_.find({radio, channel});
    return it != listSizes_.end() ? std::optional(it->second) : std::nullopt;
}

}  // namespace zep::sim::replay
