// Log lines compared as they were recorded: the format's text (compared once
// per format address) and the raw argument values read by class. A line is
// made text only when it differs, to show both.
#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

#include "record_calls.hpp"
#include "recorded_log.hpp"
#include "replay/event_text.hpp"
#include "replay/list_slots.hpp"
#include "replay/read_only.hpp"
#include "replay/replayer.hpp"

namespace zep::sim::replay {

namespace {

using zep::record::ArgClass;
using zep::record::Event;
using zep::record::LogValue;
using zep::record::u64;

// The application's own line, made text only to show it beside the recorded one.
std::string formatted(const char *format, va_list args)
{
    char text[1024];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"  // clang: the format is the application's, as it logged it
    const int n = std::vsnprintf(text, sizeof text, format, args);
#pragma GCC diagnostic pop
    return n < 0 ? std::string() : std::string(text, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof text - 1));
}

// A value of the recorded bytes at `at`, little-endian on every host.
template <class T>
T loadLittle(const zep::record::u8 *at)
{
    if constexpr (std::endian::native == std::endian::big) {
        return static_cast<T>(zep::record::getLittle(at, sizeof(T)));
    }
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

bool sameString(const LogValue &recorded, const char *actual)
{
    if (recorded.isNull || actual == nullptr) {
        return recorded.isNull && actual == nullptr;
    }
    // An inline string was kept up to its cap: that much is compared.
    const std::size_t size = recorded.text.size();
    const bool cut = size >= zep::record::kMaxInlineString;
    return std::strncmp(actual, recorded.text.data(), size) == 0 && (cut || actual[size] == '\0');
}

// A string or pointer of the recorded line at pos against this build's.
// A %s against a recorded one. A recorded text that this build gave, the last
// time it matched, from the same read-only address is the same again without
// reading it: nothing can have changed it.
bool sameText(const Event &recorded, u64 &pos, const char *actual, TextsSeen &seen)
{
    const std::span<const zep::record::u8> in = recorded.in;
    const u64 ref = in.size() - pos >= zep::record::kStringRefBytes
                        ? zep::record::getLittle(in.data() + pos, zep::record::kStringRefBytes)
                        : 0;
    const u64 id = ref - zep::record::kStringTextBase;
    const bool named = ref >= zep::record::kStringTextBase;
    if (named && id < seen.size() && actual != nullptr && seen[id] == actual) {
        pos += zep::record::kStringRefBytes;
        return true;
    }
    LogValue v;
    if (!zep::record::readLogString(in, pos, *recorded.texts, v) || !sameString(v, actual)) {
        return false;
    }
    if (named && actual != nullptr && inReadOnlySegment(actual)) {
        seen.resize(std::max<std::size_t>(seen.size(), id + 1));
        seen[id] = actual;
    }
    return true;
}

bool sameValue(const Event &recorded, u64 &pos, ArgClass cls, const void *actual, TextsSeen &seen)
{
    if (cls == ArgClass::string) {
        return sameText(recorded, pos, static_cast<const char *>(actual), seen);
    }
    const std::span<const zep::record::u8> in = recorded.in;
    if (zep::record::kMaxValueBytes > in.size() - pos) {
        return false;
    }
    const bool wasNull = zep::record::getLittle(in.data() + pos, zep::record::kMaxValueBytes) == 0;
    pos += zep::record::kMaxValueBytes;
    return wasNull == (actual == nullptr);
}

// The run of numbers, as the recorder writes them, against the recorded bytes at pos.
bool sameRun(std::span<const zep::record::u8> recorded, u64 &pos, std::span<const zep::record::u8> run)
{
    if (run.empty()) {
        return true;  // two strings in a row: nothing to call memcmp for
    }
    if (run.size() > recorded.size() - pos || std::memcmp(recorded.data() + pos, run.data(), run.size()) != 0) {
        return false;
    }
    pos += run.size();
    return true;
}

// The line's values, each taken by next(class) as 64 bits (an int32 in the
// low half), against the recorded ones from pos on. A run of numbers is
// written as the recorder writes it and compared as one block of bytes; a
// string or a pointer ends the run, being compared by what it means rather
// than by its bytes.
template <class Next>
bool sameValues(const Event &recorded, u64 &pos, const zep::record::RecordedText &text,
                std::size_t count, Next next, TextsSeen &seen)
{
    zep::record::u8 run[(zep::record::kMaxLogArgs + 1) * zep::record::kMaxValueBytes];
    zep::record::u8 *at = run;
    for (std::size_t i = 0; i < count; ++i) {
        const u64 value = next(text.classes[i]);
        if (text.widths[i] != 0) {
            std::memcpy(at, &value, sizeof value);
            at += text.widths[i];
            continue;
        }
        const auto *actual = reinterpret_cast<const void *>(static_cast<std::uintptr_t>(value));
        if (!sameRun(recorded.in, pos, {run, at}) || !sameValue(recorded, pos, text.classes[i], actual, seen)) {
            return false;
        }
        at = run;
    }
    return sameRun(recorded.in, pos, {run, at});
}

// The numbers [from, to) of a line, from consecutive slots, against the
// recorded bytes at pos, as one block.
bool sameNumbers(const Event &recorded, u64 &pos, const zep::record::RecordedText &text, std::size_t from,
                 std::size_t to, const u64 *slot)
{
    zep::record::u8 run[(zep::record::kMaxLogArgs + 1) * zep::record::kMaxValueBytes];
    zep::record::u8 *at = run;
    for (std::size_t i = from; i < to; ++i, ++slot) {
        std::memcpy(at, slot, sizeof *slot);
        at += text.widths[i];
    }
    return sameRun(recorded.in, pos, {run, at});
}

// The numbers of a line whose strings are all references, against the
// recorded bytes (padded, so that every place is read as 8 bytes): the bits
// that differ, gathered without a branch per value. Places come in argument
// order, those in registers first.
u64 numbersDiffer(const zep::record::u8 *padded, const zep::record::RecordedText &text, const ListSlots &slots)
{
    u64 differ = 0;
    std::size_t k = 0;
    const std::size_t count = text.numberPlaces.size();
    for (; k < count && text.numberPlaces[k].arg < slots.regCount; ++k) {
        const auto &place = text.numberPlaces[k];
        differ |= (loadLittle<u64>(padded + place.offset) ^ slots.regs[place.arg]) & place.bits;
    }
    for (; k < count; ++k) {
        const auto &place = text.numberPlaces[k];
        differ |= (loadLittle<u64>(padded + place.offset) ^ slots.stack[place.arg - slots.regCount]) & place.bits;
    }
    return differ;
}

// A line with no real whose strings are all references: each value is
// compared where it lies, straight from its slot. True only when every value
// is the same; anything else (a string kept inline or null, a text this build
// has not given from that address before, a difference) is left to
// sameFromSlots, which gives the verdict.
bool sameAtFixedPlaces(const Event &recorded, const zep::record::RecordedText &text, const ListSlots &slots,
                       const TextsSeen &seen)
{
    if (recorded.in.size() != text.refBytes) {
        return false;
    }
    zep::record::u8 padded[zep::record::kMaxLogArgs * zep::record::kMaxValueBytes + sizeof(u64)];
    std::memcpy(padded, recorded.in.data(), text.refBytes);
    std::memset(padded + text.refBytes, 0, sizeof(u64));
    if (numbersDiffer(padded, text, slots) != 0) {
        return false;
    }
    for (const auto &place : text.meaningPlaces) {
        const u64 actual = slots[place.arg];
        if (place.cls == ArgClass::pointer) {
            if ((loadLittle<u64>(padded + place.offset) == 0) != (actual == 0)) {
                return false;
            }
            continue;
        }
        const u64 ref = loadLittle<std::uint16_t>(padded + place.offset) - zep::record::kStringTextBase;
        if (ref >= seen.size() || actual == 0 || seen[ref] != reinterpret_cast<const char *>(actual)) {
            return false;
        }
    }
    return true;
}

// A line with no real: its strings and pointers, then its numbers from the
// slots (the registers, then the stack).
bool sameFromSlots(const Event &recorded, const zep::record::RecordedText &text, const ListSlots &slots,
                   TextsSeen &seen)
{
    u64 pos = 0;
    const std::size_t count = text.classes.size();
    const std::size_t inRegs = std::min<std::size_t>(count, slots.regCount);
    const std::size_t head = std::max<std::size_t>(text.numbersFrom, inRegs);
    const auto nextSlot = [&slots, i = 0u](ArgClass) mutable { return slots[i++]; };
    return sameValues(recorded, pos, text, head, nextSlot, seen) &&
           sameNumbers(recorded, pos, text, head, count, slots.stack + (head - inRegs)) &&
           pos == recorded.in.size();
}

// The next value of a va_list as 64 bits.
u64 nextFromList(va_list &args, ArgClass cls)
{
    switch (cls) {
    case ArgClass::int32:
        return va_arg(args, unsigned);
    case ArgClass::int64:
        return va_arg(args, unsigned long long);
    case ArgClass::real:
        return std::bit_cast<u64>(va_arg(args, double));
    case ArgClass::pointer:
    case ArgClass::string:
        break;
    }
    return reinterpret_cast<std::uintptr_t>(va_arg(args, const void *));
}

bool sameHeader(const Event &recorded, const u64 (&actual)[zep::record::logFormatRef])
{
    return recorded.kind == zep::record::EventKind::op &&
           recorded.id == static_cast<zep::record::u8>(zep::record::Op::ZEP_DBG_Print) && recorded.texts != nullptr &&
           sameWords(recorded.args, actual, zep::record::logFormatRef);
}

}  // namespace

// The recorded format of a line, if this build's format has the same text;
// the text comparison is made once per (recorded format, address) pair.
const zep::record::RecordedText *Replayer::sameFormatFirstSeen(const Event &recorded, const char *format)
{
    const u64 ref = recorded.args[zep::record::logFormatRef];
    if (ref == zep::record::kStringInline) {
        ownFormat_.text.assign(reinterpret_cast<const char *>(recorded.out.data()), recorded.out.size());
        zep::record::ArgClass classes[zep::record::kMaxLogArgs];
        const int count = zep::record::logArgClasses(ownFormat_.text, classes);
        ownFormat_.setClasses({classes, static_cast<std::size_t>(std::max(count, 0))});
        return count >= 0 && ownFormat_.text == format ? &ownFormat_ : nullptr;
    }
    const u64 id = ref - zep::record::kStringTextBase;
    const zep::record::RecordedText *text = recorded.texts->find(id);
    if (formatSeen_.size() <= id) {
        formatSeen_.resize(id + 1);
    }
    FormatSeen &seen = formatSeen_[id];
    if (seen.address != format) {
        seen.address = format;
        seen.same = text->text == format;
    }
    return seen.same ? text : nullptr;
}

bool Replayer::sameLine(const Event &recorded, const char *format, va_list &args)
{
    const zep::record::RecordedText *text = sameFormat(recorded, format);
    if (text == nullptr) {
        return false;
    }
    // Without a real, every value lies in an integer slot of its own.
    if (kListSlotsKnown && !text->hasReal) {
        const ListSlots slots = listSlots(args);
        return sameAtFixedPlaces(recorded, *text, slots, textsSeen_) ||
               sameFromSlots(recorded, *text, slots, textsSeen_);
    }
    u64 pos = 0;
    return sameValues(recorded, pos, *text, text->classes.size(),
                      [&args](ArgClass cls) { return nextFromList(args, cls); }, textsSeen_) &&
           pos == recorded.in.size();
}

void Replayer::onLog(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format, va_list args)
{
    if (!checking()) {
        return;
    }
    const Event *recorded = take();
    if (recorded == nullptr) {
        return;  // the recording stops inside this handler
    }
    const u64 header[zep::record::logFormatRef] = {severity, moduleId, category, zep::record::calls::given(staMac),
                                                   zep::record::calls::mac48(staMac)};
    va_list values;
    va_copy(values, args);
    const bool same = sameHeader(*recorded, header) && sameLine(*recorded, format, values);
    va_end(values);
    if (!same) {
        diverge(describe(*recorded), describeLine(header, formatted(format, args)));
    }
}

}  // namespace zep::sim::replay
