#include "cli/subcommands.hpp"

namespace zep::sim::cli {

const Subcommand *findSubcommand(std::span<const Subcommand> all, int argc, char **argv)
{
    if (argc < 2) {
        return nullptr;
    }
    const std::string_view word = argv[1];
    for (const Subcommand &sub : all) {
        if (sub.name == word) {
            return &sub;
        }
    }
    return nullptr;
}

}  // namespace zep::sim::cli
