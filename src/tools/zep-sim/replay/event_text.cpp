#include "replay/event_text.hpp"

#include <algorithm>
#include <cstdio>

#include "recorded_log.hpp"

namespace zep::sim::replay {

namespace {

using zep::record::Entry;
using zep::record::CallKind;

constexpr std::size_t kShownBytes = 24;

std::string hexBytes(std::span<const zep::record::u8> bytes)
{
    std::string text;
    char hex[4];
    for (std::size_t i = 0; i < bytes.size() && i < kShownBytes; ++i) {
        std::snprintf(hex, sizeof hex, "%s%02x", i == 0 ? "" : " ", bytes[i]);
        text += hex;
    }
    if (bytes.size() > kShownBytes) {
        text += " ...";
    }
    return text + " (" + std::to_string(bytes.size()) + " bytes)";
}

// A log line reads better as its text, without the line end.
std::string lineText(std::string_view bytes)
{
    std::string text(bytes);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return "\"" + text + "\"";
}

std::string entryName(zep::record::u8 id)
{
    static constexpr const char *kNames[] = {"init", "de-init", "message", "RPC", "timer", "config item",
                                             "station leave"};
    return id < std::size(kNames) ? kNames[id] : "entry " + std::to_string(id);
}

std::string argList(const zep::record::RecordedCall &e, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count && i < e.argCount; ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(e.args[i]);
    }
    return text;
}

}  // namespace

std::string describe(const zep::record::RecordedCall &e)
{
    switch (e.kind) {
    case CallKind::in: {
        // The last argument of an entry is the time; the first, the id or phase.
        const std::size_t shown = e.argCount > 0 ? e.argCount - 1u : 0u;
        std::string text = "-> " + entryName(e.id) + "(" + argList(e, shown) + ")";
        return e.in.empty() ? text : text + " body " + hexBytes(e.in);
    }
    case CallKind::ret:
        return "<- returned " + std::to_string(e.ret) + (e.out.empty() ? "" : " reply " + hexBytes(e.out));
    case CallKind::callback:
        return "   neighbour record " + hexBytes(e.in);
    case CallKind::format:
    case CallKind::string:  // the reader keeps these to itself
        return "   text " + lineText({reinterpret_cast<const char *>(e.in.data()), e.in.size()});
    case CallKind::op:
        break;
    }
    if (e.id == static_cast<zep::record::u8>(zep::record::Op::ZEP_DBG_Print)) {
        return describeLine(e.args, zep::record::recordedLineText(e));
    }
    std::string text = "   " + std::string(zep::record::opName(e.id)) + "(" + argList(e, e.argCount) + ")";
    if (!e.in.empty()) {
        text += " in " + hexBytes(e.in);
    }
    return text;
}

std::string describeLine(const zep::record::u64 *args, std::string_view text)
{
    zep::record::RecordedCall shown;
    shown.argCount = zep::record::logFormatRef;  // the format's reference means nothing to a reader
    std::copy(args, args + shown.argCount, shown.args);
    return "   " + std::string(zep::record::opName(static_cast<zep::record::u8>(zep::record::Op::ZEP_DBG_Print))) +
           "(" + argList(shown, shown.argCount) + ") " + lineText(text);
}

}  // namespace zep::sim::replay
