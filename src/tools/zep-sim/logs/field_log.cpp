#include "logs/field_log.hpp"

#include <algorithm>
#include <array>
#include <span>

#include "sta_meas_msg.h"

namespace zep::sim::logs {

namespace {

constexpr std::size_t kUnparsedKept = 20;
constexpr std::string_view kReportNotSent = "send measure report fail ";
// Errors at most this many lines apart belong to one run; a run this long is a burst.
constexpr u64 kBurstGap = 10;
constexpr u64 kBurstErrors = 5;

}  // namespace

// Reads the module's formats field by field: lit() for fixed text, num() for a
// value; the first mismatch makes every later step a no-op. The parsers,
// FieldLog's friends, take it as a parameter, so it shares their linkage.
struct Scan {
    std::string_view s;
    bool ok = true;

    Scan &lit(std::string_view p)
    {
        ok = ok && takePrefix(s, p);
        return *this;
    }
    template <class T>
    Scan &num(T &v)
    {
        if (ok) {
            const auto n = takeNumber(s);
            ok = n.has_value();
            v = ok ? static_cast<T>(*n) : v;
        }
        return *this;
    }
};

namespace {

// The error's kind: its text with every number replaced, so that one fault
// repeated with other values counts as one row.
std::string errorKind(std::string_view func, std::string_view text)
{
    std::string kind(func);
    kind += ": ";
    bool inNumber = false;
    for (const char c : text) {
        const bool digit = c >= '0' && c <= '9';
        if (digit && !inNumber) {
            kind += '#';
        } else if (!digit) {
            kind += c;
        }
        inNumber = digit;
    }
    return kind;
}

bool holds(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}

// By Removal: each one's name, and what a station's story says of it.
constexpr const char *kRemovalNames[] = {"",     "stop",    "leave", "eviction",
                                         "done", "give-up", "other"};
using Why = StoryBuilder::Why;
constexpr Why kRemovalWhy[] = {Why::Other, Why::Stop,   Why::Leave, Why::Eviction,
                               Why::Done,  Why::GiveUp, Why::Other};
constexpr std::size_t kRemovals = static_cast<std::size_t>(Removal::Other) + 1;
static_assert(std::size(kRemovalNames) == kRemovals && std::size(kRemovalWhy) == kRemovals,
              "one entry per Removal, in its order");

}  // namespace

const char *removalName(Removal r)
{
    return kRemovalNames[static_cast<std::size_t>(r)];
}

// The parsers of each kind of module line. Each returns false when the text
// does not fit its format, which counts the line as unparsed.
struct Handlers {
    using Fn = bool (*)(FieldLog &, const ModuleLine &, Scan &);
    struct Pattern {
        std::string_view prefix;
        Fn fn;
        Tag severity;  // for plain lines, which do not carry it
    };

    static bool ignore(FieldLog &, const ModuleLine &, Scan &) { return true; }

    static bool nodeAdded(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        u32 radio = 0;
        u32 measId = 0;
        u32 total = 0;
        if (!s.num(radio).lit(" measId[").num(measId).lit("] add into table, total ").num(total).ok) {
            return false;
        }
        NodeFigures &n = f.addNode(*m.sta, measId, radio);
        ++n.adds;
        n.present = true;
        // A TPC node made right after the LM node was given up is the switch.
        n.movedToTpc = n.movedToTpc || (measId == STAMEAS_MSG_TPC_REQ &&
                                        f.context_ == Removal::GiveUp && f.contextSta_ == *m.sta);
        if (StoryBuilder *story = f.storyOf(*m.sta)) {
            story->nodeAdded(measId);
        }
        return true;
    }

