// A run's section of the HTML report: what the report collector gathered while
// the run went on, as the page draws it. The station table is added by the
// caller, which holds the run's log of the module.
#pragma once

#include <chrono>
#include <string>

#include "base/sim_json.hpp"
#include "out/report_collector.hpp"

namespace zep::sim {

struct RunFacts {
    std::string scenario;  // name, or the file when it has none
    std::string file;
    std::string library;
    u64 seed = 0;
    std::chrono::duration<double> wall{0};
};

Json runSection(const ReportCollector &collected, const RunFacts &facts);

}  // namespace zep::sim
