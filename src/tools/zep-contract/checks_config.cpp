// zep-contract: radio configuration items and per-radio data areas.
#include <vector>

#include "check.hpp"
#include "contract_driver.h"
#include "zep_framework.h"

namespace zep::contract {
namespace {

// What the configuration handler found in the message it was given; the
// message is valid only during the call, so it is parsed there.
struct Parsed {
    u32 calls = 0;
    u32 radioId = 0xFFFFFFFFu;
    int value = -1;             // the value's first byte, -1 when the parse failed
    bool tooLongRefused = false;  // asking for more value bytes than there are
    bool missingTlvRefused = false;
    bool radioUntouched = false;  // by the refused parses
};
Parsed g_parsed;

constexpr u32 kUntouched = 0xA5A5A5A5u;

u32 parseScanSwitch(void *cfgMsg, u32 len)
{
    Parsed &p = g_parsed;
    ++p.calls;
    u32 radioId = kUntouched;
    const auto *tooLong = ZEP_CFG_MsgParseSingleTlv(cfgMsg, len, &radioId, 0, 2);
    const auto *missing = ZEP_CFG_MsgParseSingleTlv(cfgMsg, len, &radioId, 1, 1);
    p.tooLongRefused = tooLong == nullptr;
    p.missingTlvRefused = missing == nullptr;
    p.radioUntouched = radioId == kUntouched;
    const auto *value = static_cast<const u8 *>(ZEP_CFG_MsgParseSingleTlv(cfgMsg, len, &radioId, 0, 1));
    p.value = value != nullptr ? *value : -1;
    p.radioId = radioId;
    return ZEP_OK;
}

// An item's handler cannot be withdrawn: registered once, by whichever check
// runs first.
u32 registerOnce()
{
    static const u32 status =
        ZEP_CFG_RegRadioSingleCfgMsg(kKitAppId, ZEP_CFG_ITEM_SCAN_SWITCH, parseScanSwitch);
    return status;
}

void itemReachesHandler(Verdict &v)
{
    const u32 radios = ZEP_PROFILE_GetMaxRadioNum();
    const u32 reg = registerOnce();
    if (!v.expect(reg == 0, "ZEP_CFG_RegRadioSingleCfgMsg returned %u", reg)) {
        return;
    }
    for (u32 radioId = 0; radioId < radios; ++radioId) {
        g_parsed = {};
        const u8 value = static_cast<u8>(radioId % 2);
        const u32 status = ZEPC_DriverConfigure(ZEP_CFG_ITEM_SCAN_SWITCH, radioId, &value, 1);
        v.expect(status == 0 && g_parsed.calls == 1,
                 "radio %u: configuring returned %u, handler called %u time(s)", radioId, status,
                 g_parsed.calls);
        v.expect(g_parsed.value == value && g_parsed.radioId == radioId,
                 "radio %u, value %u: the parse gave radio %u, value %d", radioId, value,
                 g_parsed.radioId, g_parsed.value);
    }
}

void parseRefusals(Verdict &v)
{
    g_parsed = {};
    const u8 value = 1;
    const bool reached = registerOnce() == 0 &&
                         ZEPC_DriverConfigure(ZEP_CFG_ITEM_SCAN_SWITCH, 0, &value, 1) == 0 &&
                         g_parsed.calls == 1;
    if (!v.expect(reached, "no configuration message reached the handler of item %u",
                  ZEP_CFG_ITEM_SCAN_SWITCH)) {
        return;
    }
    v.expect(g_parsed.tooLongRefused, "a 2-byte read of a 1-byte value was not refused");
    v.expect(g_parsed.missingTlvRefused, "a second TLV was found in a message of one");
    v.expect(g_parsed.radioUntouched, "a refused parse wrote the radio id");
}

void dataAreaSlices(Verdict &v)
{
    const u32 radios = ZEP_PROFILE_GetMaxRadioNum();
    const UMAC_OBJMNG_DataAreaReq req = {0, 4, 0, radios, ZEP_PROFILE_GetMaxVapNumPerRadio()};
    u64 handle = 0;
    const u32 status = UMAC_OBJMNG_MallocDataArea(&handle, &req);
    if (!v.expect(status == 0, "UMAC_OBJMNG_MallocDataArea returned %u", status)) {
        return;
    }
    std::vector<u8 *> slices;
    for (u32 radioId = 0; radioId < radios; ++radioId) {
        auto *slice = static_cast<u8 *>(UMAC_OBJMNG_GetRadioDataInfo(handle, radioId));
        if (!v.expect(slice != nullptr, "radio %u has no slice", radioId)) {
            return;
        }
        v.expect(slice[0] == 0 && slice[1] == 0 && slice[2] == 0 && slice[3] == 0,
                 "radio %u's slice is not zeroed", radioId);
        slices.push_back(slice);
    }
    // Written all first, read back after: overlapping slices show.
    for (u32 radioId = 0; radioId < radios; ++radioId) {
        for (u32 i = 0; i < 4; ++i) {
            slices[radioId][i] = static_cast<u8>(radioId * 4 + i + 1);
        }
    }
    for (u32 radioId = 0; radioId < radios; ++radioId) {
        v.expect(slices[radioId][0] == radioId * 4 + 1 && slices[radioId][3] == radioId * 4 + 4,
                 "radio %u's slice was overwritten through another radio's", radioId);
        v.expect(UMAC_OBJMNG_GetRadioDataInfo(handle, radioId) == slices[radioId],
                 "radio %u's slice moved", radioId);
    }
    v.expect(UMAC_OBJMNG_GetRadioDataInfo(handle, radios) == nullptr,
             "radio %u, one past the count, has a slice", radios);
}

}  // namespace

const std::vector<Check> kConfigChecks = {
    {"config.item_reaches_handler",
     "Item 32 reaches its handler; the TLV parse gives its radio and value",
     {"ZEP_CFG_RegRadioSingleCfgMsg", "ZEP_CFG_MsgParseSingleTlv"}, itemReachesHandler},
    {"config.parse_refusals", "ZEP_CFG_MsgParseSingleTlv refuses a short value or a missing TLV",
     {"ZEP_CFG_MsgParseSingleTlv"}, parseRefusals},
    {"config.data_area_slices",
     "A data area has a zeroed, separate, stable slice per radio, none past",
     {"UMAC_OBJMNG_MallocDataArea", "UMAC_OBJMNG_GetRadioDataInfo"}, dataAreaSlices},
};

}  // namespace zep::contract