    static bool nodeRemoved(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        u32 radio = 0;
        u32 measId = 0;
        u32 left = 0;
        if (!s.num(radio).lit(" measId[").num(measId).lit("] delete from table, left ").num(left).ok) {
            return false;
        }
        NodeFigures &n = f.addNode(*m.sta, measId, radio);
        ++n.removals;
        n.present = false;
        n.removedAtMs = f.clockMs_;
        // In the timer's walk a node whose last host ran out goes without a
        // line of its own; only the give-up names its station.
        const bool otherGaveUp = f.context_ == Removal::GiveUp && f.contextSta_ != *m.sta;
        n.lastRemoval = otherGaveUp ? Removal::Done : f.context_;
        n.evictions += n.lastRemoval == Removal::Eviction ? 1 : 0;
        if (StoryBuilder *story = f.storyOf(*m.sta)) {
            story->nodeRemoved(measId, kRemovalWhy[static_cast<std::size_t>(n.lastRemoval)],
                               f.startHost_);
        }
        return true;
    }

    static bool requestSent(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        u32 no = 0;
        u32 measId = 0;
        if (!s.num(no).lit(" measure request ").num(measId).ok) {
            return false;
        }
        const bool sent = s.s.starts_with(" successful");
        NodeFigures *n = f.node(*m.sta, measId);
        const u32 r = n != nullptr ? n->radio : f.radioOf(*m.sta);
        f.count(sent ? EventKind::Out : EventKind::OutFail, measId, Column::Requests, r);
        if (n != nullptr) {
            ++(sent ? n->requests : n->failed);
        }
        if (StoryBuilder *story = f.storyOf(*m.sta)) {
            story->requestSent(measId, sent);
        }
        f.context_ = Removal::Done;  // a node deleted after its send had run its count
        f.contextSta_ = *m.sta;
        return true;
    }

    static bool reportCounted(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        u64 reports = 0;
        u64 requests = 0;
        if (!s.num(reports).lit("/").num(requests).ok) {
            return false;
        }
        // The line does not name the measurement: the node whose request count it
        // quotes is the one, LM first when both match.
        NodeFigures *lm = f.node(*m.sta, STAMEAS_MSG_LM_REQ);
        NodeFigures *tpc = f.node(*m.sta, STAMEAS_MSG_TPC_REQ);
        NodeFigures *n = lm != nullptr && lm->present && lm->requests == requests ? lm
                         : tpc != nullptr && tpc->present && tpc->requests == requests ? tpc
                         : lm != nullptr ? lm
                                         : tpc;
        if (n != nullptr) {
            ++n->reports;
        }
        if (StoryBuilder *story = f.storyOf(*m.sta); story != nullptr && n != nullptr) {
            story->reportCounted(n->measId);
        }
        return true;
    }

    static void answer(FieldLog &f, u64 sta, std::optional<u32> radio, bool forwarded)
    {
        const u32 r = radio.value_or(f.radioOf(sta));
        if (radio) {
            f.staRadio_[sta] = *radio;
        }
        f.count(EventKind::In, 0, Column::Answers, r);  // which report, the line does not say
        if (forwarded) {
            f.forwarding_ = r;
        }
    }

    static bool extensionFilled(FieldLog &f, const ModuleLine &m, Scan &)
    {
        answer(f, *m.sta, std::nullopt, true);
        return true;
    }

    static bool noBssid(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        u32 radio = 0;
        if (!s.num(radio).ok) {
            return false;
        }
        answer(f, *m.sta, radio, false);
        return true;
    }

    static bool noNeighbour(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        ++f.unknownNeighbours_[*m.sta];
        return noBssid(f, m, s);
    }

    static bool reportNotSent(FieldLog &f, const ModuleLine &, Scan &)
    {
        f.forwardReport(false);  // the report of the extension line just before
        return true;
    }

    static bool gaveUp(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        u32 measId = 0;
        if (!s.num(measId).ok) {
            return false;
        }
        if (NodeFigures *n = f.node(*m.sta, measId)) {
            ++n->giveUps;
        }
        if (StoryBuilder *story = f.storyOf(*m.sta)) {
            story->gaveUp(measId);
        }
        f.context_ = Removal::GiveUp;
        f.contextSta_ = *m.sta;
        return true;
    }

