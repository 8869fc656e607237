#include "out/timeline.hpp"

#include <algorithm>
#include <cstdio>
#include <cstddef>
#include <cstring>

#include "base/text_scan.hpp"
#include "base/time_text.hpp"
#include "out/tables.hpp"
#include "sta_meas_msg.h"
#include "wire/msg_catalog.hpp"
#include "zep_dbg.h"

namespace zep::sim {

namespace {

constexpr std::size_t kLabelWidth = 26;
constexpr std::size_t kStatusWidth = 11;
const std::string kNoTime(8, ' ');

// Filled out to width, and at least one space after the text in any case.
std::string padded(std::string text, std::size_t width)
{
    text.resize(std::max(text.size() + 1, width), ' ');
    return text;
}

std::string statusText(const Event &ev)
{
    if (ev.kind == EventKind::Unhandled) {
        return "no handler";
    }
    if (!ev.status) {  // a configuration item or a station leave nobody handles
        return ev.kind == EventKind::Config || ev.kind == EventKind::Leave ? "no handler" : "";
    }
    return *ev.status == 0 ? "ok" : "status " + std::to_string(*ev.status);
}

std::string label(const Event &ev)
{
    return ev.name.empty() ? msgLabel(ev.id) : std::to_string(ev.id) + " " + std::string(ev.name);
}

std::string trimmedLines(const std::string &text, const std::string &continuation)
{
    std::string out;
    forEachLine(text, [&](std::string_view line) {
        out += (out.empty() ? "" : "\n" + continuation) + std::string(line);
    });
    return out;
}

// "  (host 2's share)" after a request the timer sent.
std::string servedHostText(const Event &ev)
{
    if (!ev.servedHost) {
        return "";
    }
    if (*ev.servedHost == kUnknownHost) {
        return "  (host ?)";
    }
    return "  (host " + std::to_string(*ev.servedHost) + "'s share)";
}

}  // namespace

bool Timeline::isParent(const Event &ev) const
{
    constexpr EventKind kChildren[] = {EventKind::Out,     EventKind::Ipc, EventKind::OutFail,
                                       EventKind::IpcFail, EventKind::Log, EventKind::RegMsg,
                                       EventKind::UnregMsg};
    return std::find(std::begin(kChildren), std::end(kChildren), ev.kind) == std::end(kChildren);
}

bool Timeline::shows(const Event &ev, bool parentFailed) const
{
    if (ev.kind != EventKind::Log) {
        return true;
    }
    // Errors always; everything said by a handler that failed, since it says why.
    return verbose_ || parentFailed || ev.severity >= ZEP_DBG_ERROR;
}

Needs Timeline::needs() const
{
    Needs needs;
    needs.add(Need::Object, {EventKind::Expect});
    if (!muted_) {
        needs.add(Need::Text);
        needs.add(Need::Shares, {EventKind::Out, EventKind::OutFail, EventKind::Rpc});
    }
    return needs;
}

void Timeline::mute(const std::string &why)
{
    flushIdle();
    flushOrphans();
    out_ << kNoTime << "  .. " << why << '\n';
    muted_ = true;
}

void Timeline::unmute()
{
    pending_.clear();
    idle_ = {};
    muted_ = false;
}

void Timeline::onEvent(const Event &ev)
{
    if (muted_) {
        if (ev.kind == EventKind::Expect && !(*ev.json)["failures"].empty()) {
            printParent(ev);
        }
        return;
    }
    if (!isParent(ev)) {
        pending_.push_back(ev);
        return;
    }
    // A timer expiry that did nothing visible folds into a count.
    const bool quietTimer = ev.kind == EventKind::In && ev.id == STAMEAS_MSG_MEAS_TIMER &&
                            ev.status == 0u &&
                            std::none_of(pending_.begin(), pending_.end(),
                                         [&](const Event &c) { return shows(c, false); });
    if (quietTimer && !verbose_) {
        if (idle_.count == 0) {
            idle_.first = ev.t;
        }
        ++idle_.count;
        idle_.last = ev.t;
        pending_.clear();
        return;
    }
    flushIdle();
    printParent(ev);
}

void Timeline::beginStep(std::size_t index, int line, const std::string &op)
{
    if (muted_) {
        return;
    }
    flushIdle();
    if (verbose_ && op != "note") {
        out_ << kNoTime << "  -- step " << index + 1 << " (line " << line << "): " << op << '\n';
    }
}

void Timeline::endStep()
{
    if (muted_) {
        return;
    }
    flushIdle();
    flushOrphans();
}

void Timeline::flushIdle()
{
    if (idle_.count == 0) {
        return;
    }
    const std::string what = idle_.count == 1 ? "nothing to send"
                                              : "x" + std::to_string(idle_.count) +
                                                    ", nothing to send, until " +
                                                    formatSeconds(idle_.last);
    emitLine(formatTime(idle_.first) + "  <- " + padded(msgLabel(STAMEAS_MSG_MEAS_TIMER), kLabelWidth - 3) +
             padded("ok", kStatusWidth) + what);
    idle_ = {};
}

void Timeline::flushOrphans()
{
    for (const Event &c : pending_) {
        if (shows(c, false)) {
            printChild(c);
        }
    }
    pending_.clear();
}

namespace {

// How each kind of parent event opens its line: the marker and the name.
struct ParentKind {
    EventKind kind;
    const char *marker;
    std::string (*name)(const Event &);
};

constexpr ParentKind kParentKinds[] = {
    {EventKind::Reg, "**", [](const Event &) -> std::string { return "registration"; }},
    {EventKind::Phase, "**", [](const Event &ev) { return "init phase " + std::to_string(ev.id); }},
    {EventKind::Deinit, "**", [](const Event &) -> std::string { return "de-initialisation"; }},
    {EventKind::In, "<-", label},
    {EventKind::Unhandled, "<-", label},
    {EventKind::Rpc, "<>", label},
    {EventKind::Config, "<-", [](const Event &) -> std::string { return "cfg 32 scan-switch"; }},
    {EventKind::Leave, "<-", [](const Event &) -> std::string { return "station leaves"; }},
};

// Why an accepted message left less behind than one would expect, read from
// what its handler logged: a line of the module and the few words that say it.
struct QuietReason {
    std::string_view logText;
    const char *why;
};

constexpr QuietReason kQuietReasons[] = {
    {"cant co-measure with radioId", "nothing listed: the radio was never seen scanning this channel"},
    {"dont send co-measure request as meas-disabled",
     "working-channel requests not sent: measurement is off on the radio"},
    {"Drop co-meas request as radio", "a working-channel request dropped: the radio is scanning"},
    {"scan inhibit", "no scan asked for: the last was asked less than 500 ms ago"},
};

const ParentKind *parentKind(EventKind kind)
{
    const ParentKind *k = std::find_if(std::begin(kParentKinds), std::end(kParentKinds),
                                       [&](const ParentKind &p) { return p.kind == kind; });
    return k == std::end(kParentKinds) ? nullptr : k;
}

}  // namespace

void Timeline::printParent(const Event &ev)
{
    if (ev.kind == EventKind::Note) {
        out_ << '\n' << kNoTime << "  == " << ev.text << " ==\n";
        return;
    }
    if (ev.kind == EventKind::Expect) {
        printExpect(ev);
        return;
    }
    const ParentKind *k = parentKind(ev.kind);
    const std::string marker = k != nullptr ? k->marker : "";
    const std::string name = k != nullptr ? k->name(ev) : "";
    emitLine(formatTime(ev.t) + "  " + marker + ' ' + padded(name, kLabelWidth - 3) +
             padded(statusText(ev), kStatusWidth) + withRegistrations(ev));
    const bool failed = ev.status.value_or(0) != 0;
    for (const Event &c : pending_) {
        if (shows(c, failed) && c.kind != EventKind::RegMsg && c.kind != EventKind::UnregMsg) {
            printChild(c);
        }
    }
    printWhy(ev);
    pending_.clear();
    printDump(ev);
}

void Timeline::printWhy(const Event &ev)
{
    if (ev.kind == EventKind::Config && ev.status == 0u) {
        unsigned radio = 0;
        unsigned value = 0;
        if (std::sscanf(ev.summary.c_str(), "radio %u scanSwitch %u", &radio, &value) == 2) {
            switchedOn_[radio] = value == 1;
        }
        return;
    }
    if (ev.kind != EventKind::In || ev.status != 0u) {
        return;
    }
    std::vector<const char *> reasons;
    for (const Event &c : pending_) {
        for (const QuietReason &r : kQuietReasons) {
            if (c.kind == EventKind::Log && c.text.find(r.logText) != std::string::npos &&
                std::find(reasons.begin(), reasons.end(), r.why) == reasons.end()) {
                reasons.push_back(r.why);
            }
        }
    }
    for (const char *why : reasons) {
        emitLine(kNoTime + "    why " + why);
    }
    u32 radio = 0;
    if (ev.id == STAMEAS_MSG_MEAS_START && ev.body.size() >= sizeof(StaMeasMsgHead)) {
        std::memcpy(&radio, ev.body.data() + offsetof(StaMeasMsgHead, radioId), sizeof(radio));
        const auto it = switchedOn_.find(radio);
        if (it != switchedOn_.end() && !it->second) {
            emitLine(kNoTime + "    why no request will go out: measurement is off on radio " +
                     std::to_string(radio));
        }
    }
}

void Timeline::printExpect(const Event &ev)
{
    const auto &failures = (*ev.json)["failures"];
    emitLine(formatTime(ev.t) + "  ?? " +
             padded("expect (line " + std::to_string((*ev.json)["line"].get<int>()) + ")",
                    kLabelWidth - 3) +
             (failures.empty() ? "ok" : "FAILED"));
    for (const auto &f : failures) {
        out_ << kNoTime << "       - " << f.get<std::string>() << '\n';
    }
}

// Registrations are listed on their parent's line rather than one by one.
std::string Timeline::withRegistrations(const Event &ev) const
{
    std::string regs;
    for (const Event &c : pending_) {
        if (c.kind == EventKind::RegMsg || c.kind == EventKind::UnregMsg) {
            regs += " " + std::to_string(c.id);
            if (c.status != 0u) {
                regs += "(status " + std::to_string(*c.status) + ")";
            }
        }
    }
    if (regs.empty()) {
        return ev.summary;
    }
    const bool withdrawing = ev.kind == EventKind::Deinit;
    return (withdrawing ? "withdrew" : "registered") + regs +
           (ev.summary.empty() ? "" : "; " + ev.summary);
}

void Timeline::printDump(const Event &ev)
{
    if (ev.kind != EventKind::Rpc || ev.status != 0u) {
        return;
    }
    if (ev.id == STAMEAS_RPC_GET_MEAS_LIST) {
        printMeasTable(out_, ev.body,
                       ev.nodes != nullptr ? std::span(*ev.nodes) : std::span<const NodeShares>());
    } else if (ev.id == STAMEAS_RPC_GET_COMEAS_LIST) {
        printCoMeasList(out_, ev.body);
    }
}

void Timeline::printChild(const Event &ev)
{
    const std::string indent = kNoTime + "    ";
    if (ev.kind == EventKind::Log) {
        printLog(ev, indent.c_str());
        return;
    }
    const bool ipc = ev.kind == EventKind::Ipc || ev.kind == EventKind::IpcFail;
    std::string what = label(ev);
    if (ev.status) {  // the send failed: nothing went out, but the attempt is shown
        what += "  FAILED status " + std::to_string(*ev.status);
    }
    emitLine(indent + (ipc ? "ipc " : "out ") + padded(what, kLabelWidth - 6 + kStatusWidth) +
             ev.summary + servedHostText(ev));
}

void Timeline::printHeader()
{
    emitLine(std::string(4, ' ') + "time  " + padded("what", kLabelWidth) +
             padded("status", kStatusWidth) + "details");
}

void Timeline::emitLine(std::string line)
{
    line.erase(line.find_last_not_of(' ') + 1);
    out_ << line << '\n';
}

void Timeline::printLog(const Event &ev, const char *indent)
{
    const char *tag = ev.severity >= ZEP_DBG_ERROR ? "log!" : "log ";
    const std::string head = std::string(indent) + tag + " cat" + std::to_string(ev.category) + " ";
    emitLine(head + trimmedLines(ev.text, std::string(head.size(), ' ')));
}

}  // namespace zep::sim
