// Every length read from the file is checked against the bytes that remain
// before it is used, so damage can never make the reader run past its input.
#include "record_reader.hpp"

#include <zstd.h>

#include <cstdint>

#include "files.hpp"
#include "record_channels.hpp"
#include "recorded_log.hpp"

namespace zep::record {

Reader::Reader(std::span<const u8> bytes)
    : bytes_(bytes), texts_(std::make_unique<TextTable>())
{
}

Reader::~Reader() { ZSTD_freeDCtx(zstd_); }

Reader::Status Reader::fail(Status status, u64 offset, const char *what)
{
    finished_ = true;
    finalStatus_ = status;
    why_ = "byte " + std::to_string(offset) + ": " + what;
    return status;
}

Reader::Status Reader::checkHeader()
{
    if (bytes_.size() < kFileHeaderBytes || std::memcmp(bytes_.data(), kMagic, sizeof kMagic) != 0) {
        return fail(Status::damaged, 0, "not a sta-meas recording (no file header)");
    }
    if (const u32 version = getWord(bytes_.data() + 8); version != kVersion) {
        return fail(Status::damaged, 8, version == 1 || version == 2 ? "recording format version 1 or 2: this zep-sim reads version 3 only "
                                                                     "(record again with a current recording build)"
                                                                   : "recording format version is not 3");
    }
    headerChecked_ = true;
    pos_ = kFileHeaderBytes;
    return Status::event;
}

// Checks the file header the first time, and opens the next block once the
// current one has given all its events; event while there are events to read.
Reader::Status Reader::advance()
{
    if (!headerChecked_ && !finished_) {
        checkHeader();
    }
    while (!finished_ && blockEvents_ == 0) {
        if (inBlock_ != block_.size()) {
            return fail(Status::damaged, packed_ ? blockStart_ : blockStart_ + inBlock_,
                        "bytes after the block's last event");
        }
        openBlock();
    }
    return finished_ ? finalStatus_ : Status::event;
}

// Inside a compressed block the place is the block's; its events have no file offset.
Reader::Status Reader::undecodable(u64 at)
{
    return fail(Status::damaged, packed_ ? blockStart_ : blockStart_ + at, "event does not decode");
}

// An event that is a text definition or a log line: the one goes into the
// table and the reading goes on, the other must name a format defined before.
Reader::Status Reader::decoded(RecordedCall &event, u64 at)
{
    if (const char *why = take(event); why != nullptr) {
        return fail(Status::damaged, packed_ ? blockStart_ : blockStart_ + at, why);
    }
    if (event.kind == CallKind::format || event.kind == CallKind::string) {
        return next(event);
    }
    ++eventsRead_;
    return Status::event;
}

// The first event, a block's first, and the reading past the last.
Reader::Status Reader::nextSlow(RecordedCall &event)
{
    if (const Status s = advance(); s != Status::event) {
        return s;
    }
    return next(event);
}

// A text definition goes into the table; a line must name a format defined
// before it (its values are checked by whoever decodes them).
const char *Reader::take(RecordedCall &event)
{
    if (event.kind == CallKind::format || event.kind == CallKind::string) {
        const char *why = "text definition without its id";
        return event.argCount == 1 && texts_->define(event.kind, event.args[0], event.in, why) ? nullptr : why;
    }
    if (event.kind != CallKind::op || event.id != static_cast<u8>(Op::ZEP_DBG_Print)) {
        return nullptr;
    }
    return checkLine(event);
}

const char *Reader::checkLine(RecordedCall &line) const
{
    if (line.argCount != logArgCount) {
        return "log line without its format reference";
    }
    const u64 ref = line.args[logFormatRef];
    if (ref != kStringInline) {
        const RecordedText *format = ref >= kStringTextBase ? texts_->find(ref - kStringTextBase) : nullptr;
        if (format == nullptr || !format->isFormat) {
            return "log line names a format the recording has not defined";
        }
    }
    line.texts = texts_.get();
    return nullptr;
}

Reader::Status Reader::scanBlocks()
{
    if (!headerChecked_ && !finished_) {
        checkHeader();
    }
    while (!finished_) {
        if (const Status s = openBlock(false); s != Status::event) {
            return s;
        }
        block_ = {};
        inBlock_ = 0;
        blockEvents_ = 0;
    }
    return finalStatus_;
}

Reader::Status Reader::openBlock(bool unpackEvents)
{
    const u64 remaining = bytes_.size() - pos_;
    if (remaining == 0) {
        return fail(Status::cutShort, pos_, "the recording stops before its end block (the process "
                                            "ended without closing it, or the file was copied while "
                                            "being written)");
    }
    if (remaining < kBlockHeaderBytes) {
        return fail(Status::cutShort, pos_, "the recording stops inside a block header");
    }
    const u8 *header = bytes_.data() + pos_;
    if (checksum({header, 16}) != getWord(header + 16)) {
        return fail(Status::damaged, pos_, "block header checksum mismatch");
    }
    const u32 tag = getWord(header);
    const u32 size = getWord(header + 4);
    if ((tag != kTagEvents && tag != kTagZstd && tag != kTagEnd) || size > kMaxBlockPayload) {
        return fail(Status::damaged, pos_, "block header is not one this version writes");
    }
    if (size > remaining - kBlockHeaderBytes) {
        return fail(Status::cutShort, pos_, "the recording stops inside a block (the process ended "
                                            "while writing it, or the file was copied mid-write)");
    }
    block_ = bytes_.subspan(pos_ + kBlockHeaderBytes, size);
    if (checksum(block_) != getWord(header + 12)) {
        return fail(Status::damaged, pos_ + kBlockHeaderBytes, "block payload checksum mismatch");
    }
    blockStart_ = pos_ + kBlockHeaderBytes;
    inBlock_ = 0;
    blockEvents_ = getWord(header + 8);
    pos_ += kBlockHeaderBytes + size;
    packed_ = tag == kTagZstd;
    if (packed_ && unpackEvents) {
        if (const Status s = unpack(blockStart_); s != Status::event) {
            return s;
        }
    }
    if (tag == kTagEnd) {
        if (size != 1 || block_[0] > static_cast<u8>(EndReason::tooManyTexts) || pos_ != bytes_.size()) {
            return fail(Status::damaged, blockStart_, "end block malformed or followed by more bytes");
        }
        endReason_ = static_cast<EndReason>(block_[0]);
        static constexpr const char *kReasons[] = {
            "the recording was closed normally",
            "the recorder stopped at its size cap (STA_MEAS_RECORD_MAX)",
            "the recorder stopped at an event too large for a block",
            "the recorder stopped: the application used more log formats and strings than it keeps"};
        return fail(Status::end, blockStart_, kReasons[block_[0]]);
    }
    if (blockEvents_ == 0) {
        return fail(Status::damaged, blockStart_ - kBlockHeaderBytes, "block announces no events");
    }
    // The channels (1 MiB) are made for the first block of events that passed
    // its checks: a file that is not a recording never costs them.
    if (unpackEvents && channels_.empty()) {
        channels_.resize(kChannelCount);
    }
    return Status::event;
}

// A compressed block passed its checksum, so its bytes are the writer's; the
// frame must still say a size the writer could have written before it is
// given room.
Reader::Status Reader::unpack(u64 at)
{
    const unsigned long long size = ZSTD_getFrameContentSize(block_.data(), block_.size());
    if (size == ZSTD_CONTENTSIZE_ERROR || size == ZSTD_CONTENTSIZE_UNKNOWN || size == 0 || size > kMaxBlockPayload) {
        return fail(Status::damaged, at, "compressed block does not say a size this version writes");
    }
    unpacked_.resize(static_cast<std::size_t>(size));
    if (zstd_ == nullptr) {
        zstd_ = ZSTD_createDCtx();
    }
    const std::size_t got = ZSTD_decompressDCtx(zstd_, unpacked_.data(), unpacked_.size(), block_.data(), block_.size());
    if (ZSTD_isError(got) || got != size) {
        return fail(Status::damaged, at, "compressed block does not decompress");
    }
    block_ = unpacked_;
    return Status::event;
}

bool readFile(const char *path, std::vector<u8> &bytes, std::string &why)
{
    try {
        bytes = readWholeFile(path, UINT64_MAX);
        return true;
    } catch (const FileError &e) {
        why = e.what();
        return false;
    }
}

}  // namespace zep::record
