#include "wire/codec.hpp"

#include "sta_meas_msg.h"
#include "wire/msg_catalog.hpp"

namespace zep::sim {

bool hasEncoder(u32 id)
{
    const MsgInfo *m = inboundMsg(id);
    return m != nullptr && m->encode != nullptr;
}

std::vector<u8> encodeInbound(u32 id, const Fields &f, const EncodeContext &ctx)
{
    if (!hasEncoder(id)) {
        f.node().fail("message " + std::to_string(id) +
                      " has no structured body; give its body as hex");
    }
    return inboundMsg(id)->encode(f, ctx);
}

Decoded decodeInbound(u32 id, std::span<const u8> body)
{
    const MsgInfo *m = inboundMsg(id);
    return m != nullptr && m->decode != nullptr ? m->decode(body) : Decoded{};
}

Decoded decodeOutbound(u32 id, std::span<const u8> body, u32 context, bool ipc)
{
    const MsgInfo *m = outboundMsg(id, context, ipc);
    if (m == nullptr || m->decode == nullptr) {
        return {};
    }
    Decoded d = m->decode(body);
    if (m->id == 0) {  // not named by its id
        d.name = m->name;
    }
    return d;
}

}  // namespace zep::sim
