// zep-sim: plays a scenario against the sta-meas library on the emulated
// framework. Exit status: 0 all expectations held, 1 one failed, 2 the scenario
// (or the library) could not be read.
#include <CLI/CLI.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string_view>

#include "compare/compare_cli.hpp"
#include "replay/replay_cli.hpp"
#include <unistd.h>

#include "out/report_html.hpp"
#include "run/runner.hpp"
#include "scenario/demo.hpp"
#include "scenario/scenario_reader.hpp"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUnreadable = 2;

// libsta_meas.so in the lib/ directory beside the program's bin/, else whatever
// the loader finds on its search path.
std::string defaultLibrary(const char *name = "libsta_meas.so")
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path lib = exe.parent_path() / ".." / "lib" / name;
        if (std::filesystem::exists(lib, ec)) {
            return lib.lexically_normal().string();
        }
    }
    return name;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::string_view(argv[1]) == "compare") {
        return zep::sim::compareMain(argc - 1, argv + 1);
    }
    if (argc > 1 && std::string_view(argv[1]) == "replay") {
        return zep::sim::replayMain(argc - 1, argv + 1, defaultLibrary());
    }
    CLI::App cli{"Plays a scenario against libsta_meas.so on the emulated framework.\n"
                 "Without a scenario file it plays the built-in demo (scenarios/demo.yaml)."};
    std::string scenarioPath;
    std::string libPath;
    std::string tracePath;
    std::string reportPath;
    std::string recordPath;
    u64 seed = 0;
    u32 logLevel = 0;
    bool verbose = false;
    bool quiet = false;
    cli.add_option("scenario", scenarioPath, "Scenario file (YAML)");
    cli.add_option("--lib", libPath, "The application library (default: ../lib/libsta_meas.so "
                                     "beside this program, else the loader's search path)");
    cli.add_option("--trace", tracePath, "Write the JSON Lines trace to FILE, or to stdout with -")
        ->type_name("FILE|-");
    cli.add_option("--report", reportPath, "Write the HTML report of the run to FILE")
        ->type_name("FILE.html");
    cli.add_option("--record", recordPath, "Play with the recording build (libsta_meas_rec.so) and "
                                           "record the run to FILE, for zep-sim replay")
        ->type_name("FILE");
    auto *seedOpt = cli.add_option("--seed", seed, "Seed of the stations' answers");
    cli.add_flag("-v,--verbose", verbose, "Show every log line in the timeline");
    cli.add_flag("-q,--quiet", quiet, "Print the summary alone, without the timeline");
    auto *levelOpt =
        cli.add_option("--log-level", logLevel, "Lowest log severity kept (0 note, 1 rare, 2 error)");
    CLI11_PARSE(cli, argc, argv);

    zep::sim::Scenario scenario;
    try {
        scenario = scenarioPath.empty()
                       ? zep::sim::readScenarioText(std::string(zep::sim::demoScenarioText()),
                                                    std::string(zep::sim::kDemoScenarioName))
                       : zep::sim::readScenarioFile(scenarioPath);
    } catch (const zep::sim::ScenarioError &e) {
        std::cerr << "zep-sim: " << e.what() << '\n';
        return kExitUnreadable;
    }

    std::ofstream traceFile;
    zep::sim::RunOptions options;
    if (!recordPath.empty()) {
        // The recording build reads this when it is loaded, as it does on a device.
        setenv("STA_MEAS_RECORD", recordPath.c_str(), 1);
    }
    options.libPath = !libPath.empty() ? libPath : defaultLibrary(recordPath.empty() ? "libsta_meas.so" : "libsta_meas_rec.so");
    options.verbose = verbose;
    options.timeline = !quiet;
    options.human = &std::cout;
    if (isatty(STDERR_FILENO) != 0) {
        options.progress = &std::cerr;
    }
    if (*seedOpt) {
        options.seed = seed;
    }
    if (*levelOpt) {
        options.logLevel = logLevel;
    }
    if (tracePath == "-") {
        options.trace = &std::cout;
        options.human = &std::cerr;  // the trace owns stdout
    } else if (!tracePath.empty()) {
        traceFile.open(tracePath, std::ios::binary | std::ios::trunc);
        if (!traceFile) {
            std::cerr << "zep-sim: cannot write the trace to " << tracePath << '\n';
            return kExitUnreadable;
        }
        options.trace = &traceFile;
    }

    zep::sim::ReportCollector report(scenario.clockStartMs, scenario.profile.radios);
    options.report = reportPath.empty() ? nullptr : &report;
    std::vector<zep::sim::Failure> failures;
    zep::sim::RunFacts facts;
    facts.scenario = scenario.name.empty() ? scenario.file : scenario.name;
    facts.file = scenario.file;
    facts.library = options.libPath;
    std::size_t checks = 0;
    try {
        zep::sim::Runner runner(scenario, options);
        const auto begin = std::chrono::steady_clock::now();
        failures = runner.run();
        facts.wall = std::chrono::steady_clock::now() - begin;
        facts.seed = runner.seed();
        checks = runner.checksPlayed();
    } catch (const zep::sim::LoadError &e) {
        std::cerr << "zep-sim: " << e.what() << '\n';
        return kExitUnreadable;
    }
    if (!reportPath.empty() && !zep::sim::saveReport(reportPath, report, facts, *options.human)) {
        return kExitUnreadable;
    }

    std::ostream &out = *options.human;
    if (failures.empty()) {
        out << "\nResult: " << checks << " expect step(s), all held.\n";
        return 0;
    }
    out << "\nResult: " << failures.size() << " failed check(s):\n";
    for (const auto &f : failures) {
        out << "  " << scenario.file << ":" << f.line << ": step " << f.step << " (expect): " << f.what
            << '\n';
    }
    return kExitFailed;
}
