// The answers of the two list dumps, RPC 69 and 70, as tables for a person.
#pragma once

#include <ostream>
#include <span>

#include "zep_types.h"

namespace zep::sim {

void printMeasTable(std::ostream &out, std::span<const u8> buffer);
void printCoMeasList(std::ostream &out, std::span<const u8> buffer);

// "0+1" for weight 120: the hosts whose weights add up to it, or "?".
std::string hostsOfWeight(u32 weight);

}  // namespace zep::sim
