/* zep-contract: the driver, the few things the kit needs a framework to do that
 * its interface alone cannot ask for (let time pass, deliver a message as
 * another module would, show what a receiver got). Implemented once per
 * framework: driver_emulation.cpp for ours; an integrator writes the same
 * functions for theirs (docs/integration.md). Reads as C11 and as C++. */
#pragma once

#include "zep_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Readies the framework for a run of the kit.
 * Returns: 0 when ready; otherwise the kit stops before its first check. */
u32 ZEPC_DriverBegin(void);
/* Ends the run; nothing the kit made is used after it. */
void ZEPC_DriverEnd(void);

/* Loads a module as the framework does: calls regEntry, then runs the init
 * phases the module registered.
 * Returns: the first non-zero status of the entry or a phase, else 0. */
u32 ZEPC_DriverLoadApp(u32 (*regEntry)(void));
/* Unloads the module loaded last: calls its de-initialisation entry.
 * Returns: that entry's status, or non-zero when no module is loaded. */
u32 ZEPC_DriverUnloadApp(void);

/* Lets ms milliseconds of framework time pass, dispatching every timer
 * expiry due in them before it returns. */
void ZEPC_DriverRunFor(u32 ms);

/* Has the event message msgId with body/len delivered to this process's
 * handler, as another module's send would be; returns once it has run.
 * Returns: 0 when a handler ran; non-zero when none is registered. */
u32 ZEPC_DriverDeliver(u32 msgId, const void *body, u32 len);
/* Calls the RPC msgId as a diagnostic client would, with buffer/len as the
 * request; the reply is copied back into buffer.
 * Returns: 0 when a handler ran; non-zero when none is registered. */
u32 ZEPC_DriverCallRpc(u32 msgId, void *buffer, u32 len);
/* Has a radio configuration message for radioId carrying item itemType with
 * these value bytes delivered to this process's handler of the item.
 * Returns: 0 when a handler ran; non-zero when none is registered. */
u32 ZEPC_DriverConfigure(u32 itemType, u32 radioId, const void *value, u16 len);
/* Has the station-leave primitive raised for the associated station mac.
 * Returns: 0 when a handler ran; non-zero when none or no such station. */
u32 ZEPC_DriverStationLeaves(const u8 *mac);

/* The latest message sent under msgId (by ZEP_MNG_SendIPCMsg when ipc is
 * non-zero, else by ZEP_MNG_SendMsg) since the previous call for the same
 * (msgId, ipc), as a receiver got it: up to capacity bytes into buffer, its
 * length in *len and its destination in *dest.
 * Returns: 0 when there was one; non-zero otherwise, outputs untouched. */
u32 ZEPC_DriverTakeSent(u32 msgId, u32 ipc, u8 *buffer, u32 capacity, u32 *len, u32 *dest);

/* Up to capacity MACs of stations associated now, 6 bytes each.
 * Returns: how many were written. */
u32 ZEPC_DriverStations(u8 *macs, u32 capacity);

#ifdef __cplusplus
} /* extern "C" */
#endif
