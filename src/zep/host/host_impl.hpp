// State of the emulated framework, shared by the files that implement it. Each
// C entry point reaches it through Host::current().impl().
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <memory_resource>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "body_buffers.hpp"
#include "event_queues.hpp"
#include "zep_host.hpp"
#include "zep_operations.h"

// The framework's opaque handles. Their layouts are the emulation's own.
struct ZEP_HashTable {
    std::vector<ZEP_HashLink *> heads;  // first link of each bucket
    std::pmr::unsynchronized_pool_resource linkNodes;  // reused as nodes come and go
    // every linked node
    std::pmr::unordered_map<const ZEP_HashLink *, u32> bucketOf =
        std::pmr::unordered_map<const ZEP_HashLink *, u32>(&linkNodes);
};

struct ZEP_MemPool {
    std::string name;
    u32 blockSize = 0;
    u32 blockCount = 0;
    // Every block is its own allocation so that AddressSanitizer sees an overrun
    // of one block instead of silently writing into the next.
    std::vector<std::unique_ptr<std::byte[]>> storage;
    std::vector<void *> freeList;
    std::pmr::unsynchronized_pool_resource inUseNodes;  // reused as blocks come and go
    // Parenthesised: braces would take the resource's address as an element.
    std::pmr::unordered_set<const void *> inUse = std::pmr::unordered_set<const void *>(&inUseNodes);
};

namespace zep::host::detail {

// The fallible rows of the table of operations: the enumeration the emulation
// checks its rules by, and the names tests and scenarios arm them by.
#define ZEP_HOST_OP_ENUMERATOR(name, replay, fault, ...)                                           \
    ZEP_OP_WHEN(ZEP_OP_FALLIBLE_##fault, name, )
enum class Op : u8 { ZEP_OPERATIONS(ZEP_HOST_OP_ENUMERATOR) };
#undef ZEP_HOST_OP_ENUMERATOR

#define ZEP_HOST_OP_NAME(name, replay, fault, ...) ZEP_OP_WHEN(ZEP_OP_FALLIBLE_##fault, #name, )
inline constexpr std::string_view kOpNames[] = {ZEP_OPERATIONS(ZEP_HOST_OP_NAME)};
#undef ZEP_HOST_OP_NAME

inline constexpr std::size_t kOpCount = std::size(kOpNames);

class FaultRegistry final : public Faults {
public:
    // Called once at the entry of every fallible operation: counts the call and
    // gives the status to fail with when an armed rule covers it. With nothing
    // armed, that is two increments and one branch.
    std::optional<u32> check(Op op)
    {
        ++fallible_;
        const u64 call = ++calls_[static_cast<std::size_t>(op)];
        if (armedRules_ == 0 && !kth_) [[likely]] {
            return std::nullopt;
        }
        return checkArmed(op, call);
    }

    void failCall(std::string_view op, u32 nth, u32 count, u32 status) override;
    void failKthFallible(u64 k, u32 status) override;
    u64 fallibleCalls() const override { return fallible_; }
    u64 calls(std::string_view op) const override;
    u64 injectedFailures() const override { return injected_; }
    void clear() override;

private:
    struct Rule {
        u64 first = 0;  // call numbers of the operation, counted since the host was made
        u64 last = 0;
        u32 status = kErrInjected;
    };
    struct KthRule {
        u64 callNumber = 0;  // counted over all fallible calls
        u32 status = kErrInjected;
    };
    std::optional<u32> checkArmed(Op op, u64 call);

    std::array<u64, kOpCount> calls_{};
    std::array<std::vector<Rule>, kOpCount> rules_;  // by operation
    std::size_t armedRules_ = 0;                     // over every operation
    std::optional<KthRule> kth_;
    u64 fallible_ = 0;
    u64 injected_ = 0;
};

class MemoryLedger final : public Memory {
public:
    ~MemoryLedger() override;  // frees whatever the application left behind

    void *allocate(const char *file, u32 line, u32 size);
    void release(void *block, const char *who);

    ZEP_MemPool *createPool(u32 blockSize, u32 blockCount, const char *name);
    void *poolMalloc(ZEP_MemPool *pool);
    u32 poolFree(ZEP_MemPool *pool, void *block);
    u32 destroyPool(ZEP_MemPool *pool);

    std::size_t liveBlocks() const override { return blocks_.size(); }
    std::size_t liveBytes() const override;
    u64 totalAllocations() const override { return totalAllocations_; }
    std::map<std::string, std::size_t> liveBySite() const override;
    std::size_t livePools() const override { return pools_.size(); }
    std::size_t poolBlocksInUse(std::string_view poolName) const override;
    std::size_t badFrees() const override { return badFrees_; }

private:
    struct Block {
        std::size_t size = 0;
        const char *file = nullptr;  // the caller's __FILE__: lives as long as its code
        u32 line = 0;
    };
    // Its nodes come back to this pool when blocks are freed, so that steady
    // allocation and release by the application costs the real heap nothing.
    std::pmr::unsynchronized_pool_resource blockNodes_;
    std::pmr::unordered_map<void *, Block> blocks_ = std::pmr::unordered_map<void *, Block>(&blockNodes_);
    std::map<const ZEP_MemPool *, std::unique_ptr<ZEP_MemPool>> pools_;
    u64 totalAllocations_ = 0;
    std::size_t badFrees_ = 0;
};

class TickSource final : public Ticks {
public:
    void setTicksPerMs(u32 ticksPerMs) override { ticksPerMs_ = ticksPerMs == 0 ? 1 : ticksPerMs; }
    void script(std::vector<u32> values) override { script_.assign(values.begin(), values.end()); }
    u32 next(u64 nowMs);
    u32 ticksPerMs() const { return ticksPerMs_; }

private:
    u32 ticksPerMs_ = 1;
    std::deque<u32> script_;
};

// Closes a dlopen'ed application library when the host goes away.
struct CloseLibrary {
    void operator()(void *handle) const;
};
using LibraryHandle = std::unique_ptr<void, CloseLibrary>;

struct DataArea {
    UMAC_OBJMNG_DataAreaReq req{};
    std::unique_ptr<u8[]> bytes;
};

}  // namespace zep::host::detail

namespace zep::host {

struct Host::Impl {
    explicit Impl(Profile p) : profile(p) {}

