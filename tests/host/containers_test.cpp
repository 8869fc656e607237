// Hash tables and pools as the application's code uses them; lists are left to
// the table checker, which walks every list the application keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

#include "zep_host.hpp"

namespace {

using zep::host::Host;

struct HashNode {
    ZEP_HashLink link;
    u32 key;
};

u32 hashKeyCmp(const void *key, const void *node)
{
    return static_cast<const HashNode *>(node)->key == *static_cast<const u32 *>(key) ? 0 : 1;
}

std::vector<u32> g_freedKeys;

TEST(Hash, AddFindDeleteAcrossBucketsAndDeleteTableFreesEach)
{
    Host host;
    ZEP_HashTable *tbl = ZEP_HASH_CreateNew(3);
    ASSERT_NE(tbl, nullptr);
    std::array<HashNode, 4> nodes{{{{}, 10}, {{}, 11}, {{}, 12}, {{}, 13}}};
    for (HashNode &n : nodes) {
        n.link.data = &n;
        ASSERT_EQ(ZEP_HASH_AddNode(tbl, &n, n.key % 3, 0), 0u);
    }
    EXPECT_NE(ZEP_HASH_AddNode(tbl, &nodes[0], 3, 0), 0u);  // no bucket 3
    const u32 k13 = 13;
    const u32 k10 = 10;
    EXPECT_EQ(ZEP_HASH_FindNode(tbl, 1, &k13, hashKeyCmp), &nodes[3]);
    EXPECT_EQ(ZEP_HASH_FindNode(tbl, 1, &k10, hashKeyCmp), &nodes[0]);
    EXPECT_EQ(ZEP_HASH_FindNode(tbl, 2, &k13, hashKeyCmp), nullptr);
    EXPECT_EQ(nodes[0].link.data, &nodes[0]);

    EXPECT_NE(ZEP_HASH_DeleteNode(tbl, &nodes[0], 2), 0u);  // linked in bucket 1
    // 13 heads bucket 1 (new nodes go in front): once it is gone, 10 must not point back at it.
    EXPECT_EQ(ZEP_HASH_DeleteNode(tbl, &nodes[3], 1), 0u);
    EXPECT_EQ(ZEP_HASH_DeleteNode(tbl, &nodes[0], 1), 0u);
    EXPECT_EQ(ZEP_HASH_FindNode(tbl, 1, &k10, hashKeyCmp), nullptr);
    EXPECT_EQ(ZEP_HASH_FindNode(tbl, 1, &k13, hashKeyCmp), nullptr);

    g_freedKeys.clear();
    EXPECT_EQ(ZEP_HASH_DeleteTable(tbl, [](void *node) {
                  auto *n = static_cast<HashNode *>(node);
                  g_freedKeys.push_back(n->key);
                  n->link.next = nullptr;  // a free function may scribble on the node
              }),
              0u);
    std::sort(g_freedKeys.begin(), g_freedKeys.end());
    EXPECT_EQ(g_freedKeys, (std::vector<u32>{11, 12}));
}

TEST(Pool, ExhaustionGivesNullAndFreeMakesRoom)
{
    Host host;
    ZEP_MemPool *pool = ZEP_MEMPOOL_Create(24, 2, "nodes", 0, 0, 0);
    ASSERT_NE(pool, nullptr);
    void *a = ZEP_MEMPOOL_Malloc(pool);
    void *b = ZEP_MEMPOOL_Malloc(pool);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(ZEP_MEMPOOL_Malloc(pool), nullptr);
    EXPECT_EQ(host.memory().poolBlocksInUse("nodes"), 2u);

    EXPECT_EQ(ZEP_MEMPOOL_Free(pool, a), 0u);
    EXPECT_NE(ZEP_MEMPOOL_Free(pool, a), 0u);  // already back
    EXPECT_EQ(host.memory().badFrees(), 1u);
    EXPECT_EQ(ZEP_MEMPOOL_Malloc(pool), a);
    EXPECT_EQ(ZEP_MEMPOOL_Destroy(pool, 0), 0u);
    EXPECT_EQ(host.memory().livePools(), 0u);
}

// A reader finds the block in use that holds an address, and nothing for a
// block back in its pool, the byte past a block, or a pool that is gone.
TEST(Pool, ABlockInUseIsFoundByAnyAddressInsideIt)
{
    Host host;
    ZEP_MemPool *nodes = ZEP_MEMPOOL_Create(24, 4, "nodes", 0, 0, 0);
    ZEP_MemPool *other = ZEP_MEMPOOL_Create(8, 1, "other", 0, 0, 0);
    auto *a = static_cast<std::byte *>(ZEP_MEMPOOL_Malloc(nodes));
    auto *b = static_cast<std::byte *>(ZEP_MEMPOOL_Malloc(nodes));
    auto *c = static_cast<std::byte *>(ZEP_MEMPOOL_Malloc(other));
    const zep::host::Memory &memory = host.memory();
    const auto found = memory.poolBlockAt(a + 23);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->pool, "nodes");
    EXPECT_EQ(found->bytes.data(), a);
    EXPECT_EQ(found->bytes.size(), 24u);
    EXPECT_EQ(memory.poolBlockAt(c)->pool, "other");
    const int onStack = 0;
    EXPECT_FALSE(memory.poolBlockAt(&onStack).has_value());
    const auto past = memory.poolBlockAt(a + 24);
    EXPECT_TRUE(!past || past->bytes.data() != a);

    ZEP_MEMPOOL_Free(nodes, a);
    EXPECT_FALSE(memory.poolBlockAt(a).has_value());
    ASSERT_EQ(memory.poolBlocks("nodes").size(), 1u);
    EXPECT_EQ(memory.poolBlocks("nodes")[0].bytes.data(), b);
    ZEP_MEMPOOL_Destroy(nodes, 0);
    EXPECT_FALSE(memory.poolBlockAt(b).has_value());
    EXPECT_TRUE(memory.poolBlocks("nodes").empty());
    EXPECT_EQ(memory.poolBlocks("other").size(), 1u);
}

}  // namespace
