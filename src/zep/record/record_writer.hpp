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
    // Told once, with errno, when a write fails and the file is given up: the
    // recording stops there, and whoever records says so.
    using FailureNotice = void (*)(int error);

    // Creates (truncates) path and writes the file header. maxBytes caps the
    // whole file, end block included. Returns false when the file cannot be
    // made; error() then says why.
    bool open(const char *path, u64 maxBytes);
    void onFailure(FailureNotice notice) { notice_ = notice; }
    // errno of the open or write that failed; 0 while none has.
    int error() const { return error_; }
    // Appends one event; at the cap the recording ends (marked cut short).
    // Inline: while the block has room (the usual case) this is the encoding alone.
    void add(const RecordedCall &event) { add(event, event.ret, event.out); }
    // The same for a call whose result and `out` came after it was built.
    void add(const RecordedCall &call, u64 ret, std::span<const u8> out)
    {
        if (used_ + encodedBound(call.argCount, call.in.size(), out.size()) > room_) [[unlikely]] {
            RecordedCall event = call;
            event.ret = ret;
            event.out = out;
            addChecked(event);
            return;
        }
        u8 *const at = buf_ + kBlockHeaderBytes + used_;
        commit(static_cast<u32>(encodeEvent(at, call, ret, out, channels_) - at));
    }
    // Writes the buffered events and the end block, and closes the file.
    void close(EndReason reason);
    // Writes the events buffered so far as a block, leaving the file open.
    // Uncompressed, it is only write(2) and arithmetic: safe from a signal handler.
    void flush(bool compress = true);
    u64 bytesWritten() const { return written_; }
    // How many files this writer has opened: what a file defined once (a
    // recorder's table of texts) must be defined again for.
    u32 opens() const { return opens_; }

    // Bytes an event can take at most once encoded.
    static u64 encodedBound(u32 argCount, std::size_t inSize, std::size_t outSize)
    {
        return 3 + (argCount + 2) * 10ull + fieldBound(inSize) + fieldBound(outSize);
    }
    static u64 encodedBound(const RecordedCall &event)
    {
        return encodedBound(event.argCount, event.in.size(), event.out.size());
    }

private:
    // An event of `size` bytes was encoded at the end of the block.
    void commit(u32 size)
    {
        used_ += size;
        ++pending_;
        if (used_ >= kBlockTarget) [[unlikely]] {
            flush();
        }
    }
    void addChecked(const RecordedCall &event);
    void updateRoom();
    bool writeAll(const u8 *bytes, u64 size);
    void giveUp(int error);
    void release();
    void writeBlock(u32 tag, const u8 *payload, u32 size, u32 events);

    ZSTD_CCtx *zstd_ = nullptr;  // made once at open, reused by every block
    int fd_ = -1;
    u64 maxBytes_ = 0;
    u64 written_ = 0;
    u32 used_ = 0;    // payload bytes of complete events in buf_
    u32 pending_ = 0;  // events in buf_
    // Payload bytes the block may reach with no further check: within the
    // block's limit and, with the block's header and the end block, the cap.
    // 0 while closed, so that every add takes the checked way.
    u64 room_ = 0;
    u32 opens_ = 0;
    int error_ = 0;
    FailureNotice notice_ = nullptr;
    Channel channels_[kChannelCount];  // what the next event is written against
    u8 buf_[kBlockHeaderBytes + kMaxBlockPayload];
    u8 packed_[kBlockHeaderBytes + kMaxBlockPayload + kMaxBlockPayload / 128 + 1024];  // >= ZSTD_compressBound
};

}  // namespace zep::record
