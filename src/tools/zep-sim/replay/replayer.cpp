// The replay loop and the tap. Registrations, sends, timers, queries and the
// clock are answered from the recording; the heap, pools, hash, lists and
// bitmaps are computed by the emulation on the application's own memory,
// failing only where the recording says they failed.
#include "replay/replayer.hpp"

#include <algorithm>
#include <cstring>

#include "record_calls.hpp"
#include "replay/event_text.hpp"

namespace zep::sim::replay {

namespace {

using zep::record::Entry;
using zep::record::Event;
using zep::record::EventKind;
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

// Where two byte strings first differ, for the report; empty when they do not.
std::string firstByteDifference(std::span<const u8> a, std::span<const u8> b)
{
    const auto [ia, ib] = std::ranges::mismatch(a, b);
    if (ia == a.end() && ib == b.end()) {
        return {};
    }
    return " (bytes differ from offset " + std::to_string(ia - a.begin()) + ")";
}

bool sameCall(const Event &a, const Event &b)
{
    return a.kind == b.kind && a.id == b.id && a.argCount == b.argCount && sameWords(a.args, b.args, a.argCount) &&
           a.in.size() == b.in.size() && (a.in.empty() || std::memcmp(a.in.data(), b.in.data(), a.in.size()) == 0);
}


}  // namespace

Replayer::Replayer(std::span<const u8> recording, zep::host::Host &host)
    : recording_(recording), reader_(recording), host_(host)
{
}

void Replayer::ended(zep::record::Reader::Status status)
{
    exhausted_ = true;
    outcome_.ending = reader_.why();
    outcome_.damaged = status == zep::record::Reader::Status::damaged;
}

void Replayer::diverge(const std::string &recorded, const std::string &actual)
{
    Divergence d;
    d.event = outcome_.events;
    d.atMs = outcome_.atMs;
    d.recorded = recorded;
    d.actual = actual;
    // The events before it are read again from the start: describing every
    // event as it goes by would cost the replay more than all the rest.
    zep::record::Reader again(recording_);
    zep::record::Event e;
    const u64 first = d.event > kContextEvents ? d.event - kContextEvents : 1;
    for (u64 n = 1; n < d.event && again.next(e) == zep::record::Reader::Status::event; ++n) {
        if (n >= first) {
            d.context.push_back(describe(e));
        }
    }
    outcome_.divergence = std::move(d);
}

std::optional<u64> Replayer::onCall(const Event &call, std::span<u8> out, const void *subject)
{
    if (!checking()) {
        return std::nullopt;  // past the end or the divergence, the emulation answers
    }
    const Event *recorded = take();
    if (recorded == nullptr) {
        return std::nullopt;  // the recording stops inside this handler
    }
    if (!sameCall(*recorded, call)) {
        const std::string where = recorded->id == call.id ? firstByteDifference(recorded->in, call.in) : "";
        diverge(describe(*recorded), describe(call) + where);
        return std::nullopt;
    }
    if (((kAnswered >> recorded->id) & 1) != 0) {
        if (!out.empty() && !recorded->out.empty()) {
            std::memcpy(out.data(), recorded->out.data(), std::min(out.size(), recorded->out.size()));
        }
        if (recorded->ret == 0 && subject != nullptr) {
            keep(*recorded, subject);
        }
        if (watcher_ != nullptr) {
            watcher_->answered(call, recorded->ret, recorded->out);
        }
        return recorded->ret;
    }
    if (((kFailsAsRecorded >> recorded->id) & 1) != 0 && zep::record::calls::failed(*recorded)) {
        return recorded->ret;
    }
    return std::nullopt;
}

// Registrations the recording says succeeded (they returned 0 and named
// what they registered): what the replay delivers to.
void Replayer::keep(const Event &recorded, const void *subject)
{
    const auto handler = reinterpret_cast<ZEP_MsgHandler>(const_cast<void *>(subject));
    switch (static_cast<Op>(recorded.id)) {
    case Op::ZEP_MNG_RegApp:
        app_ = static_cast<const ZEP_AppInfo *>(subject);
        break;
    case Op::ZEP_MNG_RegMsg:
        handlers_.set(handlerKey(recorded.args[0], recorded.args[2]), handler);
        break;
    case Op::ZEP_MNG_UnRegMsg:
        handlers_.erase(handlerKey(recorded.args[0], recorded.args[2]));
        break;
    case Op::ZEP_MNG_StartTimer: {
        const auto *timer = static_cast<const ZEP_TimerInfo *>(subject);
        timers_.set(timer->msgId, timer->handler);
        break;
    }
    case Op::ZEP_CFG_RegRadioSingleCfgMsg:
        configs_.set(static_cast<u32>(recorded.args[1]), reinterpret_cast<ZEP_CfgMsgHandler>(handler));
        break;
    case Op::ZEP_STA_RegAccessPrimHandle:
        prim_ = reinterpret_cast<ZEP_AccessPrimHandler>(const_cast<void *>(subject));
        break;
    default:
        break;
    }
}

u32 Replayer::walkNeighbours(ZEP_NB_WalkFn fn, void *p1, void *p2)
{
    const auto status = onCall(zep::record::calls::ZEP_NB_WalkApVapWithP2(reinterpret_cast<const void *>(fn)), {},
                               nullptr);
    while (checking() && fn != nullptr) {
        const Event *next = peek();
        if (next == nullptr || next->kind != EventKind::callback) {
            break;
        }
        take();
        ZEP_NB_ApRecord nb{};
        if (!next->in.empty()) {
            std::memcpy(&nb, next->in.data(), std::min(sizeof nb, next->in.size()));
        }
        fn(&nb, p1, p2);
    }
    return static_cast<u32>(status.value_or(0));
}

}  // namespace zep::sim::replay
