// The recording format on its own: what the writer puts down the reader gives
// back, a file cut anywhere yields its complete blocks, damage is reported with
// its offset, and the cap ends the file marked.
#include <gtest/gtest.h>

#include <algorithm>

#include "record_calls.hpp"
#include "record_files.hpp"
#include "recorded_log.hpp"

namespace zep::record {
namespace {

using Status = Reader::Status;

struct Written {
    std::vector<u8> bytes;
    std::vector<u64> blockEnds;  // file offsets where each events block ends
};

// count events, each with a 1000-byte body, so that several blocks are written:
// bodies of noise leave the blocks as they are, repeated bodies get them compressed.
Written writeEvents(u32 count, bool noise = true, u64 cap = 1ull << 30)
{
    Written w;
    w.bytes = test::writtenFile(cap, [&](Writer &writer) {
        std::vector<u8> body(1000);
        u64 lastSize = writer.bytesWritten();
        u32 seed = 12345;
        for (u32 i = 0; i < count; ++i) {
            for (u8 &b : body) {
                seed = seed * 1103515245u + 12345u;
                b = noise ? static_cast<u8>(seed >> 16) : b;
            }
            body[0] = static_cast<u8>(i);
            RecordedCall e = calls::op(Op::ZEP_MNG_SendMsg, {i, ~0ull}, body);
            e.ret = i % 3;
            writer.add(e);
            if (writer.bytesWritten() != lastSize) {
                lastSize = writer.bytesWritten();
                w.blockEnds.push_back(lastSize);
            }
        }
    });
    w.blockEnds.push_back(w.bytes.size() - 21);  // the last events block, before the end block
    return w;
}

TEST(RecordFormat, EventsComeBackAsWritten)
{
    const Written w = writeEvents(150, false);
    EXPECT_LT(w.bytes.size(), 150u * 1000 / 10) << "a body written again takes only what changed";
    Reader reader(w.bytes);
    RecordedCall e;
    for (u32 i = 0; i < 150; ++i) {
        ASSERT_EQ(reader.next(e), Status::event) << reader.why();
        EXPECT_EQ(e.id, static_cast<u8>(Op::ZEP_MNG_SendMsg));
        ASSERT_EQ(e.argCount, 2);
        EXPECT_EQ(e.args[0], i);
        EXPECT_EQ(e.args[1], ~0ull);
        ASSERT_EQ(e.in.size(), 1000u);
        EXPECT_EQ(e.in[0], static_cast<u8>(i));
        EXPECT_EQ(e.ret, i % 3);
        EXPECT_TRUE(e.out.empty());
    }
    EXPECT_EQ(reader.next(e), Status::end);
    EXPECT_EQ(reader.endReason(), EndReason::closed);
}

// A line's station is its MAC as one number, the first byte highest, on every
// host (a recording made on one machine replays on another), and 0 without one.
TEST(RecordFormat, ALinesStationIsItsMacAsOneNumber)
{
    constexpr u8 kMac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0xf5};
    const RecordedCall line = calls::ZEP_DBG_Print(2, 63, 1, kMac, 7, {}, {});
    EXPECT_EQ(line.args[logHasStation], 1u);
    EXPECT_EQ(line.args[logStation], 0x0011223344f5ull);
    const RecordedCall none = calls::ZEP_DBG_Print(2, 63, 1, nullptr, 7, {}, {});
    EXPECT_EQ(none.args[logHasStation], 0u);
    EXPECT_EQ(none.args[logStation], 0u);
}

TEST(RecordFormat, AFileCutAnywhereGivesItsCompleteBlocks)
{
    const Written w = writeEvents(150);
    const u64 perBlock = 66;  // 1000-byte events (1007 bytes written) in 64 KiB blocks
    for (u64 cut : {u64{16}, w.blockEnds[0] - 1, w.blockEnds[0], w.blockEnds[0] + 7, w.blockEnds[0] + 30,
                    w.blockEnds[1], w.bytes.size() - 1}) {
        const auto read = test::readAll(std::span(w.bytes).first(cut));
        EXPECT_EQ(read.status, Status::cutShort) << cut;
        const auto complete = static_cast<u64>(std::ranges::count_if(w.blockEnds, [&](u64 end) { return end <= cut; }));
        EXPECT_EQ(read.events, std::min<u64>(complete * perBlock, 150)) << cut << ": " << read.why;
        EXPECT_NE(read.why.find("byte "), std::string::npos);
    }
}

TEST(RecordFormat, DamageIsNamedWithItsOffset)
{
    const Written w = writeEvents(100);
    const u64 payload = 16 + 20;
    const struct {
        u64 at;
        const char *why;
    } cases[] = {
        {0, "byte 0: not a sta-meas recording"},
        {8, "byte 8: recording format version is not 3"},
        {9, "byte 8: recording format version is not 3"},
        {16 + 4, "byte 16: block header checksum mismatch"},
        {payload + 500, "byte 36: block payload checksum mismatch"},
        {w.bytes.size() - 1, "checksum mismatch"},
    };
    for (const auto &c : cases) {
        std::vector<u8> bytes = w.bytes;
        bytes[c.at] ^= 0x40;
        const auto read = test::readAll(bytes);
        EXPECT_EQ(read.status, Status::damaged) << c.at;
        EXPECT_NE(read.why.find(c.why), std::string::npos) << read.why;
    }
    std::vector<u8> longer = w.bytes;
    longer.push_back(0);
    EXPECT_EQ(test::readAll(longer).status, Status::damaged) << "bytes after the end block";
}

// Log formats and strings are defined once and named by id after: a table
// entry that is wrong, or a line naming one never defined, is damage, at the
// byte where the event begins.
TEST(RecordFormat, AWrongTextDefinitionIsDamageAtItsOffset)
{
    const auto text = [](CallKind kind, u64 id, std::string_view bytes) {
        RecordedCall e;
        e.kind = kind;
        e.argCount = 1;
        e.args[0] = id;
        e.in = {reinterpret_cast<const u8 *>(bytes.data()), bytes.size()};
        return e;
    };
    const auto line = [](u64 formatRef) {
        return calls::op(Op::ZEP_DBG_Print, {0, 0, 0, 0, 0, formatRef});
    };
    const RecordedCall good = text(CallKind::format, 0, "radio %u\r\n");
    // after the good definition: its code, mask, argument count, and its text
    // with the text's length (its id, 0, is the channel's already).
    const u64 second = 36 + 1 + 1 + 1 + 1 + 10;
    const std::string tooLong(kMaxTextBytes + 1, 'x');
    RecordedCall noId = text(CallKind::format, 1, "x");
    noId.argCount = 0;
    const struct {
        std::vector<RecordedCall> events;
        std::string why;
    } cases[] = {
        {{text(CallKind::format, 0, "wrote %n bytes")}, "byte 36: log format has a conversion no recorded line can carry"},
        {{text(CallKind::format, 0, "%1$u")}, "byte 36: log format has a conversion"},
        {{good, text(CallKind::string, 2, "lost")}, "byte " + std::to_string(second) + ": text definition out of order"},
        {{text(CallKind::string, 0, tooLong)}, "byte 36: text definition past"},
        {{good, line(kStringTextBase + 1)}, "byte " + std::to_string(second) + ": log line names a format the"},
        {{text(CallKind::string, 0, "note"), line(kStringTextBase)}, "log line names a format the recording has not"},
        {{good, noId}, "text definition without its id"},
    };
    for (const auto &c : cases) {
        const auto read = test::readAll(test::writtenFile(1u << 20, [&](Writer &writer) {
            for (const RecordedCall &e : c.events) {
                writer.add(e);
            }
        }));
        EXPECT_EQ(read.status, Status::damaged) << c.why;
        EXPECT_NE(read.why.find(c.why), std::string::npos) << read.why;
    }
}

TEST(RecordFormat, TheCapEndsTheFileMarkedAndWithinIt)
{
    const u64 cap = 150'000;
    const Written w = writeEvents(1000, true, cap);
    EXPECT_LE(w.bytes.size(), cap);
    EXPECT_GT(w.bytes.size(), cap - 2 * 65'536);
    const auto read = test::readAll(w.bytes);
    EXPECT_EQ(read.status, Status::end);
    EXPECT_NE(read.why.find("size cap"), std::string::npos) << read.why;
    EXPECT_GT(read.events, 100u);
    EXPECT_LT(read.events, 150u);
}

}  // namespace
}  // namespace zep::record
