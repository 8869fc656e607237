// zep-contract: the profile and the radio, station and neighbour databases.
// The kit knows nothing of the access point's world, so each check states a
// property that holds in any world and tries it on whatever is there.
#include <array>
#include <cstring>
#include <set>
#include <vector>

#include "check.hpp"
#include "contract_driver.h"
#include "zep_framework.h"

namespace zep::contract {
namespace {

using Bssid = std::array<u8, 6>;

constexpr u32 kMaxChannel = 233;
constexpr s8 kUntouchedEirp = -128;
const u8 kBroadcast[6] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff};  // no station has it

void radioIds(Verdict &v)
{
    const u32 radios = ZEP_PROFILE_GetMaxRadioNum();
    v.expect(radios >= 1, "the profile has %u radios", radios);
    for (u32 radioId = 0; radioId < radios; ++radioId) {
        v.expect(ZEP_PROFILE_IsValidRadioId(radioId) == 1, "radio %u of %u reads as invalid", radioId,
                 radios);
    }
    for (u32 radioId : {radios, radios + 1, 0xFFFFFFFFu}) {
        v.expect(ZEP_PROFILE_IsValidRadioId(radioId) == 0, "radio id %u reads as valid with %u radios",
                 radioId, radios);
    }
}

void unknownRadioReadsZero(Verdict &v)
{
    const u32 radios = ZEP_PROFILE_GetMaxRadioNum();
    const u32 vaps = ZEP_PROFILE_GetMaxVapNumPerRadio();
    v.expect(vaps >= 1, "the profile has %u VAPs per radio", vaps);
    const s8 eirp = ZEP_STA_GetRadioCurEirp(radios);
    const s8 power = ZEP_STA_GetRadioMaxPower(radios);
    const u32 band = ZEP_STA_GetRadioFreq(radios);
    v.expect(eirp == 0 && power == 0 && band == 0,
             "radio %u (one past the count): EIRP %d, maximum power %d, band %u", radios, eirp, power,
             band);
    v.expect(ZEP_STA_GetVapBssid(radios, 0) == nullptr, "radio %u (one past the count) has a BSSID",
             radios);
    for (u32 radioId = 0; radioId < radios; ++radioId) {
        v.expect(ZEP_STA_GetVapBssid(radioId, vaps) == nullptr,
                 "radio %u has a BSSID for VAP %u, one past the count", radioId, vaps);
    }
}

void stationRecords(Verdict &v)
{
    std::array<u8, 6 * 64> macs{};
    const u32 count = ZEPC_DriverStations(macs.data(), 64);
    const u32 radios = ZEP_PROFILE_GetMaxRadioNum();
    const u32 vaps = ZEP_PROFILE_GetMaxVapNumPerRadio();
    for (u32 i = 0; i < count; ++i) {
        const u8 *mac = &macs[6 * i];
        const ZEP_UAM_StaInfo *sta = ZEP_UAM_FindStaInfo(mac);
        if (!v.expect(sta != nullptr, "associated station %u of %u has no record", i + 1, count)) {
            continue;
        }
        v.expect(std::memcmp(sta->staMac, mac, 6) == 0, "station %u's record has another MAC", i + 1);
        v.expect(sta->radioId < radios && sta->vapId < vaps,
                 "station %u's record names radio %u, VAP %u (%u radios of %u VAPs)", i + 1,
                 sta->radioId, sta->vapId, radios, vaps);
    }
    v.expect(ZEP_UAM_FindStaInfo(kBroadcast) == nullptr, "the broadcast MAC has a station record");
    v.expect(ZEP_UAM_FindStaInfo(nullptr) == nullptr, "a null MAC has a station record");
}

// ---- Neighbours.
struct Walked {
    std::vector<Bssid> bssids;
    u32 badArguments = 0;  // calls whose p1/p2 were not the walk's
    u32 vapCountTooBig = 0;
    u32 scanEirpMisses = 0;  // scan EIRP refusals that wrote the output
    u32 status = 0;          // what the walk returned
};
Walked g_walked;
u32 g_callbackResult = 0;
int g_p1;  // the walk's arguments: only their addresses matter
int g_p2;

u32 recordNeighbour(const ZEP_NB_ApRecord *nb, void *p1, void *p2)
{
    if (p1 != &g_p1 || p2 != &g_p2 || nb == nullptr) {
        ++g_walked.badArguments;
        return g_callbackResult;
    }
    Bssid bssid;
    std::memcpy(bssid.data(), nb->bssid, bssid.size());
    g_walked.bssids.push_back(bssid);
    g_walked.vapCountTooBig += nb->vapNum > ZEP_NB_MAX_VAP ? 1 : 0;
    // The record is valid only during the callback: the module asks here.
    for (u32 i = 0; i < nb->vapNum && i < ZEP_NB_MAX_VAP; ++i) {
        s8 eirp = kUntouchedEirp;
        if (ZEP_NB_GetNbScanEirp(nb, nb->vap[i].channel, 0, &eirp) != 0 && eirp != kUntouchedEirp) {
            ++g_walked.scanEirpMisses;
        }
    }
    return g_callbackResult;
}

Walked walkNeighbours(u32 callbackResult)
{
    g_walked = {};
    g_callbackResult = callbackResult;
    g_walked.status = ZEP_NB_WalkApVapWithP2(recordNeighbour, &g_p1, &g_p2);
    return g_walked;
}

void neighbourWalk(Verdict &v)
{
    const Walked once = walkNeighbours(0);
    // The callback's result must not stop the walk.
    const Walked again = walkNeighbours(1);
    v.expect(once.status == 0 && again.status == 0, "the walks returned %u and %u", once.status,
             again.status);
    const std::set<Bssid> distinct(once.bssids.begin(), once.bssids.end());
    v.expect(distinct.size() == once.bssids.size(),
             "%zu callback(s) for %zu distinct neighbour(s): one was called back more than once",
             once.bssids.size(), distinct.size());
    v.expect(once.bssids == again.bssids,
             "%zu neighbour(s) walked while the callback returned 0, %zu while it returned 1",
             once.bssids.size(), again.bssids.size());
    v.expect(once.badArguments == 0, "%u callback(s) got other p1/p2 than the walk's",
             once.badArguments);
    v.expect(once.vapCountTooBig == 0, "%u record(s) claim more than %u VAPs", once.vapCountTooBig,
             ZEP_NB_MAX_VAP);
    if (once.bssids.empty()) {
        v.skip("no neighbour is known");
    }
}

void neighbourScanEirp(Verdict &v)
{
    const Walked walked = walkNeighbours(0);
    v.expect(walked.scanEirpMisses == 0, "%u refused ZEP_NB_GetNbScanEirp call(s) wrote the EIRP",
             walked.scanEirpMisses);
    ZEP_NB_ApRecord stranger{};
    std::memcpy(stranger.bssid, kBroadcast, sizeof(kBroadcast));
    s8 eirp = kUntouchedEirp;
    v.expect(ZEP_NB_GetNbScanEirp(&stranger, 1, 0, &eirp) != 0 && eirp == kUntouchedEirp,
             "a neighbour that is not in the database has a scan EIRP");
}

void scanRadioIds(Verdict &v)
{
    const u32 radios = ZEP_PROFILE_GetMaxRadioNum();
    for (u32 channel = 0; channel <= kMaxChannel; ++channel) {
        for (u8 freqInd = 0; freqInd < 4; ++freqInd) {
            u32 radioId = 0xFFFFFFFFu;
            u8 aux = 0;
            const u32 status = ZEP_NB_GetScanRadioId(static_cast<u16>(channel), freqInd, &radioId,
                                                     freqInd % 2 == 0 ? &aux : nullptr);
            v.expect(status != 0 ? radioId == 0xFFFFFFFFu : radioId < radios,
                     "channel %u, index %u: status %u, radio %u (%u radios)", channel, freqInd,
                     status, radioId, radios);
        }
    }
}

void radioScanEirp(Verdict &v)
{
    const u32 radios = ZEP_PROFILE_GetMaxRadioNum();
    for (u32 radioId = 0; radioId <= radios; ++radioId) {
        for (u32 channel = 0; channel <= kMaxChannel; ++channel) {
            s8 eirp = kUntouchedEirp;
            const u32 status = ZEP_NB_GetRadioScanEirp(radioId, channel, &eirp);
            v.expect(radioId < radios || status != 0, "radio %u (one past the count) scans channel %u",
                     radioId, channel);
            v.expect(status == 0 || eirp == kUntouchedEirp,
                     "radio %u, channel %u: refused, yet the EIRP was written", radioId, channel);
        }
    }
}

// Asks every token on every radio and VAP; what answers must be a neighbour.
void tokenLookups(Verdict &v)
{
    const Walked walked = walkNeighbours(0);
    const std::set<Bssid> neighbours(walked.bssids.begin(), walked.bssids.end());
    const u32 radios = ZEP_PROFILE_GetMaxRadioNum();
    const u32 vaps = ZEP_PROFILE_GetMaxVapNumPerRadio();
    u32 answered = 0;
    for (u32 token = 0; token < 256; ++token) {
        for (u32 radioId = 0; radioId <= radios; ++radioId) {
            const auto t = static_cast<u8>(token);
            s8 scanEirp = kUntouchedEirp;
            const u32 scanStatus = ZEP_NB_GetNbApRadioScanEirpByTokenId(t, radioId, &scanEirp);
            v.expect(scanStatus != 0 ? scanEirp == kUntouchedEirp : radioId < radios,
                     "token %u, radio %u: radio scan EIRP status %u, EIRP %d", token, radioId,
                     scanStatus, scanEirp);
            for (u32 vapId = 0; vapId < vaps; ++vapId) {
                Bssid bssid{};
                s8 eirp = kUntouchedEirp;
                const u32 bssidStatus = ZEP_NB_GetNbApVapBssidByTokenId(t, radioId, vapId, bssid.data());
                const u32 eirpStatus = ZEP_NB_GetNbApVapEirpByTokenId(t, radioId, vapId, &eirp);
                answered += bssidStatus == 0 ? 1 : 0;
                v.expect(bssidStatus != 0 ? bssid == Bssid{} : neighbours.contains(bssid),
                         "token %u, radio %u, VAP %u: a BSSID that is no walked neighbour's", token,
                         radioId, vapId);
                v.expect(eirpStatus == 0 || eirp == kUntouchedEirp,
                         "token %u, radio %u, VAP %u: refused, yet the EIRP was written", token,
                         radioId, vapId);
                v.expect(radioId < radios || (bssidStatus != 0 && eirpStatus != 0),
                         "token %u answers for radio %u, one past the count", token, radioId);
            }
        }
    }
    if (answered == 0) {
        v.skip("no token designates a neighbour");
    }
}

void strnCmp(Verdict &v)
{
    const u8 a[32] = {'l', 'a', 'b', 0, 'x'};
    const u8 b[32] = {'l', 'a', 'b', 0, 'y'};
    struct Case {
        const void *x;
        const void *y;
        u32 n;
        int sign;
    };
    const Case cases[] = {{a, a, 32, 0}, {a, b, 4, 0}, {a, b, 32, -1}, {b, a, 32, 1}, {a, b, 5, -1}};
    for (const Case &c : cases) {
        const s32 got = ZEP_StrnCmp(c.x, c.y, c.n);
        const int sign = (got > 0) - (got < 0);
        v.expect(sign == c.sign, "%u bytes that differ only past a NUL at byte %d: %d (want sign %d)",
                 c.n, c.x == c.y ? -1 : 4, got, c.sign);
    }
}

}  // namespace

