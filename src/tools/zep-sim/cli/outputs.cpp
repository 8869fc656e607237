#include "cli/outputs.hpp"

#include <iostream>

#include "files.hpp"

#include "logs/log_report.hpp"

namespace zep::sim::cli {

namespace {

// Looks at the files after every step: a full disk ends the run there rather
// than after a day of virtual time. Streams buffer, so a failure shows within
// one buffer of output; the final flush catches the rest.
class WriteWatch : public EventSink {
public:
    explicit WriteWatch(std::vector<std::pair<const std::ostream *, std::string>> streams)
        : streams_(std::move(streams))
    {
    }
    void onEvent(const Event &) override {}
    void endStep() override { check(); }
    void check() const
    {
        for (const auto &[stream, name] : streams_) {
            if (!*stream) {
                throw WriteError("cannot write " + name);
            }
        }
    }

private:
    std::vector<std::pair<const std::ostream *, std::string>> streams_;
};

}  // namespace

Outputs::Outputs(const Scenario &scenario, std::span<const SinkOption> sinkOptions)
    : scenario_(scenario), sinkOptions_(sinkOptions),
      collected_(scenario.clockStartMs)
{
}

std::ofstream *Outputs::openFile(const std::string &path, const std::string &what)
{
    auto file = std::make_unique<std::ofstream>();
    if (const std::string why = record::openOutputFile(*file, path); !why.empty()) {
        std::cerr << "zep-sim: cannot write " << what << " to " << path << ": " << why << '\n';
        return nullptr;
    }
    files_.emplace_back(std::move(file), what + " (" + path + ")");
    return files_.back().first.get();
}

bool Outputs::open(const PlayOptions &options, RunOptions &run)
{
    std::vector<std::pair<const std::ostream *, std::string>> watched;
    if (options.tracePath == "-") {
        run.trace = &std::cout;
        run.human = &std::cerr;  // the trace owns stdout
        watched.emplace_back(&std::cout, "the trace (standard output)");
    } else if (!options.tracePath.empty()) {
        run.trace = openFile(options.tracePath, "the trace");
        if (run.trace == nullptr) {
            return false;
        }
    }
    if (!options.reportPath.empty() && !reportAvailable()) {
        std::cerr << "zep-sim: this build has no charting library (libjs-chart.js), so no --report\n";
        return false;
    }
    const auto want = [&](const std::string &path, const char *what, std::ofstream *&file) {
        return path.empty() || (file = openFile(path, what)) != nullptr;
    };
    if (!want(options.reportPath, "the report", report_) ||
        !want(options.junitPath, "the JUnit report", junit_) ||
        !want(options.summaryJsonPath, "the summary", summaryJson_) || !openSinks(options, run)) {
        return false;
    }
    reportPath_ = options.reportPath;
    run.report = report_ != nullptr ? &collected_ : nullptr;
    if (junit_ != nullptr) {
        run.sinks.push_back(&verdicts_);
    }
    for (const auto &[file, name] : files_) {
        watched.emplace_back(file.get(), name);
    }
    watch_ = std::make_unique<WriteWatch>(std::move(watched));
    run.sinks.push_back(watch_.get());
    return true;
}

bool Outputs::openSinks(const PlayOptions &options, RunOptions &run)
{
    for (std::size_t i = 0; i < sinkOptions_.size(); ++i) {
        const std::string &path = options.sinkPaths[i];
        if (path.empty()) {
            continue;
        }
        std::ofstream *file = openFile(path, std::string(sinkOptions_[i].flag));
        if (file == nullptr) {
            return false;
        }
        sinks_.push_back(sinkOptions_[i].make(*file, scenario_));
        run.sinks.push_back(sinks_.back().get());
    }
    return true;
}

void Outputs::finish(const RunFacts &facts, const Verdict &verdict, std::ostream &human)
{
    if (report_ != nullptr) {
        if (!saveReport(*report_, reportPath_, reportPage(facts, verdict), human)) {
            throw WriteError("cannot write the report to " + reportPath_);
        }
    }
    if (junit_ != nullptr) {
        verdicts_.write(*junit_, facts.scenario, facts.file);
    }
    if (summaryJson_ != nullptr) {
        writeSummaryJson(facts, verdict);
    }
    for (const auto &[file, name] : files_) {
        file->flush();
    }
    static_cast<const WriteWatch &>(*watch_).check();
}

ReportPage Outputs::reportPage(const RunFacts &facts, const Verdict &verdict) const
{
    Json section = runSection(collected_, facts);
    section["findings"] = findingsJson(verdict.findings);
    section["stations"] = logs::stationTable(verdict.stations);
    ReportPage page{section["title"].get<std::string>(), {}};
    page.sections.push_back(std::move(section));
    return page;
}

void Outputs::writeSummaryJson(const RunFacts &facts, const Verdict &verdict)
{
    const Runner &runner = *verdict.runner;
    Json out = summaryJson(runner.summary(), runner.playedMs());
    out["findings"] = findingsJson(verdict.findings);
    out["scenario"] = facts.scenario;
    out["file"] = facts.file;
    out["library"] = facts.library;
    out["seed"] = facts.seed;
    out["events"] = runner.events();
    out["expectsPlayed"] = runner.checksPlayed();
    out["failedChecks"] = verdict.failures;
    out["interrupted"] = runner.interrupted();
    out["exitStatus"] = verdict.status;
    *summaryJson_ << out.dump(2) << '\n';
}

}  // namespace zep::sim::cli
