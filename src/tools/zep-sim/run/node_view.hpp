// Reads the application's measurement nodes where the emulation's memory pool
// holds them, through the application's own node record: which host's share a
// request was sent from, and every host's share of the nodes a dump lists.
#pragma once

#include <vector>

#include "base/node_shares.hpp"
#include "zep_host.hpp"

namespace zep::sim {

// The host whose per-host request the bytes at source are, or kUnknownHost when
// source is not the start of one inside a live node of the measurement table.
int servedHost(const host::Memory &memory, const void *source);

// Every live node of the measurement table, lowest address first.
std::vector<NodeShares> liveNodes(const host::Memory &memory);

}  // namespace zep::sim