    // Declared first so that it is closed last, after everything the
    // application's code could still be referenced from is gone.
    detail::LibraryHandle library;

    Profile profile;
    Observer *observer = nullptr;

    // Application.
    RegEntry entry = nullptr;
    const ZEP_AppInfo *app = nullptr;

    // Message manager.
    std::map<std::pair<u32, u32>, ZEP_MsgHandler> handlers;  // (kind, msgId)
    std::vector<SentMessage> sent;
    bool captureSent = true;
    SentMessage lastSent;  // what the observer is shown while sends are not captured
    detail::BodyBuffers bodyBuffers;

    // Clock, timers and scheduled actions.
    u64 nowMs = 0;
    detail::TimerQueue timers;
    detail::ActionQueue actions;
    detail::TickSource ticks;

    // Configuration items, data areas and access primitives.
    std::map<u32, ZEP_CfgMsgHandler> cfgHandlers;
    std::map<u64, detail::DataArea> areas;
    u64 nextAreaHandle = 1;
    std::map<u32, ZEP_AccessPrimHandler> primHandlers;

    // Memory and containers.
    detail::MemoryLedger memory;
    std::map<const ZEP_HashTable *, std::unique_ptr<ZEP_HashTable>> hashTables;

    // Databases.
    std::map<u32, RadioFacts> radios;
    std::map<Mac, std::unique_ptr<ZEP_UAM_StaInfo>> stations;
    std::vector<std::unique_ptr<NeighbourFacts>> neighbours;
    std::vector<TokenFacts> tokens;
    std::map<std::pair<u16, u8>, u32> scanRadios;

    // Logger.
    std::vector<LogLine> logs;
    u32 logThreshold = 0;
    bool logToStderr = false;
    bool captureLogs = true;
    u64 formattedLogLines = 0;

    detail::FaultRegistry faults;

