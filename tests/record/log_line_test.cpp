// Log lines through the recorder's logger wrapper, linked into this test as
// into the recording build: each line recorded as its format and raw values
// must read back as the text the framework's logger printed from the same
// call, and a replay must tell a changed value, format or buffer apart while
// comparing lines without formatting them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "record_reader.hpp"
#include "record_writer.hpp"
#include "recorded_log.hpp"
#include "replay/replayer.hpp"

extern "C" zep::record::Writer *zep_record_writer;

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

// Values past 127 bytes, whose length takes two bytes, and one after them.
void logLongString()
{
    const std::string text(300, 'x');
    ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, "long %s then %u\r\n", text.c_str(), 9u);
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
    const std::string path =
        (std::filesystem::temp_directory_path() / ("log_line_" + std::to_string(getpid()))).string();
    static Writer writer;  // its buffer is large: not on the stack
    Recorded r;
    {
        host::Host host;
        EXPECT_TRUE(writer.open(path.c_str(), 1ull << 20));
        zep_record_writer = &writer;
        lines();
        zep_record_writer = nullptr;
        writer.close(EndReason::closed);
        for (const host::LogLine &line : host.logs()) {
            r.printed.push_back(line.text);
        }
    }
    std::string why;
    EXPECT_TRUE(readFile(path.c_str(), r.bytes, why)) << why;
    std::filesystem::remove(path);
    return r;
}

std::vector<std::string> recordedTexts(std::span<const u8> bytes)
{
    std::vector<std::string> texts;
    Reader reader(bytes);
    Event e;
    while (reader.next(e) == Reader::Status::event) {
        texts.push_back(recordedLineText(e));
    }
    EXPECT_EQ(reader.next(e), Reader::Status::end) << reader.why();
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
        logLongString();
    };
    const Recorded r = record(lines);
    ASSERT_EQ(r.printed.size(), 7u);
    EXPECT_NE(r.printed[0].find("count 3 delta -12 mask beef mac 4455 tick 1099511627776 at 0x"), std::string::npos)
        << r.printed[0];
    EXPECT_EQ(r.printed[1], "logEveryConversion[7]: none (null)     3|-12 |0xff|abc\r\n");
    EXPECT_EQ(r.printed[5], "buffer holds second\r\n");
    EXPECT_EQ(r.printed[6], "long " + std::string(300, 'x') + " then 9\r\n");
    EXPECT_EQ(recordedTexts(r.bytes), r.printed);
    EXPECT_FALSE(replayLines(r.bytes, lines));
}

TEST(RecordedLogLine, ReplayNamesAChangedValueFormatOrBufferAsText)
{
    const Recorded r = record([] {
        logEveryConversion(3, -12, "name");
        logFromReusedBuffer("first", "second");
    });
    const struct {
        std::function<void()> lines;
        std::string recorded;
        std::string actual;
    } cases[] = {
        {[] { logEveryConversion(3, -13, "name"); }, "count 3 delta -12 mask", "count 3 delta -13 mask"},
        {[] { logEveryConversion(3, -12, "nome"); }, " name.\"", " nome.\""},
        {[] {
             logEveryConversion(3, -12, "name");
             logFromReusedBuffer("first", "first");
         },
         "   ZEP_DBG_Print(0, 63, 0, 0, 0) \"buffer holds second\"",
         "   ZEP_DBG_Print(0, 63, 0, 0, 0) \"buffer holds first\""},
        {[] {
             logEveryConversion(3, -12, "name");
             logChangedFormat();
         },
         "\"buffer holds first\"", "\"buffer has first\""},
    };
    for (const auto &c : cases) {
        const auto d = replayLines(r.bytes, c.lines);
        ASSERT_TRUE(d) << c.actual;
        EXPECT_NE(d->recorded.find(c.recorded), std::string::npos) << d->recorded;
        EXPECT_NE(d->actual.find(c.actual), std::string::npos) << d->actual;
    }
}

}  // namespace
}  // namespace zep::record
