/* Placeholder: replaced by the real implementation. */
#include "sta_meas_inner.h"

extern "C" u32 ZEP_STAMEAS_CoMeasStatsInit(void) { return 0; }
extern "C" void ZEP_STAMEAS_CoMeasStatsDeInit(void) {  }
extern "C" void ZEP_STAMEAS_SetMeasCostTick(const char */*name*/, MeasCostInfo */*cost*/, u32 /*startTick*/) {  }
extern "C" void ZEP_STAMEAS_CoMeasStatsSetCoMeasReq(u32 /*radioId*/) {  }
extern "C" void ZEP_STAMEAS_CoMeasStatsSetCoMeasRep(u32 /*radioId*/) {  }
extern "C" u32 ZEP_STAMEAS_LogCoMeasStats(u32 /*radioId*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_DfxFuncInit(void) { return 0; }
extern "C" u32 ZEP_STAMEAS_GetMeasListRpcProc(void */*msg*/, u32 /*len*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_GetCoMeasListRpcProc(void */*msg*/, u32 /*len*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_FillRpcStaMeasList(StaMeasInfo */*info*/, void */*buf*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_FillRpcStaCoMeasList(ZEP_SLL_Head */*list*/, CoMeasInfo */*info*/, void */*buf*/) { return 0; }
CoMeasStats *g_coMeasStats = nullptr;
