// Message manager: handler registration, validation, sending (captured) and
// delivery of messages and RPCs to the application.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "host_impl.hpp"

namespace zep::host {

namespace {

bool isKnownKind(u32 kind) { return kind == ZEP_MSG_KIND_EVENT || kind == ZEP_MSG_KIND_RPC; }

void reportRegistration(bool reg, u32 kind, u32 msgId, u32 status)
{
    if (Observer *observer = detail::state().observer) {
        observer->onRegMsg(reg, kind, msgId, status);
    }
}

SentMessage attempted(u32 dest, u32 msgId, const void *body, u32 len, bool ipc)
{
    SentMessage msg{detail::state().nowMs, dest, msgId, ipc, {}};
    if (body != nullptr && len > 0) {
        const auto *bytes = static_cast<const u8 *>(body);
        msg.body.assign(bytes, bytes + len);
    }
    return msg;
}

[[gnu::noinline]] u32 reportFailedSend(u32 status, u32 dest, u32 msgId, const void *body, u32 len,
                                       bool ipc)
{
    if (Observer *observer = detail::state().observer) {
        observer->onSendFailed(attempted(dest, msgId, body, len, ipc), status);
    }
    return status;
}

// A send that went out, when someone is looking: captured, or at least shown
// to the observer through a record whose body keeps its capacity between sends.
[[gnu::noinline]] void recordSend(Host::Impl &s, u32 dest, u32 msgId, const void *body, u32 len,
                                  bool ipc)
{
    if (s.captureSent) {
        s.sent.push_back(attempted(dest, msgId, body, len, ipc));
        if (s.observer != nullptr) {
            s.observer->onSent(s.sent.back());
        }
        return;
    }
    SentMessage &shown = s.lastSent;
    shown.atMs = s.nowMs;
    shown.dest = dest;
    shown.msgId = msgId;
    shown.ipc = ipc;
    const auto *bytes = static_cast<const u8 *>(body);
    shown.body.assign(bytes, bytes + (body != nullptr ? len : 0));
    s.observer->onSent(shown);
}

// Both send primitives end here: a success is captured, a failure is only
// reported, so that sent() holds exactly what went out.
inline u32 finishSend(detail::Op op, u32 dest, u32 msgId, const void *body, u32 len, bool ipc)
{
    Host::Impl &s = detail::state();
    if (auto fault = s.faults.check(op)) [[unlikely]] {
        return reportFailedSend(*fault, dest, msgId, body, len, ipc);
    }
    if (body == nullptr && len > 0) [[unlikely]] {
        return reportFailedSend(kErrNullPtr, dest, msgId, body, len, ipc);
    }
    if (s.captureSent || s.observer != nullptr) {
        recordSend(s, dest, msgId, body, len, ipc);
    }
    return 0;
}

}  // namespace

void Host::Impl::reportDelivery(u32 kind, u32 msgId, std::span<const u8> body, u32 status,
                                std::chrono::nanoseconds elapsed) const
{
    if (observer != nullptr) {
        observer->onDelivered(kind, msgId, body, status, elapsed);
    }
}

u32 Host::Impl::callOnCopy(u32 kind, u32 msgId, ZEP_MsgHandler handler, std::span<const u8> body)
{
    const detail::HeldBody copy(bodyBuffers, body);
    const auto len = static_cast<u32>(body.size());
    if (observer == nullptr) {
        return handler(copy.bytes().data(), len);
    }
    // Timed only for the observer: nothing else reads the real clock.
    const auto begin = std::chrono::steady_clock::now();
    const u32 status = handler(copy.bytes().data(), len);
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    reportDelivery(kind, msgId, copy.bytes(), status,
                   std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed));
    return status;
}

