// Recorded configuration parsing and log lines.
#include <cstdarg>
#include <cstdio>

#include <cstring>
#include <iterator>

#include "log_lines.hpp"
#include "recorder.hpp"

using namespace zep::record;
using namespace zep::record::recorder;

extern "C" {


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


// A line is recorded as its format's reference and its arguments' raw values;
// nothing is formatted here. The application's call itself goes on to the
// framework's logger (module_logger.h).
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

}  // namespace

void zep_record_line(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format, ...)
{
    const LineFormat *f = format != nullptr ? lineFormat(format, *zep_record_writer) : nullptr;
    if (f == nullptr) {
        return;  // no recorded line can carry this format
    }
    va_list args;
    va_start(args, format);
    LogValue values[kMaxLogArgs];
    takeLogValues(args, {f->classes, f->count}, values);
    va_end(args);
    recordLine(severity, moduleId, category, staMac, format, *f, values);
}

}  // extern "C"
