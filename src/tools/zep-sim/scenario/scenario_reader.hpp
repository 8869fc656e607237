// Reads a scenario from YAML. Every problem is a ScenarioError naming the file
// and the line of the offending text.
#pragma once

#include <istream>
#include <string>

#include "scenario/scenario.hpp"

namespace zep::sim {

// A scenario file, or standard input for "-"; a path that is no file to read
// (a directory, a device, an empty file...) is a ScenarioError with the reason.
Scenario readScenarioFile(const std::string &path);
// A scenario from a stream; name stands for it in messages.
Scenario readScenarioStream(std::istream &in, const std::string &name);
Scenario readScenarioText(const std::string &text, const std::string &name);

}  // namespace zep::sim
