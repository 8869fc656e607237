// The verdicts of a play's expect steps as a JUnit XML report, the form CI
// systems show as test results: one test case per expect played.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "base/events.hpp"

namespace zep::sim::cli {

class JunitReport : public EventSink {
public:
    void onEvent(const Event &ev) override;
    // suite: the scenario's name; file: its path, which CI links the cases to.
    void write(std::ostream &out, const std::string &suite, const std::string &file) const;

private:
    struct Case {
        int line = 0;
        u64 t = 0;
        std::vector<std::string> failures;
    };
    std::vector<Case> cases_;
};

}  // namespace zep::sim::cli
