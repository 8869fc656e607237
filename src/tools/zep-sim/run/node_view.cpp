#include "run/node_view.hpp"

#include <cstddef>
#include <cstring>

#include "sta_meas_inner.h"

namespace zep::sim {

namespace {

// Where the first host's request starts inside a node.
constexpr std::size_t kFirstRequest = offsetof(StaMeasNode, info) + offsetof(StaMeasInfo, hostReq);

bool holdsNode(const host::PoolBlock &block)
{
    return block.pool == STAMEAS_TBL_POOL_NAME && block.bytes.size() >= sizeof(StaMeasNode);
}

NodeShares sharesOf(const StaMeasNode &node)
{
    const StaMeasInfo &info = node.info;
    NodeShares shares;
    std::memcpy(shares.staMac.data(), info.staMac, shares.staMac.size());
    shares.measId = info.measId;
    shares.radioId = info.radioId;
    for (u32 host = 0; host < STAMEAS_HOST_NUM; ++host) {
        if ((info.hostBitmap & (1u << host)) == 0) {
            continue;
        }
        const bool automatic = (info.autoMeasBitmap & (1u << host)) != 0;
        shares.hosts.push_back({host, info.hostSched[host], automatic});
    }
    return shares;
}

}  // namespace

int servedHost(const host::Memory &memory, const void *source)
{
    const auto block = memory.poolBlockAt(source);
    if (!block || !holdsNode(*block)) {
        return kUnknownHost;
    }
    const auto *byte = static_cast<const std::byte *>(source);
    const auto at = static_cast<std::size_t>(byte - block->bytes.data());
    if (at < kFirstRequest || (at - kFirstRequest) % sizeof(StaMeasReq) != 0) {
        return kUnknownHost;
    }
    const std::size_t host = (at - kFirstRequest) / sizeof(StaMeasReq);
    return host < STAMEAS_HOST_NUM ? static_cast<int>(host) : kUnknownHost;
}

std::vector<NodeShares> liveNodes(const host::Memory &memory)
{
    std::vector<NodeShares> nodes;
    for (const host::PoolBlock &block : memory.poolBlocks(STAMEAS_TBL_POOL_NAME)) {
        if (!holdsNode(block)) {
            continue;
        }
        StaMeasNode node;  // a copy: the view is read-only bytes, the record is read from them
        std::memcpy(&node, block.bytes.data(), sizeof(node));
        nodes.push_back(sharesOf(node));
    }
    return nodes;
}

}  // namespace zep::sim
