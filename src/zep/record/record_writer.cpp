// The writer works with file descriptors, not streams: a block is one write(2),
// and the crash path may flush from a signal handler.
#include "record_writer.hpp"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>

#include <zstd.h>

#include "record_codec.hpp"

namespace zep::record {

namespace {

constexpr u64 kEndBlockBytes = kBlockHeaderBytes + 1;

}  // namespace

bool Writer::open(const char *path, u64 maxBytes)
{
    error_ = 0;
    fd_ = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error_ = errno;
        return false;
    }
    maxBytes_ = std::max<u64>(maxBytes, kFileHeaderBytes + kEndBlockBytes);
    written_ = 0;
    used_ = pending_ = 0;
    room_ = 0;
    std::fill(std::begin(channels_), std::end(channels_), Channel{});
    ++opens_;
    u8 header[kFileHeaderBytes] = {};
    std::memcpy(header, kMagic, sizeof kMagic);
    putWord(header + 8, kVersion);
    if (!writeAll(header, sizeof header)) {
        error_ = errno;
        release();
        return false;
    }
    // Made once the header is written: a file that cannot be made leaves nothing allocated.
    if (zstd_ == nullptr) {
        zstd_ = ZSTD_createCCtx();
        // Level 1: the events repeat so much that the fastest level already
        // shrinks them many times over.
        ZSTD_CCtx_setParameter(zstd_, ZSTD_c_compressionLevel, 1);
    }
    updateRoom();
    return true;
}

void Writer::updateRoom()
{
    const u64 used = written_ + kBlockHeaderBytes + kEndBlockBytes;
    room_ = fd_ < 0 || used >= maxBytes_ ? 0 : std::min<u64>(kMaxBlockPayload, maxBytes_ - used);
}

// The way an event takes when it might not fit: the block is written first,
// or the recording ends at the cap.
void Writer::addChecked(const RecordedCall &event)
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
    const auto size = static_cast<u32>(encodeEvent(start, event, channels_) - start);
    // The block in progress, this event and the end block must all fit.
    if (written_ + kBlockHeaderBytes + used_ + size + kEndBlockBytes > maxBytes_) {
        close(EndReason::capReached);
        return;
    }
    commit(size);  // only now is the event part of what a flush writes
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
    updateRoom();
}

void Writer::close(EndReason reason)
{
    if (fd_ < 0) {
        return;
    }
    flush();
    if (fd_ < 0) {
        return;  // the flush's write failed: the file is given up already
    }
    const u8 why = static_cast<u8>(reason);
    writeBlock(kTagEnd, &why, 1, 0);
    release();
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
        giveUp(errno);
    }
}

void Writer::giveUp(int error)
{
    error_ = error;
    release();
    if (notice_ != nullptr) {
        notice_(error);
    }
}

// Closes the file and frees the compressor: every add from here finds it closed.
void Writer::release()
{
    ::close(fd_);
    fd_ = -1;
    room_ = 0;
    ZSTD_freeCCtx(zstd_);
    zstd_ = nullptr;
}

bool Writer::writeAll(const u8 *bytes, u64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd_, bytes, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;  // a write that takes nothing would never end
            }
            return false;
        }
        bytes += n;
        size -= static_cast<u64>(n);
        written_ += static_cast<u64>(n);
    }
    return true;
}

}  // namespace zep::record