    static bool hostShare(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        u32 measId = 0;
        u32 host = 0;
        StaMeasSched sched{};
        u32 isAuto = 0;
        if (!s.num(measId).lit(" host:").num(host).ok || host >= 32) {
            return false;
        }
        s.lit(" isLoop:").num(sched.isLoop).lit(" periodInSec:").num(sched.periodInSec);
        s.lit(" count:").num(sched.count).lit(" isAutoMeas:");
        takePrefix(s.s, "-");  // a signed flag: set whatever its sign
        const bool whole = s.num(isAuto).ok;
        const HostShare share{host, sched, isAuto != 0};
        if (NodeFigures *n = f.node(*m.sta, measId)) {
            n->hosts |= 1u << host;
            if (host < std::size(n->shares) && whole) {
                n->shares[host] = share;
            }
        }
        if (StoryBuilder *story = f.storyOf(*m.sta); story != nullptr && whole) {
            story->shareSet(measId, share);
        }
        return startEntry(f, m, s);
    }

    template <Removal R>
    static bool setContext(FieldLog &f, const ModuleLine &, Scan &)
    {
        f.context_ = R;
        f.contextSta_ = 0;
        f.startRadio_.reset();
        f.startHost_.reset();
        return true;
    }

    static bool stationLeft(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        if (StoryBuilder *story = f.storyOf(*m.sta)) {
            story->left();
        }
        return setContext<Removal::Leave>(f, m, s);
    }

    // Every node of the radio loses the host's share.
    static bool tableCleaned(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        u32 radio = 0;
        u32 host = 0;
        setContext<Removal::Stop>(f, m, s);
        if (!s.num(radio).lit(" host ").num(host).ok) {
            return false;
        }
        for (const u32 measId : {STAMEAS_MSG_LM_REQ, STAMEAS_MSG_TPC_REQ}) {
            const NodeFigures *n = f.story_ != nullptr ? f.node(f.storySta_, measId) : nullptr;
            if (n != nullptr && n->present && n->radio == radio) {
                f.story_->hostStopped(measId, host);
            }
        }
        return true;
    }

    // A station named in a start is on the radio the start is for.
    static bool startEntry(FieldLog &f, const ModuleLine &m, Scan &)
    {
        if (f.startRadio_) {
            f.staRadio_.try_emplace(*m.sta, *f.startRadio_);
        }
        return true;
    }

    static bool refused(FieldLog &f, const ModuleLine &m, Scan &)
    {
        // A report too short to read: an answer all the same, from a radio its
        // line does not say.
        if (m.func.ends_with("ReportMsgProc")) {
            f.count(EventKind::In, 0, Column::Answers, STAMEAS_ALL_RADIO, false);
        }
        return true;
    }

    static bool comeasSent(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        u32 no = 0;
        u32 measId = 0;
        if (!s.num(no).lit(" co-measure request ").num(measId).ok) {
            return false;
        }
        if (!s.s.starts_with(" successful")) {
            return true;
        }
        // Working-channel sends come before the line that names their radio.
        if (m.func != "ZEP_STAMEAS_SendAndDelMeasReq" || !f.scanRadio_) {
            ++f.workChannelSends_;
            return true;
        }
        f.count(EventKind::Out, measId, Column::CoMeas, *f.scanRadio_);
        f.staRadio_.try_emplace(*m.sta, *f.scanRadio_);
        return true;
    }

    static bool comeasStarted(FieldLog &f, const ModuleLine &, Scan &s)
    {
        u32 host = 0;
        u32 radio = 0;
        const bool named = s.num(host).ok && (takePrefix(s.s, " start co-measure with radioId ") ||
                                              takePrefix(s.s, " cant co-measure with radioId "));
        if (!named || !s.num(radio).ok) {
            return false;
        }
        u32 channel = 0;
        const bool listing =
            takePrefix(s.s, ", channel ") && s.num(channel).ok && s.s.starts_with(", number ");
        f.listing_ = listing ? std::optional(std::pair(radio, channel)) : std::nullopt;
        f.count(EventKind::In, STAMEAS_MSG_COMEAS_START, Column::None, radio);
        for (; f.workChannelSends_ > 0; --f.workChannelSends_) {
            f.count(EventKind::Out, 0, Column::CoMeas, radio);
        }
        return true;
    }

