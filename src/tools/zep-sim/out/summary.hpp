// The closing summary: per radio what the application did, and per handler what
// it cost (wall-clock time of the handler in this process).
#pragma once

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/events.hpp"
#include "findings/finding.hpp"
#include "out/radio_figures.hpp"

namespace zep::sim {

// The handler an event reports the cost of, as a key that sorts message
// handlers by id and the others after them; nullopt for other events.
std::optional<u32> handlerKey(const Event &ev);
std::string handlerName(u32 key);

class Summary : public EventSink {
public:
    explicit Summary(u32 radios);

    // The blocks of an IPC to the neighbours, counted per radio.
    Needs needs() const override { return Needs().add(Need::Fields, {EventKind::Ipc}); }
    void onEvent(const Event &ev) override;
    // Nodes in a radio's measurement table, as read through RPC 69 after a step.
    void setNodes(u32 radio, u32 nodes) { radios_[radio].noteSize(nodes); }
    // playedMs: the virtual time the run covered, which may pass its last
    // event. The findings come first, before the tables.
    void print(std::ostream &out, u64 playedMs, std::span<const Finding> findings) const;
    // The same figures for scripts (--summary-json).
    Json toJson(u64 playedMs) const;
    u64 errorLogLines() const { return logs_[2]; }
    // Handlers that returned non-zero at least once, by name, with how often.
    std::vector<std::pair<std::string, u64>> failingHandlers() const;
    // Each handler's spread of costs, by name: what the cost findings read.
    std::map<std::string, HandlerCost> handlerSpreads() const;

    const std::map<u32, RadioFigures> &radios() const { return radios_; }
    u64 nbBlocks() const { return nbBlocks_; }

private:
    void count(const Event &ev);
    void countBlocks(const Event &ev);
    void addCost(u32 key, const Event &ev);

    std::map<u32, RadioFigures> radios_;
    std::map<u32, HandlerCost> costs_;             // by message id, then configuration and leaves
    u64 ipcMessages_ = 0;
    u64 failedOut_ = 0;  // sends that returned non-zero, so never went out
    u64 failedIpc_ = 0;
    u64 nbBlocks_ = 0;
    u64 logs_[3] = {0, 0, 0};
};

}  // namespace zep::sim
