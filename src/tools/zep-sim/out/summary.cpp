#include "out/summary.hpp"

#include <algorithm>
#include <cstdio>
#include <set>

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

// Cost keys of the handlers that are not messages, sorted after every message id.
constexpr u32 kConfigKey = ~0u - 1;
constexpr u32 kLeaveKey = ~0u;

}  // namespace

std::optional<u32> handlerKey(const Event &ev)
{
    switch (ev.kind) {
    case EventKind::In:
    case EventKind::Rpc: return ev.id;
    case EventKind::Config: return kConfigKey;
    case EventKind::Leave: return kLeaveKey;
    default: return std::nullopt;
    }
}

std::string handlerName(u32 key)
{
    switch (key) {
    case kConfigKey: return "cfg 32 scan-switch";
    case kLeaveKey: return "station leaves";
    default: return msgLabel(key);
    }
}

Summary::Summary(u32 radios)
{
    for (u32 r = 0; r < radios; ++r) {
        radios_.try_emplace(r);  // every configured radio has a row, busy or not
    }
}

void Summary::onEvent(const Event &ev)
{
    count(ev);
    if (const std::optional<u32> key = handlerKey(ev)) {
        addCost(*key, ev);
    }
}

void Summary::addCost(u32 key, const Event &ev)
{
    if (!ev.status) {
        return;
    }
    costs_[key].add(ev.elapsed, *ev.status != 0);
}

std::map<std::string, HandlerCost> Summary::handlerSpreads() const
{
    std::map<std::string, HandlerCost> out;
    for (const auto &[key, cost] : costs_) {
        out[handlerName(key)] = cost;
    }
    return out;
}

void Summary::count(const Event &ev)
{
    switch (ev.kind) {
    case EventKind::Log:
        ++logs_[std::min<u32>(ev.severity, 2)];
        return;
    case EventKind::Ipc:
        ++ipcMessages_;
        countBlocks(ev);
        return;
    case EventKind::OutFail:
        ++failedOut_;
        return;
    case EventKind::IpcFail:
        ++failedIpc_;
        return;
    case EventKind::In:
    case EventKind::Out:
        break;
    default:
        return;
    }
    if (ev.column != Column::None) {
        radios_[ev.radio].count(ev.column);
    }
}

// Blocks to neighbours are rare (one IPC per neighbour request), so they are
// counted from the decoded fields rather than from the wire.
void Summary::countBlocks(const Event &ev)
{
    if (!ev.fields.contains("blocks")) {
        return;
    }
    for (const auto &block : ev.fields["blocks"]) {
        ++nbBlocks_;
        std::set<u32> radios;
        for (const auto &sta : block["stations"]) {
            radios.insert(sta["radioId"].get<u32>());
        }
        for (const u32 r : radios) {
            ++radios_[r].nbBlocks;
        }
    }
}

void Summary::print(std::ostream &out, u64 playedMs, std::span<const Finding> findings) const
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
    for (const auto &[id, r] : radios_) {
        radios.addRow({radioName(id), nodeCount(r.nodes), nodeCount(r.peakNodes),
                       std::to_string(r.requests), std::to_string(r.answers),
                       std::to_string(r.reports), std::to_string(r.comeas), std::to_string(r.scans),
                       std::to_string(r.nbBlocks)});
        total.add(r);
    }
    radios.addRow({"all", "", "", std::to_string(total.requests), std::to_string(total.answers),
                   std::to_string(total.reports), std::to_string(total.comeas),
                   std::to_string(total.scans),
                   std::to_string(nbBlocks_) + " in " + std::to_string(ipcMessages_) + " IPC"});
    radios.print(out, "  ");

    out << "\n  Handlers (wall-clock cost in this process, microseconds)\n";
    TextTable costs({{"handler", Align::Left},
                     {"calls", Align::Right},
                     {"non-zero status", Align::Right},
                     {"min", Align::Right},
                     {"avg", Align::Right},
                     {"max", Align::Right}});
    for (const auto &[key, c] : costs_) {
        const std::string name = handlerName(key);
        costs.addRow({name, std::to_string(c.calls), std::to_string(c.failed), micros(c.min),
                      micros(c.average()), micros(c.max)});
    }
    if (costs.empty()) {
        out << "  (no handler ran)\n";
    } else {
        costs.print(out, "  ");
    }
    out << "\n  Log lines: " << logs_[0] << " note, " << logs_[1] << " rare, " << logs_[2]
        << " error\n";
    out << "  Failed sends: " << failedOut_ << " message, " << failedIpc_ << " IPC\n";
}

std::vector<std::pair<std::string, u64>> Summary::failingHandlers() const
{
    std::vector<std::pair<std::string, u64>> out;
    for (const auto &[key, c] : costs_) {
        if (c.failed != 0) {
            out.emplace_back(handlerName(key), c.failed);
        }
    }
    return out;
}

Json Summary::toJson(u64 playedMs) const
{
    Json radios = Json::array();
    for (const auto &[id, r] : radios_) {
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
    for (const auto &[key, c] : costs_) {
        handlers.push_back({{"handler", handlerName(key)}, {"calls", c.calls}, {"nonZero", c.failed}});
    }
    return {{"virtualMs", playedMs},
            {"radios", std::move(radios)},
            {"handlers", std::move(handlers)},
            {"ipcMessages", ipcMessages_},
            {"logLines", {{"note", logs_[0]}, {"rare", logs_[1]}, {"error", logs_[2]}}},
            {"failedSends", {{"message", failedOut_}, {"ipc", failedIpc_}}}};
}

}  // namespace zep::sim
