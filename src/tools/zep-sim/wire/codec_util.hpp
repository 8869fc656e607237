// Helpers shared by the per-record encoders and decoders.
#pragma once

#include <cstring>
#include <optional>
#include <span>
#include <string>
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

// Header and entry count of a message made of a header and records, with the
// entries that are wholly present.
template <class Head, class Entry>
struct Table {
    std::optional<Head> head;
    std::vector<Entry> entries;
    bool truncated = false;
};

template <class Head, class Entry>
Table<Head, Entry> readTable(std::span<const u8> body, std::size_t declared)
{
    Table<Head, Entry> t;
    t.head = readRecord<Head>(body);
    if (!t.head) {
        t.truncated = true;
        return t;
    }
    for (std::size_t i = 0; i < declared; ++i) {
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

// The entries of a header-and-records message as the trace and the timeline show
// them: one JSON object and one short text per entry wholly present.
struct DecodedEntries {
    Json json = Json::array();
    std::vector<std::string> texts;
    bool truncated = false;
};

// describe(entry) gives the entry's {JSON, text}.
template <class Head, class Entry, class Describe>
DecodedEntries decodeEntries(std::span<const u8> body, std::size_t declared, Describe describe)
{
    const auto t = readTable<Head, Entry>(body, declared);
    DecodedEntries out;
    out.truncated = t.truncated;
    for (const Entry &e : t.entries) {
        auto [json, text] = describe(e);
        out.json.push_back(std::move(json));
        out.texts.push_back(std::move(text));
    }
    return out;
}

// Files the entries under "entries" with the truncation mark; gives the summary's
// " (truncated)" or nothing.
inline std::string putEntries(Decoded &d, DecodedEntries &&entries)
{
    d.fields["entries"] = std::move(entries.json);
    if (!entries.truncated) {
        return "";
    }
    d.fields["truncated"] = true;
    return " (truncated)";
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
