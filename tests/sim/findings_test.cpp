// Findings a play draws: each rule on a run made to trigger it, with its
// counts and stations exact, and on a run just short of it.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim_test.hpp"

namespace zep::sim {
namespace {

// Without the timeline, so that the human output is the summary, findings first.
Played quiet(const std::string &text)
{
    RunOptions opt;
    opt.timeline = false;
    return play(text, opt);
}

const Finding *findingOf(const Played &p, const std::string &rule)
{
    const auto it = std::ranges::find(p.findings, rule, &Finding::rule);
    return it == p.findings.end() ? nullptr : &*it;
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
    const Played p = quiet(busyRadio(70));
    const Finding *f = findingOf(p, "starved-nodes");
    ASSERT_NE(f, nullptr) << p.human;
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
    EXPECT_EQ(rulesOf(quiet(busyRadio(64))), std::vector<std::string>{});
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
    const Played same = quiet(twoHosts(1));
    const Finding *f = findingOf(same, "share-never-sent");
    ASSERT_NE(f, nullptr) << same.human;
    EXPECT_EQ(f->count, 1u);
    EXPECT_EQ(f->hosts.first, std::vector<std::string>{"2"});
    EXPECT_EQ(f->stations.first, std::vector<std::string>{"00:11:22:33:44:55 lm"});
    // Host 0 every second is heavier still, but host 2 every 3 s is due
    // fewer than ten times in 20 s: not yet a finding.
    EXPECT_EQ(rulesOf(quiet(twoHosts(3))), std::vector<std::string>{});
}

TEST(Findings, ASilentStationIsGivenUpThenDroppedFromTpc)
{
    const Played p = quiet(R"(
stations:
  - {mac: "00:11:22:33:44:01", radio: 0, vap: 1, caps: [lm, tpc], reply: {delayMs: 20}}
  - {mac: "00:11:22:33:44:04", radio: 0, vap: 2, caps: [lm, tpc]}
steps:
  - start
  - send: {id: 182, host: 2, entries: [{staMac: "00:11:22:33:44:04", measId: auto, sched: {isLoop: 1, periodInSec: 1}}, {staMac: "00:11:22:33:44:01", measId: auto, sched: {isLoop: 1, periodInSec: 1}}]}
  - advance: 12000
)");
    const Finding *f = findingOf(p, "automatic-given-up");
    ASSERT_NE(f, nullptr) << p.human;
    EXPECT_EQ(f->severity, Severity::Info);
    EXPECT_EQ(f->title, "Automatic measurement given up at 2 nodes: 1 moved to TPC, 1 dropped");
    EXPECT_EQ(f->radios.first, std::vector<std::string>{"0 (1 of 2 stations)"});
    EXPECT_EQ(f->stations.first, (std::vector<std::string>{"00:11:22:33:44:04 lm", "00:11:22:33:44:04 tpc"}));
    EXPECT_EQ(rulesOf(p), std::vector<std::string>{"automatic-given-up"});
}

TEST(Findings, ReportsCountAgainstNoNodeOnlyWithTheAccessPointsToken)
{
    const Played p = quiet(R"(
steps:
  - start
  - send: {id: 168, staMac: "00:11:22:33:44:01", tokenId: 5}
  - advance: 1000
  - send: {id: 170, staMac: "00:11:22:33:44:02", tokenId: 143}
  - send: {id: 168, staMac: "00:11:22:33:44:03", tokenId: 144}
)");
    const Finding *f = findingOf(p, "reports-unmatched");
    ASSERT_NE(f, nullptr) << p.human;
    EXPECT_EQ(f->count, 2u);
    EXPECT_EQ(f->stations.first, (std::vector<std::string>{"00:11:22:33:44:01 lm", "00:11:22:33:44:02 tpc"}));
    EXPECT_EQ(f->firstMs, 0u);
    EXPECT_EQ(f->lastMs, 1000u);
}

TEST(Findings, TheAnswerToAHostsLastRequestComesAfterItsNodeIsGone)
{
    // Two requests (expiries 1 and 2, after the first visit's skip): the
    // node goes with the second, before its answer is back.
    const Played p = quiet(R"(
stations: [{mac: "00:11:22:33:44:55", radio: 0, vap: 1, caps: [lm], reply: {delayMs: 20}}]
steps:
  - start
  - send: {id: 182, host: 0, entries: [{staMac: "00:11:22:33:44:55", measId: lm, sched: {isLoop: 0, periodInSec: 1, count: 2}}]}
  - advance: 5000
)");
    const Finding *f = findingOf(p, "reports-unmatched");
    ASSERT_NE(f, nullptr) << p.human;
    EXPECT_EQ(f->count, 1u);
    EXPECT_EQ(f->firstMs, 3020u);
}

TEST(Findings, RefusedSendsAreCountedByMessage)
{
    const Played p = quiet(R"(
stations: [{mac: "00:11:22:33:44:55", radio: 0, vap: 1, caps: [lm]}]
faults:
  - {call: ZEP_MNG_SendMsg, nth: 2, count: 2, status: 7}
steps:
  - start
  - send: {id: 182, host: 0, entries: [{staMac: "00:11:22:33:44:55", measId: lm, sched: {isLoop: 1, periodInSec: 1}}]}
  - advance: 5000
)");
    const Finding *f = findingOf(p, "failed-sends");
    ASSERT_NE(f, nullptr) << p.human;
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
    const Played p = quiet(badStarts(""));
    const Finding *f = findingOf(p, "error-bursts");
    ASSERT_NE(f, nullptr) << p.human;
    EXPECT_EQ(f->count, 1u);
    EXPECT_EQ(f->firstMs, 0u);
    EXPECT_EQ(f->lastMs, 1100u);
    // Twelve lines are a burst of the default ten, not of thirteen; nor are
    // they when 100 ms apart is too far.
    EXPECT_EQ(rulesOf(quiet(badStarts("findings: {burstLines: 13}"))), std::vector<std::string>{});
    EXPECT_EQ(rulesOf(quiet(badStarts("findings: {burstWindowMs: 100}"))), std::vector<std::string>{"error-bursts"});
    EXPECT_EQ(rulesOf(quiet(badStarts("findings: {burstWindowMs: 99}"))), std::vector<std::string>{});
}

TEST(Findings, TheSummaryShowsThemFirstOrSaysThereAreNone)
{
    const Played none = quiet(busyRadio(2));
    EXPECT_NE(none.human.find(" s of virtual time\n\n  No findings\n\n  radio "), std::string::npos)
        << none.human;
    const Played starved = quiet(busyRadio(70));
    const std::size_t findings = starved.human.find("  Findings\n    warning  starved-nodes: 6 nodes");
    ASSERT_NE(findings, std::string::npos) << starved.human;
    EXPECT_LT(findings, starved.human.find("  radio "));
    EXPECT_NE(starved.human.find("      stations: 00:11:22:00:00:40 lm, 00:11:22:00:00:41 lm, "
                                   "00:11:22:00:00:42 lm, 00:11:22:00:00:43 lm, 00:11:22:00:00:44 lm, "
                                   "... (6 in all)\n      from 2.000 s to 20.000 s\n      why: The timer"),
              std::string::npos);
}


// Radio 0 full: 127 nodes of host 2 and station 01:00 of host 1, the
// lightest. Each of `cycles` starts of host 0 evicts 01:00, which host 1 then
// asks for again while host 0 has stopped; a last start of host 1 finds only
// nodes at least as heavy as itself.
std::string fullTable(int cycles)
{
    const auto start = [](int host, const std::string &mac) {
        return "  - send: {id: 182, host: " + std::to_string(host) + ", entries: [{staMac: \"" + mac +
               "\", measId: lm, sched: {isLoop: 1, periodInSec: 1}}]}\n";
    };
    std::string steps = "steps:\n  - start\n"
                        "  - send: {id: 182, host: 2, entries: [{staMac: \"00:11:22:00:00:00\", measId: lm, "
                        "sched: {isLoop: 1, periodInSec: 1}, repeat: 127}]}\n" +
                        start(1, "00:11:22:00:01:00");
    for (int i = 0; i < cycles; ++i) {
        steps += start(0, "00:11:22:00:02:00") + "  - advance: 2000\n" +
                 "  - send: {id: 183, host: 0, entries: [{staMac: \"00:11:22:00:02:00\", measId: lm}]}\n" +
                 start(1, "00:11:22:00:01:00") + "  - advance: 2000\n";
    }
    return steps + start(1, "00:11:22:00:03:00") + "  - advance: 1000\n";
}

TEST(Findings, ANodeEvictedAgainAndAgainChurnsAndAFullTableRefusesTheLightest)
{
    const Played p = quiet(fullTable(3));
    const Finding *churn = findingOf(p, "eviction-churn");
    ASSERT_NE(churn, nullptr) << p.human;
    EXPECT_EQ(churn->severity, Severity::Warning);
    EXPECT_EQ(churn->title, "1 node was evicted and added again, 3 evictions in all");
    EXPECT_EQ(churn->stations.first, std::vector<std::string>{"00:11:22:00:01:00 lm"});
    EXPECT_EQ(churn->radios.first, std::vector<std::string>{"0"});
    const Finding *refused = findingOf(p, "adds-refused");
    ASSERT_NE(refused, nullptr) << p.human;
    EXPECT_EQ(refused->title, "1 station not added, its radio's table holding 128 nodes");
    EXPECT_EQ(refused->radios.first, std::vector<std::string>{"0 (1)"});
    // Two evictions are not yet churn; the refusal stays.
    EXPECT_EQ(rulesOf(quiet(fullTable(2))), std::vector<std::string>{"adds-refused"});
}

// Radio 1 knows channels 36 and 40 as scannable; host 1 lists a station for
// each, the second start within 500 ms of the first's scan trigger. Channel
// 36 is scanned after `waitMs`, channel 40 then too or never; the run goes on
// as long again.
std::string listedChannels(int waitMs, bool scanFortyToo)
{
    const std::string wait = std::to_string(waitMs);
    return R"(
host: {clockStartMs: 10000}
radio:
  1: {curEirp: 23, maxPower: 26, band: 1, scanEirp: {36: 18, 40: 18}}
steps:
  - start
  - send: {id: 34, radioId: 1, scanState: 1, channel: 36}
  - send: {id: 34, radioId: 1, scanState: 1, channel: 40}
  - send: {id: 34, radioId: 1, scanState: 0, channel: 40}
  - send: {id: 184, host: 1, radioId: 1, channel: 36, isTrigScan: true, entries: [{staMac: "00:11:22:33:44:06"}]}
  - send: {id: 184, host: 1, radioId: 1, channel: 40, isTrigScan: true, entries: [{staMac: "00:11:22:33:44:07"}, {staMac: "00:11:22:33:44:08"}]}
  - advance: )" + wait + R"(
  - send: {id: 34, radioId: 1, scanState: 1, channel: 36}
  - send: {id: 34, radioId: 1, scanState: 0, channel: 36}
)" + (scanFortyToo ? "  - send: {id: 34, radioId: 1, scanState: 1, channel: 40}\n" : "") +
           "  - advance: " + wait + "\n";
}

TEST(Findings, RequestsListedForAChannelNotScannedWaitAndATriggerTooSoonIsHeldBack)
{
    const Played p = quiet(listedChannels(11000, false));
    const Finding *f = findingOf(p, "comeas-waiting");
    ASSERT_NE(f, nullptr) << p.human;
    EXPECT_EQ(f->severity, Severity::Warning);
    EXPECT_EQ(f->title, "2 channels' co-measurement requests waited longer than 10.000 s for a scan, at most "
                        "22.000 s");
    EXPECT_EQ(f->messages.first,
              (std::vector<std::string>{"radio 1 channel 36", "radio 1 channel 40 (still waiting)"}));
    EXPECT_EQ(f->radios.first, std::vector<std::string>{"1"});
    EXPECT_EQ(f->firstMs, 10000u);
    EXPECT_EQ(f->lastMs, 32000u);
    const Finding *held = findingOf(p, "scan-inhibited");
    ASSERT_NE(held, nullptr) << p.human;
    EXPECT_EQ(held->title, "1 scan trigger not sent, within 500 ms of its radio's last");
    EXPECT_EQ(held->radios.first, std::vector<std::string>{"1 (1)"});
    // Exactly the window is not too long.
    EXPECT_EQ(rulesOf(quiet(listedChannels(10000, false))),
              (std::vector<std::string>{"comeas-waiting", "scan-inhibited"}));  // 40 waits on, 20 s
    EXPECT_EQ(rulesOf(quiet(listedChannels(10000, true))), std::vector<std::string>{"scan-inhibited"});
}

TEST(Findings, AReportNamingANeighbourNoQueryKnowsIsNotForwarded)
{
    const std::string reports = R"(
steps:
  - start
  - send: {id: 168, staMac: "00:11:22:33:44:01", tokenId: 150}
  - send: {id: 170, staMac: "00:11:22:33:44:02", tokenId: 150}
  - send: {id: 168, staMac: "00:11:22:33:44:03", tokenId: 143}
)";
    const Played p = quiet(reports);
    const Finding *f = findingOf(p, "neighbour-unknown");
    ASSERT_NE(f, nullptr) << p.human;
    EXPECT_EQ(f->title, "2 reports with a neighbour's token named no neighbour VAP the framework knew");
    EXPECT_EQ(f->stations.first, (std::vector<std::string>{"00:11:22:33:44:01", "00:11:22:33:44:02"}));
    const Played known = quiet("nbTokens: [{token: 150, radio: 0, vap: 0, bssid: \"66:77:88:99:aa:10\", eirp: 17, "
                              "scanEirp: 12}]\n" + reports);
    EXPECT_EQ(findingOf(known, "neighbour-unknown"), nullptr) << known.human;
}


TEST(Findings, AHandlersLongestRunFarAboveItsNinetyNinthPercentileIsAnOutlier)
{
    FindingFacts facts;
    HandlerCost &timer = facts.costs["186 timer"];
    for (int i = 0; i < 99; ++i) {
        timer.add(std::chrono::microseconds(10), false);  // the log-2 bucket of 8.192..16.383 us
    }
    timer.add(std::chrono::milliseconds(200), false);
    const std::vector<Finding> found = findingsOf(facts, FindingLimits{});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].rule, "cost-outliers");
    EXPECT_EQ(found[0].title, "1 handler's longest run far above its 99th percentile");
    EXPECT_EQ(found[0].hosts.first, std::vector<std::string>{"186 timer (max 200000 us, 99% under 16 us)"});
    // Below the floor, or over too few calls, a slow run is not a finding.
    FindingLimits highFloor;
    highFloor.costFloorMs = 201;
    EXPECT_TRUE(findingsOf(facts, highFloor).empty());
    FindingLimits moreCalls;
    moreCalls.costMinCalls = 101;
    EXPECT_TRUE(findingsOf(facts, moreCalls).empty());
}

}  // namespace
}  // namespace zep::sim
