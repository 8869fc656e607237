// What the message coders produce and consult: a decoded body (named fields for
// the trace, a one-line summary for the timeline) and the scenario's view of its
// stations and radios that encoders fill defaults from.
#pragma once

#include "base/sim_json.hpp"

#include <functional>
#include <string>

#include "base/yaml_fields.hpp"
#include "zep_host.hpp"

namespace zep::sim {

// Entries a message's "repeat: n" may expand to, in all: far beyond any list
// the application takes, well short of a body that could exhaust memory.
inline constexpr u32 kMaxEntries = 4096;

// What an encoder may consult to fill defaults: the stations and radios of the
// scenario as they stand at that step.
struct EncodeContext {
    std::function<const host::StationFacts *(const Mac &)> station;
    std::function<host::RadioFacts(u32)> radio;
};

struct Decoded {
    Json fields = Json::object();
    std::string summary;
    std::string name;  // set when the id alone does not name the message
};

}  // namespace zep::sim
