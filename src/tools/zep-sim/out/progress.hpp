// Progress of a long run, for a person at a terminal: one line on stderr,
// rewritten in place, with the virtual time reached, the events handled per
// second and an estimate of the time left. Silent for the first seconds, so
// short runs print nothing.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "zep_types.h"

namespace zep::sim {

class Progress {
public:
    using Clock = std::chrono::steady_clock;

    Progress(std::ostream &out, u64 startMs, u64 durationMs);

    // Cheap enough to call for every event: looks at the clock once in a while.
    void tick(u64 nowMs, u64 events)
    {
        if (++sinceLook_ >= kLookEvery) {
            sinceLook_ = 0;
            look(nowMs, events);
        }
    }
    // Removes the line, before other output or at the end.
    void clear();


private:
    static constexpr u32 kLookEvery = 4096;
    void look(u64 nowMs, u64 events);

    std::ostream &out_;
    u64 startMs_;
    u64 durationMs_;
    Clock::time_point begin_ = Clock::now();
    Clock::time_point lastDrawn_{};
    u64 lastEvents_ = 0;
    u32 sinceLook_ = 0;
    bool shown_ = false;
};

}  // namespace zep::sim
