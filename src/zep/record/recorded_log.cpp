// Texts are checked when they are defined (a format must be one a line can
// carry), and a line's values when it is decoded, so that whoever shows or
// compares a line never meets a reference to nothing.
#include "recorded_log.hpp"

#include <algorithm>

namespace zep::record {

namespace {

// The classes of format's arguments; false when a recorded line cannot carry it.
bool classesOf(std::string_view format, std::vector<ArgClass> &classes)
{
    ArgClass found[kMaxLogArgs];
    const int count = logArgClasses(format, found);
    classes.assign(found, found + std::max(count, 0));
    return count >= 0;
}

// The next `bytes` bytes at pos as a little-endian number; false past the end.
bool getFixed(std::span<const u8> values, u64 &pos, u32 bytes, u64 &value)
{
    if (bytes > values.size() - pos) {
        return false;
    }
    value = getLittle(values.data() + pos, bytes);
    pos += bytes;
    return true;
}

// Reads a %s value at pos (null, inline bytes, or a recorded text).
bool readLogString(std::span<const u8> values, u64 &pos, const TextTable &texts, LogValue &v)
{
    u64 ref = 0;
    if (!getFixed(values, pos, kStringRefBytes, ref)) {
        return false;
    }
    if (ref == kStringNull) {
        v.isNull = true;
        return true;
    }
    if (ref == kStringInline) {
        u64 size = 0;
        if (!getFixed(values, pos, kStringLengthBytes, size) || size > values.size() - pos) {
            return false;
        }
        v.text = {reinterpret_cast<const char *>(values.data() + pos), static_cast<std::size_t>(size)};
        pos += size;
        return true;
    }
    const RecordedText *t = texts.find(ref - kStringTextBase);
    if (t == nullptr) {
        return false;
    }
    v.text = t->text;
    return true;
}

bool resolveFormat(const RecordedCall &line, const TextTable &texts, DecodedLine &out, const char *&why)
{
    const u64 ref = line.args[logFormatRef];
    if (ref == kStringInline) {
        out.format = {reinterpret_cast<const char *>(line.out.data()), line.out.size()};
        if (!classesOf(out.format, out.classes)) {
            why = "log line's own format has a conversion no recorded line can carry";
            return false;
        }
        return true;
    }
    const RecordedText *t = ref >= kStringTextBase ? texts.find(ref - kStringTextBase) : nullptr;
    if (t == nullptr || !t->isFormat) {
        why = "log line names a format the recording has not defined";
        return false;
    }
    out.format = t->text;
    out.classes = t->classes;
    return true;
}

}  // namespace

bool TextTable::define(CallKind kind, u64 id, std::span<const u8> text, const char *&why)
{
    if (id != texts_.size()) {
        why = "text definition out of order (its id is not the next one)";
        return false;
    }
    if (id >= kMaxTexts || text.size() > kMaxTextBytes) {
        why = "text definition past the number or length of texts a recorder keeps";
        return false;
    }
    RecordedText t;
    t.text.assign(text.begin(), text.end());
    t.isFormat = kind == CallKind::format;
    if (t.isFormat && !classesOf(t.text, t.classes)) {
        why = "log format has a conversion no recorded line can carry";
        return false;
    }
    texts_.push_back(std::move(t));
    return true;
}

bool decodeLogLine(const RecordedCall &line, const TextTable &texts, DecodedLine &out, const char *&why)
{
    // Cleared, not replaced: a replay decodes every line into the same one.
    out.format = {};
    out.classes.clear();
    out.values.clear();
    if (line.argCount != logArgCount) {
        why = "log line without its format reference";
        return false;
    }
    if (!resolveFormat(line, texts, out, why)) {
        return false;
    }
    u64 pos = 0;
    out.values.assign(out.classes.size(), LogValue{});
    for (std::size_t i = 0; i < out.classes.size(); ++i) {
        const ArgClass cls = out.classes[i];
        const bool ok = cls == ArgClass::string ? readLogString(line.in, pos, texts, out.values[i])
                                                : getFixed(line.in, pos, valueBytes(cls), out.values[i].number);
        if (!ok) {
            why = "log line's values do not match its format";
            return false;
        }
    }
    if (pos != line.in.size()) {
        why = "log line carries more values than its format takes";
        return false;
    }
    return true;
}

std::string recordedLineText(const RecordedCall &line)
{
    static const TextTable kNoTexts;
    DecodedLine decoded;
    const char *why = nullptr;
    if (!decodeLogLine(line, line.texts != nullptr ? *line.texts : kNoTexts, decoded, why)) {
        return std::string("(") + why + ")";
    }
    return formatLogLine(decoded.format, decoded.values.data(), decoded.values.size());
}

}  // namespace zep::record
