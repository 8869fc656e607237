// The facts findings are drawn from, gathered over a whole run, a replay or a
// field log. Every figure here is bounded by the stations, radios and handlers
// seen, never by time, so findings can stay on for a day of full load.
#pragma once

#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "zep_host.hpp"

namespace zep::sim {

struct ShareHistory {
    u64 due = 0;     // expiries at which the host was due
    u64 served = 0;  // requests that went out as the host's
};

// One measurement node (a station under one measurement id), over its whole
// life and any re-adds.
struct NodeHistory {
    u32 radioId = 0;
    u64 dueTicks = 0;      // expiries at which one of its hosts was due
    u64 starvedTicks = 0;  // of those, ones whose radio sent its most before any of its requests
    u64 firstStarvedMs = 0;
    u64 lastStarvedMs = 0;
    std::array<ShareHistory, 3> hosts{};
    u32 giveUps = 0;  // automatic measurement given up
    u64 evictions = 0;  // removed to make room for a heavier host's start
    bool movedToTpc = false;
    std::optional<u64> lastGiveUpMs;  // unknown in a log that does not say the time
    // What the station table shows of it, from a play's or a replay's events.
    u32 hostsAsked = 0;  // bitmap of every host whose share it held
    u64 adds = 0;        // lives: times it was made
    u64 removals = 0;
    u64 requests = 0;    // sent for it
    u64 failed = 0;      // sends for it that failed
    u64 reports = 0;     // with the access point's own token, counted against it
    bool inTable = false;  // alive when the history was taken
};
using NodeKey = std::pair<host::Mac, u32>;  // station, measurement id

// Occurrences of one kind of thing: how many, when (where the source says),
// and of what, by a label.
struct Occurrences {
    u64 count = 0;
    std::optional<u64> firstMs;
    std::optional<u64> lastMs;
    std::map<std::string, u64> by;  // e.g. the message, the station
    void note(std::optional<u64> atMs, const std::string &what)
    {
        ++count;
        if (atMs) {
            firstMs = firstMs.value_or(*atMs);
            lastMs = atMs;
        }
        ++by[what];
    }
};

// Runs of error lines close together.
struct ErrorBursts {
    u64 count = 0;
    u64 lines = 0;  // in the bursts
    std::optional<u64> firstMs;
    std::optional<u64> lastMs;
    std::string example;  // the first burst's first line, where known
};

// One handler's costs: its calls, how many returned non-zero, and a log-2
// histogram of nanoseconds, which gives percentiles within a factor of two in
// bounded memory. The summary, the report and the cost findings read it.
struct HandlerCost {
    static constexpr std::size_t kBuckets = 40;
    std::array<u64, kBuckets> counts{};
    u64 calls = 0;
    u64 failed = 0;
    std::chrono::nanoseconds min{std::chrono::nanoseconds::max()};
    std::chrono::nanoseconds max{0};
    std::chrono::nanoseconds total{0};

    void add(std::chrono::nanoseconds cost, bool nonZeroStatus);
    // The upper bound of the bucket holding the given fraction of the calls,
    // or the maximum where that is tighter.
    std::chrono::nanoseconds percentile(double fraction) const;
    std::chrono::nanoseconds average() const;
};

// A cost in microseconds, to the tenth: finer than the clock the costs were taken with.
double costMicros(std::chrono::nanoseconds ns);

// The co-measurement requests listed for one channel of one radio, which wait
// until the radio reports scanning it.
struct ChannelWait {
    u64 listed = 0;   // entries listed (new or merged)
    u64 served = 0;   // scans of the channel that sent them
    u64 dropped = 0;  // lists dropped by a change of the radio's scan channels
    bool waiting = false;           // listed and not yet sent or dropped
    std::optional<u64> sinceMs;     // when the waiting began, when known
    u64 longestMs = 0;              // the longest wait that ended
    std::optional<u64> longestFromMs;
    bool untimed = false;           // some waiting began where the source told no time
};

struct FindingFacts {
    std::map<NodeKey, NodeHistory> nodes;
    Occurrences unmatchedReports;  // the access point's token, and no node to count against
    Occurrences failedSends;       // by message
    Occurrences failedIpc;         // by message
    u64 errorLines = 0;
    ErrorBursts bursts;
    std::map<std::string, HandlerCost> costs;  // by handler name
    std::map<u32, u64> refusedAdds;   // by radio: stations not added, the table holding 128 nodes
    std::map<u32, u64> scanInhibits;  // by radio: scan triggers not sent
    std::map<std::pair<u32, u32>, ChannelWait> channelWaits;  // by (radio, channel)
    Occurrences unknownNeighbours;    // reports naming a neighbour VAP no query knew, by station
    std::optional<u64> endMs;         // when the source ends, where known: what is still waiting waits until then
    // What the source could not tell, one phrase each; a finding a source
    // cannot check is listed as such rather than left out.
    std::vector<std::string> unchecked;
};

}  // namespace zep::sim
