// Log lines compared as they were recorded: the format's text (compared once
// per format address) and the raw argument values read by class. A line is
// made text only when it differs, to show both.
#include <bit>
#include <cstdio>
#include <cstring>

#include "record_calls.hpp"
#include "recorded_log.hpp"
#include "replay/event_text.hpp"
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

// A string or pointer of the recorded line at pos against the next argument.
bool sameValue(const Event &recorded, u64 &pos, ArgClass cls, va_list &args)
{
    if (cls == ArgClass::string) {
        LogValue v;
        return zep::record::readLogString(recorded.in, pos, *recorded.texts, v) &&
               sameString(v, va_arg(args, const char *));
    }
    const std::span<const zep::record::u8> in = recorded.in;
    if (zep::record::kMaxValueBytes > in.size() - pos) {
        return false;
    }
    const bool wasNull = zep::record::getLittle(in.data() + pos, zep::record::kMaxValueBytes) == 0;
    pos += zep::record::kMaxValueBytes;
    return wasNull == (va_arg(args, void *) == nullptr);
}

// The run of numbers, as the recorder writes them, against the recorded bytes at pos.
bool sameRun(std::span<const zep::record::u8> recorded, u64 &pos, std::span<const zep::record::u8> run)
{
    if (run.size() > recorded.size() - pos || std::memcmp(recorded.data() + pos, run.data(), run.size()) != 0) {
        return false;
    }
    pos += run.size();
    return true;
}

bool sameHeader(const Event &recorded, const u64 (&actual)[zep::record::logFormatRef])
{
    return recorded.kind == zep::record::EventKind::op &&
           recorded.id == static_cast<zep::record::u8>(zep::record::Op::ZEP_DBG_Print) && recorded.texts != nullptr &&
           std::equal(actual, actual + zep::record::logFormatRef, recorded.args);
}

}  // namespace

// The recorded format of a line, if this build's format has the same text;
// the text comparison is made once per (recorded format, address) pair.
const zep::record::RecordedText *Replayer::sameFormat(const Event &recorded, const char *format)
{
    const u64 ref = recorded.args[zep::record::logFormatRef];
    if (ref == zep::record::kStringInline) {
        ownFormat_.text.assign(reinterpret_cast<const char *>(recorded.out.data()), recorded.out.size());
        zep::record::ArgClass classes[zep::record::kMaxLogArgs];
        const int count = zep::record::logArgClasses(ownFormat_.text, classes);
        ownFormat_.classes.assign(classes, classes + std::max(count, 0));
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
    // A run of numbers is written as the recorder writes it and compared as
    // one block of bytes; a string or a pointer ends the run, being compared
    // by what it means rather than by its bytes.
    zep::record::u8 run[zep::record::kMaxLogArgs * zep::record::kMaxValueBytes];
    zep::record::u8 *at = run;
    u64 pos = 0;
    for (const ArgClass cls : text->classes) {
        switch (cls) {
        case ArgClass::int32:
            at = zep::record::putLittle(at, va_arg(args, unsigned), 4);
            continue;
        case ArgClass::int64:
            at = zep::record::putLittle(at, va_arg(args, unsigned long long), 8);
            continue;
        case ArgClass::real:
            at = zep::record::putLittle(at, std::bit_cast<u64>(va_arg(args, double)), 8);
            continue;
        case ArgClass::pointer:
        case ArgClass::string:
            break;
        }
        if (!sameRun(recorded.in, pos, {run, at}) || !sameValue(recorded, pos, cls, args)) {
            return false;
        }
        at = run;
    }
    return sameRun(recorded.in, pos, {run, at}) && pos == recorded.in.size();
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
