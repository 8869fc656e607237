// zep-contract: the message manager. Registration and withdrawal, delivery of
// body and length, RPC answered in place, sends from caller-owned buffers,
// IPC, the body check, the module lifecycle and the station-leave primitive.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "check.hpp"
#include "contract_driver.h"
#include "zep_framework.h"

namespace zep::contract {
namespace {

constexpr u32 kDeliveredId = kKitMsgBase + 1;
constexpr u32 kWithdrawnId = kKitMsgBase + 2;
constexpr u32 kRpcId = kKitMsgBase + 3;
constexpr u32 kSentId = kKitMsgBase + 4;
constexpr u32 kIpcId = kKitMsgBase + 5;

// What a handler of the kit saw; handlers run one at a time, so plain
// globals are what the module itself would use.
struct Seen {
    u32 calls = 0;
    std::vector<u8> body;
    u32 len = 0;
};
Seen g_seen;

u32 recordBody(void *msg, u32 len)
{
    ++g_seen.calls;
    g_seen.len = len;
    const auto *bytes = static_cast<const u8 *>(msg);
    g_seen.body.assign(bytes, bytes + (msg != nullptr ? len : 0));
    return ZEP_OK;
}

template <std::size_t N>
std::array<u8, N> pattern(u8 seed)
{
    std::array<u8, N> bytes{};
    for (std::size_t i = 0; i < N; ++i) {
        bytes[i] = static_cast<u8>(seed + i * 7);
    }
    return bytes;
}

// ---- Lifecycle: the kit loads itself as a module.
std::vector<u32> g_initPhases;
u32 g_deInits = 0;

u32 kitInit(u32 phase)
{
    g_initPhases.push_back(phase);
    return ZEP_OK;
}

u32 kitDeInit()
{
    ++g_deInits;
    return ZEP_OK;
}

const ZEP_AppInfo g_kitApp = {"zep-contract", kitInit, 2, kitDeInit};

u32 kitRegEntry() { return ZEP_MNG_RegApp(kKitAppId, 2, &g_kitApp); }

void lifecycle(Verdict &v)
{
    const u32 loaded = ZEPC_DriverLoadApp(kitRegEntry);
    v.expect(loaded == 0, "loading the module returned %u", loaded);
    std::string phases;
    for (u32 phase : g_initPhases) {
        phases += (phases.empty() ? "" : ", ") + std::to_string(phase);
    }
    v.expect(g_initPhases == std::vector<u32>{0, 1}, "init called with phase(s) [%s], want [0, 1]",
             phases.c_str());
    v.expect(g_deInits == 0, "deInit called %u time(s) while loaded", g_deInits);
    const u32 unloaded = ZEPC_DriverUnloadApp();
    v.expect(unloaded == 0 && g_deInits == 1, "unloading returned %u and called deInit %u time(s)",
             unloaded, g_deInits);
}

// ---- Delivery, withdrawal, RPC.
void bodyAndLength(Verdict &v)
{
    g_seen = {};
    const u32 reg = ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, kKitAppId, kDeliveredId, 0, recordBody);
    if (!v.expect(reg == 0, "ZEP_MNG_RegMsg returned %u", reg)) {
        return;
    }
    const auto body = pattern<37>(3);
    const u32 delivered = ZEPC_DriverDeliver(kDeliveredId, body.data(), body.size());
    v.expect(delivered == 0 && g_seen.calls == 1,
             "delivery returned %u, handler called %u time(s)", delivered, g_seen.calls);
    v.expect(g_seen.len == body.size(), "handler got length %u for a %zu-byte body", g_seen.len,
             body.size());
    v.expect(std::ranges::equal(g_seen.body, body), "handler got different bytes from those sent");
    ZEP_MNG_UnRegMsg(ZEP_MSG_KIND_EVENT, kKitAppId, kDeliveredId, recordBody);
}

void withdrawal(Verdict &v)
{
    g_seen = {};
    const u32 reg = ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, kKitAppId, kWithdrawnId, 0, recordBody);
    const u32 unreg = ZEP_MNG_UnRegMsg(ZEP_MSG_KIND_EVENT, kKitAppId, kWithdrawnId, recordBody);
    v.expect(reg == 0 && unreg == 0, "ZEP_MNG_RegMsg returned %u, ZEP_MNG_UnRegMsg %u", reg, unreg);
    const u8 byte = 1;
    ZEPC_DriverDeliver(kWithdrawnId, &byte, 1);
    v.expect(g_seen.calls == 0, "the withdrawn handler was called %u time(s)", g_seen.calls);
}

