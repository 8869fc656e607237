#include "out/summary.hpp"

#include <algorithm>

#include "base/text_table.hpp"
#include "base/time_text.hpp"
#include "out/radio_table.hpp"
#include "out/timeline.hpp"
#include "sta_meas_msg.h"
#include "wire/msg_catalog.hpp"

namespace zep::sim {

namespace {

using Align = TextTable::Align;

std::string micros(std::chrono::nanoseconds ns)
{
    return formatFixed(costMicros(ns), 1);
}

}  // namespace

void printSummary(std::ostream &out, const RunFigures &figures, u64 playedMs,
                  std::span<const Finding> findings)
{
    out << "\nSummary after " << formatSeconds(playedMs)
        << " s of virtual time\n\n";
    printFindings(out, findings);
    out << '\n';
    printRadioTable(out, figures.radios(), SizeSource::Dump,
                    std::to_string(figures.nbBlocks()) + " in " + std::to_string(figures.ipcMessages()) + " IPC");

    out << "\n  Handlers (wall-clock cost in this process, microseconds)\n";
    TextTable costs({{"handler", Align::Left}, {"calls", Align::Right},
                     {"non-zero status", Align::Right}, {"min", Align::Right},
                     {"avg", Align::Right}, {"max", Align::Right}});
    for (const auto &[key, c] : figures.handlers()) {
        costs.addRow({handlerName(key), std::to_string(c.calls), std::to_string(c.failed),
                      micros(c.min), micros(c.average()), micros(c.max)});
    }
    if (costs.empty()) {
        out << "  (no handler ran)\n";
    } else {
        costs.print(out, "  ");
    }
    const auto &logs = figures.logsBySeverity();
    out << "\n  Log lines: " << logs[0] << " note, " << logs[1] << " rare, " << logs[2]
        << " error\n";
    out << "  Failed sends: " << figures.failedOut() << " message, " << figures.failedIpc() << " IPC\n";
}

Json summaryJson(const RunFigures &figures, u64 playedMs)
{
    Json radios = Json::array();
    for (const auto &[id, r] : figures.radios()) {
        Json row = {{"radio", id}};
        addRadioFields(row, r, &RadioColumn::summaryKey, SizeSource::Dump);
        radios.push_back(std::move(row));
    }
    Json handlers = Json::array();
    const auto &logs = figures.logsBySeverity();
    for (const auto &[key, c] : figures.handlers()) {
        handlers.push_back({{"handler", handlerName(key)}, {"calls", c.calls}, {"nonZero", c.failed}});
    }
    return {{"virtualMs", playedMs},
            {"radios", std::move(radios)},
            {"handlers", std::move(handlers)},
            {"ipcMessages", figures.ipcMessages()},
            {"logLines", {{"note", logs[0]}, {"rare", logs[1]}, {"error", logs[2]}}},
            {"failedSends", {{"message", figures.failedOut()}, {"ipc", figures.failedIpc()}}}};
}

}  // namespace zep::sim
