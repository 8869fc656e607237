// The recorder inside libsta_meas_rec.so: the one writer of this process and
// the helpers every wrapped framework operation calls after the real one.
#pragma once

#include "record_calls.hpp"
#include "record_writer.hpp"
#include "zep_operations.h"

// Null unless STA_MEAS_RECORD named a file when the library was loaded: the
// only thing a wrapper reads while recording is off.
extern "C" zep::record::Writer *zep_record_writer;

namespace zep::record::recorder {

inline void recordCall(const RecordedCall &call, u64 ret, std::span<const u8> out = {})
{
    zep_record_writer->add(call, ret, out);
}

// The same, out of line: for a wrapper that records in its own body, so that
// the encoding inlined there does not grow the frame of its way straight to
// the framework, which recording off takes.
[[gnu::noinline]] void recordCallOutOfLine(const RecordedCall &call, u64 ret, std::span<const u8> out = {});

// The module registered under appId: the recorder's own lines go under it,
// and one said before now is said now.
void moduleRegistered(u32 appId);

// Virtual milliseconds since recording began, from the framework's ticks.
u64 elapsedMs();

inline void recordIn(Entry entry, std::initializer_list<u64> args, std::span<const u8> body)
{
    RecordedCall e = calls::op(Op::count, args, body);
    e.kind = CallKind::in;
    e.id = static_cast<u8>(entry);
    e.args[e.argCount++] = elapsedMs();
    zep_record_writer->add(e);
}

inline void recordRet(u64 status, std::span<const u8> reply = {})
{
    RecordedCall e;
    e.kind = CallKind::ret;
    e.ret = status;
    e.out = reply;
    zep_record_writer->add(e);
}

}  // namespace zep::record::recorder

// For each recorded operation with a generated entry point, the framework's
// own definition (the linker names it __real_ under -Wl,--wrap) and the
// recording half its wrapper calls while recording is on (wraps.cpp).
#define ZEP_RECORD_DECLARE(name, replay, fault, failure, entry, result, params, outputs, note) \
    ZEP_OP_WHEN(ZEP_OP_RECORDED_##replay, ZEP_OP_WHEN(ZEP_OP_GENERATED_##entry,             \
        result __real_##name(ZEP_OP_PARAMS(params));                                         \
        result recorded_##name(ZEP_OP_PARAMS(params));))
extern "C" {
ZEP_OPERATIONS(ZEP_RECORD_DECLARE)
}
#undef ZEP_RECORD_DECLARE

// The linker's names for the framework's own definitions (-Wl,--wrap).
#define ZEP_REAL(name) __real_##name
#define ZEP_WRAP(name) __wrap_##name
