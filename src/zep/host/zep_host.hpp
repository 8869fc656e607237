// Host framework emulation: the harness that tests, benchmarks and the simulator
// drive. One Host stands in for the whole framework; while it lives it is the
// "current" host behind every C entry point of src/zep/framework.
#pragma once

#include <array>
#include <chrono>
#include <cstdarg>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "zep_framework.h"
#include "zep_operations.h"

namespace zep::host {

using Mac = std::array<u8, 6>;

// Status codes the emulation itself returns (framework-defined values).
inline constexpr u32 kErrNullPtr = 2;      // a required pointer was null
inline constexpr u32 kErrMsgLen = 3;       // ZEP_MNG_CheckMsgValid: body too short
inline constexpr u32 kErrNotFound = 4;     // lookup, unregistration or stop of something unknown
inline constexpr u32 kErrDuplicate = 5;    // registration of something already registered
inline constexpr u32 kErrNoResource = 6;   // no application loaded, table full, ...
inline constexpr u32 kErrInjected = 7;     // default status of an injected fault

struct Profile {
    u32 radios = 2;        // ZEP_PROFILE_GetMaxRadioNum; valid ids 0..radios-1
    u32 vapsPerRadio = 4;  // ZEP_PROFILE_GetMaxVapNumPerRadio
};

struct RadioFacts {
    s8 curEirp = 20;
    s8 maxPower = 23;
    u32 band = 0;                  // ZEP_STA_GetRadioFreq
    std::map<u32, Mac> bssid;      // VAP id -> BSSID; a missing VAP has none
    std::map<u32, s8> scanEirp;    // channel -> ZEP_NB_GetRadioScanEirp; missing fails
};

struct StationFacts {
    Mac mac{};
    u32 radioId = 0;
    u32 vapId = 0;
    bool linkMeas = false;  // capability bit 34
    bool tpc = false;       // capability bit 35
    u32 tokenCounter = 0;
};

struct NeighbourFacts {
    ZEP_NB_ApRecord record{};       // handed to the walk callback as it is
    std::map<u8, s8> scanEirp;      // channel -> ZEP_NB_GetNbScanEirp; missing fails
};

// Answers of the three by-token neighbour queries. A missing field makes that
// query fail; bssid and eirp match (token, radio, vap), scanEirp (token, radio).
struct TokenFacts {
    u8 token = 0;
    u32 radioId = 0;
    u32 vapId = 0;
    std::optional<Mac> bssid;
    std::optional<s8> eirp;
    std::optional<s8> scanEirp;
};

struct SentMessage {
    u64 atMs = 0;
    u32 dest = 0;
    u32 msgId = 0;
    bool ipc = false;  // ZEP_MNG_SendIPCMsg rather than ZEP_MNG_SendMsg
    std::vector<u8> body;
};

struct LogLine {
    u64 atMs = 0;
    u32 severity = 0;
    u32 module = 0;
    u32 category = 0;
    std::optional<Mac> sta;
    std::string text;  // exactly as formatted, line end included
};

// Everything the simulator needs to trace; every hook has an empty default.
class Observer {
public:
    virtual ~Observer() = default;
    virtual void onAppRegistered(u32 /*status*/) {}
    virtual void onPhase(u32 /*phase*/, u32 /*status*/) {}
    virtual void onDeinit(u32 /*status*/) {}
    // reg: true for ZEP_MNG_RegMsg, false for ZEP_MNG_UnRegMsg.
    virtual void onRegMsg(bool /*reg*/, u32 /*kind*/, u32 /*msgId*/, u32 /*status*/) {}
    // After a handler of a message, RPC or timer (msgId 186 for the measurement
    // timer) returned. body is the buffer as the handler left it.
    virtual void onDelivered(u32 /*kind*/, u32 /*msgId*/, std::span<const u8> /*body*/,
                             u32 /*status*/, std::chrono::nanoseconds /*elapsed*/) {}
    virtual void onSent(const SentMessage & /*msg*/) {}
    // A ZEP_MNG_SendMsg or ZEP_MNG_SendIPCMsg that returned status (an injected
    // fault or bad arguments): what was attempted, body empty for a null pointer.
    // It never enters sent().
    virtual void onSendFailed(const SentMessage & /*msg*/, u32 /*status*/) {}
    virtual void onLog(const LogLine & /*line*/) {}
};

// Live-allocation accounting of UMAC_MallocZero / UMAC_Free / ZEP_Free and pools.
class Memory {
public:
    virtual ~Memory() = default;
    virtual std::size_t liveBlocks() const = 0;
    virtual std::size_t liveBytes() const = 0;
    virtual u64 totalAllocations() const = 0;  // successful UMAC_MallocZero calls so far
    virtual std::map<std::string, std::size_t> liveBySite() const = 0;  // "file:line" -> blocks
    virtual std::size_t livePools() const = 0;
    virtual std::size_t poolBlocksInUse(std::string_view poolName) const = 0;
    // Frees of a block the host never handed out (double or wild frees); such a
    // pointer is reported and never passed on to the system allocator.
    virtual std::size_t badFrees() const = 0;
};

// Fault injection. Operation names are the framework function names, e.g.
// "ZEP_MNG_SendMsg" or "UMAC_MallocZero". Calls are counted from when a rule is
// armed; operations that fail by null ignore the status.
class Faults {
public:
    virtual ~Faults() = default;
    // The nth call (from 1) of op and the next count-1 calls fail with status.
    virtual void failCall(std::string_view op, u32 nth, u32 count = 1,
                          u32 status = kErrInjected) = 0;
    // The k-th fallible call (from 1) of any operation fails once: for sweeps.
    virtual void failKthFallible(u64 k, u32 status = kErrInjected) = 0;
    virtual u64 fallibleCalls() const = 0;              // since the host was made
    virtual u64 calls(std::string_view op) const = 0;   // since the host was made
    virtual u64 injectedFailures() const = 0;
    virtual void clear() = 0;                           // disarm every rule
    static std::span<const std::string_view> operations();  // every fallible one
};

// Tick source behind ZEP_GetTick / ZEP_TmTickToMillSec. By default a tick is
// 1 + virtual ms * ticksPerMs, so handlers cost 0 ms unless a test says otherwise.
class Ticks {
public:
    virtual ~Ticks() = default;
    virtual void setTicksPerMs(u32 ticksPerMs) = 0;     // default 1
    // The next ZEP_GetTick calls return these values in order, then the clock again.
    virtual void script(std::vector<u32> values) = 0;
};

// Every framework operation, by its row in the table of operations.
#define ZEP_HOST_OPERATION(name, ...) name,
enum class Operation : u8 { ZEP_OPERATIONS(ZEP_HOST_OPERATION) count };
#undef ZEP_HOST_OPERATION

std::string_view operationName(Operation op);

// The arguments of a call of op: its parameters as the table lists them.
template <Operation op>
struct Parameters;
#define ZEP_HOST_PARAMETERS(name, replay, fault, failure, entry, result, params, outputs, note)    \
    template <>                                                                                    \
    struct Parameters<Operation::name> {                                                           \
        using Arguments = std::tuple<ZEP_OP_TYPES(params)>;                                        \
    };
ZEP_OPERATIONS(ZEP_HOST_PARAMETERS)
#undef ZEP_HOST_PARAMETERS
template <Operation op>
using Arguments = typename Parameters<op>::Arguments;

// An output parameter of a call: the caller's variable (null where the caller
// passed none) and the bytes of it that a recording keeps.
struct Output {
    u8 *bytes = nullptr;
    std::size_t size = 0;
};

// A framework call as the emulation shows it to a tap: which operation, the
// arguments the application passed, and its output parameters in the order
// the table lists them.
struct Call {
    Operation op = Operation::count;
    const void *arguments = nullptr;  // an Arguments<op>
    std::span<const Output> outputs;

