// Plays a scenario: builds the host's world, loads the application, runs the
// steps on the virtual clock, answers requests for the stations, checks the
// expectations, and feeds every event to the timeline, the trace and the summary.
#pragma once

#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/events.hpp"
#include "logs/field_log.hpp"
#include "out/progress.hpp"
#include "out/report_collector.hpp"
#include "out/summary.hpp"
#include "run/output_sinks.hpp"
#include "run/event_fanout.hpp"
#include "run/station_model.hpp"
#include "run/station_rows.hpp"
#include "scenario/expect.hpp"
#include "scenario/scenario.hpp"

namespace zep::sim {

struct RunOptions {
    std::string libPath;
    std::optional<u64> seed;          // overrides the scenario's
    std::optional<u32> logLevel;      // overrides host.logLevel
    bool verbose = false;             // every log line in the timeline
    bool timeline = true;             // false: the summary alone on human
    std::ostream *human = nullptr;    // timeline and summary; null for none
    std::ostream *trace = nullptr;    // JSON Lines; null for none
    std::ostream *progress = nullptr;  // a terminal for the progress line; null for none
    // A program that links the application in (a soak driver) gives its entry
    // here instead of libPath, and may look at the host after every step.
    host::Host::RegEntry linkedApp = nullptr;
    std::function<void(host::Host &, bool started)> afterStep;
    std::vector<EventSink *> sinks;   // further listeners, after the trace
    ReportCollector *report = nullptr;  // counters for the HTML report; null for none
    // Set non-zero (from a signal handler) to end the run early: it stops within
    // a second of virtual time, and the summary and the trace cover what was played.
    const volatile std::sig_atomic_t *stop = nullptr;
};

// The application library could not be loaded.
class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Failure {
    std::size_t step = 0;  // from 1
    int line = 0;
    std::string what;
};

// An event a runner makes of a step rather than the host's observer; and the
// ones it makes of `config` and `leave` steps, which a replay makes of the
// recorded entries those steps deliver: a one-item configuration message (its
// radio and scan-switch value) or raw bytes, and a station (or null) leaving.
Event stepEvent(EventKind kind, const char *ev, u64 atMs);
Event configEvent(u64 atMs, u32 radio, std::optional<std::span<const u8>> raw, std::span<const u8> value,
                  std::optional<u32> status, std::chrono::nanoseconds elapsed);
Event leaveEvent(u64 atMs, const std::optional<Mac> &sta, std::optional<u32> status,
                 std::chrono::nanoseconds elapsed);

class Runner : private EventSink, private StateProbe {
public:
    Runner(const Scenario &scenario, RunOptions options);
    ~Runner() override;

    // Plays every step; the failed expectations, in order.
    std::vector<Failure> run();
    u64 seed() const { return seed_; }
    // Events recorded so far: messages handled and sent, log lines, steps' own.
    u64 events() const { return events_; }
    // expect steps played so far, each pass of a repeat counting again.
    std::size_t checksPlayed() const { return checksPlayed_; }
    // Whether the stop flag ended the run before its last step.
    bool interrupted() const { return interrupted_; }
    const RunFigures &summary() const { return summary_; }
    // What a person should look at in the run so far, warnings first.
    std::vector<Finding> findings() const
    {
        return outputs_.findings->findings(summary_, stationLog_, notesKept(), host_.nowMs());
    }
    // The station table, from the run's events; why a node last left, from
    // the notes when the log level kept them.
    std::vector<logs::StationRow> stations() const
    {
        return stationRows(ledger(), notesKept() ? &stationLog_ : nullptr);
    }
    // The module's log lines of the run, read as an access point's.
    const logs::FieldLog &stationLog() const { return stationLog_; }
    // What each host asked for, as the run's events told it.
    const HostLedger &ledger() const { return fanout_.ledger(); }
    // Virtual time played, from the scenario's clock start.
    u64 playedMs() const;

private:
    // EventSink: the journal that expectations look back on, and the stations' answers.
    Needs needs() const override;
    void onEvent(const Event &ev) override;
    // StateProbe, answered through silent RPCs and the host.
    std::optional<u32> tableSize(u32 radio) override;
    std::optional<u32> comeasSize(u32 radio, u32 channel) override;
    bool handlerRegistered(u32 msgId) override;
    std::uint64_t liveBlocks() override;
    std::uint64_t activeTimers() override;

    void buildWorld();
    void play(const Step &step, std::size_t index);
    void exec(const step::Start &);
    void exec(const step::Stop &);
    void exec(const step::Send &s);
    void exec(const step::Rpc &s);
    void exec(const step::Advance &s);
    void exec(const step::Config &s);
    void exec(const step::StaLeave &s);
    void exec(const step::Note &s);
    void exec(const step::AddStation &s);
    void exec(const step::RemoveStation &s);
    void exec(const step::AddNeighbour &s);
    void exec(const step::ClearNeighbours &);
    void exec(const step::AddToken &s);
    void exec(const step::ClearTokens &);
    void exec(const step::Fault &s);
    void exec(const step::Dump &s);
    void exec(const step::Check &s);
    void exec(const step::Repeat &r);
    void playPasses(const step::Repeat &r, u64 from, u64 firstStart);
    bool stopAsked();

    std::optional<u32> deliver(u32 msgId, std::span<const u8> body);
    void deliverAnswers();
    std::optional<std::vector<u8>> silentRpc(u32 msgId, std::vector<u8> buffer);
    void snapshotNodes();
    void printRunFigures(std::chrono::steady_clock::duration wall) const;
    void setStatus(std::optional<u32> status);
    Event runnerEvent(EventKind kind, const char *ev) const;
    bool notesKept() const { return opt_.logLevel.value_or(sc_.logLevel) == 0; }

    const Scenario &sc_;
    RunOptions opt_;
    u64 seed_;
    host::Host host_;
    EventFanout fanout_;
    StationModel stations_;
    RunFigures summary_;
    // The module's own log lines, read as from an access point's: what
    // findings take from the lines, and why each node last left. At the usual
    // log level of a long run (rare and errors only) it costs next to nothing.
    logs::FieldLog stationLog_{"run"};
    OutputSinks outputs_;
    Timeline *timeline_ = nullptr;  // outputs_'s, when there is one

    Window window_;
    LastStatus last_;
    std::string stepName_;
    std::size_t stepIndex_ = 0;
    int stepLine_ = 0;
    bool running_ = false;
    std::vector<Failure> failures_;
    std::size_t checksPlayed_ = 0;
    bool interrupted_ = false;
    u64 events_ = 0;
    std::optional<Progress> progress_;
};

}  // namespace zep::sim
