// Events written as what changed since the last one of their channel: any
// sequence comes back exactly as it went in, a repeated event costs a few
// bytes, and bytes that claim changes the writer cannot have made are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "record_calls.hpp"
#include "record_channels.hpp"
#include "record_writer.hpp"

namespace zep::record {
namespace {

// Encodes events one after another into one buffer.
std::vector<u8> encodeStream(const std::vector<RecordedCall> &events)
{
    std::vector<Channel> channels(kChannelCount);
    const auto bound = [](const RecordedCall &e) { return Writer::encodedBound(e); };
    std::vector<u8> out(std::transform_reduce(events.begin(), events.end(), u64{0}, std::plus<>(), bound));
    u8 *at = out.data();
    for (const RecordedCall &e : events) {
        const u8 *const start = at;
        at = encodeEvent(at, e, channels.data());
        EXPECT_LE(static_cast<u64>(at - start), bound(e));
    }
    out.resize(static_cast<std::size_t>(at - out.data()));
    return out;
}

void expectSame(const RecordedCall &got, const RecordedCall &want, std::size_t n)
{
    ASSERT_EQ(got.kind, want.kind) << n;
    ASSERT_EQ(got.id, want.id) << n;
    ASSERT_EQ(got.argCount, want.argCount) << n;
    for (u32 a = 0; a < want.argCount; ++a) {
        ASSERT_EQ(got.args[a], want.args[a]) << n << " arg " << a;
    }
    ASSERT_EQ(got.ret, want.ret) << n;
    ASSERT_TRUE(std::ranges::equal(got.in, want.in)) << n;
    ASSERT_TRUE(std::ranges::equal(got.out, want.out)) << n;
}

// Events that resemble a recording's: few codes and keys, arguments and
// fields that mostly repeat, now and then a new length, a long field, an
// empty one, a changed count, a negative step.
struct Generator {
    std::mt19937 rng{20261208};
    std::vector<std::vector<u8>> fields;

    u32 pick(u32 n) { return std::uniform_int_distribution<u32>(0, n - 1)(rng); }

    RecordedCall next(const RecordedCall &last)
    {
        static constexpr u8 kIds[] = {static_cast<u8>(Op::ZEP_MNG_SendMsg), static_cast<u8>(Op::ZEP_DBG_Print),
                                      static_cast<u8>(Op::ZEP_STA_GetVapBssid), static_cast<u8>(Op::ZEP_MEMPOOL_Create)};
        RecordedCall e = pick(4) == 0 ? RecordedCall{} : last;
        e.kind = pick(6) == 0 ? CallKind::in : CallKind::op;
        e.id = e.kind == CallKind::in ? static_cast<u8>(pick(7)) : kIds[pick(4)];
        e.argCount = pick(8) == 0 ? static_cast<u8>(pick(kMaxArgs + 1)) : std::max<u8>(e.argCount, 3);
        for (u32 a = 0; a < kMaxArgs; ++a) {
            e.args[a] = a >= e.argCount ? 0 : pick(3) == 0 ? e.args[a] + pick(300) - 150 : pick(20) == 0 ? ~0ull - pick(5) : e.args[a];
        }
        e.args[2] = e.argCount > 2 ? pick(3) : 0;  // the message that picks a send's channel
        e.args[5] = e.argCount > 5 ? pick(40) : 0;  // the format that picks a line's channel
        e.ret = pick(4) == 0 ? pick(1000) : last.ret;
        // Now and then a field about as long as a channel keeps, either side of it.
        const auto size = [&](std::size_t lastSize) {
            return pick(5) != 0 ? lastSize : pick(8) == 0 ? kChannelInBytes - 4 + pick(8) : pick(200);
        };
        e.in = field(last.in, size(last.in.size()));
        e.out = field(last.out, size(last.out.size()));
        return e;
    }

