#include "out/story.hpp"

#include <algorithm>
#include <utility>

#include "sta_meas_msg.h"

namespace zep::sim {

namespace {

bool countLimited(const HostShare &share)
{
    return !share.automatic && share.sched.isLoop == 0;
}

}  // namespace

StoryBuilder::Node &StoryBuilder::node(u32 measId)
{
    return nodes_[measId];
}

// Any other fact about the node ends its run of requests: the next request
// starts a new one, so that a run never spans a change.
StoryEntry &StoryBuilder::add(StoryKind kind, u32 measId)
{
    Node &n = node(measId);
    if (kind != StoryKind::Requests) {
        n.run.reset();
        n.runStepMs.reset();
    }
    if (kind != StoryKind::MovedHere) {
        movingToTpc_ = false;
    }
    StoryEntry &e = story_.entries.emplace_back();
    e.kind = kind;
    e.measId = measId;
    e.at = now_;
    e.until = now_;
    return e;
}

void StoryBuilder::nodeAdded(u32 measId)
{
    Node &n = node(measId);
    n.present = true;
    n.shares = {};
}

// The move of a silent station's automatic hosts shows as shares of its TPC
// node right after the link measurement was given up.
void StoryBuilder::shareSet(u32 measId, const HostShare &share)
{
    if (share.host >= 3) {
        return;
    }
    const bool moved = movingToTpc_ && measId == STAMEAS_MSG_TPC_REQ && share.automatic;
    Node &n = node(measId);
    const bool again = n.shares[share.host].has_value();
    const auto lm = nodes_.find(STAMEAS_MSG_LM_REQ);
    const std::optional<std::size_t> giveUp = lm != nodes_.end() ? lm->second.lastGiveUp : std::nullopt;
    StoryEntry &e = add(moved ? StoryKind::MovedHere : StoryKind::Added, measId);
    e.host = share.host;
    e.sched = share.sched;
    e.automatic = share.automatic;
    e.again = again && !moved;
    if (moved && giveUp) {
        story_.entries[*giveUp].movedToTpc = true;
        movingToTpc_ = true;  // further hosts may follow
    }
    n.present = true;
    n.shares[share.host] = share;
    n.countLeft[share.host] = countLimited(share) && share.sched.periodInSec == 1 ? share.sched.count : 0;
}

void StoryBuilder::useUpCounts(u32 measId, Node &n)
{
    for (std::optional<HostShare> &share : n.shares) {
        if (share && n.countLeft[share->host] != 0 && --n.countLeft[share->host] == 0) {
            const u32 host = share->host;
            share.reset();
            add(StoryKind::CountRanOut, measId).host = host;
        }
    }
}

// The host a source named for this request; else the node's only host, or
// its heaviest when due every second (then it takes every request).
std::size_t StoryBuilder::hostOfRequest(const Node &n)
{
    if (const std::optional<int> told = std::exchange(nextHost_, std::nullopt)) {
        return *told >= 0 && *told < 3 ? static_cast<std::size_t>(*told) : kUnknownHostSlot;
    }
    std::optional<HostShare> heaviest;
    std::size_t known = 0;
    for (const std::optional<HostShare> &share : n.shares) {
        if (share) {
            ++known;
            heaviest = !heaviest || kHostWeights[share->host] > kHostWeights[heaviest->host] ? share : heaviest;
        }
    }
    if (known == 1 || (heaviest && heaviest->sched.periodInSec == 1)) {
        return heaviest->host;
    }
    return kUnknownHostSlot;
}

// A gap: a request later than half as much again as the run's first step.
bool StoryBuilder::breaksRun(const Node &n, const StoryEntry &run) const
{
    if (!now_.ms || !run.until.ms || !n.runStepMs) {
        return false;
    }
    const u64 step = *now_.ms - *run.until.ms;
    return step > *n.runStepMs + *n.runStepMs / 2;
}

void StoryBuilder::requestSent(u32 measId, bool sent)
{
    movingToTpc_ = false;
    Node &n = node(measId);
    n.present = true;
    const std::size_t slot = hostOfRequest(n);
    if (n.run && breaksRun(n, story_.entries[*n.run])) {
        n.run.reset();
        n.runStepMs.reset();
    }
    if (!n.run) {
        add(StoryKind::Requests, measId);
        n.run = story_.entries.size() - 1;
    }
    StoryEntry &run = story_.entries[*n.run];
    u64 before = run.failed;
    for (const u64 count : run.byHost) {
        before += count;
    }
    if (before == 1 && now_.ms && run.at.ms) {
        n.runStepMs = *now_.ms - *run.at.ms;
    }
    run.until = now_;
    ++(sent ? run.byHost[slot] : run.failed);
    useUpCounts(measId, n);
}

// A report counts in the run of requests it answers: the open one, else the last.
void StoryBuilder::reportCounted(u32 measId)
{
    for (auto it = story_.entries.rbegin(); it != story_.entries.rend(); ++it) {
        if (it->measId == measId && it->kind == StoryKind::Requests) {
            ++it->answered;
            return;
        }
    }
}

void StoryBuilder::gaveUp(u32 measId)
{
    add(StoryKind::GaveUp, measId);
    Node &n = node(measId);
    n.lastGiveUp = story_.entries.size() - 1;
    for (std::optional<HostShare> &share : n.shares) {
        if (share && share->automatic) {
            share.reset();
        }
    }
    movingToTpc_ = measId == STAMEAS_MSG_LM_REQ;
}

void StoryBuilder::hostStopped(u32 measId, u32 host)
{
    if (host >= 3) {
        return;
    }
    for (auto &[id, n] : nodes_) {
        if ((measId == kAnyMeasId || measId == id) && n.shares[host]) {
            StoryEntry &e = add(StoryKind::Stopped, id);
            e.host = host;
            n.shares[host].reset();
            n.lastStop = story_.entries.size() - 1;
        }
    }
}

void StoryBuilder::left()
{
    std::vector<u32> ids;
    for (const auto &[id, n] : nodes_) {
        ids.push_back(id);
    }
    for (const u32 id : ids) {
        add(StoryKind::Left, id);
    }
}

void StoryBuilder::nodeRemoved(u32 measId, Why why, std::optional<u32> byHost)
{
    Node &n = node(measId);
    std::optional<HostShare> last;
    std::size_t shares = 0;
    for (const std::optional<HostShare> &share : n.shares) {
        shares += share ? 1 : 0;
        last = share ? share : last;
    }
    n.present = false;
    n.shares = {};
    n.run.reset();
    n.runStepMs.reset();
    switch (why) {
    case Why::Eviction:
        add(StoryKind::Evicted, measId).host = byHost;
        return;
    case Why::Leave:
        return;  // left() told it
    case Why::Stop:
        if (n.lastStop && story_.entries[*n.lastStop].measId == measId) {
            story_.entries[*n.lastStop].nodeGone = true;
            return;
        }
        break;
    case Why::GiveUp:
        if (n.lastGiveUp) {
            return;
        }
        break;
    case Why::Done: {
        const bool told = !story_.entries.empty() && story_.entries.back().measId == measId &&
                          story_.entries.back().kind == StoryKind::CountRanOut;
        if (told) {
            story_.entries.back().nodeGone = true;  // its last host's, at the request before
            return;
        }
        StoryEntry &e = add(StoryKind::CountRanOut, measId);
        e.host = shares == 1 ? std::optional<u32>(last->host) : std::nullopt;
        e.nodeGone = true;
        return;
    }
    case Why::Other:
        break;
    }
    add(StoryKind::Removed, measId);
}

void StoryBuilder::sharesNow(u32 measId, const std::vector<HostShare> &shares)
{
    const auto it = nodes_.find(measId);
    if (it == nodes_.end() || !it->second.present) {
        return;
    }
    for (std::optional<HostShare> &share : it->second.shares) {
        const bool gone = share && countLimited(*share) &&
                          std::none_of(shares.begin(), shares.end(),
                                       [&](const HostShare &s) { return s.host == share->host; });
        if (gone) {
            const u32 host = share->host;
            share.reset();
            add(StoryKind::CountRanOut, measId).host = host;
        }
    }
}

Story StoryBuilder::finish() const
{
    Story story = story_;
    for (const auto &[id, n] : nodes_) {
        StoryEnd &end = story.ends[id];
        end.present = n.present;
        for (const std::optional<HostShare> &share : n.shares) {
            if (share) {
                end.shares.push_back(*share);
            }
        }
    }
    return story;
}

}  // namespace zep::sim