    static bool scanServed(FieldLog &f, const ModuleLine &, Scan &s)
    {
        u32 radio = 0;
        u32 channel = 0;
        if (!s.num(radio).lit(" channel ").num(channel).ok) {
            return false;
        }
        f.scanRadio_ = radio;
        ChannelWait &w = f.channelWaits_[{radio, channel}];
        ++w.served;
        endWait(f, w);
        return true;
    }

    // The channel's requests went out or were dropped: how long they waited.
    static void endWait(const FieldLog &f, ChannelWait &w)
    {
        const std::optional<u64> now = f.now();
        if (w.waiting && w.sinceMs && now && *now - *w.sinceMs >= w.longestMs) {
            w.longestMs = *now - *w.sinceMs;
            w.longestFromMs = w.sinceMs;
        }
        w.waiting = false;
    }

    static bool comeasListed(FieldLog &f)
    {
        if (f.listing_) {
            ChannelWait &w = f.channelWaits_[*f.listing_];
            ++w.listed;
            if (!w.waiting) {
                w.waiting = true;
                w.sinceMs = f.now();
                w.untimed = w.untimed || !w.sinceMs;
            }
        }
        return true;
    }

    static bool scanChannelsChanged(FieldLog &f, const ModuleLine &, Scan &s)
    {
        u32 radio = 0;
        if (!s.num(radio).ok) {
            return false;
        }
        if (!s.s.starts_with(" scan channel set update")) {
            return true;  // another "Radio " line: nothing to keep
        }
        for (auto it = f.channelWaits_.lower_bound({radio, 0}); it != f.channelWaits_.end() && it->first.first == radio;
             ++it) {
            it->second.dropped += it->second.waiting ? 1 : 0;
            endWait(f, it->second);
        }
        return true;
    }

    static bool scanTriggered(FieldLog &f, const ModuleLine &, Scan &s)
    {
        u32 radio = 0;
        if (!s.num(radio).ok) {
            return false;
        }
        f.count(EventKind::Out, STAMEAS_MSG_CO_SCAN_TRIG, Column::Scans, radio, false);
        return true;
    }

    static bool nbSatisfied(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        const std::optional<u64> nb = takeMac(s.s);
        if (!nb || !s.lit("] checkSsid:").ok) {
            return false;
        }
        if (holds(s.s, " not satisfied")) {
            return true;
        }
        if (f.openBlocks_.empty() || f.openBlocks_.back().nb != *nb) {
            f.openBlocks_.push_back({*nb, {}});
        }
        std::vector<u32> &radios = f.openBlocks_.back().radios;
        const u32 r = f.radioOf(*m.sta);
        if (std::find(radios.begin(), radios.end(), r) == radios.end()) {
            radios.push_back(r);
        }
        return true;
    }

    static bool nbFlushed(FieldLog &f, const ModuleLine &, Scan &)
    {
        f.commitBlocks();
        return true;
    }

    static bool nbLost(FieldLog &f, const ModuleLine &, Scan &)
    {
        f.openBlocks_.clear();
        return true;
    }

    static bool statsNotYet(FieldLog &f, const ModuleLine &, Scan &s)
    {
        u32 radio = 0;
        u64 now = 0;
        if (!s.num(radio).lit(" do not record, it is not yet time. timeNow[").num(now).ok) {
            return false;
        }
        f.clockMs_ = now;
        return true;
    }

    static bool statsHeader(FieldLog &f, const ModuleLine &, Scan &s)
    {
        StatsLine st;
        if (!s.num(st.radio).lit("]:").ok) {
            return false;
        }
        f.openStats_ = st;
        // The module writes the three figures in the same line; a syslog that
        // splits it at the line breaks gives them as continuation lines.
        f.continuation(s.s);
        return true;
    }

