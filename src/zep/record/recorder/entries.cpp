// The application's entry points as the framework sees them while recording:
// its init and de-init, its message, RPC, timer and configuration handlers and
// its station-leave primitive each go through a trampoline that records the
// call and its status around the application's own function.
#include <array>

#include "recorder.hpp"

namespace zep::record::recorder {

namespace {

// Every handler the application hands the framework, one slot each. The
// application registers thirteen; a slot is taken again by the same handler.
struct Slot {
    ZEP_MsgHandler handler = nullptr;
    Entry entry = Entry::event;
    u32 msgId = 0;
};
constexpr std::size_t kSlots = 32;
std::array<Slot, kSlots> g_slots;

ZEP_AppInfo g_app;  // the record the framework keeps while recording
const ZEP_AppInfo *g_appOriginal = nullptr;
ZEP_AccessPrimHandler g_prim = nullptr;

u32 callSlot(std::size_t index, void *msg, u32 len)
{
    const Slot &slot = g_slots[index];
    std::span<const u8> body = calls::bytesOf(msg, len);
    ZEP_TimerInfo timer{};
    if (slot.entry == Entry::timer && msg != nullptr && len >= sizeof timer) {
        // The copy of the timer record carries a code address, which differs
        // from run to run: it is kept with that field cleared.
        std::memcpy(&timer, msg, sizeof timer);
        timer.handler = nullptr;
        body = calls::bytesOf(&timer, sizeof timer);
    }
    recordIn(slot.entry, {slot.msgId, len}, body);
    const u32 status = slot.handler(msg, len);
    recordRet(status, slot.entry == Entry::rpc ? calls::bytesOf(msg, len) : std::span<const u8>());
    return status;
}

template <std::size_t... I>
constexpr std::array<ZEP_MsgHandler, kSlots> makeTrampolines(std::index_sequence<I...>)
{
    return {[](void *msg, u32 len) { return callSlot(I, msg, len); }...};
}
constexpr std::array<ZEP_MsgHandler, kSlots> kTrampolines = makeTrampolines(std::make_index_sequence<kSlots>());

// The trampoline standing for handler under (entry, msgId); the handler
// itself when every slot is taken, so the application still works unrecorded.
ZEP_MsgHandler trampolineFor(ZEP_MsgHandler handler, Entry entry, u32 msgId)
{
    if (handler == nullptr) {
        return nullptr;
    }
    for (std::size_t i = 0; i < kSlots; ++i) {
        Slot &slot = g_slots[i];
        if (slot.handler == nullptr || (slot.handler == handler && slot.entry == entry && slot.msgId == msgId)) {
            slot = {handler, entry, msgId};
            return kTrampolines[i];
        }
    }
    return handler;
}

Entry entryOfKind(u32 kind) { return kind == ZEP_MSG_KIND_RPC ? Entry::rpc : Entry::event; }

u32 recordedInit(u32 phase)
{
    recordIn(Entry::init, {phase}, {});
    const u32 status = g_appOriginal->init(phase);
    recordRet(status);
    return status;
}

u32 recordedDeInit()
{
    recordIn(Entry::deinit, {}, {});
    const u32 status = g_appOriginal->deInit();
    recordRet(status);
    return status;
}

u32 recordedPrim(u32 arg1, u32 arg2, u32 arg3, void *sta)
{
    u8 station[kStationBytes];
    std::span<const u8> body;
    if (sta != nullptr) {
        packStation(*static_cast<const ZEP_UAM_StaInfo *>(sta), station);
        body = station;
    }
    recordIn(Entry::prim, {arg1, arg2, arg3}, body);
    const u32 status = g_prim(arg1, arg2, arg3, sta);
    recordRet(status);
    return status;
}

}  // namespace

}  // namespace zep::record::recorder

using namespace zep::record;
using namespace zep::record::recorder;

extern "C" {

u32 __wrap_ZEP_MNG_RegApp(u32 appId, u32 phaseNum, const ZEP_AppInfo *appInfo)
{
    moduleRegistered(appId);
    if (zep_record_writer == nullptr || appInfo == nullptr) {
        const u32 r = __real_ZEP_MNG_RegApp(appId, phaseNum, appInfo);
        if (zep_record_writer != nullptr) {
            recordCallOutOfLine(calls::ZEP_MNG_RegApp(appId, phaseNum, appInfo), r);
        }
        return r;
    }
    g_appOriginal = appInfo;
    g_app = *appInfo;
    g_app.init = appInfo->init != nullptr ? recordedInit : nullptr;
    g_app.deInit = appInfo->deInit != nullptr ? recordedDeInit : nullptr;
    const u32 r = __real_ZEP_MNG_RegApp(appId, phaseNum, &g_app);
    recordCallOutOfLine(calls::ZEP_MNG_RegApp(appId, phaseNum, appInfo), r);
    return r;
}

u32 recorded_ZEP_MNG_RegMsg(u32 kind, u32 appId, u32 msgId, u32 reserved, ZEP_MsgHandler handler)
{
    const u32 r = __real_ZEP_MNG_RegMsg(kind, appId, msgId, reserved,
                                        trampolineFor(handler, entryOfKind(kind), msgId));
    recordCallOutOfLine(calls::ZEP_MNG_RegMsg(kind, appId, msgId, reserved, handler), r);
    return r;
}

u32 recorded_ZEP_MNG_UnRegMsg(u32 kind, u32 appId, u32 msgId, ZEP_MsgHandler handler)
{
    const u32 r = __real_ZEP_MNG_UnRegMsg(kind, appId, msgId, trampolineFor(handler, entryOfKind(kind), msgId));
    recordCallOutOfLine(calls::ZEP_MNG_UnRegMsg(kind, appId, msgId, handler), r);
    return r;
}

u32 recorded_ZEP_MNG_FillTimerMsgInfo(u32 appId, u32 msgId, ZEP_MsgHandler handler, ZEP_TimerInfo *timer)
{
    const u32 r = __real_ZEP_MNG_FillTimerMsgInfo(appId, msgId, trampolineFor(handler, Entry::timer, msgId), timer);
    recordCallOutOfLine(calls::ZEP_MNG_FillTimerMsgInfo(appId, msgId, handler, timer), r);
    return r;
}

u32 recorded_ZEP_CFG_RegRadioSingleCfgMsg(u32 appId, u32 itemType, ZEP_CfgMsgHandler handler)
{
    const u32 r = __real_ZEP_CFG_RegRadioSingleCfgMsg(appId, itemType, trampolineFor(handler, Entry::config, itemType));
    recordCallOutOfLine(calls::ZEP_CFG_RegRadioSingleCfgMsg(appId, itemType, handler), r);
    return r;
}

u32 recorded_ZEP_STA_RegAccessPrimHandle(u32 primId, ZEP_AccessPrimHandler handler, u32 priority, const char *name)
{
    if (handler == nullptr) {
        const u32 r = __real_ZEP_STA_RegAccessPrimHandle(primId, handler, priority, name);
        recordCallOutOfLine(calls::ZEP_STA_RegAccessPrimHandle(primId, handler, priority, name), r);
        return r;
    }
    g_prim = handler;
    const u32 r = __real_ZEP_STA_RegAccessPrimHandle(primId, recordedPrim, priority, name);
    recordCallOutOfLine(calls::ZEP_STA_RegAccessPrimHandle(primId, handler, priority, name), r);
    return r;
}

}  // extern "C"
