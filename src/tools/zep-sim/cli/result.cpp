#include "cli/result.hpp"

#include <string>
#include <vector>

#include "base/time_text.hpp"

namespace zep::sim::cli {

namespace {

// What --strict holds against a run that met its expectations.
std::vector<std::string> strictFindings(const Runner &runner)
{
    std::vector<std::string> found;
    if (const u64 errors = runner.summary().errorLogLines(); errors != 0) {
        found.push_back(std::to_string(errors) + " error log line(s)");
    }
    for (const auto &[handler, times] : runner.summary().failingHandlers()) {
        found.push_back("handler " + handler + " returned non-zero " + std::to_string(times) +
                        " time(s)");
    }
    if (runner.checksPlayed() == 0) {
        found.emplace_back("no expect step was played");
    }
    for (const Finding &f : runner.findings()) {
        if (f.severity == Severity::Warning) {
            found.push_back("finding " + f.rule + ": " + f.title);
        }
    }
    return found;
}

}  // namespace

int printResult(std::ostream &out, const Scenario &scenario, const Runner &runner,
                std::span<const Failure> failures, bool strict, std::sig_atomic_t signal)
{
    if (signal != 0) {
        out << "\nInterrupted by signal " << signal << " after " << formatSeconds(runner.playedMs())
            << " s of virtual time; the summary above covers what was played.\n";
        return 128 + signal;
    }
    int status = kExitHeld;
    if (failures.empty()) {
        out << "\nResult: " << runner.checksPlayed() << " expect step(s), all held.\n";
    } else {
        out << "\nResult: " << failures.size() << " failed check(s):\n";
        for (const auto &f : failures) {
            out << "  " << scenario.file << ":" << f.line << ": step " << f.step
                << " (expect): " << f.what << '\n';
        }
        status = kExitFailed;
    }
    if (strict) {
        for (const std::string &what : strictFindings(runner)) {
            out << "Strict: " << what << '\n';
            status = kExitFailed;
        }
    }
    return status;
}

}  // namespace zep::sim::cli
