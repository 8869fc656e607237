// Writer of a recording: events are encoded into one block buffer, and each
// block goes to the file in a single write, whole, before the next begins.
// Nothing is allocated after open; the buffer is part of the object.
#pragma once

#include "record_format.hpp"

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
    void add(const Event &event);
    // Writes the buffered events and the end block, and closes the file.
    void close(EndReason reason);
    // Writes the events buffered so far as a block, leaving the file open.
    // Uncompressed, it is only write(2) and arithmetic: safe from a signal handler.
    void flush(bool compress = true);
    u64 bytesWritten() const { return written_; }
    u64 events() const { return totalEvents_; }

private:
    bool writeAll(const u8 *bytes, u64 size);
    void writeBlock(u32 tag, const u8 *payload, u32 size, u32 events);

    ZSTD_CCtx *zstd_ = nullptr;  // made once at open, reused by every block
    int fd_ = -1;
    u64 maxBytes_ = 0;
    u64 written_ = 0;
    u64 totalEvents_ = 0;
    u32 used_ = 0;    // payload bytes of complete events in buf_
    u32 pending_ = 0;  // events in buf_
    u8 buf_[kBlockHeaderBytes + kMaxBlockPayload];
    u8 packed_[kBlockHeaderBytes + kMaxBlockPayload + kMaxBlockPayload / 128 + 1024];  // >= ZSTD_compressBound
};

}  // namespace zep::record