void detail::showUnperformed(Operation op, const void *arguments, u64 status)
{
    const Call call{op, arguments, {}};
    const auto failed = static_cast<u32>(status);
    switch (op) {
    case Operation::ZEP_MNG_RegMsg: {
        const auto &args = call.argumentsOf<Operation::ZEP_MNG_RegMsg>();
        reportRegistration(true, std::get<0>(args), std::get<2>(args), failed);
        break;
    }
    case Operation::ZEP_MNG_UnRegMsg: {
        const auto &args = call.argumentsOf<Operation::ZEP_MNG_UnRegMsg>();
        reportRegistration(false, std::get<0>(args), std::get<2>(args), failed);
        break;
    }
    case Operation::ZEP_MNG_SendMsg: {
        const auto [dest, reserved, msgId, body, len] = call.argumentsOf<Operation::ZEP_MNG_SendMsg>();
        reportFailedSend(failed, dest, msgId, body, len, false);
        break;
    }
    case Operation::ZEP_MNG_SendIPCMsg: {
        const auto [dest, msgId, body, len, reserved] = call.argumentsOf<Operation::ZEP_MNG_SendIPCMsg>();
        reportFailedSend(failed, dest, msgId, body, len, true);
        break;
    }
    default:
        break;
    }
}

bool Host::hasHandler(u32 kind, u32 msgId) const
{
    return impl_->handlers.contains({kind, msgId});
}

std::optional<u32> Host::deliver(u32 msgId, std::span<const u8> body)
{
    const auto it = impl_->handlers.find({ZEP_MSG_KIND_EVENT, msgId});
    if (it == impl_->handlers.end()) {
        return std::nullopt;
    }
    return impl_->callOnCopy(ZEP_MSG_KIND_EVENT, msgId, it->second, body);
}

std::optional<u32> Host::rpc(u32 msgId, std::vector<u8> &buffer)
{
    const auto it = impl_->handlers.find({ZEP_MSG_KIND_RPC, msgId});
    if (it == impl_->handlers.end()) {
        return std::nullopt;
    }
    // The reply is written into the request buffer, so the caller's own
    // vector is handed over in place.
    const auto begin = std::chrono::steady_clock::now();
    const u32 status = it->second(buffer.data(), static_cast<u32>(buffer.size()));
    const auto elapsed = std::chrono::steady_clock::now() - begin;
    impl_->reportDelivery(ZEP_MSG_KIND_RPC, msgId, buffer, status,
                          std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed));
    return status;
}

}  // namespace zep::host

using namespace zep::host;

u32 emulated::ZEP_MNG_RegMsg(u32 kind, u32 /*appId*/, u32 msgId, u32 /*reserved*/, ZEP_MsgHandler handler)
{
    u32 status = 0;
    if (auto fault = detail::injectedFault(detail::Op::ZEP_MNG_RegMsg)) {
        status = *fault;
    } else if (handler == nullptr) {
        status = kErrNullPtr;
    } else if (!isKnownKind(kind)) {
        status = ZEP_ERR;
    } else if (!detail::state().handlers.try_emplace({kind, msgId}, handler).second) {
        // One handler per (kind, id): a second registration is a mistake of
        // the caller, not a way to replace the first.
        status = kErrDuplicate;
    }
    reportRegistration(true, kind, msgId, status);
    return status;
}

u32 emulated::ZEP_MNG_UnRegMsg(u32 kind, u32 /*appId*/, u32 msgId, ZEP_MsgHandler handler)
{
    u32 status = 0;
    if (auto fault = detail::injectedFault(detail::Op::ZEP_MNG_UnRegMsg)) {
        status = *fault;
    } else {
        auto &handlers = detail::state().handlers;
        const auto it = handlers.find({kind, msgId});
        // Naming another handler than the registered one withdraws nothing.
        if (it == handlers.end() || it->second != handler) {
            status = kErrNotFound;
        } else {
            handlers.erase(it);
        }
    }
    reportRegistration(false, kind, msgId, status);
    return status;
}

u32 emulated::ZEP_MNG_CheckMsgValid(const void *msg, u32 len, u32 minLen)
{
    if (msg == nullptr) {
        return kErrNullPtr;
    }
    return len < minLen ? kErrMsgLen : 0;
}

u32 emulated::ZEP_MNG_SendMsg(u32 dest, u32 /*reserved*/, u32 msgId, const void *body, u32 len)
{
    return finishSend(detail::Op::ZEP_MNG_SendMsg, dest, msgId, body, len, false);
}

u32 emulated::ZEP_MNG_SendIPCMsg(u32 dest, u32 msgId, const void *body, u32 len, u32 /*reserved*/)
{
    return finishSend(detail::Op::ZEP_MNG_SendIPCMsg, dest, msgId, body, len, true);
}
