// The replay loop and the tap. Registrations, sends, timers, queries and the
// clock are answered from the recording; the heap, pools, hash, lists and
// bitmaps are computed by the emulation on the application's own memory,
// failing only where the recording says they failed.
#include "replay/replayer.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <tuple>

#include "record_calls.hpp"
#include "replay/event_text.hpp"
#include "replay/replay_view.hpp"

namespace zep::sim::replay {

namespace {

using zep::host::Operation;
using zep::record::Op;

constexpr std::size_t kContextEvents = 4;

// One bit per recorded operation that has the trait, worked out once: looked
// up for every call.
constexpr u64 opBits(bool (*has)(const zep::record::OpTraits &))
{
    u64 bits = 0;
    for (u32 id = 0; id < static_cast<u32>(Op::count); ++id) {
        bits |= has(zep::record::kOps[id]) ? 1ull << id : 0;
    }
    return bits;
}
static_assert(static_cast<u32>(Op::count) <= 64);

constexpr u64 kAnswered = opBits([](const zep::record::OpTraits &op) { return op.answered; });
// Computed operations that can fail for reasons outside the application (no
// memory, an injected fault): the replay fails them where they failed.
constexpr u64 kFailsAsRecorded =
    opBits([](const zep::record::OpTraits &op) { return !op.answered && op.fallible; });

constexpr u64 bit(Operation op) { return 1ull << static_cast<u32>(op); }
template <class Id>
constexpr bool inSet(u64 bits, Id id) { return ((bits >> static_cast<u32>(id)) & 1) != 0; }
static_assert(static_cast<u32>(Operation::count) <= 64);
// What the emulation performs where the recording says it succeeded: the
// registrations and timers, so that its tables hold this build's handlers,
// and the sends, which its observer is shown as in a play.
constexpr u64 kPerformed = bit(Operation::ZEP_MNG_RegApp) | bit(Operation::ZEP_MNG_RegMsg) |
                           bit(Operation::ZEP_MNG_UnRegMsg) | bit(Operation::ZEP_MNG_StartTimer) |
                           bit(Operation::ZEP_MNG_StopTimer) | bit(Operation::ZEP_CFG_RegRadioSingleCfgMsg) |
                           bit(Operation::ZEP_STA_RegAccessPrimHandle) | bit(Operation::ZEP_MNG_SendMsg) |
                           bit(Operation::ZEP_MNG_SendIPCMsg);
constexpr u64 kUnshown = bit(Operation::ZEP_MNG_RegMsg) | bit(Operation::ZEP_MNG_UnRegMsg) |
                         bit(Operation::ZEP_MNG_SendMsg) | bit(Operation::ZEP_MNG_SendIPCMsg);

// Where two byte strings first differ, for the report; empty when they do not.
std::string firstByteDifference(std::span<const u8> a, std::span<const u8> b)
{
    const auto [ia, ib] = std::ranges::mismatch(a, b);
    if (ia == a.end() && ib == b.end()) {
        return {};
    }
    return " (bytes differ from offset " + std::to_string(ia - a.begin()) + ")";
}

bool sameCall(const RecordedCall &a, const RecordedCall &b)
{
    return a.kind == b.kind && a.id == b.id && a.argCount == b.argCount && sameWords(a.args, b.args, a.argCount) &&
           std::ranges::equal(a.in, b.in);
}

// A call as the recording keeps it, built by the recorder's own builder of
// its operation from the arguments the emulation shows.
RecordedCall recordedShape(const zep::host::Call &call)
{
    switch (call.op) {
#define ZEP_REPLAY_SHAPE(name, replay, fault, failure, entry, ...)                                         \
    ZEP_OP_WHEN(ZEP_OP_GENERATED_##entry, ZEP_OP_WHEN(ZEP_OP_RECORDED_##replay, case Operation::name:       \
        return std::apply(zep::record::calls::name, call.argumentsOf<Operation::name>());))
        ZEP_OPERATIONS(ZEP_REPLAY_SHAPE)
#undef ZEP_REPLAY_SHAPE
    default:
        return zep::record::calls::op(Op::count, {});
    }
}

}  // namespace

void Replayer::ended(zep::record::Reader::Status status)
{
    exhausted_ = true;
    outcome_.ending = reader_.why();
    outcome_.damaged = status == zep::record::Reader::Status::damaged;
}

