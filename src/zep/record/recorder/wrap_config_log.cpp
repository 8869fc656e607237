// Recorded configuration parsing and log lines.
#include <cstdarg>
#include <cstdio>

#include <bit>
#include <cstdint>
#include <cstring>
#include <iterator>

// The pointer the application's lines go through; the recorder itself names
// the framework's logger and its own by their link names.
#include "module_logger.h"
#undef ZEP_DBG_Print

#include "log_lines.hpp"
#include "recorder.hpp"

using namespace zep::record;
using namespace zep::record::recorder;

extern "C" {

void *__real_ZEP_CFG_MsgParseSingleTlv(void *cfgMsg, u32 len, u32 *radioId, u32 tlvIndex, u32 minValueLen);
void __real_ZEP_DBG_Print(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format, ...)
    __attribute__((format(printf, 5, 6)));

// The value's place is recorded as an offset into the message (plus one, so
// that 0 stays "not found"): a replay hands back the same place in its copy.

// The recording halves, out of line so that the wrappers below need no stack
// frame on their way straight to the framework.
[[gnu::noinline]] void *recorded_ZEP_CFG_MsgParseSingleTlv(void *cfgMsg, u32 len, u32 *radioId, u32 tlvIndex, u32 minValueLen)
{
    void *r = __real_ZEP_CFG_MsgParseSingleTlv(cfgMsg, len, radioId, tlvIndex, minValueLen);
    const u64 place = r != nullptr ? static_cast<u64>(static_cast<u8 *>(r) - static_cast<u8 *>(cfgMsg)) + 1 : 0;
    recordCall(calls::ZEP_CFG_MsgParseSingleTlv(cfgMsg, len, radioId, tlvIndex, minValueLen), place,
               r != nullptr ? calls::bytesOf(radioId, 4) : std::span<const u8>());
    return r;
}

void *__wrap_ZEP_CFG_MsgParseSingleTlv(void *cfgMsg, u32 len, u32 *radioId, u32 tlvIndex, u32 minValueLen)
{
    if (zep_record_writer == nullptr) [[likely]] {
        return __real_ZEP_CFG_MsgParseSingleTlv(cfgMsg, len, radioId, tlvIndex, minValueLen);
    }
    return recorded_ZEP_CFG_MsgParseSingleTlv(cfgMsg, len, radioId, tlvIndex, minValueLen);
}

// A line is recorded as its format's reference and its arguments' raw values;
// nothing is formatted here. It is then handed to the framework's logger with
// the values it came with, which the framework formats or drops as it would
// have without the recorder.
namespace {

// Where a line's values are written: every value at its widest, and the
// strings cut to fit (putString).
u8 g_values[kLineValuesRoom];

void recordLine(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format, const LineFormat &f,
                const LogValue *values)
{
    u8 *at = g_values;
    for (u32 i = 0; i < f.count; ++i) {
        const LogValue &v = values[i];
        at = f.classes[i] == ArgClass::string
                 ? putString(at, std::end(g_values), v.isNull ? nullptr : v.text.data(), *zep_record_writer)
                 : putLittle(at, v.number, valueBytes(f.classes[i]));
    }
    const std::span<const u8> ownFormat =
        f.ref == kStringInline ? calls::bytesOf(format, std::strlen(format)) : std::span<const u8>();
    zep_record_writer->add(
        calls::ZEP_DBG_Print(severity, moduleId, category, staMac, f.ref, {g_values, at}, ownFormat));
}

// One argument of the logger as libffi passes it: the place of a value of
// its class.
union LoggerArg {
    u32 word;
    u64 wide;
    double real;
    const void *address;
};

LoggerArg loggerArg(ArgClass cls, const LogValue &v)
{
    switch (cls) {
    case ArgClass::int32:
        return {.word = static_cast<u32>(v.number)};
    case ArgClass::int64:
        return {.wide = v.number};
    case ArgClass::real:
        return {.real = std::bit_cast<double>(v.number)};
    case ArgClass::pointer:
        return {.address = reinterpret_cast<const void *>(static_cast<std::uintptr_t>(v.number))};
    case ArgClass::string:
        break;
    }
    return {.address = v.isNull ? nullptr : v.text.data()};
}

void passOn(const LineFormat &f, u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format,
            const LogValue *values)
{
    LoggerArg args[kMaxLogArgs];
    void *places[kFixedLogArgs + kMaxLogArgs] = {&severity, &moduleId, &category, &staMac, &format};
    for (u32 i = 0; i < f.count; ++i) {
        args[i] = loggerArg(f.classes[i], values[i]);
        places[kFixedLogArgs + i] = &args[i];
    }
    ffi_call(const_cast<ffi_cif *>(&f.call), FFI_FN(__real_ZEP_DBG_Print), nullptr, places);
}

// A line whose format no recorded line can carry goes on formatted, as "%s".
__attribute__((format(printf, 5, 0))) void passOnFormatted(u32 severity, u32 moduleId, u32 category,
                                                           const u8 *staMac, const char *format, va_list args)
{
    char line[1024];
    if (format != nullptr && std::vsnprintf(line, sizeof line, format, args) >= 0) {
        __real_ZEP_DBG_Print(severity, moduleId, category, staMac, "%s", line);
    }
}

}  // namespace

// Where the application's lines go in the recording build (module_logger.h):
// straight to the framework's logger until a recording starts.
ZEP_DBG_Logger zep_record_logger = __real_ZEP_DBG_Print;

__attribute__((format(printf, 5, 6))) void __wrap_ZEP_DBG_Print(u32 severity, u32 moduleId, u32 category,
                                                              const u8 *staMac, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const bool recording = zep_record_writer != nullptr && format != nullptr;
    const LineFormat *f = recording ? lineFormat(format, *zep_record_writer) : nullptr;
    // Called while nothing records (from outside the module): passed on alike.
    LineFormat unrecorded;
    if (!recording && format != nullptr && parseLineFormat(format, std::strlen(format), unrecorded)) {
        f = &unrecorded;
    }
    if (f != nullptr) {
        LogValue values[kMaxLogArgs];
        takeLogValues(args, {f->classes, f->count}, values);
        if (recording) {
            recordLine(severity, moduleId, category, staMac, format, *f, values);
        }
        passOn(*f, severity, moduleId, category, staMac, format, values);
    } else {
        passOnFormatted(severity, moduleId, category, staMac, format, args);
    }
    va_end(args);
}

}  // extern "C"

namespace zep::record::recorder {

void logThroughRecorder(bool on)
{
    zep_record_logger = on ? __wrap_ZEP_DBG_Print : __real_ZEP_DBG_Print;
}

}  // namespace zep::record::recorder
