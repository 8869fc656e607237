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

u32 ZEP_PROFILE_GetMaxRadioNum(void)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[]() -> u32 {
            if (u32 r; detail::tapped(calls::ZEP_PROFILE_GetMaxRadioNum, r, {}, nullptr)) {
                return r;
            }
            return detail::emulated(ZEP_PROFILE_GetMaxRadioNum);
        });
    }
    return detail::state().profile.radios;
}

u32 ZEP_PROFILE_GetMaxVapNumPerRadio(void)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[]() -> u32 {
            if (u32 r; detail::tapped(calls::ZEP_PROFILE_GetMaxVapNumPerRadio, r, {}, nullptr)) {
                return r;
            }
            return detail::emulated(ZEP_PROFILE_GetMaxVapNumPerRadio);
        });
    }
    return detail::state().profile.vapsPerRadio;
}

u32 ZEP_PROFILE_IsValidRadioId(u32 radioId)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[](u32 radioId_) -> u32 {
            if (u32 r; detail::tapped(calls::ZEP_PROFILE_IsValidRadioId, r, {}, nullptr, radioId_)) {
                return r;
            }
            return detail::emulated(ZEP_PROFILE_IsValidRadioId, radioId_);
        }, radioId);
    }
    return radioId < detail::state().profile.radios ? 1 : 0;
}

s8 ZEP_STA_GetRadioCurEirp(u32 radioId)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[](u32 radioId_) -> s8 {
            if (s8 r; detail::tapped(calls::ZEP_STA_GetRadioCurEirp, r, {}, nullptr, radioId_)) {
                return r;
            }
            return detail::emulated(ZEP_STA_GetRadioCurEirp, radioId_);
        }, radioId);
    }
    const RadioFacts *radio = findRadio(radioId);
    return radio != nullptr ? radio->curEirp : 0;
}

s8 ZEP_STA_GetRadioMaxPower(u32 radioId)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[](u32 radioId_) -> s8 {
            if (s8 r; detail::tapped(calls::ZEP_STA_GetRadioMaxPower, r, {}, nullptr, radioId_)) {
                return r;
            }
            return detail::emulated(ZEP_STA_GetRadioMaxPower, radioId_);
        }, radioId);
    }
    const RadioFacts *radio = findRadio(radioId);
    return radio != nullptr ? radio->maxPower : 0;
}

u32 ZEP_STA_GetRadioFreq(u32 radioId)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[](u32 radioId_) -> u32 {
            if (u32 r; detail::tapped(calls::ZEP_STA_GetRadioFreq, r, {}, nullptr, radioId_)) {
                return r;
            }
            return detail::emulated(ZEP_STA_GetRadioFreq, radioId_);
        }, radioId);
    }
    const RadioFacts *radio = findRadio(radioId);
    return radio != nullptr ? radio->band : 0;
}

const u8 *ZEP_STA_GetVapBssid(u32 radioId, u32 vapId)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[](u32 radioId_, u32 vapId_) -> const u8 * {
            if (u64 r; detail::tapped(calls::ZEP_STA_GetVapBssid, r, detail::state().tappedBssid, nullptr, radioId_, vapId_)) {
                return r != 0 ? detail::state().tappedBssid.data() : nullptr;
            }
            return detail::emulated(ZEP_STA_GetVapBssid, radioId_, vapId_);
        }, radioId, vapId);
    }
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

const ZEP_UAM_StaInfo *ZEP_UAM_FindStaInfo(const u8 *staMac)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[](const u8 *staMac_) -> const ZEP_UAM_StaInfo * {
            u8 station[zep::record::kStationBytes];
            if (u64 found; detail::tapped(calls::ZEP_UAM_FindStaInfo, found, station, nullptr, staMac_)) {
                if (found == 0) {
                    return nullptr;
                }
                zep::record::unpackStation(station, detail::state().tappedStation);
                return &detail::state().tappedStation;
            }
            return detail::emulated(ZEP_UAM_FindStaInfo, staMac_);
        }, staMac);
    }
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

u32 ZEP_NB_WalkApVapWithP2(ZEP_NB_WalkFn fn, void *p1, void *p2)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[](ZEP_NB_WalkFn fn_, void *p1_, void *p2_) { return detail::g_tap->walkNeighbours(fn_, p1_, p2_); },
                                  fn, p1, p2);
    }
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

