// The replay loop: registration first, as the framework starts the library,
// then each recorded entry delivered through the emulation to what the
// application registered there, and its recorded status compared with the
// one this build returns.
#include <algorithm>
#include <chrono>

#include "record_calls.hpp"
#include "replay/event_text.hpp"
#include "replay/replay_view.hpp"
#include "replay/replayer.hpp"
#include "run/runner.hpp"
#include "wire/codec_util.hpp"

namespace zep::sim::replay {

namespace {

using zep::record::Entry;

// The one item a play's `config` step encodes (a header and a single TLV of
// the scan switch), or nothing for any other message.
std::optional<std::pair<u32, std::span<const u8>>> singleItem(std::span<const u8> msg)
{
    const auto head = codec::readRecord<ZEP_CfgMsgHead>(msg);
    const auto tlv = codec::readRecord<ZEP_CfgTlvHead>(msg, sizeof(ZEP_CfgMsgHead));
    if (!head || !tlv || head->tlvNum != 1 || tlv->type != ZEP_CFG_ITEM_SCAN_SWITCH) {
        return std::nullopt;
    }
    const std::span<const u8> value = msg.subspan(sizeof *head + sizeof *tlv);
    return tlv->len == value.size() ? std::optional(std::pair{head->radioId, value}) : std::nullopt;
}

u32 entryId(const RecordedCall &entry)
{
    return entry.argCount > 1 ? static_cast<u32>(entry.args[0]) : 0;
}

}  // namespace

Outcome Replayer::run()
{
    host_.setCallTap(this);
    host_.registerApp();
    while (const RecordedCall *event = nextToCheck()) {
        if (event->kind != CallKind::in) {
            diverge(describe(*event), "nothing: this build is between handlers here");
            break;
        }
        deliver(RecordedCall(*event));  // a copy: the handler's own calls read the next events into *event
    }
    host_.setCallTap(nullptr);
    return outcome_;
}

void Replayer::deliver(const RecordedCall &entry)
{
    outcome_.atMs = entry.argCount > 0 ? entry.args[entry.argCount - 1] : 0;
    host_.setNowMs(outcome_.atMs);
    body_.assign(entry.in.begin(), entry.in.end());
    const auto kind = static_cast<Entry>(entry.id);
    if (fanout_ != nullptr) {
        // As a play's runner: the handler about to run, and what a message
        // offered before the handler could complete it in place.
        const bool message = kind == Entry::event || kind == Entry::rpc || kind == Entry::timer;
        fanout_->setContext(message ? entryId(entry) : 0);
        if (kind == Entry::event) {
            fanout_->offering(entryId(entry), body_);  // the host hands the handler a copy
        }
    }
    const std::optional<u32> status = enter(entry);
    if (!status) {
        diverge(describe(entry), "no handler registered for it in this build");
        return;
    }
    if (fanout_ != nullptr) {
        fanout_->withdrawOffer();
        fanout_->setContext(0);
    }
    expectReturn(entry, *status, body_);
}

// The entry, delivered by the emulation to what this build registered there.
std::optional<u32> Replayer::enter(const RecordedCall &entry)
{
    const u32 id = entryId(entry);
    const ZEP_AppInfo *app = host_.appInfo();
    switch (static_cast<Entry>(entry.id)) {
    case Entry::init:
        return app != nullptr && app->init != nullptr ? std::optional(host_.initPhase(id)) : std::nullopt;
    case Entry::deinit:
        return app != nullptr && app->deInit != nullptr ? std::optional(host_.deinit()) : std::nullopt;
    case Entry::event:
        return host_.deliver(id, body_);
    case Entry::rpc:
        return host_.rpc(id, body_);
    case Entry::timer:
        return host_.expireTimer(id, body_);
    case Entry::config: {
        const auto begin = std::chrono::steady_clock::now();
        const std::optional<u32> status = host_.deliverRawConfig(id, body_);
        if (status && fanout_ != nullptr) {
            // As a play's `config` step shows it: its one item, or the raw bytes.
            const auto item = singleItem(body_);
            const auto raw = item ? std::nullopt : std::optional<std::span<const u8>>(body_);
            fanout_->emit(configEvent(host_.nowMs(), item ? item->first : 0, raw,
                                      item ? item->second : std::span<const u8>(), status,
                                      std::chrono::steady_clock::now() - begin));
        }
        return status;
    }
    case Entry::prim:
        return enterPrim(entry);
    }
    return std::nullopt;
}

std::optional<u32> Replayer::enterPrim(const RecordedCall &entry)
{
    if (entry.argCount < 4) {
        return std::nullopt;
    }
    ZEP_UAM_StaInfo sta{};
    zep::record::unpackStation(entry.in, sta);
    const auto begin = std::chrono::steady_clock::now();
    const std::optional<u32> status = host_.accessPrim(static_cast<u32>(entry.args[0]), static_cast<u32>(entry.args[1]),
                                                       static_cast<u32>(entry.args[2]), entry.in.empty() ? nullptr : &sta);
    if (status && fanout_ != nullptr) {
        const auto mac = entry.in.empty() ? std::nullopt : std::optional(codec::macOf(sta.staMac));
        fanout_->emit(leaveEvent(host_.nowMs(), mac, status, std::chrono::steady_clock::now() - begin));
        if (mac && *status == 0) {
            fanout_->ledger().stationLeft(*mac);
        }
    }
    return status;
}

void Replayer::expectReturn(const RecordedCall &entry, u32 status, std::span<const u8> reply)
{
    const RecordedCall *recorded = nextToCheck();
    if (recorded == nullptr) {
        return;  // past a divergence, or the recording stops before this handler's status
    }
    RecordedCall actual;
    actual.kind = CallKind::ret;
    actual.ret = status;
    if (entry.id == static_cast<u8>(Entry::rpc)) {
        actual.out = reply;
    }
    const bool sameStatus = recorded->kind == CallKind::ret && recorded->ret == status;
    const auto [r, a] = std::ranges::mismatch(recorded->out, actual.out);
    if (!sameStatus || r != recorded->out.end() || a != actual.out.end()) {
        const std::string where = " (reply differs from byte " + std::to_string(r - recorded->out.begin()) + ")";
        diverge(describe(*recorded), describe(actual) + (sameStatus ? where : ""));
    }
}

}  // namespace zep::sim::replay