void Replayer::diverge(const std::string &recorded, const std::string &actual)
{
    Divergence d{outcome_.events, outcome_.atMs, recorded, actual, {}};
    // The events before it are read again from the start: describing every
    // event as it goes by would cost the replay more than all the rest.
    zep::record::Reader again(recording_);
    RecordedCall e;
    const u64 first = d.event > kContextEvents ? d.event - kContextEvents : 1;
    for (u64 n = 1; n < d.event && again.next(e) == zep::record::Reader::Status::event; ++n) {
        if (n >= first) {
            d.context.push_back(describe(e));
        }
    }
    outcome_.divergence = std::move(d);
}

std::optional<zep::host::Answer> Replayer::onCall(const zep::host::Call &call)
{
    if (call.op == Operation::ZEP_NB_WalkApVapWithP2) {
        return zep::host::Answer(walkNeighbours(call));
    }
    return answer(call, recordedShape(call));
}

std::optional<zep::host::Answer> Replayer::answer(const zep::host::Call &call, const RecordedCall &shape)
{
    const RecordedCall *recorded = nextToCheck();
    if (recorded == nullptr) {
        // Past the divergence or the recording's end (it may stop inside this
        // handler) the emulation answers the rest of the handler, except that
        // its sends and registrations are taken as done and not shown: the
        // recording has nothing to show them against.
        return inSet(kUnshown, call.op) ? std::optional<zep::host::Answer>(0) : std::nullopt;
    }
    if (!sameCall(*recorded, shape)) {
        const std::string where = recorded->id == shape.id ? firstByteDifference(recorded->in, shape.in) : "";
        diverge(describe(*recorded), describe(shape) + where);
        return std::nullopt;
    }
    if (inSet(kAnswered, recorded->id)) {
        if (fanout_ != nullptr) {
            noteFacts(fanout_->ledger(), shape, recorded->ret, recorded->out);
        }
        zep::host::Answer answered(result(*recorded, call));
        answered.outputs = recorded->out;
        answered.perform = recorded->ret == 0 && inSet(kPerformed, call.op);
        return answered;
    }
    if (inSet(kFailsAsRecorded, recorded->id) && zep::record::calls::failed(*recorded)) {
        return zep::host::Answer(recorded->ret);
    }
    return std::nullopt;
}

// What an answered call returns: its recorded status, or for a pointer the
// place the recording says it points to.
u64 Replayer::result(const RecordedCall &recorded, const zep::host::Call &call)
{
    const auto address = [](const void *p) { return static_cast<u64>(reinterpret_cast<std::uintptr_t>(p)); };
    if (recorded.ret == 0) {
        return 0;
    }
    switch (call.op) {
    case Operation::ZEP_STA_GetVapBssid:
        std::memcpy(bssid_.data(), recorded.out.data(), std::min(bssid_.size(), recorded.out.size()));
        return address(bssid_.data());
    case Operation::ZEP_UAM_FindStaInfo:
        zep::record::unpackStation(recorded.out, station_);
        return address(&station_);
    case Operation::ZEP_CFG_MsgParseSingleTlv:
        // Recorded as its offset into the message, plus one.
        return address(static_cast<u8 *>(std::get<0>(call.argumentsOf<Operation::ZEP_CFG_MsgParseSingleTlv>())) +
                       (recorded.ret - 1));
    default:
        return recorded.ret;
    }
}

// The walk is the replay's own, never the emulation's: the recording's
// neighbours are handed to the callback as they were recorded.
u32 Replayer::walkNeighbours(const zep::host::Call &call)
{
    const auto [fn, p1, p2] = call.argumentsOf<Operation::ZEP_NB_WalkApVapWithP2>();
    const auto status = answer(call, zep::record::calls::ZEP_NB_WalkApVapWithP2(fn, p1, p2));
    while (checking() && fn != nullptr) {
        const RecordedCall *next = peek();
        if (next == nullptr || next->kind != CallKind::callback) {
            break;
        }
        take();
        ZEP_NB_ApRecord nb{};
        std::copy_n(next->in.begin(), std::min(sizeof nb, next->in.size()), reinterpret_cast<u8 *>(&nb));
        fn(&nb, p1, p2);
    }
    return static_cast<u32>(status ? status->result : 0);
}

}  // namespace zep::sim::replay
