/* A framework component written in C, as the people who take sta-meas write
 * them: it asks sta-meas to measure one station and reads the completed
 * reports. The install test compiles it from the installed headers alone. */
#include "sta_meas_msg.h"
#include "zep_framework.h"

#define CONSUMER_APP_ID 64u

/* One start message with a single entry, laid out as the wire expects. */
typedef struct {
    StaMeasMsgHead head;
    StaMeasStartEntry entry;
} ConsumerStartMsg;
ZEP_STATIC_ASSERT(sizeof(ConsumerStartMsg) == sizeof(StaMeasMsgHead) + sizeof(StaMeasStartEntry));

static u32 Consumer_OnMeasReport(void *msg, u32 len)
{
    if (ZEP_MNG_CheckMsgValid(msg, len, sizeof(StaMeasReportMsg)) != ZEP_OK) {
        return ZEP_ERR;
    }
    const StaMeasReportMsg *report = (const StaMeasReportMsg *)msg;
    ZEP_DBG_Print(ZEP_DBG_NOTE, CONSUMER_APP_ID, 0u, report->ext.bssid, "%s[%u]: report %u eirp %d\r\n",
                  __func__, (u32)__LINE__, report->reportMsgId, report->ext.eirp);
    return ZEP_OK;
}

u32 Consumer_MeasureStation(u32 radioId, const u8 staMac[6]);
u32 Consumer_MeasureStation(u32 radioId, const u8 staMac[6])
{
    ConsumerStartMsg msg;
    (void)memset_s(&msg, sizeof(msg), 0, sizeof(msg));
    msg.head.num = 1;
    msg.head.radioId = radioId;
    (void)memcpy_s(msg.entry.staMac, sizeof(msg.entry.staMac), staMac, 6);
    msg.entry.measId = STAMEAS_AUTO_MEAS_ID;
    msg.entry.sched.isLoop = 1;
    msg.entry.sched.periodInSec = 5;

    const u32 ret = ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, CONSUMER_APP_ID, STAMEAS_MSG_MEAS_REPORT, 0,
                                   Consumer_OnMeasReport);
    if (ret != ZEP_OK) {
        return ret;
    }
    return ZEP_MNG_SendMsg(ZEP_DEST_ALL, 0, STAMEAS_MSG_MEAS_START, &msg, sizeof(msg));
}
