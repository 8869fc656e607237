// Which host a measurement request served, told from outside the module: a
// ledger of what each host asked for, kept from the bodies the module was
// given (starts, stops, station leaves, reports, timer expiries) and from the
// station facts an automatic request is built from. The module's own table is
// never read.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "base/hex.hpp"
#include "base/node_shares.hpp"
#include "findings/facts.hpp"
#include "zep_host.hpp"

namespace zep::sim {

class HostLedger {
public:
    // A message the module's handler returned status for: a start (182) or a
    // stop (183) it took changes what the hosts asked for, a report (168, 170)
    // answering the access point's own request confirms its station's
    // automatic measurement (whatever its status: the module counts it
    // before completing it), and each timer expiry (186) ends one tick of the
    // schedules.
    // atMs: the virtual time it was delivered at, which the history keeps.
    void delivered(u32 msgId, std::span<const u8> body, u32 status, u64 atMs = 0);
    // The station left: its nodes are gone, whoever asked for them.
    void stationLeft(const host::Mac &mac);

    // What the station database answers for a station, and a radio's power
    // figures: an automatic request is made of them.
    void setStation(const host::StationFacts &facts) { stations_[facts.mac] = facts; }
    void forgetStation(const host::Mac &mac) { stations_.erase(mac); }
    struct RadioPower {
        s8 curEirp = 0;
        s8 maxPower = 0;
    };
    void setRadio(u32 radioId, s8 curEirp, s8 maxPower) { radios_[radioId] = {curEirp, maxPower}; }
    RadioPower &radioPower(u32 radioId) { return radios_[radioId]; }

    // The host whose request body (sent under msgId by the timer) is, byte for
    // byte; when several hosts' requests are, the one the timer picks among
    // them (due at this tick, the heaviest of one node); kUnknownHost when no
    // host's is, or no single one of several. A request counts against its
    // node, sent or failed: the host's node, else the node the body names.
    int hostOf(u32 msgId, std::span<const u8> body, bool sent, u64 atMs = 0);
    // Every node a host asked for, with each host's share as it asked.
    std::vector<NodeShares> nodes() const;
    // One of them; nullopt when no host asks for it.
    std::optional<NodeShares> node(const host::Mac &mac, u32 measId) const;

    // What became of each node over the run, kept after the node is gone:
    // what findings and the station table read.
    using Key = NodeKey;  // station, measurement id: one node each
    std::map<Key, NodeHistory> history() const;
    // Reports with the access point's own token and no node to count against, by station.
    const Occurrences &unmatchedReports() const { return unmatched_; }
    // Whether the hosts ever asked more nodes of the radio than its table
    // holds: the module then evicted or refused some, which no event shows,
    // so which of them it held is no longer known here.
    bool overflowed(u32 radioId) const
    {
        const auto it = tables_.find(radioId);
        return it != tables_.end() && it->second.overflowed;
    }

private:
    struct Share {
        StaMeasReq request{};  // unused when automatic: built when asked
        StaMeasSched sched{};
        bool automatic = false;
    };
    struct Node {
        u32 radioId = 0;
        std::array<std::optional<Share>, 3> hosts;  // by host id
        bool empty() const
        {
            return std::none_of(hosts.begin(), hosts.end(), [](const auto &s) { return s.has_value(); });
        }
        u64 attemptedTick = ~u64{0};  // the last expiry that tried to send its request
        // Since it was added, its requests and reports included; kept on in
        // history_ when it goes.
        NodeHistory past;
    };
    // The order of the pair (station bytes, then id), with the station
    // compared as one number: every request sent looks its node up.
    struct KeyLess {
        bool operator()(const Key &a, const Key &b) const
        {
            const u64 first = macNumber(a.first);
            const u64 second = macNumber(b.first);
            return first != second ? first < second : a.second < b.second;
        }
    };
    struct Match {  // a host whose request is a sent body
        Node *node;
        const Key *key;
        u32 host;
        bool due;
    };
    // Which of the hosts whose request a sent body is the timer sent it for,
    // the matches taken in the table's order: the host when they are all one
    // host's, else the heaviest due one when those due are all of one node.
    // Taken for every host whose request a sent body is, so kept inline.
    class Choice {
    public:
        void add(const Match &m)
        {
            if (!first_) {
                first_ = m;
            }
            oneHost_ = oneHost_ && m.host == first_->host;
            if (!m.due || twoNodesDue_) {
                return;
            }
            if (heaviest_ && heaviest_->node != m.node) {
                twoNodesDue_ = true;  // due in two nodes: either could have been sent
            } else if (!heaviest_ || kHostWeights[m.host] > kHostWeights[heaviest_->host]) {
                heaviest_ = m;
            }
        }
        bool empty() const { return !first_; }
        std::optional<Match> served() const
        {
            if (oneHost_) {
                return first_;
            }
            return twoNodesDue_ ? std::nullopt : heaviest_;
        }

