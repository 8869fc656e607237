// Recorded configuration parsing and log lines.
#include <cstdarg>
#include <cstdio>

#include "recorder.hpp"

using namespace zep::record;
using namespace zep::record::recorder;

extern "C" {

void *__real_ZEP_CFG_MsgParseSingleTlv(void *cfgMsg, u32 len, u32 *radioId, u32 tlvIndex, u32 minValueLen);
void __real_ZEP_DBG_Print(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format, ...)
    __attribute__((format(printf, 5, 6)));

// The value's place is recorded as an offset into the message (plus one, so
// that 0 stays "not found"): a replay hands back the same place in its copy.
void *__wrap_ZEP_CFG_MsgParseSingleTlv(void *cfgMsg, u32 len, u32 *radioId, u32 tlvIndex, u32 minValueLen)
{
    if (g_writer == nullptr) [[likely]] {
        return __real_ZEP_CFG_MsgParseSingleTlv(cfgMsg, len, radioId, tlvIndex, minValueLen);
    }
    void *r = __real_ZEP_CFG_MsgParseSingleTlv(cfgMsg, len, radioId, tlvIndex, minValueLen);
    const u64 place = r != nullptr ? static_cast<u64>(static_cast<u8 *>(r) - static_cast<u8 *>(cfgMsg)) + 1 : 0;
    recordCall(calls::ZEP_CFG_MsgParseSingleTlv(cfgMsg, len, radioId, tlvIndex, minValueLen), place,
               r != nullptr ? calls::bytesOf(radioId, 4) : std::span<const u8>());
    return r;
}

// The framework's logger has no va_list form, so the line is formatted here
// and handed over whole. Lines are short; a longer one is cut at the buffer.
__attribute__((format(printf, 5, 6))) void __wrap_ZEP_DBG_Print(u32 severity, u32 moduleId, u32 category,
                                                                const u8 *staMac, const char *format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    const int n = format != nullptr ? std::vsnprintf(line, sizeof line, format, args) : -1;
    va_end(args);
    if (n < 0) {
        return;
    }
    __real_ZEP_DBG_Print(severity, moduleId, category, staMac, "%s", line);
    if (g_writer != nullptr) [[unlikely]] {
        const auto size = static_cast<std::size_t>(n) < sizeof line ? static_cast<std::size_t>(n) : sizeof line - 1;
        recordCall(calls::ZEP_DBG_Print(severity, moduleId, category, staMac,
                                        {reinterpret_cast<const u8 *>(line), size}), 0);
    }
}

}  // extern "C"
