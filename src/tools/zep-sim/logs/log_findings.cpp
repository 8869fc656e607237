#include "logs/log_findings.hpp"

#include <algorithm>
#include <numeric>

#include "base/hex.hpp"
#include "sta_meas_msg.h"
#include "wire/msg_catalog.hpp"

namespace zep::sim::logs {

namespace {

// A station's TPC node made by the switch marks its link-measurement node as
// moved, as the play's ledger keeps it.
void addNodes(const FieldLog &log, FindingFacts &facts)
{
    for (const NodeFigures &n : log.nodes()) {
        NodeHistory &h = facts.nodes[{macOf(n.sta), n.measId}];
        h.radioId = n.radio;
        h.giveUps += static_cast<u32>(n.giveUps);
        if (n.giveUps != 0 && n.removedAtMs) {
            h.lastGiveUpMs = n.removedAtMs;
        }
        if (n.movedToTpc) {
            facts.nodes[{macOf(n.sta), STAMEAS_MSG_LM_REQ}].movedToTpc = true;
        }
        for (u64 i = 0; i < n.failed; ++i) {
            facts.failedSends.note(std::nullopt, msgLabel(n.measId));
        }
    }
}

}  // namespace

void addLineFacts(const FieldLog &log, FindingFacts &facts, bool notesKept)
{
    for (const NodeFigures &n : log.nodes()) {
        if (n.evictions != 0) {
            NodeHistory &h = facts.nodes[{macOf(n.sta), n.measId}];
            h.radioId = n.radio;
            h.evictions = n.evictions;
        }
    }
    for (const auto &[radio, figures] : log.radios()) {
        if (figures.refusedAdds != 0) {
            facts.refusedAdds[radio] = figures.refusedAdds;
        }
        if (figures.scanInhibits != 0) {
            facts.scanInhibits[radio] = figures.scanInhibits;
        }
    }
    facts.channelWaits = log.channelWaits();
    for (const auto &[sta, reports] : log.unknownNeighbours()) {
        for (u64 i = 0; i < reports; ++i) {
            facts.unknownNeighbours.note(std::nullopt, macText(macOf(sta)));
        }
    }
    facts.endMs = log.now();
    const auto untimed = [](const auto &wait) { return wait.second.untimed; };
    if (std::any_of(facts.channelWaits.begin(), facts.channelWaits.end(), untimed)) {
        facts.unchecked.push_back("how long co-measurement requests waited that were listed before the log "
                                  "told the time");
    }
    if (!notesKept) {
        facts.unchecked.push_back("evictions, refused adds, co-measurement waits and unknown neighbours "
                                  "(notes filtered out)");
    }
}

// Every fact a field log holds: its lines', and what a play's ledger would
// otherwise give.
std::vector<Finding> findingsOf(const FieldLog &log, const FindingLimits &limits)
{
    FindingFacts facts;
    addNodes(log, facts);
    facts.errorLines = log.errorLines();
    facts.bursts.count = log.bursts().size();
    facts.bursts.lines = std::accumulate(log.bursts().begin(), log.bursts().end(), u64{0},
                                         [](u64 lines, const Burst &b) { return lines + b.errors; });
    facts.unchecked = {"starved nodes and hosts' shares never sent (a log does not say when a host was due)",
                       "reports that match no node (the module logs only those that match)",
                       "cost outliers (the module logs each handler's minimum, average and maximum, not its "
                       "spread)"};
    if (!log.notesSeen()) {
        facts.unchecked.push_back("automatic measurements given up and failed requests (notes filtered out)");
    }
    addLineFacts(log, facts, log.notesSeen());
    return zep::sim::findingsOf(facts, limits);
}

}  // namespace zep::sim::logs
