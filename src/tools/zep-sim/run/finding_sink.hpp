// Gathers what findings are drawn from in a play or a replay: the ledger's
// history of each node, the failed sends and the bursts of error lines from
// the events; the handlers' costs come from the summary, which keeps them.
#pragma once

#include <map>
#include <optional>
#include <vector>

#include "base/events.hpp"
#include "findings/finding.hpp"
#include "logs/field_log.hpp"
#include "out/run_figures.hpp"
#include "run/host_ledger.hpp"

namespace zep::sim {

class FindingSink : public EventSink {
public:
    FindingSink(const HostLedger &ledger, FindingLimits limits) : ledger_(ledger), limits_(limits) {}

    void onEvent(const Event &ev) override;
    // The findings so far, with the facts the module's lines held (read into
    // `lines`) and, where known, when the run ended; the burst still open
    // counts if it is one.
    // notesKept: the run's log level let the module's notes through.
    std::vector<Finding> findings(const RunFigures &summary, const logs::FieldLog &lines, bool notesKept,
                                  std::optional<u64> endMs) const;

private:
    void noteError(const Event &ev);
    bool isBurst(const ErrorBursts &run) const { return run.lines >= limits_.burstLines; }
    static void addBurst(ErrorBursts &into, const ErrorBursts &run);

    const HostLedger &ledger_;
    FindingLimits limits_;
    FindingFacts facts_;
    std::optional<ErrorBursts> run_;  // the error lines close together so far
};

}  // namespace zep::sim
