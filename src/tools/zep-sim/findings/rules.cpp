#include <algorithm>
#include <set>

#include "base/hex.hpp"
#include "base/time_text.hpp"
#include "findings/finding.hpp"
#include "sta_meas_msg.h"

namespace zep::sim {

namespace {

constexpr std::size_t kFirstFew = 5;

// Collects what a finding concerns, in the order first seen, keeping the first few.
class SampleOf {
public:
    void add(const std::string &what)
    {
        if (seen_.insert(what).second && sample_.first.size() < kFirstFew) {
            sample_.first.push_back(what);
        }
        sample_.inAll = seen_.size();
    }
    Sample take() const { return sample_; }

private:
    std::set<std::string> seen_;
    Sample sample_;
};

Finding finding(const char *rule, Severity severity, const char *why)
{
    Finding f;
    f.rule = rule;
    f.severity = severity;
    f.why = why;
    return f;
}

std::string nodeName(const NodeKey &key)
{
    return macText(key.first) + (key.second == STAMEAS_MSG_TPC_REQ ? " tpc" : " lm");
}

std::string plural(u64 n, const std::string &one, const std::string &many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Widens a finding's first and last time to take in [first, last].
void span(Finding &f, u64 first, u64 last)
{
    f.firstMs = f.firstMs ? std::min(*f.firstMs, first) : first;
    f.lastMs = f.lastMs ? std::max(*f.lastMs, last) : last;
}

// Counts into f the nodes whose figure reaches limit, with their radios and
// stations; gives the figures' sum, or nullopt when no node reaches it.
template <class Figure, class OnCounted>
std::optional<u64> countNodes(const FindingFacts &facts, u64 limit, Finding &f, Figure figure, OnCounted onCounted)
{
    SampleOf radios;
    SampleOf stations;
    u64 sum = 0;
    for (const auto &[key, node] : facts.nodes) {
        const u64 n = figure(node);
        if (n < limit) {
            continue;
        }
        ++f.count;
        sum += n;
        radios.add(std::to_string(node.radioId));
        stations.add(nodeName(key));
        onCounted(node);
    }
    if (f.count == 0) {
        return std::nullopt;
    }
    f.radios = radios.take();
    f.stations = stations.take();
    return sum;
}

std::optional<Finding> starvedNodes(const FindingFacts &facts, const FindingLimits &limits)
{
    Finding f = finding("starved-nodes", Severity::Warning,
              "The timer sends at most 64 requests per radio at each expiry, to the nodes at the front of "
              "the radio's list (heaviest first once sorted), so while more than 64 are due the ones "
              "further down get none.");
    const std::optional<u64> expiries = countNodes(
        facts, limits.starvedExpiries, f, [](const NodeHistory &node) { return node.starvedTicks; },
        [&f](const NodeHistory &node) { span(f, node.firstStarvedMs, node.lastStarvedMs); });
    if (!expiries) {
        return std::nullopt;
    }
    f.title = plural(f.count, "node", "nodes") + " got no request at " + std::to_string(*expiries) +
              " expiries where they were due, their radio's 64 requests having gone to others";
    return f;
}

std::optional<Finding> unservedShares(const FindingFacts &facts, const FindingLimits &limits)
{
    Finding f = finding("share-never-sent", Severity::Warning,
              "Of the hosts due in one node at an expiry only the heaviest one's request is sent (host 0, "
              "then 2, then 1), and every due host's count is used up all the same.");
    SampleOf radios;
    SampleOf hosts;
    SampleOf stations;
    for (const auto &[key, node] : facts.nodes) {
        const bool nodeServed = std::any_of(node.hosts.begin(), node.hosts.end(),
                                            [](const ShareHistory &h) { return h.served != 0; });
        for (std::size_t host = 0; host < node.hosts.size(); ++host) {
            const ShareHistory &share = node.hosts[host];
            if (!nodeServed || share.served != 0 || share.due < limits.unservedShareDue) {
                continue;
            }
            ++f.count;
            radios.add(std::to_string(node.radioId));
            hosts.add(std::to_string(host));
            stations.add(nodeName(key));
        }
    }
    if (f.count == 0) {
        return std::nullopt;
    }
    f.radios = radios.take();
    f.hosts = hosts.take();
    f.stations = stations.take();
    f.title = plural(f.count, "host's share was", "hosts' shares were") +
              " due and never sent, a heavier host of the same node being due at the same expiries";
    return f;
}

std::optional<Finding> givenUp(const FindingFacts &facts)
{
    Finding f = finding("automatic-given-up", Severity::Info,
              "A station under automatic measurement that answered none of its first three requests is "
              "given up: its link-measurement hosts move to a TPC node, and a TPC node's are dropped.");
    std::map<u32, std::pair<std::set<host::Mac>, std::set<host::Mac>>> byRadio;  // given up, in all
    SampleOf stations;
    u64 moved = 0;
    u64 dropped = 0;
    for (const auto &[key, node] : facts.nodes) {
        auto &[gaveUp, all] = byRadio[node.radioId];
        all.insert(key.first);
        if (node.giveUps == 0) {
            continue;
        }
        ++f.count;
        gaveUp.insert(key.first);
        stations.add(nodeName(key));
        (node.movedToTpc ? moved : dropped) += 1;
        if (node.lastGiveUpMs) {
            span(f, *node.lastGiveUpMs, *node.lastGiveUpMs);
        }
    }
    if (f.count == 0) {
        return std::nullopt;
    }
    for (const auto &[radio, sets] : byRadio) {
        if (!sets.first.empty() && f.radios.first.size() < kFirstFew) {
            f.radios.first.push_back(std::to_string(radio) + " (" + std::to_string(sets.first.size()) + " of " +
                                     std::to_string(sets.second.size()) + " stations)");
        }
        f.radios.inAll += sets.first.empty() ? 0 : 1;
    }
    f.stations = stations.take();
    f.title = "Automatic measurement given up at " + plural(f.count, "node", "nodes") + ": " +
              std::to_string(moved) + " moved to TPC, " + std::to_string(dropped) + " dropped";
    return f;
}

// Reports, failed sends, failed IPC: how many, when, and of what.
std::optional<Finding> occurrences(const Occurrences &o, const char *rule, Severity severity,
                                   const std::string &title, const char *why, bool byStation)
{
    if (o.count == 0) {
        return std::nullopt;
    }
    Finding f = finding(rule, severity, why);
    f.title = title;
    f.count = o.count;
    f.firstMs = o.firstMs;
    f.lastMs = o.lastMs;
    Sample &sample = byStation ? f.stations : f.messages;
    for (const auto &[what, times] : o.by) {
        if (sample.first.size() < kFirstFew) {
            sample.first.push_back(byStation ? what : what + " (" + std::to_string(times) + ")");
        }
    }
    sample.inAll = o.by.size();
    return f;
}

std::optional<Finding> errorBursts(const FindingFacts &facts)
{
    const ErrorBursts &b = facts.bursts;
    if (b.count == 0) {
        return std::nullopt;
    }
    Finding f = finding("error-bursts", Severity::Warning,
                        "Error lines that come close together mostly share one cause, which the first line "
                        "of each burst names.");
    f.title = plural(b.count, "burst", "bursts") + " of error lines (" + std::to_string(b.lines) + " of " +
              std::to_string(facts.errorLines) + " error lines)" +
              (b.example.empty() ? "" : "; the first says: " + b.example);
    f.count = b.count;
    f.firstMs = b.firstMs;
    f.lastMs = b.lastMs;
    return f;
}

std::optional<Finding> costOutliers(const FindingFacts &facts, const FindingLimits &limits)
{
    Finding f = finding("cost-outliers", Severity::Info,
              "Handlers run one at a time on the framework's dispatching context, so one slow run holds "
              "up every message and expiry queued behind it.");
    for (const auto &[name, cost] : facts.costs) {
        const auto us = [](std::chrono::nanoseconds d) {
            return static_cast<u64>(std::chrono::duration_cast<std::chrono::microseconds>(d).count());
        };
        const u64 p99 = us(cost.percentile(0.99));
        const u64 maxUs = us(cost.max);
        if (cost.calls < limits.costMinCalls || maxUs < limits.costFloorMs * 1000 ||
            maxUs < limits.costFactor * std::max<u64>(p99, 1)) {
            continue;
        }
        ++f.count;
        if (f.hosts.first.size() < kFirstFew) {
            f.hosts.first.push_back(name + " (max " + std::to_string(maxUs) + " us, 99% under " +
                                    std::to_string(p99) + " us)");
        }
        f.hosts.inAll = f.count;
    }
    if (f.count == 0) {
        return std::nullopt;
    }
    f.title = plural(f.count, "handler's", "handlers'") + " longest run far above its 99th percentile";
    return f;
}

std::optional<Finding> evictionChurn(const FindingFacts &facts, const FindingLimits &limits)
{
    Finding f = finding("eviction-churn", Severity::Warning,
              "A start that would take a radio past 128 nodes evicts the lightest nodes that weigh less than "
              "its host; a station whose host asks again is added back and skipped at its first expiry "
              "(\"new sta dont measure\"), so it is measured less often than its schedule says.");
    const std::optional<u64> evictions = countNodes(
        facts, limits.churnEvictions, f, [](const NodeHistory &node) { return node.evictions; },
        [](const NodeHistory &) {});
    if (!evictions) {
        return std::nullopt;
    }
    f.title = plural(f.count, "node was", "nodes were") + " evicted and added again, " +
              std::to_string(*evictions) + " evictions in all";
    return f;
}

// Counts kept by radio: how many in all, and the radios with their counts.
std::optional<Finding> byRadio(const std::map<u32, u64> &counts, Finding f, const std::string &one,
                               const std::string &many)
{
    for (const auto &[radio, n] : counts) {
        f.count += n;
        if (f.radios.first.size() < kFirstFew) {
            f.radios.first.push_back(std::to_string(radio) + " (" + std::to_string(n) + ")");
        }
    }
    if (f.count == 0) {
        return std::nullopt;
    }
    f.radios.inAll = counts.size();
    f.title = plural(f.count, one, many);
    return f;
}

// How long a channel's requests waited at the longest, counting one still
// waiting at the end up to the end.
std::optional<std::pair<u64, u64>> longestWait(const ChannelWait &w, std::optional<u64> endMs)
{
    std::optional<std::pair<u64, u64>> longest;  // (from, how long)
    if (w.longestFromMs) {
        longest = std::pair(*w.longestFromMs, w.longestMs);
    }
    if (w.waiting && w.sinceMs && endMs && *endMs >= *w.sinceMs &&
        (!longest || *endMs - *w.sinceMs > longest->second)) {
        longest = std::pair(*w.sinceMs, *endMs - *w.sinceMs);
    }
    return longest;
}

std::optional<Finding> channelWaits(const FindingFacts &facts, const FindingLimits &limits)
{
    Finding f = finding("comeas-waiting", Severity::Warning,
              "Co-measurement requests for a channel other than the working one go out only when the radio "
              "reports scanning that channel (message 34); until then they wait in its list, and a change of "
              "the radio's scan channels drops them.");
    SampleOf radios;
    u64 longestMs = 0;
    for (const auto &[at, wait] : facts.channelWaits) {
        const auto longest = longestWait(wait, facts.endMs);
        if (!longest || longest->second <= limits.channelWaitMs) {
            continue;
        }
        ++f.count;
        longestMs = std::max(longestMs, longest->second);
        radios.add(std::to_string(at.first));
        if (f.messages.first.size() < kFirstFew) {
            f.messages.first.push_back("radio " + std::to_string(at.first) + " channel " +
                                       std::to_string(at.second) + (wait.waiting ? " (still waiting)" : ""));
        }
        span(f, longest->first, longest->first + longest->second);
    }
    if (f.count == 0) {
        return std::nullopt;
    }
    f.radios = radios.take();
    f.messages.inAll = f.count;
    f.title = plural(f.count, "channel's", "channels'") + " co-measurement requests waited longer than " +
              formatSeconds(limits.channelWaitMs) + " s for a scan, at most " + formatSeconds(longestMs) + " s";
    return f;
}

std::optional<Finding> unchecked(const FindingFacts &facts)
{
    if (facts.unchecked.empty()) {
        return std::nullopt;
    }
    Finding f = finding("not-checked", Severity::Info, "Findings are drawn only from what the source holds.");
    f.count = facts.unchecked.size();
    f.title = "Not checked: ";
    for (std::size_t i = 0; i < facts.unchecked.size(); ++i) {
        f.title += (i == 0 ? "" : "; ") + facts.unchecked[i];
    }
    return f;
}

}  // namespace

std::vector<Finding> findingsOf(const FindingFacts &facts, const FindingLimits &limits)
{
    std::vector<Finding> out;
    const std::optional<Finding> each[] = {
        starvedNodes(facts, limits),
        unservedShares(facts, limits),
        givenUp(facts),
        occurrences(facts.unmatchedReports, "reports-unmatched", Severity::Info,
                    plural(facts.unmatchedReports.count, "report", "reports") +
                        " with the access point's token matched no node",
                    "A report whose token is below 144 answers the access point's own request and counts "
                    "against the station's node of that measurement; with no such node it counts for nothing.",
                    true),
        occurrences(facts.failedSends, "failed-sends", Severity::Warning,
                    plural(facts.failedSends.count, "message", "messages") + " the framework refused to send",
                    "A send that fails is not tried again: a request is lost, and the due hosts' counts are "
                    "used up all the same.",
                    false),
        occurrences(facts.failedIpc, "failed-ipc", Severity::Warning,
                    plural(facts.failedIpc.count, "IPC", "IPCs") + " the framework refused to send",
                    "An IPC that fails loses the co-measurement requests packed into it; they are not sent again.",
                    false),
        errorBursts(facts),
        evictionChurn(facts, limits),
        byRadio(facts.refusedAdds,
                finding("adds-refused", Severity::Warning,
                        "Eviction takes only nodes lighter than the asking host, so when a radio's 128 nodes weigh "
                        "as much as it the rest of its start is dropped (\"reach max number\")."),
                "station not added, its radio's table holding 128 nodes",
                "stations not added, their radio's table holding 128 nodes"),
        channelWaits(facts, limits),
        byRadio(facts.scanInhibits,
                finding("scan-inhibited", Severity::Info,
                        "A radio is asked to scan at most once per 500 ms; a co-measurement start inside that gap "
                        "lists its requests without asking for a scan (\"scan inhibit\")."),
                "scan trigger not sent, within 500 ms of its radio's last",
                "scan triggers not sent, each within 500 ms of its radio's last"),
        occurrences(facts.unknownNeighbours, "neighbour-unknown", Severity::Info,
                    plural(facts.unknownNeighbours.count, "report", "reports") +
                        " with a neighbour's token named no neighbour VAP the framework knew",
                    "A token of 144 or more names a neighbouring access point's VAP; when the neighbour queries "
                    "know none, the report is counted but not forwarded (no message 197).",
                    true),
        costOutliers(facts, limits),
        unchecked(facts),
    };
    for (const std::optional<Finding> &f : each) {
        if (f) {
            out.push_back(*f);
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Finding &a, const Finding &b) { return a.severity > b.severity; });
    return out;
}

}  // namespace zep::sim
