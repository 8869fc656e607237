// The last lines of a play: how many expectations held, which failed and where,
// what --strict found, and whether a signal cut the run short.
#pragma once

#include <csignal>
#include <ostream>
#include <span>

#include "run/runner.hpp"

namespace zep::sim::cli {

constexpr int kExitHeld = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUnreadable = 2;

// Prints the result and returns the exit status it means: 128 + the signal
// when one ended the run, else 1 on a failed expectation or a strict finding.
int printResult(std::ostream &out, const Scenario &scenario, const Runner &runner,
                std::span<const Failure> failures, bool strict, std::sig_atomic_t signal);

}  // namespace zep::sim::cli
