// The JSON Lines trace: one object per event, in the order the events happened.
#pragma once

#include <ostream>
#include <string>

#include "base/events.hpp"
#include "base/json_line.hpp"

namespace zep::sim {

// Kinds of event that a long run holds by the million: the trace writes them
// from the event itself, and the recorder builds no trace object for them
// unless an expectation matches patterns against it.
bool writtenFromEvent(EventKind kind);

class TraceWriter : public EventSink {
public:
    explicit TraceWriter(std::ostream &out);
    ~TraceWriter() override;
    TraceWriter(const TraceWriter &) = delete;
    TraceWriter &operator=(const TraceWriter &) = delete;

    void onEvent(const Event &ev) override;
    // Lines are handed on before a step begins, so that what another sink
    // writes to the same stream there lands after them.
    void beginStep(std::size_t index, int line, const std::string &op) override;
    void endStep() override;

private:
    void writeFromEvent(const Event &ev);
    void writeOut();

    std::ostream &out_;
    std::string pending_;  // lines not yet handed to the stream
};

}  // namespace zep::sim
