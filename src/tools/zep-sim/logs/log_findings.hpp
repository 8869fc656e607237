// The findings of one access point's log: the same rules as a play's, over
// the facts its lines hold; what they cannot tell is listed as not checked.
#pragma once

#include <vector>

#include "findings/finding.hpp"
#include "logs/field_log.hpp"

namespace zep::sim::logs {

// The facts only the module's lines hold, whatever read them (a play, a
// replay or a field log): evictions, refused adds, co-measurement waits,
// scan triggers held back and neighbours unknown.
// notesKept: whether the source kept the module's everyday lines (notes);
// without them these facts cannot be told and are listed as not checked.
void addLineFacts(const FieldLog &log, FindingFacts &facts, bool notesKept);
std::vector<Finding> findingsOf(const FieldLog &log, const FindingLimits &limits = {});

}  // namespace zep::sim::logs
