// The two queues behind virtual time: timer expiries and scheduled actions.
// Both are binary heaps in vectors, so that a day of events costs O(log n)
// each and, once the vectors have grown, no allocation.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "zep_framework.h"

namespace zep::host::detail {

struct Timer {
    ZEP_TimerInfo info{};
    u64 dueMs = 0;
    u64 arming = 0;  // tells this arming's queue entry from those of earlier ones
};

// Running timers by id, and their expiries in time order. A stopped or
// re-armed timer leaves its old entry behind; such an entry is recognised and
// dropped when it reaches the front.
class TimerQueue {
public:
    // Arms a timer under a fresh id (never 0, never one in use).
    u32 start(const ZEP_TimerInfo &info, u64 dueMs);
    bool stop(u32 id);
    std::size_t size() const { return timers_.size(); }

    struct Due {
        u64 dueMs = 0;
        u32 id = 0;
    };
    // The earliest expiry; a lower id first at equal times.
    std::optional<Due> front();
    // Takes the front expiry: a repeating timer is re-armed one period on,
    // any other dropped. Gives its record as it was.
    ZEP_TimerInfo fire();

private:
    struct Entry {
        u64 dueMs = 0;
        u32 id = 0;
        u64 arming = 0;
    };
    void push(u32 id, const Timer &timer);
    bool isCurrent(const Entry &entry) const;

    std::map<u32, Timer> timers_;
    std::vector<Entry> heap_;
    u32 nextId_ = 1;
    u64 nextArming_ = 0;
};

// Actions in (time, order of scheduling). The heap orders small entries; the
// actions themselves stay put in slots that are reused once run. An action
// whose captures are trivially copyable and at most two pointers wide is then
// held without allocation.
class ActionQueue {
public:
    void push(u64 atMs, std::function<void()> action);
    std::optional<u64> frontTime() const;
    std::function<void()> pop();

private:
    struct Entry {
        u64 atMs = 0;
        u64 order = 0;
        std::size_t slot = 0;
    };
    std::vector<Entry> heap_;
    std::vector<std::function<void()>> slots_;
    std::vector<std::size_t> freeSlots_;
    u64 nextOrder_ = 0;
};

}  // namespace zep::host::detail
