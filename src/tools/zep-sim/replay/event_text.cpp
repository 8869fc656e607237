#include "replay/event_text.hpp"

#include "base/hex.hpp"
#include "recorded_log.hpp"

namespace zep::sim::replay {

namespace {

using zep::record::CallKind;

constexpr std::size_t kShownBytes = 24;

std::string hexBytes(std::span<const zep::record::u8> bytes)
{
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && i < kShownBytes; ++i) {
        text += (i == 0 ? "" : " ") + toHex(bytes.subspan(i, 1));
    }
    if (bytes.size() > kShownBytes) {
        text += " ...";
    }
    return text + " (" + std::to_string(bytes.size()) + " bytes)";
}

// A log line reads better as its text, without the line end.
std::string lineText(std::string_view bytes)
{
    return "\"" + std::string(bytes.substr(0, bytes.find_last_not_of("\r\n") + 1)) + "\"";
}

std::string entryName(zep::record::u8 id)
{
    static constexpr const char *kNames[] = {"init", "de-init", "message", "RPC", "timer", "config item",
                                             "station leave"};
    return id < std::size(kNames) ? kNames[id] : "entry " + std::to_string(id);
}

std::string argList(const zep::record::u64 *args, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += (i == 0 ? "" : ", ") + std::to_string(args[i]);
    }
    return text;
}

// "   name(1, 2)": an operation by its name and arguments.
std::string opCall(zep::record::u8 id, const zep::record::u64 *args, std::size_t count)
{
    return "   " + std::string(zep::record::opName(id)) + "(" + argList(args, count) + ")";
}

}  // namespace

std::string describe(const zep::record::RecordedCall &e)
{
    switch (e.kind) {
    case CallKind::in: {
        // The last argument of an entry is the time; the first, the id or phase.
        const std::size_t shown = e.argCount > 0 ? e.argCount - 1u : 0u;
        std::string text = "-> " + entryName(e.id) + "(" + argList(e.args, shown) + ")";
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
    return opCall(e.id, e.args, e.argCount) + (e.in.empty() ? "" : " in " + hexBytes(e.in));
}

// Its arguments up to the format's reference, which means nothing to a reader.
std::string describeLine(const zep::record::u64 *args, std::string_view text)
{
    return opCall(static_cast<zep::record::u8>(zep::record::Op::ZEP_DBG_Print), args, zep::record::logFormatRef) +
           " " + lineText(text);
}

}  // namespace zep::sim::replay
