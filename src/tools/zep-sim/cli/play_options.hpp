// The options of a play, the default command: what the command line says,
// before any file is opened.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/events.hpp"
#include "scenario/scenario.hpp"
#include "zep_types.h"

namespace zep::sim::cli {

// An output added to a play by one line in main: `--flag FILE` and the sink
// that writes the run into that file.
struct SinkOption {
    std::string_view flag;  // "--name"
    std::string_view help;
    std::unique_ptr<EventSink> (*make)(std::ostream &file, const Scenario &scenario);
};

struct PlayOptions {
    std::string scenarioPath;  // empty: the built-in demo
    std::string libPath;       // empty: beside the program, else the loader's path
    std::string tracePath;     // "-" for stdout
    std::string reportPath;
    std::string recordPath;    // non-empty: play the recording build, recording to it
    std::string junitPath;
    std::string summaryJsonPath;
    std::optional<u64> seed;
    std::optional<u32> logLevel;
    bool verbose = false;
    bool quiet = false;
    bool strict = false;
    std::vector<std::string> sinkPaths;  // one per SinkOption, empty when not given
};

// Declares the play's own options on cli, to be filled into options by parse.
void addPlayOptions(CLI::App &cli, PlayOptions &options, std::span<const SinkOption> sinkOptions);

// "zep-sim VERSION (scenario format N, trace format N)".
std::string versionText();

// The library the play loads: as given, with "./" before a bare name of a
// file here (the loader would search its path for it instead); without one,
// libsta_meas.so in the lib/ directory beside the program's bin/, else whatever
// the loader finds on its search path.
std::string libraryToLoad(const std::string &given, std::string_view name = "libsta_meas.so");

}  // namespace zep::sim::cli
