// A line's values read through its va_list, by class: the way of a line with
// a real, and of every line where the logger's wrapper is not assembly.
#include "line_values.hpp"

#include <bit>

namespace zep::record::recorder {

u8 *putListValues(u8 *at, const u8 *end, const LineFormat &f, va_list &args, Writer &writer)
{
    for (u32 i = 0; i < f.count; ++i) {
        switch (f.classes[i]) {
        case ArgClass::int32:
            at = putLittle(at, va_arg(args, unsigned), 4);
            break;
        case ArgClass::int64:
            at = putLittle(at, va_arg(args, unsigned long long), 8);
            break;
        case ArgClass::pointer:
            at = putLittle(at, reinterpret_cast<std::uintptr_t>(va_arg(args, void *)), 8);
            break;
        case ArgClass::string:
            at = putString(at, end, va_arg(args, const char *), writer);
            break;
        case ArgClass::real: {
            const double d = va_arg(args, double);
            at = putLittle(at, std::bit_cast<u64>(d), 8);
            break;
        }
        }
    }
    return at;
}

}  // namespace zep::record::recorder
