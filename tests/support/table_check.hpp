// The structure rules of the linked application's tables, checked from outside:
// tests, the fuzz targets, the fault sweep and the soak all ask this one place.
#pragma once

#include <string>
#include <vector>

#include "zep_host.hpp"

namespace zep::test {

enum class AppStage {
    Running,  // between two deliveries of a started (or partly started) application
    Stopped,  // after de-initialisation
};

// Every rule the application's state breaks right now, one line each; empty
// when the state is sound.
std::vector<std::string> tableViolations(host::Host &h, AppStage stage);

// De-initialises the application and gives the rules its leftovers break. A
// timer may outlive it only when de-initialisation's stop of it was refused.
std::vector<std::string> deinitViolations(host::Host &h);

// The violations joined one per line, for assertion messages and aborts.
std::string describe(const std::vector<std::string> &violations);

}  // namespace zep::test