    // Calls handler on a copy of exactly body.size() bytes and, when there is
    // an observer, times it and reports it as a delivery of (kind, msgId).
    u32 callOnCopy(u32 kind, u32 msgId, ZEP_MsgHandler handler, std::span<const u8> body);
    // Reports a finished handler call to the observer, if any.
    void reportDelivery(u32 kind, u32 msgId, std::span<const u8> body, u32 status,
                        std::chrono::nanoseconds elapsed) const;
};

// What each entry point made from the table of operations runs: the
// framework's behaviour, one function per row, named after it.
namespace emulated {
#define ZEP_HOST_EMULATED_BODY(name, replay, fault, failure, entry, result, params, outputs, note) \
    ZEP_OP_WHEN(ZEP_OP_GENERATED_##entry, [[gnu::visibility("hidden")]] result name(ZEP_OP_PARAMS(params));)
ZEP_OPERATIONS(ZEP_HOST_EMULATED_BODY)
#undef ZEP_HOST_EMULATED_BODY
}  // namespace emulated

namespace detail {

// The Impl of the live host, or null: the framework's C entry points carry no
// context, and reaching the state must cost one load on their hot paths.
inline Host::Impl *liveImpl = nullptr;

[[noreturn]] void noLiveHost();

inline Host::Impl &state()
{
    if (liveImpl == nullptr) [[unlikely]] {
        noLiveHost();
    }
    return *liveImpl;
}

// Entry check of a fallible operation: the status to fail with, if any.
inline std::optional<u32> injectedFault(Op op) { return state().faults.check(op); }

// What a fallible operation fails with before it does anything: an injected
// fault, or kErrNullPtr when one of the pointers it requires is null.
template <class... P>
std::optional<u32> refusal(Op op, P... required)
{
    if (auto fault = injectedFault(op)) {
        return fault;
    }
    const bool anyNull = (false || ... || (required == nullptr));
    return anyNull ? std::optional<u32>(kErrNullPtr) : std::nullopt;
}

// The live host's tap, mirrored out of Impl so that an entry point finds it
// with one load: every entry point begins with `if (g_tap != nullptr)`, and
// with no tap set that compare and branch is all the tap costs it. Whatever a
// tap needs happens in throughTap, out of line, and leaves the entry point at
// once, so its own way to the emulated body needs no frame. (Hidden: the
// entry points reach it without a table of addresses.)
[[gnu::visibility("hidden")]] inline CallTap *g_tap = nullptr;

template <class T>
Output output(T *where, std::size_t bytes)
{
    return {reinterpret_cast<u8 *>(where), bytes};
}

template <class... O>
std::array<Output, sizeof...(O)> outputList(O... each)
{
    return {each...};
}

// The tap's answer as the operation's result.
template <class R>
R answerAs(u64 answer)
{
    if constexpr (std::is_pointer_v<R>) {
        return reinterpret_cast<R>(static_cast<std::uintptr_t>(answer));
    } else if constexpr (!std::is_void_v<R>) {
        return static_cast<R>(answer);
    }
}

// What a tap's answer says a call's outputs hold, written to the caller's
// variables.
void writeOutputs(std::span<const Output> outputs, std::span<const u8> answered);

// A failed call the tap answered and the emulation did not perform, shown to
// the observer as the emulation shows that failure.
void showUnperformed(Operation op, const void *arguments, u64 status);

// A call of op under a tap: shown to it with the outputs outputsOf finds
// among the arguments, and answered by it (performed by body first where the
// answer says so) or else by body.
template <Operation op, auto body, auto outputsOf, class... P>
[[gnu::noinline, gnu::cold]] auto throughTap(P... args)
{
    using Result = decltype(body(args...));
    static_assert(std::is_same_v<std::tuple<P...>, Arguments<op>>, "the entry point's parameters are the row's");
    const Arguments<op> arguments{args...};
    const auto outputs = outputsOf(args...);
    const std::optional<Answer> answer = g_tap->onCall(Call{op, &arguments, outputs});
    if (!answer) {
        return body(args...);
    }
    if (answer->perform) {
        static_cast<void>(body(args...));
    } else if (answer->result != 0) {
        showUnperformed(op, &arguments, answer->result);
    }
    writeOutputs(outputs, answer->outputs);
    return answerAs<Result>(answer->result);
}

}  // namespace detail

}  // namespace zep::host
