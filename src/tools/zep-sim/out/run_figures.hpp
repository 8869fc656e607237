// What a run did, counted once from its events: per radio, per handler, the
// log lines and the failed sends, and, when a report asks for them, the same
// per interval of virtual time. A play's events and those the log reader makes
// of a log's lines are counted alike, so that a count means the same wherever
// it shows.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/events.hpp"
#include "findings/facts.hpp"
#include "out/radio_figures.hpp"
#include "scenario/expect.hpp"

namespace zep::sim {

// Cost keys of the handlers that are not messages, sorted after every message id.
constexpr u32 kConfigKey = ~0u - 1;
constexpr u32 kLeaveKey = ~0u;

// The handler an event reports the cost of, as a key that sorts message
// handlers by id and the others after them; nullopt for other events.
inline std::optional<u32> handlerKey(const Event &ev)
{
    switch (ev.kind) {
    case EventKind::In:
    case EventKind::Rpc: return ev.id;
    case EventKind::Config: return kConfigKey;
    case EventKind::Leave: return kLeaveKey;
    default: return std::nullopt;
    }
}
std::string handlerName(u32 key);
// Events after which no handler is running, so the state can be looked at.
bool handlerReturned(EventKind kind);

struct Interval {
    std::map<u32, RadioFigures> radios;
    std::map<std::pair<u32, u32>, u32> listed;  // co-measurement records by (radio, channel)
    u64 nbBlocks = 0;
    u64 nbBytes = 0;

    void add(const Interval &other);
};

class RunFigures : public EventSink {
public:
    static constexpr std::size_t kMaxIntervals = 360;
    static constexpr u64 kHourMs = 3600000;

    // Table sizes come from the dumps a play reads (setNodes), or from the
    // table's own log lines where those are all a source has.
    explicit RunFigures(u32 radios, SizeSource sizes = SizeSource::Dump);
    // A copy's index would point into the original's rows; a move keeps them.
    RunFigures(const RunFigures &) = delete;
    RunFigures &operator=(const RunFigures &) = delete;
    RunFigures(RunFigures &&) = default;
    RunFigures &operator=(RunFigures &&) = default;

    // The blocks of an IPC to the neighbours, counted per radio.
    Needs needs() const override { return Needs().add(Need::Fields, {EventKind::Ipc}); }
    void onEvent(const Event &ev) override;
    // An event counted in the totals alone, in no interval.
    void countInTotal(const Event &ev) { count(ev, nullptr); }
    // Nodes in a radio's measurement table, as read through RPC 69 after a step.
    void setNodes(u32 radio, u32 nodes) { row(radio).noteSize(nodes); }
    // From now on the figures are kept per interval of virtual time too, from
    // startMs, the interval widening as the run grows so that a day costs no
    // more memory than a minute.
    void keepIntervals(u64 startMs, StateProbe *probe);
    // From now on the figures are kept per hour of the events' clock too, only
    // for the hours an event falls in: a log's clock may start anywhere.
    void keepHours() { hourly_ = true; }
    // After an event at which no handler runs, once per interval: the probe's
    // table sizes and co-measurement lists. The report asks after its marks,
    // so that a failure injected while looking shows at the next event.
    void sample(const Event &ev);

    const std::map<u32, RadioFigures> &radios() const { return radios_; }
    // By handler key: the message id, then configuration and station leaves.
    const std::map<u32, HandlerCost> &handlers() const { return costs_; }
    // Each handler's spread of costs, by name: what the cost findings read.
    std::map<std::string, HandlerCost> handlerSpreads() const;
    // Handlers that returned non-zero at least once, by name, with how often.
    std::vector<std::pair<std::string, u64>> failingHandlers() const;
    const std::array<u64, 3> &logsBySeverity() const { return logs_; }
    u64 errorLogLines() const { return logs_[2]; }
    u64 ipcMessages() const { return ipcMessages_; }
    u64 failedOut() const { return failedOut_; }  // sends that returned non-zero, so never went out
    u64 failedIpc() const { return failedIpc_; }
    u64 nbBlocks() const { return nbBlocks_; }
    u64 intervalMs() const { return widthMs_; }
    const std::vector<Interval> &intervals() const { return intervals_; }
    const std::map<u64, Interval> &hours() const { return hours_; }  // by hour from 0

private:
    void count(const Event &ev, Interval *iv);
    void countBlocks(const Event &ev, Interval *iv);
    void countLine(std::string_view message, Interval *iv);
    RadioFigures *lineRow(u32 radio);
    // Every counted message looks its radio up: the configured ones directly.
    RadioFigures &row(u32 radio) { return radio < configured_.size() ? *configured_[radio] : radios_[radio]; }
    Interval *intervalOf(u64 t)
    {
        return perInterval_ ? &at(t) : hourly_ ? &hours_[t / kHourMs] : nullptr;
    }
    Interval &at(u64 t);
    void widen();

    u32 radioCount_;
    SizeSource sizes_;
    std::map<u32, RadioFigures> radios_;
    std::vector<RadioFigures *> configured_;  // radios_'s rows of radios 0 to radioCount_ - 1
    std::map<u32, HandlerCost> costs_;
    std::array<u64, 3> logs_{};
    u64 ipcMessages_ = 0;
    u64 failedOut_ = 0;
    u64 failedIpc_ = 0;
    u64 nbBlocks_ = 0;

    bool perInterval_ = false;
    u64 startMs_ = 0;
    u64 widthMs_;
    std::size_t widthStep_ = 0;
    std::vector<Interval> intervals_;
    std::size_t currentIndex_ = 0;  // the interval of the last event, [from, to)
    u64 currentFrom_ = 0;
    u64 currentTo_ = 0;
    std::optional<std::size_t> sampledInterval_;
    std::vector<u32> channels_;  // channels co-measurements were ever asked on
    StateProbe *probe_ = nullptr;
    bool hourly_ = false;
    std::map<u64, Interval> hours_;
};

}  // namespace zep::sim
