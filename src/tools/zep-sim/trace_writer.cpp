#include "trace_writer.hpp"

namespace zep::sim {

void TraceWriter::onEvent(const Event &ev)
{
    // Log texts and SSIDs may hold bytes that are not UTF-8; they are written
    // replaced rather than failing the whole trace.
    out_ << ev.json.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

}  // namespace zep::sim
