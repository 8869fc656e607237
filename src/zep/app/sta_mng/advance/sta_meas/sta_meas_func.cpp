/* Placeholder: replaced by the real implementation. */
#include "sta_meas_inner.h"

extern "C" u32 ZEP_STAMEAS_MeasStartProc(void */*msg*/, u32 /*len*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_MeasStopProc(void */*msg*/, u32 /*len*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_StaDelPrimProc(u32 /*arg1*/, u32 /*arg2*/, u32 /*arg3*/, void */*sta*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_MeasFuncInit(void) { return 0; }
extern "C" void ZEP_STAMEAS_MeasFuncDeInit(void) {  }
extern "C" bool ZEP_STAMEAS_IsValidMeasStartMsg(const void */*msg*/, u32 /*len*/) { return false; }
extern "C" bool ZEP_STAMEAS_IsValidMeasStopMsg(const void */*msg*/, u32 /*len*/) { return false; }
extern "C" u32 ZEP_STAMEAS_FindAndUpdateMeasInfo(const StaMeasStartMsg */*msg*/, u32 */*idxList*/, u32 /*capacity*/) { return 0; }
extern "C" void ZEP_STAMEAS_AddNewMeasInfo(const StaMeasStartMsg */*msg*/, const u32 */*idxList*/, u32 /*idxNum*/) {  }
extern "C" u32 ZEP_STAMEAS_StopHostMeas(StaMeasInfo */*info*/, void */*host*/, void */*needSort*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_StopHostMeasByKey(StaMeasInfo */*info*/, void */*host*/, void */*stopKey*/, void */*needSort*/) { return 0; }
extern "C" void ZEP_STAMEAS_CreateMeasTimer(void) {  }
extern "C" void ZEP_STAMEAS_StopMeasTimer(void) {  }
extern "C" u32 ZEP_STAMEAS_MeasTimerTimeout(void */*msg*/, u32 /*len*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_SendMeasureReq(StaMeasInfo */*info*/, void */*sendNo*/, void */*needSort*/) { return 0; }
extern "C" void ZEP_STAMEAS_SelectMeasHost(StaMeasInfo */*info*/, u8 */*selHost*/, u8 */*changed*/) {  }
extern "C" u8 ZEP_STAMEAS_UpdateMeasCount(StaMeasInfo */*info*/, u8 /*host*/, u16 /*weight*/) { return 0; }
extern "C" u8 ZEP_STAMEAS_AutoMeasResultChk(StaMeasInfo */*info*/) { return 0; }
extern "C" void ZEP_STAMEAS_SwitchAutoMeasId(StaMeasInfo */*info*/) {  }
extern "C" void ZEP_STAMEAS_StatsMeasResult(const u8 */*staMac*/, u32 /*measId*/) {  }
extern "C" u32 ZEP_STAMEAS_GetAutoMeasId(const StaMeasKey */*key*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_FillMeasInfoBesidesKey(StaMeasInfo */*info*/, const StaMeasReq */*measReq*/, const StaMeasSched */*sched*/, u8 /*host*/, u8 /*isAutoMeas*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_FillAutoMeasValue(StaMeasInfo */*info*/, u8 /*host*/) { return 0; }
StaMeasTimerState g_staMeasTimer = {};
