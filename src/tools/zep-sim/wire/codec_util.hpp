// Helpers shared by the per-record encoders and decoders.
#pragma once

#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "base/hex.hpp"
#include "base/json_line.hpp"
#include "wire/decoded.hpp"

namespace zep::sim::codec {

template <class T>
std::optional<T> readRecord(std::span<const u8> bytes, std::size_t offset = 0)
{
    if (bytes.size() < offset + sizeof(T)) {
        return std::nullopt;
    }
    T record;
    std::memcpy(&record, bytes.data() + offset, sizeof(T));
    return record;
}

template <class T>
void appendRecord(std::vector<u8> &out, const T &record)
{
    const std::size_t at = out.size();
    out.resize(at + sizeof(T));
    std::memcpy(out.data() + at, &record, sizeof(T));
}

// A body made of one record.
template <class T>
std::vector<u8> bytesOf(const T &record)
{
    std::vector<u8> out;
    appendRecord(out, record);
    return out;
}

inline void putMac(u8 (&dst)[6], const Mac &mac)
{
    std::memcpy(dst, mac.data(), mac.size());
}

inline Mac macOf(const u8 (&src)[6])
{
    Mac mac{};
    std::memcpy(mac.data(), src, mac.size());
    return mac;
}

// A request or report names its station as the host's own request to it would:
// the station's radio and VAP, and its token counter brought into 1..143; a
// station the scenario does not list gets the given radio, VAP 0 and token 1.
template <class Record>
void fillStation(Record &r, const Mac &mac, u32 radio, const EncodeContext &ctx)
{
    putMac(r.staMac, mac);
    r.radioId = radio;
    r.vapId = 0;
    r.tokenId = 1;
    if (const host::StationFacts *sta = ctx.station(mac)) {
        r.radioId = sta->radioId;
        r.vapId = sta->vapId;
        const u32 rem = sta->tokenCounter % 143u;
        r.tokenId = static_cast<u8>(rem == 0 ? 143u : rem);
    }
}

// A message made of a header and records: the header, and as many entries as
// its count field declares of those wholly present.
template <class Head, class Entry>
struct Table {
    std::optional<Head> head;
    std::vector<Entry> entries;
    bool truncated = false;
};

template <class Entry, class Head, class Count>
Table<Head, Entry> readTable(std::span<const u8> body, Count Head::*count)
{
    Table<Head, Entry> t;
    t.head = readRecord<Head>(body);
    t.truncated = !t.head;
    for (std::size_t i = 0; t.head && i < (*t.head).*count; ++i) {
        auto e = readRecord<Entry>(body, sizeof(Head) + i * sizeof(Entry));
        if (!e) {
            t.truncated = true;
            break;
        }
        t.entries.push_back(*e);
    }
    return t;
}

Decoded tooShort(std::span<const u8> body);

// The JsonLine interface over a Json object, so that one list of a record's
// fields builds both the trace line and the object patterns are matched on.
class JsonTree {
public:
    explicit JsonTree(Json &json) : json_(json) {}

