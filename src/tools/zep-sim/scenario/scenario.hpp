// A scenario as read from its YAML file: the world the host emulates, and the
// steps to play on it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "findings/finding.hpp"
#include "scenario/expect.hpp"
#include "zep_host.hpp"

namespace zep::sim {

// The format of scenario files this reader knows; it changes when a file
// written for an older reader would be read differently.
inline constexpr int kScenarioFormat = 1;

// What a scenario may ask for at most. A run is meant to finish in minutes and
// a body to fit a message; a typo must not ask for years or gigabytes.
inline constexpr u32 kMaxBodyBytes = 65536;           // send, rpc, config
inline constexpr u64 kMaxPasses = 100'000'000;        // times of one repeat
inline constexpr u64 kMaxVirtualMs = 400ull * 86'400'000;  // virtual time of a whole run
inline constexpr u64 kMaxPlayedSteps = 100'000'000;   // steps played, repeats unrolled
inline constexpr u32 kMaxVapsPerRadio = 64;
inline constexpr int kMaxRepeatDepth = 16;  // repeats within repeats
inline constexpr u32 kMaxStations = 65536;            // listed and added, repeats unrolled
inline constexpr u64 kMaxBodyBytesInAll = 64u << 20;  // every body and value of the steps

// How a station answers the measurement requests sent to it.
struct ReplyModel {
    u32 delayMs = 20;
    double rate = 1.0;
    std::vector<u8> lmValues = std::vector<u8>(8, 0);   // report values of a 168
    std::vector<u8> tpcValues = std::vector<u8>(5, 0);  // report values of a 170
};

struct StationEntry {
    host::StationFacts facts;
    std::optional<ReplyModel> reply;  // none: never answers
};

struct FaultRule {
    std::string call;
    u32 nth = 1;
    u32 count = 1;
    u32 status = host::kErrInjected;
};

struct ScanRadioEntry {
    u16 channel = 0;
    u8 freqInd = 0;
    u32 radio = 0;
};

namespace step {
struct Start {};
struct Stop {};
struct Send {
    u32 id = 0;
    std::vector<u8> body;
};
struct Rpc {
    u32 id = 0;
    std::vector<u8> body;
};
struct Advance {
    u64 ms = 0;
};
struct Config {
    u32 radio = 0;
    std::vector<u8> value;             // item value; first byte is the switch
    std::optional<std::vector<u8>> raw;  // a whole configuration message instead
};
struct StaLeave {
    std::optional<Mac> sta;  // none: the handler gets a null station
    bool keep = false;       // leave the station in the database
};
struct Note {
    std::string text;
};
struct AddStation {
    StationEntry sta;
};
struct RemoveStation {
    Mac mac{};
};
struct AddNeighbour {
    host::NeighbourFacts nb;
};
struct ClearNeighbours {};
struct AddToken {
    host::TokenFacts token;
};
struct ClearTokens {};
struct Fault {
    FaultRule fault;
};
struct Dump {
    std::vector<u32> radios;                      // RPC 69 for each
    std::vector<std::pair<u32, u32>> comeasLists;  // RPC 70 for each (radio, channel)
};
struct Check {
    Expect expect;
};
}  // namespace step

struct Step;

namespace step {
// Passes of the same steps; with every, pass k starts at the first pass's
// start + k * every, the clock advancing to it after the pass's own steps.
struct Repeat {
    u64 times = 1;
    std::optional<u64> every;
    std::vector<Step> steps;
};
}  // namespace step

using StepAction =
    std::variant<step::Start, step::Stop, step::Send, step::Rpc, step::Advance, step::Config,
                 step::StaLeave, step::Note, step::AddStation, step::RemoveStation,
                 step::AddNeighbour, step::ClearNeighbours, step::AddToken, step::ClearTokens,
                 step::Fault, step::Dump, step::Check, step::Repeat>;

struct Step {
    int line = 0;
    std::string op;  // the step's key as written
    StepAction action;
    u64 ms = 0;      // virtual time the step moves the clock, repeats unrolled
    u64 played = 1;  // steps it plays, itself included
};

struct Scenario {
    std::string file;
    std::string name;
    std::string description;
    host::Profile profile;
    u64 clockStartMs = 0;
    u32 logLevel = 0;
    std::optional<u64> seed;
    std::map<u32, host::RadioFacts> radios;
    std::vector<ScanRadioEntry> scanRadio;
    std::vector<StationEntry> stations;
    std::vector<host::NeighbourFacts> neighbours;
    std::vector<host::TokenFacts> tokens;
    std::vector<FaultRule> faults;
    FindingLimits findingLimits;
    std::vector<Step> steps;
    u64 durationMs = 0;  // virtual time the steps move the clock in all
};

}  // namespace zep::sim
