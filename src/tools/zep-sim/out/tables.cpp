#include "out/tables.hpp"

#include <string>

#include "base/text_table.hpp"
#include "sta_meas_msg.h"
#include "wire/codec.hpp"

namespace zep::sim {

namespace {

using Align = TextTable::Align;

std::string num(const Json &v)
{
    return v.dump();
}

}  // namespace

std::string hostsOfWeight(u32 weight)
{
    static constexpr u32 kWeights[] = {100, 20, 60};
    for (u32 set = 1; set < 8; ++set) {
        u32 sum = 0;
        std::string hosts;
        for (u32 h = 0; h < 3; ++h) {
            if ((set & (1u << h)) != 0) {
                sum += kWeights[h];
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

void printMeasTable(std::ostream &out, std::span<const u8> buffer)
{
    const Decoded d = decodeInbound(STAMEAS_RPC_GET_MEAS_LIST, buffer);
    if (d.fields.contains("truncated")) {
        out << "    (buffer too short for a measurement table)\n";
        return;
    }
    out << "    measurement table of radio " << d.fields["radioId"].get<u32>() << ": "
        << d.fields["num"].get<u32>() << " node(s) listed\n";
    TextTable t({{"#", Align::Right},
                 {"station", Align::Left},
                 {"meas", Align::Left},
                 {"radio", Align::Right},
                 {"vap", Align::Right},
                 {"weight", Align::Right},
                 {"hosts", Align::Left},
                 {"loop", Align::Right},
                 {"period", Align::Right},
                 {"count", Align::Right}});
    std::size_t i = 0;
    for (const auto &e : d.fields["entries"]) {
        t.addRow({std::to_string(i++), e["staMac"].get<std::string>(),
                  e["measType"].get<u32>() == 0 ? "lm" : "tpc", num(e["radioId"]), num(e["vapId"]),
                  num(e["weight"]), hostsOfWeight(e["weight"].get<u32>()), num(e["isLoop"]),
                  num(e["periodInSec"]) + "s", num(e["count"])});
    }
    if (!t.empty()) {
        t.print(out, "      ");
    }
}

void printCoMeasList(std::ostream &out, std::span<const u8> buffer)
{
    const Decoded d = decodeInbound(STAMEAS_RPC_GET_COMEAS_LIST, buffer);
    if (d.fields.contains("truncated")) {
        out << "    (buffer too short for a co-measurement list)\n";
        return;
    }
    out << "    co-measurement list of radio " << d.fields["radioId"].get<u32>() << " channel "
        << d.fields["channel"].get<u32>() << ": " << d.fields["num"].get<u32>()
        << " request(s) pending\n";
    TextTable t({{"#", Align::Right},
                 {"station", Align::Left},
                 {"meas", Align::Left},
                 {"address", Align::Left},
                 {"weight", Align::Right},
                 {"hosts", Align::Left},
                 {"byte18", Align::Right},
                 {"eirp", Align::Right}});
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
