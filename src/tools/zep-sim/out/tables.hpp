// The answers of the two list dumps, RPC 69 and 70, as tables for a person.
#pragma once

#include <ostream>
#include <span>

#include "base/node_shares.hpp"
#include "zep_types.h"

namespace zep::sim {

// Under each node of an RPC 69 answer, one line per host share of the live
// node it lists (from nodes), or "host ?" when no single live node matches.
void printMeasTable(std::ostream &out, std::span<const u8> buffer,
                    std::span<const NodeShares> nodes);
void printCoMeasList(std::ostream &out, std::span<const u8> buffer);

// "0+1" for weight 120: the hosts whose weights add up to it, or "?".
std::string hostsOfWeight(u32 weight);

}  // namespace zep::sim