    template <std::integral T>
    void field(std::string_view key, T value)
    {
        json_[std::string(key)] = value;
    }
    void mac(std::string_view key, const u8 (&bytes)[6]) { json_[std::string(key)] = macText(bytes); }
    void hex(std::string_view key, std::span<const u8> bytes)
    {
        json_[std::string(key)] = toHex(bytes);
    }
    template <class Fn>
    void object(std::string_view key, Fn &&fill)
    {
        Json inner = Json::object();
        JsonTree tree(inner);
        fill(tree);
        json_[std::string(key)] = std::move(inner);
    }

private:
    Json &json_;
};

// The station a measurement request or report is about, named alike in both.
constexpr auto kStationFields = [](auto &out, const auto &record) {
    out.field("radioId", record.radioId);
    out.field("vapId", record.vapId);
    out.mac("staMac", record.staMac);
    out.field("tokenId", record.tokenId);
};

// The fields of one record as a Json object; list(out, record) names them.
template <class Record, class List>
Json recordJson(const Record &record, List list)
{
    Json json = Json::object();
    JsonTree tree(json);
    list(tree, record);
    return json;
}

// Writes "fields" of a body made of one record straight into the trace line;
// writes nothing and gives false when the body is too short for the record.
template <class Record, class List>
bool writeRecordFields(JsonLine &line, std::span<const u8> body, List list)
{
    const auto record = readRecord<Record>(body);
    if (!record) {
        return false;
    }
    line.object("fields", [&](JsonLine &out) { list(out, *record); });
    return true;
}

// A body made of one record: describe(record) gives its Decoded; a body too
// short for the record decodes to its length alone.
template <class Record, class Describe>
Decoded decodeRecord(std::span<const u8> body, Describe describe)
{
    const auto record = readRecord<Record>(body);
    return record ? describe(*record) : tooShort(body);
}

// ": a; b; c; d" for the timeline: up to four texts in full; of more, the
// first three and "+n more", so that a long list keeps the line short.
std::string joinedTexts(const std::vector<std::string> &texts);

// A header-and-records message as the trace and the timeline show it: the head's
// fields, one object per entry wholly present under "entries", and the head's
// text with the first entries' texts. describeHead(head) and describeEntry(entry)
// each give a {JSON, text}.
template <class Head, class Entry, class DescribeHead, class DescribeEntry>
Decoded decodeHeadAndEntries(std::span<const u8> body, DescribeHead describeHead,
                             DescribeEntry describeEntry)
{
    const auto table = readTable<Entry>(body, &Head::num);
    if (!table.head) {
        return tooShort(body);
    }
    Decoded d;
    std::tie(d.fields, d.summary) = describeHead(*table.head);
    Json entries = Json::array();
    std::vector<std::string> texts;
    for (const Entry &e : table.entries) {
        auto [json, text] = describeEntry(e);
        entries.push_back(std::move(json));
        texts.push_back(std::move(text));
    }
    d.fields["entries"] = std::move(entries);
    if (table.truncated) {
        d.fields["truncated"] = true;
        d.summary += " (truncated)";
    }
    d.summary += joinedTexts(texts);
    return d;
}

// "1 entry" / "3 entries".
std::string plural(std::size_t n, const char *one, const char *many);

// Per-record coders, one pair per wire record.
std::vector<u8> encodeMeasStart(const Fields &f, const EncodeContext &ctx);
std::vector<u8> encodeMeasStop(const Fields &f);
Decoded decodeMeasStart(std::span<const u8> body);
Decoded decodeMeasStop(std::span<const u8> body);
Decoded decodeMeasReq(std::span<const u8> body);
bool writeMeasReq(JsonLine &line, std::span<const u8> body);

std::vector<u8> encodeLmReport(const Fields &f, const EncodeContext &ctx);
std::vector<u8> encodeTpcReport(const Fields &f, const EncodeContext &ctx);
Decoded decodeLmReport(std::span<const u8> body);
Decoded decodeTpcReport(std::span<const u8> body);
Decoded decodeMeasReport(std::span<const u8> body);
bool writeLmReport(JsonLine &line, std::span<const u8> body);
bool writeTpcReport(JsonLine &line, std::span<const u8> body);
bool writeMeasReport(JsonLine &line, std::span<const u8> body);

std::vector<u8> encodeCoMeasStart(const Fields &f);
std::vector<u8> encodeCoMeasStop(const Fields &f);
std::vector<u8> encodeScanState(const Fields &f);
std::vector<u8> encodeScanChanSet(const Fields &f);
Decoded decodeCoMeasStart(std::span<const u8> body);
Decoded decodeCoMeasStop(std::span<const u8> body);
Decoded decodeCoMeasReqBody(std::span<const u8> body);
Decoded decodeScanTrig(std::span<const u8> body);
Decoded decodeScanState(std::span<const u8> body);
Decoded decodeScanChanSet(std::span<const u8> body);

std::vector<u8> encodeCoMeasToNb(const Fields &f);
Decoded decodeCoMeasToNb(std::span<const u8> body);
Decoded decodeNbBlocks(std::span<const u8> body);

std::vector<u8> encodeMeasListRpc(const Fields &f);
std::vector<u8> encodeCoMeasListRpc(const Fields &f);
Decoded decodeMeasListRpc(std::span<const u8> body);
Decoded decodeCoMeasListRpc(std::span<const u8> body);

// Entries, each optionally repeated with consecutive MACs ("repeat: n").
template <class Fn>
std::size_t forEachEntry(const std::vector<Node> &entries, Fn &&fn)
{
    std::size_t total = 0;
    for (const Node &n : entries) {
        const Fields e(n);
        const u32 repeat = e.integerIn<u32>("repeat", 1, 0, kMaxEntries);
        for (u32 i = 0; i < repeat; ++i) {
            fn(e, i);
        }
        e.finish();
        total += repeat;
    }
    return total;
}

inline std::size_t countEntries(const std::vector<Node> &entries)
{
    std::size_t total = 0;
    for (const Node &n : entries) {
        const Fields e(n);
        total += e.integerIn<u32>("repeat", 1, 0, kMaxEntries);
        if (total > kMaxEntries) {
            n.fail("more than " + std::to_string(kMaxEntries) + " entries in all");
        }
    }
    return total;
}

}  // namespace zep::sim::codec
