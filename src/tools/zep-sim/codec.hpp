// Message bodies: encoders from the scenario's structured fields to the wire
// records of sta_meas_msg.h, and decoders from the wire back to named fields
// (for the trace) with a one-line summary (for the timeline).
#pragma once

#include "sim_json.hpp"

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "yaml_fields.hpp"
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

// Encodes the structured body of a message the application receives (182, 183,
// 168, 170, 184, 185, 198, 34, 181, 69, 70). Reads its keys from f; the caller
// checks for unknown keys afterwards. Throws ScenarioError.
std::vector<u8> encodeInbound(u32 id, const Fields &f, const EncodeContext &ctx);
bool hasEncoder(u32 id);

// Decodes a body the application received (or, for an RPC, the buffer as the
// handler left it). Unknown ids decode to nothing.
Decoded decodeInbound(u32 id, std::span<const u8> body);

// Decodes a body the application sent; context is the id of the handler that
// was running (186 for the timer), which tells co-measurement requests apart.
Decoded decodeOutbound(u32 id, std::span<const u8> body, u32 context, bool ipc);

}  // namespace zep::sim
