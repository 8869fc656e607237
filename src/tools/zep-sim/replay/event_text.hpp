// One recorded event as a line of text, for divergence reports.
#pragma once

#include <string>

#include "record_format.hpp"

namespace zep::sim::replay {

std::string describe(const zep::record::Event &event);

}  // namespace zep::sim::replay
