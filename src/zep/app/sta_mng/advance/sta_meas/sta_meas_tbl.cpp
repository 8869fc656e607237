/* Placeholder: replaced by the real implementation. */
#include "sta_meas_inner.h"

extern "C" u32 ZEP_STAMEAS_MeasTblInit(void) { return 0; }
extern "C" void ZEP_STAMEAS_MeasTblDeInit(void) {  }
extern "C" u32 ZEP_STAMEAS_GetMeasTblSize(u32 /*radioId*/) { return 0; }
extern "C" StaMeasInfo *ZEP_STAMEAS_AddMeasInfo(u32 /*radioId*/, const StaMeasKey */*key*/) { return nullptr; }
extern "C" StaMeasNode *ZEP_STAMEAS_AddMeasNode(u32 /*radioId*/, const StaMeasKey */*key*/) { return nullptr; }
extern "C" StaMeasNode *ZEP_STAMEAS_FindMeasNode(const StaMeasKey */*key*/) { return nullptr; }
extern "C" StaMeasInfo *ZEP_STAMEAS_FindMeasInfo(const StaMeasKey */*key*/) { return nullptr; }
extern "C" void ZEP_STAMEAS_DelMeasNode(StaMeasNode */*node*/) {  }
extern "C" void ZEP_STAMEAS_DelMeasNodeByKey(const StaMeasKey */*key*/) {  }
extern "C" u8 ZEP_STAMEAS_DelHostFromMeasNode(StaMeasNode */*node*/, u8 /*host*/) { return 0; }
extern "C" void ZEP_STAMEAS_DelStaAutoMeasNodes(const u8 */*staMac*/) {  }
extern "C" void ZEP_STAMEAS_ChkAndCutTblForNewMeas(u32 /*radioId*/, u8 /*newNum*/, u16 /*newWeight*/) {  }
extern "C" void ZEP_STAMEAS_SortMeasTbl(u32 /*radioId*/) {  }
extern "C" void ZEP_STAMEAS_WalkMeasTbl(u32 /*radioId*/, StaMeasWalkFn /*fn*/, void */*a*/) {  }
extern "C" void ZEP_STAMEAS_WalkMeasTbl2(u32 /*radioId*/, StaMeasWalkFn2 /*fn*/, void */*a*/, void */*b*/) {  }
extern "C" void ZEP_STAMEAS_WalkMeasTbl3(u32 /*radioId*/, StaMeasWalkFn3 /*fn*/, void */*a*/, void */*b*/, void */*c*/) {  }
extern "C" u32 ZEP_STAMEAS_MeasNodeKeyCmp(const void */*key*/, const void */*node*/) { return 0; }
extern "C" s32 ZEP_STAMEAS_MeasNodeCmpWeightDesc(const void */*a*/, const void */*b*/) { return 0; }
extern "C" s32 ZEP_STAMEAS_MeasNodeCmpWeightAsc(const void */*a*/, const void */*b*/) { return 0; }
extern "C" void ZEP_STAMEAS_FreeMeasNode(void */*node*/) {  }
StaMeasTable *g_staMeasTbl = nullptr;
