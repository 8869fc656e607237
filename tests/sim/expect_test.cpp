// How expect steps judge a window of events.
#include <gtest/gtest.h>

#include <array>

#include "scenario/expect.hpp"
#include "scenario/scenario_reader.hpp"

namespace zep::sim {
namespace {

class NoState : public StateProbe {
public:
    std::optional<u32> tableSize(u32) override { return 2; }
    std::optional<u32> comeasSize(u32, u32) override { return std::nullopt; }
    bool handlerRegistered(u32 id) override { return id == 182; }
    std::uint64_t liveBlocks() override { return 0; }
    std::uint64_t activeTimers() override { return 1; }
};

Event out(u32 id, std::size_t len, Json fields = Json::object())
{
    static const std::array<u8, 2048> kZeros{};
    Event e;
    e.kind = EventKind::Out;
    e.id = id;
    e.body = std::span(kZeros).first(len);
    e.json = Json{{"ev", "out"}, {"t", 0}, {"id", id}, {"fields", std::move(fields)}};
    return e;
}

Event ipc(std::size_t len)
{
    Event e = out(91, len);
    e.kind = EventKind::Ipc;
    (*e.json)["ev"] = "ipc";
    return e;
}

Event log(const std::string &text)
{
    Event e;
    e.kind = EventKind::Log;
    e.text = text;
    e.json = Json{{"ev", "log"}, {"t", 0}, {"sev", 0}, {"text", text}};
    return e;
}

const std::vector<Event> kMessages{out(167, 20), out(167, 20), out(197, 40)};
const std::vector<Event> kIpc{ipc(1808), ipc(904)};
const std::vector<Event> kLogs{log("f[1]: invalid num 0.\r\n"), log("f[2]: invalid num 0.\r\n")};
const std::vector<Event> kReports{
    out(197, 40,
        {{"report", {{"staMac", "00:11:22:33:44:01"}, {"tokenId", 7}}},
         {"tokenClass", 0},
         {"list", Json::array({1, 2, 3})}}),
    out(197, 40,
        {{"report", {{"staMac", "00:11:22:33:44:02"}, {"tokenId", 150}}}, {"tokenClass", 1}})};

struct Judged {
    const char *expect;
    const std::vector<Event> &window;
    std::vector<std::string> failures;
    LastStatus last = {};
};

const std::vector<Event> kNone;
const Judged kJudged[] = {
    // Counts are exact or ranges.
    {"{sent: {167: 2, 197: \">=1\", 169: 0}}", kMessages, {}},
    {"{sent: {167: \"1..2\", 197: \"<2\"}}", kMessages, {}},
    {"{sent: {167: \">2\"}}", kMessages, {"sent 167 LM request: expected >2, got 2"}},
    // IPC lengths are checked in order.
    {"{ipcBytes: [1808, 904], ipc: 2}", kIpc, {}},
    {"{ipcBytes: [904, 1808]}",
     kIpc, {"IPC message lengths: expected [904, 1808], got [1808, 904]"}},
    // The status is the last step's, or none without a handler.
    {"{status: 43}", kNone, {}, {true, 43u, "send"}},
    {"{status: none}", kNone, {}, {true, std::nullopt, "send"}},
    {"{status: 0}", kNone, {"status of send: expected 0, got none (no handler)"},
     {true, std::nullopt, "send"}},
    {"{status: 0}", kNone, {"status: no step since the previous expect returned one"}},
    // Log texts are found as substrings.
    {"{logContains: [invalid num, \"num 0.\"], noLog: host}", kLogs, {}},
    {"{logCount: {invalid num 0: 2}}", kLogs, {}},
    {"{noLog: invalid}", kLogs, {"a log line contains \"invalid\": f[1]: invalid num 0."}},
    // Event patterns match subsets of the trace; list items in any order; a MAC
    // however the pattern spells it; a quoted number is text, not a number.
    {"{events: [{ev: out, id: 197, count: 2}]}", kReports, {}},
    {"{events: [{fields: {report: {staMac: \"44:02\"}, tokenClass: 1}}]}", kReports, {}},
    {"{events: [{fields: {list: [3, 1]}}]}", kReports, {}},
    {"{events: [{fields: {report: {staMac: \"00-11-22-33-44-02\"}}}]}", kReports, {}},
    {"{events: [{fields: {report: {staMac: \"001122334401\"}}}]}", kReports, {}},
    {"{events: [{fields: {tokenClass: 3}, count: 0}]}", kReports, {}},
    {"{events: [{id: \"197\"}]}",
     kReports, {"events matching {\"id\":\"197\"}: expected >=1, got 0"}},
    // Bytes that are not UTF-8 read, and are echoed replaced rather than aborting the run.
    {"{events: [{text: a\x82}]}",
     kReports, {"events matching {\"text\":\"a\xEF\xBF\xBD\"}: expected >=1, got 0"}},
    // State checks ask the probe.
    {"{tableSize: {0: 2}, timers: 1, leaks: 0, handlerRegistered: 182, "
     "handlerNotRegistered: [183]}", kNone, {}},
    {"{comeasSize: [{radio: 1, channel: 36, size: 0}], timers: 0}", kNone,
     {"co-measurement list of radio 1 channel 36: the dump (RPC 70) is not available",
      "running timers: expected 0, got 1"}},
};

TEST(Expect, EachCheckHoldsOrSaysWhatItSaw)
{
    for (const Judged &j : kJudged) {
        const std::string yaml = std::string("steps:\n  - expect: ") + j.expect + "\n";
        const Scenario sc = readScenarioText(yaml, "t.yaml");
        const Expect &expect = std::get<step::Check>(sc.steps.at(0).action).expect;
        NoState probe;
        Window window;
        window.watch(expect);
        for (const Event &ev : j.window) {
            window.add(ev);
        }
        EXPECT_EQ(checkExpect(expect, window, j.last, probe), j.failures) << j.expect;
    }
}

}  // namespace
}  // namespace zep::sim
