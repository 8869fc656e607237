// The stations' side of a measurement, which the application does not see: a
// station with a reply model answers a link-measurement request (167) with a
// report (168) and a TPC request (169) with a report (170), after its delay,
// with its probability, and only when its capabilities allow that request.
#pragma once

#include <map>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "scenario.hpp"

namespace zep::sim {

class StationModel {
public:
    explicit StationModel(u64 seed) : rng_(seed) {}

    void add(const StationEntry &sta) { stations_[sta.facts.mac] = sta; }
    void remove(const Mac &mac) { stations_.erase(mac); }
    bool present(const Mac &mac) const { return stations_.contains(mac); }

    struct Answer {
        Mac sta{};
        u32 delayMs = 0;
        u32 reportId = 0;
        std::vector<u8> body;
    };
    // The answer to a request the application sent, if the station gives one.
    // The report carries the request's radio, VAP, station and token.
    std::optional<Answer> answer(u32 msgId, std::span<const u8> request);

private:
    double draw();  // uniform in [0, 1), the same sequence for the same seed

    std::map<Mac, StationEntry> stations_;
    std::mt19937_64 rng_;
};

}  // namespace zep::sim
