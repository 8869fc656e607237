// What `zep-sim logs` prints of one access point's log: the tables of a run's
// summary, read from the field instead of played, and the same as JSON.
#pragma once

#include <optional>
#include <ostream>
#include <span>
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

// One row of the station table: a station under one measurement, over every
// time it was in its radio's table. A play or a replay fills it from its
// events, `zep-sim logs` from the module's lines; a figure its source cannot
// tell is left empty, and shown as unknown rather than as a zero.
struct StationRow {
    Mac sta{};
    u32 measId = 0;
    u32 radio = 0;  // STAMEAS_ALL_RADIO: no line named it
    u32 hosts = 0;  // bitmap of every host that asked for it
    // Its times in the table and where it is at the end.
    struct Life {
        u64 adds = 0;
        u64 removals = 0;
        bool present = false;
        bool movedToTpc = false;  // a TPC node given the hosts of its station's given-up LM node
    };
    std::optional<Life> life;
    std::optional<Removal> lastRemoval;  // only the module's notes say why a node went
    u64 requests = 0;  // sent successfully
    u64 failed = 0;    // sends that failed
    u64 reports = 0;   // counted against its requests
    u64 giveUps = 0;   // automatic measurement given up
};
// The rows of the nodes a log's lines told, in the order they were first seen.
std::vector<StationRow> stationRows(const FieldLog &log);

// A radio's cell in the tables: "?" where no line named it.
Json radioCell(u32 radio);
// The station table's columns, [key, title], and one row's cells in their
// order (numbers as numbers, an unknown figure null): the text table, the
// report page and `zep-sim logs --json` all show them.
const Json &stationColumns();
Json stationCells(const StationRow &row);
// The module's hourly co-measurement statistics, as a table: the titles, and
// one line's cells, for the text and the report.
const Json &statsColumns();
Json statsCells(const StatsLine &st);
// Per station and measurement: hosts, requests, reports, removals and why.
// Prints nothing when there is no row.
void printStationTable(std::ostream &out, std::span<const StationRow> rows);
// A line per radio whose scan switch was set off, whose timer rounds were
// skipped or whose requests failed to send.
std::vector<std::string> radioNotes(const FieldLog &log);
void printFieldLog(std::ostream &out, const FieldLog &log, bool verbose);
Json fieldLogJson(const FieldLog &log);

}  // namespace zep::sim::logs
