// A printf format read conversion by conversion, once per format: the recorder
// reads raw values with it, the reader checks recorded formats with it, and a
// line is only made text again when someone has to read it.
#include "log_format.hpp"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace zep::record {

namespace {

// One conversion: where its text is, how many * it takes (each an int
// argument before its own), and the class of its own argument, if any.
struct Conversion {
    std::size_t begin = 0;  // the '%'
    std::size_t end = 0;    // one past the conversion letter
    u32 stars = 0;
    bool takesArg = false;
    ArgClass cls = ArgClass::int32;
};

enum class Length { none, shortInt, longInt, longDouble };

std::size_t skipDigitsOrStar(std::string_view f, std::size_t at, u32 &stars)
{
    if (at < f.size() && f[at] == '*') {
        ++stars;
        return at + 1;
    }
    while (at < f.size() && f[at] >= '0' && f[at] <= '9') {
        ++at;
    }
    return at;
}

std::size_t readLength(std::string_view f, std::size_t at, Length &length)
{
    length = Length::none;
    while (at < f.size()) {
        switch (f[at]) {
        case 'h':
            length = length == Length::none ? Length::shortInt : length;
            break;
        case 'l': case 'j': case 'z': case 't': case 'q':
            length = Length::longInt;
            break;
        case 'L':
            length = Length::longDouble;
            break;
        default:
            return at;
        }
        ++at;
    }
    return at;
}

// The class a conversion letter takes with its length modifier; false for
// the conversions a recorded line cannot carry.
bool classOf(char letter, Length length, Conversion &c)
{
    c.takesArg = true;
    if (std::strchr("diouxXc", letter) != nullptr && length != Length::longDouble) {
        c.cls = length == Length::longInt && letter != 'c' ? ArgClass::int64 : ArgClass::int32;
        return letter != 'c' || length != Length::longInt;  // %lc is a wide character
    }
    if (std::strchr("eEfFgGaA", letter) != nullptr && length != Length::longDouble) {
        c.cls = ArgClass::real;
        return true;
    }
    if (letter == 's' || letter == 'p') {
        c.cls = letter == 's' ? ArgClass::string : ArgClass::pointer;
        return length == Length::none;
    }
    c.takesArg = false;
    return letter == '%';
}

// Reads the conversion whose '%' is at `at`; false when it cannot be carried.
bool readConversion(std::string_view f, std::size_t at, Conversion &c)
{
    c = Conversion{};
    c.begin = at++;
    while (at < f.size() && std::strchr("-+ #0'", f[at]) != nullptr) {
        ++at;
    }
    at = skipDigitsOrStar(f, at, c.stars);
    if (at < f.size() && f[at] == '$') {
        return false;  // positional arguments
    }
    if (at < f.size() && f[at] == '.') {
        at = skipDigitsOrStar(f, at + 1, c.stars);
    }
    Length length = Length::none;
    at = readLength(f, at, length);
    if (at >= f.size()) {
        return false;
    }
    c.end = at + 1;
    return classOf(f[at], length, c);
}

// Calls each(conversion) for every conversion in order; false when one
// cannot be carried.
template <class Each>
bool forEachConversion(std::string_view f, Each each)
{
    for (std::size_t at = f.find('%'); at != std::string_view::npos; at = f.find('%', at)) {
        Conversion c;
        if (!readConversion(f, at, c)) {
            return false;
        }
        each(c);
        at = c.end;
    }
    return true;
}

std::string formatOne(const std::string &conversion, ArgClass cls, const LogValue *stars, const LogValue &value)
{
    char text[kMaxInlineString + 64];
    int n = 0;
    const std::string shown(value.text);
    // The format is built here from a checked conversion, not taken from outside.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const auto print = [&](auto arg) {
        if (stars == nullptr) {
            return std::snprintf(text, sizeof text, conversion.c_str(), arg);
        }
        return conversion.find('*') != conversion.rfind('*')
                   ? std::snprintf(text, sizeof text, conversion.c_str(), static_cast<int>(stars[0].number),
                                   static_cast<int>(stars[1].number), arg)
                   : std::snprintf(text, sizeof text, conversion.c_str(), static_cast<int>(stars[0].number), arg);
    };
    switch (cls) {
    case ArgClass::int32: n = print(static_cast<unsigned>(value.number)); break;
    case ArgClass::int64: n = print(static_cast<unsigned long long>(value.number)); break;
    case ArgClass::pointer: n = print(reinterpret_cast<void *>(static_cast<std::uintptr_t>(value.number))); break;
    case ArgClass::string: n = print(value.isNull ? "(null)" : shown.c_str()); break;
    case ArgClass::real: {
        double d = 0;
        std::memcpy(&d, &value.number, sizeof d);
        n = print(d);
        break;
    }
    }
#pragma GCC diagnostic pop
    return n < 0 ? std::string() : std::string(text, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof text - 1));
}

}  // namespace

int logArgClasses(std::string_view format, ArgClass *classes)
{
    u32 count = 0;
    bool fits = true;
    const bool carried = forEachConversion(format, [&](const Conversion &c) {
        const u32 wanted = c.stars + (c.takesArg ? 1 : 0);
        if (count + wanted > kMaxLogArgs) {
            fits = false;
            return;
        }
        for (u32 i = 0; i < c.stars; ++i) {
            classes[count++] = ArgClass::int32;
        }
        if (c.takesArg) {
            classes[count++] = c.cls;
        }
    });
    return carried && fits ? static_cast<int>(count) : -1;
}

void takeLogValues(va_list &args, std::span<const ArgClass> classes, LogValue *values)
{
    for (const ArgClass cls : classes) {
        LogValue &v = *values++;
        switch (cls) {
        case ArgClass::int32:
            v.number = va_arg(args, unsigned);
            break;
        case ArgClass::int64:
            v.number = va_arg(args, unsigned long long);
            break;
        case ArgClass::real:
            v.number = std::bit_cast<u64>(va_arg(args, double));
            break;
        case ArgClass::pointer:
            v.number = reinterpret_cast<std::uintptr_t>(va_arg(args, const void *));
            break;
        case ArgClass::string: {
            const char *text = va_arg(args, const char *);
            v.isNull = text == nullptr;
            v.text = text != nullptr ? std::string_view(text) : std::string_view();
            break;
        }
        }
    }
}

std::string formatLogLine(std::string_view format, const LogValue *values, std::size_t count)
{
    std::string line;
    std::size_t copied = 0;
    std::size_t used = 0;
    forEachConversion(format, [&](const Conversion &c) {
        line.append(format.substr(copied, c.begin - copied));
        copied = c.end;
        const std::string conversion(format.substr(c.begin, c.end - c.begin));
        if (!c.takesArg) {
            line += '%';
            return;
        }
        if (used + c.stars + 1 > count) {
            return;  // fewer values than conversions: the line stops showing them
        }
        const LogValue *stars = c.stars > 0 ? values + used : nullptr;
        line += formatOne(conversion, c.cls, stars, values[used + c.stars]);
        used += c.stars + 1;
    });
    line.append(format.substr(copied));
    return line;
}

}  // namespace zep::record
