// One record per thing that happened during a run. The recorder turns the host's
// observer calls into events and hands each to every sink (trace, timeline,
// summary, and the journal that expectations look back on).
#pragma once

#include "base/sim_json.hpp"

#include <chrono>
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

// The summary column a message counts in, and for which radio.
enum class Column;
struct MsgInfo;

// Only what a sink asks for is filled: the decoded one-liner when a sink wants
// text, the trace object when the run writes a trace or matches patterns.
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
    Json json;                    // the trace object, when one is wanted
};

class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void onEvent(const Event &ev) = 0;
    // Whether this sink reads the decoded one-liner of events now.
    virtual bool wantsText() const { return false; }
    // A step of the scenario begins or ends; line is its source line.
    virtual void beginStep(std::size_t /*index*/, int /*line*/, const std::string & /*op*/) {}
    virtual void endStep() {}
};

}  // namespace zep::sim
