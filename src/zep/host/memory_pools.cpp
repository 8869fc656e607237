// General heap with per-site accounting, and fixed-size block pools.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>

#include "host_impl.hpp"

namespace zep::host::detail {

namespace {

// Pool blocks are handed out with this pattern: their contents are undefined,
// and a caller that assumes zeroed blocks should see garbage, not luck.
constexpr u8 kPoolFill = 0xA5;

}  // namespace

MemoryLedger::~MemoryLedger()
{
    for (auto &[block, info] : blocks_) {
        std::free(block);
    }
}

void *MemoryLedger::allocate(const char *file, u32 line, u32 size)
{
    if (size == 0) {
        return nullptr;
    }
    // Exactly size bytes: AddressSanitizer then catches the first byte past it.
    void *block = std::calloc(1, size);
    if (block == nullptr) {
        return nullptr;
    }
    blocks_.emplace(block, Block{size, file, line});
    ++totalAllocations_;
    return block;
}

void MemoryLedger::release(void *block, const char *who)
{
    if (block == nullptr) {
        return;
    }
    const auto it = blocks_.find(block);
    if (it == blocks_.end()) {
        // Double or wild free: passing it on would corrupt the real heap.
        ++badFrees_;
        std::fprintf(stderr, "zep host: %s of a block not allocated by the host: %p\n", who, block);
        return;
    }
    std::free(block);
    blocks_.erase(it);
}

std::size_t MemoryLedger::liveBytes() const
{
    return std::accumulate(blocks_.begin(), blocks_.end(), std::size_t{0},
                           [](std::size_t total, const auto &block) {
                               return total + block.second.size;
                           });
}

std::map<std::string, std::size_t> MemoryLedger::liveBySite() const
{
    std::map<std::string, std::size_t> sites;
    for (const auto &[block, info] : blocks_) {
        ++sites[std::string(info.file != nullptr ? info.file : "?") + ":" + std::to_string(info.line)];
    }
    return sites;
}

ZEP_MemPool *MemoryLedger::createPool(u32 blockSize, u32 blockCount, const char *name)
{
    if (blockSize == 0 || blockCount == 0) {
        return nullptr;
    }
    auto pool = std::make_unique<ZEP_MemPool>();
    pool->name = name != nullptr ? name : "";
    pool->blockSize = blockSize;
    pool->blockCount = blockCount;
    ZEP_MemPool *handle = pool.get();
    pools_.emplace(handle, std::move(pool));
    return handle;
}

void *MemoryLedger::poolMalloc(ZEP_MemPool *pool)
{
    if (pool == nullptr || !pools_.contains(pool)) {
        return nullptr;
    }
    // Blocks are made on first use, so a large pool costs nothing until it fills;
    // a freed block is handed out again before a new one (the free list is a stack).
    void *block = nullptr;
    if (!pool->freeList.empty()) {
        block = pool->freeList.back();
        pool->freeList.pop_back();
    } else if (pool->storage.size() < pool->blockCount) {
        pool->storage.push_back(std::make_unique<std::byte[]>(pool->blockSize));
        block = pool->storage.back().get();
    } else {
        return nullptr;
    }
    pool->inUse.insert(block);
    std::memset(block, kPoolFill, pool->blockSize);
    return block;
}

u32 MemoryLedger::poolFree(ZEP_MemPool *pool, void *block)
{
    if (pool == nullptr || block == nullptr) {
        return kErrNullPtr;
    }
    if (!pools_.contains(pool) || pool->inUse.erase(block) == 0) {
        ++badFrees_;
        std::fprintf(stderr, "zep host: ZEP_MEMPOOL_Free of a block not in use in the pool: %p\n", block);
        return kErrNotFound;
    }
    pool->freeList.push_back(block);
    return 0;
}

u32 MemoryLedger::destroyPool(ZEP_MemPool *pool)
{
    if (pool == nullptr) {
        return kErrNullPtr;
    }
    const auto it = pools_.find(pool);
    if (it == pools_.end()) {
        return kErrNotFound;
    }
    pools_.erase(it);
    return 0;
}

std::size_t MemoryLedger::poolBlocksInUse(std::string_view poolName) const
{
    return std::accumulate(pools_.begin(), pools_.end(), std::size_t{0},
                           [&](std::size_t total, const auto &pool) {
                               const bool named = pool.second->name == poolName;
                               return total + (named ? pool.second->inUse.size() : 0);
                           });
}

}  // namespace zep::host::detail

using namespace zep::host;

void *emulated::UMAC_MallocZero(const char *file, u32 line, u32 size)
{
    if (detail::injectedFault(detail::Op::UMAC_MallocZero)) {
        return nullptr;
    }
    return detail::state().memory.allocate(file, line, size);
}

void emulated::UMAC_Free(const char */*file*/, u32 /*line*/, void *block)
{
    detail::state().memory.release(block, "UMAC_Free");
}

void emulated::ZEP_Free(void *block)
{
    detail::state().memory.release(block, "ZEP_Free");
}

ZEP_MemPool *emulated::ZEP_MEMPOOL_Create(u32 blockSize, u32 blockCount, const char *name, u32 /*flags*/, u32 /*align*/,
                                u32 /*reserved*/)
{
    if (detail::injectedFault(detail::Op::ZEP_MEMPOOL_Create)) {
        return nullptr;
    }
    return detail::state().memory.createPool(blockSize, blockCount, name);
}

void *emulated::ZEP_MEMPOOL_Malloc(ZEP_MemPool *pool)
{
    if (detail::injectedFault(detail::Op::ZEP_MEMPOOL_Malloc)) {
        return nullptr;
    }
    return detail::state().memory.poolMalloc(pool);
}

u32 emulated::ZEP_MEMPOOL_Free(ZEP_MemPool *pool, void *block)
{
    return detail::state().memory.poolFree(pool, block);
}

u32 emulated::ZEP_MEMPOOL_Destroy(ZEP_MemPool *pool, u32 /*flags*/)
{
    return detail::state().memory.destroyPool(pool);
}
