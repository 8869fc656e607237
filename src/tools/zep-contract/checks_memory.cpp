// zep-contract: the heap and fixed-size block pools.
#include <algorithm>
#include <cstring>
#include <vector>

#include "check.hpp"
#include "zep_framework.h"

namespace zep::contract {
namespace {

// Sizes the module allocates, and blocks dirtied and freed before each round,
// so that a heap handing back used memory without clearing it shows.
void zeroFilled(Verdict &v)
{
    const u32 sizes[] = {1, 12, 40, 96, 1900, 4096};
    for (int round = 0; round < 3; ++round) {
        std::vector<u8 *> blocks;
        for (u32 size : sizes) {
            auto *block = static_cast<u8 *>(ZEP_MALLOC_ZERO(size));
            if (!v.expect(block != nullptr, "no block of %u bytes", size)) {
                continue;
            }
            v.expect(std::all_of(block, block + size, [](u8 byte) { return byte == 0; }),
                     "round %d: a %u-byte block is not zero-filled", round, size);
            std::memset(block, 0xC3, size);
            blocks.push_back(block);
        }
        // Half go back one way, half the other: both are the module's.
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            if (i % 2 == 0) {
                ZEP_FREE(blocks[i]);
            } else {
                ZEP_Free(blocks[i]);
            }
        }
    }
    v.expect(ZEP_MALLOC_ZERO(0) == nullptr, "a 0-byte request gave a block");
}

constexpr u32 kPoolBlock = 96;
constexpr u32 kPoolCount = 8;

void poolCapacity(Verdict &v)
{
    ZEP_MemPool *pool = ZEP_MEMPOOL_Create(kPoolBlock, kPoolCount, "zep_contract_pool", 0, 0, 0);
    if (!v.expect(pool != nullptr, "no pool of %u blocks of %u bytes", kPoolCount, kPoolBlock)) {
        return;
    }
    std::vector<u8 *> blocks;
    for (u32 i = 0; i < kPoolCount; ++i) {
        auto *block = static_cast<u8 *>(ZEP_MEMPOOL_Malloc(pool));
        if (!v.expect(block != nullptr, "block %u of %u: null", i + 1, kPoolCount)) {
            break;
        }
        std::memset(block, static_cast<int>(i + 1), kPoolBlock);
        blocks.push_back(block);
    }
    for (u32 i = 0; i < blocks.size(); ++i) {
        v.expect(blocks[i][0] == i + 1 && blocks[i][kPoolBlock - 1] == i + 1,
                 "block %u was overwritten through another block", i + 1);
    }
    void *extra = ZEP_MEMPOOL_Malloc(pool);
    v.expect(extra == nullptr, "a full pool of %u blocks gave one more", kPoolCount);
    const u32 destroyed = ZEP_MEMPOOL_Destroy(pool, 0);
    v.expect(destroyed == 0, "destroying a pool with blocks in use returned %u", destroyed);
}

void poolGiveBack(Verdict &v)
{
    ZEP_MemPool *pool = ZEP_MEMPOOL_Create(kPoolBlock, 2, "zep_contract_pool", 0, 0, 0);
    if (!v.expect(pool != nullptr, "no pool of 2 blocks")) {
        return;
    }
    void *first = ZEP_MEMPOOL_Malloc(pool);
    void *second = ZEP_MEMPOOL_Malloc(pool);
    const u32 freed = ZEP_MEMPOOL_Free(pool, first);
    void *again = ZEP_MEMPOOL_Malloc(pool);
    v.expect(first != nullptr && second != nullptr && first != second,
             "two blocks of a 2-block pool: %p and %p", first, second);
    v.expect(freed == 0, "ZEP_MEMPOOL_Free returned %u", freed);
    v.expect(again != nullptr, "no block after one was given back to a full pool");
    v.expect(ZEP_MEMPOOL_Free(pool, second) == 0 && ZEP_MEMPOOL_Free(pool, again) == 0,
             "giving back the last blocks was refused");
    ZEP_MEMPOOL_Destroy(pool, 0);
}

}  // namespace

const std::vector<Check> kMemoryChecks = {
    {"memory.zero_filled",
     "UMAC_MallocZero blocks are zero-filled, also after UMAC_Free or ZEP_Free",
     {"UMAC_MallocZero", "UMAC_Free", "ZEP_Free"}, zeroFilled},
    {"memory.pool_capacity", "A pool gives exactly its count of separate blocks, then null",
     {"ZEP_MEMPOOL_Create", "ZEP_MEMPOOL_Malloc", "ZEP_MEMPOOL_Destroy"}, poolCapacity},
    {"memory.pool_give_back", "A block given back with ZEP_MEMPOOL_Free can be taken again",
     {"ZEP_MEMPOOL_Free", "ZEP_MEMPOOL_Malloc"}, poolGiveBack},
};

}  // namespace zep::contract
