// A block's events on arbitrary bytes, past the checksums that keep most of
// the reader's target away from them: each event decodes against its channel
// or is refused, never reading outside the bytes given or a channel's copy
// (every byte it hands out is read here, under the sanitizers), and an event
// that decodes, written again by the writer's half and read back, is the same
// event.
#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <cstring>
#include <vector>

#include "record_channels.hpp"

namespace {

bool same(const zep::record::RecordedCall &a, const zep::record::RecordedCall &b)
{
    return a.kind == b.kind && a.id == b.id && a.argCount == b.argCount &&
           std::memcmp(a.args, b.args, a.argCount * sizeof a.args[0]) == 0 && a.ret == b.ret &&
           a.in.size() == b.in.size() && a.out.size() == b.out.size() &&
           (a.in.empty() || std::memcmp(a.in.data(), b.in.data(), a.in.size()) == 0) &&
           (a.out.empty() || std::memcmp(a.out.data(), b.out.data(), a.out.size()) == 0);
}


}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace zep::record;
    std::vector<Channel> read(kChannelCount), written(kChannelCount), readAgain(kChannelCount);
    const std::span<const u8> bytes(data, size);
    std::vector<u8> again;
    u64 pos = 0;
    volatile unsigned sum = 0;
    RecordedCall event, back;
    while (pos < size) {
        const u64 start = pos;
        if (!decodeEvent(bytes, pos, event, read.data())) {
            break;
        }
        if (pos <= start || pos > size || event.argCount > kMaxArgs) {
            std::abort();
        }
        sum = sum + std::accumulate(event.in.begin(), event.in.end(), 0u) + std::accumulate(event.out.begin(), event.out.end(), 0u);
        again.resize(3 + (kMaxArgs + 2) * 10 + fieldBound(event.in.size()) + fieldBound(event.out.size()));
        const u8 *end = encodeEvent(again.data(), event, written.data());
        u64 at = 0;
        const std::span<const u8> rewritten(again.data(), static_cast<std::size_t>(end - again.data()));
        if (!decodeEvent(rewritten, at, back, readAgain.data()) || at != rewritten.size() || !same(event, back)) {
            std::abort();
        }
    }
    return 0;
}
