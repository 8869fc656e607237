// What the HTML report shows, gathered while the run goes on: counters per
// interval of virtual time (the interval widens as the run grows, so a day
// costs no more memory than a minute), handler cost histograms, and the events
// a person looks for. Each event costs a few additions; nothing is kept per event.
#pragma once

#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/events.hpp"
#include "findings/facts.hpp"
#include "out/radio_figures.hpp"
#include "scenario/expect.hpp"
#include "zep_host.hpp"

namespace zep::sim {


struct Interval {
    std::map<u32, RadioFigures> radios;
    std::map<std::pair<u32, u32>, u32> listed;  // co-measurement records by (radio, channel)
    u64 nbBlocks = 0;
    u64 nbBytes = 0;

    void add(const Interval &other);
};

struct Mark {
    enum class Kind { FailedSend, ErrorLog, ExpectHeld, ExpectFailed, FaultFired };
    Kind kind;
    u64 t;
    std::string text;
};

class ReportCollector : public EventSink {
public:
    static constexpr std::size_t kMaxIntervals = 360;
    static constexpr std::size_t kMaxMarks = 2000;

    ReportCollector(u64 startMs, u32 radios);

    // The run's state and injected faults, looked at once per interval.
    void attach(StateProbe &probe, const host::Faults &faults);
    // The blocks of an IPC to the neighbours; an expect step's verdict.
    Needs needs() const override
    {
        return Needs().add(Need::Fields, {EventKind::Ipc}).add(Need::Object, {EventKind::Expect});
    }
    void onEvent(const Event &ev) override;

    u64 intervalMs() const { return widthMs_; }
    u64 startMs() const { return startMs_; }
    u64 lastMs() const { return lastMs_; }
    u64 events() const { return events_; }
    const std::vector<Interval> &intervals() const { return intervals_; }
    // By handler key: the message id, then configuration and station leaves.
    const std::map<u32, HandlerCost> &handlers() const { return handlers_; }
    const std::vector<Mark> &marks() const { return marks_; }
    u64 marksLeftOut() const { return marksLeftOut_; }
    const std::array<u64, 3> &logsBySeverity() const { return logs_; }
    u64 ipcMessages() const { return ipc_; }
    u64 failedSends() const { return failedSends_; }

private:
    Interval &at(u64 t);
    void widen();
    void sample(Interval &iv);
    void count(const Event &ev, Interval &iv);
    void costOf(const Event &ev);
    void markOf(const Event &ev);
    void mark(Mark::Kind kind, u64 t, std::string text);

    u64 startMs_;
    u32 radios_;
    u64 widthMs_;
    std::size_t widthStep_ = 0;
    std::vector<Interval> intervals_;
    std::size_t currentIndex_ = 0;  // the interval of the last event, [from, to)
    u64 currentFrom_ = 0;
    u64 currentTo_ = 0;
    std::optional<std::size_t> sampledInterval_;
    std::vector<u32> channels_;  // channels co-measurements were ever asked on
    StateProbe *probe_ = nullptr;
    const host::Faults *faults_ = nullptr;
    u64 injectedSeen_ = 0;
    u64 lastMs_ = 0;
    u64 events_ = 0;
    std::map<u32, HandlerCost> handlers_;
    std::vector<Mark> marks_;
    u64 marksLeftOut_ = 0;
    std::array<u64, 3> logs_{};
    u64 ipc_ = 0;
    u64 failedSends_ = 0;
};

}  // namespace zep::sim
