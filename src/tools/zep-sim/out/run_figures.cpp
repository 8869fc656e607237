#include "out/run_figures.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>

#include "sta_meas_msg.h"
#include "wire/msg_catalog.hpp"

namespace zep::sim {

namespace {

// Interval widths a person reads easily; each divides the next, so intervals
// merge whole when the run outgrows the current width.
constexpr std::array<u64, 12> kWidthsMs = {1000,    2000,    10000,    20000,    60000,    120000,
                                           600000,  1200000, 3600000, 7200000, 21600000, 43200000};

// Cost keys of the handlers that are not messages, sorted after every message id.
constexpr u32 kConfigKey = ~0u - 1;
constexpr u32 kLeaveKey = ~0u;

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

std::optional<u32> handlerKey(const Event &ev)
{
    switch (ev.kind) {
    case EventKind::In:
    case EventKind::Rpc: return ev.id;
    case EventKind::Config: return kConfigKey;
    case EventKind::Leave: return kLeaveKey;
    default: return std::nullopt;
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

RunFigures::RunFigures(u32 radios) : radioCount_(radios), widthMs_(kWidthsMs[0])
{
    for (u32 r = 0; r < radios; ++r) {
        radios_.try_emplace(r);  // every configured radio has a row, busy or not
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
    count(ev, perInterval_ ? &at(ev.t) : nullptr);
    if (const std::optional<u32> key = handlerKey(ev); key && ev.status) {
        costs_[*key].add(ev.elapsed, *ev.status != 0);
    }
}

void RunFigures::count(const Event &ev, Interval *iv)
{
    switch (ev.kind) {
    case EventKind::Log:
        ++logs_[std::min<u32>(ev.severity, 2)];
        if (const auto radio = removedFromRadio(ev.text)) {
            ++radios_[*radio].removals;
            if (iv != nullptr) {
                ++iv->radios[*radio].removals;
            }
        }
        return;
    case EventKind::Ipc:
        ++ipcMessages_;
        countBlocks(ev, iv);
        return;
    case EventKind::OutFail: ++failedOut_; return;
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
    if (ev.column != Column::None) {
        radios_[ev.radio].count(ev.column);
        if (iv != nullptr) {
            iv->radios[ev.radio].count(ev.column);
        }
    }
}

// Blocks to neighbours are rare (one IPC per neighbour request), so they are
// counted from the decoded fields rather than from the wire.
void RunFigures::countBlocks(const Event &ev, Interval *iv)
{
    const auto blocks = ev.fields.find("blocks");
    if (iv != nullptr) {
        iv->nbBytes += ev.body.size();
        iv->nbBlocks += blocks == ev.fields.end() ? 0 : blocks->size();
    }
    if (blocks == ev.fields.end()) {
        return;
    }
    for (const auto &block : *blocks) {
        ++nbBlocks_;
        std::set<u32> radios;
        for (const auto &sta : block["stations"]) {
            radios.insert(sta["radioId"].get<u32>());
        }
        for (const u32 r : radios) {
            ++radios_[r].nbBlocks;
        }
    }
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
