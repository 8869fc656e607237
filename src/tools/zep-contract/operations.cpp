// zep-contract: every framework operation the module calls (its undefined
// symbols; the test contract.covers_module_operations keeps the two lists
// equal). An operation no check exercises must say why beside it.
#include "check.hpp"

namespace zep::contract {

namespace {

constexpr Operation kOperations[] = {
    {"ZEP_MNG_RegApp", ""},
    {"ZEP_MNG_RegMsg", ""},
    {"ZEP_MNG_UnRegMsg", ""},
    {"ZEP_MNG_CheckMsgValid", ""},
    {"ZEP_MNG_SendMsg", ""},
    {"ZEP_MNG_SendIPCMsg", ""},
    {"ZEP_MNG_FillTimerRegInfo", ""},
    {"ZEP_MNG_FillTimerMsgInfo", ""},
    {"ZEP_MNG_StartTimer", ""},
    {"ZEP_MNG_StopTimer", ""},
    {"ZEP_GetTick", ""},
    {"ZEP_TmTickToMillSec", ""},
    {"ZEP_HiPrecisionMsNow64", ""},
    {"ZEP_STA_RegAccessPrimHandle", ""},
    {"ZEP_DBG_Print",
     "cannot fail and returns nothing; the kit cannot read the framework's log, so "
     "the first log lines of the module are read at bring-up instead"},
    {"ZEP_CFG_RegRadioSingleCfgMsg", ""},
    {"ZEP_CFG_MsgParseSingleTlv", ""},
    {"UMAC_OBJMNG_MallocDataArea", ""},
    {"UMAC_OBJMNG_GetRadioDataInfo", ""},
    {"UMAC_MallocZero", ""},
    {"UMAC_Free", ""},
    {"ZEP_Free", ""},
    {"ZEP_MEMPOOL_Create", ""},
    {"ZEP_MEMPOOL_Malloc", ""},
    {"ZEP_MEMPOOL_Free", ""},
    {"ZEP_MEMPOOL_Destroy", ""},
    {"ZEP_HASH_CreateNew", ""},
    {"ZEP_HASH_AddNode", ""},
    {"ZEP_HASH_DeleteNode", ""},
    {"ZEP_HASH_FindNode", ""},
    {"ZEP_HASH_DeleteTable", ""},
    {"ZEP_SLL_InsertInMiddle", ""},
    {"ZEP_SLL_Delete", ""},
    {"ZEP_SLL_Find", ""},
    {"ZEP_SLL_MergeSort", ""},
    {"ZEP_SLL_FreeAll", ""},
    {"UMAC_BITMAP_IsBitUp", ""},
    {"UMAC_BITMAP_SetBit", ""},
    {"UMAC_BITMAP_ClearBit", ""},
    {"UMAC_BITMAP_SetBitValue", ""},
    {"ZEP_PROFILE_GetMaxRadioNum", ""},
    {"ZEP_PROFILE_GetMaxVapNumPerRadio", ""},
    {"ZEP_PROFILE_IsValidRadioId", ""},
    {"ZEP_STA_GetRadioCurEirp", ""},
    {"ZEP_STA_GetRadioMaxPower", ""},
    {"ZEP_STA_GetRadioFreq", ""},
    {"ZEP_STA_GetVapBssid", ""},
    {"ZEP_UAM_FindStaInfo", ""},
    {"ZEP_NB_WalkApVapWithP2", ""},
    {"ZEP_NB_GetNbScanEirp", ""},
    {"ZEP_NB_GetScanRadioId", ""},
    {"ZEP_NB_GetRadioScanEirp", ""},
    {"ZEP_NB_GetNbApVapBssidByTokenId", ""},
    {"ZEP_NB_GetNbApVapEirpByTokenId", ""},
    {"ZEP_NB_GetNbApRadioScanEirpByTokenId", ""},
    {"ZEP_StrnCmp", ""},
};

}  // namespace

const std::vector<Operation> &moduleOperations()
{
    static const std::vector<Operation> operations(std::begin(kOperations), std::end(kOperations));
    return operations;
}

}  // namespace zep::contract
