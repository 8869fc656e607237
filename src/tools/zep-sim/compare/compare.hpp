// Comparing what two runs of the application did, event by event: the traces
// of one scenario played on two builds, or two saved traces. Wall-clock costs
// are not behaviour, so they are left out of the comparison.
#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <ostream>
#include <string>

#include "base/sim_json.hpp"

namespace zep::sim::compare {

// Exit statuses of `zep-sim compare`.
constexpr int kSame = 0;
constexpr int kDiffers = 1;
constexpr int kUnreadable = 2;

// The trace line a child run writes when a scenario step begins; a saved trace
// has none, and the comparison then names the event alone.
Json stepMarker(std::size_t index, int line, const std::string &op);

// The event as compared: keys holding wall-clock costs dropped, and the cost
// figures of the application's own cost lines blanked.
Json comparable(Json event);

// Where two events first differ: a path into the object and both values.
struct FieldDifference {
    std::string path;  // e.g. fields.entries[0].weight
    std::string a;
    std::string b;
};
std::optional<FieldDifference> firstDifference(const Json &a, const Json &b);

struct Labels {
    std::string a;  // how each side is named in the report, e.g. the library path
    std::string b;
};

// Reads both traces in step and writes "NAME: same (N events)" or the first
// difference with the events around it on each side, and the step that led to
// it when the traces carry step markers. kSame, kDiffers, or kUnreadable for a
// line that is not JSON (reported on out).
int compareTraces(std::istream &a, std::istream &b, const std::string &name, const Labels &labels,
                  std::ostream &out);

}  // namespace zep::sim::compare
