// The last lines of a play: how many expectations held, or which failed and where.
#pragma once

#include <cstddef>
#include <ostream>
#include <span>
#include <string>

#include "run/runner.hpp"

namespace zep::sim::cli {

constexpr int kExitHeld = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUnreadable = 2;

// Prints the result and returns the exit status it means.
int printResult(std::ostream &out, const std::string &file, std::span<const Failure> failures,
                std::size_t checks);

}  // namespace zep::sim::cli
