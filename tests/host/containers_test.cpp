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
    ASSERT_TRUE(a != nullptr && b != nullptr);
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

}  // namespace
