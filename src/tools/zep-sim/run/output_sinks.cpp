#include "run/output_sinks.hpp"

namespace zep::sim {

OutputSinks attachOutputs(Recorder &recorder, Summary &summary, const OutputChoice &choice,
                          StateProbe &probe, const host::Faults &faults)
{
    OutputSinks out;
    recorder.addSink(summary);
    if (choice.timeline != nullptr) {
        out.timeline = std::make_unique<Timeline>(*choice.timeline, choice.verbose);
        recorder.addSink(*out.timeline);
    }
    if (choice.trace != nullptr) {
        out.trace = std::make_unique<TraceWriter>(*choice.trace);
        recorder.addSink(*out.trace);
    }
    for (EventSink *sink : choice.sinks) {
        recorder.addSink(*sink);
    }
    if (choice.report != nullptr) {
        choice.report->attach(probe, faults);
        recorder.addSink(*choice.report);
    }
    return out;
}

}  // namespace zep::sim
