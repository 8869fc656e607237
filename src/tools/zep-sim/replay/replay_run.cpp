// The replay loop: registration first, as the framework starts the library,
// then each recorded entry delivered to what the application registered, and
// its recorded status compared with the one this build returns.
#include <algorithm>
#include <cstring>

#include "record_calls.hpp"
#include "replay/event_text.hpp"
#include "replay/replayer.hpp"

namespace zep::sim::replay {

namespace {

using zep::record::Entry;
using zep::record::Event;
using zep::record::EventKind;

}  // namespace

Outcome Replayer::run()
{
    host_.setCallTap(this);
    host_.registerApp();
    while (checking()) {
        const Event *event = take();
        if (event == nullptr) {
            break;
        }
        if (event->kind != EventKind::in) {
            diverge(describe(*event), "nothing: this build is between handlers here");
            break;
        }
        const Event entry = *event;
        deliver(entry);
    }
    host_.setCallTap(nullptr);
    return outcome_;
}

void Replayer::deliver(const Event &entry)
{
    outcome_.atMs = entry.argCount > 0 ? entry.args[entry.argCount - 1] : 0;
    body_.assign(entry.in.begin(), entry.in.end());
    const std::span<u8> body = body_;
    if (watcher_ != nullptr) {
        watcher_->entering(entry);
    }
    const std::optional<u32> status = callEntry(entry, body);
    if (!status) {
        diverge(describe(entry), "no handler registered for it in this build");
        return;
    }
    if (watcher_ != nullptr) {
        watcher_->returned(entry, *status, body);
    }
    expectReturn(entry, *status, body);
}

std::optional<u32> Replayer::callEntry(const Event &entry, std::span<u8> body)
{
    const auto id = static_cast<u32>(entry.argCount > 1 ? entry.args[0] : 0);
    const auto len = static_cast<u32>(body.size());
    switch (static_cast<Entry>(entry.id)) {
    case Entry::init:
        return app_ != nullptr && app_->init != nullptr ? std::optional(app_->init(id)) : std::nullopt;
    case Entry::deinit:
        return app_ != nullptr && app_->deInit != nullptr ? std::optional(app_->deInit()) : std::nullopt;
    case Entry::event:
    case Entry::rpc: {
        const u32 kind = entry.id == static_cast<u8>(Entry::rpc) ? ZEP_MSG_KIND_RPC : ZEP_MSG_KIND_EVENT;
        const ZEP_MsgHandler *handler = handlers_.find(handlerKey(kind, id));
        return handler != nullptr ? std::optional((*handler)(body.data(), len)) : std::nullopt;
    }
    case Entry::timer: {
        const ZEP_MsgHandler *handler = timers_.find(id);
        if (handler == nullptr) {
            return std::nullopt;
        }
        if (body.size() >= sizeof(ZEP_TimerInfo)) {
            // The recording clears the record's code address; this run's goes back in.
            std::memcpy(body.data() + offsetof(ZEP_TimerInfo, handler), handler, sizeof *handler);
        }
        return (*handler)(body.data(), len);
    }
    case Entry::config: {
        const ZEP_CfgMsgHandler *handler = configs_.find(id);
        return handler != nullptr ? std::optional((*handler)(body.data(), len)) : std::nullopt;
    }
    case Entry::prim:
        return callPrim(entry);
    }
    return std::nullopt;
}

std::optional<u32> Replayer::callPrim(const Event &entry)
{
    if (prim_ == nullptr || entry.argCount < 4) {
        return std::nullopt;
    }
    ZEP_UAM_StaInfo sta{};
    zep::record::unpackStation(entry.in, sta);
    return prim_(static_cast<u32>(entry.args[0]), static_cast<u32>(entry.args[1]),
                 static_cast<u32>(entry.args[2]), entry.in.empty() ? nullptr : &sta);
}

void Replayer::expectReturn(const Event &entry, u32 status, std::span<const u8> reply)
{
    if (!checking()) {
        return;
    }
    Event actual;
    actual.kind = EventKind::ret;
    actual.ret = status;
    if (entry.id == static_cast<u8>(Entry::rpc)) {
        actual.out = reply;
    }
    const Event *recorded = take();
    if (recorded == nullptr) {
        return;  // the recording stops before this handler's status
    }
    if (recorded->kind != EventKind::ret || recorded->ret != status ||
        !std::ranges::equal(recorded->out, actual.out)) {
        const auto [r, a] = std::ranges::mismatch(recorded->out, actual.out);
        const bool bytes = recorded->ret == status && recorded->kind == EventKind::ret;
        diverge(describe(*recorded), describe(actual) + (bytes ? " (reply differs from byte " +
                                                                     std::to_string(r - recorded->out.begin()) + ")"
                                                               : std::string()));
    }
}

}  // namespace zep::sim::replay
