// The wrapper of every recorded operation (-Wl,--wrap): straight on to the
// framework while recording is off, so that all it costs then is one load and
// one predicted branch; to its recording half (wrap_*.cpp, entries.cpp) while
// it is on. The module's registration has a wrapper of its own (entries.cpp):
// it notes the module's id even while recording is off.
#include "recorder.hpp"

// ZEP_RECORD_OWN_WRAPPER(name) is 1 for an operation whose wrapper is written
// by hand, 0 for every other (a name not defined here reads as 0).
#define ZEP_RECORD_OWN_ZEP_MNG_RegApp ~, 1
#define ZEP_RECORD_SECOND(a, b, ...) b
#define ZEP_RECORD_OWN_WRAPPER(name) ZEP_RECORD_OWN_WRAPPER_(ZEP_RECORD_OWN_##name)
#define ZEP_RECORD_OWN_WRAPPER_(...) ZEP_RECORD_SECOND(__VA_ARGS__, 0, )
#define ZEP_RECORD_NOT(flag) ZEP_RECORD_NOT_(flag)
#define ZEP_RECORD_NOT_(flag) ZEP_RECORD_NOT_##flag
#define ZEP_RECORD_NOT_0 1
#define ZEP_RECORD_NOT_1 0

#define ZEP_RECORD_WRAPPER(name, replay, fault, failure, entry, result, params, outputs, note)        \
    ZEP_OP_WHEN(ZEP_OP_RECORDED_##replay, ZEP_OP_WHEN(ZEP_OP_GENERATED_##entry,                      \
    ZEP_OP_WHEN(ZEP_RECORD_NOT(ZEP_RECORD_OWN_WRAPPER(name)),                                         \
        result __wrap_##name(ZEP_OP_PARAMS(params))                                                   \
        {                                                                                             \
            if (zep_record_writer == nullptr) [[likely]] {                                            \
                return __real_##name(ZEP_OP_NAMES(params));                                           \
            }                                                                                         \
            return recorded_##name(ZEP_OP_NAMES(params));                                             \
        })))

extern "C" {
ZEP_OPERATIONS(ZEP_RECORD_WRAPPER)
}
