// Message bodies: encoders from the scenario's structured fields to the wire
// records of sta_meas_msg.h, and decoders from the wire back to named fields,
// each dispatched through the message catalog by id.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "sta_meas_msg.h"
#include "wire/decoded.hpp"

namespace zep::sim {

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

// A host's schedule as the 182 one-liner shows it: "loop every 2s", "3x every
// 1s", "never".
std::string scheduleText(const StaMeasSched &sched);

}  // namespace zep::sim
