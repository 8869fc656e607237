// What `zep-sim logs` prints of one access point's log: the tables of a run's
// summary, read from the field instead of played, and the same as JSON.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "base/hex.hpp"
#include "base/sim_json.hpp"
#include "logs/field_log.hpp"

namespace zep::sim::logs {

// The figures that only notes give, named when notes were filtered out.
const std::vector<std::string> &noteFigures();

std::string hostsText(u32 bitmap);           // "0+2"
std::string measText(u32 measId);            // "lm", "tpc", or the id

// The station table's columns, [key, title], and one node's cells in their
// order (numbers as numbers): the text table and the report page both show them.
const Json &stationColumns();
Json stationCells(const NodeFigures &node);
// Per station and measurement: hosts, requests, reports, removals and why.
// Prints nothing when no node was seen.
void printStationTable(std::ostream &out, const FieldLog &log);
// A line per radio whose scan switch was set off, whose timer rounds were
// skipped or whose requests failed to send.
std::vector<std::string> radioNotes(const FieldLog &log);
void printFieldLog(std::ostream &out, const FieldLog &log, bool verbose);
Json fieldLogJson(const FieldLog &log);

}  // namespace zep::sim::logs
