// What the HTML report shows beyond the run's figures (which the run's
// RunFigures keeps per interval for it): the events a person looks for, as
// marks on the time axis. Each event costs a few comparisons; nothing is kept
// per event but the marks, and those are capped.
#pragma once

#include <string>
#include <vector>

#include "base/events.hpp"
#include "out/run_figures.hpp"
#include "scenario/expect.hpp"
#include "zep_host.hpp"

namespace zep::sim {

struct Mark {
    enum class Kind { FailedSend, ErrorLog, ExpectHeld, ExpectFailed, FaultFired };
    Kind kind;
    u64 t;
    std::string text;
};

class ReportCollector : public EventSink {
public:
    static constexpr std::size_t kMaxMarks = 2000;

    explicit ReportCollector(u64 startMs) : startMs_(startMs), lastMs_(startMs) {}

    // The run's figures, from now on kept per interval, with its state and
    // injected faults looked at once per interval.
    void attach(RunFigures &figures, StateProbe &probe, const host::Faults &faults);
    // An expect step's verdict.
    Needs needs() const override { return Needs().add(Need::Object, {EventKind::Expect}); }
    void onEvent(const Event &ev) override;

    const RunFigures &figures() const { return *figures_; }
    u64 startMs() const { return startMs_; }
    u64 lastMs() const { return lastMs_; }
    u64 events() const { return events_; }
    const std::vector<Mark> &marks() const { return marks_; }
    u64 marksLeftOut() const { return marksLeftOut_; }

private:
    void markOf(const Event &ev);
    void mark(Mark::Kind kind, u64 t, std::string text);

    u64 startMs_;
    RunFigures *figures_ = nullptr;
    const host::Faults *faults_ = nullptr;
    u64 injectedSeen_ = 0;
    u64 lastMs_ = 0;
    u64 events_ = 0;
    std::vector<Mark> marks_;
    u64 marksLeftOut_ = 0;
};

}  // namespace zep::sim
