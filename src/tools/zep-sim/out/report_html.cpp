#include "out/report_html.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "sta_meas_msg.h"

namespace zep::sim {

namespace {

constexpr std::string_view kChartJsMarker = "/*@CHARTJS@*/";
constexpr std::string_view kDataMarker = "/*@DATA@*/";

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

double micros(std::chrono::nanoseconds ns) { return static_cast<double>(ns.count()) / 1000.0; }

Json handlerRows(const ReportCollector &c)
{
    Json rows = Json::array();
    for (const auto &[key, h] : c.handlers()) {
        const auto avg = h.total / static_cast<std::int64_t>(std::max<u64>(h.calls, 1));
        rows.push_back({{"name", ReportCollector::handlerLabel(key)},
                        {"calls", h.calls},
                        {"failed", h.failed},
                        {"minUs", micros(h.calls == 0 ? std::chrono::nanoseconds{0} : h.min)},
                        {"avgUs", micros(avg)},
                        {"p50Us", micros(h.percentile(0.50))},
                        {"p90Us", micros(h.percentile(0.90))},
                        {"p99Us", micros(h.percentile(0.99))},
                        {"maxUs", micros(h.max)}});
    }
    return rows;
}

Json radioRows(const ReportCollector &c, Json &totals)
{
    const auto &intervals = c.intervals();
    std::map<u32, bool> radios;
    for (const Interval &iv : intervals) {
        for (const auto &entry : iv.radios) {
            radios[entry.first] = true;
        }
    }
    Json rows = Json::array();
    for (const auto &entry : radios) {
        const u32 radio = entry.first;
        RadioCounts total;
        Json series = {{"nodes", Json::array()},  {"requests", Json::array()},
                       {"answers", Json::array()}, {"reports", Json::array()},
                       {"evictions", Json::array()}, {"comeas", Json::array()},
                       {"scans", Json::array()}};
        for (const Interval &iv : intervals) {
            const auto it = iv.radios.find(radio);
            const RadioCounts r = it == iv.radios.end() ? RadioCounts{} : it->second;
            total.add(r);
            series["nodes"].push_back(r.nodes ? Json(*r.nodes) : Json(nullptr));
            series["requests"].push_back(r.requests);
            series["answers"].push_back(r.answers);
            series["reports"].push_back(r.reports);
            series["evictions"].push_back(r.evictions);
            series["comeas"].push_back(r.comeas);
            series["scans"].push_back(r.scans);
        }
        const Json counts = {{"requests", total.requests}, {"answers", total.answers},
                             {"reports", total.reports},   {"evictions", total.evictions},
                             {"comeas", total.comeas},     {"scans", total.scans}};
        for (const auto &[key, n] : counts.items()) {
            totals[key] = totals.value(key, u64{0}) + n.get<u64>();
        }
        rows.push_back({{"radio", radio == STAMEAS_ALL_RADIO ? Json("?") : Json(radio)},
                        {"peakNodes", total.nodes ? Json(*total.nodes) : Json(nullptr)},
                        {"total", counts},
                        {"series", std::move(series)}});
    }
    return rows;
}

Json listedRows(const ReportCollector &c)
{
    std::map<std::pair<u32, u32>, Json> byPair;
    const auto &intervals = c.intervals();
    for (std::size_t i = 0; i < intervals.size(); ++i) {
        for (const auto &[key, n] : intervals[i].listed) {
            Json &series = byPair[key];
            if (series.is_null()) {
                series = Json::array();
            }
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

// A script element ends at the first "</", whatever the quotes around it.
std::string scriptSafe(std::string text)
{
    for (std::size_t at = text.find("</"); at != std::string::npos; at = text.find("</", at + 3)) {
        text.replace(at, 2, "<\\/");
    }
    return text;
}

}  // namespace

Json reportData(const ReportCollector &c, const RunFacts &facts)
{
    const u64 virtualMs = c.lastMs() - c.startMs();
    const double wall = facts.wall.count();
    Json totals = {{"requests", 0}, {"answers", 0},  {"reports", 0}, {"evictions", 0},
                   {"comeas", 0},   {"scans", 0}};
    Json data;
    data["facts"] = {{"scenario", facts.scenario},
                     {"file", facts.file},
                     {"library", facts.library},
                     {"seed", facts.seed},
                     {"startMs", c.startMs()},
                     {"virtualMs", virtualMs},
                     {"wallSeconds", wall},
                     {"events", c.events()},
                     {"eventsPerSecond", wall > 0 ? static_cast<double>(c.events()) / wall : 0.0}};
    const Unit unit = axisUnit(virtualMs);
    Json starts = Json::array();
    for (std::size_t i = 0; i < c.intervals().size(); ++i) {
        starts.push_back(i * c.intervalMs());
    }
    data["interval"] = {{"widthMs", c.intervalMs()},
                        {"unit", unit.name},
                        {"unitMs", unit.ms},
                        {"starts", std::move(starts)}};
    data["radios"] = radioRows(c, totals);
    data["listed"] = listedRows(c);
    Json blocks = Json::array();
    Json bytes = Json::array();
    u64 nbBlocks = 0;
    u64 nbBytes = 0;
    for (const Interval &iv : c.intervals()) {
        blocks.push_back(iv.nbBlocks);
        bytes.push_back(iv.nbBytes);
        nbBlocks += iv.nbBlocks;
        nbBytes += iv.nbBytes;
    }
    data["neighbours"] = {{"blocks", std::move(blocks)}, {"bytes", std::move(bytes)}};
    totals["nbBlocks"] = nbBlocks;
    totals["nbBytes"] = nbBytes;
    totals["ipc"] = c.ipcMessages();
    totals["failedSends"] = c.failedSends();
    totals["logs"] = c.logsBySeverity();
    data["totals"] = std::move(totals);
    data["handlers"] = handlerRows(c);
    Json marks = Json::array();
    for (const Mark &m : c.marks()) {
        marks.push_back({{"t", m.t}, {"kind", static_cast<int>(m.kind)}, {"text", m.text}});
    }
    data["marks"] = std::move(marks);
    data["marksLeftOut"] = c.marksLeftOut();
    return data;
}

void writeReport(std::ostream &out, const ReportCollector &collected, const RunFacts &facts)
{
    const std::string_view page = reportTemplateText();
    const std::size_t lib = page.find(kChartJsMarker);
    const std::size_t data = page.find(kDataMarker);
    if (lib == std::string_view::npos || data == std::string_view::npos || data < lib) {
        throw std::logic_error("the report template lost its markers");
    }
    out << page.substr(0, lib) << scriptSafe(std::string(chartJsText()))
        << page.substr(lib + kChartJsMarker.size(), data - lib - kChartJsMarker.size())
        << scriptSafe(
               reportData(collected, facts).dump(-1, ' ', false, Json::error_handler_t::replace))
        << page.substr(data + kDataMarker.size());
}

bool reportAvailable()
{
    return !chartJsText().empty();
}

bool saveReport(std::ostream &file, const std::string &path, const ReportCollector &collected,
                const RunFacts &facts, std::ostream &human)
{
    const auto begin = std::chrono::steady_clock::now();
    writeReport(file, collected, facts);
    if (!file.flush()) {
        return false;
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - begin;
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(path, ec);
    human << "Report: " << path << " (" << (bytes + 1023) / 1024 << " KiB, written in "
          << static_cast<u64>(took.count() + 0.5) << " ms)\n";
    return true;
}

}  // namespace zep::sim
