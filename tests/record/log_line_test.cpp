// Log lines through the recording build's logger, compiled into this test as
// into that build: each line recorded as its format and raw values
// must read back as the text the framework's logger printed from the same
// call, and a replay must tell a changed value, format or buffer apart while
// comparing lines. The values are read through the va_list by their
// conversions, and the line is handed on to the framework's logger as it came.
#include <gtest/gtest.h>

#include <functional>

#include "record_files.hpp"
#include "recorded_log.hpp"
#include "replay/replayer.hpp"


namespace zep::record {
namespace {

constexpr u8 kMac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
// Read through volatile, so that the compiler cannot see the null %s coming.
const char *volatile g_nothing = nullptr;

// Every conversion the module's lines use, and a %p and a null %s beside them.
void logEveryConversion(u32 count, int delta, const char *name)
{
    ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 3, kMac, " [%s]%s[%u]: count %u delta %d mask %x mac %02x%02x tick %llu at %p %s.\r\n",
                  "note", __func__, 42u, count, delta, 0xbeefu, kMac[4], kMac[5], 1ull << 40, &kMac[0], name);
    ZEP_DBG_Print(ZEP_DBG_ERROR, 63, 1, nullptr, "%s[%u]: none %s %5u|%-4d|%#x|%.3s\r\n", __func__, 7u,
                  g_nothing, count, delta, 255u, "abcdef");
}

// The same %s buffer, rewritten between lines, as a module's scratch buffer is.
void logFromReusedBuffer(const char *first, const char *second)
{
    char buffer[32];
    std::strcpy(buffer, first);
    ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, "buffer holds %s\r\n", buffer);
    std::strcpy(buffer, second);
    ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, "buffer holds %s\r\n", buffer);
}

// A string past 255 bytes, whose length takes both its bytes, and a number
// after it; a real, which sends the line through its va_list.
void logLongStringAndReal(double ratio, u32 then = 9)
{
    const std::string text(300, 'x');
    ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, "long %s then %u\r\n", text.c_str(), then);
    ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, "%s ratio %.2f of %llu\r\n", __func__, ratio, 1ull << 33);
}

// A literal the recorder first meets as a %s, then as a format: it was named
// as a text, not as a format, so the line must carry it.
void logFormatFirstSeenAsText(u32 value)
{
    static const char *const kFormat = "as text %u\r\n";
    ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, "%s", kFormat);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, kFormat, value);
#pragma GCC diagnostic pop
}

// A %s a literal in the recorded build, a buffer in this one: the buffer
// matches the first time, then changes where it is.
void logLiteralTwice(bool fromBuffer, const char *second)
{
    char buffer[16] = "same";
    ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, "word %s\r\n", fromBuffer ? buffer : "same");
    std::strcpy(buffer, second);
    ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, "word %s\r\n", fromBuffer ? buffer : "same");
}

void logChangedFormat()
{
    ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, "buffer has %s\r\n", "first");
    ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, "buffer holds %s\r\n", "second");
}

struct Recorded {
    std::vector<u8> bytes;
    std::vector<std::string> printed;  // what the framework's logger made of each line
};

// Runs lines with the recorder on, on a live emulation whose logger keeps them.
Recorded record(const std::function<void()> &lines)
{
    Recorded r;
    host::Host host;
    r.bytes = test::writtenFile(1ull << 20, [&](Writer &writer) {
        zep_record_writer = &writer;
        lines();
        zep_record_writer = nullptr;
    });
    for (const host::LogLine &line : host.logs()) {
        r.printed.push_back(line.text);
    }
    return r;
}

std::vector<std::string> recordedTexts(std::span<const u8> bytes)
{
    std::vector<std::string> texts;
    const auto read =
        test::readAll(bytes, [&](const RecordedCall &e) { texts.push_back(recordedLineText(e)); });
    EXPECT_EQ(read.status, Reader::Status::end) << read.why;
    return texts;
}

