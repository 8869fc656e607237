// One station's story, as `zep-sim explain` tells it: dated facts about its
// measurement nodes, in the order they happened, filled from a play, a replay
// or a field log through one builder, and one formatter that makes sentences
// of them. The builder keeps one open run of requests per measurement, so a
// story grows with what happened to the node, not with the requests sent.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/hex.hpp"
#include "base/node_shares.hpp"
#include "zep_types.h"

namespace zep::sim {

// When something happened: the virtual time of a play, or a log's own time
// as the log spells it (with ms for telling gaps), else the line of the log
// it was read from.
struct StoryTime {
    std::optional<u64> ms;
    u64 line = 0;
    std::string told;  // a log's date, as written; empty for a play's time
};

enum class StoryKind {
    Added,        // a host asked for the node: host, sched, automatic, again
    MovedHere,    // an automatic host's share came over from the link measurement
    Requests,     // a run of requests: at to until, byHost, answered, failed
    CountRanOut,  // a host's count was used up: host
    Stopped,      // a host stopped its share: host
    Evicted,      // the node made room for another host's start: host, when the log says it
    GaveUp,       // automatic measurement stopped after unanswered requests: movedToTpc
    Left,         // the station left
    Removed,      // the node went for a reason the source does not tell
};

inline constexpr std::size_t kUnknownHostSlot = 3;  // byHost's slot for requests no one host is known for

struct StoryEntry {
    StoryKind kind = StoryKind::Added;
    u32 measId = 0;  // 167 or 169
    StoryTime at;
    StoryTime until;                   // Requests: the last one
    std::optional<u32> host;           // see StoryKind
    StaMeasSched sched{};              // Added, MovedHere
    bool automatic = false;            // Added
    bool again = false;                // Added: the host had a share already
    bool nodeGone = false;             // Stopped, CountRanOut: the node went with it
    bool movedToTpc = false;           // GaveUp
    std::array<u64, 4> byHost{};       // Requests: sent for host 0, 1, 2, and for no known one
    u64 answered = 0;                  // Requests: reports counted while the run lasted
    u64 failed = 0;                    // Requests: sends that failed
};

// One measurement's node at the end of the source.
struct StoryEnd {
    bool present = false;
    std::vector<HostShare> shares;  // the hosts asking for it, in host order
};

struct Story {
    Mac station{};
    std::vector<StoryEntry> entries;  // in time order, both measurements
    std::map<u32, StoryEnd> ends;     // by measurement id, for those that have entries
};

// What each source tells, as it reads; each call is dated by the last setNow.
class StoryBuilder {
public:
    explicit StoryBuilder(const Mac &station) { story_.station = station; }

    void setNow(StoryTime now) { now_ = now; }
    // The host the next request of the station is sent for, where a source knows it.
    void nextRequestFor(int host) { nextHost_ = host; }

    void nodeAdded(u32 measId);
    void shareSet(u32 measId, const HostShare &share);
    void requestSent(u32 measId, bool sent);
    void reportCounted(u32 measId);
    void gaveUp(u32 measId);
    // measId kAnyMeasId: every node of the station.
    void hostStopped(u32 measId, u32 host);
    void left();
    // The node went: why, as far as the source tells. byHost: whose start evicted it.
    enum class Why { Stop, Leave, Eviction, Done, GiveUp, Other };
    void nodeRemoved(u32 measId, Why why, std::optional<u32> byHost = std::nullopt);
    // A host no longer among the node's, where a source can tell (a play's
    // ledger): a share with a count that is gone ran out.
    void sharesNow(u32 measId, const std::vector<HostShare> &shares);

    static constexpr u32 kAnyMeasId = 0xFFFFFFFFu;

    const Mac &station() const { return story_.station; }
    Story finish() const;

private:
    struct Node {
        bool present = false;
        std::array<std::optional<HostShare>, 3> shares;
        // Of a share due every second with a count: every visit of the node
        // sends a request and uses one, so the count left is known.
        std::array<u32, 3> countLeft{};
        std::optional<std::size_t> run;  // the open run of requests, in story_.entries
        std::optional<u64> runStepMs;    // the time between its first two requests
        std::optional<std::size_t> lastStop;
        std::optional<std::size_t> lastGiveUp;
    };
    Node &node(u32 measId);
    StoryEntry &add(StoryKind kind, u32 measId);
    std::size_t hostOfRequest(const Node &n);
    bool breaksRun(const Node &n, const StoryEntry &run) const;
    void useUpCounts(u32 measId, Node &n);

    Story story_;
    std::map<u32, Node> nodes_;
    StoryTime now_;
    std::optional<int> nextHost_;
    bool movingToTpc_ = false;  // a give-up of the link measurement is moving its hosts
};

// The story as sentences, for one measurement (167 or 169) or both (0); the
// source names where it was read.
void printStory(std::ostream &out, const Story &story, u32 measId, const std::string &source);

}  // namespace zep::sim
