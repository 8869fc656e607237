// One recorded event as a line of text, for divergence reports.
#pragma once

#include <string>
#include <string_view>

#include "record_format.hpp"

namespace zep::sim::replay {

std::string describe(const zep::record::RecordedCall &event);

// A log line as describe shows one: its arguments (severity, module,
// category, station given, station) and its text.
std::string describeLine(const zep::record::u64 *args, std::string_view text);

}  // namespace zep::sim::replay
