// The device profile and the read-only radio, station and neighbour databases,
// filled by the test or simulator and queried by the application.
#include <algorithm>
#include <cstring>

#include "host_impl.hpp"

namespace zep::host {

namespace {

void setCapability(ZEP_UAM_StaInfo &info, u32 bit, bool on)
{
    if (on) {
        info.capBitmap[bit / 8] = static_cast<u8>(info.capBitmap[bit / 8] | 1u << (bit % 8));
    }
}

const RadioFacts *findRadio(u32 radioId)
{
    const auto &radios = detail::state().radios;
    const auto it = radios.find(radioId);
    return it != radios.end() ? &it->second : nullptr;
}

bool sameBssid(const u8 *a, const u8 *b) { return std::memcmp(a, b, sizeof(Mac)) == 0; }

}  // namespace

RadioFacts &Host::radio(u32 radioId) { return impl_->radios[radioId]; }

void Host::addStation(const StationFacts &sta)
{
    // A fresh record each time: a pointer the application kept to the old one
    // dangles, as it would on a device, and AddressSanitizer reports its use.
    auto info = std::make_unique<ZEP_UAM_StaInfo>();
    std::memcpy(info->staMac, sta.mac.data(), sta.mac.size());
    info->radioId = sta.radioId;
    info->vapId = sta.vapId;
    setCapability(*info, ZEP_STA_CAP_LINK_MEAS, sta.linkMeas);
    setCapability(*info, ZEP_STA_CAP_TPC_REQ, sta.tpc);
    info->tokenCounter = sta.tokenCounter;
    impl_->stations[sta.mac] = std::move(info);
}

void Host::removeStation(const Mac &mac) { impl_->stations.erase(mac); }

void Host::addNeighbour(const NeighbourFacts &nb)
{
    impl_->neighbours.push_back(std::make_unique<NeighbourFacts>(nb));
}

void Host::clearNeighbours() { impl_->neighbours.clear(); }

void Host::addToken(const TokenFacts &token)
{
    auto &tokens = impl_->tokens;
    const auto same = std::find_if(tokens.begin(), tokens.end(), [&](const TokenFacts &t) {
        return t.token == token.token && t.radioId == token.radioId && t.vapId == token.vapId;
    });
    if (same != tokens.end()) {
        *same = token;
    } else {
        tokens.push_back(token);
    }
}

void Host::clearTokens() { impl_->tokens.clear(); }

void Host::setScanRadio(u16 channel, u8 freqInd, u32 radioId)
{
    impl_->scanRadios[{channel, freqInd}] = radioId;
}

}  // namespace zep::host

using namespace zep::host;

u32 emulated::ZEP_PROFILE_GetMaxRadioNum(void)
{
    return detail::state().profile.radios;
}

u32 emulated::ZEP_PROFILE_GetMaxVapNumPerRadio(void)
{
    return detail::state().profile.vapsPerRadio;
}

u32 emulated::ZEP_PROFILE_IsValidRadioId(u32 radioId)
{
    return radioId < detail::state().profile.radios ? 1 : 0;
}

s8 emulated::ZEP_STA_GetRadioCurEirp(u32 radioId)
{
    const RadioFacts *radio = findRadio(radioId);
    return radio != nullptr ? radio->curEirp : 0;
}

s8 emulated::ZEP_STA_GetRadioMaxPower(u32 radioId)
{
    const RadioFacts *radio = findRadio(radioId);
    return radio != nullptr ? radio->maxPower : 0;
}

u32 emulated::ZEP_STA_GetRadioFreq(u32 radioId)
{
    const RadioFacts *radio = findRadio(radioId);
    return radio != nullptr ? radio->band : 0;
}

const u8 *emulated::ZEP_STA_GetVapBssid(u32 radioId, u32 vapId)
{
    if (detail::injectedFault(detail::Op::ZEP_STA_GetVapBssid)) {
        return nullptr;
    }
    const RadioFacts *radio = findRadio(radioId);
    if (radio == nullptr) {
        return nullptr;
    }
    const auto it = radio->bssid.find(vapId);
    return it != radio->bssid.end() ? it->second.data() : nullptr;
}

const ZEP_UAM_StaInfo *emulated::ZEP_UAM_FindStaInfo(const u8 *staMac)
{
    if (detail::injectedFault(detail::Op::ZEP_UAM_FindStaInfo)) {
        return nullptr;
    }
    if (staMac == nullptr) {
        return nullptr;
    }
    Mac mac;
    std::memcpy(mac.data(), staMac, mac.size());
    const auto &stations = detail::state().stations;
    const auto it = stations.find(mac);
    return it != stations.end() ? it->second.get() : nullptr;
}

u32 emulated::ZEP_NB_WalkApVapWithP2(ZEP_NB_WalkFn fn, void *p1, void *p2)
{
    if (fn == nullptr) {
        return kErrNullPtr;
    }
    // By index: the list is read again after every callback. The callback's
    // result does not stop the walk; it tells the walk nothing it needs.
    const auto &neighbours = detail::state().neighbours;
    for (std::size_t i = 0; i < neighbours.size(); ++i) {
        fn(&neighbours[i]->record, p1, p2);
    }
    return 0;
}

