#include "run/output_sinks.hpp"

namespace zep::sim {

OutputSinks attachOutputs(EventFanout &fanout, RunFigures &figures, const OutputChoice &choice,
                          StateProbe &probe, const host::Faults &faults)
{
    OutputSinks out;
    fanout.addSink(figures);
    out.findings = std::make_unique<FindingSink>(fanout.ledger(), choice.findingLimits);
    fanout.addSink(*out.findings);
    if (choice.timeline != nullptr) {
        out.timeline = std::make_unique<Timeline>(*choice.timeline, choice.verbose);
        fanout.addSink(*out.timeline);
    }
    if (choice.trace != nullptr) {
        out.trace = std::make_unique<TraceWriter>(*choice.trace);
        fanout.addSink(*out.trace);
    }
    for (EventSink *sink : choice.sinks) {
        fanout.addSink(*sink);
    }
    if (choice.report != nullptr) {
        choice.report->attach(figures, probe, faults);
        fanout.addSink(*choice.report);
    }
    return out;
}

}  // namespace zep::sim
