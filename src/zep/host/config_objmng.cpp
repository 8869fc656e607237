// Radio configuration items (TLV encoding and parsing), the object manager's
// per-radio data areas and the station access primitives.
#include <cstring>
#include <limits>

#include "host_impl.hpp"

namespace zep::host {

namespace {

// A data area larger than this is taken for a corrupted request.
constexpr u64 kMaxAreaBytes = 64ull << 20;

std::optional<u32> callConfigHandler(Host::Impl &s, u32 itemType, std::span<const u8> msg)
{
    const auto it = s.cfgHandlers.find(itemType);
    if (it == s.cfgHandlers.end()) {
        return std::nullopt;
    }
    // Exactly msg.size() bytes, so a parse that reads past the end is caught.
    auto copy = std::make_unique<u8[]>(std::max<std::size_t>(msg.size(), 1));
    if (!msg.empty()) {
        std::memcpy(copy.get(), msg.data(), msg.size());
    }
    return it->second(copy.get(), static_cast<u32>(msg.size()));
}

}  // namespace

std::optional<u32> Host::deliverConfig(u32 itemType, u32 radioId, std::span<const u8> value)
{
    const ZEP_CfgMsgHead head{radioId, 1};
    const ZEP_CfgTlvHead tlv{static_cast<u16>(itemType), static_cast<u16>(value.size())};
    std::vector<u8> msg;
    msg.reserve(sizeof(head) + sizeof(tlv) + value.size());
    const auto append = [&msg](std::span<const u8> bytes) {
        msg.insert(msg.end(), bytes.begin(), bytes.end());
    };
    append(std::span(reinterpret_cast<const u8 *>(&head), sizeof(head)));
    append(std::span(reinterpret_cast<const u8 *>(&tlv), sizeof(tlv)));
    append(value);
    return callConfigHandler(*impl_, itemType, msg);
}

std::optional<u32> Host::deliverRawConfig(u32 itemType, std::span<const u8> msg)
{
    return callConfigHandler(*impl_, itemType, msg);
}

std::optional<u32> Host::staLeave(const Mac *mac)
{
    if (mac == nullptr) {
        return accessPrim(ZEP_PRIM_STA_LEAVE, 0, 0, nullptr);
    }
    // A known station is handed over as its database record; an unknown one as
    // a record of the same size that carries only the MAC.
    if (const auto known = impl_->stations.find(*mac); known != impl_->stations.end()) {
        return accessPrim(ZEP_PRIM_STA_LEAVE, 0, 0, known->second.get());
    }
    ZEP_UAM_StaInfo record{};
    std::memcpy(record.staMac, mac->data(), mac->size());
    return accessPrim(ZEP_PRIM_STA_LEAVE, 0, 0, &record);
}

std::optional<u32> Host::accessPrim(u32 primId, u32 arg2, u32 arg3, ZEP_UAM_StaInfo *sta)
{
    const auto it = impl_->primHandlers.find(primId);
    if (it == impl_->primHandlers.end()) {
        return std::nullopt;
    }
    return it->second(primId, arg2, arg3, sta);
}

}  // namespace zep::host

using namespace zep::host;

u32 emulated::ZEP_CFG_RegRadioSingleCfgMsg(u32 /*appId*/, u32 itemType, ZEP_CfgMsgHandler handler)
{
    if (auto status = detail::refusal(detail::Op::ZEP_CFG_RegRadioSingleCfgMsg, handler)) {
        return *status;
    }
    return detail::state().cfgHandlers.try_emplace(itemType, handler).second ? 0 : kErrDuplicate;
}

void *emulated::ZEP_CFG_MsgParseSingleTlv(void *cfgMsg, u32 len, u32 *radioId, u32 tlvIndex, u32 minValueLen)
{
    if (detail::refusal(detail::Op::ZEP_CFG_MsgParseSingleTlv, cfgMsg, radioId) ||
        len < sizeof(ZEP_CfgMsgHead)) {
        return nullptr;
    }
    auto *bytes = static_cast<u8 *>(cfgMsg);
    ZEP_CfgMsgHead head;
    std::memcpy(&head, bytes, sizeof(head));
    if (tlvIndex >= head.tlvNum) {
        return nullptr;
    }
    std::size_t offset = sizeof(head);
    for (u32 i = 0;; ++i) {
        if (len - offset < sizeof(ZEP_CfgTlvHead)) {
            return nullptr;
        }
        ZEP_CfgTlvHead tlv;
        std::memcpy(&tlv, bytes + offset, sizeof(tlv));
        offset += sizeof(tlv);
        if (len - offset < tlv.len) {
            return nullptr;
        }
        if (i == tlvIndex) {
            if (tlv.len < minValueLen) {
                return nullptr;
            }
            *radioId = head.radioId;
            return bytes + offset;
        }
        offset += tlv.len;
    }
}

u32 emulated::UMAC_OBJMNG_MallocDataArea(u64 *areaHandle, const UMAC_OBJMNG_DataAreaReq *req)
{
    if (auto status = detail::refusal(detail::Op::UMAC_OBJMNG_MallocDataArea, areaHandle, req)) {
        return *status;
    }
    if (req->bytesPerRadio == 0 || req->maxRadioNum == 0) {
        return ZEP_ERR;
    }
    const u64 radios = req->maxRadioNum;
    const u64 total = u64{req->globalBytes} + radios * req->bytesPerRadio +
                      radios * req->maxVapNumPerRadio * req->bytesPerVap;
    if (total > kMaxAreaBytes) {
        return kErrNoResource;
    }
    Host::Impl &s = detail::state();
    detail::DataArea area{*req, std::make_unique<u8[]>(total)};  // value-initialised: zeroed
    const u64 handle = s.nextAreaHandle++;
    s.areas.emplace(handle, std::move(area));
    *areaHandle = handle;
    return 0;
}

void *emulated::UMAC_OBJMNG_GetRadioDataInfo(u64 areaHandle, u32 radioId)
{
    if (detail::injectedFault(detail::Op::UMAC_OBJMNG_GetRadioDataInfo)) {
        return nullptr;
    }
    Host::Impl &s = detail::state();
    const auto it = s.areas.find(areaHandle);
    if (it == s.areas.end() || radioId >= it->second.req.maxRadioNum) {
        return nullptr;
    }
    const UMAC_OBJMNG_DataAreaReq &req = it->second.req;
    return it->second.bytes.get() + req.globalBytes + std::size_t{radioId} * req.bytesPerRadio;
}

u32 emulated::ZEP_STA_RegAccessPrimHandle(u32 primId, ZEP_AccessPrimHandler handler, u32 /*priority*/,
                                const char */*name*/)
{
    if (auto status = detail::refusal(detail::Op::ZEP_STA_RegAccessPrimHandle, handler)) {
        return *status;
    }
    return detail::state().primHandlers.try_emplace(primId, handler).second ? 0 : kErrDuplicate;
}
