#include "run/host_ledger.hpp"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>

#include "base/hex.hpp"
#include "sta_meas_msg.h"

namespace zep::sim {

namespace {

constexpr u32 kAutomaticId = 0xFFFFFFFFu;
constexpr u32 kEveryId = 0xFFFFFFFFu;
constexpr u32 kHosts = 3;
constexpr u32 kTokens = 143;  // an automatic request's token runs 1..143
constexpr u32 kSendsPerRadio = 64;  // the timer's most per radio and expiry
constexpr u32 kTableNodes = 128;    // the most a radio's table holds
constexpr u32 kRadioIds = 256;      // beyond any device: a body naming one is not counted by radio
const host::Mac kEveryStation = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

template <class Rec>
Rec recordAt(std::span<const u8> body, std::size_t at)
{
    Rec rec{};
    std::memcpy(&rec, body.data() + at, sizeof rec);
    return rec;
}

// The header, when the body holds it and every entry it announces, as the
// module's own checks take it; nullopt for a body the module refused.
template <class Entry>
std::optional<StaMeasMsgHead> headOf(std::span<const u8> body)
{
    if (body.size() < sizeof(StaMeasMsgHead)) {
        return std::nullopt;
    }
    const auto head = recordAt<StaMeasMsgHead>(body, 0);
    if (head.num == 0 || head.host >= kHosts || body.size() < sizeof head + head.num * sizeof(Entry)) {
        return std::nullopt;
    }
    return head;
}

host::Mac macOf(const u8 *bytes)
{
    host::Mac mac;
    std::memcpy(mac.data(), bytes, mac.size());
    return mac;
}

}  // namespace

void HostLedger::delivered(u32 msgId, std::span<const u8> body, u32 status, u64 atMs)
{
    nowMs_ = atMs;
    if (msgId == STAMEAS_MSG_MEAS_TIMER) {
        beginTick();  // an expiry that sent nothing still gives silent stations up
        endTick();
        ++tick_;
        tickBegun_ = false;
        return;
    }
    if (msgId == STAMEAS_MSG_LM_REPORT && body.size() >= sizeof(LmReportMsg)) {
        const auto report = recordAt<LmReportMsg>(body, 0);
        reported(macOf(report.staMac), STAMEAS_MSG_LM_REQ, report.tokenId);
    } else if (msgId == STAMEAS_MSG_TPC_REPORT && body.size() >= sizeof(TpcReportMsg)) {
        const auto report = recordAt<TpcReportMsg>(body, 0);
        reported(macOf(report.staMac), STAMEAS_MSG_TPC_REQ, report.tokenId);
    } else if (status == 0 && msgId == STAMEAS_MSG_MEAS_START) {
        start(body);
    } else if (status == 0 && msgId == STAMEAS_MSG_MEAS_STOP) {
        stop(body);
    }
}

// A report with a token the access point gives its own requests answers the
// station's node of that id.
void HostLedger::reported(const host::Mac &mac, u32 measId, u8 tokenId)
{
    if (tokenId > kTokens) {
        return;  // a neighbour's token: not the access point's own request
    }
    if (const auto it = nodes_.find({mac, measId}); it != nodes_.end()) {
        ++it->second.past.reports;
        return;
    }
    unmatched_.note(nowMs_, macText(mac) + (measId == STAMEAS_MSG_TPC_REQ ? " tpc" : " lm"));
}

// The expiry has sent all it will. A node with a host due and no request
// tried was passed over: starved when its radio had sent its most by then
// (otherwise its first visit only cleared the new node's skip). Where a
// request was tried, every due host used up one of its count, and a host
// measured a number of times leaves the node with its last request.
void HostLedger::endTick()
{
    for (auto it = nodes_.begin(); it != nodes_.end();) {
        Node &node = it->second;
        const bool attempted = node.attemptedTick == tick_;
        bool anyDue = false;
        bool lastRequest = false;
        for (std::size_t host = 0; host < node.hosts.size(); ++host) {
            std::optional<Share> &share = node.hosts[host];
            if (!share || !due(*share)) {
                continue;
            }
            anyDue = true;
            ++node.past.hosts[host].due;
            StaMeasSched &sched = share->sched;
            if (attempted && sched.isLoop == 0 && --sched.count == 0) {
                share.reset();
                lastRequest = true;
            }
        }
        if (anyDue && !attempted) {
            noteStarved(node);
        }
        node.past.dueTicks += anyDue ? 1 : 0;
        // Nodes emptied otherwise went when they were.
        it = lastRequest && node.empty() ? retire(it) : std::next(it);
    }
    std::ranges::fill(sentThisTick_, 0);
}

void HostLedger::noteStarved(Node &node)
{
    if (node.radioId < sentThisTick_.size() && sentThisTick_[node.radioId] >= kSendsPerRadio) {
        NodeHistory &past = node.past;
        past.firstStarvedMs = past.starvedTicks++ == 0 ? nowMs_ : past.firstStarvedMs;
        past.lastStarvedMs = nowMs_;
    }
}

void HostLedger::beginTick()
{
    if (!tickBegun_) {
        tickBegun_ = true;
        giveUpSilentStations();
    }
}

// As the timer does at a node's visit: a station under automatic measurement
// that answered none of its first three requests has its automatic hosts
// moved from the link-measurement node to its TPC node (made when missing),
// or dropped from a TPC node.
void HostLedger::giveUpSilentStations()
{
    // In the table's order, as the timer meets them: a station's link node
    // before its TPC node, which may take the link node's hosts.
    std::vector<Key> silent;
    silent.swap(maybeSilent_);
    std::sort(silent.begin(), silent.end(), KeyLess{});
    silent.erase(std::unique(silent.begin(), silent.end()), silent.end());
    std::erase_if(silent, [&](const Key &key) {
        const auto it = nodes_.find(key);
        if (it == nodes_.end()) {
            return true;
        }
        const Node &node = it->second;
        const bool automatic = std::any_of(node.hosts.begin(), node.hosts.end(),
                                           [](const std::optional<Share> &s) { return s && s->automatic; });
        return !(automatic && unanswered(node));
    });
    for (const Key &key : silent) {
        Node &node = nodes_[key];
        const bool toTpc = key.second == STAMEAS_MSG_LM_REQ && automaticRequest(key.first).has_value();
        NodeHistory &past = node.past;
        ++past.giveUps;
        past.movedToTpc = past.movedToTpc || toTpc;
        past.lastGiveUpMs = nowMs_;
        for (std::size_t host = 0; host < node.hosts.size(); ++host) {
            std::optional<Share> &share = node.hosts[host];
            if (!share || !share->automatic) {
                continue;
            }
            if (toTpc) {
                const Key tpc{key.first, STAMEAS_MSG_TPC_REQ};
                Node &target = nodeFor(tpc, node.radioId);
                setShare(target, static_cast<u32>(host), *share);
                mayBeSilent(tpc, target);
            }
            share.reset();
        }
        if (node.empty()) {
            retire(nodes_.find(key));
        }
    }
}

void HostLedger::start(std::span<const u8> body)
{
    const auto head = headOf<StaMeasStartEntry>(body);
    if (!head) {
        return;
    }
    for (u32 i = 0; i < head->num; ++i) {
        const auto entry = recordAt<StaMeasStartEntry>(body, sizeof *head + i * sizeof(StaMeasStartEntry));
        const host::Mac mac = macOf(entry.staMac);
        const bool automatic = entry.measId == kAutomaticId;
        const std::optional<u32> measId = automatic ? automaticId(mac) : std::optional(entry.measId);
        if (!measId || (*measId != STAMEAS_MSG_LM_REQ && *measId != STAMEAS_MSG_TPC_REQ)) {
            continue;  // the module skips it as unsupported
        }
        if (automatic && !automaticRequest(mac)) {
            continue;  // the station is not in the database: the module refuses the share
        }
        // One node per station and id, whichever radio: an existing one keeps its radio.
        const Key key{mac, *measId};
        Node &node = nodeFor(key, head->radioId);
        setShare(node, head->host, Share{entry.measReq, entry.sched, automatic});
        if (automatic) {
            mayBeSilent(key, node);
        }
    }
}

HostLedger::Node &HostLedger::nodeFor(const Key &key, u32 radioId)
{
    const auto [it, added] = nodes_.try_emplace(key);
    if (added) {
        it->second.radioId = radioId;
        it->second.past.adds = 1;
        Table &table = tables_[radioId];
        table.overflowed = table.overflowed || ++table.nodes > kTableNodes;
    }
    return it->second;
}

void HostLedger::setShare(Node &node, u32 host, const Share &share)
{
    node.hosts[host] = share;
    node.past.hostsAsked |= 1u << host;
}

void HostLedger::stop(std::span<const u8> body)
{
    const auto head = headOf<StaMeasStopEntry>(body);
    if (!head) {
        return;
    }
    for (u32 i = 0; i < head->num; ++i) {
        const auto entry = recordAt<StaMeasStopEntry>(body, sizeof *head + i * sizeof(StaMeasStopEntry));
        const host::Mac mac = macOf(entry.staMac);
        const bool everyStation = mac == kEveryStation;
        // Only the table of the message's radio is walked.
        for (auto it = nodes_.begin(); it != nodes_.end();) {
            const auto &[station, measId] = it->first;
            Node &node = it->second;
            const bool named = everyStation || (station == mac && (entry.measId == kEveryId || measId == entry.measId));
            if (node.radioId == head->radioId && named) {
                node.hosts[head->host].reset();
            }
            it = node.empty() ? retire(it) : std::next(it);
        }
    }
}

void HostLedger::stationLeft(const host::Mac &mac)
{
    for (auto it = nodes_.begin(); it != nodes_.end();) {
        it = it->first.first == mac ? retire(it) : std::next(it);
    }
}

std::optional<u32> HostLedger::automaticId(const host::Mac &mac) const
{
    const auto it = stations_.find(mac);
    if (it == stations_.end()) {
        return std::nullopt;
    }
    if (it->second.linkMeas) {
        return STAMEAS_MSG_LM_REQ;
    }
    return it->second.tpc ? std::optional<u32>(STAMEAS_MSG_TPC_REQ) : std::nullopt;
}

// As the module builds it from the station database: the station's radio and
// VAP, its token counter taken into 1..143, its radio's power figures.
std::optional<StaMeasReq> HostLedger::automaticRequest(const host::Mac &mac) const
{
    const auto station = stations_.find(mac);
    if (station == stations_.end()) {
        return std::nullopt;
    }
    const host::StationFacts &facts = station->second;
    StaMeasReq req{};
    req.radioId = facts.radioId;
    req.vapId = facts.vapId;
    std::memcpy(req.staMac, mac.data(), mac.size());
    const u32 token = facts.tokenCounter % kTokens;
    req.tokenId = static_cast<u8>(token == 0 ? kTokens : token);
    if (const auto radio = radios_.find(facts.radioId); radio != radios_.end()) {
        req.curEirp = radio->second.curEirp;
        req.maxPower = static_cast<u8>(radio->second.maxPower);
    }
    return req;
}

bool HostLedger::askedAutomatically(const host::Mac &mac, std::span<const u8> body) const
{
    const std::optional<StaMeasReq> req = automaticRequest(mac);
    return req && std::memcmp(&*req, body.data(), sizeof *req) == 0;
}

int HostLedger::hostOf(u32 msgId, std::span<const u8> body, bool sent, u64 atMs)
{
    nowMs_ = std::max(nowMs_, atMs);
    beginTick();
    if (body.size() != sizeof(StaMeasReq)) {
        return kUnknownHost;
    }
    Choice choice;
    // The node the body names (its station, under the id it went out as)
    // first; any node's hosts, in the table's order, when none of its
    // requests is the body.
    const Key named{macOf(body.data() + offsetof(StaMeasReq, staMac)), msgId};
    const auto namedNode = nodes_.find(named);
    if (namedNode != nodes_.end()) {
        collect(namedNode->first, namedNode->second, body, [&choice](const Match &m) { choice.add(m); });
    }
    if (choice.empty()) {
        std::vector<Match> matches;
        for (auto &[key, node] : nodes_) {
            collect(key, node, body, [&matches](const Match &m) { matches.push_back(m); });
        }
        std::stable_sort(matches.begin(), matches.end(),
                         [](const Match &a, const Match &b) { return KeyLess{}(*a.key, *b.key); });
        std::ranges::for_each(matches, [&choice](const Match &m) { choice.add(m); });
    }
    const std::optional<Match> match = choice.served();
    Node *sender = match ? match->node : namedNode != nodes_.end() ? &namedNode->second : nullptr;
    count(match, sender, match ? *match->key : named, body, sent);
    return match ? static_cast<int>(match->host) : kUnknownHost;
}

// As the module counts a request: on the node that sent it, whichever host
// it served.
void HostLedger::count(const std::optional<Match> &match, Node *sender, const Key &senderKey,
                       std::span<const u8> body, bool sent)
{
    if (match) {
        match->node->attemptedTick = tick_;
    }
    if (sender != nullptr && sent) {
        ++sender->past.requests;
        mayBeSilent(senderKey, *sender);
    } else if (sender != nullptr) {
        ++sender->past.failed;
    }
    if (!sent) {
        return;
    }
    if (match) {
        ++match->node->past.hosts[match->host].served;
    }
    const u32 radio = match ? match->node->radioId : recordAt<u32>(body, offsetof(StaMeasReq, radioId));
    if (radio < kRadioIds && radio >= sentThisTick_.size()) {
        sentThisTick_.resize(radio + 1);
    }
    if (radio < sentThisTick_.size()) {
        ++sentThisTick_[radio];
    }
}

namespace {

// One node's history over a later life of it added to the earlier ones.
void addLife(NodeHistory &into, const NodeHistory &life, u32 radioId)
{
    into.radioId = radioId;
    if (life.starvedTicks != 0) {
        into.firstStarvedMs = into.starvedTicks != 0 ? into.firstStarvedMs : life.firstStarvedMs;
        into.lastStarvedMs = life.lastStarvedMs;
    }
    into.dueTicks += life.dueTicks;
    into.starvedTicks += life.starvedTicks;
    for (std::size_t h = 0; h < into.hosts.size(); ++h) {
        into.hosts[h].due += life.hosts[h].due;
        into.hosts[h].served += life.hosts[h].served;
    }
    into.giveUps += life.giveUps;
    into.evictions += life.evictions;
    into.movedToTpc = into.movedToTpc || life.movedToTpc;
    into.lastGiveUpMs = life.lastGiveUpMs ? life.lastGiveUpMs : into.lastGiveUpMs;
    into.hostsAsked |= life.hostsAsked;
    into.adds += life.adds;
    into.removals += life.removals;
    into.requests += life.requests;
    into.failed += life.failed;
    into.reports += life.reports;
}

}  // namespace

HostLedger::Nodes::iterator HostLedger::retire(Nodes::iterator it)
{
    ++it->second.past.removals;
    --tables_[it->second.radioId].nodes;
    addLife(history_[it->first], it->second.past, it->second.radioId);
    return nodes_.erase(it);
}

std::map<HostLedger::Key, NodeHistory> HostLedger::history() const
{
    std::map<Key, NodeHistory> all = history_;
    for (const auto &[key, node] : nodes_) {
        NodeHistory &h = all[key];
        addLife(h, node.past, node.radioId);
        h.inTable = true;
    }
    return all;
}

NodeShares HostLedger::sharesOf(const Key &key, const Node &node)
{
    NodeShares shares;
    shares.staMac = key.first;
    shares.measId = key.second;
    shares.radioId = node.radioId;
    for (u32 host = 0; host < node.hosts.size(); ++host) {
        if (const std::optional<Share> &share = node.hosts[host]) {
            shares.hosts.push_back({host, share->sched, share->automatic});
        }
    }
    return shares;
}

std::optional<NodeShares> HostLedger::node(const host::Mac &mac, u32 measId) const
{
    const auto it = nodes_.find({mac, measId});
    return it == nodes_.end() ? std::nullopt : std::optional(sharesOf(it->first, it->second));
}

std::vector<NodeShares> HostLedger::nodes() const
{
    std::vector<NodeShares> out;
    for (const auto &[key, node] : nodes_) {
        out.push_back(sharesOf(key, node));
    }
    std::sort(out.begin(), out.end(), [](const NodeShares &a, const NodeShares &b) {
        return KeyLess{}({a.staMac, a.measId}, {b.staMac, b.measId});
    });
    return out;
}

}  // namespace zep::sim
