/* Placeholder: replaced by the real implementation. */
#include "sta_meas_inner.h"

extern "C" u32 ZEP_STAMEAS_CoMeasStartProc(void */*msg*/, u32 /*len*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_CoMeasStopProc(void */*msg*/, u32 /*len*/) { return 0; }
extern "C" bool ZEP_STAMEAS_IsValidCoMeasStartMsg(const void */*msg*/, u32 /*len*/) { return false; }
extern "C" bool ZEP_STAMEAS_IsValidCoMeasStopMsg(const void */*msg*/, u32 /*len*/) { return false; }
extern "C" u32 ZEP_STAMEAS_MakeUpCoMeasStartMsg(CoMeasStartMsg */*msg*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_MakeUpCoMeasStopMsg(CoMeasStopMsg */*msg*/) { return 0; }
extern "C" void ZEP_STAMEAS_SendCoMeasReqOnWorkChannel(const CoMeasStartMsg */*msg*/) {  }
extern "C" u32 ZEP_STAMEAS_FindAndUpdateCoMeasInfo(const CoMeasStartMsg */*msg*/, ZEP_SLL_Head */*list*/, u32 */*idxList*/, u32 /*capacity*/) { return 0; }
extern "C" void ZEP_STAMEAS_AddNewCoMeasInfo(const CoMeasStartMsg */*msg*/, ZEP_SLL_Head */*list*/, const u32 */*idxList*/, u32 /*idxNum*/) {  }
extern "C" void ZEP_STAMEAS_FillCoMeasInfoBesidesKey(CoMeasInfo */*info*/, const CoMeasStartEntry */*entry*/, u8 /*host*/) {  }
extern "C" void ZEP_STAMEAS_TriggerScanForCoMeas(u32 /*radioId*/, u32 /*channel*/) {  }
extern "C" void ZEP_STAMEAS_DelHostFromCoMeasInfo(ZEP_SLL_Head */*list*/, CoMeasInfo */*info*/, u8 /*host*/) {  }
extern "C" u32 ZEP_STAMEAS_DelHostFromCoMeasInfoById(ZEP_SLL_Head */*list*/, CoMeasInfo */*info*/, void */*measId*/, void */*host*/, void */*unused*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_CoMeasReqProc(void */*msg*/, u32 /*len*/) { return 0; }
extern "C" bool ZEP_STAMEAS_IsValidCoMeasReqMsg(const void */*msg*/, u32 /*len*/) { return false; }
extern "C" u32 ZEP_STAMEAS_SendCoMeasToSpecNb(const ZEP_NB_ApRecord */*nb*/, void */*req*/, void */*buf*/) { return 0; }
extern "C" bool ZEP_STAMEAS_IsNbSatisfyCoMeas(const CoMeasStaRec */*sta*/, const ZEP_NB_ApRecord */*nb*/, u8 /*checkSsid*/, u8 /*isSendOnScan*/) { return false; }
extern "C" u32 ZEP_STAMEAS_CoMeasFuncInit(void) { return 0; }
extern "C" void ZEP_STAMEAS_CoMeasFuncDeInit(void) {  }
extern "C" u32 ZEP_STAMEAS_ScanStateChangeProc(void */*msg*/, u32 /*len*/) { return 0; }
extern "C" bool ZEP_STAMEAS_IsValidCoMeasScanMsg(const void */*msg*/, u32 /*len*/) { return false; }
extern "C" u32 ZEP_STAMEAS_ScanChanSetChangeProc(void */*msg*/, u32 /*len*/) { return 0; }
extern "C" void ZEP_STAMEAS_SendAllCoMeasReq(u32 /*radioId*/, u32 /*channel*/) {  }
extern "C" u32 ZEP_STAMEAS_SendAndDelMeasReq(ZEP_SLL_Head */*list*/, CoMeasInfo */*info*/, void */*sendCnt*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_DelSentCoMeasReq(ZEP_SLL_Head */*list*/, CoMeasInfo */*info*/, void */*unused*/) { return 0; }
u32 g_coMeasReqBufLeft = COMEAS_NB_BUF_LEN;
