#include "logs/log_view.hpp"

#include <algorithm>
#include <cstdio>

#include "base/text_table.hpp"
#include "logs/log_findings.hpp"
#include "out/radio_table.hpp"
#include "out/report_html.hpp"
#include "sta_meas_msg.h"

namespace zep::sim::logs {

namespace {

using Align = TextTable::Align;

std::string ratioText(u64 part, u64 whole)
{
    if (whole == 0) {
        return "-";
    }
    char buf[16];
    std::snprintf(buf, sizeof(buf), "%.0f%%", 100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return buf;
}

// A figure the log cannot tell, in every table: the report's page shows a
// null cell the same way.
constexpr const char *kUnknown = "-";

std::vector<std::string> cellTexts(const Json &cells)
{
    std::vector<std::string> texts;
    for (const Json &cell : cells) {
        texts.push_back(cell.is_null() ? kUnknown : cell.is_string() ? cell.get<std::string>() : cell.dump());
    }
    return texts;
}

std::string s(u64 v)
{
    return std::to_string(v);
}

// A table of counts, read from the right; its first `textColumns` columns read from the left.
TextTable countTable(const std::vector<std::string> &titles, std::size_t textColumns = 0)
{
    std::vector<TextTable::Column> columns;
    for (const std::string &title : titles) {
        columns.push_back({title, columns.size() < textColumns ? Align::Left : Align::Right});
    }
    return TextTable(std::move(columns));
}

// Every table of the view: its title, then its rows indented under it.
void printTitled(std::ostream &out, const char *title, const TextTable &t)
{
    out << "\n  " << title << '\n';
    t.print(out, "  ");
}

void printRadios(std::ostream &out, const FieldLog &log)
{
    printRadioTable(out, log.radios(), SizeSource::Lines, s(log.nbBlocks()));
    for (const std::string &note : radioNotes(log)) {
        out << "  " << note << '\n';
    }
}

std::string nowText(const StationRow::Life &life)
{
    return std::string(life.present ? "in table" : "gone") + (life.movedToTpc ? ", moved to TPC" : "");
}

void printHours(std::ostream &out, const FieldLog &log)
{
    const auto hours = log.hours();
    if (hours.size() < 2) {
        return;  // one hour is the radio table again
    }
    TextTable t = countTable({"radio", "hour", "requests sent", "answers", "reports forwarded",
                              "co-meas requests", "table size"});
    for (const auto &[key, h] : hours) {
        t.addRow({radioText(key.first), s(key.second), s(h.requests), s(h.answers), s(h.reports),
                  s(h.comeas), h.nodes ? s(*h.nodes) : kUnknown});
    }
    printTitled(out, "Per hour of the module's clock", t);
}

void printStatsAndCosts(std::ostream &out, const FieldLog &log)
{
    if (!log.statsLines().empty()) {
        TextTable t = countTable(statsColumns().get<std::vector<std::string>>());
        for (const StatsLine &st : log.statsLines()) {
            t.addRow(cellTexts(statsCells(st)));
        }
        printTitled(out, "Hourly co-measurement statistics", t);
    }
    if (!log.costs().empty()) {
        TextTable t = countTable({"handler", "cost lines", "min", "avg", "max"}, 1);
        for (const auto &[name, c] : log.costs()) {
            t.addRow({name, s(c.lines), s(c.min), s(c.avg), s(c.max)});
        }
        printTitled(out, "Handler costs (the module's own figures, ms, as last logged)", t);
    }
}

void printErrors(std::ostream &out, const FieldLog &log)
{
    out << "\n  Errors: " << log.errorLines() << " line(s) of " << log.errors().size() << " kind(s), "
        << log.bursts().size() << " burst(s)\n";
    for (const auto &[kind, e] : log.errors()) {
        out << "    " << e.count << " x, lines " << e.firstLine << "-" << e.lastLine << ": "
            << e.example << '\n';
    }
    for (const Burst &b : log.bursts()) {
        out << "    BURST lines " << b.firstLine << "-" << b.lastLine << ": " << b.errors
            << " errors\n";
    }
}

}  // namespace

const Json &stationColumns()
{
    static const Json columns = columnList(
        {{"sta", "station"}, {"meas", "meas"}, {"radio", "radio"}, {"hosts", "hosts"},
         {"added", "added"}, {"removed", "removed"}, {"lastRemoval", "last removal"},
         {"requests", "requests"}, {"failed", "failed"}, {"reports", "reports"},
         {"answered", "answered"}, {"giveUps", "give-ups"}, {"now", "now"}});
    return columns;
}

const Json &statsColumns()
{
    static const Json columns = {"radio", "logged at (ms)", "co-meas requests to neighbours", "co-meas reports"};
    return columns;
}

Json radioCell(u32 radio)
{
    return radio == STAMEAS_ALL_RADIO ? Json("?") : Json(radio);
}

Json statsCells(const StatsLine &st)
{
    return Json::array({radioCell(st.radio), st.timestampMs, st.sent, st.received});
}

std::vector<StationRow> stationRows(const FieldLog &log)
{
    std::vector<StationRow> rows;
    for (const NodeFigures &n : log.nodes()) {
        rows.push_back({macOf(n.sta), n.measId, n.radio, n.hosts,
                        StationRow::Life{n.adds, n.removals, n.present, n.movedToTpc},
                        n.lastRemoval, n.requests, n.failed, n.reports, n.giveUps});
    }
    return rows;
}

Json stationCells(const StationRow &n)
{
    const Json unknown(nullptr);
    const std::optional<StationRow::Life> &life = n.life;
    return Json::array({macText(n.sta), measText(n.measId), radioCell(n.radio), hostsText(n.hosts),
                        life ? Json(life->adds) : unknown, life ? Json(life->removals) : unknown,
                        n.lastRemoval ? Json(removalName(*n.lastRemoval)) : unknown, n.requests,
                        n.failed, n.reports, ratioText(n.reports, n.requests), n.giveUps,
                        life ? Json(nowText(*life)) : unknown});
}

void printStationTable(std::ostream &out, std::span<const StationRow> rows)
{
    std::vector<TextTable::Column> columns;
    for (const Json &c : stationColumns()) {
        // Text columns read from the left, counts from the right.
        const bool text = c[0] == "sta" || c[0] == "meas" || c[0] == "hosts" ||
                          c[0] == "lastRemoval" || c[0] == "now";
        columns.push_back({c[1].get<std::string>(), text ? Align::Left : Align::Right});
    }
    TextTable t(std::move(columns));
    std::vector<StationRow> byRadio(rows.begin(), rows.end());
    std::sort(byRadio.begin(), byRadio.end(), [](const StationRow &a, const StationRow &b) {
        return std::tie(a.radio, a.sta, a.measId) < std::tie(b.radio, b.sta, b.measId);
    });
    for (const StationRow &row : byRadio) {
        t.addRow(cellTexts(stationCells(row)));
    }
    if (!t.empty()) {
        printTitled(out, "Stations (per measurement)", t);
    }
}

std::vector<std::string> radioNotes(const FieldLog &log)
{
    std::vector<std::string> notes;
    for (const auto &[id, r] : log.radios()) {
        if (r.switchedOff != 0 || r.disabledRounds != 0 || r.failedRequests != 0) {
            notes.push_back("radio " + radioText(id) + ": scan switch set off " + s(r.switchedOff) +
                            " time(s), " + s(r.disabledRounds) +
                            " timer round(s) skipped as measurement was off, " +
                            s(r.failedRequests) + " request(s) failed to send");
        }
    }
    return notes;
}

const std::vector<std::string> &noteFigures()
{
    static const std::vector<std::string> figures{
        "table size and peak", "requests sent",   "answers",
        "reports forwarded",   "co-meas requests", "scan triggers",
        "blocks to neighbours", "nodes added and removed", "per-station figures",
        "handler costs"};
    return figures;
}

std::string hostsText(u32 bitmap)
{
    std::string text;
    for (u32 h = 0; h < 32; ++h) {
        if ((bitmap & (1u << h)) != 0) {
            text += (text.empty() ? "" : "+") + std::to_string(h);
        }
    }
    return text.empty() ? "-" : text;
}

std::string measText(u32 measId)
{
    switch (measId) {
    case STAMEAS_MSG_LM_REQ: return "lm";
    case STAMEAS_MSG_TPC_REQ: return "tpc";
    default: return std::to_string(measId);
    }
}

void printFieldLog(std::ostream &out, const FieldLog &log, bool verbose)
{
    out << "\nAccess point " << log.name() << ": " << log.lines() << " lines, "
        << log.moduleLines() << " of the module, " << log.unparsedLines() << " unparsed\n\n";
    if (log.moduleLines() == 0) {
        out << "  No line of the module.\n";
        return;
    }
    printFindings(out, findingsOf(log));
    out << '\n';
    if (log.notesSeen()) {
        printRadios(out, log);
        printStationTable(out, stationRows(log));
        printHours(out, log);
    } else {
        out << "  No note in this log (filtered out on the access point, or the module had nothing\n"
               "  to report), so these cannot be given:\n";
        for (const std::string &f : noteFigures()) {
            out << "    " << f << '\n';
        }
    }
    printStatsAndCosts(out, log);
    printErrors(out, log);
    if (verbose) {
        for (const std::string &line : log.unparsedExamples()) {
            out << "  unparsed: " << line << '\n';
        }
    }
}

}  // namespace zep::sim::logs
