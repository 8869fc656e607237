// The recording's limits at their edges: the size cap always leaves room for
// the end block, a block is stored compressed only when that makes it smaller,
// and a byte string inside an event never reaches past its block.
#include <gtest/gtest.h>

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

// Writes count sends with the given cap, each carrying size bytes, noise or
// all alike; the file's bytes.
std::vector<u8> written(u32 count, std::size_t size, bool random, u64 cap)
{
    return test::writtenFile(cap, [&](Writer &writer) {
        for (u32 i = 0; i < count; ++i) {
            const std::vector<u8> body = random ? noise(size, i) : std::vector<u8>(size, 0x5a);
            writer.add(calls::op(Op::ZEP_MNG_SendMsg, {i}, body));
        }
    });
}

// Every cap across the width of a few events: wherever the last event falls,
// the end block still fits under the cap and says why the recording stopped.
TEST(RecordLimits, TheCapLeavesRoomForTheEndBlockWhereverItFalls)
{
    for (u64 cap = 200; cap < 700; ++cap) {
        const std::vector<u8> bytes = written(20, 100, true, cap);
        ASSERT_LE(bytes.size(), cap);
        const auto read = test::readAll(bytes);
        ASSERT_EQ(read.status, Status::end) << cap;
        ASSERT_NE(read.why.find("size cap"), std::string::npos) << cap << ": " << read.why;
    }
}

TEST(RecordLimits, ABlockIsStoredCompressedOnlyWhenThatIsSmaller)
{
    const auto firstTag = [](const std::vector<u8> &bytes) { return getWord(bytes.data() + kFileHeaderBytes); };
    const std::vector<u8> incompressible = written(1, 3000, true, 1u << 20);
    EXPECT_EQ(firstTag(incompressible), kTagEvents);
    // The event (6 bytes around its body: code, key, mask, count, length), the
    // file header and two block headers: nothing grew.
    EXPECT_EQ(incompressible.size(), 3000 + 6 + kFileHeaderBytes + 2 * kBlockHeaderBytes + 1);
    EXPECT_EQ(firstTag(written(1, 3000, false, 1u << 20)), kTagZstd);
}

// A file with one block of one event whose last byte string says it is longer
// than what is left of the block, though not longer than the block: damage,
// not an event that reads on into the end block.
TEST(RecordLimits, AByteStringLongerThanTheRestOfItsBlockIsDamage)
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
