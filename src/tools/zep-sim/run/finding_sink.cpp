#include "run/finding_sink.hpp"

#include "logs/log_findings.hpp"
#include "out/summary.hpp"
#include "wire/msg_catalog.hpp"

namespace zep::sim {

void FindingSink::onEvent(const Event &ev)
{
    switch (ev.kind) {
    case EventKind::OutFail: facts_.failedSends.note(ev.t, msgLabel(ev.id)); break;
    case EventKind::IpcFail: facts_.failedIpc.note(ev.t, msgLabel(ev.id)); break;
    case EventKind::Log:
        if (ev.severity == 2) {
            noteError(ev);
        }
        break;
    default: break;
    }
}

void FindingSink::noteError(const Event &ev)
{
    ++facts_.errorLines;
    if (run_ && ev.t - *run_->lastMs <= limits_.burstWindowMs) {
        ++run_->lines;
        run_->lastMs = ev.t;
        return;
    }
    if (run_ && isBurst(*run_)) {
        addBurst(facts_.bursts, *run_);
    }
    std::string text = ev.text;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    run_ = ErrorBursts{1, 1, ev.t, ev.t, std::move(text)};
}

void FindingSink::addBurst(ErrorBursts &into, const ErrorBursts &run)
{
    if (into.count == 0) {
        into.firstMs = run.firstMs;
        into.example = run.example;
    }
    ++into.count;
    into.lines += run.lines;
    into.lastMs = run.lastMs;
}

std::vector<Finding> FindingSink::findings(const RunFigures &summary, const logs::FieldLog &lines, bool notesKept,
                                           std::optional<u64> endMs) const
{
    FindingFacts facts = facts_;
    facts.nodes = ledger_.history();
    facts.unmatchedReports = ledger_.unmatchedReports();
    facts.costs = summary.handlerSpreads();
    logs::addLineFacts(lines, facts, notesKept);
    facts.endMs = endMs ? endMs : facts.endMs;
    if (run_ && isBurst(*run_)) {
        addBurst(facts.bursts, *run_);
    }
    return findingsOf(facts, limits_);
}

}  // namespace zep::sim
