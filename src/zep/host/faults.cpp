// Fault injection: every fallible framework operation asks here first, so a
// test can make the nth call of one operation, or the k-th fallible call of
// any, fail with a chosen status.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "host_impl.hpp"

namespace zep::host::detail {

namespace {

// The operations that can fail. A rule for any other name would never fire,
// which would make a test pass for the wrong reason.
constexpr auto kFallibleOps = std::to_array<std::string_view>({
    "ZEP_MNG_RegApp",
    "ZEP_MNG_RegMsg",
    "ZEP_MNG_UnRegMsg",
    "ZEP_MNG_SendMsg",
    "ZEP_MNG_SendIPCMsg",
    "ZEP_MNG_FillTimerRegInfo",
    "ZEP_MNG_FillTimerMsgInfo",
    "ZEP_MNG_StartTimer",
    "ZEP_MNG_StopTimer",
    "ZEP_STA_RegAccessPrimHandle",
    "ZEP_CFG_RegRadioSingleCfgMsg",
    "ZEP_CFG_MsgParseSingleTlv",
    "UMAC_OBJMNG_MallocDataArea",
    "UMAC_OBJMNG_GetRadioDataInfo",
    "ZEP_HiPrecisionMsNow64",
    "UMAC_MallocZero",
    "ZEP_MEMPOOL_Create",
    "ZEP_MEMPOOL_Malloc",
    "ZEP_HASH_CreateNew",
    "ZEP_HASH_AddNode",
    "ZEP_UAM_FindStaInfo",
    "ZEP_STA_GetVapBssid",
    "ZEP_NB_GetNbScanEirp",
    "ZEP_NB_GetScanRadioId",
    "ZEP_NB_GetRadioScanEirp",
    "ZEP_NB_GetNbApVapBssidByTokenId",
    "ZEP_NB_GetNbApVapEirpByTokenId",
    "ZEP_NB_GetNbApRadioScanEirpByTokenId",
});

bool isFallible(std::string_view op)
{
    return std::find(kFallibleOps.begin(), kFallibleOps.end(), op) != kFallibleOps.end();
}

}  // namespace

std::optional<u32> FaultRegistry::check(std::string_view op)
{
    ++fallible_;
    auto it = calls_.find(op);
    if (it == calls_.end()) {
        it = calls_.emplace(std::string(op), 0).first;
    }
    const u64 call = ++it->second;

    std::optional<u32> status;
    if (kth_ && kth_->callNumber == fallible_) {
        status = kth_->status;
        kth_.reset();
    }
    for (const Rule &rule : rules_) {
        if (!status && rule.op == op && call >= rule.first && call <= rule.last) {
            status = rule.status;
        }
    }
    // Spent rules are dropped so that clear() is the only reset a test needs.
    std::erase_if(rules_, [&](const Rule &rule) { return rule.op == op && call >= rule.last; });
    if (status) {
        ++injected_;
    }
    return status;
}

void FaultRegistry::failCall(std::string_view op, u32 nth, u32 count, u32 status)
{
    if (!isFallible(op)) {
        std::fprintf(stderr, "zep host: failCall on \"%.*s\", which is not a fallible operation\n",
                     static_cast<int>(op.size()), op.data());
        std::abort();
    }
    if (count == 0) {
        return;
    }
    const u64 first = calls(op) + std::max<u32>(nth, 1);
    rules_.push_back(Rule{std::string(op), first, first + count - 1, status});
}

void FaultRegistry::failKthFallible(u64 k, u32 status)
{
    kth_ = KthRule{fallible_ + std::max<u64>(k, 1), status};
}

u64 FaultRegistry::calls(std::string_view op) const
{
    const auto it = calls_.find(op);
    return it != calls_.end() ? it->second : 0;
}

void FaultRegistry::clear()
{
    rules_.clear();
    kth_.reset();
}

}  // namespace zep::host::detail

std::span<const std::string_view> zep::host::Faults::operations() { return detail::kFallibleOps; }
