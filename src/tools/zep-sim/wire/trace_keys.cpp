#include "wire/trace_keys.hpp"

#include <algorithm>
#include <array>
#include <utility>

namespace zep::sim {

namespace {

using Keys = std::span<const std::string_view>;

constexpr std::string_view kReg[] = {"ev", "t", "status"};
constexpr std::string_view kPhase[] = {"ev", "t", "phase", "status", "fields"};
constexpr std::string_view kRegMsg[] = {"ev", "t", "kind", "id", "status"};
constexpr std::string_view kIn[] = {"ev", "t", "id", "len", "status", "fields"};
constexpr std::string_view kConfig[] = {"ev", "t", "radio", "status", "fields"};
constexpr std::string_view kLeave[] = {"ev", "t", "sta", "status"};
constexpr std::string_view kSent[] = {"ev", "t", "dest", "id", "status", "hex", "fields"};
constexpr std::string_view kOut[] = {"ev", "t", "dest", "id", "status", "hex", "host", "fields"};
constexpr std::string_view kRpc[] = {"ev", "t", "id", "status", "hex", "len", "fields"};
constexpr std::string_view kLog[] = {"ev", "t", "sev", "mod", "cat", "sta", "text"};
constexpr std::string_view kNote[] = {"ev", "t", "text"};
constexpr std::string_view kExpect[] = {"ev", "t", "line", "ok", "failures"};
constexpr std::string_view kUnhandled[] = {"ev", "t", "id", "len", "fields"};

constexpr std::array<std::pair<std::string_view, Keys>, 17> kKinds{{
    {"reg", kReg},
    {"phase", kPhase},
    {"deinit", kReg},
    {"regmsg", kRegMsg},
    {"unregmsg", kRegMsg},
    {"in", kIn},
    {"config", kConfig},
    {"leave", kLeave},
    {"out", kOut},
    {"ipc", kSent},
    {"outfail", kOut},
    {"ipcfail", kSent},
    {"rpc", kRpc},
    {"log", kLog},
    {"note", kNote},
    {"expect", kExpect},
    {"unhandled", kUnhandled},
}};

}  // namespace

std::span<const std::pair<std::string_view, Keys>> traceKinds()
{
    return kKinds;
}

bool isTraceKey(std::string_view key)
{
    const auto in = [&](Keys keys) { return std::find(keys.begin(), keys.end(), key) != keys.end(); };
    return std::any_of(kKinds.begin(), kKinds.end(), [&](const auto &kind) { return in(kind.second); });
}

}  // namespace zep::sim
