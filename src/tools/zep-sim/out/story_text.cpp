// The sentences of a station's story: one per entry, each behind its time,
// and one at the end saying whether the station was measured and why.
#include <algorithm>

#include "base/time_text.hpp"
#include "out/story.hpp"
#include "sta_meas_msg.h"
#include "wire/codec.hpp"

namespace zep::sim {

namespace {

constexpr std::size_t kIndent = 2;  // before the times, which line up on the right

std::string timeText(const StoryTime &t)
{
    if (!t.told.empty()) {
        return t.told;
    }
    return t.ms ? formatSeconds(*t.ms) + " s" : "line " + std::to_string(t.line);
}

std::string timeColumn(const StoryTime &t)
{
    if (!t.told.empty()) {
        return t.told;
    }
    return t.ms ? formatTime(*t.ms) : "line " + std::to_string(t.line);
}

std::string hostText(const std::optional<u32> &host)
{
    return host ? "host " + std::to_string(*host) : "a host";
}

std::string shareText(const HostShare &share)
{
    return "host " + std::to_string(share.host) + " (" + (share.automatic ? "automatic, " : "") +
           scheduleText(share.sched) + ")";
}

// "for host 1", or "(3 for host 2 and 4 for host 1)" in the order of the hosts' weights.
std::string servedText(const StoryEntry &run)
{
    std::vector<std::pair<u64, std::string>> parts;
    for (const std::size_t slot : {std::size_t{0}, std::size_t{2}, std::size_t{1}, kUnknownHostSlot}) {
        if (run.byHost[slot] != 0) {
            parts.emplace_back(run.byHost[slot], slot == kUnknownHostSlot ? "a host the source does not tell"
                                                                          : "host " + std::to_string(slot));
        }
    }
    if (parts.size() == 1) {
        return "for " + parts.front().second;
    }
    std::string text = "(";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + std::to_string(parts[i].first) +
                " for " + parts[i].second;
    }
    return text + ")";
}

std::string requestsText(const StoryEntry &run)
{
    u64 sent = 0;
    for (const u64 count : run.byHost) {
        sent += count;
    }
    const std::string failed = run.failed == 0 ? "" : ", " + std::to_string(run.failed) + " failed to send";
    if (sent == 0) {
        return std::to_string(run.failed) + (run.failed == 1 ? " request" : " requests") + " failed to send.";
    }
    if (sent + run.failed == 1) {
        return "1 request went out " + servedText(run) + (run.answered != 0 ? ", answered." : ", unanswered.");
    }
    return "From " + timeText(run.at) + " to " + timeText(run.until) + ", " + std::to_string(sent) +
           (sent == 1 ? " request went out " : " requests went out ") + servedText(run) + ", " +
           std::to_string(run.answered) + " answered" + failed + ".";
}

std::string goneText(bool nodeGone)
{
    return nodeGone ? "; no host was left, so its node was removed." : ".";
}

std::string sentence(const StoryEntry &e)
{
    switch (e.kind) {
    case StoryKind::Added:
        return "Host " + std::to_string(e.host.value_or(0)) +
               (e.again ? " asked for it again" : " added it") +
               (e.automatic ? " for automatic measurement: " : ": ") + scheduleText(e.sched) + ".";
    case StoryKind::MovedHere:
        return "Host " + std::to_string(e.host.value_or(0)) +
               "'s automatic measurement moved here from the link measurement: " + scheduleText(e.sched) + ".";
    case StoryKind::Requests: return requestsText(e);
    case StoryKind::CountRanOut:
        return e.host ? "Host " + std::to_string(*e.host) + "'s count ran out" + goneText(e.nodeGone)
                      : "Its hosts' counts ran out, so its node was removed.";
    case StoryKind::Stopped: return "Host " + std::to_string(e.host.value_or(0)) + " stopped it" + goneText(e.nodeGone);
    case StoryKind::Evicted: return "Its node was evicted to make room for " + hostText(e.host) + "'s start.";
    case StoryKind::GaveUp:
        return std::string("Automatic measurement was given up: none of its requests had been answered") +
               (e.movedToTpc ? "; it moved to TPC." : ".");
    case StoryKind::Left: return "The station left.";
    case StoryKind::Removed: return "Its node was removed, for a reason the source does not tell.";
    }
    return {};
}

// Why the node was not there at the end: the last entry that took it away.
std::string whyNotText(const std::vector<const StoryEntry *> &entries)
{
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const StoryEntry &e = **it;
        const std::string at = " at " + timeText(e.at);
        switch (e.kind) {
        case StoryKind::Evicted: return "its node was evicted" + at + " by " + hostText(e.host) + "'s start";
        case StoryKind::Left: return "the station left" + at;
        case StoryKind::GaveUp:
            return "automatic measurement was given up" + at + (e.movedToTpc ? " (moved to TPC)" : "");
        case StoryKind::Removed: return "its node was removed" + at;
        case StoryKind::Stopped:
            if (e.nodeGone) {
                return hostText(e.host) + " stopped it" + at;
            }
            break;
        case StoryKind::CountRanOut:
            if (e.nodeGone) {
                return (e.host ? hostText(e.host) + "'s count" : std::string("its hosts' counts")) + " ran out" + at;
            }
            break;
        default: break;
        }
    }
    return "no host was left asking for it";
}

std::string endText(const StoryEnd &end, const std::vector<const StoryEntry *> &entries)
{
    if (!end.present) {
        return "At the end it was not measured: " + whyNotText(entries) + " and no host asked again.";
    }
    if (end.shares.empty()) {
        return "At the end its node was still in the table, for hosts the source does not name.";
    }
    std::string text = "At the end it was measured for ";
    for (std::size_t i = 0; i < end.shares.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == end.shares.size() ? " and " : ", ") + shareText(end.shares[i]);
    }
    return text + ".";
}

void printSection(std::ostream &out, const Story &story, u32 measId, const StoryEnd &end)
{
    out << '\n' << (measId == STAMEAS_MSG_LM_REQ ? "Link measurement (request 167)" : "TPC (request 169)") << '\n';
    std::vector<const StoryEntry *> entries;
    std::size_t width = 0;
    for (const StoryEntry &e : story.entries) {
        if (e.measId == measId) {
            entries.push_back(&e);
            width = std::max(width, timeColumn(e.at).size());
        }
    }
    for (const StoryEntry *e : entries) {
        const std::string time = timeColumn(e->at);
        out << std::string(kIndent + width - time.size(), ' ') << time << "  " << sentence(*e) << '\n';
    }
    out << "  " << endText(end, entries) << '\n';
}

}  // namespace

void printStory(std::ostream &out, const Story &story, u32 measId, const std::string &source)
{
    out << "Station " << macText(story.station) << " in " << source << '\n';
    for (const u32 id : {STAMEAS_MSG_LM_REQ, STAMEAS_MSG_TPC_REQ}) {
        const auto end = story.ends.find(id);
        if ((measId == 0 || measId == id) && end != story.ends.end()) {
            printSection(out, story, id, end->second);
        }
    }
}

}  // namespace zep::sim
