// Recorded configuration parsing and log lines.
#include <cstdarg>
#include <cstdio>

#include <cstring>

#include "log_lines.hpp"
#include "record_codec.hpp"
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

// A line is recorded as its format's reference and its arguments' raw values,
// read by the classes parsed once per format: nothing is formatted here.
namespace {

[[gnu::always_inline]] inline u8 *putValue(u8 *at, const u8 *end, ArgClass cls, va_list &args)
{
    switch (cls) {
    case ArgClass::int32:
        return putVarint(at, va_arg(args, unsigned));
    case ArgClass::int64:
        return putVarint(at, va_arg(args, unsigned long long));
    case ArgClass::pointer:
        return putVarint(at, reinterpret_cast<std::uintptr_t>(va_arg(args, void *)));
    case ArgClass::string:
        return putString(at, end, va_arg(args, const char *), *zep_record_writer);
    case ArgClass::real: {
        const double d = va_arg(args, double);
        u64 bits = 0;
        std::memcpy(&bits, &d, sizeof bits);
        return putVarint(at, bits);
    }
    }
    return at;
}

void recordLine(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format, va_list &args)
{
    Writer &writer = *zep_record_writer;
    const LineFormat *f = format != nullptr ? lineFormat(format, writer) : nullptr;
    if (f == nullptr) {
        return;
    }
    // Room for every value but the last string's bytes, which putString cuts to fit.
    static u8 values[kMaxLogArgs * 10 + 2 * kMaxInlineString];
    u8 *at = values;
    for (u32 i = 0; i < f->count; ++i) {
        at = putValue(at, values + sizeof values, f->classes[i], args);
    }
    const std::span<const u8> ownFormat = f->ref == kStringInline ? calls::bytesOf(format, std::strlen(format))
                                                                 : std::span<const u8>();
    writer.add(calls::ZEP_DBG_Print(severity, moduleId, category, staMac, f->ref,
                                    {values, static_cast<std::size_t>(at - values)}, ownFormat));
}

}  // namespace

// Called by the logger's wrapper below with the caller's arguments as they
// came; the wrapper then hands the same arguments to the framework's logger.
void zep_record_log(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    recordLine(severity, moduleId, category, staMac, format, args);
    va_end(args);
}

// Registers the wrapper keeps across the recording call (the return address,
// the argument registers, the vector registers), in static memory: the
// caller's stack arguments must stay exactly where they are. The module logs
// from one thread, as it does everything.
alignas(16) u64 zep_record_log_saved[26];

}  // extern "C"

// While recording is off the wrapper must cost nothing, and above all must not
// format a line the framework would drop unformatted: it jumps straight to the
// framework's logger with the caller's arguments untouched, which C cannot
// express for a variadic function. Recording, it first calls zep_record_log
// with those same arguments, then puts them back and jumps. Other targets
// format every line.
#if defined(__x86_64__)
asm(R"(
    .text
    .globl __wrap_ZEP_DBG_Print
    .hidden __wrap_ZEP_DBG_Print
    .type __wrap_ZEP_DBG_Print, @function
__wrap_ZEP_DBG_Print:
    cmpq $0, zep_record_writer(%rip)
    jne 1f
    jmp __real_ZEP_DBG_Print@PLT
1:  popq %r11
    movq %r11, zep_record_log_saved(%rip)
    movq %rdi, zep_record_log_saved+8(%rip)
    movq %rsi, zep_record_log_saved+16(%rip)
    movq %rdx, zep_record_log_saved+24(%rip)
    movq %rcx, zep_record_log_saved+32(%rip)
    movq %r8, zep_record_log_saved+40(%rip)
    movq %r9, zep_record_log_saved+48(%rip)
    movq %rax, zep_record_log_saved+56(%rip)
    testb %al, %al
    je 2f
    movaps %xmm0, zep_record_log_saved+64(%rip)
    movaps %xmm1, zep_record_log_saved+80(%rip)
    movaps %xmm2, zep_record_log_saved+96(%rip)
    movaps %xmm3, zep_record_log_saved+112(%rip)
    movaps %xmm4, zep_record_log_saved+128(%rip)
    movaps %xmm5, zep_record_log_saved+144(%rip)
    movaps %xmm6, zep_record_log_saved+160(%rip)
    movaps %xmm7, zep_record_log_saved+176(%rip)
2:  call zep_record_log
    movq zep_record_log_saved+56(%rip), %rax
    testb %al, %al
    je 3f
    movaps zep_record_log_saved+64(%rip), %xmm0
    movaps zep_record_log_saved+80(%rip), %xmm1
    movaps zep_record_log_saved+96(%rip), %xmm2
    movaps zep_record_log_saved+112(%rip), %xmm3
    movaps zep_record_log_saved+128(%rip), %xmm4
    movaps zep_record_log_saved+144(%rip), %xmm5
    movaps zep_record_log_saved+160(%rip), %xmm6
    movaps zep_record_log_saved+176(%rip), %xmm7
3:  movq zep_record_log_saved+8(%rip), %rdi
    movq zep_record_log_saved+16(%rip), %rsi
    movq zep_record_log_saved+24(%rip), %rdx
    movq zep_record_log_saved+32(%rip), %rcx
    movq zep_record_log_saved+40(%rip), %r8
    movq zep_record_log_saved+48(%rip), %r9
    pushq zep_record_log_saved(%rip)
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
1:  adrp x16, zep_record_log_saved
    add x16, x16, :lo12:zep_record_log_saved
    stp x0, x1, [x16, #0]
    stp x2, x3, [x16, #16]
    stp x4, x5, [x16, #32]
    stp x6, x7, [x16, #48]
    str x30, [x16, #64]
    stp q0, q1, [x16, #80]
    stp q2, q3, [x16, #112]
    stp q4, q5, [x16, #144]
    stp q6, q7, [x16, #176]
    bl zep_record_log
    adrp x16, zep_record_log_saved
    add x16, x16, :lo12:zep_record_log_saved
    ldp x0, x1, [x16, #0]
    ldp x2, x3, [x16, #16]
    ldp x4, x5, [x16, #32]
    ldp x6, x7, [x16, #48]
    ldr x30, [x16, #64]
    ldp q0, q1, [x16, #80]
    ldp q2, q3, [x16, #112]
    ldp q4, q5, [x16, #144]
    ldp q6, q7, [x16, #176]
    b __real_ZEP_DBG_Print
    .size __wrap_ZEP_DBG_Print, .-__wrap_ZEP_DBG_Print
)");
#else
// Without the wrapper above the line must be handed over formatted ("%s").
extern "C" __attribute__((format(printf, 5, 6))) void __wrap_ZEP_DBG_Print(u32 severity, u32 moduleId, u32 category,
                                                                         const u8 *staMac, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    if (zep_record_writer != nullptr) {
        va_list copy;
        va_copy(copy, args);
        recordLine(severity, moduleId, category, staMac, format, copy);
        va_end(copy);
    }
    char line[1024];
    const int n = format != nullptr ? std::vsnprintf(line, sizeof line, format, args) : -1;
    va_end(args);
    if (n >= 0) {
        __real_ZEP_DBG_Print(severity, moduleId, category, staMac, "%s", line);
    }
}
#endif
