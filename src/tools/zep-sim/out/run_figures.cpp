#include "out/run_figures.hpp"

#include <algorithm>
#include <cstring>
#include <set>

#include "base/text_scan.hpp"
#include "sta_meas_msg.h"
#include "wire/msg_catalog.hpp"

namespace zep::sim {

namespace {

// Interval widths a person reads easily; each divides the next, so intervals
// merge whole when the run outgrows the current width.
constexpr std::array<u64, 12> kWidthsMs = {1000,    2000,    10000,    20000,    60000,    120000,
                                           600000,  1200000, 3600000, 7200000, 21600000, 43200000};

// The channel a co-measurement start names, straight from its header.
std::optional<u32> channelOfStart(std::span<const u8> body)
{
    CoMeasMsgHead head;
    if (body.size() < sizeof(head)) {
        return std::nullopt;
    }
    std::memcpy(&head, body.data(), sizeof(head));
    return head.channel;
}

// The module's message: what follows the function, and the station on station
// lines, that head each of its lines.
std::string_view messageOf(std::string_view text)
{
    // The first "]: ", found by its colon: a search for the three bytes
    // would stop at each bracket of the header, and every line of a field
    // log comes here.
    for (std::size_t at = text.find(':'); at != std::string_view::npos; at = text.find(':', at + 1)) {
        if (at > 0 && text[at - 1] == ']' && at + 1 < text.size() && text[at + 1] == ' ') {
            return text.substr(at + 2);
        }
    }
    return text;
}

// After "Radio R" (table) or "radio R", the lines that count one of the
// radio's figures when counted follows; the radio has a row either way.
struct RadioLine {
    bool table;
    std::string_view rest;
    u64 RadioFigures::*figure;
    std::string_view counted;
};
constexpr RadioLine kRadioLines[] = {
    {true, " sta measure list reach max number ", &RadioFigures::refusedAdds, ""},
    {false, " dont send measure request as meas-disabled", &RadioFigures::disabledRounds, ""},
    {false, " scan inhibit.", &RadioFigures::scanInhibits, ""},
    {false, " scanSwitch ", &RadioFigures::switchedOff, "0."},
};

// After "Radio R": "measId[M] add into table, total N." or "measId[M] delete
// from table, left N.", for every node whatever the reason: whether it was an
// add, and the table's size after it.
std::optional<std::pair<bool, u32>> tableChange(std::string_view m)
{
    if (!takePrefix(m, " measId[") || !takeNumber(m)) {
        return std::nullopt;
    }
    const bool added = takePrefix(m, "] add into table, total ");
    const auto size = added || takePrefix(m, "] delete from table, left ") ? takeNumber(m) : std::nullopt;
    return size ? std::optional(std::pair(added, static_cast<u32>(*size))) : std::nullopt;
}

}  // namespace

bool handlerReturned(EventKind kind)
{
    switch (kind) {
    case EventKind::In:
    case EventKind::Rpc:
    case EventKind::Config:
    case EventKind::Leave:
    case EventKind::Unhandled:
    case EventKind::Phase:
    case EventKind::Note:
    case EventKind::Expect: return true;
    default: return false;
    }
}

std::string handlerName(u32 key)
{
    switch (key) {
    case kConfigKey: return "cfg 32 scan-switch";
    case kLeaveKey: return "station leaves";
    default: return msgLabel(key);
    }
}

void Interval::add(const Interval &o)
{
    for (const auto &[radio, counts] : o.radios) {
        radios[radio].add(counts);
    }
    for (const auto &[key, n] : o.listed) {
        listed[key] = std::max(listed[key], n);
    }
    nbBlocks += o.nbBlocks;
    nbBytes += o.nbBytes;
}

RunFigures::RunFigures(u32 radios, SizeSource sizes) : radioCount_(radios), sizes_(sizes), widthMs_(kWidthsMs[0])
{
    for (u32 r = 0; r < radios; ++r) {
        configured_.push_back(&radios_[r]);  // every configured radio has a row, busy or not
    }
}

void RunFigures::keepIntervals(u64 startMs, StateProbe *probe)
{
    perInterval_ = true;
    startMs_ = startMs;
    probe_ = probe;
}

void RunFigures::onEvent(const Event &ev)
{
    count(ev, intervalOf(ev.t));
    if (const std::optional<u32> key = handlerKey(ev); key && ev.status) {
        costs_[*key].add(ev.elapsed, *ev.status != 0);
    }
}

void RunFigures::count(const Event &ev, Interval *iv)
{
    switch (ev.kind) {
    case EventKind::Log:
        ++logs_[std::min<u32>(ev.severity, 2)];
        countLine(messageOf(ev.text), iv);
        return;
    case EventKind::Ipc:
        ++ipcMessages_;
        countBlocks(ev, iv);
        return;
    case EventKind::OutFail:
        ++failedOut_;
        if (ev.column == Column::Requests) {
            ++row(ev.radio).failedRequests;
        }
        return;
    case EventKind::IpcFail: ++failedIpc_; return;
    case EventKind::In:
        if (iv != nullptr && ev.id == STAMEAS_MSG_COMEAS_START) {
            // A start may name every radio; each radio's list is looked at.
            const auto channel = channelOfStart(ev.body);
            if (channel && std::find(channels_.begin(), channels_.end(), *channel) == channels_.end()) {
                channels_.push_back(*channel);
            }
        }
        break;
    case EventKind::Out: break;
    default: return;
    }
    // A log's radios are those its events name, whether they count or not.
    if (ev.column != Column::None || sizes_ == SizeSource::Lines) {
        row(ev.radio).count(ev.column);
        if (iv != nullptr) {
            iv->radios[ev.radio].count(ev.column);
        }
    }
}

// Blocks to neighbours are rare (one IPC per neighbour request), so they are
// counted from the decoded fields rather than from the wire.
void RunFigures::countBlocks(const Event &ev, Interval *iv)
{
    static const Json kUndecoded = Json::object();
    const Json &fields = ev.fields ? *ev.fields : kUndecoded;
    const auto blocks = fields.find("blocks");
    if (iv != nullptr) {
        iv->nbBytes += ev.body.size();
        iv->nbBlocks += blocks == fields.end() ? 0 : blocks->size();
    }
    if (blocks == fields.end()) {
        return;
    }
    for (const auto &block : *blocks) {
        ++nbBlocks_;
        std::set<u32> radios;
        for (const auto &sta : block["stations"]) {
            radios.insert(sta["radioId"].get<u32>());
        }
        for (const u32 r : radios) {
            ++row(r).nbBlocks;
        }
    }
}

// The lines that tell what no message shows: each node added to or removed
// from a table, and the table's size after it; the stations a full table
// refused; each radio's scan switch, the timer rounds it skipped with
// measurement off and the scans it inhibited.
void RunFigures::countLine(std::string_view m, Interval *iv)
{
    const bool table = takePrefix(m, "Radio ");
    const std::optional<u64> number = table || takePrefix(m, "radio ") ? takeNumber(m) : std::nullopt;
    const auto radio = static_cast<u32>(number.value_or(0));
    for (const RadioLine &line : kRadioLines) {
        if (number && line.table == table && takePrefix(m, line.rest)) {
            if (RadioFigures *r = lineRow(radio)) {
                r->*line.figure += m.starts_with(line.counted) ? 1 : 0;
            }
            return;
        }
    }
    const auto change = number && table ? tableChange(m) : std::nullopt;
    RadioFigures *r = change ? lineRow(radio) : nullptr;
    if (r == nullptr) {
        return;
    }
    ++(change->first ? r->adds : r->removals);
    if (iv != nullptr && !change->first) {
        ++iv->radios[radio].removals;
    }
    if (sizes_ == SizeSource::Lines) {
        r->noteSize(change->second);
        if (iv != nullptr) {
            iv->radios[radio].noteSize(change->second);
        }
    }
}

// A play's radios are those it was given: only a log's lines add one.
RadioFigures *RunFigures::lineRow(u32 radio)
{
    const auto row = radios_.find(radio);
    return row != radios_.end() ? &row->second : sizes_ == SizeSource::Lines ? &radios_[radio] : nullptr;
}

std::map<std::string, HandlerCost> RunFigures::handlerSpreads() const
{
    std::map<std::string, HandlerCost> out;
    for (const auto &[key, cost] : costs_) {
        out[handlerName(key)] = cost;
    }
    return out;
}

std::vector<std::pair<std::string, u64>> RunFigures::failingHandlers() const
{
    std::vector<std::pair<std::string, u64>> out;
    for (const auto &[key, c] : costs_) {
        if (c.failed != 0) {
            out.emplace_back(handlerName(key), c.failed);
        }
    }
    return out;
}

void RunFigures::widen()
{
    const u64 next = widthStep_ + 1 < kWidthsMs.size() ? kWidthsMs[widthStep_ + 1] : widthMs_ * 2;
    const std::size_t factor = next / widthMs_;
    std::vector<Interval> merged((intervals_.size() + factor - 1) / factor);
    for (std::size_t i = 0; i < intervals_.size(); ++i) {
        merged[i / factor].add(intervals_[i]);
    }
    intervals_ = std::move(merged);
    if (sampledInterval_) {
        *sampledInterval_ /= factor;
    }
    widthMs_ = next;
    ++widthStep_;
    currentTo_ = 0;
}

Interval &RunFigures::at(u64 t)
{
    if (t >= currentFrom_ && t < currentTo_) {
        return intervals_[currentIndex_];
    }
    const u64 rel = t > startMs_ ? t - startMs_ : 0;
    while (rel / widthMs_ >= kMaxIntervals) {
        widen();
    }
    const std::size_t index = rel / widthMs_;
    if (index >= intervals_.size()) {
        intervals_.resize(index + 1);
    }
    currentIndex_ = index;
    currentFrom_ = t > startMs_ ? startMs_ + index * widthMs_ : 0;
    currentTo_ = t > startMs_ ? currentFrom_ + widthMs_ : 0;
    return intervals_[index];
}

void RunFigures::sample(const Event &ev)
{
    if (!perInterval_ || !handlerReturned(ev.kind) || sampledInterval_ == currentIndex_) {
        return;
    }
    sampledInterval_ = currentIndex_;
    if (probe_ == nullptr) {
        return;
    }
    Interval &iv = intervals_[currentIndex_];
    for (u32 radio = 0; radio < radioCount_; ++radio) {
        iv.radios[radio].notePeak(probe_->tableSize(radio));
    }
    for (u32 radio = 0; radio < radioCount_; ++radio) {
        for (const u32 channel : channels_) {
            if (const auto n = probe_->comeasSize(radio, channel)) {
                u32 &listed = iv.listed[{radio, channel}];
                listed = std::max(listed, *n);
            }
        }
    }
}

}  // namespace zep::sim