// Replays the lines against a recording: the replayer taps the emulation's
// logger, as it does for a whole build.
std::optional<sim::replay::Divergence> replayLines(std::span<const u8> bytes, const std::function<void()> &lines)
{
    host::Host host;
    sim::replay::Replayer replayer(bytes, host);
    host.setCallTap(&replayer);
    lines();
    host.setCallTap(nullptr);
    return replayer.outcome().divergence;
}

TEST(RecordedLogLine, ReadsBackAsTheTextTheLoggerPrinted)
{
    const auto lines = [] {
        logEveryConversion(3, -12, "name");
        logEveryConversion(4000000000u, 0, "other");
        logFromReusedBuffer("first", "second");
        logLongStringAndReal(0.75);
        logFormatFirstSeenAsText(11);
    };
    const Recorded r = record(lines);
    ASSERT_EQ(r.printed.size(), 10u);
    EXPECT_NE(r.printed[0].find("count 3 delta -12 mask beef mac 4455 tick 1099511627776 at 0x"), std::string::npos)
        << r.printed[0];
    EXPECT_EQ(r.printed[1], "logEveryConversion[7]: none (null)     3|-12 |0xff|abc\r\n");
    EXPECT_EQ(r.printed[5], "buffer holds second\r\n");
    EXPECT_EQ(r.printed[6], "long " + std::string(300, 'x') + " then 9\r\n");
    EXPECT_EQ(r.printed[7], "logLongStringAndReal ratio 0.75 of 8589934592\r\n");
    EXPECT_EQ(r.printed[9], "as text 11\r\n");
    EXPECT_EQ(recordedTexts(r.bytes), r.printed);
    EXPECT_FALSE(replayLines(r.bytes, lines));
}

TEST(RecordedLogLine, ReplayNamesAChangedValueFormatOrBufferAsText)
{
    const std::function<void()> recorded[] = {
        [] { logEveryConversion(3, -12, "name"); },
        [] { logFromReusedBuffer("first", "second"); },
        [] { logLongStringAndReal(0.75); },
        [] { logLiteralTwice(false, "same"); },
    };
    const Recorded r = record([&] {
        for (const auto &lines : recorded) {
            lines();
        }
    });
    // Each case replays the first `same` of the recorded calls, then its own lines.
    const struct {
        std::size_t same;
        std::function<void()> lines;
        std::string recorded;
        std::string actual;
    } cases[] = {
        {0, [] { logEveryConversion(3, -13, "name"); }, "count 3 delta -12 mask",
         "count 3 delta -13 mask"},
        {0, [] { logEveryConversion(3, -12, "nome"); }, " name.\"", " nome.\""},
        {2, [] { logLongStringAndReal(0.5); }, "ratio 0.75 of", "ratio 0.50 of"},
        {2, [] { logLongStringAndReal(0.75, 10); }, "x then 9\"", "x then 10\""},
        {1, [] { logFromReusedBuffer("first", "first"); },
         "   ZEP_DBG_Print(0, 63, 0, 0, 0) \"buffer holds second\"",
         "   ZEP_DBG_Print(0, 63, 0, 0, 0) \"buffer holds first\""},
        {3, [] { logLiteralTwice(true, "sane"); }, "\"word same\"", "\"word sane\""},
        {1, [] { logChangedFormat(); }, "\"buffer holds first\"", "\"buffer has first\""},
    };
    for (const auto &c : cases) {
        const auto d = replayLines(r.bytes, [&] {
            std::for_each_n(std::begin(recorded), c.same, [](const auto &lines) { lines(); });
            c.lines();
        });
        ASSERT_TRUE(d) << c.actual;
        EXPECT_NE(d->recorded.find(c.recorded), std::string::npos) << d->recorded;
        EXPECT_NE(d->actual.find(c.actual), std::string::npos) << d->actual;
    }
}

// The values of the one line of a recording, as its event carries them.
std::vector<u8> valuesOfOnlyLine(std::span<const u8> bytes)
{
    std::vector<u8> values;
    test::readAll(bytes, [&](const RecordedCall &e) {
        if (e.kind == CallKind::op) {
            values.assign(e.in.begin(), e.in.end());
        }
    });
    return values;
}

