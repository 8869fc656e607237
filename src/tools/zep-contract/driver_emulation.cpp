// zep-contract: the driver for the project's own framework emulation. It makes
// one Host with a small world (three radios, stations, neighbours, tokens) and
// turns the driver's requests into the Host's calls. A real framework's driver
// replaces this file (docs/integration.md).
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "contract_driver.h"
#include "zep_host.hpp"

namespace {

using zep::host::Host;
using zep::host::Mac;

std::unique_ptr<Host> g_host;
std::vector<Mac> g_stations;
// How much of the Host's capture each (msgId, ipc) has already been taken from.
std::map<std::pair<u32, bool>, std::size_t> g_taken;

Mac macOf(u8 last) { return Mac{0x00, 0x11, 0x22, 0x33, 0x44, last}; }

void addRadios(Host &host)
{
    const u32 bands[] = {1, 2, 2};
    for (u32 radioId = 0; radioId < 3; ++radioId) {
        zep::host::RadioFacts &radio = host.radio(radioId);
        radio.band = bands[radioId];
        for (u32 vapId = 0; vapId < 4; ++vapId) {
            radio.bssid[vapId] = Mac{0x02, 0, 0, 0, static_cast<u8>(radioId), static_cast<u8>(vapId)};
        }
        radio.scanEirp[radioId == 0 ? 6 : 36] = static_cast<s8>(17 + radioId);
    }
    host.setScanRadio(6, 0, 0);
    host.setScanRadio(36, 1, 1);
    host.setScanRadio(149, 1, 2);
}

void addStations(Host &host)
{
    for (u8 i = 1; i <= 4; ++i) {
        const Mac mac = macOf(i);
        host.addStation({mac, static_cast<u32>(i % 3), static_cast<u32>(i % 4), true, i % 2 == 0, i});
        g_stations.push_back(mac);
    }
}

void addNeighbours(Host &host)
{
    for (u8 n = 0; n < 3; ++n) {
        zep::host::NeighbourFacts nb;
        nb.record.recByte0 = n;
        const Mac bssid{0x06, 0, 0, 0, 0, static_cast<u8>(0x10 + n)};
        std::memcpy(nb.record.bssid, bssid.data(), bssid.size());
        nb.record.vapNum = 2;
        for (u8 vap = 0; vap < 2; ++vap) {
            nb.record.vap[vap].channel = static_cast<u8>(vap == 0 ? 6 : 36);
            nb.record.vap[vap].band = static_cast<u8>(vap == 0 ? 1 : 2);
        }
        nb.scanEirp[6] = static_cast<s8>(-40 - n);
        host.addNeighbour(nb);
        // Tokens from 200 up designate neighbour VAPs on radio 0, VAP n.
        host.addToken({static_cast<u8>(200 + n), 0, n, bssid, static_cast<s8>(18 + n),
                       static_cast<s8>(-50 - n)});
    }
}

}  // namespace

u32 ZEPC_DriverBegin(void)
{
    g_host = std::make_unique<Host>(zep::host::Profile{3, 4});
    addRadios(*g_host);
    addStations(*g_host);
    addNeighbours(*g_host);
    return 0;
}

void ZEPC_DriverEnd(void)
{
    g_host.reset();
    g_stations.clear();
    g_taken.clear();
}

u32 ZEPC_DriverLoadApp(u32 (*regEntry)(void))
{
    g_host->useLinkedApp(regEntry);
    return g_host->start();
}

u32 ZEPC_DriverUnloadApp(void) { return g_host->deinit(); }

void ZEPC_DriverRunFor(u32 ms) { g_host->advance(ms); }

u32 ZEPC_DriverDeliver(u32 msgId, const void *body, u32 len)
{
    const std::span bytes(static_cast<const u8 *>(body), len);
    return g_host->deliver(msgId, bytes) ? 0 : ZEP_ERR;
}

u32 ZEPC_DriverCallRpc(u32 msgId, void *buffer, u32 len)
{
    auto *bytes = static_cast<u8 *>(buffer);
    std::vector<u8> call(bytes, bytes + len);
    if (!g_host->rpc(msgId, call)) {
        return ZEP_ERR;
    }
    std::copy_n(call.begin(), std::min<std::size_t>(len, call.size()), bytes);
    return 0;
}

u32 ZEPC_DriverConfigure(u32 itemType, u32 radioId, const void *value, u16 len)
{
    const std::span bytes(static_cast<const u8 *>(value), len);
    return g_host->deliverConfig(itemType, radioId, bytes) ? 0 : ZEP_ERR;
}

u32 ZEPC_DriverStationLeaves(const u8 *mac)
{
    Mac station;
    std::memcpy(station.data(), mac, station.size());
    return g_host->staLeave(&station) ? 0 : ZEP_ERR;
}

u32 ZEPC_DriverTakeSent(u32 msgId, u32 ipc, u8 *buffer, u32 capacity, u32 *len, u32 *dest)
{
    const auto &sent = g_host->sent();
    std::size_t &taken = g_taken[{msgId, ipc != 0}];
    const zep::host::SentMessage *latest = nullptr;
    for (std::size_t i = taken; i < sent.size(); ++i) {
        if (sent[i].msgId == msgId && sent[i].ipc == (ipc != 0)) {
            latest = &sent[i];
        }
    }
    taken = sent.size();
    if (latest == nullptr) {
        return ZEP_ERR;
    }
    std::copy_n(latest->body.begin(), std::min<std::size_t>(capacity, latest->body.size()), buffer);
    *len = static_cast<u32>(latest->body.size());
    *dest = latest->dest;
    return 0;
}

u32 ZEPC_DriverStations(u8 *macs, u32 capacity)
{
    const auto count = static_cast<u32>(std::min<std::size_t>(capacity, g_stations.size()));
    for (u32 i = 0; i < count; ++i) {
        std::memcpy(macs + 6 * i, g_stations[i].data(), 6);
    }
    return count;
}
