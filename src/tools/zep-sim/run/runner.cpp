#include "run/runner.hpp"

#include "logs/log_view.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "base/hex.hpp"
#include "base/time_text.hpp"
#include "sta_meas_msg.h"
#include "wire/codec.hpp"

namespace zep::sim {

namespace {

constexpr u64 kDefaultSeed = 1;

template <class Rec>
std::vector<u8> bytesOf(const Rec &rec)
{
    std::vector<u8> out(sizeof(Rec));
    std::memcpy(out.data(), &rec, sizeof(Rec));
    return out;
}

Json statusJson(const std::optional<u32> &status)
{
    return status ? Json(*status) : Json(nullptr);
}

// Hands the window every expect among the steps, repeats included, so that it
// keeps what they read and nothing more.
void watchExpects(Window &window, const std::vector<Step> &steps)
{
    for (const Step &st : steps) {
        if (const auto *c = std::get_if<step::Check>(&st.action)) {
            window.watch(c->expect);
        } else if (const auto *r = std::get_if<step::Repeat>(&st.action)) {
            watchExpects(window, r->steps);
        }
    }
}

}  // namespace

Runner::Runner(const Scenario &scenario, RunOptions options)
    : sc_(scenario),
      opt_(std::move(options)),
      seed_(opt_.seed.value_or(sc_.seed.value_or(kDefaultSeed))),
      host_(sc_.profile),
      fanout_(host_),
      stations_(seed_),
      summary_(sc_.profile.radios)
{
    watchExpects(window_, sc_.steps);
    std::string error;
    if (opt_.linkedApp != nullptr) {
        host_.useLinkedApp(opt_.linkedApp);
    } else if (!host_.loadSharedApp(opt_.libPath, &error)) {
        throw LoadError("cannot load " + opt_.libPath + ": " + error);
    }
    fanout_.addSink(*this);
    const bool showTimeline = opt_.human != nullptr && opt_.timeline;
    outputs_ = attachOutputs(fanout_, summary_,
                             {showTimeline ? opt_.human : nullptr, opt_.verbose, opt_.trace, opt_.sinks, opt_.report,
                              sc_.findingLimits},
                             *this, host_.faults());
    timeline_ = outputs_.timeline.get();
    buildWorld();
    host_.setObserver(&fanout_);
}

Runner::~Runner()
{
    host_.setObserver(nullptr);
}

void Runner::buildWorld()
{
    for (const auto &[id, facts] : sc_.radios) {
        host_.radio(id) = facts;
    }
    HostLedger &ledger = fanout_.ledger();
    for (const auto &[id, facts] : sc_.radios) {
        ledger.setRadio(id, facts.curEirp, facts.maxPower);
    }
    for (const StationEntry &s : sc_.stations) {
        host_.addStation(s.facts);
        ledger.setStation(s.facts);
        stations_.add(s);
    }
    for (const host::NeighbourFacts &nb : sc_.neighbours) {
        host_.addNeighbour(nb);
    }
    for (const host::TokenFacts &t : sc_.tokens) {
        host_.addToken(t);
    }
    for (const ScanRadioEntry &s : sc_.scanRadio) {
        host_.setScanRadio(s.channel, s.freqInd, s.radio);
    }
    for (const FaultRule &f : sc_.faults) {
        host_.faults().failCall(f.call, f.nth, f.count, f.status);
    }
    host_.setNowMs(sc_.clockStartMs);
    host_.setLogThreshold(opt_.logLevel.value_or(sc_.logLevel));
    host_.setLogToStderr(false);
    host_.setCaptureLogs(false);
    host_.setCaptureSent(false);
}

std::vector<Failure> Runner::run()
{
    const auto begin = std::chrono::steady_clock::now();
    if (opt_.progress != nullptr) {
        progress_.emplace(*opt_.progress, host_.nowMs(), sc_.durationMs);
    }
    if (timeline_) {
        std::ostream &out = *opt_.human;
        out << "zep-sim: " << (sc_.name.empty() ? sc_.file : sc_.name + " (" + sc_.file + ")")
            << "\n";
        if (!sc_.description.empty()) {
            out << "  " << sc_.description << "\n";
        }
        out << "  library " << opt_.libPath << ", seed " << seed_ << ", " << sc_.profile.radios
            << " radio(s)\n\n";
        timeline_->printHeader();
    }
    for (std::size_t i = 0; i < sc_.steps.size() && !stopAsked(); ++i) {
        play(sc_.steps[i], i);
    }
    if (progress_) {
        progress_->clear();
    }
    stationLog_.finish();
    if (opt_.human != nullptr) {
        printSummary(*opt_.human, summary_, playedMs(), findings());
        logs::printStationTable(*opt_.human, stations());
        printRunFigures(std::chrono::steady_clock::now() - begin);
        opt_.human->flush();
    }
    if (opt_.trace != nullptr) {
        opt_.trace->flush();
    }
    return failures_;
}

u64 Runner::playedMs() const
{
    return host_.nowMs() - sc_.clockStartMs;
}

bool Runner::stopAsked()
{
    interrupted_ = interrupted_ || (opt_.stop != nullptr && *opt_.stop != 0);
    return interrupted_;
}

void Runner::play(const Step &step, std::size_t index)
{
    stepIndex_ = index;
    stepLine_ = step.line;
    stepName_ = step.op + " (line " + std::to_string(step.line) + ")";
    fanout_.beginStep(index, step.line, step.op);
    std::visit([this](const auto &action) { exec(action); }, step.action);
    if (running_) {
        snapshotNodes();
    }
    if (opt_.afterStep) {
        opt_.afterStep(host_, running_);
    }
    fanout_.endStep();
    host_.clearCaptures();
}

Needs Runner::needs() const
{
    // Expectations that match patterns look at whole trace objects.
    return window_.matchesPatterns() ? Needs().add(Need::Object) : Needs();
}

void Runner::onEvent(const Event &ev)
{
    ++events_;
    // Only while nothing else is being printed to the screen.
    if (progress_ && (!timeline_ || timeline_->muted())) {
        progress_->tick(ev.t, events_);
    }
    window_.add(ev);
    if (ev.kind == EventKind::Log) {
        stationLog_.setLineTime(ev.t);
        stationLog_.feedText(ev.text);
    }
    // Measurement requests from the timer reach the stations, which may answer.
    if (ev.kind != EventKind::Out || !ev.name.empty()) {
        return;
    }
    if (const auto wake = stations_.request(host_.nowMs(), ev.id, ev.body)) {
        host_.schedule(*wake, [this] { deliverAnswers(); });
    }
}

void Runner::deliverAnswers()
{
    const u64 now = host_.nowMs();
    stations_.woken(now);
    while (const auto a = stations_.takeDue(now)) {
        if (stations_.present(a->sta)) {  // a station that has left says nothing
            deliver(a->reportId, a->body());
        }
    }
}

Event Runner::runnerEvent(EventKind kind, const char *ev) const
{
    return stepEvent(kind, ev, host_.nowMs());
}

Event stepEvent(EventKind kind, const char *ev, u64 atMs)
{
    Event e;
    e.kind = kind;
    e.t = atMs;
    e.json = Json{{"ev", ev}, {"t", e.t}};
    return e;
}

Event configEvent(u64 atMs, u32 radio, std::optional<std::span<const u8>> raw, std::span<const u8> value,
                  std::optional<u32> status, std::chrono::nanoseconds elapsed)
{
    Event e = stepEvent(EventKind::Config, "config", atMs);
    e.elapsed = elapsed;
    e.status = status;
    (*e.json)["radio"] = radio;
    (*e.json)["status"] = statusJson(status);
    if (raw) {
        e.summary = "raw message of " + std::to_string(raw->size()) + " bytes";
        (*e.json)["fields"] = {{"raw", toHex(*raw)}};
    } else {
        const u32 switchValue = value.empty() ? 0 : value.front();
        e.summary = "radio " + std::to_string(radio) + " scanSwitch " + std::to_string(switchValue);
        (*e.json)["fields"] = {{"scanSwitch", switchValue}, {"hex", toHex(value)}};
    }
    return e;
}

Event leaveEvent(u64 atMs, const std::optional<Mac> &sta, std::optional<u32> status,
                 std::chrono::nanoseconds elapsed)
{
    Event e = stepEvent(EventKind::Leave, "leave", atMs);
    e.elapsed = elapsed;
    e.status = status;
    (*e.json)["sta"] = sta ? Json(macText(*sta)) : Json(nullptr);
    (*e.json)["status"] = statusJson(status);
    e.summary = sta ? macText(*sta) : "(null station)";
    return e;
}

void Runner::setStatus(std::optional<u32> status)
{
    last_.seen = true;
    last_.status = status;
    last_.step = stepName_;
}

std::optional<u32> Runner::deliver(u32 msgId, std::span<const u8> body)
{
    const u32 outer = fanout_.context();
    fanout_.offering(msgId, body);
    fanout_.setContext(msgId);
    const std::optional<u32> status = host_.deliver(msgId, body);
    fanout_.setContext(outer);
    fanout_.withdrawOffer();
    if (!status) {
        Event e = runnerEvent(EventKind::Unhandled, "unhandled");
        e.id = msgId;
        e.body = body;
        (*e.json)["id"] = msgId;
        (*e.json)["len"] = body.size();
        Decoded d = decodeInbound(msgId, body);
        e.summary = std::move(d.summary);
        if (!d.fields.empty()) {
            (*e.json)["fields"] = std::move(d.fields);
        }
        fanout_.emit(e);
    }
    return status;
}

void Runner::exec(const step::Start &)
{
    const u32 status = host_.start();
    running_ = running_ || status == 0;
    setStatus(status);
}

void Runner::exec(const step::Stop &)
{
    running_ = false;
    setStatus(host_.deinit());
}

void Runner::exec(const step::Send &s)
{
    setStatus(deliver(s.id, s.body));
}

void Runner::exec(const step::Rpc &s)
{
    std::vector<u8> buffer = s.body;
    fanout_.setContext(s.id);
    const std::optional<u32> status = host_.rpc(s.id, buffer);
    fanout_.setContext(0);
    if (!status) {
        Event e = runnerEvent(EventKind::Unhandled, "unhandled");
        e.id = s.id;
        (*e.json)["id"] = s.id;
        (*e.json)["len"] = s.body.size();
        fanout_.emit(e);
    }
    setStatus(status);
}

void Runner::exec(const step::Advance &s)
{
    fanout_.setContext(STAMEAS_MSG_MEAS_TIMER);
    if (opt_.stop == nullptr) {
        host_.advance(s.ms);
    } else {
        // In slices, to look at the stop flag; the events and their order are
        // those of one advance, since each slice plays everything due up to its end.
        constexpr u64 kSliceMs = 1000;
        for (u64 left = s.ms; left > 0 && !stopAsked();) {
            const u64 slice = std::min(left, kSliceMs);
            host_.advance(slice);
            left -= slice;
        }
    }
    fanout_.setContext(0);
}

void Runner::exec(const step::Config &s)
{
    const auto begin = std::chrono::steady_clock::now();
    const std::optional<u32> status =
        s.raw ? host_.deliverRawConfig(ZEP_CFG_ITEM_SCAN_SWITCH, *s.raw)
              : host_.deliverConfig(ZEP_CFG_ITEM_SCAN_SWITCH, s.radio, s.value);
    fanout_.emit(configEvent(host_.nowMs(), s.radio, s.raw ? std::optional<std::span<const u8>>(*s.raw) : std::nullopt,
                             s.value, status, std::chrono::steady_clock::now() - begin));
    setStatus(status);
}

void Runner::exec(const step::StaLeave &s)
{
    const auto begin = std::chrono::steady_clock::now();
    const Mac mac = s.sta.value_or(Mac{});
    const std::optional<u32> status = host_.staLeave(s.sta ? &mac : nullptr);
    Event e = leaveEvent(host_.nowMs(), s.sta, status, std::chrono::steady_clock::now() - begin);
    if (s.sta && s.keep) {
        e.summary += " (stays in the station database)";
    }
    fanout_.emit(e);
    if (s.sta && status == 0u) {
        fanout_.ledger().stationLeft(mac);
    }
    if (s.sta && !s.keep) {
        host_.removeStation(mac);
        fanout_.ledger().forgetStation(mac);
        stations_.remove(mac);
    }
    setStatus(status);
}

void Runner::exec(const step::Note &s)
{
    Event e = runnerEvent(EventKind::Note, "note");
    e.text = s.text;
    (*e.json)["text"] = s.text;
    fanout_.emit(e);
}

void Runner::exec(const step::AddStation &s)
{
    host_.addStation(s.sta.facts);
    fanout_.ledger().setStation(s.sta.facts);
    stations_.add(s.sta);
}

void Runner::exec(const step::RemoveStation &s)
{
    host_.removeStation(s.mac);
    fanout_.ledger().forgetStation(s.mac);
    stations_.remove(s.mac);
}

void Runner::exec(const step::AddNeighbour &s)
{
    host_.addNeighbour(s.nb);
}

void Runner::exec(const step::ClearNeighbours &)
{
    host_.clearNeighbours();
}

void Runner::exec(const step::AddToken &s)
{
    host_.addToken(s.token);
}

void Runner::exec(const step::ClearTokens &)
{
    host_.clearTokens();
}

void Runner::exec(const step::Fault &s)
{
    host_.faults().failCall(s.fault.call, s.fault.nth, s.fault.count, s.fault.status);
}

void Runner::exec(const step::Dump &s)
{
    const LastStatus kept = last_;
    for (const u32 radio : s.radios) {
        StaMeasListRpcMsg m{};
        m.radioId = radio;
        exec(step::Rpc{STAMEAS_RPC_GET_MEAS_LIST, bytesOf(m)});
    }
    for (const auto &[radio, channel] : s.comeasLists) {
        StaCoMeasListRpcMsg m{};
        m.radioId = radio;
        m.channel = channel;
        exec(step::Rpc{STAMEAS_RPC_GET_COMEAS_LIST, bytesOf(m)});
    }
    last_ = kept;
}

void Runner::exec(const step::Check &s)
{
    const std::vector<std::string> failed = checkExpect(s.expect, window_, last_, *this);
    ++checksPlayed_;
    Event e = runnerEvent(EventKind::Expect, "expect");
    (*e.json)["line"] = stepLine_;
    (*e.json)["ok"] = failed.empty();
    (*e.json)["failures"] = failed;
    fanout_.emit(e);
    window_.clear();
    last_ = {};
    for (const std::string &what : failed) {
        failures_.push_back(Failure{stepIndex_ + 1, stepLine_, what});
    }
}

void Runner::exec(const step::Repeat &r)
{
    const u64 firstStart = host_.nowMs();
    const int line = stepLine_;
    const bool showAll = opt_.verbose || !timeline_ || timeline_->muted();
    playPasses(r, 0, firstStart);
    if (r.times == 1) {
        return;
    }
    if (!showAll) {
        timeline_->mute("passes 2 to " + std::to_string(r.times) + " of the repeat at line " +
                        std::to_string(line) + " are not shown (-v shows them)");
        fanout_.refreshNeeds();
    }
    playPasses(r, 1, firstStart);
    if (!showAll) {
        if (progress_) {
            progress_->clear();
        }
        timeline_->unmute();
        fanout_.refreshNeeds();
    }
}

void Runner::printRunFigures(std::chrono::steady_clock::duration wall) const
{
    const double seconds = std::chrono::duration<double>(wall).count();
    char line[160];
    std::snprintf(line, sizeof(line),
                  "\nRan %s s of virtual time in %.2f s of wall time: %llu events, %.0f events/s\n",
                  formatSeconds(playedMs()).c_str(), seconds,
                  static_cast<unsigned long long>(events_),
                  seconds > 0 ? static_cast<double>(events_) / seconds : 0.0);
    *opt_.human << line;
}

void Runner::playPasses(const step::Repeat &r, u64 from, u64 firstStart)
{
    const u64 until = from == 0 ? 1 : r.times;
    for (u64 pass = from; pass < until && !stopAsked(); ++pass) {
        for (const Step &st : r.steps) {
            if (stopAsked()) {
                return;
            }
            play(st, stepIndex_);
        }
        if (r.every) {
            // The reader made sure no pass runs past its slot.
            const u64 next = firstStart + (pass + 1) * *r.every;
            if (next > host_.nowMs()) {
                exec(step::Advance{next - host_.nowMs()});
            }
        }
    }
}

std::optional<std::vector<u8>> Runner::silentRpc(u32 msgId, std::vector<u8> buffer)
{
    // Looking must not show up in what is looked at: no events while it runs.
    host_.setObserver(nullptr);
    const std::optional<u32> status = host_.rpc(msgId, buffer);
    host_.setObserver(&fanout_);
    if (status != 0u) {
        return std::nullopt;
    }
    return buffer;
}

std::optional<u32> Runner::tableSize(u32 radio)
{
    StaMeasListRpcMsg m{};
    m.radioId = radio;
    const auto answer = silentRpc(STAMEAS_RPC_GET_MEAS_LIST, bytesOf(m));
    if (!answer) {
        return std::nullopt;
    }
    return (*answer)[offsetof(StaMeasListRpcMsg, num)];
}

std::optional<u32> Runner::comeasSize(u32 radio, u32 channel)
{
    StaCoMeasListRpcMsg m{};
    m.radioId = radio;
    m.channel = channel;
    const auto answer = silentRpc(STAMEAS_RPC_GET_COMEAS_LIST, bytesOf(m));
    if (!answer) {
        return std::nullopt;
    }
    return (*answer)[offsetof(StaCoMeasListRpcMsg, num)];
}

bool Runner::handlerRegistered(u32 msgId)
{
    return host_.hasHandler(ZEP_MSG_KIND_EVENT, msgId) || host_.hasHandler(ZEP_MSG_KIND_RPC, msgId);
}

std::uint64_t Runner::liveBlocks()
{
    return host_.memory().liveBlocks() + host_.memory().livePools();
}

std::uint64_t Runner::activeTimers()
{
    return host_.activeTimers();
}

void Runner::snapshotNodes()
{
    for (u32 radio = 0; radio < sc_.profile.radios; ++radio) {
        if (const auto n = tableSize(radio)) {
            summary_.setNodes(radio, *n);
        }
    }
}

}  // namespace zep::sim
