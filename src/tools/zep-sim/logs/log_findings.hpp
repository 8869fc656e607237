// The findings of one access point's log: the same rules as a play's, over
// the facts its lines hold; what they cannot tell is listed as not checked.
#pragma once

#include <vector>

#include "findings/finding.hpp"
#include "logs/field_log.hpp"

namespace zep::sim::logs {

FindingFacts findingFactsOf(const FieldLog &log);
std::vector<Finding> findingsOf(const FieldLog &log, const FindingLimits &limits = {});

}  // namespace zep::sim::logs
