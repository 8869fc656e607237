#include "cli/play_options.hpp"

#include <filesystem>

#include "out/trace_writer.hpp"
#include "scenario/scenario.hpp"

namespace zep::sim::cli {

void addPlayOptions(CLI::App &cli, PlayOptions &options, std::span<const SinkOption> sinkOptions)
{
    cli.add_option("scenario", options.scenarioPath,
                   "Scenario file (YAML); - reads it from standard input")
        ->type_name("FILE|-");
    cli.add_option("--lib", options.libPath,
                   "The application library (default: ../lib/libsta_meas.so beside this "
                   "program, else the loader's search path)");
    cli.add_option("--trace", options.tracePath, "Write the JSON Lines trace to FILE, or to stdout with -")
        ->type_name("FILE|-");
    cli.add_option("--report", options.reportPath, "Write the HTML report of the run to FILE")
        ->type_name("FILE.html");
    cli.add_option("--record", options.recordPath,
                   "Play with the recording build (libsta_meas_rec.so) and record the run to FILE")
        ->type_name("FILE");
    cli.add_option("--junit", options.junitPath, "Write the expect verdicts as JUnit XML to FILE")
        ->type_name("FILE.xml");
    cli.add_option("--summary-json", options.summaryJsonPath, "Write the summary as JSON to FILE")
        ->type_name("FILE.json");
    cli.add_option("--seed", options.seed, "Seed of the stations' answers")
        ->check(CLI::Validator(
            [](const std::string &text) {
                // An unsigned parse would take -1 as 2^64 - 1, which the scenario's seed refuses.
                return text.starts_with('-') ? std::string("a seed is 0 or more") : std::string();
            },
            "", "not negative"));
    cli.add_flag("-v,--verbose", options.verbose, "Show every log line in the timeline");
    cli.add_flag("-q,--quiet", options.quiet, "Print the summary alone, without the timeline");
    cli.add_option("--log-level", options.logLevel,
                   "Lowest log severity kept (0 note, 1 rare, 2 error, 3 none)")
        ->check(CLI::Range(0, 3));
    cli.add_flag("--strict", options.strict,
                 "Fail (exit 1) on an error log line, a handler's non-zero status, or a "
                 "scenario without expect");
    options.sinkPaths.resize(sinkOptions.size());
    for (std::size_t i = 0; i < sinkOptions.size(); ++i) {
        cli.add_option(std::string(sinkOptions[i].flag), options.sinkPaths[i],
                       std::string(sinkOptions[i].help))
            ->type_name("FILE");
    }
    cli.set_version_flag("--version", versionText(), "Print the version and the file formats");
}

std::string versionText()
{
    return std::string("zep-sim ") + ZEP_SIM_VERSION + " (scenario format " +
           std::to_string(kScenarioFormat) + ", trace format " + std::to_string(kTraceFormat) + ")";
}

std::string libraryToLoad(const std::string &given, std::string_view name)
{
    std::error_code ec;
    if (!given.empty()) {
        const bool bareName = given.find('/') == std::string::npos;
        return bareName && std::filesystem::is_regular_file(given, ec) ? "./" + given : given;
    }
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path lib = exe.parent_path() / ".." / "lib" / name;
        if (std::filesystem::exists(lib, ec)) {
            return lib.lexically_normal().string();
        }
    }
    return std::string(name);
}

}  // namespace zep::sim::cli
