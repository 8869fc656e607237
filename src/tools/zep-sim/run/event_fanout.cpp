#include "run/event_fanout.hpp"

#include <cstring>

#include "base/hex.hpp"
#include "sta_meas_msg.h"
#include "wire/codec.hpp"
#include "wire/msg_catalog.hpp"

namespace zep::sim {

Event EventFanout::make(EventKind kind, const char *ev, u64 t) const
{
    Event e;
    e.kind = kind;
    e.t = t;
    e.context = context_;
    if (needs_.has(kind, Need::Object)) {
        e.json = Json{{"ev", ev}, {"t", t}};
    }
    return e;
}

void EventFanout::addSink(EventSink &sink)
{
    sinks_.push_back(&sink);
    needs_ |= sink.needs();
}

void EventFanout::refreshNeeds()
{
    needs_ = {};
    for (const EventSink *sink : sinks_) {
        needs_ |= sink->needs();
    }
}

void EventFanout::offering(u32 msgId, std::span<const u8> body)
{
    offered_.emplace(msgId, body);
}

void EventFanout::emit(const Event &ev)
{
    for (EventSink *sink : sinks_) {
        sink->onEvent(ev);
    }
}

void EventFanout::beginStep(std::size_t index, int line, const std::string &op)
{
    for (EventSink *sink : sinks_) {
        sink->beginStep(index, line, op);
    }
}

void EventFanout::endStep()
{
    for (EventSink *sink : sinks_) {
        sink->endStep();
    }
}

void EventFanout::onAppRegistered(u32 status)
{
    Event e = make(EventKind::Reg, "reg", host_.nowMs());
    e.status = status;
    if (e.json) {
        (*e.json)["status"] = status;
    }
    if (const ZEP_AppInfo *info = host_.appInfo()) {
        const std::string name(info->name, strnlen(info->name, sizeof(info->name)));
        e.summary = "application \"" + name + "\", " + std::to_string(info->phaseNum) + " phases";
        if (e.json) {
            (*e.json)["fields"] = {{"name", name}, {"phaseNum", info->phaseNum}};
        }
    }
    emit(e);
}

void EventFanout::onPhase(u32 phase, u32 status)
{
    Event e = make(EventKind::Phase, "phase", host_.nowMs());
    e.id = phase;
    e.status = status;
    if (e.json) {
        (*e.json)["phase"] = phase;
        (*e.json)["status"] = status;
    }
    emit(e);
}

void EventFanout::onDeinit(u32 status)
{
    Event e = make(EventKind::Deinit, "deinit", host_.nowMs());
    e.status = status;
    if (e.json) {
        (*e.json)["status"] = status;
    }
    emit(e);
}

void EventFanout::onRegMsg(bool reg, u32 kind, u32 msgId, u32 status)
{
    Event e = make(reg ? EventKind::RegMsg : EventKind::UnregMsg, reg ? "regmsg" : "unregmsg",
                   host_.nowMs());
    e.id = msgId;
    e.status = status;
    if (e.json) {
        (*e.json)["kind"] = kind;
        (*e.json)["id"] = msgId;
        (*e.json)["status"] = status;
    }
    emit(e);
}

void EventFanout::onDelivered(u32 kind, u32 msgId, std::span<const u8> body, u32 status,
                           std::chrono::nanoseconds elapsed)
{
    const bool rpc = kind == ZEP_MSG_KIND_RPC;
    Event e = make(rpc ? EventKind::Rpc : EventKind::In, rpc ? "rpc" : "in", host_.nowMs());
    e.context = msgId;
    e.id = msgId;
    e.status = status;
    e.elapsed = elapsed;
    // What was offered, when the runner offered it; the body as the handler
    // left it otherwise (timer expiries) and always for an RPC's answer.
    const bool useOffered = !rpc && offered_ && offered_->first == msgId;
    e.body = useOffered ? offered_->second : body;
    e.len = body.size();
    offered_.reset();
    if (!rpc) {
        ledger_.delivered(msgId, e.body, status, e.t);
    }
    e.msg = inboundMsg(msgId);
    if (e.msg != nullptr && e.msg->radio != nullptr) {
        e.column = e.msg->column;
        e.radio = e.msg->radio(e.body);
    }
    if (e.json) {
        (*e.json)["id"] = msgId;
        if (rpc) {
            (*e.json)["status"] = status;
            (*e.json)["hex"] = toHex(body);
        } else {
            (*e.json)["len"] = body.size();
            (*e.json)["status"] = status;
        }
    }
    if (needs_.anyBut(e.kind, Need::Shares)) {  // each need but the shares takes the decode
        describe(e, decodeInbound(msgId, e.body));
    }
    const bool tableDump = rpc && msgId == STAMEAS_RPC_GET_MEAS_LIST && status == 0;
    if (tableDump && needs_.has(e.kind, Need::Shares)) {
        nodes_ = ledger_.nodes();
        e.nodes = &nodes_;
    }
    emit(e);
}

void EventFanout::onSent(const host::SentMessage &msg) { emitSend(msg, std::nullopt); }

void EventFanout::onSendFailed(const host::SentMessage &msg, u32 status) { emitSend(msg, status); }

void EventFanout::emitSend(const host::SentMessage &msg, std::optional<u32> status)
{
    Event e = status ? make(msg.ipc ? EventKind::IpcFail : EventKind::OutFail,
                            msg.ipc ? "ipcfail" : "outfail", msg.atMs)
                     : make(msg.ipc ? EventKind::Ipc : EventKind::Out, msg.ipc ? "ipc" : "out",
                            msg.atMs);
    e.id = msg.msgId;
    e.status = status;
    e.body = msg.body;
    e.dest = msg.dest;
    e.msg = outboundMsg(msg.msgId, context_, msg.ipc);
    if (e.msg != nullptr) {
        e.name = e.msg->id == 0 ? e.msg->name : std::string_view{};
        e.column = e.msg->column;
        e.radio = e.msg->radio != nullptr ? e.msg->radio(e.body) : STAMEAS_ALL_RADIO;
    }
    if (e.json) {
        (*e.json)["dest"] = msg.dest;
        (*e.json)["id"] = msg.msgId;
        if (status) {
            (*e.json)["status"] = *status;
        }
        (*e.json)["hex"] = toHex(e.body);
    }
    // Every request the timer sends goes through the ledger, which counts it
    // against its node; the host it served is shown only where a sink wants it.
    const bool wanted = needs_.has(e.kind, Need::Shares) || e.json;
    if (context_ == STAMEAS_MSG_MEAS_TIMER && e.msg != nullptr && e.msg->column == Column::Requests) {
        const int served = ledger_.hostOf(msg.msgId, msg.body, !status, msg.atMs);
        if (wanted) {
            e.servedHost = served;
        }
        if (wanted && e.json) {
            (*e.json)["host"] = *e.servedHost == kUnknownHost ? Json(nullptr) : Json(*e.servedHost);
        }
    }
    if (needs_.anyBut(e.kind, Need::Shares)) {  // each need but the shares takes the decode
        describe(e, decodeOutbound(msg.msgId, e.body, context_, msg.ipc));
    }
    emit(e);
}

void EventFanout::describe(Event &e, Decoded &&d) const
{
    if (needs_.has(e.kind, Need::Text)) {
        e.summary = std::move(d.summary);
    }
    const bool intoObject = e.json && !d.fields.empty();
    if (needs_.has(e.kind, Need::Fields)) {
        e.fields = intoObject ? d.fields : std::move(d.fields);
    }
    if (intoObject) {
        (*e.json)["fields"] = std::move(d.fields);
    }
}

void EventFanout::onLog(const host::LogLine &line)
{
    Event e = make(EventKind::Log, "log", line.atMs);
    e.severity = line.severity;
    e.category = line.category;
    e.text = line.text;
    if (e.json) {
        (*e.json)["sev"] = line.severity;
        (*e.json)["mod"] = line.module;
        (*e.json)["cat"] = line.category;
        (*e.json)["sta"] = line.sta ? Json(macText(*line.sta)) : Json(nullptr);
        (*e.json)["text"] = line.text;
    }
    emit(e);
}

}  // namespace zep::sim
