// What each host asked of one measurement node, as read from the application's
// table while a run goes on: the dump lists only the top host's schedule.
#pragma once

#include <array>
#include <vector>

#include "sta_meas_msg.h"

namespace zep::sim {

// A request whose body did not come from a live node's per-host request (a
// build with another table layout, a fault) is attributed to no host.
inline constexpr int kUnknownHost = -1;

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
