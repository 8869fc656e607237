#include "run/story_sink.hpp"

#include <cstddef>

#include "sta_meas_msg.h"

namespace zep::sim {

void StorySink::onEvent(const Event &ev)
{
    const bool request = ev.id == STAMEAS_MSG_LM_REQ || ev.id == STAMEAS_MSG_TPC_REQ;
    switch (ev.kind) {
    case EventKind::Log:
        story_.setNow({ev.t, 0, {}});
        lines_.feedText(ev.text);
        return;
    case EventKind::Out:
    case EventKind::OutFail:
        // The send comes before the module's line saying it went out.
        if (request && ev.servedHost && ev.body.size() == sizeof(StaMeasReq) &&
            macAt(ev.body, offsetof(StaMeasReq, staMac)) == story_.station()) {
            story_.nextRequestFor(*ev.servedHost);
        }
        return;
    case EventKind::In:
        // An expiry has used up the counts of every host due at it.
        if (ev.id == STAMEAS_MSG_MEAS_TIMER && ledger_ != nullptr) {
            story_.setNow({ev.t, 0, {}});
            for (const u32 measId : {STAMEAS_MSG_LM_REQ, STAMEAS_MSG_TPC_REQ}) {
                const std::optional<NodeShares> node = ledger_->node(story_.station(), measId);
                story_.sharesNow(measId, node ? node->hosts : std::vector<HostShare>{});
            }
        }
        return;
    default: return;
    }
}

}  // namespace zep::sim
