// Start, stop and station-leave handlers: validation, updates that follow a node
// to its radio, eviction for heavier hosts, and what a stop or a leave removes.
#include <algorithm>

#include "meas_fixture.hpp"

namespace zep::test {
namespace {

using MeasStartTest = MeasTest;

TEST_F(MeasStartTest, MalformedMessagesChangeNothing)
{
    ASSERT_EQ(start(0, 0, {startEntry(macOf(1), kLm, loopEvery(1))}), 0u);
    const std::vector<u8> goodStart = measMsg(0, 0, std::vector{startEntry(macOf(2), kLm, loopEvery(1))});
    const std::vector<u8> goodStop = measMsg(0, 0, std::vector{stopEntry(macOf(1), kAuto)});
    struct Case {
        u32 msgId;
        std::vector<u8> body;
        std::string line;
    };
    const std::vector<Case> cases = {
        {182, patched(goodStart, 0, 1, 7), "msg err 3, msgLen 7.\r\n"},
        {182, patched(goodStart, 4, 5), "invalid radioId 5.\r\n"},
        {182, patched(goodStart, 0, 0), "invalid num 0.\r\n"},
        {182, patched(goodStart, 0, 129), "invalid num 129.\r\n"},
        {182, patched(goodStart, 0, 1, 43), "msg err 3, msgLen 43, num 1.\r\n"},
        {182, patched(goodStart, 0, 2), "msg err 3, msgLen 44, num 2.\r\n"},
        {182, patched(goodStart, 1, 3), "invalid host 3.\r\n"},
        {183, patched(goodStop, 0, 1, 7), "msg err 3, msgLen 7.\r\n"},
        {183, patched(goodStop, 4, 2), "invalid radioId 2.\r\n"},
        {183, patched(goodStop, 0, 0), "invalid num 0.\r\n"},
        {183, patched(goodStop, 0, 255), "invalid num 255.\r\n"},
        {183, patched(goodStop, 0, 1, 19), "msg err 3, msgLen 19, num 1.\r\n"},
        {183, patched(goodStop, 1, 3), "invalid host 3.\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        host_.clearCaptures();
        EXPECT_EQ(deliver(c.msgId, c.body), STAMEAS_ERR_INVALID_MSG);
        const std::string func =
            c.msgId == 182 ? "ZEP_STAMEAS_IsValidMeasStartMsg" : "ZEP_STAMEAS_IsValidMeasStopMsg";
        expectOnlyError(func + "[]: " + c.line);
        EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(0), 1u);
        EXPECT_EQ(node(macOf(1), kLm)->hostBitmap, 0x1u);
    }
}

TEST_F(MeasStartTest, SharesFollowTheNodeWhereverItLives)
{
    // A start on radio 1 finds the node on radio 0; a key twice in one message
    // updates the node that its first entry made.
    ASSERT_EQ(start(0, 0, {startEntry(macOf(1), kLm, loopEvery(2), 0xA0)}), 0u);
    ASSERT_EQ(start(2, 1, {startEntry(macOf(1), kLm, countOf(3), 0xB0),
                           startEntry(macOf(2), kTpc, loopEvery(1), 0xB1),
                           startEntry(macOf(2), kTpc, countOf(4), 0xB2)}),
              0u);
    const StaMeasInfo *moved = node(macOf(1), kLm);
    EXPECT_EQ(moved->radioId, 0u);
    EXPECT_EQ(moved->weight, 160u);
    EXPECT_EQ(moved->hostBitmap, 0x5u);
    EXPECT_EQ(moved->hostReq[2].radioId, 0xB0B0B0B0u);
    EXPECT_EQ(moved->hostSched[2].count, 3u);
    EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(0), 1u);
    EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(1), 1u);
    const StaMeasInfo *twice = node(macOf(2), kTpc);
    EXPECT_EQ(twice->weight, 60u);
    EXPECT_EQ(twice->hostSched[2].count, 4u);
    EXPECT_EQ(twice->hostReq[2].radioId, 0xB2B2B2B2u);
}

