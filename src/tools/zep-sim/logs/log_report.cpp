#include "logs/log_report.hpp"

#include <algorithm>
#include <set>

#include "logs/log_findings.hpp"
#include "logs/log_view.hpp"
#include "out/radio_table.hpp"
#include "out/report_html.hpp"

namespace zep::sim::logs {

namespace {

constexpr u64 kHourMs = 3600000;

// Per radio, one point per hour of the module's clock that any radio saw.
using Hours = std::map<std::pair<u32, u64>, RadioFigures>;

Json hourSeries(const Hours &byRadio, u32 radio, const std::set<u64> &hours)
{
    Json series = {{"nodes", Json::array()},   {"requests", Json::array()},
                   {"answers", Json::array()}, {"reports", Json::array()},
                   {"comeas", Json::array()}};
    for (const u64 h : hours) {
        const auto it = byRadio.find({radio, h});
        const RadioFigures f = it == byRadio.end() ? RadioFigures{} : it->second;
        series["nodes"].push_back(f.nodes ? Json(*f.nodes) : Json(nullptr));
        series["requests"].push_back(f.requests);
        series["answers"].push_back(f.answers);
        series["reports"].push_back(f.reports);
        series["comeas"].push_back(f.comeas);
    }
    return series;
}

void addRadios(Json &s, const FieldLog &log)
{
    const Hours byRadio = log.hours();
    std::set<u64> hours;
    for (const auto &entry : byRadio) {
        hours.insert(entry.first.second);
    }
    Json starts = Json::array();
    for (const u64 h : hours) {
        starts.push_back(h * kHourMs);
    }
    s["interval"] = {{"name", "the module's clock"}, {"widthMs", kHourMs}, {"unit", "h"},
                     {"unitMs", kHourMs},          {"starts", std::move(starts)}};
    s["radioColumns"] = radioColumnList();
    Json rows = Json::array();
    RadioFigures all;
    for (const auto &[id, r] : log.radios()) {
        Json total = Json::object();
        addRadioFields(total, r, &RadioColumn::key, SizeSource::Lines);
        rows.push_back(
            {{"radio", radioCell(id)}, {"total", total}, {"series", hourSeries(byRadio, id, hours)}});
        all.add(r);
    }
    s["radios"] = std::move(rows);
    // A block holding stations of two radios counts on each, once in all.
    s["totals"] = {{"requests", all.requests}, {"answers", all.answers}, {"reports", all.reports},
                   {"comeas", all.comeas},     {"scans", all.scans},     {"added", all.adds},
                   {"removed", all.removals},  {"nbBlocks", log.nbBlocks()}};
    s["notes"] = radioNotes(log);
    s["stations"] = stationTable(stationRows(log));
}

Json statsTable(const FieldLog &log)
{
    Json rows = Json::array();
    for (const StatsLine &st : log.statsLines()) {
        rows.push_back(statsCells(st));
    }
    return {{"title", "Hourly co-measurement statistics"},
            {"columns", statsColumns()},
            {"rows", std::move(rows)}};
}

Json costTable(const FieldLog &log)
{
    Json rows = Json::array();
    for (const auto &[name, c] : log.costs()) {
        rows.push_back({{"name", name}, {"lines", c.lines}, {"min", c.min}, {"avg", c.avg}, {"max", c.max}});
    }
    return {{"unit", "ms, the module's own figures as last logged"},
            {"columns", columnList({{"lines", "cost lines"}, {"min", "min ms"}, {"avg", "avg ms"},
                                    {"max", "max ms"}})},
            {"bars", columnList({{"min", "min"}, {"avg", "avg"}, {"max", "max"}})},
            {"count", {"lines", "cost lines"}},
            {"logScale", false},
            {"rows", std::move(rows)}};
}

std::string lineRange(u64 first, u64 last)
{
    return first == last ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last);
}

// Error kinds at their first line, and the bursts, on the axis of log lines.
Json errorMarks(const FieldLog &log)
{
    Json rows = Json::array();
    const auto mark = [&rows](u64 first, u64 last, int kind, const std::string &text) {
        rows.push_back({{"x", first}, {"at", lineRange(first, last)}, {"kind", kind}, {"text", text}});
    };
    for (const auto &[kind, e] : log.errors()) {
        mark(e.firstLine, e.lastLine, 0, std::to_string(e.count) + " x " + e.example);
    }
    for (const Burst &b : log.bursts()) {
        mark(b.firstLine, b.lastLine, 1, std::to_string(b.errors) + " errors close together");
    }
    return {{"kinds", {"error", "burst"}}, {"axis", "log line"}, {"atTitle", "lines"},
            {"failedKind", 1},            {"rows", std::move(rows)}, {"leftOut", 0}};
}

}  // namespace

Json stationTable(std::span<const StationRow> rows)
{
    std::vector<StationRow> heaviest(rows.begin(), rows.end());
    std::sort(heaviest.begin(), heaviest.end(), [](const StationRow &a, const StationRow &b) {
        return std::tie(b.requests, a.sta, a.measId) < std::tie(a.requests, b.sta, b.measId);
    });
    Json cells = Json::array();
    for (const StationRow &r : heaviest) {
        cells.push_back(stationCells(r));
    }
    return {{"columns", stationColumns()}, {"rows", std::move(cells)}, {"shown", kStationsShown}};
}

Json logSection(const FieldLog &log, const std::string &path)
{
    Json s;
    s["name"] = log.name();
    s["title"] = "access point " + log.name();
    s["findings"] = findingsJson(findingsOf(log));
    s["facts"] = Json::array({{"log", path},
                              {"lines", std::to_string(log.lines())},
                              {"module lines", std::to_string(log.moduleLines())},
                              {"unparsed module lines", std::to_string(log.unparsedLines())},
                              {"timer rounds with a cost line", std::to_string(log.timerRounds())}});
    if (log.notesSeen()) {
        addRadios(s, log);
    } else if (log.moduleLines() != 0) {
        s["unavailable"] = noteFigures();
        s["unavailableWhy"] = "No note in this log (filtered out on the access point, or the module "
                              "had nothing to report), so these cannot be given:";
    } else {
        s["unavailableWhy"] = "No line of the module in this log.";
    }
    s["tables"] = Json::array({statsTable(log)});
    s["handlers"] = costTable(log);
    s["marks"] = errorMarks(log);
    return s;
}

}  // namespace zep::sim::logs