    // Only for the operation the call is of.
    template <Operation of>
    const Arguments<of> &argumentsOf() const
    {
        return *static_cast<const Arguments<of> *>(arguments);
    }
};

// A tap's answer to a call: what the operation returns, the bytes its outputs
// take (each output its own in turn), and whether the emulation performs the
// call first. A registration, timer or send the emulation performs lands in
// its tables and reaches the observer as in a play, and the answer's result
// and outputs still stand; a failure it does not perform is shown to the
// observer as the emulation shows that failure (onRegMsg, onSendFailed).
struct Answer {
    Answer(u64 value = 0) : result(value) {}  // an answer is at least a result
    u64 result = 0;
    std::span<const u8> outputs;
    bool perform = false;
};

// A replay's view of the framework. While one is set, every recorded
// framework operation the application calls is shown to it first; when it
// answers, the operation returns that (a pointer result as its address)
// instead of asking the emulation, unless the answer asks the emulation to
// perform the call. Queries, registrations, sends and timers are answered
// this way; what the emulation computes on the application's own memory
// (heap, pools, hash, lists, bitmaps) is still computed here unless the
// recording says it failed.
class CallTap {
public:
    virtual ~CallTap() = default;
    virtual std::optional<Answer> onCall(const Call &call) = 0;
    // ZEP_DBG_Print, every line whatever the threshold: the format and its
    // arguments as the application passed them, so that a line is compared
    // without being formatted. The observer sees the lines at or above it.
    virtual void onLog(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format,
                       va_list args) = 0;
};

class Host {
public:
    explicit Host(Profile profile = {});
    ~Host();
    Host(const Host &) = delete;
    Host &operator=(const Host &) = delete;

