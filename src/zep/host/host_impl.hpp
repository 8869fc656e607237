// State of the emulated framework, shared by the files that implement it. Each
// C entry point reaches it through Host::current().impl().
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "zep_host.hpp"

// The framework's opaque handles. Their layouts are the emulation's own.
struct ZEP_HashTable {
    std::vector<ZEP_HashLink *> heads;                  // first link of each bucket
    std::unordered_map<const ZEP_HashLink *, u32> bucketOf;  // every linked node
};

struct ZEP_MemPool {
    std::string name;
    u32 blockSize = 0;
    // Every block is its own allocation so that AddressSanitizer sees an overrun
    // of one block instead of silently writing into the next.
    std::vector<std::unique_ptr<std::byte[]>> storage;
    std::vector<void *> freeList;
    std::unordered_set<const void *> inUse;
};

namespace zep::host::detail {

class FaultRegistry final : public Faults {
public:
    // Called once at the entry of every fallible operation: counts the call and
    // gives the status to fail with when an armed rule covers it.
    std::optional<u32> check(std::string_view op);

    void failCall(std::string_view op, u32 nth, u32 count, u32 status) override;
    void failKthFallible(u64 k, u32 status) override;
    u64 fallibleCalls() const override { return fallible_; }
    u64 calls(std::string_view op) const override;
    u64 injectedFailures() const override { return injected_; }
    void clear() override;

private:
    struct Rule {
        std::string op;
        u64 first = 0;  // call numbers of op, counted since the host was made
        u64 last = 0;
        u32 status = kErrInjected;
    };
    struct KthRule {
        u64 callNumber = 0;  // counted over all fallible calls
        u32 status = kErrInjected;
    };
    std::map<std::string, u64, std::less<>> calls_;
    std::vector<Rule> rules_;
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
        std::string site;
    };
    std::unordered_map<void *, Block> blocks_;
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

struct Timer {
    ZEP_TimerInfo info{};
    u64 dueMs = 0;
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

    // Application.
    RegEntry entry = nullptr;
    const ZEP_AppInfo *app = nullptr;

    // Message manager.
    std::map<std::pair<u32, u32>, ZEP_MsgHandler> handlers;  // (kind, msgId)
    std::vector<SentMessage> sent;

    // Clock, timers and scheduled actions.
    u64 nowMs = 0;
    std::map<u32, detail::Timer> timers;
    u32 nextTimerId = 1;
    std::map<std::pair<u64, u64>, std::function<void()>> actions;  // (atMs, order)
    u64 nextActionOrder = 0;
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

    // Calls handler on a heap copy of exactly body.size() bytes, times it and
    // reports it to the observer as a delivery of (kind, msgId).
    u32 callOnCopy(u32 kind, u32 msgId, ZEP_MsgHandler handler, std::span<const u8> body);
    // Reports a finished handler call to the observer, if any.
    void reportDelivery(u32 kind, u32 msgId, std::span<const u8> body, u32 status,
                        std::chrono::nanoseconds elapsed) const;
};

namespace detail {

inline Host::Impl &state() { return Host::current().impl(); }

// Entry check of a fallible operation: the status to fail with, if any.
inline std::optional<u32> injectedFault(std::string_view op) { return state().faults.check(op); }

}  // namespace detail

}  // namespace zep::host
