#include "compare_cli.hpp"

#include <CLI/CLI.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "compare.hpp"
#include "runner.hpp"
#include "scenario_reader.hpp"

namespace zep::sim {

namespace {

namespace fs = std::filesystem;

// Writes a marker into the trace as each step begins, so that a difference can
// be traced back to the step that caused it.
class StepMarks : public EventSink {
public:
    explicit StepMarks(std::ostream &out) : out_(out) {}
    void onEvent(const Event &) override {}
    void beginStep(std::size_t index, int line, const std::string &op) override
    {
        out_ << compare::stepMarker(index, line, op).dump() << '\n';
    }

private:
    std::ostream &out_;
};

// Plays the scenario on one library with its trace going to tracePath. Runs in
// a forked child, which never returns to the caller's code.
[[noreturn]] void playInChild(const Scenario &scenario, const std::string &lib,
                              std::optional<u64> seed, const fs::path &tracePath)
{
    int status = compare::kSame;
    {
        std::ofstream trace(tracePath, std::ios::binary | std::ios::trunc);
        StepMarks marks(trace);
        RunOptions options;
        options.libPath = lib;
        options.seed = seed;
        options.trace = &trace;
        options.sinks.push_back(&marks);
        try {
            Runner runner(scenario, options);
            runner.run();
        } catch (const LoadError &e) {
            std::cerr << "zep-sim compare: " << e.what() << '\n';
            status = compare::kUnreadable;
        }
        trace.flush();
        if (!trace) {
            std::cerr << "zep-sim compare: cannot write " << tracePath << '\n';
            status = compare::kUnreadable;
        }
    }
    std::cerr.flush();
    _exit(status);
}

// Starts the child; its pid, or -1 when fork failed.
pid_t spawnRun(const Scenario &scenario, const std::string &lib, std::optional<u64> seed,
               const fs::path &tracePath)
{
    std::cout.flush();
    std::cerr.flush();
    const pid_t pid = fork();
    if (pid == 0) {
        playInChild(scenario, lib, seed, tracePath);
    }
    return pid;
}

bool childSucceeded(pid_t pid)
{
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) {
        return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == compare::kSame;
}

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "zep-sim-compare-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary directory");
        }
        path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const fs::path &path() const { return path_; }

private:
    fs::path path_;
};

int compareScenario(const std::string &file, const std::vector<std::string> &libs,
                    std::optional<u64> seed, const TempDir &dir)
{
    Scenario scenario;
    try {
        scenario = readScenarioFile(file);
    } catch (const ScenarioError &e) {
        std::cerr << "zep-sim compare: " << e.what() << '\n';
        return compare::kUnreadable;
    }
    const fs::path traceA = dir.path() / "a.jsonl";
    const fs::path traceB = dir.path() / "b.jsonl";
    const pid_t a = spawnRun(scenario, libs[0], seed, traceA);
    const pid_t b = spawnRun(scenario, libs[1], seed, traceB);
    const bool okA = childSucceeded(a);
    const bool okB = childSucceeded(b);
    if (!okA || !okB) {
        std::cout << file << ": not compared, a run could not be made\n";
        return compare::kUnreadable;
    }
    std::ifstream inA(traceA, std::ios::binary);
    std::ifstream inB(traceB, std::ios::binary);
    return compare::compareTraces(inA, inB, file, {libs[0], libs[1]}, std::cout);
}

int compareSavedTraces(const std::vector<std::string> &traces)
{
    std::ifstream a(traces[0], std::ios::binary);
    std::ifstream b(traces[1], std::ios::binary);
    for (const auto &[in, path] : {std::pair{&a, traces[0]}, std::pair{&b, traces[1]}}) {
        if (!*in) {
            std::cerr << "zep-sim compare: cannot open " << path << '\n';
            return compare::kUnreadable;
        }
    }
    return compare::compareTraces(a, b, traces[0] + " vs " + traces[1], {traces[0], traces[1]},
                                  std::cout);
}

}  // namespace

int compareMain(int argc, char **argv)
{
    CLI::App cli{"Plays each scenario with the same seed on two builds of the application and\n"
                 "compares what they did: messages sent, IPC blocks, log lines, statuses, RPC\n"
                 "replies. Exit status: 0 all the same, 1 one differs, 2 unreadable input.",
                 "zep-sim compare"};
    std::vector<std::string> libs;
    std::vector<std::string> traces;
    std::vector<std::string> scenarios;
    u64 seed = 0;
    auto *libOpt = cli.add_option("--lib", libs, "The two libraries (give --lib twice)")
                       ->allow_extra_args(false);
    auto *traceOpt = cli.add_option("--trace", traces, "Compare two saved traces instead")
                         ->expected(2)
                         ->excludes(libOpt);
    auto *seedOpt = cli.add_option("--seed", seed, "Seed of the stations' answers, on both sides");
    cli.add_option("scenario", scenarios, "Scenario files (YAML)")->excludes(traceOpt);
    try {
        cli.parse(argc, argv);
        if (!*traceOpt && (libs.size() != 2 || scenarios.empty())) {
            throw CLI::ValidationError("give --lib A.so --lib B.so SCENARIO..., or --trace A B");
        }
    } catch (const CLI::ParseError &e) {
        const int shown = cli.exit(e);
        return shown == 0 ? 0 : compare::kUnreadable;
    }
    if (*traceOpt) {
        return compareSavedTraces(traces);
    }
    const TempDir dir;
    const std::optional<u64> sameSeed = *seedOpt ? std::optional<u64>(seed) : std::nullopt;
    int worst = compare::kSame;
    for (const std::string &file : scenarios) {
        worst = std::max(worst, compareScenario(file, libs, sameSeed, dir));
    }
    return worst;
}

}  // namespace zep::sim
