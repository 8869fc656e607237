// `zep-sim logs --json`: the same figures as the tables, for scripts.
#include "logs/log_view.hpp"

#include "logs/log_findings.hpp"
#include "out/radio_table.hpp"
#include "sta_meas_msg.h"

namespace zep::sim::logs {

namespace {

Json radioId(u32 r)
{
    return r == STAMEAS_ALL_RADIO ? Json(nullptr) : Json(r);
}

Json radiosJson(const FieldLog &log)
{
    Json radios = Json::array();
    for (const auto &[id, r] : log.radios()) {
        Json row = {{"radio", radioId(id)}};
        addRadioFields(row, r, &RadioColumn::logsKey, SizeSource::Lines);
        radios.push_back(std::move(row));
    }
    return radios;
}

// The station table's cells, each under its column's key.
Json stationsJson(const FieldLog &log)
{
    Json stations = Json::array();
    for (const StationRow &row : stationRows(log)) {
        const Json cells = stationCells(row);
        Json named = Json::object();
        for (std::size_t i = 0; i < cells.size(); ++i) {
            named[stationColumns()[i][0].get<std::string>()] = cells[i];
        }
        stations.push_back(std::move(named));
    }
    return stations;
}

Json restJson(const FieldLog &log, Json ap)
{
    ap["stats"] = Json::array();
    for (const StatsLine &st : log.statsLines()) {
        ap["stats"].push_back({{"radio", radioId(st.radio)}, {"timestampMs", st.timestampMs},
                               {"sent", st.sent}, {"received", st.received}});
    }
    ap["costs"] = Json::object();
    for (const auto &[name, c] : log.costs()) {
        ap["costs"][name] = {{"lines", c.lines}, {"min", c.min}, {"avg", c.avg}, {"max", c.max}};
    }
    ap["errors"] = Json::array();
    for (const auto &[kind, e] : log.errors()) {
        ap["errors"].push_back({{"kind", kind}, {"example", e.example}, {"count", e.count},
                                {"firstLine", e.firstLine}, {"lastLine", e.lastLine}});
    }
    ap["bursts"] = Json::array();
    for (const Burst &b : log.bursts()) {
        ap["bursts"].push_back({{"firstLine", b.firstLine}, {"lastLine", b.lastLine}, {"errors", b.errors}});
    }
    return ap;
}

}  // namespace

Json fieldLogJson(const FieldLog &log)
{
    Json ap = {{"name", log.name()},
               {"lines", log.lines()},
               {"moduleLines", log.moduleLines()},
               {"unparsed", log.unparsedLines()},
               {"nbBlocks", log.nbBlocks()},
               {"notesSeen", log.notesSeen()},
               {"findings", findingsJson(findingsOf(log))}};
    if (log.notesSeen()) {
        ap["radios"] = radiosJson(log);
        ap["stations"] = stationsJson(log);
    } else {
        ap["unavailable"] = noteFigures();
    }
    return restJson(log, std::move(ap));
}

}  // namespace zep::sim::logs
