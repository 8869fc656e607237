// The keys each kind of trace event carries, so that an expect's event
// pattern is checked against them when the scenario is read: a misspelt key
// would otherwise match nothing, silently.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <utility>

namespace zep::sim {

// Every kind of event, with its keys.
std::span<const std::pair<std::string_view, std::span<const std::string_view>>> traceKinds();
// Whether some kind of event carries key.
bool isTraceKey(std::string_view key);

}  // namespace zep::sim