    private:
        std::optional<Match> first_;
        std::optional<Match> heaviest_;
        bool oneHost_ = true;
        bool twoNodesDue_ = false;
    };
    // Hands take a match for each host of the node whose request is body.
    template <class Take>
    void collect(const Key &key, Node &node, std::span<const u8> body, Take take) const
    {
        for (u32 host = 0; host < node.hosts.size(); ++host) {
            const std::optional<Share> &share = node.hosts[host];
            if (share && asked(key.first, *share, body)) {
                take(Match{&node, &key, host, due(*share)});
            }
        }
    }
    void count(const std::optional<Match> &match, Node *sender, const Key &senderKey,
               std::span<const u8> body, bool sent);
    static NodeShares sharesOf(const Key &key, const Node &node);

    // The node of key, made on radioId when there is none.
    Node &nodeFor(const Key &key, u32 radioId);
    static void setShare(Node &node, u32 host, const Share &share);
    void start(std::span<const u8> body);
    void stop(std::span<const u8> body);
    std::optional<u32> automaticId(const host::Mac &mac) const;
    std::optional<StaMeasReq> automaticRequest(const host::Mac &mac) const;
    // Whether the share's request, as the module sends it, is body.
    bool asked(const host::Mac &mac, const Share &share, std::span<const u8> body) const
    {
        return share.automatic ? askedAutomatically(mac, body)
                               : std::memcmp(&share.request, body.data(), sizeof share.request) == 0;
    }
    bool askedAutomatically(const host::Mac &mac, std::span<const u8> body) const;
    void reported(const host::Mac &mac, u32 measId, u8 tokenId);
    void beginTick();
    void endTick();
    void noteStarved(Node &node);
    void giveUpSilentStations();
    // Asked for every share at every expiry and every request sent.
    bool due(const Share &share) const
    {
        const StaMeasSched &s = share.sched;
        return s.periodInSec != 0 && tick_ % s.periodInSec == 0 && (s.isLoop != 0 || s.count != 0);
    }

    struct KeyHash {
        std::size_t operator()(const Key &key) const { return macNumber(key.first) ^ key.second; }
    };
    // As numbers: a MAC compared as its six bytes would call memcmp.
    struct KeyEqual {
        bool operator()(const Key &a, const Key &b) const
        {
            return a.second == b.second && macNumber(a.first) == macNumber(b.first);
        }
    };
    // Looked up for every request sent and every report; walked in the
    // table's order (KeyLess) wherever the order shows.
    using Nodes = std::unordered_map<Key, Node, KeyHash, KeyEqual>;
    Nodes nodes_;
    // Every removal of a node goes through here, so that its history stays.
    Nodes::iterator retire(Nodes::iterator it);
    // Nodes that may have become silent since the last tick (a request went
    // out, an automatic host came): only they are looked at when one begins.
    std::vector<Key> maybeSilent_;
    // A station is taken not to answer once three requests went out to its
    // node and none was answered; the timer gives it up only if an automatic
    // host is there, which giveUpSilentStations checks when the tick begins.
    static constexpr u32 kGiveUpAfter = 3;  // requests without a report
    static bool unanswered(const Node &node)
    {
        return node.past.requests >= kGiveUpAfter && node.past.reports == 0;
    }
    // Asked at every request sent.
    void mayBeSilent(const Key &key, const Node &node)
    {
        if (unanswered(node)) {
            maybeSilent_.push_back(key);
        }
    }
    u64 tick_ = 0;             // timer expiries so far: the schedules' count
    u64 nowMs_ = 0;            // when the last message was delivered
    std::vector<u32> sentThisTick_;  // by radio
    std::map<Key, NodeHistory> history_;  // of nodes gone, over all their lives
    Occurrences unmatched_;
    bool tickBegun_ = false;   // this expiry's start has been looked at
    std::map<host::Mac, host::StationFacts> stations_;
    std::map<u32, RadioPower> radios_;
    struct Table {
        u32 nodes = 0;
        bool overflowed = false;
    };
    std::map<u32, Table> tables_;  // by radio, changed as nodes come and go
};

}  // namespace zep::sim
