// A format's argument classes decide how many bytes of the va_list the
// recorder reads and how: a wrong class misreads every value after it, so
// each length modifier and each refused conversion is pinned here, with the
// text a line is shown as made from the values again.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "log_format.hpp"

namespace zep::record {
namespace {

using C = ArgClass;

// The classes logArgClasses finds, or nullopt where it refuses the format.
std::optional<std::vector<ArgClass>> classesOf(std::string_view format)
{
    ArgClass classes[kMaxLogArgs];
    const int count = logArgClasses(format, classes);
    return count < 0 ? std::nullopt : std::optional(std::vector<ArgClass>(classes, classes + count));
}

TEST(LogFormat, EachConversionTakesItsClass)
{
    const struct {
        std::string_view format;
        std::vector<ArgClass> classes;
    } cases[] = {
        {"no conversion, 100%% sure", {}},
        {"%u %d %x %02x %c %hhu %hd", {C::int32, C::int32, C::int32, C::int32, C::int32, C::int32, C::int32}},
        {"%llu %lu %ld %zu %jd %td %#lx", {C::int64, C::int64, C::int64, C::int64, C::int64, C::int64, C::int64}},
        {"%s %.3s %p %-8s", {C::string, C::string, C::pointer, C::string}},
        {"%*d|%-*.*s|%.*u", {C::int32, C::int32, C::int32, C::int32, C::string, C::int32, C::int32}},
        {"%f %.2e %g %a", {C::real, C::real, C::real, C::real}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(classesOf(c.format), c.classes) << c.format;
    }
}

TEST(LogFormat, ConversionsALineCannotCarryAreRefused)
{
    std::string many;
    for (u32 i = 0; i <= kMaxLogArgs; ++i) {
        many += "%u";
    }
    for (const std::string &format : std::vector<std::string>{"%n", "%m", "%lc", "%ls", "%Lf", "%1$u", "%q", "ends in %",
                                                               "%5", many}) {
        EXPECT_EQ(classesOf(format), std::nullopt) << format;
    }
    EXPECT_EQ(classesOf(many.substr(2))->size(), kMaxLogArgs);
}

TEST(LogFormat, ALineIsMadeTextFromItsValues)
{
    const auto number = [](u64 n) { return LogValue{n, {}, false}; };
    const auto text = [](std::string_view t) { return LogValue{0, t, false}; };
    const LogValue values[] = {number(7), number(0xfffffff4), number(255), number(1ull << 40), text("abcdef"),
                               LogValue{0, {}, true}, number(6), number(2), text("xyz")};
    EXPECT_EQ(formatLogLine("%u %d %#04x %llu %.3s %s [%*.*s] 100%%\r\n", values, std::size(values)),
              "7 -12 0xff 1099511627776 abc (null) [    xy] 100%\r\n");
    // Fewer values than conversions (a damaged line): the text stops showing them.
    EXPECT_EQ(formatLogLine("a %u b %u c", values, 1), "a 7 b  c");
}

}  // namespace
}  // namespace zep::record
