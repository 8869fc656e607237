// The recording format on its own: what the writer puts down the reader gives
// back, a file cut anywhere yields its complete blocks, damage is reported with
// its offset, and the cap ends the file marked. At their edges: the cap always
// leaves room for the end block, a block is stored compressed only when that
// makes it smaller, and a byte string inside an event never reaches past its
// block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "record_calls.hpp"
#include "record_channels.hpp"
#include "record_files.hpp"

namespace zep::record {
namespace {

using Status = Reader::Status;

// size bytes of noise, which no compression makes smaller; seed picks which.
std::vector<u8> noise(std::size_t size, u32 seed)
{
    std::vector<u8> bytes(size);
    for (u8 &b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<u8>(seed >> 16);
    }
    return bytes;
}

struct Written {
    std::vector<u8> bytes;
    std::vector<u64> blockEnds;  // file offsets where each events block ends
};

// count sends, each with a body of `size` bytes (by default enough for several
// blocks): bodies of noise leave the blocks as they are, repeated bodies get
// them compressed.
Written writeEvents(u32 count, bool noisy = true, u64 cap = 1ull << 30, std::size_t size = 1000)
{
    Written w;
    w.bytes = test::writtenFile(cap, [&](Writer &writer) {
        u64 lastSize = writer.bytesWritten();
        for (u32 i = 0; i < count; ++i) {
            std::vector<u8> body = noisy ? noise(size, i) : std::vector<u8>(size);
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
    const struct {
        u64 at;
        const char *why;
    } cases[] = {
        {0, "byte 0: not a sta-meas recording"},
        {8, "byte 8: recording format version is not 3"},
        {9, "byte 8: recording format version is not 3"},
        {16 + 4, "byte 16: block header checksum mismatch"},
        {16 + 20 + 500, "byte 36: block payload checksum mismatch"},
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
    const auto text = test::textDefinition;
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

// Wherever the last event falls (every cap across the width of a few events),
// the end block still fits under the cap and says why the recording stopped.
TEST(RecordFormat, TheCapEndsTheFileMarkedAndWithinIt)
{
    const Written w = writeEvents(1000, true, 150'000);
    EXPECT_LE(w.bytes.size(), 150'000u);
    EXPECT_GT(w.bytes.size(), 150'000u - 2 * 65'536);
    const auto read = test::readAll(w.bytes);
    EXPECT_EQ(read.status, Status::end);
    EXPECT_NE(read.why.find("size cap"), std::string::npos) << read.why;
    EXPECT_GT(read.events, 100u);
    EXPECT_LT(read.events, 150u);
    for (u64 cap = 200; cap < 700; ++cap) {
        const std::vector<u8> bytes = writeEvents(20, true, cap, 100).bytes;
        ASSERT_LE(bytes.size(), cap);
        const auto small = test::readAll(bytes);
        ASSERT_EQ(small.status, Status::end) << cap;
        ASSERT_NE(small.why.find("size cap"), std::string::npos) << cap << ": " << small.why;
    }
}



TEST(RecordFormat, ABlockIsStoredCompressedOnlyWhenThatIsSmaller)
{
    const auto firstTag = [](const std::vector<u8> &bytes) { return getWord(bytes.data() + kFileHeaderBytes); };
    const std::vector<u8> incompressible = writeEvents(1, true, 1u << 20, 3000).bytes;
    EXPECT_EQ(firstTag(incompressible), kTagEvents);
    // The event (7 bytes around its body: code, key, mask, count, its second
    // argument, length), the file header and two block headers: nothing grew.
    EXPECT_EQ(incompressible.size(), 3000 + 7 + kFileHeaderBytes + 2 * kBlockHeaderBytes + 1);
    EXPECT_EQ(firstTag(writeEvents(1, false, 1u << 20, 3000).bytes), kTagZstd);
}

// A file with one block of one event whose last byte string says it is longer
// than what is left of the block, though not longer than the block: damage,
// not an event that reads on into the end block.
TEST(RecordFormat, AByteStringLongerThanTheRestOfItsBlockIsDamage)
{
    // SendMsg with an `in` field, its message 0, nothing differs from the
    // channel, then `in` whole, of 5 bytes, with 2 left.
    const std::vector<u8> payload = {static_cast<u8>(static_cast<u8>(Op::ZEP_MNG_SendMsg) | kCodeHasIn), 0, 0, 5 << 1,
                                     0xaa, 0xbb};
    std::vector<u8> bytes(kFileHeaderBytes + kBlockHeaderBytes);
    std::memcpy(bytes.data(), kMagic, sizeof kMagic);
    putWord(bytes.data() + 8, kVersion);
    putBlockHeader(bytes.data() + kFileHeaderBytes, kTagEvents, payload, 1);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    const u8 closed = 0;
    const std::size_t end = bytes.size();
    bytes.resize(end + kBlockHeaderBytes + 1);
    putBlockHeader(bytes.data() + end, kTagEnd, {&closed, 1}, 0);
    const auto read = test::readAll(bytes);
    EXPECT_EQ(read.status, Status::damaged);
    EXPECT_EQ(read.why, "byte " + std::to_string(kFileHeaderBytes + kBlockHeaderBytes) +
                            ": event does not decode");
}

}  // namespace
}  // namespace zep::record
