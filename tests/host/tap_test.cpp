// The seam a replay answers through: what the tap answers never reaches the
// emulation, what it declines the emulation answers exactly once, and calls
// made from inside an emulated operation (the application's callbacks) reach
// the tap again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "record_format.hpp"
#include "zep_host.hpp"

namespace {

using namespace zep::host;
using ::testing::ElementsAre;

// Answers the operations it was given a result for and declines the others;
// keeps the name of every call it is shown.
class ScriptedTap final : public CallTap {
public:
    std::vector<std::string> seen;
    std::map<std::string, u64> answers;

    std::optional<u64> onCall(const zep::record::Event &call, std::span<u8>, const void *) override
    {
        const std::string name(zep::record::opName(call.id));
        seen.push_back(name);
        const auto it = answers.find(name);
        return it != answers.end() ? std::optional(it->second) : std::nullopt;
    }
    u32 walkNeighbours(ZEP_NB_WalkFn, void *, void *) override
    {
        seen.emplace_back("walk");
        return 0;
    }
};

TEST(Tap, AnsweredCallsSkipTheEmulationAndDeclinedOnesRunItOnce)
{
    Host host;
    ScriptedTap tap;
    tap.answers["ZEP_MNG_SendMsg"] = 5;
    host.setCallTap(&tap);
    const u8 body[2] = {1, 2};
    EXPECT_EQ(ZEP_MNG_SendMsg(1, 0, 167, body, 2), 5u);
    EXPECT_TRUE(host.sent().empty());
    EXPECT_EQ(ZEP_MNG_SendIPCMsg(1, 91, body, 2, 0), 0u);
    EXPECT_EQ(host.sent().size(), 1u);
    void *block = UMAC_MallocZero(__FILE__, __LINE__, 8);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(host.memory().totalAllocations(), 1u);
    UMAC_Free(__FILE__, __LINE__, block);
    EXPECT_EQ(host.memory().liveBlocks(), 0u);
    EXPECT_EQ(ZEP_NB_WalkApVapWithP2(nullptr, nullptr, nullptr), 0u) << "the tap walks, not the emulation";
    EXPECT_THAT(tap.seen, ElementsAre("ZEP_MNG_SendMsg", "ZEP_MNG_SendIPCMsg", "UMAC_MallocZero", "UMAC_Free", "walk"));

    host.setCallTap(nullptr);
    EXPECT_EQ(ZEP_MNG_SendMsg(1, 0, 167, body, 2), 0u);
    EXPECT_EQ(host.sent().size(), 2u);
    EXPECT_EQ(tap.seen.size(), 5u);
}

TEST(Tap, CallsFromTheApplicationsCallbacksReachTheTapToo)
{
    Host host;
    ZEP_HashTable *table = ZEP_HASH_CreateNew(4);
    ZEP_HashLink node{};
    node.data = &node;
    ASSERT_EQ(ZEP_HASH_AddNode(table, &node, 1, 0), 0u);
    ScriptedTap tap;
    host.setCallTap(&tap);
    // A compare function that asks the framework something, as the application's may.
    const auto askingCompare = [](const void *key, const void *candidate) -> u32 {
        ZEP_GetTick();
        return key == candidate ? 0 : 1;
    };
    EXPECT_EQ(ZEP_HASH_FindNode(table, 1, &node, askingCompare), &node);
    EXPECT_EQ(ZEP_HASH_FindNode(table, 1, &tap, askingCompare), nullptr);
    EXPECT_THAT(tap.seen, ElementsAre("ZEP_HASH_FindNode", "ZEP_GetTick", "ZEP_HASH_FindNode", "ZEP_GetTick"));
    host.setCallTap(nullptr);
    EXPECT_EQ(ZEP_HASH_DeleteTable(table, nullptr), 0u);
}

}  // namespace
