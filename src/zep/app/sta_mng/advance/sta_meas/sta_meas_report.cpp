/* Placeholder: replaced by the real implementation. */
#include "sta_meas_inner.h"

extern "C" u32 ZEP_STAMEAS_ReportFuncInit(void) { return 0; }
extern "C" void ZEP_STAMEAS_ReportFuncDeInit(void) {  }
extern "C" u32 ZEP_STAMEAS_LmReportMsgProc(void */*msg*/, u32 /*len*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_TpcReportMsgProc(void */*msg*/, u32 /*len*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_FillApExtensionInfo(u32 /*radioId*/, u32 /*vapId*/, const u8 */*staMac*/, MeasExtensionInfo */*ext*/) { return 0; }
extern "C" u32 ZEP_STAMEAS_FillNbExtensionInfo(u32 /*radioId*/, u32 /*vapId*/, u8 /*tokenId*/, const u8 */*staMac*/, MeasExtensionInfo */*ext*/) { return 0; }
