// What each host asked of one measurement node: the play's ledger keeps it from
// the starts it delivers, the field log's reader from the start's share lines.
// The dump lists only the top host's schedule.
#pragma once

#include <array>
#include <vector>

#include "sta_meas_msg.h"

namespace zep::sim {

// A request whose body is no host's request (a fault, a build that builds
// them otherwise), or that several could have been, is attributed to no host.
inline constexpr int kUnknownHost = -1;

// The weight each host's share adds to a node, by host id: the timer sends the
// heaviest due host's request.
inline constexpr u32 kHostWeights[] = {100, 20, 60};

struct HostShare {
    u32 host = 0;
    StaMeasSched sched{};
    bool automatic = false;  // the application picks the request by the station's capabilities
};

struct NodeShares {
    std::array<u8, 6> staMac{};
    u32 measId = 0;
    u32 radioId = 0;
    std::vector<HostShare> hosts;  // in host order, those of the node's host bitmap
};

}  // namespace zep::sim
