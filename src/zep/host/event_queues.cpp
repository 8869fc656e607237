// Heaps of timer expiries and scheduled actions.
#include "event_queues.hpp"

#include <algorithm>
#include <utility>

namespace zep::host::detail {

namespace {

// std::push_heap keeps the greatest in front: "later" orders the earliest first.
template <class Entry>
bool later(const Entry &a, const Entry &b)
{
    if (a.dueMs != b.dueMs) {
        return a.dueMs > b.dueMs;
    }
    return a.id > b.id;
}

}  // namespace

u32 TimerQueue::start(const ZEP_TimerInfo &info, u64 dueMs)
{
    u32 id = nextId_;
    while (id == 0 || timers_.contains(id)) {  // 0 means "no timer" to callers
        ++id;
    }
    nextId_ = id + 1;
    const Timer &timer = timers_[id] = Timer{info, dueMs, nextArming_++};
    push(id, timer);
    return id;
}

bool TimerQueue::stop(u32 id)
{
    if (timers_.erase(id) == 0) {
        return false;
    }
    // Stale entries are dropped at the front; bound them when timers are
    // started and stopped without ever expiring.
    if (heap_.size() > 2 * timers_.size() + 64) {
        std::erase_if(heap_, [this](const Entry &e) { return !isCurrent(e); });
        std::make_heap(heap_.begin(), heap_.end(), later<Entry>);
    }
    return true;
}

std::optional<TimerQueue::Due> TimerQueue::front()
{
    while (!heap_.empty() && !isCurrent(heap_.front())) {
        std::pop_heap(heap_.begin(), heap_.end(), later<Entry>);
        heap_.pop_back();
    }
    if (heap_.empty()) {
        return std::nullopt;
    }
    return Due{heap_.front().dueMs, heap_.front().id};
}

ZEP_TimerInfo TimerQueue::fire()
{
    std::pop_heap(heap_.begin(), heap_.end(), later<Entry>);
    const u32 id = heap_.back().id;
    heap_.pop_back();
    const auto it = timers_.find(id);
    const ZEP_TimerInfo info = it->second.info;
    if (info.isRepeat != 0) {
        it->second.dueMs += info.periodMs;
        push(id, it->second);
    } else {
        timers_.erase(it);
    }
    return info;
}

void TimerQueue::push(u32 id, const Timer &timer)
{
    heap_.push_back(Entry{timer.dueMs, id, timer.arming});
    std::push_heap(heap_.begin(), heap_.end(), later<Entry>);
}

bool TimerQueue::isCurrent(const Entry &entry) const
{
    const auto it = timers_.find(entry.id);
    return it != timers_.end() && it->second.arming == entry.arming && it->second.dueMs == entry.dueMs;
}

namespace {

template <class Entry>
bool runsLater(const Entry &a, const Entry &b)
{
    return a.atMs != b.atMs ? a.atMs > b.atMs : a.order > b.order;
}

}  // namespace

void ActionQueue::push(u64 atMs, std::function<void()> action)
{
    std::size_t slot = slots_.size();
    if (freeSlots_.empty()) {
        slots_.push_back(std::move(action));
    } else {
        slot = freeSlots_.back();
        freeSlots_.pop_back();
        slots_[slot] = std::move(action);
    }
    heap_.push_back(Entry{atMs, nextOrder_++, slot});
    std::push_heap(heap_.begin(), heap_.end(), runsLater<Entry>);
}

std::optional<u64> ActionQueue::frontTime() const
{
    if (heap_.empty()) {
        return std::nullopt;
    }
    return heap_.front().atMs;
}

std::function<void()> ActionQueue::pop()
{
    std::pop_heap(heap_.begin(), heap_.end(), runsLater<Entry>);
    const std::size_t slot = heap_.back().slot;
    heap_.pop_back();
    std::function<void()> run = std::move(slots_[slot]);
    freeSlots_.push_back(slot);
    return run;
}

}  // namespace zep::host::detail