TEST_F(MeasStartTest, HeavierHostEvictsOnlyLighterNodes)
{
    std::vector<StaMeasStartEntry> light;
    for (u32 i = 0; i < 128; i++) {
        light.push_back(startEntry(macOf(static_cast<u8>(i)), kLm, loopEvery(1)));
    }
    ASSERT_EQ(start(1, 0, light), 0u);
    host_.clearCaptures();
    EXPECT_EQ(start(1, 0, {startEntry(macOf(200), kLm, loopEvery(1))}), 0u);
    EXPECT_EQ(linesStarting(STAMEAS_CAT_TABLE, "Radio 0"),
              std::vector<std::string>{"Radio 0 sta measure list reach max number 128.\r\n"});
    EXPECT_EQ(node(macOf(200), kLm), nullptr);
    // The node pool holds 128 for every radio, not 128 in all.
    EXPECT_EQ(start(1, 1, {startEntry(macOf(210), kLm, loopEvery(1))}), 0u);
    EXPECT_EQ(node(macOf(210), kLm)->radioId, 1u);

    // Host 2 joins node 5 too: room is made for its two new nodes only.
    EXPECT_EQ(start(2, 0, {startEntry(macOf(5), kLm, loopEvery(1)), startEntry(macOf(200), kLm, loopEvery(1)),
                           startEntry(macOf(201), kLm, loopEvery(1))}),
              0u);
    EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(0), 128u);
    EXPECT_EQ(node(macOf(201), kLm)->weight, 60u);
    u32 survivors = 0;
    for (u32 i = 0; i < 128; i++) {
        survivors += node(macOf(static_cast<u8>(i)), kLm) != nullptr ? 1 : 0;
    }
    EXPECT_EQ(survivors, 126u);

    // A stop that leaves a node lighter re-sorts a table of more than 64 nodes:
    // the light node that host 0 lifted to the front drops behind node 5.
    EXPECT_EQ(start(0, 0, {startEntry(macOf(127), kLm, loopEvery(1))}), 0u);
    EXPECT_EQ(stop(0, 0, {stopEntry(macOf(127), kLm)}), 0u);
    u16 heaviest = 0;
    ZEP_STAMEAS_WalkMeasTbl(
        0,
        [](StaMeasInfo *info, void *first) -> u32 {
            *static_cast<u16 *>(first) = info->weight;
            return STAMEAS_WALK_STOP;
        },
        &heaviest);
    EXPECT_EQ(heaviest, 80u);
    EXPECT_EQ(node(macOf(127), kLm)->weight, 20u);
}

// A start that leaves more than 64 nodes (one expiry's worth) sorts the list,
// so a heavier host's new node is among the next expiry's requests instead of
// waiting behind 64 lighter ones for ever.
TEST_F(MeasStartTest, StartSortsAListOfMoreThanSixtyFour)
{
    std::vector<StaMeasStartEntry> light;
    for (u8 i = 0; i < 64; i++) light.push_back(startEntry(macOf(i), kLm, loopEvery(1), i));
    ASSERT_EQ(start(1, 0, light), 0u);
    ASSERT_EQ(start(2, 0, {startEntry(macOf(100), kLm, loopEvery(1), 0xB0)}), 0u);
    ASSERT_EQ(start(0, 1, {startEntry(macOf(101), kLm, loopEvery(1), 0xC0)}), 0u);
    expire();  // every new node skips its first expiry
    host_.clearCaptures();
    expire();
    ASSERT_EQ(host_.sent().size(), 65u);  // 64 is each radio's own share
    EXPECT_EQ(host_.sent()[0].body, reqBytes(0xB0));
    for (u8 i = 1; i < 64; i++) EXPECT_EQ(host_.sent()[i].body, reqBytes(i - 1));  // a stable sort
    EXPECT_EQ(host_.sent()[64].body, reqBytes(0xC0));
}

// The timer comes with the first node of a radio's table, and only then: a
// start whose entries are all refused, or all found on another radio, leaves
// no timer, and a start after a refused timer tries again.
TEST_F(MeasStartTest, TimerComesWithTheFirstNodeInTheTable)
{
    struct Case {
        const char *name;
        u32 radio;
        StaMeasStartEntry entry;
        const char *fault;
        u32 category;
        std::string line;
        std::size_t timers;
    };
    const u32 kFunc = STAMEAS_CAT_MEAS_FUNC;
    const std::vector<Case> cases = {
        {"automatic entry for an unknown station", 0, startEntry(macOf(9), kAuto, loopEvery(1)), nullptr, kFunc,
         "unsupport measId 4294967295.\r\n", 0},
        {"node refused by the pool", 0, startEntry(macOf(1), kLm, loopEvery(1)), "ZEP_MEMPOOL_Malloc",
         STAMEAS_CAT_TABLE, "Radio 0 sta measure node malloc fail, current number 0.\r\n", 0},
        {"timer refused", 0, startEntry(macOf(1), kLm, loopEvery(1)), "ZEP_MNG_StartTimer", kFunc,
         "sta measure timer create fail 7.\r\n", 0},
        {"node found on another radio", 1, startEntry(macOf(1), kLm, loopEvery(2)), nullptr, kFunc,
         "measId:167 host:0 isLoop:1 periodInSec:2 count:0 isAutoMeas:0 hostBitmap:0x1 weight:100.\r\n", 0},
        {"a later start", 0, startEntry(macOf(2), kLm, loopEvery(1)), nullptr, kFunc,
         "sta measure timer create successful, timerId 1.\r\n", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        freshCase(c.fault);
        EXPECT_EQ(start(0, c.radio, {c.entry}), 0u);
        const std::vector<std::string> lines = logBodies(c.category);
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.line), lines.end());
        EXPECT_EQ(host_.activeTimers(), c.timers);
    }
}

