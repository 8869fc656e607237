// What zep-sim tells a person to look at in a run, a replay or a field log:
// a finding names what is wrong or surprising, shows the evidence and gives
// the rule of the module that explains it.
#pragma once

#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "base/sim_json.hpp"
#include "findings/facts.hpp"

namespace zep::sim {

enum class Severity { Info, Warning };

// The first few of what a finding concerns, and how many there are in all.
struct Sample {
    std::vector<std::string> first;
    u64 inAll = 0;
};

struct Finding {
    std::string rule;  // a short id, stable for scripts
    Severity severity = Severity::Info;
    std::string title;
    u64 count = 0;  // what the title counts
    std::optional<u64> firstMs;
    std::optional<u64> lastMs;
    Sample radios;
    Sample hosts;
    Sample stations;
    Sample messages;
    std::string why;  // the module's rule behind it, in one sentence
};

// Windows and thresholds of the rules; a scenario's `findings:` block sets them.
struct FindingLimits {
    u64 starvedExpiries = 10;      // a node passed over at fewer expiries is not starved
    u64 unservedShareDue = 10;     // a host due fewer times is not yet "never sent"
    u64 burstLines = 10;           // error lines that make a burst...
    u64 burstWindowMs = 1000;      // ...each within this of the one before
    u64 costFactor = 20;           // a maximum this many times the 99th percentile...
    u64 costFloorMs = 100;         // ...and at least this long (wall-clock in a play), over...
    u64 costMinCalls = 100;        // ...at least this many calls
    u64 churnEvictions = 3;        // a node evicted this many times churns
    u64 channelWaitMs = 10000;     // co-measurement requests listed longer than this wait too long
};

// Every rule over the facts, warnings first, then in the rules' order.
std::vector<Finding> findingsOf(const FindingFacts &facts, const FindingLimits &limits);

// "Findings" and one block per finding, or "No findings".
void printFindings(std::ostream &out, std::span<const Finding> findings);
Json findingsJson(std::span<const Finding> findings);

}  // namespace zep::sim
