// The framework's C entry points, made from the table of operations: each
// shows a recorded call to the tap when one is set, and runs its emulated
// body (emulated::name, beside the state it works on) otherwise or when the
// tap leaves the call to the emulation. Callbacks the body makes into the
// application reach the tap again.
#include <algorithm>
#include <cstring>

#include "host_impl.hpp"

namespace zep::host {

namespace {

constexpr std::string_view kOperationNames[] = {
#define ZEP_HOST_OPERATION_NAME(name, ...) #name,
    ZEP_OPERATIONS(ZEP_HOST_OPERATION_NAME)
#undef ZEP_HOST_OPERATION_NAME
};

}  // namespace

std::string_view operationName(Operation op)
{
    const auto row = static_cast<std::size_t>(op);
    return row < std::size(kOperationNames) ? kOperationNames[row] : std::string_view("unknown operation");
}

void detail::writeOutputs(std::span<const Output> outputs, std::span<const u8> answered)
{
    std::size_t at = 0;
    for (const Output &output : outputs) {
        if (output.bytes != nullptr && at < answered.size()) {
            std::memcpy(output.bytes, answered.data() + at, std::min(output.size, answered.size() - at));
        }
        at += output.size;
    }
}

// Per recorded row: where the call's output parameters are, as a tap sees them.
namespace outputs_of {
#define ZEP_HOST_UNUSED_PARAM(type, name) [[maybe_unused]] type name
#define ZEP_HOST_OUTPUT(name, bytes) detail::output(name, bytes)
#define ZEP_HOST_OUTPUTS_OF(name, replay, fault, failure, entry, result, params, outputs, note)     \
    ZEP_OP_WHEN(ZEP_OP_GENERATED_##entry, ZEP_OP_WHEN(ZEP_OP_RECORDED_##replay,                     \
        static auto name(ZEP_OP_PAIRS(ZEP_HOST_UNUSED_PARAM, params))                               \
        {                                                                                           \
            return detail::outputList(ZEP_OP_PAIRS(ZEP_HOST_OUTPUT, outputs));                         \
        }))
ZEP_OPERATIONS(ZEP_HOST_OUTPUTS_OF)
#undef ZEP_HOST_OUTPUTS_OF
#undef ZEP_HOST_OUTPUT
#undef ZEP_HOST_UNUSED_PARAM
}  // namespace outputs_of

}  // namespace zep::host

using namespace zep::host;

#define ZEP_HOST_TAPPED(name, params)                                                               \
    if (detail::g_tap != nullptr) [[unlikely]] {                                                    \
        return detail::throughTap<Operation::name, emulated::name, outputs_of::name>(ZEP_OP_NAMES(params)); \
    }
#define ZEP_HOST_ENTRY_POINT(name, replay, fault, failure, entry, result, params, outputs, note)    \
    ZEP_OP_WHEN(ZEP_OP_GENERATED_##entry,                                                          \
        result name(ZEP_OP_PARAMS(params))                                                         \
        {                                                                                          \
            ZEP_OP_WHEN(ZEP_OP_RECORDED_##replay, ZEP_HOST_TAPPED(name, params))                   \
            return emulated::name(ZEP_OP_NAMES(params));                                           \
        })
ZEP_OPERATIONS(ZEP_HOST_ENTRY_POINT)
#undef ZEP_HOST_ENTRY_POINT
#undef ZEP_HOST_TAPPED
