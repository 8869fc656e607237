#include "out/report_collector.hpp"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "sta_meas_msg.h"
#include "out/summary.hpp"
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

u64 blocksIn(const Event &ev)
{
    const auto blocks = ev.fields.find("blocks");
    return blocks == ev.fields.end() ? 0 : blocks->size();
}

// The table logs "Radio R measId[M] delete from table, left N." for every node
// it removes, whatever the reason.
std::optional<u32> removedFromRadio(const std::string &text)
{
    constexpr std::string_view kRemoved = "delete from table";
    constexpr std::string_view kRadio = "Radio ";
    if (text.find(kRemoved) == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t at = text.find(kRadio);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return static_cast<u32>(std::strtoul(text.c_str() + at + kRadio.size(), nullptr, 10));
}

// Events after which no handler is running, so the state can be looked at.
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

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

}  // namespace

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

ReportCollector::ReportCollector(u64 startMs, u32 radios)
    : startMs_(startMs), radios_(radios), widthMs_(kWidthsMs[0]), lastMs_(startMs)
{
}

void ReportCollector::attach(StateProbe &probe, const host::Faults &faults)
{
    probe_ = &probe;
    faults_ = &faults;
    injectedSeen_ = faults.injectedFailures();
}

void ReportCollector::widen()
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

Interval &ReportCollector::at(u64 t)
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

void ReportCollector::onEvent(const Event &ev)
{
    ++events_;
    lastMs_ = std::max(lastMs_, ev.t);
    Interval &iv = at(ev.t);
    count(ev, iv);
    costOf(ev);
    markOf(ev);
    if (handlerReturned(ev.kind)) {
        const std::size_t index = static_cast<std::size_t>(&iv - intervals_.data());
        if (sampledInterval_ != index) {
            sampledInterval_ = index;
            sample(iv);
        }
    }
}

void ReportCollector::sample(Interval &iv)
{
    if (probe_ == nullptr) {
        return;
    }
    for (u32 radio = 0; radio < radios_; ++radio) {
        iv.radios[radio].notePeak(probe_->tableSize(radio));
    }
    for (u32 radio = 0; radio < radios_; ++radio) {
        for (const u32 channel : channels_) {
            if (const auto n = probe_->comeasSize(radio, channel)) {
                u32 &listed = iv.listed[{radio, channel}];
                listed = std::max(listed, *n);
            }
        }
    }
}

void ReportCollector::count(const Event &ev, Interval &iv)
{
    switch (ev.kind) {
    case EventKind::Log:
        ++logs_[std::min<u32>(ev.severity, 2)];
        if (const auto radio = removedFromRadio(ev.text)) {
            ++iv.radios[*radio].removals;
        }
        return;
    case EventKind::Ipc:
        ++ipc_;
        iv.nbBytes += ev.body.size();
        iv.nbBlocks += blocksIn(ev);
        return;
    case EventKind::In:
        if (ev.id == STAMEAS_MSG_COMEAS_START) {
            // A start may name every radio; each radio's list is looked at.
            const auto channel = channelOfStart(ev.body);
            if (channel && std::find(channels_.begin(), channels_.end(), *channel) == channels_.end()) {
                channels_.push_back(*channel);
            }
        }
        break;
    case EventKind::Out:
        break;
    default:
        return;
    }
    if (ev.column == Column::None) {
        return;
    }
    iv.radios[ev.radio].count(ev.column);
}

void ReportCollector::costOf(const Event &ev)
{
    const std::optional<u32> key = handlerKey(ev);
    if (!ev.status || !key) {
        return;
    }
    handlers_[*key].add(ev.elapsed, *ev.status != 0);
}

void ReportCollector::mark(Mark::Kind kind, u64 t, std::string text)
{
    if (marks_.size() >= kMaxMarks) {
        ++marksLeftOut_;
        return;
    }
    marks_.push_back({kind, t, std::move(text)});
}

void ReportCollector::markOf(const Event &ev)
{
    switch (ev.kind) {
    case EventKind::OutFail:
    case EventKind::IpcFail:
        ++failedSends_;
        mark(Mark::Kind::FailedSend, ev.t,
             "send of " + msgLabel(ev.id) + " failed, status " + std::to_string(*ev.status) +
                 " (in " + msgLabel(ev.context) + ")");
        break;
    case EventKind::Log:
        if (ev.severity >= 2) {
            mark(Mark::Kind::ErrorLog, ev.t, trimmed(ev.text));
        }
        break;
    case EventKind::Expect: {
        const bool ok = ev.json.value("ok", false);
        std::string text = "expect at line " + std::to_string(ev.json.value("line", 0)) +
                           (ok ? " held" : " failed");
        for (const auto &failure : ev.json.value("failures", Json::array())) {
            text += "; " + failure.get<std::string>();
        }
        mark(ok ? Mark::Kind::ExpectHeld : Mark::Kind::ExpectFailed, ev.t, std::move(text));
        break;
    }
    default:
        break;
    }
    if (faults_ != nullptr && handlerReturned(ev.kind) &&
        faults_->injectedFailures() > injectedSeen_) {
        const u64 fired = faults_->injectedFailures() - injectedSeen_;
        injectedSeen_ = faults_->injectedFailures();
        const std::optional<u32> key = handlerKey(ev);
        const std::string where = key ? handlerName(*key) : std::string();
        mark(Mark::Kind::FaultFired, ev.t,
             std::to_string(fired) + " injected failure(s)" +
                 (where.empty() ? "" : " while " + where + " ran"));
    }
}

}  // namespace zep::sim
