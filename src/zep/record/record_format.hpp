// Recording format: the constants and the event shape that the recorder, the
// reader and the replay share. docs/recording.md describes the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

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

enum class EventKind : u8 {
    in = 1,        // the framework called into the application
    ret = 2,       // that call returned
    op = 3,        // the application called the framework
    callback = 4,  // the framework called an application callback inside a walk
    format = 5,    // a log format's text, the first time the application used it
    string = 6,    // a %s argument's text, the first time it came from that place
};

// How the framework entered the application (the `id` of an in event).
enum class Entry : u8 { init = 0, deinit = 1, event = 2, rpc = 3, timer = 4, config = 5, prim = 6 };

// Every framework operation the application imports and the recording keeps,
// in one list. Not in it: UMAC_BITMAP_IsBitUp and ZEP_HASH_FindNode, pure reads
// of the application's own memory that a replay computes again.
#define ZEP_RECORD_OPS(X)                                                                          \
    X(ZEP_MNG_RegApp) X(ZEP_MNG_RegMsg) X(ZEP_MNG_UnRegMsg) X(ZEP_MNG_CheckMsgValid)               \
    X(ZEP_MNG_SendMsg) X(ZEP_MNG_SendIPCMsg) X(ZEP_MNG_FillTimerRegInfo)                           \
    X(ZEP_MNG_FillTimerMsgInfo) X(ZEP_MNG_StartTimer) X(ZEP_MNG_StopTimer)                         \
    X(ZEP_STA_RegAccessPrimHandle) X(ZEP_GetTick) X(ZEP_TmTickToMillSec) X(ZEP_HiPrecisionMsNow64) \
    X(ZEP_CFG_RegRadioSingleCfgMsg) X(ZEP_CFG_MsgParseSingleTlv) X(UMAC_OBJMNG_MallocDataArea)     \
    X(UMAC_OBJMNG_GetRadioDataInfo) X(UMAC_MallocZero) X(UMAC_Free) X(ZEP_Free)                    \
    X(ZEP_MEMPOOL_Create) X(ZEP_MEMPOOL_Malloc) X(ZEP_MEMPOOL_Free) X(ZEP_MEMPOOL_Destroy)         \
    X(ZEP_HASH_CreateNew) X(ZEP_HASH_AddNode) X(ZEP_HASH_DeleteNode)                               \
    X(ZEP_HASH_DeleteTable) X(ZEP_SLL_InsertInMiddle) X(ZEP_SLL_Delete) X(ZEP_SLL_Find)            \
    X(ZEP_SLL_MergeSort) X(ZEP_SLL_FreeAll) X(UMAC_BITMAP_SetBit)                                 \
    X(UMAC_BITMAP_ClearBit) X(UMAC_BITMAP_SetBitValue) X(ZEP_PROFILE_GetMaxRadioNum)               \
    X(ZEP_PROFILE_GetMaxVapNumPerRadio) X(ZEP_PROFILE_IsValidRadioId) X(ZEP_STA_GetRadioCurEirp)   \
    X(ZEP_STA_GetRadioMaxPower) X(ZEP_STA_GetRadioFreq) X(ZEP_STA_GetVapBssid)                     \
    X(ZEP_UAM_FindStaInfo) X(ZEP_NB_WalkApVapWithP2) X(ZEP_NB_GetNbScanEirp)                       \
    X(ZEP_NB_GetScanRadioId) X(ZEP_NB_GetRadioScanEirp) X(ZEP_NB_GetNbApVapBssidByTokenId)         \
    X(ZEP_NB_GetNbApVapEirpByTokenId) X(ZEP_NB_GetNbApRadioScanEirpByTokenId) X(ZEP_StrnCmp)       \
    X(ZEP_DBG_Print)

#define ZEP_RECORD_OP_ENUMERATOR(name) name,
enum class Op : u8 { ZEP_RECORD_OPS(ZEP_RECORD_OP_ENUMERATOR) count };
#undef ZEP_RECORD_OP_ENUMERATOR

#define ZEP_RECORD_OP_NAME(name) #name,
inline constexpr std::string_view kOpNames[] = {ZEP_RECORD_OPS(ZEP_RECORD_OP_NAME)};
#undef ZEP_RECORD_OP_NAME

inline std::string_view opName(u8 op)
{
    return op < static_cast<u8>(Op::count) ? kOpNames[op] : std::string_view("unknown operation");
}

class TextTable;

// One event, as the writer takes it and the reader gives it back. `id` is the
// operation (op), the entry (in), or unused; `in` carries the bytes the caller
// handed over (a body, a key, a log line), `out` what came back (a record,
// an RPC's reply). The spans of a read event live until the next read.
struct Event {
    EventKind kind = EventKind::op;
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

// A log line (ZEP_DBG_Print) as the recorder hands it to the writer, which
// writes it exactly as event() would be written but without building that
// event: its head (severity, module, category, whether a station was given,
// the station's MAC as a 48-bit number), its format's reference (its
// channel's key), its values as `in` and, for a format without an id, the
// format's own text as `out`.
struct LineEvent {
    u64 head[logFormatRef] = {};
    u64 formatRef = 0;
    std::span<const u8> values;
    std::span<const u8> ownFormat;

    Event event() const
    {
        Event e;
        e.id = static_cast<u8>(Op::ZEP_DBG_Print);
        e.argCount = logArgCount;
        for (u32 i = 0; i < logFormatRef; ++i) {
            e.args[i] = head[i];
        }
        e.args[logFormatRef] = formatRef;
        e.in = values;
        e.out = ownFormat;
        return e;
    }
};

}  // namespace zep::record
