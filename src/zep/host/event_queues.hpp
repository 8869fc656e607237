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
    // Takes the expiry of the running timer of msgId due first, whenever it
    // is due, as fire() takes the front one; nullopt when none runs.
    std::optional<ZEP_TimerInfo> expire(u32 msgId);

private:
    struct Entry {
        u64 dueMs = 0;
        u32 id = 0;
        u64 arming = 0;
    };
    void push(u32 id, const Timer &timer);
    ZEP_TimerInfo rearmOrDrop(std::map<u32, Timer>::iterator it);
    // Stale entries are dropped at the front; this bounds them when timers
    // are stopped or expired out of turn, before their entries reach it.
    void boundStale();
    bool isCurrent(const Entry &entry) const;

    std::map<u32, Timer> timers_;
    std::vector<Entry> heap_;
    u32 nextId_ = 1;
    u64 nextArming_ = 0;
};

// Actions in (time, order of scheduling). Most actions are scheduled no
// earlier than the last one (answers a fixed delay after their request): those
// queue in a ring in arrival order, in O(1); the others go to a heap. The next
// action is the earlier of the two fronts. The actions themselves stay put in
// slots that are reused once run; an action whose captures are trivially
// copyable and at most 16 bytes is then held without allocation.
class ActionQueue {
public:
    void push(u64 atMs, std::function<void()> action);
    std::optional<u64> frontTime() const;
    std::function<void()> pop();
    std::size_t size() const { return heap_.size() + ringSize_; }

private:
    struct Entry {
        u64 atMs = 0;
        u64 order = 0;
        std::size_t slot = 0;
    };
    const Entry *front() const;  // null when empty
    void pushRing(const Entry &entry);

    std::vector<Entry> heap_;
    std::vector<Entry> ring_;  // ringSize_ entries from ringHead_, wrapping
    std::size_t ringHead_ = 0;
    std::size_t ringSize_ = 0;
    std::vector<std::function<void()>> slots_;
    std::vector<std::size_t> freeSlots_;
    u64 nextOrder_ = 0;
};

}  // namespace zep::host::detail
