// Recorded profile, radio and neighbour queries: a replay answers these from
// the recording, so their outputs are kept whole.
#include "recorder.hpp"

using namespace zep::record;
using namespace zep::record::recorder;

extern "C" {



// The recording halves, out of line so that the wrappers below need no stack
// frame on their way straight to the framework.
[[gnu::noinline]] const u8 *recorded_ZEP_STA_GetVapBssid(u32 radioId, u32 vapId)
{
    const u8 *r = __real_ZEP_STA_GetVapBssid(radioId, vapId);
    recordCall(calls::ZEP_STA_GetVapBssid(radioId, vapId), calls::given(r), calls::bytesOf(r, 6));
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_PROFILE_GetMaxRadioNum(void)
{
    u32 r = __real_ZEP_PROFILE_GetMaxRadioNum();
    recordCall(calls::ZEP_PROFILE_GetMaxRadioNum(), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_PROFILE_GetMaxVapNumPerRadio(void)
{
    u32 r = __real_ZEP_PROFILE_GetMaxVapNumPerRadio();
    recordCall(calls::ZEP_PROFILE_GetMaxVapNumPerRadio(), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_PROFILE_IsValidRadioId(u32 radioId)
{
    u32 r = __real_ZEP_PROFILE_IsValidRadioId(radioId);
    recordCall(calls::ZEP_PROFILE_IsValidRadioId(radioId), r);
    return r;
}

[[gnu::noinline]] s8 recorded_ZEP_STA_GetRadioCurEirp(u32 radioId)
{
    s8 r = __real_ZEP_STA_GetRadioCurEirp(radioId);
    recordCall(calls::ZEP_STA_GetRadioCurEirp(radioId), static_cast<u8>(r));
    return r;
}

[[gnu::noinline]] s8 recorded_ZEP_STA_GetRadioMaxPower(u32 radioId)
{
    s8 r = __real_ZEP_STA_GetRadioMaxPower(radioId);
    recordCall(calls::ZEP_STA_GetRadioMaxPower(radioId), static_cast<u8>(r));
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_STA_GetRadioFreq(u32 radioId)
{
    u32 r = __real_ZEP_STA_GetRadioFreq(radioId);
    recordCall(calls::ZEP_STA_GetRadioFreq(radioId), r);
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_NB_GetNbScanEirp(const ZEP_NB_ApRecord *nb, u8 channel, u8 selector, s8 *eirp)
{
    u32 r = __real_ZEP_NB_GetNbScanEirp(nb, channel, selector, eirp);
    recordCall(calls::ZEP_NB_GetNbScanEirp(nb, channel, selector, eirp), r, r == 0 ? calls::bytesOf(eirp, 1) : std::span<const u8>());
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_NB_GetRadioScanEirp(u32 radioId, u32 channel, s8 *eirp)
{
    u32 r = __real_ZEP_NB_GetRadioScanEirp(radioId, channel, eirp);
    recordCall(calls::ZEP_NB_GetRadioScanEirp(radioId, channel, eirp), r, r == 0 ? calls::bytesOf(eirp, 1) : std::span<const u8>());
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_NB_GetNbApVapBssidByTokenId(u8 tokenId, u32 radioId, u32 vapId, u8 *bssid)
{
    u32 r = __real_ZEP_NB_GetNbApVapBssidByTokenId(tokenId, radioId, vapId, bssid);
    recordCall(calls::ZEP_NB_GetNbApVapBssidByTokenId(tokenId, radioId, vapId, bssid), r, r == 0 ? calls::bytesOf(bssid, 6) : std::span<const u8>());
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_NB_GetNbApVapEirpByTokenId(u8 tokenId, u32 radioId, u32 vapId, s8 *eirp)
{
    u32 r = __real_ZEP_NB_GetNbApVapEirpByTokenId(tokenId, radioId, vapId, eirp);
    recordCall(calls::ZEP_NB_GetNbApVapEirpByTokenId(tokenId, radioId, vapId, eirp), r, r == 0 ? calls::bytesOf(eirp, 1) : std::span<const u8>());
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_NB_GetNbApRadioScanEirpByTokenId(u8 tokenId, u32 radioId, s8 *scanEirp)
{
    u32 r = __real_ZEP_NB_GetNbApRadioScanEirpByTokenId(tokenId, radioId, scanEirp);
    recordCall(calls::ZEP_NB_GetNbApRadioScanEirpByTokenId(tokenId, radioId, scanEirp), r, r == 0 ? calls::bytesOf(scanEirp, 1) : std::span<const u8>());
    return r;
}

[[gnu::noinline]] s32 recorded_ZEP_StrnCmp(const void *a, const void *b, u32 n)
{
    s32 r = __real_ZEP_StrnCmp(a, b, n);
    recordCall(calls::ZEP_StrnCmp(a, b, n), static_cast<u32>(r));
    return r;
}

[[gnu::noinline]] const ZEP_UAM_StaInfo *recorded_ZEP_UAM_FindStaInfo(const u8 *staMac)
{
    const ZEP_UAM_StaInfo *r = __real_ZEP_UAM_FindStaInfo(staMac);
    u8 station[kStationBytes];
    if (r != nullptr) {
        packStation(*r, station);
    }
    recordCall(calls::ZEP_UAM_FindStaInfo(staMac), calls::given(r),
               r != nullptr ? std::span<const u8>(station) : std::span<const u8>());
    return r;
}

[[gnu::noinline]] u32 recorded_ZEP_NB_GetScanRadioId(u16 channel, u8 freqInd, u32 *radioId, u8 *aux)
{
    const u32 r = __real_ZEP_NB_GetScanRadioId(channel, freqInd, radioId, aux);
    {
        u8 out[5] = {};
        if (r == 0 && radioId != nullptr) {
            std::memcpy(out, radioId, 4);
        }
        if (r == 0 && aux != nullptr) {
            out[4] = *aux;
        }
        recordCall(calls::ZEP_NB_GetScanRadioId(channel, freqInd, radioId, aux), r,
                   r == 0 ? std::span<const u8>(out) : std::span<const u8>());
    }
    return r;
}
















}  // extern "C"

namespace {

struct Walk {
    ZEP_NB_WalkFn fn;
    void *p1;
    void *p2;
};

// Each neighbour is recorded before the application sees it, so the calls the
// application makes for it follow it in the recording.
u32 recordedNeighbour(const ZEP_NB_ApRecord *nb, void *walk, void * /*unused*/)
{
    const Walk &w = *static_cast<const Walk *>(walk);
    RecordedCall e;
    e.kind = CallKind::callback;
    e.in = neighbourBytes(*nb);
    zep_record_writer->add(e);
    return w.fn(nb, w.p1, w.p2);
}

}  // namespace

extern "C" u32 recorded_ZEP_NB_WalkApVapWithP2(ZEP_NB_WalkFn fn, void *p1, void *p2)
{
    if (fn == nullptr) {
        const u32 r = __real_ZEP_NB_WalkApVapWithP2(fn, p1, p2);
        recordCall(calls::ZEP_NB_WalkApVapWithP2(fn, p1, p2), r);
        return r;
    }
    // Recorded first, like every operation that calls back into the application.
    recordCall(calls::ZEP_NB_WalkApVapWithP2(fn, p1, p2), 0);
    Walk walk{fn, p1, p2};
    return __real_ZEP_NB_WalkApVapWithP2(recordedNeighbour, &walk, nullptr);
}
