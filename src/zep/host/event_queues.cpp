// Heaps of timer expiries and scheduled actions.
#include "event_queues.hpp"

#include <algorithm>
#include <utility>

namespace zep::host::detail {

namespace {

// std::push_heap keeps the greatest in front: "later" orders the earliest
// first. Function objects rather than functions, so that the heap operations
// inline the comparison.
constexpr auto later = [](const auto &a, const auto &b) {
    return a.dueMs != b.dueMs ? a.dueMs > b.dueMs : a.id > b.id;
};

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
    boundStale();
    return true;
}

void TimerQueue::boundStale()
{
    if (heap_.size() > 2 * timers_.size() + 64) {
        std::erase_if(heap_, [this](const Entry &e) { return !isCurrent(e); });
        std::make_heap(heap_.begin(), heap_.end(), later);
    }
}

std::optional<TimerQueue::Due> TimerQueue::front()
{
    while (!heap_.empty() && !isCurrent(heap_.front())) {
        std::pop_heap(heap_.begin(), heap_.end(), later);
        heap_.pop_back();
    }
    if (heap_.empty()) {
        return std::nullopt;
    }
    return Due{heap_.front().dueMs, heap_.front().id};
}

ZEP_TimerInfo TimerQueue::fire()
{
    std::pop_heap(heap_.begin(), heap_.end(), later);
    const u32 id = heap_.back().id;
    heap_.pop_back();
    return rearmOrDrop(timers_.find(id));
}

std::optional<ZEP_TimerInfo> TimerQueue::expire(u32 msgId)
{
    auto due = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.info.msgId == msgId && (due == timers_.end() || it->second.dueMs < due->second.dueMs)) {
            due = it;
        }
    }
    if (due == timers_.end()) {
        return std::nullopt;
    }
    const ZEP_TimerInfo info = rearmOrDrop(due);
    boundStale();  // its entry in the heap is stale now
    return info;
}

ZEP_TimerInfo TimerQueue::rearmOrDrop(std::map<u32, Timer>::iterator it)
{
    const ZEP_TimerInfo info = it->second.info;
    if (info.isRepeat != 0) {
        it->second.dueMs += info.periodMs;
        push(it->first, it->second);
    } else {
        timers_.erase(it);
    }
    return info;
}

void TimerQueue::push(u32 id, const Timer &timer)
{
    heap_.push_back(Entry{timer.dueMs, id, timer.arming});
    std::push_heap(heap_.begin(), heap_.end(), later);
}

bool TimerQueue::isCurrent(const Entry &entry) const
{
    const auto it = timers_.find(entry.id);
    return it != timers_.end() && it->second.arming == entry.arming && it->second.dueMs == entry.dueMs;
}

namespace {

constexpr auto runsLater = [](const auto &a, const auto &b) {
    return a.atMs != b.atMs ? a.atMs > b.atMs : a.order > b.order;
};

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
    const Entry entry{atMs, nextOrder_++, slot};
    const bool inOrder =
        ringSize_ == 0 || ring_[(ringHead_ + ringSize_ - 1) % ring_.size()].atMs <= atMs;
    if (inOrder) {
        pushRing(entry);
    } else {
        heap_.push_back(entry);
        std::push_heap(heap_.begin(), heap_.end(), runsLater);
    }
}

void ActionQueue::pushRing(const Entry &entry)
{
    if (ringSize_ == ring_.size()) {
        // Unrolled into a ring twice the size, oldest first.
        std::vector<Entry> grown(std::max<std::size_t>(64, 2 * ring_.size()));
        for (std::size_t i = 0; i < ringSize_; ++i) {
            grown[i] = ring_[(ringHead_ + i) % ring_.size()];
        }
        ring_ = std::move(grown);
        ringHead_ = 0;
    }
    ring_[(ringHead_ + ringSize_) % ring_.size()] = entry;
    ++ringSize_;
}

const ActionQueue::Entry *ActionQueue::front() const
{
    const Entry *ring = ringSize_ != 0 ? &ring_[ringHead_] : nullptr;
    const Entry *heap = heap_.empty() ? nullptr : &heap_.front();
    if (ring == nullptr || heap == nullptr) {
        return ring != nullptr ? ring : heap;
    }
    return runsLater(*ring, *heap) ? heap : ring;
}

std::optional<u64> ActionQueue::frontTime() const
{
    const Entry *next = front();
    return next != nullptr ? std::optional<u64>(next->atMs) : std::nullopt;
}

std::function<void()> ActionQueue::pop()
{
    const Entry *next = front();
    const std::size_t slot = next->slot;
    if (ringSize_ != 0 && next == &ring_[ringHead_]) {
        ringHead_ = (ringHead_ + 1) % ring_.size();
        --ringSize_;
    } else {
        std::pop_heap(heap_.begin(), heap_.end(), runsLater);
        heap_.pop_back();
    }
    std::function<void()> run = std::move(slots_[slot]);
    freeSlots_.push_back(slot);
    return run;
}

}  // namespace zep::host::detail
