// zep-soak: plays a scenario as zep-sim does, with the application linked in
// rather than loaded, so that the table-structure checker can look inside it
// after every step. `--passes N` plays at most N passes of each top-level
// repeat (a short soak). Exit status: 0 every expectation and every check
// held, 1 one did not, 2 the scenario could not be read.
#include <algorithm>
#include <chrono>
#include <iostream>
#include <string>
#include <variant>

#include "linked_app.hpp"
#include "run/runner.hpp"
#include "scenario/scenario_reader.hpp"
#include "table_check.hpp"

namespace {

constexpr std::size_t kViolationsShown = 20;

struct Checks {
    u64 runs = 0;
    u64 broken = 0;

    void after(zep::host::Host &h, bool started)
    {
        ++runs;
        const auto stage = started ? zep::test::AppStage::Running : zep::test::AppStage::Stopped;
        const auto violations = zep::test::tableViolations(h, stage);
        if (!violations.empty() && ++broken <= kViolationsShown) {
            std::cerr << "zep-soak: at " << h.nowMs() << " ms:\n"
                      << zep::test::describe(violations);
        }
    }
};

void capPasses(zep::sim::Scenario &scenario, u64 passes)
{
    for (auto &step : scenario.steps) {
        if (auto *repeat = std::get_if<zep::sim::step::Repeat>(&step.action)) {
            repeat->times = std::min(repeat->times, passes);
        }
    }
}

}  // namespace

int main(int argc, char **argv)
{
    const bool capped = argc == 4 && std::string(argv[1]) == "--passes";
    if (argc != 2 && !capped) {
        std::cerr << "usage: zep-soak [--passes N] SCENARIO\n";
        return 2;
    }
    const char *path = argv[argc - 1];
    zep::sim::Scenario scenario;
    try {
        scenario = zep::sim::readScenarioFile(path);
    } catch (const zep::sim::ScenarioError &e) {
        std::cerr << "zep-soak: " << e.what() << '\n';
        return 2;
    }
    if (capped) {
        capPasses(scenario, std::stoull(argv[2]));
    }

    zep::test::resetAppGlobals();
    Checks checks;
    zep::sim::RunOptions options;
    options.linkedApp = ZEP_STA_RegStaMeasApp;
    options.afterStep = [&checks](zep::host::Host &h, bool started) { checks.after(h, started); };
    options.human = &std::cout;
    options.timeline = false;

    const auto begin = std::chrono::steady_clock::now();
    zep::sim::Runner runner(scenario, options);
    const auto failures = runner.run();
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - begin;

    for (const auto &f : failures) {
        std::cerr << path << ':' << f.line << ": step " << f.step << ": " << f.what << '\n';
    }
    std::cout << "structure checks: " << checks.runs << ", broken: " << checks.broken
              << "; expectations failed: " << failures.size() << "; wall " << wall.count()
              << " s\n";
    return failures.empty() && checks.broken == 0 ? 0 : 1;
}
