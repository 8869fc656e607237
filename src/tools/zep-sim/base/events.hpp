// One record per thing that happened during a run. The event fan-out turns the host's
// observer calls into events and hands each to every sink (trace, timeline,
// summary, and the journal that expectations look back on).
#pragma once

#include "base/node_shares.hpp"
#include "base/sim_json.hpp"

#include <array>
#include <chrono>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "zep_types.h"

namespace zep::sim {

enum class EventKind {
    Reg,        // registration entry returned
    Phase,      // an init phase returned
    Deinit,     // de-initialisation returned
    RegMsg,     // a handler was registered
    UnregMsg,   // a handler was withdrawn
    In,         // a message handler (timer included) returned
    Unhandled,  // a message was offered but nothing is registered for it
    Config,     // configuration item 32 handler returned
    Leave,      // station-leave handler returned
    Rpc,        // an RPC handler returned; body is the buffer as left
    Out,        // ZEP_MNG_SendMsg
    Ipc,        // ZEP_MNG_SendIPCMsg
    OutFail,    // ZEP_MNG_SendMsg returned non-zero; nothing went out
    IpcFail,    // ZEP_MNG_SendIPCMsg returned non-zero; nothing went out
    Log,        // ZEP_DBG_Print
    Note,       // a scenario's narrative line
    Expect,     // the verdict of an expect step
};
inline constexpr std::size_t kEventKinds = static_cast<std::size_t>(EventKind::Expect) + 1;

// The summary column a message counts in, and for which radio.
enum class Column;
struct MsgInfo;

// Of the decoded fields, the one-liner and the trace object, the fan-out fills
// only what a sink asks for (its Needs); the rest is there for every event. The
// few events the runner makes itself (notes, verdicts, configuration, leaves,
// unhandled messages) come with their one-liner and trace object always.
struct Event {
    EventKind kind = EventKind::Note;
    u64 t = 0;
    u32 id = 0;                   // message id; phase number for Phase
    std::optional<u32> status;    // what the handler or entry returned
    u32 context = 0;              // handler running when this happened; 0 outside one
    // Out, Ipc, OutFail, IpcFail, Rpc, In: valid only while the sinks are handed
    // the event; a sink that keeps events must not read it later.
    std::span<const u8> body;
    std::size_t len = 0;          // In: the length of the body as delivered
    u32 dest = 0;                 // Out, Ipc, OutFail, IpcFail
    const MsgInfo *msg = nullptr; // what the catalog knows of the message; null if nothing
    std::string_view name;        // display name when the id does not say it
    Column column{};              // the summary column it counts in
    u32 radio = 0;                // the radio it concerns, for that column
    u32 severity = 0;             // Log
    u32 category = 0;             // Log
    std::string text;             // Log: as formatted; Note: the note
    std::string summary;          // decoded one-liner, when a sink wants text
    std::chrono::nanoseconds elapsed{0};
    std::optional<Json> fields;   // the body decoded into named fields, when wanted
    std::optional<Json> json;     // the trace object, when one is wanted
    // Out, OutFail of a measurement request sent by the timer, when wanted: the
    // host whose share it served, or kUnknownHost.
    std::optional<int> servedHost;
    // Rpc 69 answered, when wanted: the nodes the hosts asked for; like body, valid
    // only while the sinks are handed the event.
    const std::vector<NodeShares> *nodes = nullptr;
};

// What a sink reads of an event beyond the facts every event carries. Each
// costs a decode or allocations per event, by the million on a long run, so
// the fan-out makes only what some sink has declared, kind by kind.
enum class Need : u8 {
    Fields = 1u << 0,  // Event::fields
    Text = 1u << 1,    // Event::summary
    Object = 1u << 2,  // Event::json
    Shares = 1u << 3,  // Event::servedHost, Event::nodes: from the ledger of what the hosts asked for
};

class Needs {
public:
    // For every kind of event, or only for the kinds listed.
    Needs &add(Need need)
    {
        for (u8 &kind : byKind_) {
            kind |= bit(need);
        }
        return *this;
    }
    Needs &add(Need need, std::initializer_list<EventKind> kinds)
    {
        for (const EventKind kind : kinds) {
            byKind_[index(kind)] |= bit(need);
        }
        return *this;
    }
    Needs &remove(Need need, std::initializer_list<EventKind> kinds)
    {
        for (const EventKind kind : kinds) {
            byKind_[index(kind)] &= static_cast<u8>(~bit(need));
        }
        return *this;
    }
    Needs &operator|=(const Needs &other)
    {
        for (std::size_t i = 0; i < kEventKinds; ++i) {
            byKind_[i] |= other.byKind_[i];
        }
        return *this;
    }
    bool has(EventKind kind, Need need) const { return (byKind_[index(kind)] & bit(need)) != 0; }
    bool any(EventKind kind) const { return byKind_[index(kind)] != 0; }
    bool anyBut(EventKind kind, Need need) const
    {
        return (byKind_[index(kind)] & ~bit(need)) != 0;
    }

private:
    static constexpr u8 bit(Need need) { return static_cast<u8>(need); }
    static constexpr std::size_t index(EventKind kind) { return static_cast<std::size_t>(kind); }

    std::array<u8, kEventKinds> byKind_{};
};

class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void onEvent(const Event &ev) = 0;
    // Asked when the sink is added, and again when the runner says a sink's
    // needs changed (a timeline muted or unmuted).
    virtual Needs needs() const { return {}; }
    // A step of the scenario begins or ends; line is its source line.
    virtual void beginStep(std::size_t /*index*/, int /*line*/, const std::string & /*op*/) {}
    virtual void endStep() {}
};

}  // namespace zep::sim
