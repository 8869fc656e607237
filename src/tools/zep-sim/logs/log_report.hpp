// What the HTML report shows of the module's log: the station table (for a
// run's report too, whose rows come from its events) and an access point's
// whole section for `zep-sim logs --report`.
#pragma once

#include <span>
#include <string>

#include "base/sim_json.hpp"
#include "logs/field_log.hpp"
#include "logs/log_view.hpp"

namespace zep::sim::logs {

// Rows shown before the page's filter is used: a day of full load has
// hundreds of stations, the heaviest of which are the ones looked at first.
constexpr std::size_t kStationsShown = 200;

// The station table's rows, heaviest (most requests) first; the page shows
// the first kStationsShown and its filter reaches all of them.
Json stationTable(std::span<const StationRow> rows);
// One access point: the radio table, per hour of the module's clock, the
// stations, the statistics lines, handler costs, errors and their bursts. When
// the log holds no note, the figures only notes give are named, not zeroed.
Json logSection(const FieldLog &log, const std::string &path);

}  // namespace zep::sim::logs
