#include "out/summary.hpp"

#include <algorithm>
#include <cstdio>

#include "base/text_table.hpp"
#include "base/time_text.hpp"
#include "out/timeline.hpp"
#include "sta_meas_msg.h"
#include "wire/msg_catalog.hpp"

namespace zep::sim {

namespace {

using Align = TextTable::Align;

std::string micros(std::chrono::nanoseconds ns)
{
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%.1f", static_cast<double>(ns.count()) / 1000.0);
    return buf;
}

// The dump lists at most 64 nodes.
std::string nodeCount(const std::optional<u32> &n)
{
    if (!n) {
        return "-";
    }
    return std::to_string(*n) + (*n >= STAMEAS_RPC_MEAS_ENTRY_MAX ? "+" : "");
}

std::string radioName(u32 radio)
{
    return radio == STAMEAS_ALL_RADIO ? "?" : std::to_string(radio);
}

}  // namespace

void printSummary(std::ostream &out, const RunFigures &figures, u64 playedMs,
                  std::span<const Finding> findings)
{
    out << "\nSummary after " << formatSeconds(playedMs)
        << " s of virtual time\n\n";
    printFindings(out, findings);
    out << '\n';
    TextTable radios({{"radio", Align::Right},
                      {"nodes", Align::Right},
                      {"peak", Align::Right},
                      {"requests sent", Align::Right},
                      {"answers", Align::Right},
                      {"reports forwarded", Align::Right},
                      {"co-meas requests", Align::Right},
                      {"scan triggers", Align::Right},
                      {"blocks to neighbours", Align::Right}});
    RadioFigures total;
    for (const auto &[id, r] : figures.radios()) {
        radios.addRow({radioName(id), nodeCount(r.nodes), nodeCount(r.peakNodes),
                       std::to_string(r.requests), std::to_string(r.answers),
                       std::to_string(r.reports), std::to_string(r.comeas), std::to_string(r.scans),
                       std::to_string(r.nbBlocks)});
        total.add(r);
    }
    radios.addRow({"all", "", "", std::to_string(total.requests), std::to_string(total.answers),
                   std::to_string(total.reports), std::to_string(total.comeas),
                   std::to_string(total.scans),
                   std::to_string(figures.nbBlocks()) + " in " + std::to_string(figures.ipcMessages()) + " IPC"});
    radios.print(out, "  ");

    out << "\n  Handlers (wall-clock cost in this process, microseconds)\n";
    TextTable costs({{"handler", Align::Left},
                     {"calls", Align::Right},
                     {"non-zero status", Align::Right},
                     {"min", Align::Right},
                     {"avg", Align::Right},
                     {"max", Align::Right}});
    for (const auto &[key, c] : figures.handlers()) {
        const std::string name = handlerName(key);
        costs.addRow({name, std::to_string(c.calls), std::to_string(c.failed), micros(c.min),
                      micros(c.average()), micros(c.max)});
    }
    if (costs.empty()) {
        out << "  (no handler ran)\n";
    } else {
        costs.print(out, "  ");
    }
    out << "\n  Log lines: " << figures.logsBySeverity()[0] << " note, " << figures.logsBySeverity()[1] << " rare, " << figures.logsBySeverity()[2]
        << " error\n";
    out << "  Failed sends: " << figures.failedOut() << " message, " << figures.failedIpc() << " IPC\n";
}

Json summaryJson(const RunFigures &figures, u64 playedMs)
{
    Json radios = Json::array();
    for (const auto &[id, r] : figures.radios()) {
        radios.push_back({{"radio", id},
                          {"nodes", r.nodes ? Json(*r.nodes) : Json(nullptr)},
                          {"peakNodes", r.peakNodes ? Json(*r.peakNodes) : Json(nullptr)},
                          {"requests", r.requests},
                          {"answers", r.answers},
                          {"reports", r.reports},
                          {"comeasRequests", r.comeas},
                          {"scanTriggers", r.scans},
                          {"blocksToNeighbours", r.nbBlocks}});
    }
    Json handlers = Json::array();
    for (const auto &[key, c] : figures.handlers()) {
        handlers.push_back({{"handler", handlerName(key)}, {"calls", c.calls}, {"nonZero", c.failed}});
    }
    return {{"virtualMs", playedMs},
            {"radios", std::move(radios)},
            {"handlers", std::move(handlers)},
            {"ipcMessages", figures.ipcMessages()},
            {"logLines", {{"note", figures.logsBySeverity()[0]}, {"rare", figures.logsBySeverity()[1]}, {"error", figures.logsBySeverity()[2]}}},
            {"failedSends", {{"message", figures.failedOut()}, {"ipc", figures.failedIpc()}}}};
}

}  // namespace zep::sim
