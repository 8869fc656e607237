// Counts general-heap allocations of the benchmark program: the replaceable
// operator new forwards to malloc after counting. Sized and aligned variants
// funnel into these two, so every container allocation is seen.
#include <cstdint>
#include <cstdlib>
#include <new>

#include "measure.hpp"

namespace {

std::uint64_t g_allocations = 0;

void *countedAllocation(std::size_t size)
{
    ++g_allocations;
    if (void *block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

}  // namespace

std::uint64_t zep::bench::heapAllocations() { return g_allocations; }

void *operator new(std::size_t size) { return countedAllocation(size); }
void *operator new[](std::size_t size) { return countedAllocation(size); }
void operator delete(void *block) noexcept { std::free(block); }
void operator delete[](void *block) noexcept { std::free(block); }
void operator delete(void *block, std::size_t) noexcept { std::free(block); }
void operator delete[](void *block, std::size_t) noexcept { std::free(block); }
