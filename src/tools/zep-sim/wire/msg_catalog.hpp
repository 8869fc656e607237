// Every message id the simulator knows, in one table: its short name, how a
// scenario writes its body (encoder), how a body reads back (decoder), and which
// column of the summary counts it, for which radio.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "base/json_line.hpp"
#include "wire/decoded.hpp"

namespace zep::sim {

// Where a message travels; a decoder applies only in its direction.
enum class Direction { In, Out, Ipc };

// The summary's per-radio columns.
enum class Column { None, Requests, Answers, Reports, CoMeas, Scans };

// The radio a body names, read straight from its bytes; STAMEAS_ALL_RADIO when
// the body is too short to say.
using RadioOf = u32 (*)(std::span<const u8> body);
using Encoder = std::vector<u8> (*)(const Fields &f, const EncodeContext &ctx);
using Decoder = Decoded (*)(std::span<const u8> body);
// Writes the decoded "fields" straight into a trace line, for the messages a
// long run sends most; false, with nothing written, when the body is too short.
using FieldWriter = bool (*)(JsonLine &line, std::span<const u8> body);

struct MsgInfo {
    u32 id = 0;
    std::string_view name;
    Direction dir = Direction::In;
    Encoder encode = nullptr;  // none: the scenario gives the body as hex
    Decoder decode = nullptr;
    Column column = Column::None;
    RadioOf radio = nullptr;
    FieldWriter write = nullptr;  // none: the decoder's fields are written
};

// The entry of an id; null for an id the simulator does not know.
const MsgInfo *findMsg(u32 id);

// The entry that describes a message the application received, or sent while
// the handler of context ran; null when none does.
const MsgInfo *inboundMsg(u32 id);
const MsgInfo *outboundMsg(u32 id, u32 context, bool ipc);

// "meas-start" for 182; an empty view for an id without a name.
std::string_view msgName(u32 id);

// "182 meas-start", or just "173" for an id without a name.
std::string msgLabel(u32 id);

}  // namespace zep::sim
