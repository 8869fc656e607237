// Link-measurement (168) and TPC (170) reports, and the completed report (197).
#include "sta_meas_msg.h"
#include "wire/codec_util.hpp"

namespace zep::sim::codec {

namespace {

// Radio, VAP and token default to what the station's own request would carry.
template <class Report>
void fillCommon(Report &r, const Fields &f, const EncodeContext &ctx)
{
    fillStation(r, f.at("staMac").mac(), 0, ctx);
    r.radioId = f.integer<u32>("radioId", r.radioId);
    r.vapId = f.integer<u32>("vapId", r.vapId);
    r.tokenId = f.integer<u8>("tokenId", r.tokenId);
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

// An LM or a TPC report: its station, with the values as hex.
template <class Report>
Decoded decodeReport(std::span<const u8> body)
{
    return decodeRecord<Report>(body, [](const Report &r) {
        return Decoded{recordJson(r, kCommonFields),
                       macText(r.staMac) + "  radio " + std::to_string(r.radioId) + " vap " +
                           std::to_string(r.vapId) + " token " + std::to_string(r.tokenId),
                       {}};
    });
}

}  // namespace

std::vector<u8> encodeLmReport(const Fields &f, const EncodeContext &ctx)
{
    LmReportMsg r{};
    fillCommon(r, f, ctx);
    r.rsv = f.integer<u8>("byte14", 0);
    fillValues(r.values, f);
    return bytesOf(r);
}

std::vector<u8> encodeTpcReport(const Fields &f, const EncodeContext &ctx)
{
    TpcReportMsg r{};
    fillCommon(r, f, ctx);
    fillValues(r.values, f);
    return bytesOf(r);
}

Decoded decodeLmReport(std::span<const u8> body)
{
    return decodeReport<LmReportMsg>(body);
}

Decoded decodeTpcReport(std::span<const u8> body)
{
    return decodeReport<TpcReportMsg>(body);
}

Decoded decodeMeasReport(std::span<const u8> body)
{
    return decodeRecord<StaMeasReportMsg>(body, [](const StaMeasReportMsg &m) {
        const bool lm = m.reportMsgId == STAMEAS_MSG_LM_REPORT;
        const Decoded inner = lm ? decodeReport<LmReportMsg>(m.report)
                                 : decodeReport<TpcReportMsg>(m.report);
        const char *origin = (m.tokenClass & 0x03u) == 0 ? "own AP" : "neighbour";
        return Decoded{recordJson(m, kMeasReportFields),
                       std::string(lm ? "LM " : "TPC ") + inner.summary + " (" + origin +
                           ")  bssid " + macText(m.ext.bssid) + " eirp " +
                           std::to_string(m.ext.eirp) + " scan " + std::to_string(m.ext.scanErip),
                       {}};
    });
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
