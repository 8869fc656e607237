// Reads a scenario from YAML. Every problem is a ScenarioError naming the file
// and the line of the offending text.
#pragma once

#include <string>

#include "scenario/scenario.hpp"

namespace zep::sim {

Scenario readScenarioFile(const std::string &path);
// name stands for the file in messages.
Scenario readScenarioText(const std::string &text, const std::string &name);

}  // namespace zep::sim
