// What the simulator's tests share: one play of a scenario against the module
// under test and what they read of it, the files they read back, and the
// commands they run.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "run/runner.hpp"
#include "scenario/scenario.hpp"

namespace zep::sim {

struct Played {
    std::vector<Failure> failures;
    std::vector<Finding> findings;
    std::string human;  // timeline (unless the options turn it off) and summary
    std::string trace;
    std::string log;    // the module's lines, as an access point's syslog writes them
};

// Plays on the test build of the module unless the options name a library;
// `inspect` sees the runner once the run is over, for what only it holds.
Played play(const Scenario &sc, RunOptions opt = {}, const std::function<void(const Runner &)> &inspect = {});
Played play(const std::string &yaml, RunOptions opt = {}, const std::function<void(const Runner &)> &inspect = {});

// The scenarios that play in seconds: all but the day of full load and the
// soak, which take minutes under the sanitizers.
std::vector<std::filesystem::path> shortScenarios();

// A file's bytes, as a program wrote them; empty if it cannot be read.
std::string readAll(const std::filesystem::path &file);

// The text written as <name>.log and as <name>.log.gz in the temporary
// directory, under names of this process; the two paths.
std::pair<std::string, std::string> plainAndPacked(const std::string &name, const std::string &text);

// A command's exit status through the shell; -1 if it did not exit.
int shell(const std::string &command);

// The same, with what the command wrote on its standard output (the command
// redirects standard error where a test wants it).
struct Ran {
    int status = -1;
    std::string out;
};
Ran shellOutput(const std::string &command);

}  // namespace zep::sim
