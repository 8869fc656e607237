#include "run/station_rows.hpp"

#include <map>

#include "sta_meas_msg.h"

namespace zep::sim {

namespace {

using Told = std::map<NodeKey, logs::StationRow>;

// The notes' row of each node they name.
Told toldByNotes(const logs::FieldLog &notes)
{
    Told told;
    for (const logs::StationRow &row : logs::stationRows(notes)) {
        told.emplace(NodeKey{row.sta, row.measId}, row);
    }
    return told;
}

// Its place in the table as the ledger saw it come and go. The ledger marks
// the link-measurement node whose hosts moved; the table, the TPC node they went to.
logs::StationRow::Life lifeOf(const NodeKey &key, const NodeHistory &node,
                              const std::map<NodeKey, NodeHistory> &history)
{
    const auto lm = history.find({key.first, STAMEAS_MSG_LM_REQ});
    const bool movedHere =
        key.second == STAMEAS_MSG_TPC_REQ && lm != history.end() && lm->second.movedToTpc;
    return {node.adds, node.removals, node.inTable, movedHere};
}

}  // namespace

std::vector<logs::StationRow> stationRows(const HostLedger &ledger, const logs::FieldLog *notes)
{
    const Told told = notes != nullptr ? toldByNotes(*notes) : Told{};
    logs::StationRow neverAdded;  // a node the kept notes never name was never in the table
    neverAdded.life = logs::StationRow::Life{};
    neverAdded.lastRemoval = logs::Removal::None;
    const std::map<NodeKey, NodeHistory> history = ledger.history();
    std::vector<logs::StationRow> rows;
    for (const auto &[key, node] : history) {
        const auto it = told.find(key);
        const logs::StationRow *noted =
            it != told.end() ? &it->second : notes != nullptr ? &neverAdded : nullptr;
        logs::StationRow row{key.first, key.second, node.radioId, node.hostsAsked, {}, {},
                             node.requests, node.failed, node.reports, node.giveUps};
        if (!ledger.overflowed(node.radioId)) {
            row.life = lifeOf(key, node, history);
        } else if (noted != nullptr) {
            row.life = noted->life;
        }
        row.lastRemoval = noted != nullptr ? noted->lastRemoval : std::nullopt;
        rows.push_back(row);
    }
    return rows;
}

}  // namespace zep::sim
