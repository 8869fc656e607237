#include "codec.hpp"

#include "codec_util.hpp"
#include "sta_meas_msg.h"

namespace zep::sim {

namespace codec {

Decoded tooShort(std::span<const u8> body)
{
    Decoded d;
    d.fields["truncated"] = true;
    d.summary = "(";
    d.summary += plural(body.size(), "byte", "bytes");
    d.summary += ", too short to decode)";
    return d;
}

std::string plural(std::size_t n, const char *one, const char *many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace codec

bool hasEncoder(u32 id)
{
    switch (id) {
    case STAMEAS_MSG_MEAS_START:
    case STAMEAS_MSG_MEAS_STOP:
    case STAMEAS_MSG_LM_REPORT:
    case STAMEAS_MSG_TPC_REPORT:
    case STAMEAS_MSG_COMEAS_START:
    case STAMEAS_MSG_COMEAS_STOP:
    case STAMEAS_MSG_COMEAS_TO_NB:
    case STAMEAS_MSG_SCAN_STATE:
    case STAMEAS_MSG_SCAN_CHAN_SET:
    case STAMEAS_RPC_GET_MEAS_LIST:
    case STAMEAS_RPC_GET_COMEAS_LIST:
        return true;
    default:
        return false;
    }
}

std::vector<u8> encodeInbound(u32 id, const Fields &f, const EncodeContext &ctx)
{
    using namespace codec;
    switch (id) {
    case STAMEAS_MSG_MEAS_START: return encodeMeasStart(f, ctx);
    case STAMEAS_MSG_MEAS_STOP: return encodeMeasStop(f);
    case STAMEAS_MSG_LM_REPORT: return encodeLmReport(f, ctx);
    case STAMEAS_MSG_TPC_REPORT: return encodeTpcReport(f, ctx);
    case STAMEAS_MSG_COMEAS_START: return encodeCoMeasStart(f);
    case STAMEAS_MSG_COMEAS_STOP: return encodeCoMeasStop(f);
    case STAMEAS_MSG_COMEAS_TO_NB: return encodeCoMeasToNb(f);
    case STAMEAS_MSG_SCAN_STATE: return encodeScanState(f);
    case STAMEAS_MSG_SCAN_CHAN_SET: return encodeScanChanSet(f);
    case STAMEAS_RPC_GET_MEAS_LIST: return encodeMeasListRpc(f);
    case STAMEAS_RPC_GET_COMEAS_LIST: return encodeCoMeasListRpc(f);
    default:
        f.node().fail("message " + std::to_string(id) +
                      " has no structured body; give its body as hex");
    }
}

Decoded decodeInbound(u32 id, std::span<const u8> body)
{
    using namespace codec;
    switch (id) {
    case STAMEAS_MSG_MEAS_START: return decodeMeasStart(body);
    case STAMEAS_MSG_MEAS_STOP: return decodeMeasStop(body);
    case STAMEAS_MSG_LM_REPORT: return decodeLmReport(body);
    case STAMEAS_MSG_TPC_REPORT: return decodeTpcReport(body);
    case STAMEAS_MSG_COMEAS_START: return decodeCoMeasStart(body);
    case STAMEAS_MSG_COMEAS_STOP: return decodeCoMeasStop(body);
    case STAMEAS_MSG_COMEAS_TO_NB: return decodeCoMeasToNb(body);
    case STAMEAS_MSG_SCAN_STATE: return decodeScanState(body);
    case STAMEAS_MSG_SCAN_CHAN_SET: return decodeScanChanSet(body);
    case STAMEAS_RPC_GET_MEAS_LIST: return decodeMeasListRpc(body);
    case STAMEAS_RPC_GET_COMEAS_LIST: return decodeCoMeasListRpc(body);
    default: return {};
    }
}

Decoded decodeOutbound(u32 id, std::span<const u8> body, u32 context, bool ipc)
{
    using namespace codec;
    if (ipc) {
        return id == STAMEAS_IPC_NB_COMEAS_REQ ? decodeNbBlocks(body) : Decoded{};
    }
    // Co-measurement requests go out under any id, from the co-measurement
    // start (working channel) and from the scan-state handler.
    if (context == STAMEAS_MSG_COMEAS_START || context == STAMEAS_MSG_SCAN_STATE) {
        if (id == STAMEAS_MSG_CO_SCAN_TRIG) {
            return decodeScanTrig(body);
        }
        Decoded d = decodeCoMeasReqBody(body);
        d.name = "co-meas request";
        return d;
    }
    switch (id) {
    case STAMEAS_MSG_LM_REQ:
    case STAMEAS_MSG_TPC_REQ: return decodeMeasReq(body);
    case STAMEAS_MSG_MEAS_REPORT: return decodeMeasReport(body);
    case STAMEAS_MSG_CO_SCAN_TRIG: return decodeScanTrig(body);
    default: return {};
    }
}

}  // namespace zep::sim
