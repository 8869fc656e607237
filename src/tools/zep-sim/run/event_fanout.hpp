// Turns the host's observer calls into events, stamps them with the virtual time
// and the handler that was running, and hands each to every sink in order.
#pragma once

#include <optional>
#include <vector>

#include "base/events.hpp"
#include "run/host_ledger.hpp"
#include "wire/codec.hpp"
#include "zep_host.hpp"

namespace zep::sim {

class EventFanout : public host::Observer {
public:
    explicit EventFanout(host::Host &host) : host_(host) {}

    // The sink's needs join the union the fan-out fills events by.
    void addSink(EventSink &sink);
    // Asks every sink again, after one changed what it reads.
    void refreshNeeds();

    // The handler about to run (its message id), or 0 once it has returned.
    void setContext(u32 msgId) { context_ = msgId; }
    u32 context() const { return context_; }

    // The body as offered, before the handler could complete it in place: the
    // "in" event decodes this rather than what the handler left.
    void offering(u32 msgId, std::span<const u8> body);
    void withdrawOffer() { offered_.reset(); }

    // Events the runner sees itself (config, leave, unhandled, notes, verdicts).
    void emit(const Event &ev);
    void beginStep(std::size_t index, int line, const std::string &op);
    void endStep();

    void onAppRegistered(u32 status) override;
    void onPhase(u32 phase, u32 status) override;
    void onDeinit(u32 status) override;
    void onRegMsg(bool reg, u32 kind, u32 msgId, u32 status) override;
    void onDelivered(u32 kind, u32 msgId, std::span<const u8> body, u32 status,
                     std::chrono::nanoseconds elapsed) override;
    void onSent(const host::SentMessage &msg) override;
    void onSendFailed(const host::SentMessage &msg, u32 status) override;
    void onLog(const host::LogLine &line) override;

    // What each host asked for: fed with the starts and stops delivered here,
    // and by the runner (or the replay) with station facts and leaves.
    HostLedger &ledger() { return ledger_; }
    const HostLedger &ledger() const { return ledger_; }

private:
    Event make(EventKind kind, const char *ev, u64 t) const;
    // The decoded one-liner and fields, each where a sink reads it.
    void describe(Event &e, Decoded &&d) const;
    // A send, gone out or not; status is set only for one that failed.
    void emitSend(const host::SentMessage &msg, std::optional<u32> status);

    host::Host &host_;
    std::vector<EventSink *> sinks_;
    Needs needs_;  // the union over sinks_
    u32 context_ = 0;
    std::optional<std::pair<u32, std::span<const u8>>> offered_;  // the runner's copy outlives it
    std::vector<NodeShares> nodes_;  // what the last table dump's event points at
    HostLedger ledger_;
};

}  // namespace zep::sim
