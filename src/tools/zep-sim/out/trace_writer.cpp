#include "out/trace_writer.hpp"

#include <algorithm>

#include "wire/msg_catalog.hpp"

namespace zep::sim {

namespace {

// Lines are gathered and handed to the stream in writes of about this size.
constexpr std::size_t kWriteSize = 1u << 20;

const char *sendName(EventKind kind)
{
    switch (kind) {
    case EventKind::Ipc: return "ipc";
    case EventKind::OutFail: return "outfail";
    case EventKind::IpcFail: return "ipcfail";
    default: return "out";
    }
}

constexpr std::initializer_list<EventKind> kWrittenFromEvent = {
    EventKind::In, EventKind::Out, EventKind::Ipc, EventKind::OutFail, EventKind::IpcFail};

bool writtenFromEvent(EventKind kind)
{
    return std::ranges::find(kWrittenFromEvent, kind) != kWrittenFromEvent.end();
}

// The decoded body, when the catalog has a decoder for it; decoded once only
// when another sink has had the event decoded already.
void writeFields(JsonLine &line, const Event &ev)
{
    if (ev.fields) {
        if (!ev.fields->empty()) {
            line.json("fields", *ev.fields);
        }
        return;
    }
    const MsgInfo *m = ev.msg;
    if (m == nullptr || m->decode == nullptr) {
        return;
    }
    if (m->write != nullptr && m->write(line, ev.body)) {
        return;
    }
    const Decoded d = m->decode(ev.body);
    if (!d.fields.empty()) {
        line.json("fields", d.fields);
    }
}

void writeDelivered(JsonLine &line, const Event &ev)
{
    line.text("ev", "in");
    line.field("t", ev.t);
    line.field("id", ev.id);
    line.field("len", ev.len);
    line.field("status", ev.status.value_or(0));
    writeFields(line, ev);
}

void writeSent(JsonLine &line, const Event &ev)
{
    line.text("ev", sendName(ev.kind));
    line.field("t", ev.t);
    line.field("dest", ev.dest);
    line.field("id", ev.id);
    if (ev.status) {
        line.field("status", *ev.status);
    }
    line.hex("hex", ev.body);
    if (ev.servedHost) {  // after hex, where a trace object built whole has it
        if (*ev.servedHost == kUnknownHost) {
            line.null("host");
        } else {
            line.field("host", *ev.servedHost);
        }
    }
    writeFields(line, ev);
}

}  // namespace

Needs TraceWriter::needs() const
{
    return Needs()
        .add(Need::Object)
        .remove(Need::Object, kWrittenFromEvent)
        .add(Need::Shares, {EventKind::Out, EventKind::OutFail});
}

TraceWriter::TraceWriter(std::ostream &out) : out_(out)
{
    pending_.reserve(kWriteSize + kWriteSize / 4);
}

TraceWriter::~TraceWriter()
{
    writeOut();
    out_.flush();
}

void TraceWriter::onEvent(const Event &ev)
{
    if (!ev.json && writtenFromEvent(ev.kind)) {
        writeFromEvent(ev);
    } else {
        // Log texts and SSIDs may hold bytes that are not UTF-8; they are
        // written replaced rather than failing the whole trace.
        pending_ += ev.json->dump(-1, ' ', false, Json::error_handler_t::replace);
    }
    pending_.push_back('\n');
    if (pending_.size() >= kWriteSize) {
        writeOut();
    }
}

void TraceWriter::beginStep(std::size_t /*index*/, int /*line*/, const std::string & /*op*/)
{
    writeOut();
}

void TraceWriter::endStep()
{
    writeOut();
    out_.flush();
}

void TraceWriter::writeFromEvent(const Event &ev)
{
    JsonLine line(pending_);
    line.begin();
    if (ev.kind == EventKind::In) {
        writeDelivered(line, ev);
    } else {
        writeSent(line, ev);
    }
    line.end();
}

void TraceWriter::writeOut()
{
    out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
    pending_.clear();
}

}  // namespace zep::sim
