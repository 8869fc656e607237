// Measurement timer: schedules on the shared expiry count, the choice of one
// request per node, the per-radio cap, failed sends, giving up automatic
// measurement, and hot paths that stay off the general heap.
#include <map>
#include <set>

#include "meas_fixture.hpp"

namespace zep::test {
namespace {

using MeasTimerTest = MeasTest;

TEST_F(MeasTimerTest, SchedulesRunOnTheSharedExpiryCount)
{
    struct Case {
        StaMeasSched sched;
        std::set<u32> sentAt;  // expiry numbers
        u32 goneAfter;         // expiry after which the node is deleted; 99: never
    };
    const std::map<u8, Case> cases = {
        {0xC1, {loopEvery(3), {0, 3, 6}, 99}},  {0xC2, {loopEvery(1), {0, 1, 2, 3, 4, 5, 6}, 99}},
        {0xC3, {countOf(2), {0, 1}, 1}},        {0xC4, {countOf(2, 3), {0, 3}, 3}},
        {0xC5, {loopEvery(0), {}, 99}},         {0xC6, {countOf(0), {}, 99}},
    };
    std::vector<StaMeasStartEntry> entries;
    for (const auto &[tag, c] : cases) {
        entries.push_back(startEntry(macOf(tag), kLm, c.sched, tag));
    }
    ASSERT_EQ(start(0, 0, entries), 0u);
    for (const auto &entry : entries) {
        node(macOf(entry.staMac[5]), kLm)->skipNextReq = 0;  // due from expiry 0
    }
    std::map<u8, std::set<u32>> sentAt;
    for (u32 expiry = 0; expiry < 7; expiry++) {
        host_.clearCaptures();
        expire();
        for (const auto &m : host_.sent()) {
            ASSERT_EQ(m.msgId, kLm);
            ASSERT_EQ(m.dest, ZEP_DEST_ALL);
            ASSERT_EQ(m.body, reqBytes(m.body.at(0)));
            sentAt[m.body[0]].insert(expiry);
        }
        for (const auto &[tag, c] : cases) {
            EXPECT_EQ(node(macOf(tag), kLm) == nullptr, expiry >= c.goneAfter) << int(tag) << "@" << expiry;
        }
    }
    for (const auto &[tag, c] : cases) {
        EXPECT_EQ(sentAt[tag], c.sentAt) << int(tag);
    }
}

TEST_F(MeasTimerTest, DueHostsGiveOneRequestAndAllTheirCountsGoDown)
{
    ready(0, 0, macOf(1), loopEvery(2), 0xB0);
    ready(1, 0, macOf(1), countOf(5), 0xB1);
    StaMeasInfo *info = ready(2, 0, macOf(1), countOf(5), 0xB2);
    for (u8 want : {0xB0, 0xB2}) {  // host 0 is due every other expiry
        host_.clearCaptures();
        expire();
        ASSERT_EQ(host_.sent().size(), 1u);
        EXPECT_EQ(host_.sent()[0].body, reqBytes(want));
    }
    EXPECT_EQ(info->hostSched[1].count, 3u);
    EXPECT_EQ(info->hostSched[2].count, 3u);
    EXPECT_EQ(info->reqNum, 2u);
}

TEST_F(MeasTimerTest, FailedSendIsNotCountedButUsesTheCount)
{
    StaMeasInfo *info = ready(0, 0, macOf(1), countOf(3));
    host_.faults().failCall("ZEP_MNG_SendMsg", 1);
    expire();
    EXPECT_TRUE(host_.sent().empty());
    const auto failed = linesStarting(STAMEAS_CAT_MEAS_FUNC, "Send No.");
    EXPECT_EQ(failed, std::vector<std::string>{"Send No.0 measure request 167 fail 7.\r\n"});
    EXPECT_EQ(info->reqNum, 0u);
    EXPECT_EQ(info->hostSched[0].count, 2u);
}

TEST_F(MeasTimerTest, SilentStationLosesAutomaticHostsToItsTpcNode)
{
    for (bool answered : {false, true}) {
        SCOPED_TRACE(answered);
        const Mac mac = macOf(answered ? 2 : 1);
        host_.addStation({mac, 0, 1, true, true, 10});
        ready(1, 0, mac, loopEvery(1), 0xC1);
        ASSERT_EQ(start(0, 0, {startEntry(mac, kAuto, loopEvery(1))}), 0u);
        StaMeasInfo *lm = node(mac, kLm);
        ASSERT_EQ(lm->hostBitmap, 0x3u);
        expire(2);
        if (answered) {
            LmReportMsg report{0, 1, {}, 0, 10, {}};
            std::memcpy(report.staMac, mac.data(), 6);
            deliver(STAMEAS_MSG_LM_REPORT, bytesOf(report));
        }
        host_.clearCaptures();
        expire(2);  // third request, then the check
        const StaMeasInfo *tpc = node(mac, kTpc);
        if (answered) {
            EXPECT_EQ(tpc, nullptr);
            EXPECT_EQ(lm->reportChecked, 1u);
            expire(3);  // confirmed for good, though no report follows
            EXPECT_EQ(node(mac, kTpc), nullptr);
            continue;
        }
        EXPECT_EQ(linesStarting(STAMEAS_CAT_MEAS_FUNC, "sta dont"),
                  std::vector<std::string>{"sta dont support measId 167, reqNum 3 reportNum 0 hostBitmap 0x3 autoMeasBitmap 0x1.\r\n"});
        EXPECT_EQ(host_.sent().back().body, reqBytes(0xC1));  // the explicit host still measured
        EXPECT_EQ(lm->hostBitmap, 0x2u);
        EXPECT_EQ(lm->autoMeasBitmap, 0u);
        EXPECT_EQ(lm->weight, 120u);
        ASSERT_NE(tpc, nullptr);
        EXPECT_EQ(tpc->hostBitmap, 0x1u);
        EXPECT_EQ(tpc->autoMeasBitmap, 0x1u);
        EXPECT_EQ(tpc->weight, 100u);
        EXPECT_EQ(tpc->hostReq[0].tokenId, 10u);
        ZEP_STAMEAS_DelStaAutoMeasNodes(mac.data());
    }
}

// A host that restarts a node with a request of its own is no longer automatic
// there; only the hosts still automatic move when the station stays silent.
TEST_F(MeasTimerTest, ExplicitRestartTakesTheHostOutOfTheGiveUp)
{
    const Mac mac = macOf(1);
    host_.addStation({mac, 0, 1, true, true, 10});
    ASSERT_EQ(start(2, 0, {startEntry(mac, kAuto, loopEvery(1))}), 0u);
    ASSERT_EQ(start(0, 0, {startEntry(mac, kAuto, loopEvery(1))}), 0u);
    ASSERT_EQ(start(0, 0, {startEntry(mac, kLm, loopEvery(1), 0xC0)}), 0u);
    ASSERT_EQ(node(mac, kLm)->autoMeasBitmap, 0x4u);
    expire(5);  // a skipped expiry, three requests, then the check
    const StaMeasInfo *lm = node(mac, kLm);
    ASSERT_NE(lm, nullptr);
    EXPECT_EQ(lm->hostBitmap, 0x1u);
    EXPECT_EQ(lm->autoMeasBitmap, 0u);
    const StaMeasInfo *tpc = node(mac, kTpc);
    ASSERT_NE(tpc, nullptr);
    EXPECT_EQ(tpc->hostBitmap, 0x4u);
    host_.clearCaptures();
    expire();
    ASSERT_FALSE(host_.sent().empty());
    EXPECT_EQ(host_.sent()[0].msgId, kLm);
    EXPECT_EQ(host_.sent()[0].body, reqBytes(0xC0));
}

// A radio whose measurement switch is off keeps its nodes as they are: nothing
// sent, no count used up; the radios after it go on.
TEST_F(MeasTimerTest, SwitchedOffRadioSendsNothingAndKeepsItsCounts)
{
    const StaMeasInfo *off = ready(0, 0, macOf(1), countOf(3), 0xB0);
    const StaMeasInfo *on = ready(0, 1, macOf(2), countOf(3), 0xB1);
    const std::vector<u8> switchOff = {0}, switchOn = {1};
    ASSERT_EQ(host_.deliverConfig(ZEP_CFG_ITEM_SCAN_SWITCH, 0, switchOff), 0u);
    host_.clearCaptures();
    expire(2);
    ASSERT_EQ(host_.sent().size(), 2u);
    EXPECT_EQ(host_.sent()[1].body, reqBytes(0xB1));
    EXPECT_EQ(linesStarting(STAMEAS_CAT_MEAS_FUNC, "radio "),
              std::vector<std::string>(2, "radio 0 dont send measure request as meas-disabled.\r\n"));
    EXPECT_EQ(off->hostSched[0].count, 3u);
    EXPECT_EQ(off->reqNum, 0u);
    EXPECT_EQ(on->hostSched[0].count, 1u);

    ASSERT_EQ(host_.deliverConfig(ZEP_CFG_ITEM_SCAN_SWITCH, 0, switchOn), 0u);
    host_.clearCaptures();
    expire();
    ASSERT_EQ(host_.sent().size(), 2u);
    EXPECT_EQ(host_.sent()[0].body, reqBytes(0xB0));
    EXPECT_EQ(off->hostSched[0].count, 2u);
}

// The automatic hosts join a TPC node that other hosts hold already; a
// station gone from the database gives them nowhere to go: a TPC node made
// for it goes again, one that other hosts held stays as it was. A silent TPC
// node has nothing to fall back on: its automatic hosts go, and the node with them.
TEST_F(MeasTimerTest, GiveUpJoinsAnExistingTpcNodeOrDropsTheHosts)
{
    const Mac joins = macOf(1), gone = macOf(2), kept = macOf(3), tpcOnly = macOf(4);
    for (const Mac &mac : {joins, gone, kept}) host_.addStation({mac, 0, 1, true, true, 10});
    host_.addStation({tpcOnly, 0, 1, false, true, 10});
    ASSERT_EQ(start(1, 0, {startEntry(joins, kTpc, loopEvery(1), 0xC1), startEntry(kept, kTpc, loopEvery(1), 0xC3)}), 0u);
    ASSERT_EQ(start(0, 0, {startEntry(joins, kAuto, loopEvery(1)), startEntry(gone, kAuto, loopEvery(1)),
                           startEntry(kept, kAuto, loopEvery(1)), startEntry(tpcOnly, kAuto, loopEvery(1))}),
              0u);
    ASSERT_NE(node(tpcOnly, kTpc), nullptr);
    expire(4);  // a skipped expiry, then three requests
    host_.removeStation(gone);
    host_.removeStation(kept);
    host_.clearCaptures();
    expire(1);  // the check
    const StaMeasInfo *tpc = node(joins, kTpc);
    ASSERT_NE(tpc, nullptr);
    EXPECT_EQ(tpc->hostBitmap, 0x3u);
    EXPECT_EQ(tpc->autoMeasBitmap, 0x1u);
    EXPECT_EQ(tpc->weight, 120u);
    EXPECT_EQ(bytesOf(tpc->hostReq[1]), reqBytes(0xC1));
    EXPECT_EQ(node(gone, kTpc), nullptr);
    ASSERT_NE(node(kept, kTpc), nullptr);
    EXPECT_EQ(node(kept, kTpc)->hostBitmap, 0x2u);
    EXPECT_EQ(linesStarting(STAMEAS_CAT_MEAS_FUNC, "cant find"), std::vector<std::string>(2, "cant find sta info.\r\n"));
    EXPECT_EQ(node(tpcOnly, kTpc), nullptr);
    EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(0), 2u);
}

TEST_F(MeasTimerTest, HotPathsStayOffTheGeneralHeap)
{
    host_.addStation({macOf(1), 0, 1, true, true, 10});
    host_.radio(0).bssid[1] = Mac{1, 2, 3, 4, 5, 6};
    const u64 before = host_.memory().totalAllocations();
    std::vector<StaMeasStartEntry> entries;
    for (u32 i = 0; i < 128; i++) {
        entries.push_back(startEntry(macOf(static_cast<u8>(i)), i == 1 ? kAuto : kLm, loopEvery(1)));
    }
    ASSERT_EQ(start(0, 0, entries), 0u);
    expire(5);
    LmReportMsg report{0, 1, {}, 0, 10, {}};
    std::memcpy(report.staMac, macOf(1).data(), 6);
    EXPECT_EQ(deliver(STAMEAS_MSG_LM_REPORT, bytesOf(report)), 0u);
    const Mac leaving = macOf(1);
    EXPECT_EQ(host_.staLeave(&leaving), 0u);
    EXPECT_EQ(stop(0, 0, {stopEntry(kAllStations, 0)}), 0u);
    EXPECT_EQ(host_.memory().totalAllocations(), before);
    EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(0), 0u);
}

}  // namespace
}  // namespace zep::test
