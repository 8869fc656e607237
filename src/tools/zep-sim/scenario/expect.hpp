// The `expect` step: checks on what happened since the previous expect (counts
// of messages, log texts, event patterns, the last status) and on the state the
// application and the host are in now (table sizes, handlers, heap, timers).
#pragma once

#include "base/sim_json.hpp"

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/events.hpp"
#include "base/yaml_fields.hpp"

namespace zep::sim {

// An exact number (3) or a range: ">=3", "<=3", ">3", "<3", "2..5".
struct Count {
    std::uint64_t lo = 0;
    std::uint64_t hi = std::numeric_limits<std::uint64_t>::max();
    std::string text;

    static Count parse(const Node &node);
    bool matches(std::uint64_t n) const { return n >= lo && n <= hi; }
};

struct EventPattern {
    Json pattern;  // subset of an event's trace object
    Count count;             // default ">=1"
    std::string text;        // the pattern as written, for messages
};

struct ListSizeCheck {
    u32 radio = 0;
    u32 channel = 0;
    Count size;
};

struct Expect {
    std::map<u32, Count> sent;      // ZEP_MNG_SendMsg per message id
    std::map<u32, Count> in;        // deliveries to a handler per id (186: timer expiries)
    std::optional<Count> ipc;       // ZEP_MNG_SendIPCMsg calls
    std::optional<std::vector<u32>> ipcBytes;
    bool checkStatus = false;
    std::optional<u32> status;      // nullopt: nothing handled the last step
    std::vector<std::string> logContains;
    std::vector<std::string> noLog;
    std::vector<std::pair<std::string, Count>> logCount;
    std::vector<EventPattern> events;
    std::map<u32, Count> tableSize;  // entries of RPC 69 for a radio, now
    std::vector<ListSizeCheck> comeasSize;
    std::vector<u32> registered;
    std::vector<u32> notRegistered;
    std::optional<Count> leaks;     // heap blocks of the application, now
    std::optional<Count> timers;    // running timers, now
};

Expect parseExpect(const Node &node);

// Live state the checks ask about; the runner answers through the host.
class StateProbe {
public:
    virtual ~StateProbe() = default;
    virtual std::optional<u32> tableSize(u32 radio) = 0;
    virtual std::optional<u32> comeasSize(u32 radio, u32 channel) = 0;
    virtual bool handlerRegistered(u32 msgId) = 0;
    virtual std::uint64_t liveBlocks() = 0;
    virtual std::uint64_t activeTimers() = 0;
};

// The status of the last step that returned one, if any step in the window did.
struct LastStatus {
    bool seen = false;
    std::optional<u32> status;  // nullopt: no handler was registered
    std::string step;
};

// What an expect looks back on: the events since the previous one, reduced to
// what the expects of the scenario read (counters, the log texts they name, the
// patterns they match), so that a window costs the same after a second or a
// day of events. An expect may only read what was watched for it.
class Window {
public:
    struct LogHits {
        std::uint64_t lines = 0;
        std::string first;  // the first line that held the text
    };

    // Keeps, from now on, what this expect will ask about.
    void watch(const Expect &expect);
    // Whether events must carry their trace objects for the watched patterns.
    bool matchesPatterns() const { return !patterns_.empty(); }

    void add(const Event &ev);
    void clear();

    std::uint64_t count(EventKind kind, u32 id) const;
    std::uint64_t ipcCount() const { return ipcCount_; }
    // The lengths of the first IPC messages: as many as the longest ipcBytes
    // watched, and one more to tell a longer list from an equal one.
    const std::vector<u32> &ipcSizes() const { return ipcSizes_; }
    const LogHits &logHits(const std::string &text) const;
    std::uint64_t patternHits(const std::string &patternText) const;

private:
    struct PatternHits {
        Json pattern;
        std::uint64_t n = 0;
    };
    // The deliveries and sends the expects count, by kind and message id:
    // every event a run makes is looked up here.
    static std::uint64_t tallyKey(EventKind kind, u32 id)
    {
        return std::uint64_t{static_cast<u32>(kind)} << 32 | id;
    }
    std::unordered_map<std::uint64_t, std::uint64_t> tallies_;
    std::uint64_t ipcCount_ = 0;
    std::size_t ipcSizesKept_ = 0;
    std::vector<u32> ipcSizes_;
    std::map<std::string, LogHits> logs_;
    std::map<std::string, PatternHits> patterns_;  // by the pattern's text
};

// One message per failed check; empty when all hold.
std::vector<std::string> checkExpect(const Expect &expect, const Window &window,
                                     const LastStatus &last, StateProbe &probe);

}  // namespace zep::sim