    static bool cost(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        // The handler's name is the text's first word.
        const std::string_view handler = m.text.substr(0, m.text.find(' '));
        s.s = m.text.substr(handler.size());
        CostFigures c;
        if (!s.lit(" cost min/avg/max = ").num(c.min).lit("/").num(c.avg).lit("/").num(c.max).ok) {
            return false;
        }
        CostFigures &kept = f.costs_[std::string(handler)];
        c.lines = kept.lines + 1;
        kept = c;
        return true;
    }

    static bool requestOrComeas(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        Scan ahead = s;
        u32 no = 0;
        return ahead.num(no).lit(" co-measure ").ok ? comeasSent(f, m, s) : requestSent(f, m, s);
    }

    static bool nodeLine(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        if (holds(s.s, " add into table")) {
            return nodeAdded(f, m, s);
        }
        if (holds(s.s, " delete from table")) {
            return nodeRemoved(f, m, s);
        }
        if (u32 radio = 0; holds(s.s, " sta measure list reach max number ")) {
            return s.num(radio).ok;
        }
        return holds(s.s, " sta measure ") || holds(s.s, " hash add fail ");
    }

    static bool hostOrComeasShare(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        return holds(s.s, " topHost:") ? comeasListed(f) : hostShare(f, m, s);
    }

    static bool stationStop(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        if (holds(s.s, " stop measure id ")) {
            u32 host = 0;
            u32 measId = 0;
            if (StoryBuilder *story = f.storyOf(*m.sta);
                story != nullptr && s.num(host).lit(" stop measure id ").num(measId).ok) {
                story->hostStopped(measId, host);
            }
            return setContext<Removal::Stop>(f, m, s);
        }
        return holds(s.s, " stop co-measure id ");
    }

    static bool comeasDropped(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        u32 radio = 0;
        if (!s.num(radio).ok) {
            return false;
        }
        f.staRadio_.try_emplace(*m.sta, radio);
        return true;
    }

    static bool plainHost(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        const std::string_view t = s.s;
        if (holds(t, " start measure, ")) {
            setContext<Removal::Eviction>(f, m, s);  // room made for the new nodes
            u32 host = 0;
            f.startHost_ = Scan{t}.num(host).ok ? std::optional<u32>(host) : std::nullopt;
            u32 radio = 0;
            const std::size_t at = t.rfind(" radio ");
            s.s = t.substr(at == std::string_view::npos ? t.size() : at + 7);
            f.startRadio_ = s.num(radio).ok ? std::optional<u32>(radio) : std::nullopt;
            return true;
        }
        if (holds(t, " stop measure, ")) {
            return setContext<Removal::Stop>(f, m, s);
        }
        if (holds(t, " co-measure with radioId ")) {
            return comeasStarted(f, m, s);
        }
        return holds(t, " stop measure with radioId ");
    }

    // The log event counts a radio's scan switch, skipped rounds and inhibited
    // scans; here only the radio of their lines is checked.
    static bool plainRadio(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        const std::string_view t = s.s;
        if (holds(t, " trigger co-measure, ")) {
            return scanServed(f, m, s);
        }
        const bool counted = holds(t, " dont send measure request as meas-disabled") ||
                             holds(t, " scanSwitch ") || holds(t, " scan inhibit.");
        u32 radio = 0;
        return counted ? s.num(radio).ok : holds(t, " co-measure request as meas-disabled.");
    }

    static bool plainStats(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        if (takePrefix(s.s, "radio:")) {
            return statsNotYet(f, m, s);
        }
        return takePrefix(s.s, "STA Comeas Stats [Radio:") ? statsHeader(f, m, s) : true;
    }

