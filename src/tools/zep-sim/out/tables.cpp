#include "out/tables.hpp"

#include <algorithm>
#include <string>

#include "base/hex.hpp"
#include "base/text_table.hpp"
#include "sta_meas_msg.h"
#include "wire/codec.hpp"
#include "zep_host.hpp"

namespace zep::sim {

namespace {

using Align = TextTable::Align;

std::string num(const Json &v)
{
    return v.dump();
}

std::string shareNote(const HostShare &share)
{
    std::string weight = std::to_string(kHostWeights[share.host % std::size(kHostWeights)]);
    weight.resize(std::max<std::size_t>(weight.size(), 3), ' ');
    return "host " + std::to_string(share.host) + "  weight " + weight + "  " +
           scheduleText(share.sched) + (share.automatic ? ", automatic" : "");
}

// The one live node a dump entry lists: the dump names the measurement only
// as 0 (the LM request) or 1 (any other id).
const NodeShares *nodeOfEntry(const Json &entry, u32 radioId, std::span<const NodeShares> nodes)
{
    const NodeShares *found = nullptr;
    const bool lm = entry["measType"].get<u32>() == 0;
    for (const NodeShares &n : nodes) {
        if (n.radioId == radioId && (n.measId == STAMEAS_MSG_LM_REQ) == lm &&
            macText(n.staMac) == entry["staMac"].get<std::string>()) {
            if (found != nullptr) {
                return nullptr;  // two candidates: guessing would show the wrong one's hosts
            }
            found = &n;
        }
    }
    return found;
}

void addShareNotes(TextTable &table, const NodeShares *node)
{
    if (node == nullptr) {
        table.addNote("host ?  (no single live node found for this entry)");
        return;
    }
    for (const HostShare &share : node->hosts) {
        table.addNote(shareNote(share));
    }
}

// A dump cut short says so instead of a table.
bool shortBuffer(std::ostream &out, const Decoded &d, const char *what)
{
    if (d.fields.contains("truncated")) {
        out << "    (buffer too short for " << what << ")\n";
        return true;
    }
    return false;
}

}  // namespace

std::string hostsOfWeight(u32 weight)
{
    for (u32 set = 1; set < 8; ++set) {
        u32 sum = 0;
        std::string hosts;
        for (u32 h = 0; h < 3; ++h) {
            if ((set & (1u << h)) != 0) {
                sum += kHostWeights[h];
                hosts += hosts.empty() ? "" : "+";
                hosts += std::to_string(h);
            }
        }
        if (sum == weight) {
            return hosts;
        }
    }
    return "?";
}

void printMeasTable(std::ostream &out, std::span<const u8> buffer,
                    std::span<const NodeShares> nodes)
{
    const Decoded d = decodeInbound(STAMEAS_RPC_GET_MEAS_LIST, buffer);
    if (shortBuffer(out, d, "a measurement table")) {
        return;
    }
    const u32 radioId = d.fields["radioId"].get<u32>();
    out << "    measurement table of radio " << radioId << ": " << d.fields["num"].get<u32>()
        << " node(s) listed\n";
    TextTable t({{"#", Align::Right}, {"station", Align::Left}, {"meas", Align::Left},
                 {"radio", Align::Right}, {"vap", Align::Right}, {"weight", Align::Right},
                 {"hosts", Align::Left}, {"loop", Align::Right}, {"period", Align::Right},
                 {"count", Align::Right}});
    std::size_t i = 0;
    for (const auto &e : d.fields["entries"]) {
        t.addRow({std::to_string(i++), e["staMac"].get<std::string>(),
                  e["measType"].get<u32>() == 0 ? "lm" : "tpc", num(e["radioId"]), num(e["vapId"]),
                  num(e["weight"]), hostsOfWeight(e["weight"].get<u32>()), num(e["isLoop"]),
                  num(e["periodInSec"]) + "s", num(e["count"])});
        addShareNotes(t, nodeOfEntry(e, radioId, nodes));
    }
    if (!t.empty()) {
        t.print(out, "      ");
    }
}

void printCoMeasList(std::ostream &out, std::span<const u8> buffer)
{
    const Decoded d = decodeInbound(STAMEAS_RPC_GET_COMEAS_LIST, buffer);
    if (shortBuffer(out, d, "a co-measurement list")) {
        return;
    }
    out << "    co-measurement list of radio " << d.fields["radioId"].get<u32>() << " channel "
        << d.fields["channel"].get<u32>() << ": " << d.fields["num"].get<u32>()
        << " request(s) pending\n";
    TextTable t({{"#", Align::Right}, {"station", Align::Left}, {"meas", Align::Left},
                 {"address", Align::Left}, {"weight", Align::Right}, {"hosts", Align::Left},
                 {"byte18", Align::Right}, {"eirp", Align::Right}});
    std::size_t i = 0;
    for (const auto &e : d.fields["entries"]) {
        t.addRow({std::to_string(i++), e["staMac"].get<std::string>(),
                  e["measType"].get<u32>() == 0 ? "173" : "other", e["addr"].get<std::string>(),
                  num(e["weight"]), hostsOfWeight(e["weight"].get<u32>()), num(e["reqByte18"]),
                  num(e["eirp"])});
    }
    if (!t.empty()) {
        t.print(out, "      ");
    }
}

}  // namespace zep::sim
