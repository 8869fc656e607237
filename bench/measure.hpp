// The timed loop every benchmark here uses. Besides Google Benchmark's clock it
// gives two repeatable figures per operation:
//  - "allocs/op": general-heap allocations (operator new) made by the operation;
//  - instructions, when the program runs under callgrind with
//    --collect-atstart=no: only the operation's own instructions are collected,
//    and each run of a benchmark ends with a dump named "<name> <iterations>",
//    from which bench/icount.sh derives instructions per operation.
// Outside valgrind the callgrind requests are a handful of no-op instructions.
#pragma once

#include <benchmark/benchmark.h>
#include <valgrind/callgrind.h>

#include <cstdint>
#include <string>
#include <type_traits>

namespace zep::bench {

// operator new calls since the program started (see alloc_count.cpp).
std::uint64_t heapAllocations();

struct NoPreparation {
    void operator()() const {}
};

// Runs op once per iteration; prepare, if given, runs before each op with the
// clock paused and neither allocations nor instructions counted.
template <class Op, class Prepare = NoPreparation>
void measure(benchmark::State &state, const std::string &name, Op &&op, Prepare &&prepare = {})
{
    constexpr bool kPrepares = !std::is_same_v<std::remove_cvref_t<Prepare>, NoPreparation>;
    std::uint64_t allocs = 0;
    // Call counts are kept even while collection is off: start them afresh.
    CALLGRIND_ZERO_STATS;
    for (auto _ : state) {
        if constexpr (kPrepares) {
            state.PauseTiming();
            prepare();
            state.ResumeTiming();
        }
        const std::uint64_t before = heapAllocations();
        CALLGRIND_TOGGLE_COLLECT;
        op();
        CALLGRIND_TOGGLE_COLLECT;
        allocs += heapAllocations() - before;
    }
    const std::string dump = name + " " + std::to_string(state.iterations());
    CALLGRIND_DUMP_STATS_AT(dump.c_str());
    state.counters["allocs/op"] =
        static_cast<double>(allocs) / static_cast<double>(state.iterations());
}

}  // namespace zep::bench