const std::vector<Check> kQueryChecks = {
    {"queries.radio_ids",
     "Every radio id below ZEP_PROFILE_GetMaxRadioNum is valid, and the next is not",
     {"ZEP_PROFILE_GetMaxRadioNum", "ZEP_PROFILE_IsValidRadioId"}, radioIds},
    {"queries.unknown_radio",
     "An unknown radio reads as 0 and has no BSSID; nor has a VAP past the count",
     {"ZEP_PROFILE_GetMaxVapNumPerRadio", "ZEP_STA_GetRadioCurEirp", "ZEP_STA_GetRadioMaxPower",
      "ZEP_STA_GetRadioFreq", "ZEP_STA_GetVapBssid"},
     unknownRadioReadsZero},
    {"queries.station_records", "A station's record carries its MAC and a valid radio and VAP",
     {"ZEP_UAM_FindStaInfo"}, stationRecords},
    {"queries.neighbour_walk",
     "ZEP_NB_WalkApVapWithP2 calls back once per neighbour, VAP counts that fit",
     {"ZEP_NB_WalkApVapWithP2"}, neighbourWalk},
    {"queries.neighbour_scan_eirp",
     "ZEP_NB_GetNbScanEirp answers for walked records only, writes only when known",
     {"ZEP_NB_GetNbScanEirp"}, neighbourScanEirp},
    {"queries.scan_radio_id",
     "ZEP_NB_GetScanRadioId names a valid radio, or refuses and writes nothing",
     {"ZEP_NB_GetScanRadioId"}, scanRadioIds},
    {"queries.radio_scan_eirp",
     "ZEP_NB_GetRadioScanEirp refuses an unknown radio and writes only when known",
     {"ZEP_NB_GetRadioScanEirp"}, radioScanEirp},
    {"queries.token_lookups",
     "A token's BSSID is a walked neighbour's; refusals write nothing",
     {"ZEP_NB_GetNbApVapBssidByTokenId", "ZEP_NB_GetNbApVapEirpByTokenId",
      "ZEP_NB_GetNbApRadioScanEirpByTokenId"},
     tokenLookups},
    {"queries.strncmp", "ZEP_StrnCmp compares all n bytes, past a NUL, with memcmp's sign",
     {"ZEP_StrnCmp"}, strnCmp},
};

}  // namespace zep::contract
