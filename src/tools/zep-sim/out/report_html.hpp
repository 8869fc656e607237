// The HTML run report: one self-contained file (the charting library and the
// run's data inlined) that opens offline in any browser.
#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <string_view>

#include "out/report_collector.hpp"

namespace zep::sim {

struct RunFacts {
    std::string scenario;  // name, or the file when it has none
    std::string file;
    std::string library;
    u64 seed = 0;
    std::chrono::duration<double> wall{0};
};

// Embedded at build time: the page template and Chart.js from Debian's libjs-chart.js.
std::string_view reportTemplateText();
std::string_view chartJsText();

// The data the page draws, as one JSON object.
Json reportData(const ReportCollector &collected, const RunFacts &facts);
void writeReport(std::ostream &out, const ReportCollector &collected, const RunFacts &facts);
// Whether this build carries the charting library the report needs.
bool reportAvailable();
// Writes the report into file, opened at path, and says on human where, how
// large and how long it took; false when the file could not be written.
bool saveReport(std::ostream &file, const std::string &path, const ReportCollector &collected,
                const RunFacts &facts, std::ostream &human);

}  // namespace zep::sim
