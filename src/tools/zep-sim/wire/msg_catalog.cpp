#include "wire/msg_catalog.hpp"

#include <array>

#include "sta_meas_msg.h"
#include "wire/codec_util.hpp"

namespace zep::sim {

namespace {

using namespace codec;

template <class Rec, auto Field>
u32 radioField(std::span<const u8> body)
{
    const auto rec = readRecord<Rec>(body);
    return rec ? static_cast<u32>((*rec).*Field) : STAMEAS_ALL_RADIO;
}

u32 reportRadio(std::span<const u8> body)
{
    const auto m = readRecord<StaMeasReportMsg>(body);
    if (!m) {
        return STAMEAS_ALL_RADIO;
    }
    const std::span<const u8> inner(m->report, sizeof(m->report));
    return m->reportMsgId == STAMEAS_MSG_LM_REPORT ? radioField<LmReportMsg, &LmReportMsg::radioId>(inner)
                                                   : radioField<TpcReportMsg, &TpcReportMsg::radioId>(inner);
}

u32 coMeasRequestRadio(std::span<const u8> body)
{
    return body.size() < COMEAS_REQ_BODY_LEN ? STAMEAS_ALL_RADIO
                                              : *readRecord<u32>(body, COMEAS_REQ_RADIO_OFFSET);
}

template <std::vector<u8> (*Fn)(const Fields &)>
std::vector<u8> withoutContext(const Fields &f, const EncodeContext & /*ctx*/)
{
    return Fn(f);
}

constexpr auto kReqRadio = &radioField<StaMeasReq, &StaMeasReq::radioId>;

constexpr MsgInfo kCatalog[] = {
    {STAMEAS_MSG_SCAN_STATE, "scan-state", Direction::In, withoutContext<encodeScanState>,
     decodeScanState},
    {STAMEAS_MSG_CO_SCAN_TRIG, "scan-trigger", Direction::Out, nullptr, decodeScanTrig,
     Column::Scans, radioField<CoScanTrigMsg, &CoScanTrigMsg::radioId>},
    {STAMEAS_RPC_GET_MEAS_LIST, "get_sta_meas_list", Direction::In,
     withoutContext<encodeMeasListRpc>, decodeMeasListRpc},
    {STAMEAS_RPC_GET_COMEAS_LIST, "get_sta_comeas_list", Direction::In,
     withoutContext<encodeCoMeasListRpc>, decodeCoMeasListRpc},
    {STAMEAS_IPC_NB_COMEAS_REQ, "nb-comeas", Direction::Ipc, nullptr, decodeNbBlocks},
    {STAMEAS_MSG_LM_REQ, "LM request", Direction::Out, nullptr, decodeMeasReq, Column::Requests,
     kReqRadio, writeMeasReq},
    {STAMEAS_MSG_LM_REPORT, "LM report", Direction::In, encodeLmReport, decodeLmReport,
     Column::Answers, radioField<LmReportMsg, &LmReportMsg::radioId>, writeLmReport},
    {STAMEAS_MSG_TPC_REQ, "TPC request", Direction::Out, nullptr, decodeMeasReq, Column::Requests,
     kReqRadio, writeMeasReq},
    {STAMEAS_MSG_TPC_REPORT, "TPC report", Direction::In, encodeTpcReport, decodeTpcReport,
     Column::Answers, radioField<TpcReportMsg, &TpcReportMsg::radioId>, writeTpcReport},
    {STAMEAS_MSG_SCAN_CHAN_SET, "scan-chan-set", Direction::In, withoutContext<encodeScanChanSet>,
     decodeScanChanSet},
    {STAMEAS_MSG_MEAS_START, "meas-start", Direction::In, encodeMeasStart, decodeMeasStart},
    {STAMEAS_MSG_MEAS_STOP, "meas-stop", Direction::In, withoutContext<encodeMeasStop>,
     decodeMeasStop},
    {STAMEAS_MSG_COMEAS_START, "comeas-start", Direction::In, withoutContext<encodeCoMeasStart>,
     decodeCoMeasStart},
    {STAMEAS_MSG_COMEAS_STOP, "comeas-stop", Direction::In, withoutContext<encodeCoMeasStop>,
     decodeCoMeasStop},
    {STAMEAS_MSG_MEAS_TIMER, "timer", Direction::In},
    {STAMEAS_MSG_MEAS_REPORT, "meas-report", Direction::Out, nullptr, decodeMeasReport,
     Column::Reports, reportRadio, writeMeasReport},
    {STAMEAS_MSG_COMEAS_TO_NB, "comeas-to-nb", Direction::In, withoutContext<encodeCoMeasToNb>,
     decodeCoMeasToNb},
};

const MsgInfo kCoMeasRequest{0, "co-meas request", Direction::Out, nullptr, decodeCoMeasReqBody,
                             Column::CoMeas, coMeasRequestRadio};

// Every message is looked up once or twice per event: by index, not by search.
constexpr u32 kIdLimit = 256;

constexpr std::array<const MsgInfo *, kIdLimit> kById = [] {
    std::array<const MsgInfo *, kIdLimit> byId{};
    for (const MsgInfo &m : kCatalog) {
        byId.at(m.id) = &m;
    }
    return byId;
}();

}  // namespace

const MsgInfo *findMsg(u32 id)
{
    return id < kIdLimit ? kById[id] : nullptr;
}

const MsgInfo *inboundMsg(u32 id)
{
    const MsgInfo *m = findMsg(id);
    return m != nullptr && m->dir == Direction::In ? m : nullptr;
}

const MsgInfo *outboundMsg(u32 id, u32 context, bool ipc)
{
    // Co-measurement requests go out under any id, from the co-measurement
    // start (working channel) and from the scan-state handler.
    if (!ipc && id != STAMEAS_MSG_CO_SCAN_TRIG &&
        (context == STAMEAS_MSG_COMEAS_START || context == STAMEAS_MSG_SCAN_STATE)) {
        return &kCoMeasRequest;
    }
    const MsgInfo *m = findMsg(id);
    return m != nullptr && m->dir == (ipc ? Direction::Ipc : Direction::Out) ? m : nullptr;
}

std::string_view msgName(u32 id)
{
    const MsgInfo *m = findMsg(id);
    return m == nullptr ? std::string_view{} : m->name;
}

std::string msgLabel(u32 id)
{
    std::string label = std::to_string(id);
    const std::string_view name = msgName(id);
    if (!name.empty()) {
        label += ' ';
        label += name;
    }
    return label;
}

}  // namespace zep::sim
