// Writer of a recording: events are encoded into one block buffer, and each
// block goes to the file in a single write, whole, before the next begins.
// Nothing is allocated after open; the buffer is part of the object.
#pragma once

#include <cstring>

#include "record_channels.hpp"

struct ZSTD_CCtx_s;
typedef struct ZSTD_CCtx_s ZSTD_CCtx;

namespace zep::record {

class Writer {
public:
    // Creates (truncates) path and writes the file header. maxBytes caps the
    // whole file, end block included. Returns false when the file cannot be made.
    bool open(const char *path, u64 maxBytes);
    bool active() const { return fd_ >= 0; }
    // Appends one event; at the cap the recording ends (marked cut short).
    // Inline: while the block has room (the usual case) this is the encoding alone.
    void add(const Event &event)
    {
        const u64 bound = encodedBound(event);
        if (used_ + bound > room_) [[unlikely]] {
            addChecked(event);
            return;
        }
        used_ += static_cast<u32>(encode(buf_ + kBlockHeaderBytes + used_, event) - (buf_ + kBlockHeaderBytes + used_));
        ++pending_;
        ++totalEvents_;
        if (used_ >= kBlockTarget) [[unlikely]] {
            flush();
        }
    }
    // Writes the buffered events and the end block, and closes the file.
    void close(EndReason reason);
    // Writes the events buffered so far as a block, leaving the file open.
    // Uncompressed, it is only write(2) and arithmetic: safe from a signal handler.
    void flush(bool compress = true);
    u64 bytesWritten() const { return written_; }
    u64 events() const { return totalEvents_; }
    // How many files this writer has opened: what a file defined once (a
    // recorder's table of texts) must be defined again for.
    u32 opens() const { return opens_; }

    // Bytes an event can take at most once encoded.
    static u64 encodedBound(const Event &event)
    {
        return 3 + (event.argCount + 2) * 10ull + fieldBound(event.in.size()) + fieldBound(event.out.size());
    }

private:
    u8 *encode(u8 *at, const Event &event) { return encodeEvent(at, event, channels_); }
    void addChecked(const Event &event);
    void updateRoom();
    bool writeAll(const u8 *bytes, u64 size);
    void writeBlock(u32 tag, const u8 *payload, u32 size, u32 events);

    ZSTD_CCtx *zstd_ = nullptr;  // made once at open, reused by every block
    int fd_ = -1;
    u64 maxBytes_ = 0;
    u64 written_ = 0;
    u64 totalEvents_ = 0;
    u32 used_ = 0;    // payload bytes of complete events in buf_
    u32 pending_ = 0;  // events in buf_
    // Payload bytes the block may reach with no further check: within the
    // block's limit and, with the block's header and the end block, the cap.
    // 0 while closed, so that every add takes the checked way.
    u64 room_ = 0;
    u32 opens_ = 0;
    Channel channels_[kChannelCount];  // what the next event is written against
    u8 buf_[kBlockHeaderBytes + kMaxBlockPayload];
    u8 packed_[kBlockHeaderBytes + kMaxBlockPayload + kMaxBlockPayload / 128 + 1024];  // >= ZSTD_compressBound
};

}  // namespace zep::record
