// The files a play writes beside the human output: the trace, the HTML report,
// the JUnit verdicts, the summary as JSON, and any output another part of
// zep-sim adds as a sink with an option of its own. Every file is opened before
// the run, so that a path that cannot be written is known at once, and a write
// that fails ends the run at the end of the step it happened in.
#pragma once

#include <fstream>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/junit.hpp"
#include "cli/play_options.hpp"
#include "out/report_html.hpp"
#include "out/run_section.hpp"
#include "run/runner.hpp"

namespace zep::sim::cli {

// A file of the run could not be written; what() names it.
class WriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the closing files say about the run beyond the summary.
struct Verdict {
    const Runner *runner = nullptr;
    std::size_t failures = 0;
    int status = 0;
    std::vector<logs::StationRow> stations;  // the station table the report shows
    std::vector<Finding> findings;
};

class Outputs {
public:
    Outputs(const Scenario &scenario, std::span<const SinkOption> sinkOptions);

    // Opens every file the options ask for and points the run at them; false,
    // with the reason on stderr, when one cannot be opened.
    bool open(const PlayOptions &options, RunOptions &run);
    // After the run: writes the report, the JUnit verdicts and the summary, and
    // flushes everything. Throws WriteError when a file could not be written.
    void finish(const RunFacts &facts, const Verdict &verdict, std::ostream &human);

private:
    std::ofstream *openFile(const std::string &path, const std::string &what);
    bool openSinks(const PlayOptions &options, RunOptions &run);
    void writeSummaryJson(const RunFacts &facts, const Verdict &verdict);
    ReportPage reportPage(const RunFacts &facts, const Verdict &verdict) const;

    const Scenario &scenario_;
    std::span<const SinkOption> sinkOptions_;
    std::vector<std::pair<std::unique_ptr<std::ofstream>, std::string>> files_;  // with their names
    std::ofstream *report_ = nullptr;
    std::string reportPath_;
    ReportCollector collected_;
    std::ofstream *junit_ = nullptr;
    JunitReport verdicts_;
    std::ofstream *summaryJson_ = nullptr;
    std::vector<std::unique_ptr<EventSink>> sinks_;
    std::unique_ptr<EventSink> watch_;
};

}  // namespace zep::sim::cli
