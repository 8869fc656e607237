// The files a play writes beside the human output: the trace, the HTML report,
// and any output another part of zep-sim adds as a sink with an option of its own.
#pragma once

#include <fstream>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "cli/play_options.hpp"
#include "out/report_html.hpp"
#include "run/runner.hpp"

namespace zep::sim::cli {

class Outputs {
public:
    Outputs(const Scenario &scenario, std::span<const SinkOption> sinkOptions);

    // Opens every file the options ask for and points the run at them; false,
    // with the reason on stderr, when one cannot be opened.
    bool open(const PlayOptions &options, RunOptions &run);
    // After the run: writes the report. False, with the reason said, when a
    // file could not be written.
    bool finish(const RunFacts &facts, std::ostream &human);

private:
    bool openTrace(const std::string &path, RunOptions &run);
    bool openSinks(const PlayOptions &options, RunOptions &run);

    const Scenario &scenario_;
    std::span<const SinkOption> sinkOptions_;
    std::ofstream traceFile_;
    std::string reportPath_;
    ReportCollector report_;
    std::vector<std::unique_ptr<std::ofstream>> sinkFiles_;
    std::vector<std::unique_ptr<EventSink>> sinks_;
};

}  // namespace zep::sim::cli
