// Lists, hash tables, pools and bitmaps as the application's code uses them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "zep_host.hpp"

namespace {

using zep::host::Host;

struct Item {
    ZEP_SLL_Node link;  // first member: the list hands back the link
    int key;
    int tag;
};

class ListTest : public ::testing::Test {
protected:
    ListTest()
    {
        head_.first = end();
        head_.last = end();
    }
    ZEP_SLL_Node *end() { return reinterpret_cast<ZEP_SLL_Node *>(&head_); }
    void append(Item &item)
    {
        item.link.data = &item;
        ASSERT_EQ(ZEP_SLL_InsertInMiddle(&head_, head_.last, &item.link, end()), 0u);
    }
    // Keys in list order, checking circularity and the count on the way.
    std::vector<int> keys()
    {
        std::vector<int> out;
        ZEP_SLL_Node *node = head_.first;
        for (; node != end() && out.size() <= head_.count; node = node->next) {
            out.push_back(static_cast<Item *>(node->data)->key);
        }
        EXPECT_EQ(node, end());
        EXPECT_EQ(out.size(), head_.count);
        EXPECT_EQ(head_.last == end(), out.empty());
        return out;
    }

    Host host_;
    ZEP_SLL_Head head_{};
};

TEST_F(ListTest, MergeSortIsStableAndFindUsesKey)
{
    std::array<Item, 6> items{{{{}, 3, 0}, {{}, 1, 0}, {{}, 3, 1}, {{}, 2, 0}, {{}, 1, 1}, {{}, 3, 2}}};
    for (Item &item : items) {
        append(item);
    }
    ASSERT_EQ(ZEP_SLL_MergeSort(&head_, [](const void *a, const void *b) -> s32 {
                  const int ka = static_cast<const Item *>(a)->key;
                  const int kb = static_cast<const Item *>(b)->key;
                  return (ka > kb) - (ka < kb);
              }),
              0u);
    EXPECT_EQ(keys(), (std::vector<int>{1, 1, 2, 3, 3, 3}));
    std::vector<int> tags;
    for (ZEP_SLL_Node *node = head_.first; node != end(); node = node->next) {
        tags.push_back(static_cast<Item *>(node->data)->tag);
    }
    EXPECT_EQ(tags, (std::vector<int>{0, 1, 0, 0, 1, 2}));
    EXPECT_EQ(head_.last->next, end());

    const int key = 2;
    auto byKey = [](const void *k, const ZEP_SLL_Node *e) -> u32 {
        return static_cast<const Item *>(e->data)->key == *static_cast<const int *>(k) ? 0 : 1;
    };
    EXPECT_EQ(ZEP_SLL_Find(&head_, &key, byKey), &items[3].link);
    const int missing = 9;
    EXPECT_EQ(ZEP_SLL_Find(&head_, &missing, byKey), nullptr);
}

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

}  // namespace
