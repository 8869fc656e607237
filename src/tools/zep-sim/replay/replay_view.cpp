#include "replay/replay_view.hpp"

#include <cstddef>

#include "base/hex.hpp"
#include "logs/log_view.hpp"
#include "record_calls.hpp"
#include "sta_meas_msg.h"
#include "wire/codec_util.hpp"

namespace zep::sim::replay {

using zep::record::Op;

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
            ledger.forgetStation(macAt(call.in, 0));
            break;
        }
        ZEP_UAM_StaInfo sta{};
        zep::record::unpackStation(out, sta);
        const auto capable = [&sta](u32 bit) { return ((sta.capBitmap[bit / 8] >> (bit % 8)) & 1u) != 0; };
        ledger.setStation({.mac = macAt(call.in, 0), .radioId = sta.radioId, .vapId = sta.vapId,
                           .linkMeas = capable(ZEP_STA_CAP_LINK_MEAS), .tpc = capable(ZEP_STA_CAP_TPC_REQ),
                           .tokenCounter = sta.tokenCounter});
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
    const auto field = [reply](std::size_t offset) { return codec::readRecord<u32>(reply, offset).value_or(0); };
    if (rpcId == STAMEAS_RPC_GET_MEAS_LIST && reply.size() > offsetof(StaMeasListRpcMsg, num)) {
        const u32 radio = field(offsetof(StaMeasListRpcMsg, radioId));
        tableSizes_[radio] = reply[offsetof(StaMeasListRpcMsg, num)];
        summary_.setNodes(radio, tableSizes_[radio]);
    } else if (rpcId == STAMEAS_RPC_GET_COMEAS_LIST && reply.size() > offsetof(StaCoMeasListRpcMsg, num)) {
        const std::pair<u32, u32> list{field(offsetof(StaCoMeasListRpcMsg, radioId)),
                                       field(offsetof(StaCoMeasListRpcMsg, channel))};
        listSizes_[list] = reply[offsetof(StaCoMeasListRpcMsg, num)];
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