    static bool trigger(FieldLog &f, const ModuleLine &m, Scan &s)
    {
        return s.s.starts_with("fail") ? true : scanTriggered(f, m, s.lit("success, radio["));
    }
};

namespace {

using Pattern = Handlers::Pattern;

// Station lines, the most frequent first.
constexpr Pattern kStationPatterns[] = {
    {"Send No.", Handlers::requestOrComeas, Tag::Note},
    {"meas report received ", Handlers::reportCounted, Tag::Note},
    {"bssid:[", Handlers::extensionFilled, Tag::Note},
    {"new sta dont measure.", Handlers::ignore, Tag::Note},
    {"Radio ", Handlers::nodeLine, Tag::Note},
    {"measId:", Handlers::hostOrComeasShare, Tag::Note},
    {"nb[", Handlers::nbSatisfied, Tag::Note},
    {"measId[", Handlers::ignore, Tag::Note},
    {"cant get bssid for radio ", Handlers::noBssid, Tag::Error},
    {"cant get nb bssid for radio ", Handlers::noNeighbour, Tag::Note},
    {"cant get nb eirp for radio ", Handlers::noNeighbour, Tag::Note},
    {"cant get nb scan eirp for radio ", Handlers::noNeighbour, Tag::Note},
    {kReportNotSent, Handlers::reportNotSent, Tag::Error},
    {"sta dont support measId ", Handlers::gaveUp, Tag::Note},
    {"Host ", Handlers::stationStop, Tag::Note},
    {"Sta leave, clean measure node.", Handlers::stationLeft, Tag::Note},
    {"unsupport measId ", Handlers::startEntry, Tag::Note},
    {"Drop co-meas request as radio ", Handlers::comeasDropped, Tag::Note},
    {"Sta co-measure list reach max number ", Handlers::ignore, Tag::Note},
    {"Sta co-measure node malloc fail", Handlers::ignore, Tag::Error},
    {"cant find sta info.", Handlers::ignore, Tag::Error},
    {"Cant get measure host", Handlers::ignore, Tag::Error},
};

// Lines about no one station. They carry no severity tag: each format has its own.
constexpr Pattern kPlainPatterns[] = {
    {"[STA-COMEAS-LOG] ", Handlers::plainStats, Tag::Note},
    {"ZEP_STA", Handlers::cost, Tag::Note},
    {"radio ", Handlers::plainRadio, Tag::Note},
    {"Host ", Handlers::plainHost, Tag::Note},
    {"msg err ", Handlers::refused, Tag::Error},
    {"Clean table with radioId ", Handlers::tableCleaned, Tag::Note},
    {"Clean list with measId ", Handlers::ignore, Tag::Note},
    {"send msg to trig co-scan ", Handlers::trigger, Tag::Note},
    {"send co-measure request success to nb ", Handlers::nbFlushed, Tag::Note},
    {"send nb co-measure request fail ", Handlers::nbLost, Tag::Error},
    {"no sta can be measured by nb ", Handlers::ignore, Tag::Note},
    {"Radio ", Handlers::scanChannelsChanged, Tag::Note},
    {"radioId[", Handlers::ignore, Tag::Note},
    {"sta measure timer ", Handlers::ignore, Tag::Note},
    {"cant get scan", Handlers::ignore, Tag::Note},
    {"Sta co-measure list ", Handlers::ignore, Tag::None},
};

// Plain formats written only on failure paths.
constexpr std::string_view kPlainErrors[] = {
    "msg err ", "invalid ", "Invalid ", "malloc ", "Malloc ", "get radio ", "get cfg fail",
    "get time fail", "reg ", "Unreg ", "unreg ", "app init failed ", "create data obj fail ",
    "sta measure table init fail ", "sta co-measure ", "co-measure request sta num ",
};

// Plain formats whose severity depends on the outcome they report.
Tag plainSeverity(std::string_view text, Tag fallback)
{
    const bool failed = holds(text, " fail") || text.starts_with("[STA-COMEAS-LOG] invalid") ||
                        text.starts_with("[STA-COMEAS-LOG] log comeas") ||
                        text.starts_with("[STA-COMEAS-LOG] get time") ||
                        text.starts_with("Invalid endTick");
    if (failed) {
        return Tag::Error;
    }
    return text.starts_with("[STA-COMEAS-LOG] STA Comeas Stats") ? Tag::None : fallback;
}

}  // namespace

NodeFigures *FieldLog::node(u64 sta, u32 measId)
{
    const auto at = nodeIndex_.find({sta, measId});
    return at == nodeIndex_.end() ? nullptr : &nodes_[at->second];
}

NodeFigures &FieldLog::addNode(u64 sta, u32 measId, u32 radio)
{
    staRadio_[sta] = radio;
    const auto [at, added] = nodeIndex_.try_emplace({sta, measId}, nodes_.size());
    if (added) {
        NodeFigures n;
        n.sta = sta;
        n.measId = measId;
        nodes_.push_back(n);
    }
    NodeFigures &n = nodes_[at->second];
    n.radio = radio;
    return n;
}

u64 FieldLog::timerRounds() const
{
    const auto it = costs_.find(std::string_view("ZEP_STAMEAS_MeasTimerTimeout"));
    return it == costs_.end() ? 0 : it->second.lines;
}

u32 FieldLog::radioOf(u64 sta) const
{
    const auto at = staRadio_.find(sta);
    return at == staRadio_.end() ? STAMEAS_ALL_RADIO : at->second;
}

std::map<std::pair<u32, u64>, RadioFigures> FieldLog::hours() const
{
    std::map<std::pair<u32, u64>, RadioFigures> byRadio;
    for (const auto &[hour, iv] : figures_.hours()) {
        for (const auto &[radio, figures] : iv.radios) {
            byRadio[{radio, hour}] = figures;
        }
    }
    return byRadio;
}

void FieldLog::count(EventKind kind, u32 id, Column column, u32 radio, bool hourly)
{
    Event ev;
    ev.kind = kind;
    ev.t = clockMs_.value_or(0);
    ev.id = id;
    ev.column = column;
    ev.radio = radio;
    hourly ? figures_.onEvent(ev) : figures_.countInTotal(ev);
}

void FieldLog::countLine(const ModuleLine &m, Tag severity)
{
    line_.kind = EventKind::Log;
    line_.t = clockMs_.value_or(0);
    line_.severity = severity == Tag::Error ? 2 : 0;
    // The module's text from its function on, as a play's log event holds it.
    line_.text.assign(m.func.data(), static_cast<std::size_t>(m.text.data() + m.text.size() - m.func.data()));
    figures_.onEvent(line_);
}

// A report the extension line filled goes out unless the next line says it failed.
void FieldLog::forwardReport(bool sent)
{
    if (forwarding_) {
        count(sent ? EventKind::Out : EventKind::OutFail, STAMEAS_MSG_MEAS_REPORT, Column::Reports, *forwarding_);
        forwarding_.reset();
    }
}

// The blocks of one neighbour walk went out in one IPC: its fields name each
// block's stations by radio, as the message's decoded fields do.
void FieldLog::commitBlocks()
{
    if (openBlocks_.empty()) {
        return;
    }
    Event ipc;
    ipc.kind = EventKind::Ipc;
    ipc.t = clockMs_.value_or(0);
    ipc.id = STAMEAS_MSG_COMEAS_TO_NB;
    Json &blocks = ipc.fields.emplace()["blocks"] = Json::array();
    for (const Block &b : openBlocks_) {
        Json stations = Json::array();
        for (const u32 r : b.radios) {
            stations.push_back({{"radioId", r}});
        }
        blocks.push_back({{"stations", std::move(stations)}});
    }
    figures_.onEvent(ipc);
    openBlocks_.clear();
}

void FieldLog::noteError(const ModuleLine &m, u64 lineNo)
{
    const auto [it, added] = errors_.try_emplace(errorKind(m.func, m.text));
    ErrorFigures &e = it->second;
    if (added) {
        e.example = std::string(m.func) + ": " + std::string(m.text);
        e.firstLine = lineNo;
    }
    ++e.count;
    ++errorLines_;
    e.lastLine = lineNo;
    if (run_ && lineNo - run_->lastLine > kBurstGap) {
        if (run_->errors >= kBurstErrors) {
            bursts_.push_back(*run_);
        }
        run_.reset();
    }
    if (!run_) {
        run_ = Burst{lineNo, lineNo, 0};
    }
    ++run_->errors;
    run_->lastLine = lineNo;
}

void FieldLog::noteUnparsed(std::string_view line)
{
    ++unparsedCount_;
    if (unparsed_.size() < kUnparsedKept) {
        unparsed_.emplace_back(line);
    }
}

bool FieldLog::continuation(std::string_view line)
{
    if (!openStats_) {
        return false;
    }
    std::string_view rest = line;
    // Each figure is "name[value]"; the three may share one line or come one a line.
    const auto field = [&rest](std::string_view name, u64 &value) {
        const std::size_t at = rest.find(name);
        if (at == std::string_view::npos) {
            return false;
        }
        rest.remove_prefix(at + name.size());
        const auto n = takeNumber(rest);
        value = n.value_or(value);
        return n.has_value();
    };
    bool any = field("sendCoMeasReqCount[", openStats_->sent);
    any = field("rcvCoMeasReportCount[", openStats_->received) || any;
    if (field("logTimestamp[", openStats_->timestampMs)) {
        stats_.push_back(*openStats_);
        clockMs_ = std::max(clockMs_.value_or(0), openStats_->timestampMs);
        openStats_.reset();
        return true;
    }
    return any;
}

bool FieldLog::dispatch(const ModuleLine &m, u64 lineNo)
{
    const bool station = m.sta.has_value();
    const std::span<const Pattern> patterns = station ? std::span<const Pattern>(kStationPatterns)
                                                      : std::span<const Pattern>(kPlainPatterns);
    const char first = m.text.empty() ? '\0' : m.text.front();
    for (const Pattern &p : patterns) {
        if (p.prefix.front() != first || !startsWith(m.text, p.prefix)) {
            continue;
        }
        Scan s{m.text.substr(p.prefix.size())};
        const bool parsed = p.fn(*this, m, s);
        const Tag sev = station ? (m.tag != Tag::None ? m.tag : p.severity)
                                : plainSeverity(m.text, p.severity);
        notesSeen_ = notesSeen_ || sev == Tag::Note;
        if (sev == Tag::Error) {
            noteError(m, lineNo);
        }
        countLine(m, sev);
        return parsed;
    }
    const bool knownError = m.tag == Tag::Error ||
                            std::any_of(std::begin(kPlainErrors), std::end(kPlainErrors),
                                        [&](std::string_view e) { return m.text.starts_with(e); });
    if (knownError) {
        noteError(m, lineNo);
    }
    countLine(m, knownError ? Tag::Error : m.tag);
    return knownError;
}

void FieldLog::feed(std::string_view line, u64 lineNo)
{
    ++lines_;
    const auto m = findModuleLine(line);
    if (!m) {
        if (continuation(line)) {
            ++moduleLines_;
        }
        return;
    }
    ++moduleLines_;
    // The neighbour walk's lines all come from these two; any other line means
    // its last buffer went out.
    if (!openBlocks_.empty() && m->func != "ZEP_STAMEAS_SendCoMeasToSpecNb" &&
        m->func != "ZEP_STAMEAS_CoMeasReqProc") {
        commitBlocks();
    }
    if (!startsWith(m->text, kReportNotSent)) {
        forwardReport(true);
    }
    if (!dispatch(*m, lineNo)) {
        noteUnparsed(line);
    }
}

void FieldLog::feedLong(std::string_view start, u64 length)
{
    ++lines_;
    ++moduleLines_;
    noteUnparsed(std::string(start) + "... (" + std::to_string(length) + " bytes in all)");
}

void FieldLog::feedText(std::string_view text)
{
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.find_first_not_of('\r') != std::string_view::npos) {
            feed(line, lines_ + 1);
        }
    }
}

void FieldLog::tell(StoryBuilder &story)
{
    story_ = &story;
    storySta_ = 0;
    for (const u8 byte : story.station()) {
        storySta_ = storySta_ << 8 | byte;
    }
}

void FieldLog::finish()
{
    forwardReport(true);
    commitBlocks();
    if (run_ && run_->errors >= kBurstErrors) {
        bursts_.push_back(*run_);
    }
    run_.reset();
}

}  // namespace zep::sim::logs