TEST_F(MeasStartTest, AutomaticEntryTakesIdAndRequestFromTheStation)
{
    struct Case {
        bool known, lm, tpc;
        u32 token;
        u32 measId;  // 0: skipped
        u8 tokenId;
    };
    const Case cases[] = {
        {true, true, true, 286, kLm, 143}, {true, false, true, 144, kTpc, 1},
        {true, false, false, 5, 0, 0},      {false, true, true, 5, 0, 0},
    };
    host_.radio(1).curEirp = -3;
    host_.radio(1).maxPower = 21;
    u8 last = 0;
    for (const Case &c : cases) {
        const Mac mac = macOf(++last);
        SCOPED_TRACE(int(last));
        if (c.known) {
            host_.addStation({mac, 1, 2, c.lm, c.tpc, c.token});
        }
        host_.clearCaptures();
        ASSERT_EQ(start(0, 0, {startEntry(mac, kAuto, loopEvery(1))}), 0u);
        if (c.measId == 0) {
            EXPECT_EQ(linesStarting(STAMEAS_CAT_MEAS_FUNC, "unsupport").at(0), "unsupport measId 4294967295.\r\n");
            EXPECT_EQ(node(mac, kLm), nullptr);
            EXPECT_EQ(node(mac, kTpc), nullptr);
            continue;
        }
        const StaMeasInfo *info = node(mac, c.measId);
        ASSERT_NE(info, nullptr);
        StaMeasReq want{1, 2, {}, c.tokenId, -3, 21, {}};
        std::memcpy(want.staMac, mac.data(), 6);
        EXPECT_EQ(bytesOf(info->hostReq[0]), bytesOf(want));
        EXPECT_EQ(info->autoMeasBitmap, 0x1u);
    }
}

TEST_F(MeasStartTest, StopTakesOnlyTheSendersShare)
{
    ASSERT_EQ(start(0, 0, {startEntry(macOf(1), kLm, loopEvery(1)), startEntry(macOf(1), kTpc, loopEvery(1))}), 0u);
    ASSERT_EQ(start(2, 0, {startEntry(macOf(1), kLm, loopEvery(1)), startEntry(macOf(1), kTpc, loopEvery(1))}), 0u);
    ASSERT_EQ(start(0, 1, {startEntry(macOf(2), kLm, loopEvery(1))}), 0u);

    EXPECT_EQ(stop(1, 0, {stopEntry(macOf(1), kLm)}), 0u);  // a host that never asked
    EXPECT_EQ(stop(0, 0, {stopEntry(kAllStations, 0)}), 0u);
    EXPECT_EQ(linesStarting(STAMEAS_CAT_MEAS_FUNC, "Clean"), std::vector<std::string>{"Clean table with radioId 0 host 0.\r\n"});
    for (u32 id : {kLm, kTpc}) {
        EXPECT_EQ(node(macOf(1), id)->hostBitmap, 0x4u);
        EXPECT_EQ(node(macOf(1), id)->weight, 60u);
    }
    EXPECT_EQ(node(macOf(2), kLm)->hostBitmap, 0x1u);  // other radio

    EXPECT_EQ(stop(2, 0, {stopEntry(macOf(1), kAuto)}), 0u);
    EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(0), 0u);
    EXPECT_EQ(stop(0, 0, {stopEntry(macOf(2), kLm)}), 0u);
    EXPECT_EQ(stop(0, 1, {stopEntry(macOf(2), kTpc)}), 0u);  // another id
    EXPECT_NE(node(macOf(2), kLm), nullptr);
    EXPECT_EQ(host_.activeTimers(), 1u);
}

TEST_F(MeasStartTest, DepartingStationLosesItsNodesOnEveryRadio)
{
    ASSERT_EQ(start(0, 0, {startEntry(macOf(1), kLm, loopEvery(1)), startEntry(macOf(2), kLm, loopEvery(1))}), 0u);
    ASSERT_EQ(start(1, 1, {startEntry(macOf(1), kTpc, loopEvery(1))}), 0u);
    host_.clearCaptures();
    const Mac leaving = macOf(1);
    EXPECT_EQ(host_.staLeave(&leaving), 0u);
    EXPECT_EQ(linesStarting(STAMEAS_CAT_MEAS_FUNC, "Sta leave"), std::vector<std::string>{"Sta leave, clean measure node.\r\n"});
    EXPECT_EQ(node(macOf(1), kLm), nullptr);
    EXPECT_EQ(node(macOf(1), kTpc), nullptr);
    EXPECT_NE(node(macOf(2), kLm), nullptr);
    EXPECT_EQ(host_.staLeave(nullptr), STAMEAS_ERR_NULL_STA);
    ZEP_STAMEAS_MeasTblDeInit();  // the leave handler stays registered after the table goes
    EXPECT_EQ(host_.staLeave(&leaving), 0u);
}

}  // namespace
}  // namespace zep::test
