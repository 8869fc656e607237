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

// The framework's logger has no va_list form, so a recorded line is formatted
// here and handed over whole ("%s"). Lines are short; a longer one is cut at
// the buffer.
__attribute__((format(printf, 5, 6))) void zep_record_print(u32 severity, u32 moduleId, u32 category,
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
    if (zep_record_writer != nullptr) {
        const auto size = static_cast<std::size_t>(n) < sizeof line ? static_cast<std::size_t>(n) : sizeof line - 1;
        recordCall(calls::ZEP_DBG_Print(severity, moduleId, category, staMac,
                                        {reinterpret_cast<const u8 *>(line), size}), 0);
    }
}

}  // extern "C"

// While recording is off the wrapper must cost nothing, and above all must not
// format a line the framework would drop unformatted: it jumps straight to the
// framework's logger with the caller's arguments untouched, which C cannot
// express for a variadic function. Other targets format every line.
#if defined(__x86_64__)
asm(R"(
    .text
    .globl __wrap_ZEP_DBG_Print
    .hidden __wrap_ZEP_DBG_Print
    .type __wrap_ZEP_DBG_Print, @function
__wrap_ZEP_DBG_Print:
    cmpq $0, zep_record_writer(%rip)
    jne zep_record_print
    jmp __real_ZEP_DBG_Print@PLT
    .size __wrap_ZEP_DBG_Print, .-__wrap_ZEP_DBG_Print
)");
#elif defined(__aarch64__)
asm(R"(
    .text
    .globl __wrap_ZEP_DBG_Print
    .hidden __wrap_ZEP_DBG_Print
    .type __wrap_ZEP_DBG_Print, %function
__wrap_ZEP_DBG_Print:
    adrp x16, zep_record_writer
    ldr x16, [x16, :lo12:zep_record_writer]
    cbnz x16, 1f
    b __real_ZEP_DBG_Print
1:  b zep_record_print
    .size __wrap_ZEP_DBG_Print, .-__wrap_ZEP_DBG_Print
)");
#else
extern "C" __attribute__((alias("zep_record_print"))) void __wrap_ZEP_DBG_Print(u32, u32, u32, const u8 *, const char *, ...);
#endif
