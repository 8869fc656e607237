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

// Writes what facts hold under key to *out; kErrNotFound when they hold nothing.
template <class Facts, class Out>
u32 answerFrom(const Facts &facts, const typename Facts::key_type &key, Out *out)
{
    const auto it = facts.find(key);
    if (it == facts.end()) {
        return kErrNotFound;
    }
    *out = it->second;
    return 0;
}

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
    if (detail::refusal(detail::Op::ZEP_UAM_FindStaInfo, staMac)) {
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
    if (auto status = detail::refusal(detail::Op::ZEP_NB_GetNbScanEirp, nb, eirp)) {
        return *status;
    }
    for (const auto &known : detail::state().neighbours) {
        if (&known->record != nb && !sameBssid(known->record.bssid, nb->bssid)) {
            continue;
        }
        return answerFrom(known->scanEirp, channel, eirp);
    }
    return kErrNotFound;
}

u32 emulated::ZEP_NB_GetScanRadioId(u16 channel, u8 freqInd, u32 *radioId, u8 *aux)
{
    if (auto status = detail::refusal(detail::Op::ZEP_NB_GetScanRadioId, radioId)) {
        return *status;
    }
    const u32 status = answerFrom(detail::state().scanRadios, {channel, freqInd}, radioId);
    if (status == 0 && aux != nullptr) {
        *aux = 0;
    }
    return status;
}

u32 emulated::ZEP_NB_GetRadioScanEirp(u32 radioId, u32 channel, s8 *eirp)
{
    if (auto status = detail::refusal(detail::Op::ZEP_NB_GetRadioScanEirp, eirp)) {
        return *status;
    }
    const RadioFacts *radio = findRadio(radioId);
    return radio != nullptr ? answerFrom(radio->scanEirp, channel, eirp) : kErrNotFound;
}

namespace {

// A by-token query: the first fact of (token, radio), and of the VAP where the
// query names one, that carries the field it asks for.
template <class Out, class Field>
u32 answerByToken(detail::Op op, Out *out, std::optional<Field> TokenFacts::*field, u8 tokenId,
                  u32 radioId, std::optional<u32> vapId = std::nullopt)
{
    if (auto status = detail::refusal(op, out)) {
        return *status;
    }
    const auto &tokens = detail::state().tokens;
    const auto it = std::find_if(tokens.begin(), tokens.end(), [&](const TokenFacts &f) {
        return f.token == tokenId && f.radioId == radioId && (!vapId || f.vapId == *vapId) &&
               (f.*field).has_value();
    });
    if (it == tokens.end()) {
        return kErrNotFound;
    }
    const Field &answer = *((*it).*field);
    std::memcpy(out, &answer, sizeof answer);
    return 0;
}

}  // namespace

u32 emulated::ZEP_NB_GetNbApVapBssidByTokenId(u8 tokenId, u32 radioId, u32 vapId, u8 *bssid)
{
    return answerByToken(detail::Op::ZEP_NB_GetNbApVapBssidByTokenId, bssid, &TokenFacts::bssid,
                         tokenId, radioId, vapId);
}

u32 emulated::ZEP_NB_GetNbApVapEirpByTokenId(u8 tokenId, u32 radioId, u32 vapId, s8 *eirp)
{
    return answerByToken(detail::Op::ZEP_NB_GetNbApVapEirpByTokenId, eirp, &TokenFacts::eirp,
                         tokenId, radioId, vapId);
}

u32 emulated::ZEP_NB_GetNbApRadioScanEirpByTokenId(u8 tokenId, u32 radioId, s8 *scanEirp)
{
    return answerByToken(detail::Op::ZEP_NB_GetNbApRadioScanEirpByTokenId, scanEirp,
                         &TokenFacts::scanEirp, tokenId, radioId);
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
