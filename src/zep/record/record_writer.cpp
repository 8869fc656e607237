// The writer works with file descriptors, not streams: a block is one write(2),
// and the crash path may flush from a signal handler.
#include "record_writer.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include <zstd.h>

#include "record_codec.hpp"

namespace zep::record {

namespace {

constexpr u64 kEndBlockBytes = kBlockHeaderBytes + 1;

// Bytes an event can take at most once encoded.
u64 encodedBound(const Event &event)
{
    return 3 + (event.argCount + 3) * 10ull + event.in.size() + event.out.size();
}

u8 *putBytes(u8 *at, std::span<const u8> bytes)
{
    at = putVarint(at, bytes.size());
    if (!bytes.empty()) {
        std::memcpy(at, bytes.data(), bytes.size());
    }
    return at + bytes.size();
}

}  // namespace

bool Writer::open(const char *path, u64 maxBytes)
{
    fd_ = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        return false;
    }
    if (zstd_ == nullptr) {
        zstd_ = ZSTD_createCCtx();
        // Level 1: the events repeat so much that the fastest level already
        // shrinks them many times over.
        ZSTD_CCtx_setParameter(zstd_, ZSTD_c_compressionLevel, 1);
    }
    maxBytes_ = std::max<u64>(maxBytes, kFileHeaderBytes + kEndBlockBytes);
    written_ = totalEvents_ = 0;
    used_ = pending_ = 0;
    u8 header[kFileHeaderBytes] = {};
    std::memcpy(header, kMagic, sizeof kMagic);
    putWord(header + 8, kVersion);
    if (!writeAll(header, sizeof header)) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

void Writer::add(const Event &event)
{
    if (fd_ < 0) {
        return;
    }
    if (encodedBound(event) > kMaxBlockPayload) {
        close(EndReason::eventTooLarge);
        return;
    }
    if (used_ + encodedBound(event) > kMaxBlockPayload) {
        flush();
    }
    u8 *const start = buf_ + kBlockHeaderBytes + used_;
    u8 *at = start;
    *at++ = static_cast<u8>(event.kind);
    *at++ = event.id;
    *at++ = event.argCount;
    for (u32 i = 0; i < event.argCount; ++i) {
        at = putVarint(at, event.args[i]);
    }
    at = putBytes(at, event.in);
    at = putVarint(at, event.ret);
    at = putBytes(at, event.out);
    const auto size = static_cast<u32>(at - start);
    // The block in progress, this event and the end block must all fit.
    if (written_ + kBlockHeaderBytes + used_ + size + kEndBlockBytes > maxBytes_) {
        close(EndReason::capReached);
        return;
    }
    used_ += size;  // only now is the event part of what a flush writes
    ++pending_;
    ++totalEvents_;
    if (used_ >= kBlockTarget) {
        flush();
    }
}

void Writer::flush(bool compress)
{
    if (fd_ < 0 || pending_ == 0) {
        return;
    }
    const u8 *payload = buf_ + kBlockHeaderBytes;
    std::size_t packed = 0;
    if (compress && zstd_ != nullptr) {
        packed = ZSTD_compress2(zstd_, packed_ + kBlockHeaderBytes, sizeof packed_ - kBlockHeaderBytes, payload, used_);
    }
    if (packed > 0 && !ZSTD_isError(packed) && packed < used_) {
        writeBlock(kTagZstd, packed_ + kBlockHeaderBytes, static_cast<u32>(packed), pending_);
    } else {
        writeBlock(kTagEvents, payload, used_, pending_);
    }
    used_ = pending_ = 0;
}

void Writer::close(EndReason reason)
{
    if (fd_ < 0) {
        return;
    }
    flush();
    const u8 why = static_cast<u8>(reason);
    writeBlock(kTagEnd, &why, 1, 0);
    ::close(fd_);
    fd_ = -1;
    ZSTD_freeCCtx(zstd_);
    zstd_ = nullptr;
}

void Writer::writeBlock(u32 tag, const u8 *payload, u32 size, u32 events)
{
    // The header goes right before the payload, so header and payload leave
    // in one write and a crash never leaves a header without its bytes.
    u8 *header = payload == buf_ + kBlockHeaderBytes ? buf_ : payload == packed_ + kBlockHeaderBytes ? packed_ : nullptr;
    u8 small[kBlockHeaderBytes + 1];
    if (header == nullptr) {
        header = small;
        std::memcpy(small + kBlockHeaderBytes, payload, size);
    }
    putBlockHeader(header, tag, {payload, size}, events);
    if (!writeAll(header, kBlockHeaderBytes + size)) {
        // A full disk or a vanished file: stop recording rather than leave a
        // block half written and carry on after it.
        ::close(fd_);
        fd_ = -1;
        ZSTD_freeCCtx(zstd_);
        zstd_ = nullptr;
    }
}

bool Writer::writeAll(const u8 *bytes, u64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n <= 0) {
            return false;
        }
        bytes += n;
        size -= static_cast<u64>(n);
        written_ += static_cast<u64>(n);
    }
    return true;
}

}  // namespace zep::record