constexpr std::size_t kRpcBytes = 64;

// Answers with the request's bytes reversed, so a reply that did not go back
// in place shows as the request itself.
u32 answerInPlace(void *msg, u32 len)
{
    ++g_seen.calls;
    std::reverse(static_cast<u8 *>(msg), static_cast<u8 *>(msg) + len);
    return ZEP_OK;
}

void rpcInPlace(Verdict &v)
{
    g_seen = {};
    const u32 reg = ZEP_MNG_RegMsg(ZEP_MSG_KIND_RPC, kKitAppId, kRpcId, 0, answerInPlace);
    if (!v.expect(reg == 0, "ZEP_MNG_RegMsg (RPC) returned %u", reg)) {
        return;
    }
    const auto request = pattern<kRpcBytes>(11);
    auto buffer = request;
    const u32 called = ZEPC_DriverCallRpc(kRpcId, buffer.data(), buffer.size());
    v.expect(called == 0 && g_seen.calls == 1, "the RPC returned %u, handler called %u time(s)",
             called, g_seen.calls);
    v.expect(std::equal(buffer.begin(), buffer.end(), request.rbegin()),
             "the caller got back bytes other than those the handler wrote in place");
    ZEP_MNG_UnRegMsg(ZEP_MSG_KIND_RPC, kKitAppId, kRpcId, answerInPlace);
}

void checkMsgValid(Verdict &v)
{
    const std::array<u8, 16> body{};
    struct Case {
        const void *msg;
        u32 len;
        u32 minLen;
        bool valid;
    };
    const Case cases[] = {
        {body.data(), 12, 12, true},  {body.data(), 16, 12, true}, {body.data(), 11, 12, false},
        {body.data(), 0, 0, true},    {nullptr, 12, 12, false},    {nullptr, 0, 0, false},
    };
    for (const Case &c : cases) {
        const u32 status = ZEP_MNG_CheckMsgValid(c.msg, c.len, c.minLen);
        v.expect((status == 0) == c.valid, "%s body, length %u, minimum %u: status %u",
                 c.msg != nullptr ? "a" : "a null", c.len, c.minLen, status);
    }
}

// ---- Sends: the body is the caller's again as soon as the call returns.
void expectReceived(Verdict &v, u32 msgId, u32 ipc, const u8 *sent, u32 len)
{
    std::vector<u8> got(len + 1);
    u32 gotLen = 0;
    u32 dest = 0;
    const u32 status = ZEPC_DriverTakeSent(msgId, ipc, got.data(), len + 1, &gotLen, &dest);
    if (!v.expect(status == 0, "no message %#x reached a receiver", msgId)) {
        return;
    }
    v.expect(dest == ZEP_DEST_ALL, "destination %#x, sent to %#x", dest, ZEP_DEST_ALL);
    v.expect(gotLen == len && std::memcmp(got.data(), sent, len) == 0,
             "the receiver got %u byte(s), not the %u sent (the body was changed after the call)",
             gotLen, len);
}

void sendCopiesBody(Verdict &v)
{
    const auto original = pattern<20>(5);
    auto stackBody = original;
    const u32 status = ZEP_MNG_SendMsg(ZEP_DEST_ALL, 0, kSentId, stackBody.data(), stackBody.size());
    stackBody.fill(0xEE);
    if (v.expect(status == 0, "ZEP_MNG_SendMsg returned %u", status)) {
        expectReceived(v, kSentId, 0, original.data(), original.size());
    }
}

