// Reads a scenario from YAML. Every problem is a ScenarioError naming the file
// and the line of the offending text.
#pragma once

#include <istream>
#include <string>

#include "scenario/scenario.hpp"

namespace zep::sim {

Scenario readScenarioFile(const std::string &path);
// name stands for the file in messages.
// A scenario from a stream (standard input); name stands for it in messages.
Scenario readScenarioStream(std::istream &in, const std::string &name);
Scenario readScenarioText(const std::string &text, const std::string &name);

}  // namespace zep::sim