u32 ZEP_NB_GetNbScanEirp(const ZEP_NB_ApRecord *nb, u8 channel, u8 selector, s8 *eirp)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[](const ZEP_NB_ApRecord *nb_, u8 channel_, u8 selector_, s8 *eirp_) -> u32 {
            if (u32 r; detail::tapped(calls::ZEP_NB_GetNbScanEirp, r, detail::outBytes(eirp_), nullptr, nb_ != nullptr ? nb_->bssid : nullptr, channel_, selector_, eirp_)) {
                return r;
            }
            return detail::emulated(ZEP_NB_GetNbScanEirp, nb_, channel_, selector_, eirp_);
        }, nb, channel, selector, eirp);
    }
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

u32 ZEP_NB_GetScanRadioId(u16 channel, u8 freqInd, u32 *radioId, u8 *aux)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[](u16 channel_, u8 freqInd_, u32 *radioId_, u8 *aux_) -> u32 {
            u8 found[5] = {};
            if (u32 r; detail::tapped(calls::ZEP_NB_GetScanRadioId, r, found, nullptr, channel_, freqInd_, radioId_, aux_)) {
                if (r == 0 && radioId_ != nullptr) {
                    std::memcpy(radioId_, found, 4);
                }
                if (r == 0 && aux_ != nullptr) {
                    *aux_ = found[4];
                }
                return r;
            }
            return detail::emulated(ZEP_NB_GetScanRadioId, channel_, freqInd_, radioId_, aux_);
        }, channel, freqInd, radioId, aux);
    }
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

u32 ZEP_NB_GetRadioScanEirp(u32 radioId, u32 channel, s8 *eirp)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[](u32 radioId_, u32 channel_, s8 *eirp_) -> u32 {
            if (u32 r; detail::tapped(calls::ZEP_NB_GetRadioScanEirp, r, detail::outBytes(eirp_), nullptr, radioId_, channel_, eirp_)) {
                return r;
            }
            return detail::emulated(ZEP_NB_GetRadioScanEirp, radioId_, channel_, eirp_);
        }, radioId, channel, eirp);
    }
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

u32 ZEP_NB_GetNbApVapBssidByTokenId(u8 tokenId, u32 radioId, u32 vapId, u8 *bssid)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[](u8 tokenId_, u32 radioId_, u32 vapId_, u8 *bssid_) -> u32 {
            if (u32 r; detail::tapped(calls::ZEP_NB_GetNbApVapBssidByTokenId, r, std::span<u8>(bssid_, bssid_ != nullptr ? 6 : 0), nullptr,
                                      tokenId_, radioId_, vapId_, bssid_)) {
                return r;
            }
            return detail::emulated(ZEP_NB_GetNbApVapBssidByTokenId, tokenId_, radioId_, vapId_, bssid_);
        }, tokenId, radioId, vapId, bssid);
    }
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

u32 ZEP_NB_GetNbApVapEirpByTokenId(u8 tokenId, u32 radioId, u32 vapId, s8 *eirp)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[](u8 tokenId_, u32 radioId_, u32 vapId_, s8 *eirp_) -> u32 {
            if (u32 r; detail::tapped(calls::ZEP_NB_GetNbApVapEirpByTokenId, r, detail::outBytes(eirp_), nullptr, tokenId_, radioId_, vapId_, eirp_)) {
                return r;
            }
            return detail::emulated(ZEP_NB_GetNbApVapEirpByTokenId, tokenId_, radioId_, vapId_, eirp_);
        }, tokenId, radioId, vapId, eirp);
    }
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

u32 ZEP_NB_GetNbApRadioScanEirpByTokenId(u8 tokenId, u32 radioId, s8 *scanEirp)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[](u8 tokenId_, u32 radioId_, s8 *scanEirp_) -> u32 {
            if (u32 r; detail::tapped(calls::ZEP_NB_GetNbApRadioScanEirpByTokenId, r, detail::outBytes(scanEirp_), nullptr, tokenId_, radioId_, scanEirp_)) {
                return r;
            }
            return detail::emulated(ZEP_NB_GetNbApRadioScanEirpByTokenId, tokenId_, radioId_, scanEirp_);
        }, tokenId, radioId, scanEirp);
    }
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

s32 ZEP_StrnCmp(const void *a, const void *b, u32 n)
{
    if (detail::throughTap()) [[unlikely]] {
        return detail::tappedPath(+[](const void *a_, const void *b_, u32 n_) -> s32 {
            if (s32 r; detail::tapped(calls::ZEP_StrnCmp, r, {}, nullptr, n_)) {
                return r;
            }
            return detail::emulated(ZEP_StrnCmp, a_, b_, n_);
        }, a, b, n);
    }
    if (n == 0 || a == b) {
        return 0;
    }
    if (a == nullptr || b == nullptr) {
        return a == nullptr ? -1 : 1;
    }
    const int diff = std::memcmp(a, b, n);
    return (diff > 0) - (diff < 0);
}
