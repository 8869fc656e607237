// What a replay shows beside its verdict: the replayed entries, sends, log
// lines and registrations become the events a play's sinks take (timeline,
// trace, summary, report), through the same event fan-out a play uses.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include "logs/field_log.hpp"
#include "out/report_collector.hpp"
#include "out/summary.hpp"
#include "run/output_sinks.hpp"
#include "replay/replayer.hpp"
#include "run/event_fanout.hpp"
#include "run/station_rows.hpp"

namespace zep::sim::replay {

struct ViewOptions {
    std::ostream *timeline = nullptr;  // the timeline and the summary; null for neither
    bool verbose = false;              // every log line in the timeline
    std::ostream *trace = nullptr;     // JSON Lines; null for none
    std::vector<EventSink *> sinks;    // further listeners, after the trace
    ReportCollector *report = nullptr;
    u32 logLevel = 0;                  // lines below it are replayed, not shown
    u32 radios = 0;                    // as the recording's profile answered
};

class ReplayView final : public Watcher, public host::Observer, private StateProbe {
public:
    // The view becomes host's observer until it goes away.
    ReplayView(host::Host &host, const ViewOptions &options);
    ~ReplayView() override;
    ReplayView(const ReplayView &) = delete;
    ReplayView &operator=(const ReplayView &) = delete;

    // Flushes what the timeline holds back and prints the summary and the stations' table.
    void finish(u64 playedMs);
    const RunFigures &summary() const { return summary_; }
    std::vector<Finding> findings() const
    {
        return outputs_.findings->findings(summary_, stationLog_, logLevel_ == 0, endMs_);
    }
    // The station table, from the replayed events as a play builds it.
    std::vector<logs::StationRow> stations() const
    {
        return stationRows(ledger(), logLevel_ == 0 ? &stationLog_ : nullptr);
    }
    // What each host asked for, as the replayed entries told it.
    const HostLedger &ledger() const { return fanout_.ledger(); }

    void entering(const zep::record::Event &entry) override;
    void returned(const zep::record::Event &entry, u32 status, std::span<const u8> body) override;
    void answered(const zep::record::Event &call, u64 result, std::span<const u8> out) override;

    void onAppRegistered(u32 status) override { fanout_.onAppRegistered(status); }
    void onLog(const host::LogLine &line) override;

private:
    void emitConfig(std::span<const u8> msg, u32 status, std::chrono::nanoseconds elapsed);
    void emitLeave(std::span<const u8> station, u32 status, std::chrono::nanoseconds elapsed);
    void noteListSize(u32 rpcId, std::span<const u8> reply);
    // The station and radio facts the recording answered: what the ledger
    // builds the module's automatic requests from, as a play's scenario gives them.
    void noteFacts(const zep::record::Event &call, u64 result, std::span<const u8> out);
    Event runnerEvent(EventKind kind, const char *ev) const;

    // StateProbe for the report: the sizes the recorded dumps answered, since
    // a replay cannot ask the application anything the recording did not.
    std::optional<u32> tableSize(u32 radio) override;
    std::optional<u32> comeasSize(u32 radio, u32 channel) override;
    bool handlerRegistered(u32) override { return false; }
    std::uint64_t liveBlocks() override { return 0; }
    std::uint64_t activeTimers() override { return 0; }

    host::Host &host_;
    EventFanout fanout_;
    RunFigures summary_;
    OutputSinks outputs_;
    std::ostream *human_;
    u32 logLevel_;
    logs::FieldLog stationLog_{"replay"};
    std::optional<u64> endMs_;  // the clock when the replay finished
    std::vector<u8> offered_;  // the entry's body before the handler could change it
    std::chrono::steady_clock::time_point began_;
    std::map<u32, u32> tableSizes_;
    std::map<std::pair<u32, u32>, u32> listSizes_;
};

}  // namespace zep::sim::replay
