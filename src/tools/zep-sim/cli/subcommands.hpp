// zep-sim's subcommands: `zep-sim NAME ...` hands the rest of the command line
// to the subcommand's own entry; anything else is a scenario to play.
#pragma once

#include <span>
#include <string_view>

namespace zep::sim::cli {

struct Subcommand {
    std::string_view name;
    std::string_view summary;       // one line, for the main help
    int (*run)(int argc, char **argv);  // argv[0] is the subcommand's name
};

// The subcommand named by argv[1], or null when argv[1] names none.
const Subcommand *findSubcommand(std::span<const Subcommand> all, int argc, char **argv);

}  // namespace zep::sim::cli
