// Link-measurement (168) and TPC (170) reports, and the completed report (197).
#include "sta_meas_msg.h"
#include "wire/codec_util.hpp"

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

constexpr auto kCommonFields = [](auto &out, const auto &r) {
    kStationFields(out, r);
    out.hex("values", r.values);
};

template <class Report>
Json commonJson(const Report &r)
{
    return recordJson(r, kCommonFields);
}

static_assert(sizeof(LmReportMsg) <= sizeof(StaMeasReportMsg::report));
static_assert(sizeof(TpcReportMsg) <= sizeof(StaMeasReportMsg::report));

// The report inside a 197, LM or TPC as its id says.
constexpr auto kInnerReportFields = [](auto &out, const StaMeasReportMsg &m) {
    if (m.reportMsgId == STAMEAS_MSG_LM_REPORT) {
        kCommonFields(out, *readRecord<LmReportMsg>(m.report));
    } else {
        kCommonFields(out, *readRecord<TpcReportMsg>(m.report));
    }
};

constexpr auto kMeasReportFields = [](auto &out, const StaMeasReportMsg &m) {
    out.field("reportMsgId", m.reportMsgId);
    out.object("report", [&](auto &inner) { kInnerReportFields(inner, m); });
    out.object("ext", [&](auto &ext) {
        ext.mac("bssid", m.ext.bssid);
        ext.field("eirp", m.ext.eirp);
        ext.field("scanErip", m.ext.scanErip);
    });
    out.field("tokenClass", static_cast<u8>(m.tokenClass & 0x03u));
};

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
    Decoded d;
    d.fields = recordJson(*m, kMeasReportFields);
    const char *origin = (m->tokenClass & 0x03u) == 0 ? "own AP" : "neighbour";
    d.summary = std::string(lm ? "LM " : "TPC ") + inner.summary + " (" + origin + ")  bssid " +
                macText(m->ext.bssid) + " eirp " + std::to_string(m->ext.eirp) + " scan " +
                std::to_string(m->ext.scanErip);
    return d;
}

bool writeLmReport(JsonLine &line, std::span<const u8> body)
{
    return writeRecordFields<LmReportMsg>(line, body, kCommonFields);
}

bool writeTpcReport(JsonLine &line, std::span<const u8> body)
{
    return writeRecordFields<TpcReportMsg>(line, body, kCommonFields);
}

bool writeMeasReport(JsonLine &line, std::span<const u8> body)
{
    return writeRecordFields<StaMeasReportMsg>(line, body, kMeasReportFields);
}

}  // namespace zep::sim::codec
