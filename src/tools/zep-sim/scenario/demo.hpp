// The built-in demo: the text of scenarios/demo.yaml, embedded at build time.
#pragma once

#include <string_view>

namespace zep::sim {

std::string_view demoScenarioText();
inline constexpr std::string_view kDemoScenarioName = "scenarios/demo.yaml";

}  // namespace zep::sim
