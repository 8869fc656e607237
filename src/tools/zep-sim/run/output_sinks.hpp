// The outputs a run shows whether it is played or replayed: the summary and
// the findings always, then the timeline, the trace, further listeners and
// the report when asked, in that order, since a sink sees each event after
// the sinks before it.
#pragma once

#include <memory>
#include <ostream>
#include <span>

#include "out/report_collector.hpp"
#include "out/run_figures.hpp"
#include "out/timeline.hpp"
#include "out/trace_writer.hpp"
#include "run/event_fanout.hpp"
#include "run/finding_sink.hpp"

namespace zep::sim {

struct OutputChoice {
    std::ostream *timeline = nullptr;  // null: no timeline
    bool verbose = false;              // every log line in the timeline
    std::ostream *trace = nullptr;     // JSON Lines; null for none
    std::span<EventSink *const> sinks;
    ReportCollector *report = nullptr;  // asks probe for the run's state
    FindingLimits findingLimits;
};

struct OutputSinks {
    std::unique_ptr<FindingSink> findings;  // always there: findings are always drawn
    std::unique_ptr<Timeline> timeline;
    std::unique_ptr<TraceWriter> trace;
};

OutputSinks attachOutputs(EventFanout &fanout, RunFigures &figures, const OutputChoice &choice,
                          StateProbe &probe, const host::Faults &faults);

}  // namespace zep::sim
