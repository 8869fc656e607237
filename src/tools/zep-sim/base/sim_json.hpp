// JSON objects keep their keys in the order written, so the trace reads in the
// order of the records' fields.
#pragma once

#include <nlohmann/json.hpp>

namespace zep::sim {

using Json = nlohmann::ordered_json;

}  // namespace zep::sim