u32 emulated::ZEP_NB_GetNbScanEirp(const ZEP_NB_ApRecord *nb, u8 channel, u8 /*selector*/, s8 *eirp)
{
    if (auto fault = detail::injectedFault(detail::Op::ZEP_NB_GetNbScanEirp)) {
        return *fault;
    }
    if (nb == nullptr || eirp == nullptr) {
        return kErrNullPtr;
    }
    for (const auto &known : detail::state().neighbours) {
        if (&known->record != nb && !sameBssid(known->record.bssid, nb->bssid)) {
            continue;
        }
        const auto it = known->scanEirp.find(channel);
        if (it == known->scanEirp.end()) {
            return kErrNotFound;
        }
        *eirp = it->second;
        return 0;
    }
    return kErrNotFound;
}

u32 emulated::ZEP_NB_GetScanRadioId(u16 channel, u8 freqInd, u32 *radioId, u8 *aux)
{
    if (auto fault = detail::injectedFault(detail::Op::ZEP_NB_GetScanRadioId)) {
        return *fault;
    }
    if (radioId == nullptr) {
        return kErrNullPtr;
    }
    const auto &scanRadios = detail::state().scanRadios;
    const auto it = scanRadios.find({channel, freqInd});
    if (it == scanRadios.end()) {
        return kErrNotFound;
    }
    *radioId = it->second;
    if (aux != nullptr) {
        *aux = 0;
    }
    return 0;
}

u32 emulated::ZEP_NB_GetRadioScanEirp(u32 radioId, u32 channel, s8 *eirp)
{
    if (auto fault = detail::injectedFault(detail::Op::ZEP_NB_GetRadioScanEirp)) {
        return *fault;
    }
    if (eirp == nullptr) {
        return kErrNullPtr;
    }
    const RadioFacts *radio = findRadio(radioId);
    if (radio == nullptr) {
        return kErrNotFound;
    }
    const auto it = radio->scanEirp.find(channel);
    if (it == radio->scanEirp.end()) {
        return kErrNotFound;
    }
    *eirp = it->second;
    return 0;
}

namespace {

// The first token fact that matches and carries the field the query wants.
template <class Match>
const TokenFacts *findToken(Match match)
{
    const auto &tokens = detail::state().tokens;
    const auto it = std::find_if(tokens.begin(), tokens.end(), match);
    return it != tokens.end() ? &*it : nullptr;
}

}  // namespace

u32 emulated::ZEP_NB_GetNbApVapBssidByTokenId(u8 tokenId, u32 radioId, u32 vapId, u8 *bssid)
{
    if (auto fault = detail::injectedFault(detail::Op::ZEP_NB_GetNbApVapBssidByTokenId)) {
        return *fault;
    }
    if (bssid == nullptr) {
        return kErrNullPtr;
    }
    const TokenFacts *t = findToken([&](const TokenFacts &f) {
        return f.token == tokenId && f.radioId == radioId && f.vapId == vapId && f.bssid.has_value();
    });
    if (t == nullptr) {
        return kErrNotFound;
    }
    std::memcpy(bssid, t->bssid->data(), t->bssid->size());
    return 0;
}

u32 emulated::ZEP_NB_GetNbApVapEirpByTokenId(u8 tokenId, u32 radioId, u32 vapId, s8 *eirp)
{
    if (auto fault = detail::injectedFault(detail::Op::ZEP_NB_GetNbApVapEirpByTokenId)) {
        return *fault;
    }
    if (eirp == nullptr) {
        return kErrNullPtr;
    }
    const TokenFacts *t = findToken([&](const TokenFacts &f) {
        return f.token == tokenId && f.radioId == radioId && f.vapId == vapId && f.eirp.has_value();
    });
    if (t == nullptr) {
        return kErrNotFound;
    }
    *eirp = *t->eirp;
    return 0;
}

u32 emulated::ZEP_NB_GetNbApRadioScanEirpByTokenId(u8 tokenId, u32 radioId, s8 *scanEirp)
{
    if (auto fault = detail::injectedFault(detail::Op::ZEP_NB_GetNbApRadioScanEirpByTokenId)) {
        return *fault;
    }
    if (scanEirp == nullptr) {
        return kErrNullPtr;
    }
    const TokenFacts *t = findToken([&](const TokenFacts &f) {
        return f.token == tokenId && f.radioId == radioId && f.scanEirp.has_value();
    });
    if (t == nullptr) {
        return kErrNotFound;
    }
    *scanEirp = *t->scanEirp;
    return 0;
}

s32 emulated::ZEP_StrnCmp(const void *a, const void *b, u32 n)
{
    if (n == 0 || a == b) {
        return 0;
    }
    if (a == nullptr || b == nullptr) {
        return a == nullptr ? -1 : 1;
    }
    const int diff = std::memcmp(a, b, n);
    return (diff > 0) - (diff < 0);
}
