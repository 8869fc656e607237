#include "cli/play.hpp"

#include <unistd.h>

#include <chrono>
#include <iostream>

#include "cli/outputs.hpp"
#include "cli/result.hpp"
#include "scenario/demo.hpp"
#include "scenario/scenario_reader.hpp"

namespace zep::sim::cli {

namespace {

std::optional<Scenario> readScenario(const PlayOptions &options)
{
    try {
        if (options.scenarioPath.empty()) {
            return readScenarioText(std::string(demoScenarioText()), std::string(kDemoScenarioName));
        }
        return readScenarioFile(options.scenarioPath);
    } catch (const ScenarioError &e) {
        std::cerr << "zep-sim: " << e.what() << '\n';
        return std::nullopt;
    }
}

RunOptions runOptionsFor(const PlayOptions &options)
{
    RunOptions run;
    if (!options.recordPath.empty()) {
        // The recording build reads this when it is loaded, as it does on a device.
        setenv("STA_MEAS_RECORD", options.recordPath.c_str(), 1);
    }
    run.libPath = !options.libPath.empty()        ? options.libPath
                  : options.recordPath.empty() ? defaultLibrary()
                                               : defaultLibrary("libsta_meas_rec.so");
    run.verbose = options.verbose;
    run.timeline = !options.quiet;
    run.human = &std::cout;
    if (isatty(STDERR_FILENO) != 0) {
        run.progress = &std::cerr;
    }
    run.seed = options.seed;
    run.logLevel = options.logLevel;
    return run;
}

struct Played {
    std::vector<Failure> failures;
    std::size_t checks = 0;
};

std::optional<Played> play(const Scenario &scenario, const RunOptions &run, RunFacts &facts)
{
    try {
        Runner runner(scenario, run);
        const auto begin = std::chrono::steady_clock::now();
        Played played;
        played.failures = runner.run();
        facts.wall = std::chrono::steady_clock::now() - begin;
        facts.seed = runner.seed();
        played.checks = runner.checksPlayed();
        return played;
    } catch (const LoadError &e) {
        std::cerr << "zep-sim: " << e.what() << '\n';
        return std::nullopt;
    }
}

}  // namespace

int playMain(int argc, char **argv, std::span<const Subcommand> /*subcommands*/,
             std::span<const SinkOption> sinkOptions)
{
    CLI::App cli{"Plays a scenario against libsta_meas.so on the emulated framework.\n"
                 "Without a scenario file it plays the built-in demo (scenarios/demo.yaml)."};
    PlayOptions options;
    addPlayOptions(cli, options, sinkOptions);
    CLI11_PARSE(cli, argc, argv);

    const std::optional<Scenario> scenario = readScenario(options);
    if (!scenario) {
        return kExitUnreadable;
    }
    RunOptions run = runOptionsFor(options);
    Outputs outputs(*scenario, sinkOptions);
    if (!outputs.open(options, run)) {
        return kExitUnreadable;
    }
    RunFacts facts;
    facts.scenario = scenario->name.empty() ? scenario->file : scenario->name;
    facts.file = scenario->file;
    facts.library = run.libPath;
    const std::optional<Played> played = play(*scenario, run, facts);
    if (!played || !outputs.finish(facts, *run.human)) {
        return kExitUnreadable;
    }
    return printResult(*run.human, scenario->file, played->failures, played->checks);
}

}  // namespace zep::sim::cli
