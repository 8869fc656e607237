// What a replay shows beside its verdict: the host's observer is a play's
// event fan-out, so the replayed entries, sends, log lines and registrations
// reach the sinks a play's do (timeline, trace, summary, report). Here is
// only what a replay has and a play does not: the station and radio facts
// the recording answered, and the sizes the recorded dumps answered, which
// the report asks for.
#pragma once

#include <map>
#include <vector>

#include "logs/field_log.hpp"
#include "out/report_collector.hpp"
#include "out/summary.hpp"
#include "record_format.hpp"
#include "run/event_fanout.hpp"
#include "run/output_sinks.hpp"
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

class ReplayView final : private EventSink, private StateProbe {
public:
    // The view's fan-out becomes host's observer until the view goes away.
    ReplayView(host::Host &host, const ViewOptions &options);
    ~ReplayView() override;
    ReplayView(const ReplayView &) = delete;
    ReplayView &operator=(const ReplayView &) = delete;

    // What the replayer tells about each entry.
    EventFanout &fanout() { return fanout_; }
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

private:
    // EventSink, after every other: the module's lines read as an access
    // point's, and the sizes the dumps answered.
    void onEvent(const Event &ev) override;
    void noteListSize(u32 rpcId, std::span<const u8> reply);

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
    std::map<u32, u32> tableSizes_;
    std::map<std::pair<u32, u32>, u32> listSizes_;
};

// The station and radio facts an answered call gave: what the ledger builds
// the module's automatic requests from, as a play's scenario gives them.
void noteFacts(HostLedger &ledger, const zep::record::RecordedCall &call, u64 result, std::span<const u8> out);

}  // namespace zep::sim::replay
