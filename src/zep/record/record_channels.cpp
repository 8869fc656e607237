// The reader's half of the channels: every count, mask and length is checked
// against what the writer can produce before it is used. A replay decodes
// every event of a recording, so the usual case (an event well inside its
// block, one or two changed arguments) takes the short way.
#include "record_channels.hpp"

#include <array>
#include <cstring>

namespace zep::record {

namespace {

// Bytes an event's code, key, masks and arguments take at most: with this much
// left in the block they are read without checking each byte's place.
constexpr u64 kMaxHeadBytes = 1 + 10 + 1 + 1 + (kMaxArgs + 1) * 10;

// A varint from a place known to hold one whole, or false on one too long.
inline bool takeVarint(const u8 *&at, u64 &value)
{
    value = 0;
    for (u32 shift = 0; shift < 64; shift += 7) {
        const u8 byte = *at++;
        value |= static_cast<u64>(byte & 0x7f) << shift;
        if ((byte & 0x80) == 0) {
            return true;
        }
    }
    return false;
}

// The changed bytes of one 8-byte word at off, into the kept copy.
inline bool applyWord(std::span<const u8> bytes, u64 &pos, u8 *kept, u32 off, u32 len)
{
    // A word's byte mask and its bytes take at most 9.
    if (bytes.size() - pos < 9 &&
        (pos >= bytes.size() || 1u + std::popcount(static_cast<u32>(bytes[pos])) > bytes.size() - pos)) {
        return false;
    }
    u32 changed = bytes[pos++];
    if (changed == 0 || (changed >> len) != 0) {
        return false;
    }
    for (; changed != 0; changed &= changed - 1) {
        kept[off + static_cast<u32>(std::countr_zero(changed))] = bytes[pos++];
    }
    return true;
}

// The changed bytes of the words named in one byte of a word mask, the first
// of them at base.
inline bool applyWords(std::span<const u8> bytes, u64 &pos, u8 *kept, u32 size, u32 words, u32 base)
{
    for (; words != 0; words &= words - 1) {
        const u32 off = base + 8 * static_cast<u32>(std::countr_zero(words));
        if (!applyWord(bytes, pos, kept, off, size - off < 8 ? size - off : 8)) {
            return false;
        }
    }
    return true;
}

// The changed bytes of a field written as what differs, into the kept copy.
inline bool applyChanges(std::span<const u8> bytes, u64 &pos, u8 *kept, u32 size)
{
    const u32 maskLen = maskBytes(size);
    if (maskLen > bytes.size() - pos) {
        return false;
    }
    const u8 *const mask = bytes.data() + pos;
    pos += maskLen;
    // No bit past the field's last word.
    const u32 lastWords = (size + 7) / 8 - 8 * (maskLen - 1);
    if ((static_cast<u32>(mask[maskLen - 1]) >> lastWords) != 0) {
        return false;
    }
    if (maskLen == 1) [[likely]] {
        return applyWords(bytes, pos, kept, size, mask[0], 0);
    }
    for (u32 i = 0; i < maskLen; ++i) {
        if (!applyWords(bytes, pos, kept, size, mask[i], 64 * i)) {
            return false;
        }
    }
    return true;
}

inline bool getField(std::span<const u8> bytes, u64 &pos, std::span<const u8> &field, u8 *kept, u16 &keptSize, u32 cap)
{
    u64 head = 0;
    if (!getVarint(bytes, pos, head)) {
        return false;
    }
    const u64 size = head >> 1;
    if ((head & 1) != 0) {
        // Written as what differs: only against a kept field of the same length.
        if (size == 0 || size > cap || size != static_cast<u64>(keptSize) ||
            !applyChanges(bytes, pos, kept, static_cast<u32>(size))) {
            return false;
        }
        field = {kept, static_cast<std::size_t>(size)};
        return true;
    }
    if (size > bytes.size() - pos) {
        return false;
    }
    field = bytes.subspan(pos, size);
    pos += size;
    keptSize = size <= cap ? static_cast<u16>(size) : kNotKept;
    if (keptSize != kNotKept && size != 0) {
        std::memcpy(kept, field.data(), size);
    }
    return true;
}

// What a code is, looked up once per code rather than worked out per event.
struct CodeInfo {
    bool valid = false;
    CallKind kind = CallKind::op;
    u8 id = 0;
    int key = -1;
};

constexpr std::array<CodeInfo, 128> makeCodes()
{
    std::array<CodeInfo, 128> codes{};
    for (u32 code = 0; code < codes.size(); ++code) {
        CodeInfo &c = codes[code];
        c.key = keyArg(static_cast<u8>(code));
        if (code < static_cast<u32>(Op::count)) {
            c = {true, CallKind::op, static_cast<u8>(code), c.key};
        } else if (code >= kCodeIn && code <= kCodeIn + static_cast<u32>(Entry::prim)) {
            c = {true, CallKind::in, static_cast<u8>(code - kCodeIn), c.key};
        } else if (code >= kCodeOther && code < kCodeEnd) {
            const auto kind = static_cast<CallKind>(code - kCodeOther);
            c.valid = kind != CallKind::in && kind != CallKind::op;
            c.kind = kind;
        }
    }
    return codes;
}

constexpr std::array<CodeInfo, 128> kCodes = makeCodes();

// The arguments and ret that differ, from `at` (which has kMaxHeadBytes
// readable), into the channel; false when the mask names what the writer
// would not have written.
[[gnu::always_inline]] inline bool takeArgs(const u8 *&at, Channel &c, u8 mask, u8 argCount, int key)
{
    const u32 argBits = mask & ((1u << kMaskedArgs) - 1);
    if ((argBits >> argCount) != 0) {
        return false;
    }
    u64 v = 0;
    for (u32 bits = argBits; bits != 0; bits &= bits - 1) {
        if (!takeVarint(at, v)) {
            return false;
        }
        c.args[std::countr_zero(bits)] += unzigzag(v);
    }
    for (u32 i = kMaskedArgs; i < argCount; ++i) {
        if (static_cast<int>(i) == key) {
            continue;
        }
        if (!takeVarint(at, v)) {
            return false;
        }
        c.args[i] += unzigzag(v);
    }
    for (u32 i = argCount; i < c.argCount; ++i) {
        c.args[i] = 0;
    }
    c.argCount = argCount;
    if ((mask & kMaskRet) != 0) {
        if (!takeVarint(at, v) || v == 0) {
            return false;
        }
        c.ret += unzigzag(v);
    }
    return true;
}

// The code, key, masks, arguments and ret, from `at` (kMaxHeadBytes readable).
[[gnu::always_inline]] inline bool takeHead(const u8 *&at, RecordedCall &event, Channel *channels, Channel *&channel, u8 &mask)
{
    const u8 code = *at & ~kCodeHasIn;
    ++at;
    const CodeInfo &info = kCodes[code];
    if (!info.valid) {
        return false;
    }
    event.kind = info.kind;
    event.id = info.id;
    const int key = info.key;
    u64 keyValue = 0;
    if (key >= 0 && !takeVarint(at, keyValue)) {
        return false;
    }
    Channel &c = channels[channelOf(code, key, keyValue)];
    channel = &c;
    if (key >= 0) {
        c.args[key] = keyValue;
    }
    mask = *at++;
    u8 argCount = c.argCount;
    if ((mask & kMaskCount) != 0) {
        if (*at > kMaxArgs || *at == c.argCount) {
            return false;
        }
        argCount = *at++;
    }
    if (!takeArgs(at, c, mask, argCount, key)) {
        return false;
    }
    event.argCount = argCount;
    std::memcpy(event.args, c.args, sizeof event.args);
    if (key >= argCount) {
        event.args[key] = 0;  // a key past the count stays the channel's, not the event's
    }
    event.ret = c.ret;
    return true;
}


// The head of an event near its block's end, copied out first so that it too
// is read with no check per byte: a short copy ends in zeros, which end any
// varint. Out of line, so that the usual event's frame has no room for it.
[[gnu::noinline]] bool takeHeadNearEnd(std::span<const u8> bytes, u64 &pos, RecordedCall &event, Channel *channels,
                                       Channel *&c, u8 &mask)
{
    u8 tail[kMaxHeadBytes] = {};
    std::memcpy(tail, bytes.data() + pos, bytes.size() - pos);
    const u8 *at = tail;
    if (!takeHead(at, event, channels, c, mask)) {
        return false;
    }
    pos += static_cast<u64>(at - tail);
    return pos <= bytes.size();  // or the head ran into the zeros past the block
}

}  // namespace

bool decodeEvent(std::span<const u8> bytes, u64 &pos, RecordedCall &event, Channel *channels)
{
    if (pos >= bytes.size()) {
        return false;
    }
    const bool hasIn = (bytes[pos] & kCodeHasIn) != 0;
    Channel *c = nullptr;
    u8 mask = 0;
    if (bytes.size() - pos >= kMaxHeadBytes) [[likely]] {
        const u8 *at = bytes.data() + pos;
        if (!takeHead(at, event, channels, c, mask)) {
            return false;
        }
        pos = static_cast<u64>(at - bytes.data());
    } else if (!takeHeadNearEnd(bytes, pos, event, channels, c, mask)) {
        return false;
    }
    event.in = {};
    event.out = {};
    if (!hasIn) {
        c->inSize = 0;
    } else if (!getField(bytes, pos, event.in, c->in, c->inSize, kChannelInBytes) || event.in.empty()) {
        return false;
    }
    if ((mask & kMaskOut) == 0) {
        c->outSize = 0;
        return true;
    }
    return getField(bytes, pos, event.out, c->out, c->outSize, kChannelOutBytes) && !event.out.empty();
}

}  // namespace zep::record
