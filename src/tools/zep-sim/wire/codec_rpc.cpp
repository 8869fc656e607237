// The two list dumps answered in the caller's buffer: 69 (measurement table)
// and 70 (one co-measurement list).
#include <algorithm>

#include "sta_meas_msg.h"
#include "wire/codec_util.hpp"

namespace zep::sim::codec {

std::vector<u8> encodeMeasListRpc(const Fields &f)
{
    StaMeasListRpcMsg m{};
    m.radioId = f.integer<u32>("radioId", 0);
    m.num = f.integer<u8>("num", 0);
    std::vector<u8> out;
    appendRecord(out, m);
    return out;
}

std::vector<u8> encodeCoMeasListRpc(const Fields &f)
{
    StaCoMeasListRpcMsg m{};
    m.radioId = f.integer<u32>("radioId", 0);
    m.channel = f.integer<u32>("channel");
    m.num = f.integer<u8>("num", 0);
    std::vector<u8> out;
    appendRecord(out, m);
    return out;
}

Decoded decodeMeasListRpc(std::span<const u8> body)
{
    const auto m = readRecord<StaMeasListRpcMsg>(body);
    if (!m) {
        return tooShort(body);
    }
    Decoded d;
    d.fields = {{"radioId", m->radioId}, {"num", m->num}};
    Json entries = Json::array();
    const std::size_t n = std::min<std::size_t>(m->num, STAMEAS_RPC_MEAS_ENTRY_MAX);
    for (std::size_t i = 0; i < n; ++i) {
        const StaMeasListRpcEntry &e = m->entry[i];
        entries.push_back({{"staMac", macText(e.staMac)},
                           {"measType", e.measType},
                           {"radioId", static_cast<u32>(e.radioId)},
                           {"vapId", e.vapId},
                           {"weight", static_cast<u16>(e.weight)},
                           {"isLoop", e.isLoop},
                           {"periodInSec", e.periodInSec},
                           {"count", static_cast<u16>(e.count)}});
    }
    d.fields["entries"] = std::move(entries);
    d.summary = "radio " + std::to_string(m->radioId) + ": " + plural(m->num, "entry", "entries");
    return d;
}

Decoded decodeCoMeasListRpc(std::span<const u8> body)
{
    const auto m = readRecord<StaCoMeasListRpcMsg>(body);
    if (!m) {
        return tooShort(body);
    }
    Decoded d;
    d.fields = {{"radioId", m->radioId}, {"channel", m->channel}, {"num", m->num}};
    Json entries = Json::array();
    const std::size_t n = std::min<std::size_t>(m->num, STAMEAS_RPC_COMEAS_ENTRY_MAX);
    for (std::size_t i = 0; i < n; ++i) {
        const StaCoMeasListRpcEntry &e = m->entry[i];
        entries.push_back({{"staMac", macText(e.staMac)},
                           {"measType", e.measType},
                           {"addr", macText(e.addr)},
                           {"weight", static_cast<u16>(e.weight)},
                           {"reqByte18", e.reqByte18},
                           {"eirp", static_cast<s8>(e.eirp)}});
    }
    d.fields["entries"] = std::move(entries);
    d.summary = "radio " + std::to_string(m->radioId) + " ch " + std::to_string(m->channel) + ": " +
                plural(m->num, "entry", "entries");
    return d;
}

}  // namespace zep::sim::codec