    // The host behind the framework's C entry points; aborts when there is none.
    static Host &current();

    // ---- The world the application queries.
    const Profile &profile() const;
    RadioFacts &radio(u32 radioId);  // created on first use
    void addStation(const StationFacts &sta);  // replaces a station with the same MAC
    void removeStation(const Mac &mac);
    void addNeighbour(const NeighbourFacts &nb);  // walked in insertion order
    void clearNeighbours();
    void addToken(const TokenFacts &token);
    void clearTokens();
    void setScanRadio(u16 channel, u8 freqInd, u32 radioId);

    // ---- The application.
    using RegEntry = u32 (*)();
    void useLinkedApp(RegEntry entry);
    // dlopen the library and find ZEP_STA_RegStaMeasApp; false with a reason.
    bool loadSharedApp(const std::string &path, std::string *error);
    u32 registerApp();           // calls the registration entry
    u32 initPhase(u32 phase);    // calls the record's init entry
    u32 start();                 // register, phase 0, phase 1 after a 0; first non-zero status
    u32 deinit();                // calls the record's de-init entry
    // As if the application were unloaded and loaded again, for a long-lived host
    // that runs many short lives (fuzzing): forgets its record, every handler,
    // timer and scheduled action, the captures and the armed faults, and puts
    // the clock back to 0. Memory accounting, data areas and databases stay.
    void forgetApp();
    const ZEP_AppInfo *appInfo() const;  // null until registered

    // ---- Messages in. nullopt when nothing is registered for the id.
    bool hasHandler(u32 kind, u32 msgId) const;
    // The handler gets a copy of exactly body.size() bytes, which it may write
    // (handlers complete some messages in place); under AddressSanitizer any
    // access past them is reported.
    std::optional<u32> deliver(u32 msgId, std::span<const u8> body);
    // RPC (kind 5): the handler fills buffer in place; the caller sees the result.
    std::optional<u32> rpc(u32 msgId, std::vector<u8> &buffer);
    // Radio configuration item: encodes one TLV for radioId and calls the handler.
    std::optional<u32> deliverConfig(u32 itemType, u32 radioId, std::span<const u8> value);
    std::optional<u32> deliverRawConfig(u32 itemType, std::span<const u8> msg);
    // Station-leave primitive; a null mac hands the handler a null station.
    std::optional<u32> staLeave(const Mac *mac);
    // The handler of access primitive primId, handed it as the framework
    // does: (primId, arg2, arg3, sta).
    std::optional<u32> accessPrim(u32 primId, u32 arg2, u32 arg3, ZEP_UAM_StaInfo *sta);

    // ---- Virtual time.
    u64 nowMs() const;
    void setNowMs(u64 ms);  // only forwards; earlier values are ignored
    // Moves the clock forward, running due timer expiries and scheduled actions
    // in time order (a timer before an action due at the same ms).
    void advance(u64 ms);
    void schedule(u64 atMs, std::function<void()> action);
    // The expiry of the running timer of msgId, now, whatever its due time
    // (a replay's clock is the recording's): the handler gets record, a
    // ZEP_TimerInfo as the framework hands it over, with the timer's own
    // handler address written in, and the timer is re-armed or dropped as
    // when it fires. nullopt when no such timer runs.
    std::optional<u32> expireTimer(u32 msgId, std::span<const u8> record);
    std::size_t activeTimers() const;
    Ticks &ticks();

    // ---- Captures.
    const std::vector<SentMessage> &sent() const;
    const std::vector<LogLine> &logs() const;
    void clearCaptures();
    void setLogThreshold(u32 minSeverity);  // lines below it are dropped unformatted
    void setLogToStderr(bool on);
    void setCaptureLogs(bool on);           // off: lines reach only stderr/observer
    // Off: sends are not kept in sent(); the observer still sees each one. A
    // long run turns it off so that a send costs no allocation.
    void setCaptureSent(bool on);
    void setObserver(Observer *observer);
    void setCallTap(CallTap *tap);  // null: the emulation answers everything
    // Lines ZEP_DBG_Print actually formatted (those at or above the threshold).
    u64 formattedLogLines() const;

    Memory &memory();
    Faults &faults();

    struct Impl;
    Impl &impl();

private:
    std::unique_ptr<Impl> impl_;
};

// Helpers shared by tests and the simulator.
std::string formatMac(const Mac &mac);               // "00:11:22:33:44:01"
std::optional<Mac> parseMac(std::string_view text);  // accepts ':' or '-' separators or none

}  // namespace zep::host
