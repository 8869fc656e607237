// Co-measurement to neighbours (198) and the blocks sent to them (91).
#include "sta_meas_msg.h"
#include "wire/codec_util.hpp"

namespace zep::sim::codec {

namespace {

std::string ssidText(const u8 (&ssid)[COMEAS_NB_SSID_LEN])
{
    std::string out;
    for (const u8 c : ssid) {
        if (c == 0) {
            break;
        }
        out.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
    }
    return out;
}

Json staJson(const CoMeasStaRec &r)
{
    return {{"staMac", macText(r.staMac)},
            {"ssid", ssidText(r.ssid)},
            {"radioId", r.radioId},
            {"channel", r.channel},
            {"selector", r.selector}};
}

}  // namespace

std::vector<u8> encodeCoMeasToNb(const Fields &f)
{
    CoMeasToNbMsgHead head{};
    head.flags = static_cast<u8>((f.boolean("checkSsid", false) ? COMEAS_NB_FLAG_CHECK_SSID : 0) |
                                 (f.boolean("isSendOnScan", false) ? COMEAS_NB_FLAG_SEND_ON_SCAN : 0));
    head.flags = f.integer<u8>("flags", head.flags);
    // Each record may stand for several ("repeat: n"): consecutive MACs and tags.
    std::vector<CoMeasStaRec> recs;
    std::vector<u32> tags;
    for (const Node &n : f.list("stations")) {
        const Fields s(n);
        CoMeasStaRec r{};
        const Mac first = s.at("staMac").mac();
        const std::string ssid = s.text("ssid", "");
        if (ssid.size() > COMEAS_NB_SSID_LEN) {
            s.at("ssid").fail("an SSID has at most 32 bytes");
        }
        std::memcpy(r.ssid, ssid.data(), ssid.size());
        r.radioId = s.integer<u8>("radioId", 0);
        r.channel = s.integer<u8>("channel");
        r.selector = s.integer<u8>("selector", 0);
        const u32 tag = s.integer<u32>("staTag", static_cast<u32>(recs.size() + 1));
        const u32 repeat = s.integerIn<u32>("repeat", 1, 0, kMaxEntries);
        s.finish();
        if (recs.size() + repeat > kMaxEntries) {
            n.fail("more than " + std::to_string(kMaxEntries) + " stations in all");
        }
        for (u32 i = 0; i < repeat; ++i) {
            putMac(r.staMac, macPlus(first, i));
            recs.push_back(r);
            tags.push_back(tag + i);
        }
    }
    if (recs.size() > 255 && !f.has("staNum")) {
        f.node().fail("more than 255 stations: give staNum explicitly");
    }
    head.staNum = f.integer<u8>("staNum", static_cast<u8>(recs.size()));
    for (std::size_t i = 0; i < tags.size() && i < STAMEAS_COMEAS_MAX_NUM; ++i) {
        head.staTag[i] = tags[i];
    }
    std::vector<u8> out = bytesOf(head);
    for (const CoMeasStaRec &r : recs) {
        appendRecord(out, r);
    }
    return out;
}

Decoded decodeCoMeasToNb(std::span<const u8> body)
{
    const auto t = readTable<CoMeasStaRec>(body, &CoMeasToNbMsgHead::staNum);
    if (!t.head) {
        return tooShort(body);
    }
    const CoMeasToNbMsgHead &head = *t.head;
    const bool checkSsid = (head.flags & COMEAS_NB_FLAG_CHECK_SSID) != 0;
    const bool onScan = (head.flags & COMEAS_NB_FLAG_SEND_ON_SCAN) != 0;
    Decoded d;
    d.fields = {{"checkSsid", checkSsid}, {"isSendOnScan", onScan}, {"staNum", head.staNum}};
    Json stations = Json::array();
    for (std::size_t i = 0; i < t.entries.size(); ++i) {
        Json s = staJson(t.entries[i]);
        if (i < STAMEAS_COMEAS_MAX_NUM) {
            s["staTag"] = head.staTag[i];
        }
        stations.push_back(std::move(s));
    }
    d.fields["stations"] = std::move(stations);
    if (t.truncated) {
        d.fields["truncated"] = true;
    }
    d.summary = plural(head.staNum, "station", "stations") + (checkSsid ? ", check SSID" : "") +
                (onScan ? ", send on scan" : "") + (t.truncated ? " (truncated)" : "");
    if (!t.entries.empty()) {
        d.summary += ": ";
        for (std::size_t i = 0; i < t.entries.size() && i < 3; ++i) {
            d.summary += (i == 0 ? "" : ", ") + macText(t.entries[i].staMac) + " ch " +
                         std::to_string(t.entries[i].channel);
        }
        if (t.entries.size() > 3) {
            d.summary += ", ...";
        }
    }
    return d;
}

Decoded decodeNbBlocks(std::span<const u8> body)
{
    Decoded d;
    Json blocks = Json::array();
    std::string parts;
    std::size_t at = 0;
    while (at < body.size()) {
        const auto head = readRecord<NbCoMeasReqBlockHead>(body, at);
        if (!head) {
            d.fields["truncated"] = true;
            break;
        }
        const std::size_t k = head->staNum;
        if (k > STAMEAS_COMEAS_MAX_NUM || at + COMEAS_NB_BLOCK_LEN(k) > body.size()) {
            d.fields["truncated"] = true;
            break;
        }
        Json tags = Json::array();
        Json stations = Json::array();
        for (std::size_t j = 0; j < k; ++j) {
            tags.push_back(head->staTag[j]);
            const auto rec = readRecord<CoMeasStaRec>(body, at + sizeof(NbCoMeasReqBlockHead) +
                                                                 j * sizeof(CoMeasStaRec));
            stations.push_back(staJson(*rec));
        }
        blocks.push_back({{"nbMac", macText(head->nbMac)},
                          {"nbRecByte0", head->nbRecByte0},
                          {"staNum", head->staNum},
                          {"staTag", std::move(tags)},
                          {"stations", std::move(stations)}});
        parts += (parts.empty() ? ": " : "; ") + std::string("nb ") + macText(head->nbMac) + " " +
                 plural(k, "station", "stations");
        at += COMEAS_NB_BLOCK_LEN(k);
    }
    const std::size_t count = blocks.size();
    d.fields["blocks"] = std::move(blocks);
    d.summary = plural(count, "block", "blocks") + ", " + plural(body.size(), "byte", "bytes") + parts;
    return d;
}

}  // namespace zep::sim::codec
