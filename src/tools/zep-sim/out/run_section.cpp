#include "out/run_section.hpp"

#include <algorithm>
#include <cmath>

#include "base/time_text.hpp"
#include "out/report_html.hpp"
#include "sta_meas_msg.h"

namespace zep::sim {

namespace {

struct Unit {
    const char *name;
    u64 ms;
};

// Seconds for a minute-long run, minutes for hours, hours for a day.
Unit axisUnit(u64 spanMs)
{
    constexpr u64 kMinute = 60000;
    constexpr u64 kHour = 60 * kMinute;
    if (spanMs <= 5 * kMinute) {
        return {"s", 1000};
    }
    return spanMs <= 5 * kHour ? Unit{"min", kMinute} : Unit{"h", kHour};
}

Json handlerRows(const ReportCollector &c)
{
    Json rows = Json::array();
    for (const auto &[key, h] : c.figures().handlers()) {
        rows.push_back({{"name", handlerName(key)},
                        {"calls", h.calls},
                        {"failed", h.failed},
                        {"minUs", costMicros(h.calls == 0 ? std::chrono::nanoseconds{0} : h.min)},
                        {"avgUs", costMicros(h.average())},
                        {"p50Us", costMicros(h.percentile(0.50))},
                        {"p90Us", costMicros(h.percentile(0.90))},
                        {"p99Us", costMicros(h.percentile(0.99))},
                        {"maxUs", costMicros(h.max)}});
    }
    return {{"unit", "µs, percentiles are bucket bounds within 2x"},
            {"columns", columnList({{"calls", "calls"}, {"failed", "non-zero status"},
                                    {"minUs", "min µs"}, {"avgUs", "avg µs"}, {"p50Us", "p50 µs"},
                                    {"p90Us", "p90 µs"}, {"p99Us", "p99 µs"}, {"maxUs", "max µs"}})},
            {"bars", columnList({{"p50Us", "p50"}, {"p90Us", "p90"}, {"p99Us", "p99"}, {"maxUs", "max"}})},
            {"count", {"calls", "calls"}},
            {"logScale", true},
            {"rows", std::move(rows)}};
}

Json radioSeries(const std::vector<Interval> &intervals, u32 radio, RadioFigures &total)
{
    Json series = {{"nodes", Json::array()},     {"requests", Json::array()},
                   {"answers", Json::array()},   {"reports", Json::array()},
                   {"evictions", Json::array()}, {"comeas", Json::array()},
                   {"scans", Json::array()}};
    for (const Interval &iv : intervals) {
        const auto it = iv.radios.find(radio);
        const RadioFigures r = it == iv.radios.end() ? RadioFigures{} : it->second;
        total.add(r);
        series["nodes"].push_back(r.peakNodes ? Json(*r.peakNodes) : Json(nullptr));
        series["requests"].push_back(r.requests);
        series["answers"].push_back(r.answers);
        series["reports"].push_back(r.reports);
        series["evictions"].push_back(r.removals);
        series["comeas"].push_back(r.comeas);
        series["scans"].push_back(r.scans);
    }
    return series;
}

Json radioRows(const ReportCollector &c, Json &totals)
{
    std::map<u32, bool> radios;
    for (const Interval &iv : c.figures().intervals()) {
        for (const auto &entry : iv.radios) {
            radios[entry.first] = true;
        }
    }
    Json rows = Json::array();
    for (const auto &entry : radios) {
        const u32 radio = entry.first;
        RadioFigures total;
        Json series = radioSeries(c.figures().intervals(), radio, total);
        const Json counts = {{"requests", total.requests}, {"answers", total.answers},
                             {"reports", total.reports},   {"evictions", total.removals},
                             {"comeas", total.comeas},     {"scans", total.scans}};
        for (const auto &[key, n] : counts.items()) {
            totals[key] = totals.value(key, u64{0}) + n.get<u64>();
        }
        Json shown = counts;
        shown["peak"] = total.peakNodes ? Json(*total.peakNodes) : Json(nullptr);
        rows.push_back({{"radio", radio == STAMEAS_ALL_RADIO ? Json("?") : Json(radio)},
                        {"total", std::move(shown)},
                        {"series", std::move(series)}});
    }
    return rows;
}

Json listedRows(const ReportCollector &c)
{
    std::map<std::pair<u32, u32>, Json> byPair;
    const auto &intervals = c.figures().intervals();
    for (std::size_t i = 0; i < intervals.size(); ++i) {
        for (const auto &[key, n] : intervals[i].listed) {
            Json &series = byPair[key];  // a null that the first push_back makes an array
            while (series.size() < i) {
                series.push_back(nullptr);
            }
            series.push_back(n);
        }
    }
    Json rows = Json::array();
    for (auto &[key, series] : byPair) {
        const bool everListed = std::any_of(series.begin(), series.end(), [](const Json &n) {
            return n.is_number() && n.get<u32>() > 0;
        });
        if (!everListed) {
            continue;
        }
        while (series.size() < intervals.size()) {
            series.push_back(nullptr);
        }
        rows.push_back({{"radio", key.first}, {"channel", key.second}, {"series", series}});
    }
    return rows;
}

Json neighbourSeries(const ReportCollector &c, Json &totals)
{
    Json blocks = Json::array();
    Json bytes = Json::array();
    u64 nbBlocks = 0;
    u64 nbBytes = 0;
    for (const Interval &iv : c.figures().intervals()) {
        blocks.push_back(iv.nbBlocks);
        bytes.push_back(iv.nbBytes);
        nbBlocks += iv.nbBlocks;
        nbBytes += iv.nbBytes;
    }
    totals["nbBlocks"] = nbBlocks;
    totals["nbBytes"] = nbBytes;
    return {{"blocks", std::move(blocks)}, {"bytes", std::move(bytes)}};
}

Json factRows(const ReportCollector &c, const RunFacts &facts)
{
    const double wall = facts.wall.count();
    const double perSecond = wall > 0 ? static_cast<double>(c.events()) / wall : 0.0;
    return Json::array({
        {"scenario file", facts.file},
        {"library", facts.library},
        {"seed", std::to_string(facts.seed)},
        {"virtual time",
         formatFixed(static_cast<double>(c.lastMs() - c.startMs()) / 1000.0, 3) + " s"},
        {"wall time", formatFixed(wall, 3) + " s"},
        {"events", std::to_string(c.events())},
        {"events per second", formatFixed(perSecond, 0)},
        {"interval", formatFixed(static_cast<double>(c.figures().intervalMs()) / 1000.0, 0) +
                         " s, " + std::to_string(c.figures().intervals().size()) + " intervals"},
    });
}

Json markRows(const ReportCollector &c, const Unit &unit)
{
    Json rows = Json::array();
    for (const Mark &m : c.marks()) {
        const u64 rel = m.t - c.startMs();
        rows.push_back({{"x", static_cast<double>(rel) / static_cast<double>(unit.ms)},
                        {"at", formatFixed(static_cast<double>(rel) / 1000.0, 3)},
                        {"kind", static_cast<int>(m.kind)},
                        {"text", m.text}});
    }
    return {{"kinds", {"failed send", "error log", "expect held", "expect failed", "fault fired"}},
            {"axis", std::string("virtual time (") + unit.name + ")"},
            {"atTitle", "time (s from the start)"},
            {"failedKind", static_cast<int>(Mark::Kind::ExpectFailed)},
            {"rows", std::move(rows)},
            {"leftOut", c.marksLeftOut()}};
}

}  // namespace

Json runSection(const ReportCollector &c, const RunFacts &facts)
{
    const Unit unit = axisUnit(c.lastMs() - c.startMs());
    Json starts = Json::array();
    for (std::size_t i = 0; i < c.figures().intervals().size(); ++i) {
        starts.push_back(i * c.figures().intervalMs());
    }
    Json totals = Json::object();
    Json s;
    s["name"] = facts.scenario;
    s["title"] = "zep-sim report: " + facts.scenario;
    s["facts"] = factRows(c, facts);
    s["interval"] = {{"name", "virtual time"}, {"widthMs", c.figures().intervalMs()}, {"unit", unit.name},
                     {"unitMs", unit.ms},      {"starts", std::move(starts)}};
    s["radioColumns"] = columnList({{"peak", "peak nodes"}, {"requests", "requests sent"},
                                    {"answers", "answers"}, {"reports", "reports forwarded"},
                                    {"evictions", "nodes removed"}, {"comeas", "co-meas requests"},
                                    {"scans", "scan triggers"}});
    s["radios"] = radioRows(c, totals);
    s["listed"] = listedRows(c);
    s["neighbours"] = neighbourSeries(c, totals);
    const RunFigures &f = c.figures();
    totals["ipc"] = f.ipcMessages();
    totals["failedSends"] = f.failedOut() + f.failedIpc();
    totals["notes"] = f.logsBySeverity()[0];
    totals["rare"] = f.logsBySeverity()[1];
    totals["errors"] = f.logsBySeverity()[2];
    s["totals"] = std::move(totals);
    s["totalsLine"] = columnList({{"Blocks to neighbours", "nbBlocks"}, {"in IPC", "ipc"},
                                  {"bytes to neighbours", "nbBytes"}, {"note lines", "notes"},
                                  {"rare lines", "rare"}, {"error lines", "errors"},
                                  {"failed sends", "failedSends"}});
    s["handlers"] = handlerRows(c);
    s["marks"] = markRows(c, unit);
    return s;
}

}  // namespace zep::sim
