// The closing summary: per radio what the application did, and per handler what
// it cost (wall-clock time of the handler in this process), from the run's figures.
#pragma once

#include <ostream>
#include <span>

#include "base/sim_json.hpp"
#include "findings/finding.hpp"
#include "out/run_figures.hpp"

namespace zep::sim {

// playedMs: the virtual time the run covered, which may pass its last
// event. The findings come first, before the tables.
void printSummary(std::ostream &out, const RunFigures &figures, u64 playedMs,
                  std::span<const Finding> findings);
// The same figures for scripts (--summary-json).
Json summaryJson(const RunFigures &figures, u64 playedMs);

}  // namespace zep::sim