void ipcCopiesBody(Verdict &v)
{
    constexpr u32 kIpcBytes = 1900;  // the largest the module sends
    auto *heapBody = static_cast<u8 *>(ZEP_MALLOC_ZERO(kIpcBytes));
    if (!v.expect(heapBody != nullptr, "no %u-byte block to send from", kIpcBytes)) {
        return;
    }
    const auto original = pattern<kIpcBytes>(1);
    std::memcpy(heapBody, original.data(), kIpcBytes);
    const u32 status = ZEP_MNG_SendIPCMsg(ZEP_DEST_ALL, kIpcId, heapBody, kIpcBytes, 0);
    std::memset(heapBody, 0xEE, kIpcBytes);
    ZEP_FREE(heapBody);
    if (v.expect(status == 0, "ZEP_MNG_SendIPCMsg returned %u", status)) {
        expectReceived(v, kIpcId, 1, original.data(), kIpcBytes);
    }
}

// ---- Station leaves.
std::array<u8, 6> g_leftMac{};
u32 g_leaves = 0;

u32 recordLeave(u32 /*arg1*/, u32 /*arg2*/, u32 /*arg3*/, void *sta)
{
    ++g_leaves;
    if (sta != nullptr) {
        std::memcpy(g_leftMac.data(), sta, g_leftMac.size());
    }
    return ZEP_OK;
}

void stationLeave(Verdict &v)
{
    u8 mac[6];
    if (ZEPC_DriverStations(mac, 1) == 0) {
        v.skip("no station is associated");
        return;
    }
    const u32 reg = ZEP_STA_RegAccessPrimHandle(ZEP_PRIM_STA_LEAVE, recordLeave, 1000, "zep_contract");
    if (!v.expect(reg == 0, "ZEP_STA_RegAccessPrimHandle returned %u", reg)) {
        return;
    }
    const u32 raised = ZEPC_DriverStationLeaves(mac);
    v.expect(raised == 0 && g_leaves == 1, "raising the primitive returned %u, handler called %u time(s)",
             raised, g_leaves);
    v.expect(std::memcmp(g_leftMac.data(), mac, sizeof(mac)) == 0,
             "the record handed over does not start with the leaving station's MAC");
}

}  // namespace

const std::vector<Check> kMessageChecks = {
    {"messages.lifecycle", "ZEP_MNG_RegApp: init runs phase 0 then phase 1, deInit once at unload",
     {"ZEP_MNG_RegApp"}, lifecycle},
    {"messages.body_and_length",
     "A handler registered with ZEP_MNG_RegMsg gets the body and its length once",
     {"ZEP_MNG_RegMsg"}, bodyAndLength},
    {"messages.withdrawal", "After ZEP_MNG_UnRegMsg the handler is no longer called",
     {"ZEP_MNG_RegMsg", "ZEP_MNG_UnRegMsg"}, withdrawal},
    {"messages.rpc_in_place",
     "An RPC handler's reply, written into the body, goes back to the caller",
     {"ZEP_MNG_RegMsg"}, rpcInPlace},
    {"messages.check_valid",
     "ZEP_MNG_CheckMsgValid passes a body of at least the minimum, nothing else",
     {"ZEP_MNG_CheckMsgValid"}, checkMsgValid},
    {"messages.send_copies",
     "ZEP_MNG_SendMsg copies the body: the caller's buffer is free on return",
     {"ZEP_MNG_SendMsg"}, sendCopiesBody},
    {"messages.ipc_copies", "ZEP_MNG_SendIPCMsg copies the body: the caller may free it on return",
     {"ZEP_MNG_SendIPCMsg"}, ipcCopiesBody},
    {"messages.station_leave", "The station-leave handler gets the station's record, its MAC first",
     {"ZEP_STA_RegAccessPrimHandle"}, stationLeave},
};

}  // namespace zep::contract
