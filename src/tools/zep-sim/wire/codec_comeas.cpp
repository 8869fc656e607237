// Co-measurement start (184) and stop (185), the 24-byte request they carry,
// the scan trigger (42), scan state (34) and scan channel set change (181).
#include "sta_meas_msg.h"
#include "wire/codec_util.hpp"

namespace zep::sim::codec {

namespace {

constexpr u32 kDefaultCoMeasId = 173;
const Keywords kRadioWords{{"scan", STAMEAS_ALL_RADIO}};
const Keywords kFillU32{{"fill", 0xFFFFFFFFu}};
const Keywords kFillBand{{"fill", 0xFF}};
const Keywords kFillEirp{{"fill", COMEAS_EIRP_UNKNOWN}};

CoMeasMsgHead readCoMeasHead(const Fields &f, std::size_t entryCount)
{
    CoMeasMsgHead head{};
    if (entryCount > 255 && !f.has("num")) {
        f.node().fail("more than 255 entries: give num explicitly");
    }
    head.num = f.integer<u8>("num", static_cast<u8>(entryCount));
    head.host = f.integer<u8>("host", 0);
    head.channel = f.integer<u16>("channel");
    head.radioId = f.integer<u32>("radioId", 0, kRadioWords);
    head.freqInd = f.integer<u8>("freqInd", 0);
    return head;
}

// The request body: unless given as hex, every field the start handler
// completes is left for it to complete, and the address is the station's.
void buildReqBody(u8 (&body)[COMEAS_REQ_BODY_LEN], const Mac &sta, const std::optional<Node> &given)
{
    const auto put32 = [&](std::size_t at, u32 v) { std::memcpy(body + at, &v, sizeof(v)); };
    std::memset(body, 0, sizeof(body));
    put32(COMEAS_REQ_RADIO_OFFSET, 0xFFFFFFFFu);
    std::memcpy(body + COMEAS_REQ_ADDR_OFFSET, sta.data(), sta.size());
    body[COMEAS_REQ_BAND_OFFSET] = 0xFF;
    body[COMEAS_REQ_EIRP_OFFSET] = static_cast<u8>(COMEAS_EIRP_UNKNOWN);
    body[COMEAS_REQ_EIRP2_OFFSET] = static_cast<u8>(COMEAS_EIRP_UNKNOWN);
    if (!given || given->isNull()) {
        return;
    }
    if (given->isScalar()) {
        const std::vector<u8> raw = given->hex(COMEAS_REQ_BODY_LEN);
        std::memcpy(body, raw.data(), COMEAS_REQ_BODY_LEN);
        return;
    }
    const Fields f(*given);
    put32(COMEAS_REQ_RADIO_OFFSET, f.integer<u32>("radioId", 0xFFFFFFFFu, kFillU32));
    if (const auto a = f.get("addr")) {
        const Mac addr = a->mac();
        std::memcpy(body + COMEAS_REQ_ADDR_OFFSET, addr.data(), addr.size());
    }
    body[COMEAS_REQ_BAND_OFFSET] = f.integer<u8>("band", 0xFF, kFillBand);
    body[COMEAS_REQ_EIRP_OFFSET] =
        static_cast<u8>(f.integer<s8>("eirp", static_cast<s8>(COMEAS_EIRP_UNKNOWN), kFillEirp));
    body[COMEAS_REQ_DUMP_BYTE_OFFSET] = f.integer<u8>("byte18", 0);
    body[COMEAS_REQ_EIRP2_OFFSET] =
        static_cast<u8>(f.integer<s8>("eirp2", static_cast<s8>(COMEAS_EIRP_UNKNOWN), kFillEirp));
    body[COMEAS_REQ_FLAGS_OFFSET] = f.integer<u8>("byte20", 0);
    f.finish();
}

// The head of a 184 or a 185; only a start says whether it triggers a scan.
std::pair<Json, std::string> describeCoMeasHead(const CoMeasMsgHead &h, bool isStart)
{
    Json json{{"num", h.num},         {"host", h.host},         {"channel", h.channel},
              {"radioId", h.radioId}, {"freqInd", h.freqInd}};
    const std::string radio =
        h.radioId == STAMEAS_ALL_RADIO ? "scan radio (freqInd " + std::to_string(h.freqInd) + ")"
                                       : "radio " + std::to_string(h.radioId);
    std::string text = "host " + std::to_string(h.host) + " " + radio + " ch " +
                       std::to_string(h.channel) + ", " + plural(h.num, "entry", "entries");
    if (isStart) {
        const bool trigScan = (h.flags & 1u) != 0;
        json["isTrigScan"] = trigScan;
        text += trigScan ? ", trigger scan" : "";
    }
    return {std::move(json), std::move(text)};
}

}  // namespace

std::vector<u8> encodeCoMeasStart(const Fields &f)
{
    const std::vector<Node> entries = f.list("entries");
    CoMeasMsgHead head = readCoMeasHead(f, countEntries(entries));
    head.flags = f.boolean("isTrigScan", false) ? COMEAS_START_FLAG_TRIG_SCAN : 0;
    head.flags = f.integer<u8>("flags", head.flags);
    std::vector<u8> out = bytesOf(head);
    forEachEntry(entries, [&](const Fields &e, u32 index) {
        CoMeasStartEntry entry{};
        const Mac mac = macPlus(e.at("staMac").mac(), index);
        putMac(entry.staMac, mac);
        entry.flags = static_cast<u8>(
            (e.boolean("isOnWorkChannel", false) ? COMEAS_ENTRY_FLAG_ON_WORK_CHANNEL : 0) |
            (e.boolean("isRepeatSend", false) ? COMEAS_ENTRY_FLAG_REPEAT_SEND : 0));
        entry.measId = e.integer<u32>("measId", kDefaultCoMeasId);
        buildReqBody(entry.reqBody, mac, e.get("reqBody"));
        appendRecord(out, entry);
    });
    return out;
}

std::vector<u8> encodeCoMeasStop(const Fields &f)
{
    const std::vector<Node> entries = f.list("entries");
    const CoMeasMsgHead head = readCoMeasHead(f, entries.size());
    std::vector<u8> out = bytesOf(head);
    for (const Node &n : entries) {
        const Fields e(n);
        CoMeasStopEntry entry{};
        putMac(entry.staMac, e.at("staMac").mac());
        entry.measId = e.integer<u32>("measId", kDefaultCoMeasId);
        e.finish();
        appendRecord(out, entry);
    }
    return out;
}

std::vector<u8> encodeScanState(const Fields &f)
{
    ScanStateMsg m{};
    m.radioId = f.integer<u32>("radioId", 0);
    m.scanState = f.integer<u32>("scanState", STAMEAS_SCAN_STATE_ON);
    m.channel = f.integer<u32>("channel");
    return bytesOf(m);
}

std::vector<u8> encodeScanChanSet(const Fields &f)
{
    ScanChanSetMsg m{};
    m.radioId = f.integer<u32>("radioId", 0);
    return bytesOf(m);
}

Decoded decodeCoMeasStart(std::span<const u8> body)
{
    return decodeHeadAndEntries<CoMeasMsgHead, CoMeasStartEntry>(
        body, [](const CoMeasMsgHead &h) { return describeCoMeasHead(h, true); },
        [](const CoMeasStartEntry &e) {
            const bool work = (e.flags & COMEAS_ENTRY_FLAG_ON_WORK_CHANNEL) != 0;
            const bool repeat = (e.flags & COMEAS_ENTRY_FLAG_REPEAT_SEND) != 0;
            return std::pair{Json{{"staMac", macText(e.staMac)},
                                  {"isOnWorkChannel", work},
                                  {"isRepeatSend", repeat},
                                  {"measId", e.measId},
                                  {"reqBody", decodeCoMeasReqBody(e.reqBody).fields}},
                             macText(e.staMac) + " " + std::to_string(e.measId) +
                                 (work ? " work-channel" : "") + (repeat ? " repeat" : "")};
        });
}

Decoded decodeCoMeasStop(std::span<const u8> body)
{
    return decodeHeadAndEntries<CoMeasMsgHead, CoMeasStopEntry>(
        body, [](const CoMeasMsgHead &h) { return describeCoMeasHead(h, false); },
        [](const CoMeasStopEntry &e) {
            const bool all = macOf(e.staMac) == kBroadcastMac;
            return std::pair{Json{{"staMac", macText(e.staMac)}, {"measId", e.measId}},
                             (all ? std::string("every station") : macText(e.staMac)) + " " +
                                 std::to_string(e.measId)};
        });
}

Decoded decodeCoMeasReqBody(std::span<const u8> body)
{
    if (body.size() < COMEAS_REQ_BODY_LEN) {
        return tooShort(body);
    }
    const u32 radio = *readRecord<u32>(body, COMEAS_REQ_RADIO_OFFSET);
    const Mac addr = macAt(body, COMEAS_REQ_ADDR_OFFSET);
    const auto eirp = static_cast<s8>(body[COMEAS_REQ_EIRP_OFFSET]);
    const auto eirp2 = static_cast<s8>(body[COMEAS_REQ_EIRP2_OFFSET]);
    const bool work = (body[COMEAS_REQ_FLAGS_OFFSET] & 1u) != 0;
    Decoded d;
    d.fields = {{"radioId", radio},
                {"addr", macText(addr)},
                {"band", body[COMEAS_REQ_BAND_OFFSET]},
                {"eirp", eirp},
                {"byte18", body[COMEAS_REQ_DUMP_BYTE_OFFSET]},
                {"eirp2", eirp2},
                {"isOnWorkChannel", work}};
    d.summary = "-> " + macText(addr) + "  radio " + std::to_string(radio) + " band " +
                std::to_string(body[COMEAS_REQ_BAND_OFFSET]) + " eirp " + std::to_string(eirp) + "/" +
                std::to_string(eirp2) + (work ? " work-channel" : "");
    return d;
}

Decoded decodeScanTrig(std::span<const u8> body)
{
    return decodeRecord<CoScanTrigMsg>(body, [](const CoScanTrigMsg &m) {
        return Decoded{{{"radioId", m.radioId}, {"channel", m.channel}},
                       "radio " + std::to_string(m.radioId) + " ch " + std::to_string(m.channel),
                       {}};
    });
}

Decoded decodeScanState(std::span<const u8> body)
{
    return decodeRecord<ScanStateMsg>(body, [](const ScanStateMsg &m) {
        const bool on = m.scanState == STAMEAS_SCAN_STATE_ON;
        return Decoded{{{"radioId", m.radioId}, {"scanState", m.scanState}, {"channel", m.channel}},
                       "radio " + std::to_string(m.radioId) + (on ? " scanning" : " not scanning") +
                           " ch " + std::to_string(m.channel),
                       {}};
    });
}

Decoded decodeScanChanSet(std::span<const u8> body)
{
    // The radio alone: the rest of the record is reserved.
    return decodeRecord<u32>(body, [](u32 radio) {
        return Decoded{{{"radioId", radio}}, "radio " + std::to_string(radio), {}};
    });
}

}  // namespace zep::sim::codec
