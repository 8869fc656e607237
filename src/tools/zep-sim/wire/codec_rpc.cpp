// The two list dumps answered in the caller's buffer: 69 (measurement table)
// and 70 (one co-measurement list).
#include <algorithm>
#include <iterator>

#include "sta_meas_msg.h"
#include "wire/codec_util.hpp"

namespace zep::sim::codec {

namespace {

Json listEntryJson(const StaMeasListRpcEntry &e)
{
    return {{"staMac", macText(e.staMac)},
            {"measType", e.measType},
            {"radioId", static_cast<u32>(e.radioId)},
            {"vapId", e.vapId},
            {"weight", static_cast<u16>(e.weight)},
            {"isLoop", e.isLoop},
            {"periodInSec", e.periodInSec},
            {"count", static_cast<u16>(e.count)}};
}

Json listEntryJson(const StaCoMeasListRpcEntry &e)
{
    return {{"staMac", macText(e.staMac)},
            {"measType", e.measType},
            {"addr", macText(e.addr)},
            {"weight", static_cast<u16>(e.weight)},
            {"reqByte18", e.reqByte18},
            {"eirp", static_cast<s8>(e.eirp)}};
}

// A list answered in place: the head's fields, then the first num entries of
// the message's own array (no more than it holds), and "<what>: n entries".
template <class Msg>
Decoded listDecoded(const Msg &m, Json fields, const std::string &what)
{
    Json entries = Json::array();
    const std::size_t n = std::min<std::size_t>(m.num, std::size(m.entry));
    for (std::size_t i = 0; i < n; ++i) {
        entries.push_back(listEntryJson(m.entry[i]));
    }
    fields["entries"] = std::move(entries);
    return Decoded{std::move(fields), what + ": " + plural(m.num, "entry", "entries"), {}};
}

}  // namespace

std::vector<u8> encodeMeasListRpc(const Fields &f)
{
    StaMeasListRpcMsg m{};
    m.radioId = f.integer<u32>("radioId", 0);
    m.num = f.integer<u8>("num", 0);
    return bytesOf(m);
}

std::vector<u8> encodeCoMeasListRpc(const Fields &f)
{
    StaCoMeasListRpcMsg m{};
    m.radioId = f.integer<u32>("radioId", 0);
    m.channel = f.integer<u32>("channel");
    m.num = f.integer<u8>("num", 0);
    return bytesOf(m);
}

Decoded decodeMeasListRpc(std::span<const u8> body)
{
    return decodeRecord<StaMeasListRpcMsg>(body, [](const StaMeasListRpcMsg &m) {
        return listDecoded(m, {{"radioId", m.radioId}, {"num", m.num}},
                           "radio " + std::to_string(m.radioId));
    });
}

Decoded decodeCoMeasListRpc(std::span<const u8> body)
{
    return decodeRecord<StaCoMeasListRpcMsg>(body, [](const StaCoMeasListRpcMsg &m) {
        return listDecoded(m, {{"radioId", m.radioId}, {"channel", m.channel}, {"num", m.num}},
                           "radio " + std::to_string(m.radioId) + " ch " +
                               std::to_string(m.channel));
    });
}

}  // namespace zep::sim::codec
