// Link-measurement (168) and TPC (170) reports, and the completed report (197).
#include "codec_util.hpp"
#include "sta_meas_msg.h"

namespace zep::sim::codec {

namespace {

// Radio, VAP and token default to what the station's own request would carry.
template <class Report>
void fillCommon(Report &r, const Fields &f, const EncodeContext &ctx)
{
    const Mac mac = f.at("staMac").mac();
    putMac(r.staMac, mac);
    u32 radio = 0;
    u32 vap = 0;
    u8 token = 1;
    if (const host::StationFacts *sta = ctx.station(mac)) {
        radio = sta->radioId;
        vap = sta->vapId;
        const u32 rem = sta->tokenCounter % 143u;
        token = static_cast<u8>(rem == 0 ? 143u : rem);
    }
    r.radioId = f.integer<u32>("radioId", radio);
    r.vapId = f.integer<u32>("vapId", vap);
    r.tokenId = f.integer<u8>("tokenId", token);
}

template <std::size_t N>
void fillValues(u8 (&dst)[N], const Fields &f)
{
    if (const auto v = f.get("values")) {
        const std::vector<u8> raw = v->hex(N);
        std::memcpy(dst, raw.data(), N);
    }
}

template <class Report>
Json commonJson(const Report &r)
{
    return {{"radioId", r.radioId},
            {"vapId", r.vapId},
            {"staMac", macText(r.staMac)},
            {"tokenId", r.tokenId},
            {"values", toHex(r.values)}};
}

template <class Report>
std::string commonSummary(const Report &r)
{
    return macText(r.staMac) + "  radio " + std::to_string(r.radioId) + " vap " +
           std::to_string(r.vapId) + " token " + std::to_string(r.tokenId);
}

}  // namespace

std::vector<u8> encodeLmReport(const Fields &f, const EncodeContext &ctx)
{
    LmReportMsg r{};
    fillCommon(r, f, ctx);
    r.rsv = f.integer<u8>("byte14", 0);
    fillValues(r.values, f);
    std::vector<u8> out;
    appendRecord(out, r);
    return out;
}

std::vector<u8> encodeTpcReport(const Fields &f, const EncodeContext &ctx)
{
    TpcReportMsg r{};
    fillCommon(r, f, ctx);
    fillValues(r.values, f);
    std::vector<u8> out;
    appendRecord(out, r);
    return out;
}

Decoded decodeLmReport(std::span<const u8> body)
{
    const auto r = readRecord<LmReportMsg>(body);
    if (!r) {
        return tooShort(body);
    }
    return Decoded{commonJson(*r), commonSummary(*r), {}};
}

Decoded decodeTpcReport(std::span<const u8> body)
{
    const auto r = readRecord<TpcReportMsg>(body);
    if (!r) {
        return tooShort(body);
    }
    return Decoded{commonJson(*r), commonSummary(*r), {}};
}

Decoded decodeMeasReport(std::span<const u8> body)
{
    const auto m = readRecord<StaMeasReportMsg>(body);
    if (!m) {
        return tooShort(body);
    }
    const bool lm = m->reportMsgId == STAMEAS_MSG_LM_REPORT;
    const Decoded inner = lm ? decodeLmReport(m->report)
                             : decodeTpcReport(std::span<const u8>(m->report, sizeof(TpcReportMsg)));
    const u8 tokenClass = m->tokenClass & 0x03u;
    Decoded d;
    d.fields = {{"reportMsgId", m->reportMsgId},
                {"report", inner.fields},
                {"ext",
                 {{"bssid", macText(m->ext.bssid)},
                  {"eirp", m->ext.eirp},
                  {"scanErip", m->ext.scanErip}}},
                {"tokenClass", tokenClass}};
    const char *origin = tokenClass == 0 ? "own AP" : "neighbour";
    d.summary = std::string(lm ? "LM " : "TPC ") + inner.summary + " (" + origin + ")  bssid " +
                macText(m->ext.bssid) + " eirp " + std::to_string(m->ext.eirp) + " scan " +
                std::to_string(m->ext.scanErip);
    return d;
}

}  // namespace zep::sim::codec
