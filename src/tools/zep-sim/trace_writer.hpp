// The JSON Lines trace: one object per event, in the order the events happened.
#pragma once

#include <ostream>

#include "events.hpp"

namespace zep::sim {

class TraceWriter : public EventSink {
public:
    explicit TraceWriter(std::ostream &out) : out_(out) {}
    void onEvent(const Event &ev) override;
    void endStep() override { out_.flush(); }

private:
    std::ostream &out_;
};

}  // namespace zep::sim
