// Recorded configuration parsing and log lines.
#include <cstdarg>
#include <cstdio>

#include <cstring>
#include <iterator>

#include "line_values.hpp"
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
// their widths worked out once per format: nothing is formatted here.
namespace {

// The format of a line to record, null when the line is not recorded.
const LineFormat *formatToRecord(const char *format)
{
    return format != nullptr ? lineFormat(format, *zep_record_writer) : nullptr;
}

[[gnu::always_inline]] inline void addLine(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format,
             const LineFormat &f, std::span<const u8> values)
{
    const std::span<const u8> ownFormat =
        f.ref == kStringInline ? calls::bytesOf(format, std::strlen(format)) : std::span<const u8>();
    zep_record_writer->addLine(
        calls::ZEP_DBG_Print(severity, moduleId, category, staMac, f.ref, values, ownFormat));
}

// Where a line's values are written: every value at its widest, and the
// strings cut to fit (putString).
u8 g_values[kLineValuesRoom];

void recordLine(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format, va_list &args)
{
    const LineFormat *f = formatToRecord(format);
    if (f != nullptr) {
        const u8 *end = putListValues(g_values, std::end(g_values), *f, args, *zep_record_writer);
        addLine(severity, moduleId, category, staMac, format, *f, {g_values, end});
    }
}

}  // namespace

// Called by the logger's wrapper below with the caller's arguments as they
// came, when the line cannot be read from its slots (it has a real).
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

// Called by the logger's wrapper below with the argument registers saved and
// the address of the caller's stack arguments: records the line from them and
// returns 1, or returns 0 when the line must be read through its va_list
// (zep_record_log), its format having a real.
int zep_record_log_slots(const u64 *stack);

}  // extern "C"

#if defined(__x86_64__) || defined(__aarch64__)
// The saved registers: x86-64 keeps the return address first, then rdi..r9
// (the five fixed arguments, then one variadic); aarch64 keeps x0..x7 (the
// five fixed arguments, then three variadic).
#if defined(__x86_64__)
constexpr std::size_t kSavedFixed = 1;
constexpr u32 kVariadicRegs = 1;
#else
constexpr std::size_t kSavedFixed = 0;
constexpr u32 kVariadicRegs = 3;
#endif

int zep_record_log_slots(const u64 *stack)
{
    const u64 *fixed = zep_record_log_saved + kSavedFixed;
    const auto *format = reinterpret_cast<const char *>(fixed[4]);
    const LineFormat *f = formatToRecord(format);
    if (f == nullptr) {
        return 1;
    }
    if (f->hasReal) {
        return 0;
    }
    const ArgSlots slots{fixed + 5, kVariadicRegs, stack};
    const u8 *end = putSlotValues(g_values, std::end(g_values), *f, slots, *zep_record_writer);
    addLine(static_cast<u32>(fixed[0]), static_cast<u32>(fixed[1]), static_cast<u32>(fixed[2]),
            reinterpret_cast<const u8 *>(fixed[3]), format, *f, {g_values, end});
    return 1;
}
#endif

// While recording is off the wrapper must cost nothing, and above all must not
// format a line the framework would drop unformatted: it jumps straight to the
// framework's logger with the caller's arguments untouched, which C cannot
// express for a variadic function. Recording, it saves the argument registers
// and calls zep_record_log_slots with the address of the stack arguments;
// for a line with a real it puts the arguments back and calls zep_record_log
// as the caller called it. Then it puts them back and jumps. Other targets
// format every line.
#if defined(__x86_64__)
asm(R"(
    .text
    .macro zep_log_load_args
    movq zep_record_log_saved+56(%rip), %rax
    testb %al, %al
    je 4f
    movaps zep_record_log_saved+64(%rip), %xmm0
    movaps zep_record_log_saved+80(%rip), %xmm1
    movaps zep_record_log_saved+96(%rip), %xmm2
    movaps zep_record_log_saved+112(%rip), %xmm3
    movaps zep_record_log_saved+128(%rip), %xmm4
    movaps zep_record_log_saved+144(%rip), %xmm5
    movaps zep_record_log_saved+160(%rip), %xmm6
    movaps zep_record_log_saved+176(%rip), %xmm7
4:  movq zep_record_log_saved+8(%rip), %rdi
    movq zep_record_log_saved+16(%rip), %rsi
    movq zep_record_log_saved+24(%rip), %rdx
    movq zep_record_log_saved+32(%rip), %rcx
    movq zep_record_log_saved+40(%rip), %r8
    movq zep_record_log_saved+48(%rip), %r9
    .endm

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
2:  movq %rsp, %rdi
    call zep_record_log_slots
    testl %eax, %eax
    jne 3f
    zep_log_load_args
    call zep_record_log
3:  zep_log_load_args
    pushq zep_record_log_saved(%rip)
    jmp __real_ZEP_DBG_Print@PLT
    .size __wrap_ZEP_DBG_Print, .-__wrap_ZEP_DBG_Print
    .purgem zep_log_load_args
)");
#elif defined(__aarch64__)
asm(R"(
    .text
    .macro zep_log_load_args
    adrp x16, zep_record_log_saved
    add x16, x16, :lo12:zep_record_log_saved
    ldp x0, x1, [x16, #0]
    ldp x2, x3, [x16, #16]
    ldp x4, x5, [x16, #32]
    ldp x6, x7, [x16, #48]
    ldp q0, q1, [x16, #80]
    ldp q2, q3, [x16, #112]
    ldp q4, q5, [x16, #144]
    ldp q6, q7, [x16, #176]
    .endm

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
    mov x0, sp
    bl zep_record_log_slots
    cbnz w0, 2f
    zep_log_load_args
    bl zep_record_log
2:  zep_log_load_args
    adrp x16, zep_record_log_saved
    add x16, x16, :lo12:zep_record_log_saved
    ldr x30, [x16, #64]
    b __real_ZEP_DBG_Print
    .size __wrap_ZEP_DBG_Print, .-__wrap_ZEP_DBG_Print
    .purgem zep_log_load_args
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
