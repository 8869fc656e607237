// The station table of a play or a replay, from its events: the ledger's
// history of every node gives its figures at any log level. What the events
// cannot tell comes from the module's notes when the log level kept them, and
// is unknown otherwise: why a node last left, and which nodes a radio's table
// held once the hosts asked it for more than it holds (the module evicted or
// refused some, and says which only in notes).
#pragma once

#include <vector>

#include "logs/field_log.hpp"
#include "logs/log_view.hpp"
#include "run/host_ledger.hpp"

namespace zep::sim {

// notes: the module's lines of the run, when its log level kept the notes.
std::vector<logs::StationRow> stationRows(const HostLedger &ledger, const logs::FieldLog *notes);

}  // namespace zep::sim
