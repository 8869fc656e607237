#include "msg_catalog.hpp"

#include "sta_meas_msg.h"

namespace zep::sim {

std::string_view msgName(u32 id)
{
    switch (id) {
    case STAMEAS_MSG_SCAN_STATE: return "scan-state";
    case STAMEAS_MSG_CO_SCAN_TRIG: return "scan-trigger";
    case STAMEAS_RPC_GET_MEAS_LIST: return "get_sta_meas_list";
    case STAMEAS_RPC_GET_COMEAS_LIST: return "get_sta_comeas_list";
    case STAMEAS_IPC_NB_COMEAS_REQ: return "nb-comeas";
    case STAMEAS_MSG_LM_REQ: return "LM request";
    case STAMEAS_MSG_LM_REPORT: return "LM report";
    case STAMEAS_MSG_TPC_REQ: return "TPC request";
    case STAMEAS_MSG_TPC_REPORT: return "TPC report";
    case STAMEAS_MSG_SCAN_CHAN_SET: return "scan-chan-set";
    case STAMEAS_MSG_MEAS_START: return "meas-start";
    case STAMEAS_MSG_MEAS_STOP: return "meas-stop";
    case STAMEAS_MSG_COMEAS_START: return "comeas-start";
    case STAMEAS_MSG_COMEAS_STOP: return "comeas-stop";
    case STAMEAS_MSG_MEAS_TIMER: return "timer";
    case STAMEAS_MSG_MEAS_REPORT: return "meas-report";
    case STAMEAS_MSG_COMEAS_TO_NB: return "comeas-to-nb";
    default: return {};
    }
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