// Each value is kept at its class's width, read as the caller passed it: a
// promoted %hhu as the int it became, a %p null or not, a buffer inline.
TEST(RecordedLogLine, KeepsEachValueAtItsClassesWidth)
{
    char buffer[] = "buf";
    const Recorded r = record([&buffer] {
        ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, "%s[%u] %llu %p %s %d %lx %s %hhu %x\r\n", "lit", 7u,
                      0x0102'0304'0506'0708ull, static_cast<void *>(nullptr), buffer, -12, 0x8000'0000'0000'0001ul,
                      g_nothing, static_cast<unsigned char>(0x2a), 0x63u);
    });
    const std::vector<u8> expected = {3, 0,                        // "lit", the second text defined
                                      7, 0, 0, 0,                  // %u
                                      8, 7, 6, 5, 4, 3, 2, 1,      // %llu
                                      0, 0, 0, 0, 0, 0, 0, 0,      // %p, null
                                      1, 0, 3, 0, 'b', 'u', 'f',   // the buffer, inline
                                      0xf4, 0xff, 0xff, 0xff,      // %d -12
                                      1, 0, 0, 0, 0, 0, 0, 0x80,   // %lx
                                      0, 0,                        // a null %s
                                      0x2a, 0, 0, 0,               // %hhu: the int it was promoted to
                                      0x63, 0, 0, 0};
    EXPECT_EQ(valuesOfOnlyLine(r.bytes), expected);
    EXPECT_EQ(r.printed, std::vector<std::string>{"lit[7] 72623859790382856 (nil) buf -12 8000000000000001 (null) 42 63\r\n"});
}

// Strings in writable memory are cut so that the values after them still fit.
TEST(RecordedLogLine, LongBuffersLeaveRoomForTheValuesAfterThem)
{
    const std::string text(kMaxInlineString + 100, 'x');
    const Recorded r = record([&text] {
        std::string format = "%s%s%s";
        for (u32 i = 3; i < kMaxLogArgs; ++i) {
            format += "%llu";
        }
        const char *t = text.c_str();
        constexpr unsigned long long n = ~0ull;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, format.c_str(), t, t, t, n, n, n, n, n, n, n, n, n, n, n, n, n, n,
                      n, n, n, n, n, n, n, n, n, n, n, n, n, n, n);
#pragma GCC diagnostic pop
    });
    const std::vector<u8> values = valuesOfOnlyLine(r.bytes);
    ASSERT_GE(values.size(), 4u);
    const std::size_t numbers = (kMaxLogArgs - 3) * 8;
    EXPECT_EQ(std::vector<u8>(values.end() - numbers, values.end()), std::vector<u8>(numbers, 0xff));
    EXPECT_EQ(getLittle(values.data() + 2, 2), kMaxInlineString);  // the first string whole
    ASSERT_EQ(r.printed.size(), 1u);
    EXPECT_EQ(r.printed[0].size(), 3 * text.size() + (kMaxLogArgs - 3) * 20);  // passed on whole
}

// The framework's logger gets the application's own format and values, not a
// line the recorder made text: it drops a line below its threshold unformatted.
TEST(RecordedLogLine, TheFrameworkGetsTheFormatAsTheApplicationGaveIt)
{
    struct FormatsSeen final : host::CallTap {
        std::vector<std::string> formats;
        std::optional<host::Answer> onCall(const host::Call &) override { return std::nullopt; }
        void onLog(u32, u32, u32, const u8 *, const char *format, va_list) override { formats.emplace_back(format); }
    } tap;
    const Recorded r = record([&tap] {
        host::Host::current().setCallTap(&tap);
        ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, "%s[%u]: kept %u\r\n", __func__, 1u, 2u);
        host::Host::current().setCallTap(nullptr);
    });
    EXPECT_EQ(tap.formats, std::vector<std::string>{"%s[%u]: kept %u\r\n"});
    EXPECT_EQ(recordedTexts(r.bytes), std::vector<std::string>{"operator()[1]: kept 2\r\n"});
}

}  // namespace
}  // namespace zep::record
