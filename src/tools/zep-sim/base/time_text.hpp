// Virtual time and figures as the simulator prints them, in one place so that
// the timeline, the summary, the report, the progress line and the run's last
// line agree.
#pragma once

#include <string>

#include "zep_types.h"

namespace zep::sim {

// "  12.345": virtual ms as seconds, padded to line up in the timeline.
std::string formatTime(u64 ms);
// "12.345": the same without the padding.
std::string formatSeconds(u64 ms);
// "01:02:03", or "3 d 01:02:03" from a day on: a long run's clock.
std::string formatClock(u64 ms);
// "3.142" for (3.14159, 3): a figure rounded to the given decimals.
std::string formatFixed(double value, int decimals);

}  // namespace zep::sim
