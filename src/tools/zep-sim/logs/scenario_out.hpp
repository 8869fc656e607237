// `zep-sim logs --scenario OUT.yaml`: a scenario that plays again the
// population a log shows, so that what the field saw can be tried on a build:
// its stations, each on its radio with the measurements it was asked for, by
// the same hosts on the same schedules, answering at the rate it answered, for
// as many seconds as the module's timer ran.
#pragma once

#include <ostream>

#include "logs/field_log.hpp"

namespace zep::sim::logs {

void writeScenario(std::ostream &out, const FieldLog &log);

}  // namespace zep::sim::logs
