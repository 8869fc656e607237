// Playing a scenario, zep-sim's default command. Exit status: 0 all
// expectations held, 1 one failed, 2 the scenario (or the library) could not
// be read.
#pragma once

#include <optional>
#include <span>

#include "cli/play_options.hpp"
#include "cli/subcommands.hpp"

namespace zep::sim::cli {

// The subcommands are named in the help; each sink option is one more output
// the play can write.
int playMain(int argc, char **argv, std::span<const Subcommand> subcommands,
             std::span<const SinkOption> sinkOptions);

// The scenario options name, the built-in demo when none; nullopt, with why
// on stderr, when it cannot be read.
std::optional<Scenario> readScenario(const PlayOptions &options);

}  // namespace zep::sim::cli
