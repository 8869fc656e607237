// Measurement start (182) and stop (183), and the 20-byte request (167/169).
#include "sta_meas_msg.h"
#include "wire/codec.hpp"
#include "wire/codec_util.hpp"

namespace zep::sim::codec {

namespace {

const Keywords kMeasIdWords{{"auto", STAMEAS_AUTO_MEAS_ID},
                                {"lm", STAMEAS_MSG_LM_REQ},
                                {"tpc", STAMEAS_MSG_TPC_REQ}};
const Keywords kStopIdWords{{"all", STAMEAS_AUTO_MEAS_ID},
                                {"lm", STAMEAS_MSG_LM_REQ},
                                {"tpc", STAMEAS_MSG_TPC_REQ}};
const Keywords kBoolWords{{"true", 1}, {"false", 0}};

std::string measIdText(u32 measId)
{
    switch (measId) {
    case STAMEAS_MSG_LM_REQ: return "lm";
    case STAMEAS_MSG_TPC_REQ: return "tpc";
    case STAMEAS_AUTO_MEAS_ID: return "auto";
    default: return "id " + std::to_string(measId);
    }
}

// A request as a host would build it for a station of the scenario; fields
// given in the scenario replace the defaults.
StaMeasReq buildReq(const Mac &mac, u32 msgRadio, const std::optional<Node> &given,
                    const EncodeContext &ctx)
{
    StaMeasReq req{};
    fillStation(req, mac, msgRadio, ctx);
    const host::RadioFacts radio = ctx.radio(req.radioId);
    req.curEirp = radio.curEirp;
    req.maxPower = static_cast<u8>(radio.maxPower);
    if (!given || given->isNull()) {
        return req;
    }
    if (given->isScalar()) {
        const std::vector<u8> raw = given->hex(sizeof(StaMeasReq));
        std::memcpy(&req, raw.data(), sizeof(req));
        return req;
    }
    const Fields f(*given);
    req.radioId = f.integer<u32>("radioId", req.radioId);
    req.vapId = f.integer<u32>("vapId", req.vapId);
    if (const auto m = f.get("staMac")) {
        putMac(req.staMac, m->mac());
    }
    req.tokenId = f.integer<u8>("tokenId", req.tokenId);
    req.curEirp = f.integer<s8>("curEirp", req.curEirp);
    req.maxPower = f.integer<u8>("maxPower", req.maxPower);
    f.finish();
    return req;
}

StaMeasSched buildSched(const std::optional<Node> &given)
{
    StaMeasSched s{1, 1, 0};
    if (!given || given->isNull()) {
        return s;
    }
    const Fields f(*given);
    s.isLoop = f.integer<u8>("isLoop", s.isLoop, kBoolWords);
    s.periodInSec = f.integer<u8>("periodInSec", s.periodInSec);
    s.count = f.integer<u16>("count", s.count);
    f.finish();
    return s;
}

constexpr auto kReqFields = [](auto &out, const StaMeasReq &r) {
    kStationFields(out, r);
    out.field("curEirp", r.curEirp);
    out.field("maxPower", r.maxPower);
};

Json schedJson(const StaMeasSched &s)
{
    return {{"isLoop", s.isLoop}, {"periodInSec", s.periodInSec}, {"count", s.count}};
}

StaMeasMsgHead readMeasHead(const Fields &f, std::size_t entryCount)
{
    StaMeasMsgHead head{};
    if (entryCount > 255 && !f.has("num")) {
        f.node().fail("more than 255 entries: give num explicitly");
    }
    head.num = f.integer<u8>("num", static_cast<u8>(entryCount));
    head.host = f.integer<u8>("host", 0);
    head.radioId = f.integer<u32>("radioId", 0);
    return head;
}

// The head of a 182 or a 183: "host 0 radio 1, 2 entries".
std::pair<Json, std::string> describeMeasHead(const StaMeasMsgHead &h)
{
    return {Json{{"num", h.num}, {"host", h.host}, {"radioId", h.radioId}},
            "host " + std::to_string(h.host) + " radio " + std::to_string(h.radioId) + ", " +
                plural(h.num, "entry", "entries")};
}

}  // namespace

std::vector<u8> encodeMeasStart(const Fields &f, const EncodeContext &ctx)
{
    const std::vector<Node> entries = f.list("entries");
    const StaMeasMsgHead head = readMeasHead(f, countEntries(entries));
    std::vector<u8> out = bytesOf(head);
    forEachEntry(entries, [&](const Fields &e, u32 index) {
        StaMeasStartEntry entry{};
        const Mac mac = macPlus(e.at("staMac").mac(), index);
        putMac(entry.staMac, mac);
        entry.measId = e.integer<u32>("measId", STAMEAS_AUTO_MEAS_ID, kMeasIdWords);
        entry.measReq = buildReq(mac, head.radioId, e.get("measReq"), ctx);
        entry.sched = buildSched(e.get("sched"));
        appendRecord(out, entry);
    });
    return out;
}

std::vector<u8> encodeMeasStop(const Fields &f)
{
    const std::vector<Node> entries = f.list("entries");
    const StaMeasMsgHead head = readMeasHead(f, countEntries(entries));
    std::vector<u8> out = bytesOf(head);
    forEachEntry(entries, [&](const Fields &e, u32 index) {
        StaMeasStopEntry entry{};
        const Mac mac = e.at("staMac").mac();
        putMac(entry.staMac, mac == kBroadcastMac ? mac : macPlus(mac, index));
        entry.measId = e.integer<u32>("measId", STAMEAS_AUTO_MEAS_ID, kStopIdWords);
        appendRecord(out, entry);
    });
    return out;
}

Decoded decodeMeasStart(std::span<const u8> body)
{
    return decodeHeadAndEntries<StaMeasMsgHead, StaMeasStartEntry>(
        body, describeMeasHead, [](const StaMeasStartEntry &e) {
            return std::pair{Json{{"staMac", macText(e.staMac)},
                                  {"measId", e.measId},
                                  {"measReq", recordJson(e.measReq, kReqFields)},
                                  {"sched", schedJson(e.sched)}},
                             macText(e.staMac) + " " + measIdText(e.measId) + " " +
                                 scheduleText(e.sched)};
        });
}

Decoded decodeMeasStop(std::span<const u8> body)
{
    return decodeHeadAndEntries<StaMeasMsgHead, StaMeasStopEntry>(
        body, describeMeasHead, [](const StaMeasStopEntry &e) {
            const bool allSta = macOf(e.staMac) == kBroadcastMac;
            const std::string what =
                e.measId == STAMEAS_AUTO_MEAS_ID ? "all" : measIdText(e.measId);
            return std::pair{Json{{"staMac", macText(e.staMac)}, {"measId", e.measId}},
                             allSta ? std::string("every station")
                                    : macText(e.staMac) + " " + what};
        });
}

Decoded decodeMeasReq(std::span<const u8> body)
{
    return decodeRecord<StaMeasReq>(body, [](const StaMeasReq &r) {
        return Decoded{recordJson(r, kReqFields),
                       "-> " + macText(r.staMac) + "  radio " + std::to_string(r.radioId) +
                           " vap " + std::to_string(r.vapId) + " token " +
                           std::to_string(r.tokenId),
                       {}};
    });
}

bool writeMeasReq(JsonLine &line, std::span<const u8> body)
{
    return writeRecordFields<StaMeasReq>(line, body, kReqFields);
}

}  // namespace zep::sim::codec

namespace zep::sim {

std::string scheduleText(const StaMeasSched &s)
{
    if (s.periodInSec == 0 || (s.isLoop == 0 && s.count == 0)) {
        return "never";
    }
    const std::string every = "every " + std::to_string(s.periodInSec) + "s";
    return s.isLoop != 0 ? "loop " + every : std::to_string(s.count) + "x " + every;
}

}  // namespace zep::sim
