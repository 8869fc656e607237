#include "compare/compare_cli.hpp"

#include <CLI/CLI.hpp>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "compare/compare.hpp"
#include "files.hpp"
#include "run/runner.hpp"
#include "scenario/scenario_reader.hpp"

namespace zep::sim {

namespace {

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

// Plays the scenario on one library with its trace going to the pipe fd. Runs
// in a forked child, which never returns to the caller's code.
[[noreturn]] void playInChild(const Scenario &scenario, const std::string &lib,
                              std::optional<u64> seed, int fd)
{
    int status = compare::kSame;
    {
        std::ofstream trace("/proc/self/fd/" + std::to_string(fd), std::ios::binary);
        close(fd);
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
    }
    std::cerr.flush();
    _exit(status);
}

// One side of a comparison: a child playing the scenario, its trace read from
// a pipe, so that a day-long trace never touches the disk.
class Side {
public:
    Side(const Scenario &scenario, const std::string &lib, std::optional<u64> seed)
    {
        int fds[2];
        if (pipe(fds) != 0) {
            return;
        }
        std::cout.flush();
        std::cerr.flush();
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            playInChild(scenario, lib, seed, fds[1]);
        }
        close(fds[1]);
        if (pid_ > 0) {
            in_.open("/proc/self/fd/" + std::to_string(fds[0]), std::ios::binary);
        }
        close(fds[0]);
    }
    Side(const Side &) = delete;
    Side &operator=(const Side &) = delete;
    ~Side() { finish(); }

    std::istream &trace() { return in_; }
    // Every reader of both pipes must be gone before either child is waited
    // for: a child forked later holds a copy of the earlier pipe's read end.
    void stopReading() { in_.close(); }

    // Ends the child (it may still be writing after a difference was found)
    // and says whether it could play the scenario.
    bool finish()
    {
        if (pid_ <= 0) {
            return false;
        }
        stopReading();  // a child still writing gets SIGPIPE
        int status = 0;
        const bool waited = waitpid(pid_, &status, 0) == pid_;
        pid_ = 0;
        // Killed by SIGPIPE: it played on after the comparison had seen enough.
        const bool cutShort = WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE;
        played_ = waited && (cutShort || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
        return played_;
    }

private:
    pid_t pid_ = -1;
    std::ifstream in_;
    bool played_ = false;
};

int compareScenario(const std::string &file, const std::vector<std::string> &libs,
                    std::optional<u64> seed)
{
    Scenario scenario;
    try {
        scenario = readScenarioFile(file);
    } catch (const ScenarioError &e) {
        std::cerr << "zep-sim compare: " << e.what() << '\n';
        return compare::kUnreadable;
    }
    Side a(scenario, libs[0], seed);
    Side b(scenario, libs[1], seed);
    // Held back until both runs are known to have played: a library that did
    // not load would read as a trace that ends at once.
    std::ostringstream verdict;
    const int status = compare::compareTraces(a.trace(), b.trace(), file, {libs[0], libs[1]}, verdict);
    a.stopReading();
    b.stopReading();
    const bool okA = a.finish();
    const bool okB = b.finish();
    if (!okA || !okB) {
        std::cout << file << ": not compared, a run could not be made\n";
        return compare::kUnreadable;
    }
    std::cout << verdict.str();
    return status;
}

int compareSavedTraces(const std::vector<std::string> &traces)
{
    try {
        record::InputStream a(traces[0]);
        record::InputStream b(traces[1]);
        return compare::compareTraces(a, b, traces[0] + " vs " + traces[1], {traces[0], traces[1]},
                                      std::cout);
    } catch (const record::FileError &e) {
        std::cerr << "zep-sim compare: " << e.what() << '\n';
        return compare::kUnreadable;
    }
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
    const std::optional<u64> sameSeed = *seedOpt ? std::optional<u64>(seed) : std::nullopt;
    int worst = compare::kSame;
    for (const std::string &file : scenarios) {
        worst = std::max(worst, compareScenario(file, libs, sameSeed));
    }
    return worst;
}

}  // namespace zep::sim
