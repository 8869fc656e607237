// The recording halves of the operations whose outputs are kept in a shape of
// their own: a replay answers these from the recording, so their outputs are
// kept whole. The others are made from the table of operations (wraps.cpp).
#include "recorder.hpp"

using namespace zep::record;
using namespace zep::record::recorder;

extern "C" {

// Out of line, so that the wrappers need no stack frame on their way
// straight to the framework.
[[gnu::noinline]] const u8 *recorded_ZEP_STA_GetVapBssid(u32 radioId, u32 vapId)
{
    const u8 *r = __real_ZEP_STA_GetVapBssid(radioId, vapId);
    recordCall(calls::ZEP_STA_GetVapBssid(radioId, vapId), calls::given(r), calls::bytesOf(r, 6));
    return r;
}

// The timer's id is kept whether or not the timer stopped.
[[gnu::noinline]] u32 recorded_ZEP_MNG_StopTimer(u32 *timerId, u32 timerIdValue)
{
    u32 r = __real_ZEP_MNG_StopTimer(timerId, timerIdValue);
    recordCall(calls::ZEP_MNG_StopTimer(timerId, timerIdValue), r, calls::bytesOf(timerId, 4));
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
