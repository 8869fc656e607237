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

Expect expectOf(const std::string &yaml)
{
    const Scenario sc = readScenarioText("steps:\n  - expect: " + yaml + "\n", "t.yaml");
    return std::get<step::Check>(sc.steps.at(0).action).expect;
}

Event out(u32 id, std::size_t len, Json fields = Json::object())
{
    static const std::array<u8, 2048> kZeros{};
    Event e;
    e.kind = EventKind::Out;
    e.id = id;
    e.body = std::span(kZeros).first(len);
    e.json = {{"ev", "out"}, {"t", 0}, {"id", id}, {"fields", std::move(fields)}};
    return e;
}

Event ipc(std::size_t len)
{
    Event e = out(91, len);
    e.kind = EventKind::Ipc;
    e.json["ev"] = "ipc";
    return e;
}

Event log(const std::string &text)
{
    Event e;
    e.kind = EventKind::Log;
    e.text = text;
    e.json = {{"ev", "log"}, {"t", 0}, {"sev", 0}, {"text", text}};
    return e;
}

std::vector<std::string> judge(const std::string &yaml, const std::vector<Event> &events,
                               LastStatus last = {})
{
    NoState probe;
    const Expect expect = expectOf(yaml);
    Window window;
    window.watch(expect);
    for (const Event &ev : events) {
        window.add(ev);
    }
    return checkExpect(expect, window, last, probe);
}

TEST(Expect, CountsAreExactOrRanges)
{
    const std::vector<Event> w{out(167, 20), out(167, 20), out(197, 40)};
    EXPECT_TRUE(judge("{sent: {167: 2, 197: \">=1\", 169: 0}}", w).empty());
    EXPECT_TRUE(judge("{sent: {167: \"1..2\", 197: \"<2\"}}", w).empty());
    const auto failures = judge("{sent: {167: \">2\"}}", w);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0], "sent 167 LM request: expected >2, got 2");
}

TEST(Expect, IpcLengthsAreCheckedInOrder)
{
    const std::vector<Event> w{ipc(1808), ipc(904)};
    EXPECT_TRUE(judge("{ipcBytes: [1808, 904], ipc: 2}", w).empty());
    EXPECT_EQ(judge("{ipcBytes: [904, 1808]}", w).size(), 1u);
}

TEST(Expect, StatusIsTheLastStepsOrNoneWithoutAHandler)
{
    EXPECT_TRUE(judge("{status: 43}", {}, LastStatus{true, 43u, "send"}).empty());
    EXPECT_TRUE(judge("{status: none}", {}, LastStatus{true, std::nullopt, "send"}).empty());
    EXPECT_EQ(judge("{status: 0}", {}, LastStatus{true, std::nullopt, "send"}).size(), 1u);
    EXPECT_EQ(judge("{status: 0}", {}).front(),
              "status: no step since the previous expect returned one");
}

TEST(Expect, LogTextsAreFoundAsSubstrings)
{
    const std::vector<Event> w{log("f[1]: invalid num 0.\r\n"), log("f[2]: invalid num 0.\r\n")};
    EXPECT_TRUE(judge("{logContains: [invalid num, \"num 0.\"], noLog: host}", w).empty());
    EXPECT_TRUE(judge("{logCount: {invalid num 0: 2}}", w).empty());
    const auto failures = judge("{noLog: invalid}", w);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0], "a log line contains \"invalid\": f[1]: invalid num 0.");
}

TEST(Expect, EventPatternsMatchSubsetsOfTheTrace)
{
    const std::vector<Event> w{
        out(197, 40, {{"report", {{"staMac", "00:11:22:33:44:01"}, {"tokenId", 7}}},
                      {"tokenClass", 0},
                      {"list", Json::array({1, 2, 3})}}),
        out(197, 40, {{"report", {{"staMac", "00:11:22:33:44:02"}, {"tokenId", 150}}},
                      {"tokenClass", 1}})};
    EXPECT_TRUE(judge("{events: [{ev: out, id: 197, count: 2}]}", w).empty());
    EXPECT_TRUE(judge("{events: [{fields: {report: {staMac: \"44:02\"}, tokenClass: 1}}]}", w).empty());
    EXPECT_TRUE(judge("{events: [{fields: {list: [3, 1]}}]}", w).empty());  // items in any order
    // A MAC matches however the pattern spells it.
    EXPECT_TRUE(judge("{events: [{fields: {report: {staMac: \"00-11-22-33-44-02\"}}}]}", w).empty());
    EXPECT_TRUE(judge("{events: [{fields: {report: {staMac: \"001122334401\"}}}]}", w).empty());
    EXPECT_TRUE(judge("{events: [{fields: {tokenClass: 3}, count: 0}]}", w).empty());
    // A quoted number is text and does not match a number.
    EXPECT_EQ(judge("{events: [{id: \"197\"}]}", w).size(), 1u);
    // Bytes that are not UTF-8 read, and are echoed replaced rather than aborting the run.
    EXPECT_EQ(judge("{events: [{text: a\x82}]}", w).front(),
              "events matching {\"text\":\"a\xEF\xBF\xBD\"}: expected >=1, got 0");
}

TEST(Expect, StateChecksAskTheProbe)
{
    EXPECT_TRUE(judge("{tableSize: {0: 2}, timers: 1, leaks: 0, handlerRegistered: 182, "
                      "handlerNotRegistered: [183]}",
                      {})
                    .empty());
    const auto failures = judge("{comeasSize: [{radio: 1, channel: 36, size: 0}], timers: 0}", {});
    ASSERT_EQ(failures.size(), 2u);
    EXPECT_EQ(failures[0], "co-measurement list of radio 1 channel 36: the dump (RPC 70) is not available");
    EXPECT_EQ(failures[1], "running timers: expected 0, got 1");
}

}  // namespace
}  // namespace zep::sim
