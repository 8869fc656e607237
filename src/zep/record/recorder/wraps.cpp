// The wrapper of every recorded operation (-Wl,--wrap): straight on to the
// framework while recording is off, so that all it costs then is one load and
// one predicted branch; to its recording half while it is on. Most halves are
// made here from the table of operations: the framework's own call, then its
// record. The rest are written by hand (entries.cpp, wrap_query.cpp,
// wrap_config_log.cpp). The module's registration has a wrapper of its own
// (entries.cpp): it notes the module's id even while recording is off.
#include <type_traits>

#include "recorder.hpp"

using namespace zep::record;
using namespace zep::record::recorder;

// ZEP_RECORD_IS(list, name) is 1 where list##name is defined as `~, 1`, 0
// for every other name (a name not defined reads as 0).
#define ZEP_RECORD_SECOND(a, b, ...) b
#define ZEP_RECORD_IS(list, name) ZEP_RECORD_IS_(list##name)
#define ZEP_RECORD_IS_(...) ZEP_RECORD_SECOND(__VA_ARGS__, 0, )
#define ZEP_RECORD_NOT(flag) ZEP_RECORD_NOT_(flag)
#define ZEP_RECORD_NOT_(flag) ZEP_RECORD_NOT_##flag
#define ZEP_RECORD_NOT_0 1
#define ZEP_RECORD_NOT_1 0

// The operation whose wrapper is written by hand.
#define ZEP_RECORD_OWN_WRAPPER_ZEP_MNG_RegApp ~, 1
// The operations whose recording half is written by hand: they hand the
// framework a trampoline, or keep outputs of a shape of their own.
#define ZEP_RECORD_OWN_HALF_ZEP_MNG_RegApp ~, 1
#define ZEP_RECORD_OWN_HALF_ZEP_MNG_RegMsg ~, 1
#define ZEP_RECORD_OWN_HALF_ZEP_MNG_UnRegMsg ~, 1
#define ZEP_RECORD_OWN_HALF_ZEP_MNG_FillTimerMsgInfo ~, 1
#define ZEP_RECORD_OWN_HALF_ZEP_MNG_StopTimer ~, 1
#define ZEP_RECORD_OWN_HALF_ZEP_STA_RegAccessPrimHandle ~, 1
#define ZEP_RECORD_OWN_HALF_ZEP_CFG_RegRadioSingleCfgMsg ~, 1
#define ZEP_RECORD_OWN_HALF_ZEP_CFG_MsgParseSingleTlv ~, 1
#define ZEP_RECORD_OWN_HALF_ZEP_STA_GetVapBssid ~, 1
#define ZEP_RECORD_OWN_HALF_ZEP_UAM_FindStaInfo ~, 1
#define ZEP_RECORD_OWN_HALF_ZEP_NB_WalkApVapWithP2 ~, 1
#define ZEP_RECORD_OWN_HALF_ZEP_NB_GetScanRadioId ~, 1
// The operations that call back into the application: recorded before they
// run, so that the calls their callbacks make follow them in the recording.
#define ZEP_RECORD_FIRST_ZEP_HASH_DeleteTable ~, 1
#define ZEP_RECORD_FIRST_ZEP_SLL_Find ~, 1
#define ZEP_RECORD_FIRST_ZEP_SLL_MergeSort ~, 1
#define ZEP_RECORD_FIRST_ZEP_SLL_FreeAll ~, 1

namespace {

// A result as it is recorded: a pointer as given or not, a number as its
// unsigned bits.
template <class R>
u64 recordedResult(R r)
{
    if constexpr (std::is_pointer_v<R>) {
        return calls::given(r);
    } else {
        return static_cast<std::make_unsigned_t<R>>(r);
    }
}

// The framework's call and its record: its arguments, its result, and the
// bytes its output holds when it succeeded. An operation that calls back is
// recorded first, with no result.
template <bool first, class Real, class Build>
auto recordAround(Real real, Build build, std::span<const u8> output = {})
{
    using R = decltype(real());
    if constexpr (first) {
        recordCall(build(), 0);
        return real();
    } else if constexpr (std::is_void_v<R>) {
        real();
        recordCall(build(), 0);
    } else {
        const R r = real();
        recordCall(build(), recordedResult(r), r == R{} ? output : std::span<const u8>());
        return r;
    }
}

}  // namespace

#define ZEP_RECORD_OUTPUT(name, bytes) calls::bytesOf(name, bytes)

// Out of line, so that the wrappers below need no stack frame on their way
// straight to the framework.
#define ZEP_RECORD_HALF(name, replay, fault, failure, entry, result, params, outputs, note)             \
    ZEP_OP_WHEN(ZEP_OP_RECORDED_##replay, ZEP_OP_WHEN(ZEP_OP_GENERATED_##entry,                       \
    ZEP_OP_WHEN(ZEP_RECORD_NOT(ZEP_RECORD_IS(ZEP_RECORD_OWN_HALF_, name)),                            \
        [[gnu::noinline]] result recorded_##name(ZEP_OP_PARAMS(params))                               \
        {                                                                                             \
            return recordAround<ZEP_RECORD_IS(ZEP_RECORD_FIRST_, name) != 0>(                          \
                [&] { return __real_##name(ZEP_OP_NAMES(params)); },                                  \
                [&] { return calls::name(ZEP_OP_NAMES(params)); },                                    \
                {ZEP_OP_PAIRS(ZEP_RECORD_OUTPUT, outputs)});                                          \
        })))

#define ZEP_RECORD_WRAPPER(name, replay, fault, failure, entry, result, params, outputs, note)          \
    ZEP_OP_WHEN(ZEP_OP_RECORDED_##replay, ZEP_OP_WHEN(ZEP_OP_GENERATED_##entry,                       \
    ZEP_OP_WHEN(ZEP_RECORD_NOT(ZEP_RECORD_IS(ZEP_RECORD_OWN_WRAPPER_, name)),                         \
        result __wrap_##name(ZEP_OP_PARAMS(params))                                                   \
        {                                                                                             \
            if (zep_record_writer == nullptr) [[likely]] {                                            \
                return __real_##name(ZEP_OP_NAMES(params));                                           \
            }                                                                                         \
            return recorded_##name(ZEP_OP_NAMES(params));                                             \
        })))

extern "C" {
ZEP_OPERATIONS(ZEP_RECORD_HALF)
ZEP_OPERATIONS(ZEP_RECORD_WRAPPER)
}
