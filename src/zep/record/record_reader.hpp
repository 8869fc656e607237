// Reader of a recording, safe on any bytes: damage is reported with the byte
// offset where it was found, a file that ends early gives its complete blocks
// and says why it ends, and nothing is allocated beyond the bytes given.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "record_channels.hpp"
#include "recorded_log.hpp"

struct ZSTD_DCtx_s;
typedef struct ZSTD_DCtx_s ZSTD_DCtx;

namespace zep::record {

class Reader {
public:
    enum class Status {
        event,     // `next` filled an event
        end,       // the end block: closed, or stopped at the cap (see endReason)
        cutShort,  // the bytes stop inside a block or before the end block
        damaged,   // not a recording, another version, or bytes that fail their checks
    };

    // The whole recording in memory; the reader keeps a view of it.
    explicit Reader(std::span<const u8> bytes);
    ~Reader();
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    // Inline: the usual event (an operation other than a log line) costs its
    // decoding alone.
    Status next(RecordedCall &event)
    {
        if (blockEvents_ != 0 && !finished_) [[likely]] {
            const u64 at = inBlock_;
            if (!decodeEvent(block_, inBlock_, event, channels_.data())) [[unlikely]] {
                return undecodable(at);
            }
            --blockEvents_;
            event.texts = nullptr;
            if (event.kind == CallKind::op && (event.id != static_cast<u8>(Op::ZEP_DBG_Print) || namesFormat(event)))
                [[likely]] {
                ++eventsRead_;
                return Status::event;
            }
            return decoded(event, at);
        }
        return nextSlow(event);
    }
    // Checks every block's header, checksums and place without unpacking or
    // decoding its events, and says how the recording ends: the damage a
    // copy or a disk does is found this way before anything is played.
    // (An event that does not decode inside a block whose checksums hold can
    // only come from a forged file; `next` finds it where it is.)
    Status scanBlocks();
    // For end, cutShort and damaged: what happened, with the byte offset.
    const std::string &why() const { return why_; }
    EndReason endReason() const { return endReason_; }
    u64 eventsRead() const { return eventsRead_; }
    // The log formats and strings defined so far (the reader keeps their
    // definitions to itself; whoever writes the events again writes these first).
    const TextTable &texts() const { return *texts_; }

private:
    // A log line that names a format defined before it, the usual line: it
    // gets the texts its references name. Any other goes the long way.
    bool namesFormat(RecordedCall &line) const
    {
        if (line.argCount != logArgCount || !texts_->isFormat(line.args[logFormatRef] - kStringTextBase)) {
            return false;
        }
        line.texts = texts_.get();
        return true;
    }
    Status fail(Status status, u64 offset, const char *what);
    Status openBlock(bool unpackEvents = true);
    Status unpack(u64 at);
    Status advance();
    Status nextSlow(RecordedCall &event);
    Status decoded(RecordedCall &event, u64 at);
    Status undecodable(u64 at);
    Status checkHeader();
    const char *take(RecordedCall &event);
    const char *checkLine(RecordedCall &line) const;

    std::span<const u8> bytes_;
    u64 pos_ = 0;           // next block header
    std::span<const u8> block_;  // events of the current block
    std::vector<u8> unpacked_;   // a compressed block's events (at most kMaxBlockPayload)
    bool packed_ = false;        // block_ is unpacked_: offsets inside it are not file offsets
    u64 blockStart_ = 0;    // file offset of block_[0]
    u64 inBlock_ = 0;       // read position in block_
    u32 blockEvents_ = 0;   // events the header announced, still to read
    u64 eventsRead_ = 0;
    bool headerChecked_ = false;
    bool finished_ = false;
    Status finalStatus_ = Status::end;
    EndReason endReason_ = EndReason::closed;
    std::string why_;
    // The log formats and strings defined so far; a line event points at it.
    std::unique_ptr<TextTable> texts_;
    std::vector<Channel> channels_;  // what the next event was written against
    ZSTD_DCtx *zstd_ = nullptr;  // made at the first compressed block, reused by the rest
};

// Reads a whole file into memory, plain or gzip-compressed, with the checks
// every input gets (files.hpp). Returns false, with "PATH: REASON", when it
// cannot be read.
bool readFile(const char *path, std::vector<u8> &bytes, std::string &why);

}  // namespace zep::record
