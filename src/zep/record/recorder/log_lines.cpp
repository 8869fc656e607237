// Recorded log lines: a format is written once, the first time its address is
// seen, with what writing its lines needs worked out then; every line after
// it is the format's id and the raw argument values. Formatting is left to
// whoever reads the recording.
#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "log_format.hpp"
#include "log_lines.hpp"

namespace zep::record::recorder {

namespace {

// Texts are named by address only where the bytes cannot change under that
// address: this library's read-only segments (its string literals). Anything
// else is written out with the line every time, so that a reused buffer is
// never taken for what it held before.
struct ReadOnlyRange {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
};
constexpr std::size_t kMaxRanges = 4;
ReadOnlyRange g_readOnly[kMaxRanges];
std::size_t g_rangeCount = 0;
bool g_rangesFound = false;

int collectReadOnly(dl_phdr_info *info, std::size_t, void *self)
{
    const auto here = reinterpret_cast<std::uintptr_t>(self);
    bool mine = false;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr) &ph = info->dlpi_phdr[i];
        const std::uintptr_t begin = info->dlpi_addr + ph.p_vaddr;
        mine = mine || (ph.p_type == PT_LOAD && here >= begin && here < begin + ph.p_memsz);
    }
    for (int i = 0; mine && i < info->dlpi_phnum && g_rangeCount < kMaxRanges; ++i) {
        const ElfW(Phdr) &ph = info->dlpi_phdr[i];
        if (ph.p_type == PT_LOAD && (ph.p_flags & PF_W) == 0) {
            g_readOnly[g_rangeCount++] = {info->dlpi_addr + ph.p_vaddr, info->dlpi_addr + ph.p_vaddr + ph.p_memsz};
        }
    }
    return mine ? 1 : 0;
}

bool isReadOnly(const void *p)
{
    if (!g_rangesFound) {
        g_rangesFound = true;
        dl_iterate_phdr(collectReadOnly, reinterpret_cast<void *>(&collectReadOnly));
    }
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    for (std::size_t i = 0; i < g_rangeCount; ++i) {
        if (at >= g_readOnly[i].begin && at < g_readOnly[i].end) {
            return true;
        }
    }
    return false;
}

// The texts seen so far, by address: open addressing, twice as many slots as
// texts, so a probe is short. Formats keep their argument classes. Only texts
// in read-only memory are ever here, so a text found here needs no look at
// where it lives.
constexpr std::size_t kSlots = 2 * kMaxTexts;
struct Slot {
    const char *key = nullptr;
    u32 id = 0;
    bool isFormat = false;
};
Slot g_slots[kSlots];
LineFormat g_formats[kMaxTexts];
u32 g_textCount = 0;
u32 g_tableOpens = 0;  // the writer's opens() the table belongs to
LineFormat g_scratch;  // a format that is not interned, parsed for this line only

std::size_t slotOf(const char *key)
{
    const auto h = static_cast<u64>(reinterpret_cast<std::uintptr_t>(key)) * 0x9e3779b97f4a7c15ull;
    return static_cast<std::size_t>(h >> 40) % kSlots;
}

// The slot of key, or the empty one where it would go.
Slot &findSlot(const char *key)
{
    std::size_t i = slotOf(key);
    while (g_slots[i].key != nullptr && g_slots[i].key != key) {
        i = (i + 1) % kSlots;
    }
    return g_slots[i];
}

bool parse(const char *format, std::size_t length, LineFormat &out)
{
    const int count = length <= kMaxTextBytes ? logArgClasses({format, length}, out.classes) : -1;
    out.count = static_cast<u8>(count < 0 ? 0 : count);
    return count >= 0;
}

u8 *putRef(u8 *at, u64 ref)
{
    return putLittle(at, ref, kStringRefBytes);
}

// Writes a text's definition and gives it the next id; null when the table
// is full or the text cannot be kept (for a format, the recording then ends).
Slot *define(Slot &slot, const char *text, CallKind kind, Writer &writer)
{
    const std::size_t length = std::strlen(text);
    const bool kept = g_textCount < kMaxTexts && length <= kMaxTextBytes;
    if (!kept || (kind == CallKind::format && !parse(text, length, g_formats[g_textCount]))) {
        if (kind == CallKind::format) {
            writer.close(EndReason::tooManyTexts);
        }
        return nullptr;  // a string goes with the line instead
    }
    RecordedCall e;
    e.kind = kind;
    e.argCount = 1;
    e.args[0] = g_textCount;
    e.in = {reinterpret_cast<const u8 *>(text), length};
    writer.add(e);
    slot.key = text;
    slot.id = g_textCount++;
    slot.isFormat = kind == CallKind::format;
    return &slot;
}

// A format not seen yet, or one that cannot be named by address.
[[gnu::noinline]] const LineFormat *newLineFormat(const char *format, Writer &writer)
{
    // A new file knows none of the texts the last one defined.
    if (writer.opens() != g_tableOpens) {
        std::fill(std::begin(g_slots), std::end(g_slots), Slot{});
        g_textCount = 0;
        g_tableOpens = writer.opens();
    }
    Slot *slot = &findSlot(format);
    if (slot->key != nullptr && slot->isFormat) {
        return &g_formats[slot->id];
    }
    if (slot->key == nullptr && isReadOnly(format)) {
        slot = define(*slot, format, CallKind::format, writer);
        if (slot == nullptr) {
            return nullptr;
        }
        g_formats[slot->id].ref = kStringTextBase + slot->id;
        return &g_formats[slot->id];
    }
    // In writable memory, or a text first seen as a %s argument: the line
    // carries the format itself.
    g_scratch.ref = kStringInline;
    return parse(format, std::strlen(format), g_scratch) ? &g_scratch : nullptr;
}

// A %s not named by address yet: null, a text to define, or bytes to carry.
[[gnu::noinline]] u8 *putNewString(u8 *at, const u8 *end, const char *text, Writer &writer)
{
    if (text == nullptr) {
        return putRef(at, kStringNull);
    }
    Slot &slot = findSlot(text);
    if (isReadOnly(text) && define(slot, text, CallKind::string, writer) != nullptr) {
        return putRef(at, kStringTextBase + slot.id);
    }
    constexpr std::size_t kHeader = kStringRefBytes + kStringLengthBytes;
    const auto left = static_cast<std::size_t>(end - at);
    const std::size_t room = left > kLineRoomAfter + kHeader ? left - kLineRoomAfter - kHeader : 0;
    const std::size_t length = strnlen(text, room < kMaxInlineString ? room : kMaxInlineString);
    at = putLittle(putRef(at, kStringInline), length, kStringLengthBytes);
    std::memcpy(at, text, length);
    return at + length;
}

}  // namespace

// The texts a line names are nearly always known already: that way is kept
// short, with no stack frame.
const LineFormat *lineFormat(const char *format, Writer &writer)
{
    const Slot &slot = findSlot(format);
    if (slot.key != nullptr && slot.isFormat && writer.opens() == g_tableOpens) [[likely]] {
        return &g_formats[slot.id];
    }
    return newLineFormat(format, writer);
}

u8 *putString(u8 *at, const u8 *end, const char *text, Writer &writer)
{
    if (text != nullptr) [[likely]] {
        const Slot &slot = findSlot(text);
        if (slot.key != nullptr) [[likely]] {
            return putRef(at, kStringTextBase + slot.id);
        }
    }
    return putNewString(at, end, text, writer);
}

}  // namespace zep::record::recorder
