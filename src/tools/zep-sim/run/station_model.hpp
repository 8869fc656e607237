// The stations' side of a measurement, which the application does not see: a
// station with a reply model answers a link-measurement request (167) with a
// report (168) and a TPC request (169) with a report (170), after its delay,
// with its probability, and only when its capabilities allow that request.
#pragma once

#include <algorithm>
#include <array>
#include <deque>
#include <map>
#include <optional>
#include <random>
#include <span>
#include <unordered_map>
#include <vector>

#include "base/hex.hpp"
#include "scenario/scenario.hpp"
#include "sta_meas_msg.h"

namespace zep::sim {

class StationModel {
public:
    explicit StationModel(u64 seed) : rng_(seed) {}

    void add(const StationEntry &sta) { stations_[sta.facts.mac] = sta; }
    void remove(const Mac &mac) { stations_.erase(mac); }
    bool present(const Mac &mac) const { return stations_.contains(mac); }

    struct Answer {
        u64 dueMs = 0;
        Mac sta{};
        u32 reportId = 0;
        std::array<u8, std::max(sizeof(LmReportMsg), sizeof(TpcReportMsg))> bytes{};
        std::size_t len = 0;
        std::span<const u8> body() const { return {bytes.data(), len}; }
    };
    // A request the application sent at nowMs: when the station answers it,
    // the answer is queued. Returns when the model must be woken for it, unless
    // a wake-up is already set for that ms: stations with the same delay share
    // one, so the host schedules one action per batch rather than per answer.
    std::optional<u64> request(u64 nowMs, u32 msgId, std::span<const u8> request);
    // The wake-up set for nowMs has come; then the answers due, one at a time,
    // in the order their requests were sent.
    void woken(u64 nowMs) { std::erase(wakes_, nowMs); }
    std::optional<Answer> takeDue(u64 nowMs);

private:
    double draw();  // uniform in [0, 1), the same sequence for the same seed

    struct MacHash {
        std::size_t operator()(const Mac &mac) const
        {
            return static_cast<std::size_t>(macNumber(mac) * 0x9E3779B97F4A7C15ull >> 16);
        }
    };
    struct MacEqual {
        bool operator()(const Mac &a, const Mac &b) const { return macNumber(a) == macNumber(b); }
    };

    std::unordered_map<Mac, StationEntry, MacHash, MacEqual> stations_;
    std::mt19937_64 rng_;
    // By the ms they are due; requests go out in time order, so each ms's
    // answers queue in the order their requests were sent.
    std::map<u64, std::deque<Answer>> due_;
    std::vector<u64> wakes_;  // the ms wake-ups are set for; a handful at most
};

}  // namespace zep::sim
