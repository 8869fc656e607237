// The JSON Lines trace: one object per event, in the order the events happened.
#pragma once

#include <ostream>
#include <string>

#include "base/events.hpp"
#include "base/json_line.hpp"

namespace zep::sim {

// The format of the trace's lines; it changes when a reader of an older trace
// would read a new one wrongly (a key renamed, a value spelt differently).
inline constexpr int kTraceFormat = 3;

class TraceWriter : public EventSink {
public:
    explicit TraceWriter(std::ostream &out);
    ~TraceWriter() override;
    TraceWriter(const TraceWriter &) = delete;
    TraceWriter &operator=(const TraceWriter &) = delete;

    // A trace object for every kind but those a long run holds by the million
    // (deliveries and sends): these are written from the event itself.
    Needs needs() const override;
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