    std::span<const u8> field(std::span<const u8> last, std::size_t size)
    {
        std::vector<u8> f(size);
        for (std::size_t i = 0; i < size; ++i) {
            f[i] = i < last.size() && pick(10) != 0 ? last[i] : static_cast<u8>(pick(256));
        }
        fields.push_back(std::move(f));
        return fields.back();
    }
};

TEST(RecordChannels, AnySequenceComesBackAsWritten)
{
    Generator gen;
    gen.fields.reserve(2 * 20000 + 2);
    std::vector<RecordedCall> events;
    RecordedCall last;
    for (int i = 0; i < 20000; ++i) {
        last = gen.next(last);
        events.push_back(last);
    }
    const std::vector<u8> bytes = encodeStream(events);
    std::vector<Channel> channels(kChannelCount);
    u64 pos = 0;
    for (std::size_t n = 0; n < events.size(); ++n) {
        RecordedCall got;
        ASSERT_TRUE(decodeEvent(bytes, pos, got, channels.data())) << n;
        expectSame(got, events[n], n);
    }
    EXPECT_EQ(pos, bytes.size());
}

// What a channel saves: a send repeated with one byte of its body changed
// takes its code, its message, a mask, the length, and one word's change; an
// entry of the same message between the sends keeps a channel of its own, so
// it costs its code, key, mask, and a field with no change.
TEST(RecordChannels, ARepeatedEventTakesOnlyWhatChanged)
{
    std::vector<std::vector<u8>> bodies(100, std::vector<u8>(40, 0x5a));
    const std::vector<u8> report(24, 0x11);
    std::vector<RecordedCall> events;
    RecordedCall entry = calls::op(Op::count, {167, 24}, report);
    entry.kind = CallKind::in;
    entry.id = static_cast<u8>(Entry::event);
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        bodies[i][17] = static_cast<u8>(i);
        events.push_back(calls::op(Op::ZEP_MNG_SendMsg, {0, 0, 167, 40}, bodies[i]));
        events.push_back(entry);
    }
    const std::vector<u8> first = encodeStream({events[0], events[1]});
    const std::vector<u8> all = encodeStream(events);
    // send: code, key (2 bytes), mask, then byte 17's word: field head, word mask, byte mask, the byte.
    // entry: code, key (2 bytes), mask, field head, an empty word mask.
    EXPECT_EQ(all.size() - first.size(), 99u * ((1 + 2 + 1 + 1 + 1 + 1 + 1) + (1 + 2 + 1 + 1 + 1)));
}

// Bytes a writer cannot have produced are refused, never applied.
TEST(RecordChannels, ChangesTheWriterCannotHaveMadeAreRefused)
{
    const std::vector<u8> body(12, 1);
    const std::vector<u8> first = encodeStream({calls::op(Op::ZEP_MNG_SendMsg, {0, 0, 0, 0}, body)});
    const u8 code = static_cast<u8>(Op::ZEP_MNG_SendMsg) | kCodeHasIn;
    const u8 deltaOf12 = 12 << 1 | 1;
    const struct {
        std::vector<u8> next;
        const char *what;
    } cases[] = {
        {{code, 0, 0, deltaOf12, 0x01, 0x01, 7}, "the event decodes (the control case)"},
        {{code, 0, 0, deltaOf12, 0x04, 0x01, 7}, "a word past the field"},
        {{code, 0, 0, deltaOf12, 0x02, 0x10, 7}, "a byte past the field's last word"},
        {{code, 0, 0, deltaOf12, 0x01, 0x00}, "a changed word with no changed byte"},
        {{code, 0, 0, (11 << 1) | 1, 0x01, 0x01, 7}, "a change to a field of another length"},
        {{code, 0, 0, deltaOf12, 0x01, 0x03, 7}, "fewer bytes than the mask names"},
        {{code, 0, kMaskRet, 0}, "a changed ret that does not change"},
        {{code, 0, kMaskCount, 4}, "a count that is the channel's own"},
        {{code, 0, 0x10, 1, deltaOf12, 0}, "an argument past the count"},
        {{static_cast<u8>(kCodeEnd), 0}, "a code no event has"},
    };
    for (const auto &c : cases) {
        std::vector<u8> bytes = first;
        bytes.insert(bytes.end(), c.next.begin(), c.next.end());
        std::vector<Channel> channels(kChannelCount);
        u64 pos = 0;
        RecordedCall e;
        ASSERT_TRUE(decodeEvent(bytes, pos, e, channels.data()));
        const bool ok = decodeEvent(bytes, pos, e, channels.data()) && pos == bytes.size();
        EXPECT_EQ(ok, &c == &cases[0]) << c.what;
    }
}

}  // namespace
}  // namespace zep::record
