// The integer and pointer arguments a va_list has left, as the slots they lie
// in: the argument registers it has not taken yet (in the register save area
// va_start made), then the stack arguments, 8 bytes a slot. Reading a line's
// values from them is a load each; va_arg tests and moves the list's offsets
// for every value. Where the list's layout is not known, there are none.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstring>

namespace zep::sim::replay {

struct ListSlots {
    const std::uint64_t *regs = nullptr;
    std::uint32_t regCount = 0;
    const std::uint64_t *stack = nullptr;

    std::uint64_t operator[](std::uint32_t i) const
    {
        return i < regCount ? regs[i] : stack[i - regCount];
    }
};

#if defined(__x86_64__) || defined(__aarch64__)
inline constexpr bool kListSlotsKnown = true;
#else
inline constexpr bool kListSlotsKnown = false;
#endif

// The slots of args, which must be a list no value has been taken from by
// anything but va_start.
inline ListSlots listSlots([[maybe_unused]] va_list &args)
{
#if defined(__x86_64__)
    // SysV: the offset of the next integer register in the save area (of
    // six, 8 bytes each), the next stack argument, the save area.
    struct Layout {
        unsigned gpOffset;
        unsigned fpOffset;
        const std::uint64_t *stack;
        const unsigned char *saved;
    } l;
    static_assert(sizeof l == sizeof(va_list));
    std::memcpy(&l, args, sizeof l);
    const unsigned regsEnd = 6 * 8;
    return {reinterpret_cast<const std::uint64_t *>(l.saved + l.gpOffset),
            l.gpOffset < regsEnd ? (regsEnd - l.gpOffset) / 8 : 0, l.stack};
#elif defined(__aarch64__)
    // AAPCS64: the next stack argument, the end of the saved integer
    // registers, that of the vector ones, and minus the bytes of integer
    // registers left before the end.
    struct Layout {
        const std::uint64_t *stack;
        const unsigned char *grTop;
        const unsigned char *vrTop;
        int grOffs;
        int vrOffs;
    } l;
    static_assert(sizeof l == sizeof(va_list));
    std::memcpy(&l, &args, sizeof l);
    const int left = l.grOffs < 0 ? -l.grOffs : 0;
    return {reinterpret_cast<const std::uint64_t *>(l.grTop - left),
            static_cast<std::uint32_t>(left / 8), l.stack};
#else
    return {};
#endif
}

}  // namespace zep::sim::replay
