// Findings a play draws: each rule on a run made to trigger it, with its
// counts and stations exact, and on a run just short of it.
#include <gtest/gtest.h>

#include <sstream>

#include "run/runner.hpp"
#include "scenario/scenario_reader.hpp"

namespace zep::sim {
namespace {

struct Played {
    std::vector<Finding> findings;
    std::string summary;  // the human output, findings first
};

Played play(const std::string &text)
{
    const Scenario sc = readScenarioText(text, "t.yaml");
    std::ostringstream human;
    RunOptions opt;
    opt.libPath = ZEP_SIM_TEST_LIB;
    opt.human = &human;
    opt.timeline = false;
    Runner runner(sc, opt);
    runner.run();
    return {runner.findings(), human.str()};
}

const Finding *findingOf(const Played &p, const std::string &rule)
{
    for (const Finding &f : p.findings) {
        if (f.rule == rule) {
            return &f;
        }
    }
    return nullptr;
}

std::vector<std::string> rulesOf(const Played &p)
{
    std::vector<std::string> rules;
    for (const Finding &f : p.findings) {
        rules.push_back(f.rule);
    }
    return rules;
}

// One radio, `stations` answering stations, host 0 measuring each of them
// every second for 20 s.
std::string busyRadio(int stations)
{
    const std::string n = std::to_string(stations);
    return R"(
stations: [{mac: "00:11:22:00:00:00", radio: 0, vap: 1, caps: [lm], reply: {delayMs: 20}, repeat: )" + n + R"(}]
steps:
  - start
  - send: {id: 182, host: 0, entries: [{staMac: "00:11:22:00:00:00", measId: lm, sched: {isLoop: 1, periodInSec: 1}, repeat: )" +
           n + R"(}]}
  - advance: 20000
)";
}

TEST(Findings, NodesPastTheRadiosSixtyFourthSendAreStarved)
{
    // The first expiry only clears every new node's skip; from the second on,
    // the first 64 nodes of the list get the radio's 64 requests.
    const Played p = play(busyRadio(70));
    const Finding *f = findingOf(p, "starved-nodes");
    ASSERT_NE(f, nullptr) << p.summary;
    EXPECT_EQ(f->severity, Severity::Warning);
    EXPECT_EQ(f->count, 6u);
    EXPECT_EQ(f->title, "6 nodes got no request at 114 expiries where they were due, their radio's 64 "
                        "requests having gone to others");
    EXPECT_EQ(f->stations.first, (std::vector<std::string>{"00:11:22:00:00:40 lm", "00:11:22:00:00:41 lm",
                                                            "00:11:22:00:00:42 lm", "00:11:22:00:00:43 lm",
                                                            "00:11:22:00:00:44 lm"}));
    EXPECT_EQ(f->stations.inAll, 6u);
    EXPECT_EQ(f->radios.first, std::vector<std::string>{"0"});
    EXPECT_EQ(f->firstMs, 2000u);
    EXPECT_EQ(f->lastMs, 20000u);
    EXPECT_EQ(rulesOf(p), std::vector<std::string>{"starved-nodes"});  // the starved hosts lost to no other host
    EXPECT_EQ(rulesOf(play(busyRadio(64))), std::vector<std::string>{});
}

std::string twoHosts(int hostTwoPeriod)
{
    return R"(
stations: [{mac: "00:11:22:33:44:55", radio: 0, vap: 1, caps: [lm], reply: {delayMs: 20}}]
steps:
  - start
  - send: {id: 182, host: 0, entries: [{staMac: "00:11:22:33:44:55", measId: lm, measReq: {tokenId: 11}, sched: {isLoop: 1, periodInSec: 1}}]}
  - send: {id: 182, host: 2, entries: [{staMac: "00:11:22:33:44:55", measId: lm, measReq: {tokenId: 22}, sched: {isLoop: 1, periodInSec: )" +
           std::to_string(hostTwoPeriod) + R"(}}]}
  - advance: 20000
)";
}

TEST(Findings, ALighterHostDueWithAHeavierOneIsNeverSent)
{
    const Played same = play(twoHosts(1));
    const Finding *f = findingOf(same, "share-never-sent");
    ASSERT_NE(f, nullptr) << same.summary;
    EXPECT_EQ(f->count, 1u);
    EXPECT_EQ(f->hosts.first, std::vector<std::string>{"2"});
    EXPECT_EQ(f->stations.first, std::vector<std::string>{"00:11:22:33:44:55 lm"});
    // Host 0 every second is heavier still, but host 2 every 3 s is due
    // fewer than ten times in 20 s: not yet a finding.
    EXPECT_EQ(rulesOf(play(twoHosts(3))), std::vector<std::string>{});
}

TEST(Findings, ASilentStationIsGivenUpThenDroppedFromTpc)
{
    const Played p = play(R"(
stations:
  - {mac: "00:11:22:33:44:01", radio: 0, vap: 1, caps: [lm, tpc], reply: {delayMs: 20}}
  - {mac: "00:11:22:33:44:04", radio: 0, vap: 2, caps: [lm, tpc]}
steps:
  - start
  - send: {id: 182, host: 2, entries: [{staMac: "00:11:22:33:44:04", measId: auto, sched: {isLoop: 1, periodInSec: 1}}, {staMac: "00:11:22:33:44:01", measId: auto, sched: {isLoop: 1, periodInSec: 1}}]}
  - advance: 12000
)");
    const Finding *f = findingOf(p, "automatic-given-up");
    ASSERT_NE(f, nullptr) << p.summary;
    EXPECT_EQ(f->severity, Severity::Info);
    EXPECT_EQ(f->title, "Automatic measurement given up at 2 nodes: 1 moved to TPC, 1 dropped");
    EXPECT_EQ(f->radios.first, std::vector<std::string>{"0 (1 of 2 stations)"});
    EXPECT_EQ(f->stations.first, (std::vector<std::string>{"00:11:22:33:44:04 lm", "00:11:22:33:44:04 tpc"}));
    EXPECT_EQ(rulesOf(p), std::vector<std::string>{"automatic-given-up"});
}

TEST(Findings, ReportsCountAgainstNoNodeOnlyWithTheAccessPointsToken)
{
    const Played p = play(R"(
steps:
  - start
  - send: {id: 168, staMac: "00:11:22:33:44:01", tokenId: 5}
  - advance: 1000
  - send: {id: 170, staMac: "00:11:22:33:44:02", tokenId: 143}
  - send: {id: 168, staMac: "00:11:22:33:44:03", tokenId: 144}
)");
    const Finding *f = findingOf(p, "reports-unmatched");
    ASSERT_NE(f, nullptr) << p.summary;
    EXPECT_EQ(f->count, 2u);
    EXPECT_EQ(f->stations.first, (std::vector<std::string>{"00:11:22:33:44:01 lm", "00:11:22:33:44:02 tpc"}));
    EXPECT_EQ(f->firstMs, 0u);
    EXPECT_EQ(f->lastMs, 1000u);
}

TEST(Findings, TheAnswerToAHostsLastRequestComesAfterItsNodeIsGone)
{
    // Two requests (expiries 1 and 2, after the first visit's skip): the
    // node goes with the second, before its answer is back.
    const Played p = play(R"(
stations: [{mac: "00:11:22:33:44:55", radio: 0, vap: 1, caps: [lm], reply: {delayMs: 20}}]
steps:
  - start
  - send: {id: 182, host: 0, entries: [{staMac: "00:11:22:33:44:55", measId: lm, sched: {isLoop: 0, periodInSec: 1, count: 2}}]}
  - advance: 5000
)");
    const Finding *f = findingOf(p, "reports-unmatched");
    ASSERT_NE(f, nullptr) << p.summary;
    EXPECT_EQ(f->count, 1u);
    EXPECT_EQ(f->firstMs, 3020u);
}

TEST(Findings, RefusedSendsAreCountedByMessage)
{
    const Played p = play(R"(
stations: [{mac: "00:11:22:33:44:55", radio: 0, vap: 1, caps: [lm]}]
faults:
  - {call: ZEP_MNG_SendMsg, nth: 2, count: 2, status: 7}
steps:
  - start
  - send: {id: 182, host: 0, entries: [{staMac: "00:11:22:33:44:55", measId: lm, sched: {isLoop: 1, periodInSec: 1}}]}
  - advance: 5000
)");
    const Finding *f = findingOf(p, "failed-sends");
    ASSERT_NE(f, nullptr) << p.summary;
    EXPECT_EQ(f->severity, Severity::Warning);
    EXPECT_EQ(f->title, "2 messages the framework refused to send");
    EXPECT_EQ(f->messages.first, std::vector<std::string>{"167 LM request (2)"});
    EXPECT_EQ(f->firstMs, 3000u);
    EXPECT_EQ(f->lastMs, 4000u);
}

std::string badStarts(const std::string &limits)
{
    return limits + R"(
steps:
  - start
  - repeat:
      times: 12
      every: 100
      steps:
        - send: {id: 182, host: 0, len: 3}
)";
}

TEST(Findings, ErrorLinesCloseTogetherMakeABurstWithinTheScenariosLimits)
{
    const Played p = play(badStarts(""));
    const Finding *f = findingOf(p, "error-bursts");
    ASSERT_NE(f, nullptr) << p.summary;
    EXPECT_EQ(f->count, 1u);
    EXPECT_EQ(f->firstMs, 0u);
    EXPECT_EQ(f->lastMs, 1100u);
    // Twelve lines are a burst of the default ten, not of thirteen; nor are
    // they when 100 ms apart is too far.
    EXPECT_EQ(rulesOf(play(badStarts("findings: {burstLines: 13}"))), std::vector<std::string>{});
    EXPECT_EQ(rulesOf(play(badStarts("findings: {burstWindowMs: 100}"))), std::vector<std::string>{"error-bursts"});
    EXPECT_EQ(rulesOf(play(badStarts("findings: {burstWindowMs: 99}"))), std::vector<std::string>{});
}

TEST(Findings, TheSummaryShowsThemFirstOrSaysThereAreNone)
{
    const Played none = play(busyRadio(2));
    EXPECT_NE(none.summary.find(" s of virtual time\n\n  No findings\n\n  radio "), std::string::npos)
        << none.summary;
    const Played starved = play(busyRadio(70));
    const std::size_t findings = starved.summary.find("  Findings\n    warning  starved-nodes: 6 nodes");
    ASSERT_NE(findings, std::string::npos) << starved.summary;
    EXPECT_LT(findings, starved.summary.find("  radio "));
    EXPECT_NE(starved.summary.find("      stations: 00:11:22:00:00:40 lm, 00:11:22:00:00:41 lm, "
                                   "00:11:22:00:00:42 lm, 00:11:22:00:00:43 lm, 00:11:22:00:00:44 lm, "
                                   "... (6 in all)\n      from 2.000 s to 20.000 s\n      why: The timer"),
              std::string::npos);
}

}  // namespace
}  // namespace zep::sim
