// Whole runs against the application library: the trace format, reproducible
// station answers, and how failed expectations are reported.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "sim_test.hpp"
#include "run/runner.hpp"
#include "scenario/demo.hpp"
#include "scenario/scenario_reader.hpp"

namespace zep::sim {
namespace {

// Station answers are drawn from the seed: the same one plays the same answers.
Played seeded(const std::string &text, std::optional<u64> seed)
{
    RunOptions opt;
    opt.seed = seed;
    return play(text, opt);
}

// The keys each event must carry after "ev" and "t", in this order.
const std::map<std::string, std::vector<std::string>> kKeys{
    {"reg", {"status"}},
    {"phase", {"phase", "status"}},
    {"deinit", {"status"}},
    {"regmsg", {"kind", "id", "status"}},
    {"unregmsg", {"kind", "id", "status"}},
    {"in", {"id", "len", "status"}},
    {"config", {"radio", "status"}},
    {"leave", {"sta", "status"}},
    {"out", {"dest", "id", "hex"}},
    {"ipc", {"dest", "id", "hex"}},
    {"rpc", {"id", "status", "hex"}},
    {"log", {"sev", "mod", "cat", "sta", "text"}},
    {"note", {"text"}},
    {"expect", {"line", "ok", "failures"}},
    {"unhandled", {"id", "len"}},
};

TEST(SimRun, DemoTraceHasTheDocumentedShape)
{
    const Played r = play(std::string(demoScenarioText()));
    EXPECT_TRUE(r.failures.empty());
    std::istringstream lines(r.trace);
    std::string line;
    std::set<std::string> seen;
    u64 lastT = 0;
    while (std::getline(lines, line)) {
        const Json ev = Json::parse(line);
        ASSERT_TRUE(ev.is_object()) << line;
        auto it = ev.begin();
        ASSERT_EQ(it.key(), "ev") << line;
        const std::string kind = it.value().get<std::string>();
        ASSERT_EQ((++it).key(), "t") << line;
        EXPECT_GE(it.value().get<u64>(), lastT) << "time went back: " << line;
        lastT = it.value().get<u64>();
        const auto keys = kKeys.find(kind);
        ASSERT_NE(keys, kKeys.end()) << line;
        for (const std::string &key : keys->second) {
            ASSERT_NE(++it, ev.end()) << line;
            EXPECT_EQ(it.key(), key) << line;
        }
        if (kind == "out" || kind == "ipc") {
            EXPECT_EQ(ev["dest"], 0xFFFFFFFFu);
        }
        if (kind == "log") {
            EXPECT_TRUE(ev["text"].get<std::string>().ends_with("\r\n")) << line;
            EXPECT_EQ(ev["mod"], 63);
            EXPECT_TRUE(ev["sta"].is_null() || ev["sta"].get<std::string>().size() == 17) << line;
        }
        if (kind == "rpc" && ev["id"] == 69) {
            EXPECT_EQ(ev["hex"].get<std::string>().size(), 2u * 1157);
        }
        seen.insert(kind);
    }
    for (const char *kind : {"reg", "phase", "regmsg", "in", "out", "ipc", "rpc", "log", "config",
                             "leave", "deinit", "unregmsg"}) {
        EXPECT_TRUE(seen.contains(kind)) << "the demo never shows a " << kind << " event";
    }
}

constexpr const char *kCoinFlips = R"(
stations:
  - {mac: "00:11:22:33:44:01", caps: [lm], reply: {delayMs: 5, rate: 0.5}}
steps:
  - start
  - send: {id: 182, entries: [{staMac: "00:11:22:33:44:01", measId: lm}]}
  - advance: 40000
)";

TEST(SimRun, TheSeedDecidesWhichRequestsAreAnswered)
{
    const std::string first = seeded(kCoinFlips, 7).trace;
    EXPECT_EQ(seeded(kCoinFlips, 7).trace, first);
    EXPECT_NE(seeded(kCoinFlips, 8).trace, first);
}

TEST(SimRun, FailedExpectationsNameTheirStepAndTheRunGoesOn)
{
    const Played r = play(R"(
steps:
  - start
  - expect: {sent: {167: 1}}
  - send: {id: 999, hex: "00"}
  - expect: {status: 0}
  - stop
  - expect: {status: 0}
)");
    ASSERT_EQ(r.failures.size(), 2u);
    EXPECT_EQ(r.failures[0].step, 2u);
    EXPECT_EQ(r.failures[0].line, 4);
    EXPECT_EQ(r.failures[0].what, "sent 167 LM request: expected 1, got 0");
    EXPECT_EQ(r.failures[1].line, 6);
    EXPECT_EQ(r.failures[1].what,
              "status of send (line 5): expected 0, got none (no handler)");
    EXPECT_NE(r.trace.find(R"({"ev":"unhandled","t":0,"id":999,"len":1)"), std::string::npos);
}

TEST(SimRun, LookingAtTheTablesLeavesNoTrace)
{
    const Played r = play(R"(
steps:
  - start
  - expect: {tableSize: {0: 0}, comeasSize: [{radio: 0, channel: 1, size: 0}]}
)");
    EXPECT_TRUE(r.failures.empty());
    EXPECT_EQ(r.trace.find(R"("ev":"rpc")"), std::string::npos);
}

// Passes start on their slots whatever their own steps advance; without every,
// a pass starts where the previous one ended. Expectations hold per pass.
TEST(SimRun, RepeatedPassesKeepTheirSlots)
{
    const Played r = play(R"(
steps:
  - start
  - send: {id: 182, entries: [{staMac: "00:11:22:33:44:01", measId: lm}]}
  - repeat:
      times: 3
      every: 1000
      steps:
        - note: pass
        - advance: 200
        - repeat: {times: 2, steps: [{advance: 100}, {note: inner}]}
        - expect: {in: {186: "<=1"}}
  - note: end
)");
    EXPECT_TRUE(r.failures.empty());
    std::vector<u64> noteTimes;
    std::istringstream lines(r.trace);
    for (std::string line; std::getline(lines, line);) {
        const Json ev = Json::parse(line);
        if (ev["ev"] == "note") {
            noteTimes.push_back(ev["t"].get<u64>());
        }
    }
    EXPECT_EQ(noteTimes, (std::vector<u64>{0, 300, 400, 1000, 1300, 1400, 2000, 2300, 2400, 3000}));
}

// Answers due at the same ms share one wake-up of the stations; they must still
// come in the order of their requests, and a station gone by then stays silent.
TEST(SimRun, AnswersDueTogetherComeInTheOrderOfTheirRequests)
{
    const Played r = play(R"(
stations:
  - {mac: "00:11:22:33:44:01", caps: [lm], reply: {delayMs: 20}, repeat: 4}
steps:
  - start
  - send: {id: 182, entries: [{staMac: "00:11:22:33:44:01", measId: lm, repeat: 4}]}
  - advance: 2010
  - removeStation: "00:11:22:33:44:03"
  - advance: 10
)");
    std::vector<std::string> requested;
    std::vector<std::string> answered;
    std::istringstream lines(r.trace);
    for (std::string line; std::getline(lines, line);) {
        const Json ev = Json::parse(line);
        if (ev["ev"] == "out" && ev["id"] == 167) {
            requested.push_back(ev["fields"]["staMac"].get<std::string>());
        } else if (ev["ev"] == "in" && ev["id"] == 168) {
            answered.push_back(ev["fields"]["staMac"].get<std::string>());
        }
    }
    ASSERT_EQ(requested.size(), 4u);
    requested.erase(requested.begin() + 2);  // station 03 left before its answer was due
    EXPECT_EQ(answered, requested);
}

// What the sinks of a run read is all that events carry: a decode costs the
// same for every one of millions of events, wanted or not.
// What a sink that reads nothing itself finds in deliveries and IPCs.
class CarriedProbe : public EventSink {
public:
    void onEvent(const Event &ev) override
    {
        if (ev.kind == EventKind::In || ev.kind == EventKind::Ipc) {
            seen.push_back(std::to_string(ev.id) + (ev.summary.empty() ? "" : " text") +
                           (ev.fields ? " fields" : "") +
                           (ev.json ? " object" : ""));
        }
    }
    std::vector<std::string> seen;
};

std::vector<std::string> carried(bool timeline)
{
    const Scenario sc = readScenarioText(R"(
radio: {1: {band: 1}}
stations: [{mac: "00:11:22:33:44:01", caps: [lm]}]
neighbours: [{mac: "66:77:88:99:aa:01", vaps: [{ssid: office, channel: 36, band: 1}]}]
steps:
  - start
  - repeat:
      times: 2
      steps: [{send: {id: 182, entries: [{staMac: "00:11:22:33:44:01", measId: lm}]}}]
  - send: {id: 198, stations: [{staMac: "00:11:22:33:55:01", ssid: office, radioId: 1, channel: 36}]}
)",
                                         "t.yaml");
    std::ostringstream human;
    CarriedProbe probe;
    RunOptions opt;
    opt.libPath = ZEP_SIM_TEST_LIB;
    opt.human = &human;
    opt.timeline = timeline;
    opt.sinks.push_back(&probe);
    Runner(sc, opt).run();
    return probe.seen;
}

TEST(SimRun, EventsCarryWhatTheSinksReadAndNoMore)
{
    // The timeline reads one-liners except while it is muted (the second pass
    // of the repeat); the summary counts the blocks in the neighbours' IPC.
    EXPECT_EQ(carried(true),
              (std::vector<std::string>{"182 text", "182", "91 text fields", "198 text"}));
    EXPECT_EQ(carried(false), (std::vector<std::string>{"182", "182", "91 fields", "198"}));
}

TEST(SimRun, AMissingLibraryIsALoadError)
{
    const Scenario sc = readScenarioText("steps: [start]\n", "t.yaml");
    RunOptions opt;
    opt.libPath = "/nonexistent/libsta_meas.so";
    EXPECT_THROW(Runner(sc, opt), LoadError);
}

}  // namespace
}  // namespace zep::sim
