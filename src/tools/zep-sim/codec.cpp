#include "codec.hpp"

#include "codec_util.hpp"
#include "msg_catalog.hpp"
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
