// Recording format: the constants and the event shape that the recorder, the
// reader and the replay share. docs/recording.md describes the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "zep_operations.h"

namespace zep::record {

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using u32 = std::uint32_t;
using u64 = std::uint64_t;

inline constexpr char kMagic[8] = {'Z', 'E', 'P', 'R', 'E', 'C', '\r', '\n'};
inline constexpr u32 kVersion = 3;
inline constexpr std::size_t kFileHeaderBytes = 16;   // magic, version, reserved
inline constexpr std::size_t kBlockHeaderBytes = 20;  // tag, bytes, events, crc, header crc
// Largest payload a block may carry; the reader refuses more before allocating.
inline constexpr u32 kMaxBlockPayload = 1u << 20;
// The writer closes a block once this much is buffered, at an event boundary.
inline constexpr u32 kBlockTarget = 64u << 10;
inline constexpr u32 kMaxArgs = 8;
// Log formats and %s strings are recorded once each and named by id after:
// at most this many, each at most kMaxTextBytes long.
inline constexpr u32 kMaxTexts = 2048;
inline constexpr u32 kMaxTextBytes = 4095;

inline constexpr u32 kTagEvents = 0x314b4c42;  // "BLK1": events as they are
inline constexpr u32 kTagZstd = 0x5a4b4c42;    // "BLKZ": events compressed, one zstd frame
inline constexpr u32 kTagEnd = 0x444e4542;     // "BEND"

// Why a recording ends: the last byte of the end block.
enum class EndReason : u8 { closed = 0, capReached = 1, eventTooLarge = 2, tooManyTexts = 3 };

enum class CallKind : u8 {
    in = 1,        // the framework called into the application
    ret = 2,       // that call returned
    op = 3,        // the application called the framework
    callback = 4,  // the framework called an application callback inside a walk
    format = 5,    // a log format's text, the first time the application used it
    string = 6,    // a %s argument's text, the first time it came from that place
};

// How the framework entered the application (the `id` of an in event).
enum class Entry : u8 { init = 0, deinit = 1, event = 2, rpc = 3, timer = 4, config = 5, prim = 6 };

// The recorded rows of the table of operations, in its order: an operation's
// id is its place among them, which makes that order part of the format.
#define ZEP_RECORD_OP_ENUMERATOR(name, replay, ...)                               \
    ZEP_OP_WHEN(ZEP_OP_RECORDED_##replay, name, )
enum class Op : u8 { ZEP_OPERATIONS(ZEP_RECORD_OP_ENUMERATOR) count };
#undef ZEP_RECORD_OP_ENUMERATOR

// Ids that recordings already carry: a row recorded out of its place, or one
// that moved, would make every recording read as other operations.
static_assert(static_cast<u8>(Op::ZEP_MNG_RegApp) == 0 && static_cast<u8>(Op::ZEP_HASH_DeleteTable) == 28 &&
              static_cast<u8>(Op::UMAC_BITMAP_SetBit) == 34 && static_cast<u8>(Op::ZEP_DBG_Print) == 53 &&
              static_cast<u8>(Op::count) == 54);

// What the recorder and a replay need to know of a recorded operation.
struct OpTraits {
    std::string_view name;
    bool answered;   // a replay gives back the recorded result; else the emulation computes it
    bool fallible;   // it can fail for reasons outside the module (no memory, an injected fault)
    bool nullFails;  // a null result is its failure, recorded as the pointer given or not
};

#define ZEP_RECORD_OP_TRAITS(name, replay, fault, failure, ...)                                 \
    ZEP_OP_WHEN(ZEP_OP_RECORDED_##replay, {#name, ZEP_OP_ANSWERED_##replay != 0,                   \
                                           ZEP_OP_FALLIBLE_##fault != 0, ZEP_OP_NULL_FAILS_##failure != 0}, )
// By id.
inline constexpr OpTraits kOps[] = {ZEP_OPERATIONS(ZEP_RECORD_OP_TRAITS)};
#undef ZEP_RECORD_OP_TRAITS
static_assert(std::size(kOps) == static_cast<std::size_t>(Op::count));

inline std::string_view opName(u8 op)
{
    return op < static_cast<u8>(Op::count) ? kOps[op].name : std::string_view("unknown operation");
}

class TextTable;

// One event, as the writer takes it and the reader gives it back. `id` is the
// operation (op), the entry (in), or unused; `in` carries the bytes the caller
// handed over (a body, a key, a log line), `out` what came back (a record,
// an RPC's reply). The spans of a read event live until the next read.
struct RecordedCall {
    CallKind kind = CallKind::op;
    u8 id = 0;
    u8 argCount = 0;
    u64 args[kMaxArgs] = {};
    std::span<const u8> in;
    u64 ret = 0;
    std::span<const u8> out;
    // Set by the reader on log lines: the formats and strings recorded so far,
    // which the line's references name.
    const TextTable *texts = nullptr;
};

// What a log line event carries in its arguments.
enum LogArg : u32 { logSeverity, logModule, logCategory, logHasStation, logStation, logFormatRef, logArgCount };

}  // namespace zep::record
