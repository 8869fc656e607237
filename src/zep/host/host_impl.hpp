// State of the emulated framework, shared by the files that implement it. Each
// C entry point reaches it through Host::current().impl().
#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <memory_resource>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "body_buffers.hpp"
#include "event_queues.hpp"
#include "record_calls.hpp"
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
#define ZEP_HOST_OP_ENUMERATOR(name, replay, fault, failure, note)                                 \
    ZEP_OP_WHEN(ZEP_OP_FALLIBLE_##fault, name, )
enum class Op : u8 { ZEP_OPERATIONS(ZEP_HOST_OP_ENUMERATOR) };
#undef ZEP_HOST_OP_ENUMERATOR

#define ZEP_HOST_OP_NAME(name, replay, fault, failure, note) ZEP_OP_WHEN(ZEP_OP_FALLIBLE_##fault, #name, )
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
    MemoryLedger() = default;
    MemoryLedger(const MemoryLedger &) = delete;
    MemoryLedger &operator=(const MemoryLedger &) = delete;
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
class LibraryHandle {
public:
    LibraryHandle() = default;
    LibraryHandle(const LibraryHandle &) = delete;
    LibraryHandle &operator=(const LibraryHandle &) = delete;
    ~LibraryHandle() { reset(); }
    void reset(void *handle = nullptr);
    void *get() const { return handle_; }

private:
    void *handle_ = nullptr;
};

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
    // What a tapped ZEP_UAM_FindStaInfo / ZEP_STA_GetVapBssid hands out.
    ZEP_UAM_StaInfo tappedStation{};
    Mac tappedBssid{};

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

namespace calls = ::zep::record::calls;

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

// The live host's tap, mirrored out of Impl so that an entry point finds it
// with one load: every entry point begins with `if (throughTap())`, and with
// no tap set that compare and branch is all the tap costs it. Whatever a tap
// needs happens in tappedPath, out of line, and leaves the entry point at
// once, so its own body keeps the registers and frame it had without a tap.
// (Hidden: the entry points reach them without a table of addresses.)
[[gnu::visibility("hidden")]] inline CallTap *g_tap = nullptr;
// Set by emulated() just before an entry point enters itself again: that
// once, it answers as the emulation would, without asking the tap.
[[gnu::visibility("hidden")]] inline bool g_emulateOnce = false;

inline bool throughTap()
{
    if (g_tap == nullptr) [[likely]] {
        return false;
    }
    if (g_emulateOnce) {
        g_emulateOnce = false;
        return false;
    }
    return true;
}

// What an entry point does under a tap, kept out of its body: a function
// of the entry point's own arguments, so that the entry point hands them on
// in the registers they came in and needs no frame of its own for it. Each
// entry point passes a lambda without captures whose parameters are its own
// arguments, named with a trailing _ to keep the two apart.
template <class R, class... P, class... A>
[[gnu::noinline, gnu::cold]] R tappedPath(R (*whatTheTapDoes)(P...), A... args)
{
    return whatTheTapDoes(args...);
}

// The entry point again, answered by the emulation: what a tapped call does
// when the replay leaves it to the emulation. Callbacks it makes into the
// application reach the tap again as usual.
template <class R, class... P, class... A>
R emulated(R (*entryPoint)(P...), A... args)
{
    g_emulateOnce = true;
    return entryPoint(args...);
}

// The result the tap gives for the call build(args...) describes (its
// outputs written to `out`), if it gives one. Only inside tappedPath.
template <class T, class... P, class... A>
bool tapped(zep::record::Event (*build)(P...), T &result, std::span<u8> out, const void *subject, A... args)
{
    const std::optional<u64> answer = g_tap->onCall(build(args...), out, subject);
    if (!answer) {
        return false;
    }
    result = static_cast<T>(*answer);
    return true;
}

// Where a tapped operation writes its outputs: the caller's variable.
template <class T>
inline std::span<u8> outBytes(T *p)
{
    return p != nullptr ? std::span<u8>(reinterpret_cast<u8 *>(p), sizeof(T)) : std::span<u8>();
}

// For the operations that return nothing: the tap only sees the call.
template <class... P, class... A>
void tapSeen(zep::record::Event (*build)(P...), A... args)
{
    g_tap->onCall(build(args...), {}, nullptr);
}

}  // namespace detail

}  // namespace zep::host
