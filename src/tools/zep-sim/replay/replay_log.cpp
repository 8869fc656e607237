// Log lines compared as they were recorded: the recorded line decoded against
// its format, this build's line read through its va_list by the same
// conversions, and the two compared value by value. Lines are made text only
// when they differ, both by the one formatter of recorded lines.
#include "record_calls.hpp"
#include "recorded_log.hpp"
#include "replay/event_text.hpp"
#include "replay/replayer.hpp"

namespace zep::sim::replay {

namespace {

using zep::record::ArgClass;
using zep::record::LogValue;
using zep::record::u64;

// A value of this build against the recorded one: a %s by its text (an inline
// one was kept up to its cap, so that much of it), a %p as null or not (an
// address differs from run to run), anything else by its bits.
bool sameValue(ArgClass cls, const LogValue &recorded, const LogValue &actual)
{
    if (cls == ArgClass::pointer) {
        return (recorded.number == 0) == (actual.number == 0);
    }
    if (cls != ArgClass::string) {
        return recorded.number == actual.number;
    }
    if (recorded.isNull || actual.isNull) {
        return recorded.isNull == actual.isNull;
    }
    return recorded.text.size() >= zep::record::kMaxInlineString ? actual.text.starts_with(recorded.text)
                                                                 : actual.text == recorded.text;
}

// This build's line as text, read by its own format's conversions.
std::string thisLineText(const char *format, va_list args)
{
    ArgClass classes[zep::record::kMaxLogArgs];
    const int count = format != nullptr ? zep::record::logArgClasses(format, classes) : -1;
    if (count < 0) {
        return std::string("(a format no recorded line can carry: ") + (format != nullptr ? format : "null") + ")";
    }
    LogValue values[zep::record::kMaxLogArgs];
    va_list again;
    va_copy(again, args);
    zep::record::takeLogValues(again, {classes, static_cast<std::size_t>(count)}, values);
    va_end(again);
    return zep::record::formatLogLine(format, values, static_cast<std::size_t>(count));
}

bool sameHeader(const RecordedCall &recorded, const u64 (&actual)[zep::record::logFormatRef])
{
    return recorded.kind == zep::record::CallKind::op &&
           recorded.id == static_cast<zep::record::u8>(zep::record::Op::ZEP_DBG_Print) && recorded.texts != nullptr &&
           sameWords(recorded.args, actual, zep::record::logFormatRef);
}

}  // namespace

bool Replayer::sameLine(const RecordedCall &recorded, const char *format, va_list &args)
{
    const char *why = nullptr;
    if (format == nullptr || !zep::record::decodeLogLine(recorded, *recorded.texts, recordedLine_, why) ||
        recordedLine_.format != format) {
        return false;
    }
    const std::vector<ArgClass> &classes = recordedLine_.classes;
    thisLine_.assign(classes.size(), LogValue{});
    zep::record::takeLogValues(args, classes, thisLine_.data());
    for (std::size_t i = 0; i < classes.size(); ++i) {
        if (!sameValue(classes[i], recordedLine_.values[i], thisLine_[i])) {
            return false;
        }
    }
    return true;
}

void Replayer::onLog(u32 severity, u32 moduleId, u32 category, const u8 *staMac, const char *format, va_list args)
{
    const RecordedCall *recorded = nextToCheck();
    if (recorded == nullptr) {
        return;  // past a divergence, or the recording stops inside this handler
    }
    const u64 header[zep::record::logFormatRef] = {severity, moduleId, category, zep::record::calls::given(staMac),
                                                   zep::record::calls::mac48(staMac)};
    va_list values;
    va_copy(values, args);
    const bool same = sameHeader(*recorded, header) && sameLine(*recorded, format, values);
    va_end(values);
    if (!same) {
        diverge(describe(*recorded), describeLine(header, thisLineText(format, args)));
    }
}

}  // namespace zep::sim::replay
