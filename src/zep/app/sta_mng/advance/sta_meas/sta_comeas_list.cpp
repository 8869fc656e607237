/* Placeholder: replaced by the real implementation. */
#include "sta_meas_inner.h"

extern "C" u32 ZEP_STAMEAS_CoMeasListInit(void) { return 0; }
extern "C" void ZEP_STAMEAS_CoMeasListDeInit(void) {  }
extern "C" ZEP_SLL_Head *ZEP_STAMEAS_GetCoMeasStaList(u32 /*radioId*/, u32 /*channel*/) { return nullptr; }
extern "C" CoMeasInfo *ZEP_STAMEAS_AddCoMeasInfo(ZEP_SLL_Head */*list*/, const CoMeasKey */*key*/) { return nullptr; }
extern "C" CoMeasInfo *ZEP_STAMEAS_FindCoMeasInfo(ZEP_SLL_Head */*list*/, const CoMeasKey */*key*/) { return nullptr; }
extern "C" void ZEP_STAMEAS_DelCoMeasNode(ZEP_SLL_Head */*list*/, ZEP_SLL_Node */*element*/) {  }
extern "C" u32 ZEP_STAMEAS_GetCoMeasNodeNum(const ZEP_SLL_Head */*list*/) { return 0; }
extern "C" void ZEP_STAMEAS_ChkAndCutCoMeasList(ZEP_SLL_Head */*list*/, u8 /*newNum*/, u8 /*host*/) {  }
extern "C" void ZEP_STAMEAS_TraverseCoMeasList(ZEP_SLL_Head */*list*/, CoMeasWalkFn /*fn*/, void */*arg*/) {  }
extern "C" void ZEP_STAMEAS_TraverseCoMeasListEx(ZEP_SLL_Head */*list*/, CoMeasWalkFnEx /*fn*/, void */*a*/, void */*b*/, void */*c*/) {  }
extern "C" void ZEP_STAMEAS_FreeRadioCoMeasList(u32 /*radioId*/) {  }
extern "C" void ZEP_STAMEAS_FreeAllCoMeasList(void) {  }
extern "C" bool ZEP_STAMEAS_IsCoMeasSupport(u32 /*radioId*/, u32 /*channel*/) { return false; }
extern "C" void ZEP_STAMEAS_SetCoMeasSupport(u32 /*radioId*/, u32 /*channel*/) {  }
extern "C" u8 ZEP_STAMEAS_IsRadioOnScanState(u32 /*radioId*/) { return 0; }
extern "C" void ZEP_STAMEAS_SetRadioOnScanState(u32 /*radioId*/, u8 /*state*/) {  }
extern "C" void ZEP_STAMEAS_UpdateScanTriggerMs(u32 /*radioId*/) {  }
extern "C" bool ZEP_STAMEAS_IsCanTriggerScan(u32 /*radioId*/) { return false; }
extern "C" u8 ZEP_STAMEAS_GetCoMeasRepeatSendCnt(u32 /*radioId*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_CoMeasNodeKeyCmp(const void */*key*/, const ZEP_SLL_Node */*element*/) { return 0; }
extern "C" s32 ZEP_STAMEAS_CoMeasNodeCmpWeightAsc(const void */*a*/, const void */*b*/) { return 0; }
CoMeasRadioState *g_coMeasRadioState = nullptr;
