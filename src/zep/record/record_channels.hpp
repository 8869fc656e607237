// Events as what changed: each event is written against the last event of its
// channel (the same operation, and for sends, entries and log lines the same
// message or format), so that only the arguments and the bytes that differ
// take room. The writer and the reader keep the same channels and update them
// the same way, event by event; docs/recording.md describes the bytes.
#pragma once

#include <array>
#include <bit>
#include <cstring>

#include "record_codec.hpp"

namespace zep::record {

// What the channels remember of each event's bytes: a field up to this long is
// kept and the next one of the same length is written as the bytes that differ.
inline constexpr u32 kChannelInBytes = 2048;  // an RPC's request: 1.2 KiB
inline constexpr u32 kChannelOutBytes = 2048;  // an RPC's reply
inline constexpr u32 kChannelCount = 256;
// Arguments past this many are written whole; the first ones only when they differ.
inline constexpr u32 kMaskedArgs = 5;

inline constexpr u16 kNotKept = 0xffff;

struct Channel {
    u64 args[kMaxArgs] = {};
    u64 ret = 0;
    u8 argCount = 0;
    u16 inSize = 0;   // bytes kept in `in`; kNotKept when the last field was too long to keep
    u16 outSize = 0;
    u8 in[kChannelInBytes] = {};
    u8 out[kChannelOutBytes] = {};
};

// The first byte of an event: its kind and id in one code, and whether an `in` field follows.
inline constexpr u8 kCodeIn = 64;       // + Entry
inline constexpr u8 kCodeOther = 80;    // + CallKind, for ret, callback, format and string
inline constexpr u8 kCodeEnd = kCodeOther + static_cast<u8>(CallKind::string) + 1;
inline constexpr u8 kCodeHasIn = 0x80;
// The second byte: which of the first arguments differ, whether ret does,
// whether an `out` field follows, whether the count differs.
inline constexpr u8 kMaskRet = 0x20;
inline constexpr u8 kMaskOut = 0x40;
inline constexpr u8 kMaskCount = 0x80;

constexpr u8 eventCode(CallKind kind, u8 id)
{
    switch (kind) {
    case CallKind::op:
        return id;
    case CallKind::in:
        return static_cast<u8>(kCodeIn + id);
    default:
        return static_cast<u8>(kCodeOther + static_cast<u8>(kind));
    }
}

// The argument that picks the channel among several of the same code (it is
// written first and whole), or -1: the message of a send or an entry, the
// format of a log line.
constexpr int keyArg(u8 code)
{
    if (code >= kCodeIn && code < kCodeOther) {
        return 0;
    }
    switch (code) {
    case static_cast<u8>(Op::ZEP_MNG_SendMsg):
        return 2;
    case static_cast<u8>(Op::ZEP_MNG_SendIPCMsg):
        return 1;
    case static_cast<u8>(Op::ZEP_DBG_Print):
        return logFormatRef;
    default:
        return -1;
    }
}

// Codes have a channel each among the first 128; keyed events share the other
// 128 by a hash of code and key. Two keys on one channel cost room, never
// correctness: both sides pick the same channel.
inline constexpr u32 kKeyedChannels = 128;
static_assert(kCodeEnd <= kChannelCount - kKeyedChannels);
inline u32 channelOf(u8 code, int key, u64 keyValue)
{
    if (key < 0) {
        return code;
    }
    const u64 h = (keyValue + (static_cast<u64>(code) << 32)) * 0x9e3779b97f4a7c15ull;
    return kChannelCount - kKeyedChannels + static_cast<u32>(h >> 57);
}

inline u64 zigzag(u64 delta) { return (delta << 1) ^ (0 - (delta >> 63)); }
inline u64 unzigzag(u64 v) { return (v >> 1) ^ (0 - (v & 1)); }

// A word of up to 8 bytes, byte k of the field being byte k of the word on
// every host. A whole word is one load; only a field's last word may be short.
inline u64 loadWord(const u8 *at, u32 size)
{
    u64 w = 0;
    if (size == 8) [[likely]] {
        std::memcpy(&w, at, 8);
        return std::endian::native == std::endian::big ? __builtin_bswap64(w) : w;
    }
    for (u32 k = 0; k < size; ++k) {
        w |= static_cast<u64>(at[k]) << (8 * k);
    }
    return w;
}

inline void storeWord(u8 *at, u64 w, u32 size)
{
    if (size == 8) [[likely]] {
        w = std::endian::native == std::endian::big ? __builtin_bswap64(w) : w;
        std::memcpy(at, &w, 8);
        return;
    }
    for (u32 k = 0; k < size; ++k) {
        at[k] = static_cast<u8>(w >> (8 * k));
    }
}

// Bit k set where byte k of x is not zero.
inline u32 nonZeroBytes(u64 x)
{
    x |= x >> 4;
    x |= x >> 2;
    x |= x >> 1;
    return static_cast<u32>(((x & 0x0101010101010101ull) * 0x0102040810204080ull) >> 56);
}

// A field's word mask: one bit per 8-byte word, one byte per 8 words.
inline u32 maskBytes(u32 size) { return (size + 63) / 64; }

// Bytes a field takes at most once written, whichever way.
inline constexpr u64 fieldBound(std::size_t size)
{
    return size + 10 + (kChannelInBytes > kChannelOutBytes ? kChannelInBytes : kChannelOutBytes) / 8 * 10;
}

// Writes a field: whole (its length, then its bytes), or, when the channel
// kept one of the same length, as a mask of the 8-byte words that differ,
// each followed by a mask of its bytes that differ and those bytes.
// A field whole: its length (with the delta bit clear), then its bytes.
inline u8 *putWhole(u8 *at, std::span<const u8> field)
{
    at = putVarint(at, static_cast<u64>(field.size()) << 1);
    if (!field.empty()) {
        std::memcpy(at, field.data(), field.size());
    }
    return at + field.size();
}

// One changed word: a mask of its bytes that differ, then those bytes.
inline u8 *putWordChange(u8 *at, u64 now, u64 diff)
{
    u32 bytes = nonZeroBytes(diff);
    *at++ = static_cast<u8>(bytes);
    for (; bytes != 0; bytes &= bytes - 1) {
        *at++ = static_cast<u8>(now >> (8 * std::countr_zero(bytes)));
    }
    return at;
}

// The words of a field that differ from the kept copy of the same length:
// the word mask, then each changed word; the kept copy becomes the field.
inline u8 *putChanges(u8 *at, const u8 *field, u8 *kept, u32 size)
{
    u8 *const wordMask = at;
    const u32 maskLen = maskBytes(size);
    wordMask[0] = 0;
    for (u32 i = 1; i < maskLen; ++i) {
        wordMask[i] = 0;
    }
    at += maskLen;
    const auto put = [&](u32 w, u64 now, u64 was) {
        wordMask[w >> 3] |= static_cast<u8>(1u << (w & 7));
        at = putWordChange(at, now, now ^ was);
    };
    const u32 whole = size / 8;
    for (u32 w = 0; w < whole; ++w) {
        const u64 now = loadWord(field + 8 * w, 8);
        const u64 was = loadWord(kept + 8 * w, 8);
        if (now != was) {
            put(w, now, was);
            storeWord(kept + 8 * w, now, 8);
        }
    }
    const u32 tail = size % 8;
    if (tail != 0) {
        // A short last word: the field's last 8 bytes shifted down, one load
        // rather than one per byte (a field shorter than a word is read bytewise).
        const u32 off = size - tail;
        const u32 shift = 8 * (8 - tail);
        const u64 now = size >= 8 ? loadWord(field + size - 8, 8) >> shift : loadWord(field, tail);
        const u64 was = size >= 8 ? loadWord(kept + size - 8, 8) >> shift : loadWord(kept, tail);
        if (now != was) {
            put(whole, now, was);
            storeWord(kept + off, now, tail);
        }
    }
    return at;
}

inline u8 *putField(u8 *at, std::span<const u8> field, u8 *kept, u16 &keptSize, u32 cap)
{
    const auto size = static_cast<u32>(field.size());
    if (size != static_cast<u32>(keptSize) || size == 0 || size > cap) {
        keptSize = size <= cap ? static_cast<u16>(size) : kNotKept;
        if (keptSize != kNotKept && size != 0) {
            std::memcpy(kept, field.data(), size);
        }
        return putWhole(at, field);
    }
    u8 *const start = at;
    at = putChanges(putVarint(at, static_cast<u64>(size) << 1 | 1), field.data(), kept, size);
    if (static_cast<u64>(at - start) > size + 3) [[unlikely]] {
        // Most of it changed: whole is shorter (the kept copy is the field already).
        return putWhole(start, field);
    }
    return at;
}

// An argument or result that differs from the channel's: the zigzag varint of
// the difference, and the channel takes the new value.
inline u8 *putDelta(u8 *at, u64 now, u64 &kept)
{
    at = putVarint(at, zigzag(now - kept));
    kept = now;
    return at;
}

// An event's `in` and `out`, each against the channel's kept one. Out of line:
// most events have neither, and the encoding inlined into each operation's
// recording half then needs no frame large enough for the fields' work.
[[gnu::noinline]] inline u8 *putFields(u8 *at, std::span<const u8> in, std::span<const u8> out, Channel &c)
{
    if (in.empty()) {
        c.inSize = 0;
    } else {
        at = putField(at, in, c.in, c.inSize, kChannelInBytes);
    }
    if (out.empty()) {
        c.outSize = 0;
        return at;
    }
    return putField(at, out, c.out, c.outSize, kChannelOutBytes);
}

// Each code's key argument (keyArg), looked up rather than worked out per event.
inline constexpr std::array<signed char, 128> kKeyArgs = [] {
    std::array<signed char, 128> keys{};
    for (u32 code = 0; code < keys.size(); ++code) {
        keys[code] = static_cast<signed char>(keyArg(static_cast<u8>(code)));
    }
    return keys;
}();

// The writer's half: encodes event at `at` against its channel and moves the
// channel on; returns the end. Its result and `out` are given apart, so that a
// call built before its result was known is encoded as it is, not copied.
inline u8 *encodeEvent(u8 *at, const RecordedCall &event, u64 ret, std::span<const u8> out, Channel *channels)
{
    const u8 code = eventCode(event.kind, event.id);
    const int key = kKeyArgs[code & 0x7f];
    Channel &c = channels[channelOf(code, key, key >= 0 ? event.args[key] : 0)];
    *at++ = static_cast<u8>(code | (event.in.empty() ? 0 : kCodeHasIn));
    if (key >= 0) {
        at = putVarint(at, event.args[key]);
        c.args[key] = event.args[key];
    }
    u8 *const maskAt = at++;
    u8 mask = out.empty() ? 0 : kMaskOut;
    const u32 count = event.argCount;
    if (count != c.argCount) [[unlikely]] {
        mask |= kMaskCount;
        *at++ = event.argCount;
        for (u32 i = count; i < c.argCount; ++i) {
            c.args[i] = 0;
        }
        c.argCount = event.argCount;
    }
    // The first arguments only when they differ (the key never: the channel
    // has it already), every one after them but the key.
    const u32 masked = count < kMaskedArgs ? count : kMaskedArgs;
    for (u32 i = 0; i < masked; ++i) {
        if (event.args[i] != c.args[i]) {
            mask |= static_cast<u8>(1u << i);
            at = putDelta(at, event.args[i], c.args[i]);
        }
    }
    for (u32 i = kMaskedArgs; i < count; ++i) {
        if (static_cast<int>(i) != key) {
            at = putDelta(at, event.args[i], c.args[i]);
        }
    }
    if (ret != c.ret) {
        mask |= kMaskRet;
        at = putDelta(at, ret, c.ret);
    }
    *maskAt = mask;
    if (event.in.empty() && out.empty()) [[likely]] {
        c.inSize = 0;
        c.outSize = 0;
        return at;
    }
    return putFields(at, event.in, out, c);
}

inline u8 *encodeEvent(u8 *at, const RecordedCall &event, Channel *channels)
{
    return encodeEvent(at, event, event.ret, event.out, channels);
}

// The reader's half: decodes the event at pos against its channel, moving
// both on; false when the bytes are not an event this version writes. The
// event's spans point into the channel or into bytes.
bool decodeEvent(std::span<const u8> bytes, u64 &pos, RecordedCall &event, Channel *channels);

}  // namespace zep::record
