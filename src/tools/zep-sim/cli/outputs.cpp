#include "cli/outputs.hpp"

#include <iostream>

namespace zep::sim::cli {

Outputs::Outputs(const Scenario &scenario, std::span<const SinkOption> sinkOptions)
    : scenario_(scenario), sinkOptions_(sinkOptions),
      report_(scenario.clockStartMs, scenario.profile.radios)
{
}

bool Outputs::open(const PlayOptions &options, RunOptions &run)
{
    if (!openTrace(options.tracePath, run) || !openSinks(options, run)) {
        return false;
    }
    reportPath_ = options.reportPath;
    run.report = reportPath_.empty() ? nullptr : &report_;
    return true;
}

bool Outputs::openTrace(const std::string &path, RunOptions &run)
{
    if (path == "-") {
        run.trace = &std::cout;
        run.human = &std::cerr;  // the trace owns stdout
        return true;
    }
    if (path.empty()) {
        return true;
    }
    traceFile_.open(path, std::ios::binary | std::ios::trunc);
    if (!traceFile_) {
        std::cerr << "zep-sim: cannot write the trace to " << path << '\n';
        return false;
    }
    run.trace = &traceFile_;
    return true;
}

bool Outputs::openSinks(const PlayOptions &options, RunOptions &run)
{
    for (std::size_t i = 0; i < sinkOptions_.size(); ++i) {
        const std::string &path = options.sinkPaths[i];
        if (path.empty()) {
            continue;
        }
        auto file = std::make_unique<std::ofstream>(path, std::ios::binary | std::ios::trunc);
        if (!*file) {
            std::cerr << "zep-sim: cannot write " << sinkOptions_[i].flag << " to " << path << '\n';
            return false;
        }
        sinks_.push_back(sinkOptions_[i].make(*file, scenario_));
        run.sinks.push_back(sinks_.back().get());
        sinkFiles_.push_back(std::move(file));
    }
    return true;
}

bool Outputs::finish(const RunFacts &facts, std::ostream &human)
{
    return reportPath_.empty() || saveReport(reportPath_, report_, facts, human);
}

}  // namespace zep::sim::cli
