// Co-measurement start and stop (184, 185): completion of request bodies,
// merging by host weight, the list cap and cut, the scan-trigger gate, and
// refusal of malformed messages.
#include "comeas_fixture.hpp"

namespace zep::test::comeas {
namespace {

using CoMeasStartTest = CoMeasTest;
constexpr u8 kWork = COMEAS_ENTRY_FLAG_ON_WORK_CHANNEL;

struct CompletionCase {
    const char *name;
    u8 flags;
    u32 msgRadio;
    u32 band;
    std::vector<std::pair<u32, u8>> in;   // body bytes the host leaves to complete
    std::vector<std::pair<u32, u8>> out;  // what goes on the air instead
};

TEST_F(CoMeasStartTest, CompletesEachReqBodyField)
{
    const std::vector<std::pair<u32, u8>> anyRadio = {{0, 0xFF}, {1, 0xFF}, {2, 0xFF}, {3, 0xFF}};
    const std::vector<std::pair<u32, u8>> radio1 = {{0, 1}, {1, 0}, {2, 0}, {3, 0}};
    const std::vector<CompletionCase> cases = {
        {"radio placeholder", 0, kRadio, 0, anyRadio, radio1},
        {"radio found by scan lookup", 0, STAMEAS_ALL_RADIO, 0, anyRadio, radio1},
        {"band of band code 0", 0, kRadio, 0, {{16, 0xFF}}, {{16, 11}}},
        {"band of another band code", kWork, kRadio, 5, {{16, 0xFF}}, {{16, 12}}},
        {"eirp on the working channel", kWork, kRadio, 0, {{17, 127}}, {{17, 17}}},
        {"eirp off the working channel", 0, kRadio, 0, {{17, 127}}, {{17, 0xFB}}},
        {"second eirp", kWork, kRadio, 0, {{19, 127}}, {{19, 0xFB}}},
        {"flag bit cleared when listed", 0, kRadio, 0, {{20, 0xFF}}, {{20, 0xFE}}},
        {"flag bit set on the working channel", kWork, kRadio, 0, {{20, 0x00}}, {{20, 0x01}}},
    };
    host_.radio(kRadio).curEirp = 17;
    host_.radio(kRadio).scanEirp[kChan] = -5;
    host_.setScanRadio(kChan, 0, kRadio);
    makeCapable();
    u32 measId = 500;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        host_.radio(kRadio).band = c.band;
        CoMeasStartEntry e = coEntry(1, ++measId, c.flags);
        for (auto [at, v] : c.in) e.reqBody[at] = v;
        std::vector<u8> want(std::begin(e.reqBody), std::end(e.reqBody));
        for (auto [at, v] : c.out) want[at] = v;
        want[20] = static_cast<u8>((want[20] & ~1u) | (c.flags & kWork));

        ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(0, std::vector{e}, 0, c.msgRadio)), 0u);
        if ((c.flags & kWork) == 0) {  // listed: goes out when the radio scans the channel
            EXPECT_TRUE(host_.sent().empty());
            ASSERT_EQ(deliver(STAMEAS_MSG_SCAN_STATE, scanMsg(kRadio, 1)), 0u);
        }
        ASSERT_EQ(host_.sent().size(), 1u);
        EXPECT_EQ(host_.sent()[0].msgId, measId);
        EXPECT_EQ(host_.sent()[0].body, want);
        ASSERT_EQ(deliver(STAMEAS_MSG_SCAN_STATE, scanMsg(kRadio, 0)), 0u);
        host_.clearCaptures();
    }
}

TEST_F(CoMeasStartTest, HeaviestHostsBodyWinsAndHostsWithdraw)
{
    makeCapable();
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(1, std::vector{coEntry(1, 200, 0, 0x10)})), 0u);
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(0, std::vector{coEntry(1, 200, 0, 0x20)})), 0u);
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(1, std::vector{coEntry(1, 200, 0, 0x30)})), 0u);
    // Records are keyed by station and id: station 1's second id is a record of its own.
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(2, std::vector{coEntry(2, 200), coEntry(1, 201)})), 0u);
    auto recs = records();
    ASSERT_EQ(recs.size(), 3u);
    EXPECT_EQ(recs[0]->hostBitmap, 0x3u);
    EXPECT_EQ(recs[0]->weight, 120u);
    EXPECT_EQ(recs[0]->reqBody[23], 0x20 + 23);
    EXPECT_TRUE(loggedBody("measId:200 topHost:0 host:1 hostBitmap:0x3 weight:120 isRepeatSend:0.\r\n"));

    // A host that never asked for the record, or a record not listed, changes nothing.
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_STOP, coMsg(2, std::vector{coStop(macOf(1), 200), coStop(macOf(1), 999)})), 0u);
    EXPECT_EQ(records().size(), 3u);
    EXPECT_EQ(recs[0]->hostBitmap, 0x3u);
    EXPECT_EQ(recs[0]->weight, 120u);

    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_STOP, coMsg(0, std::vector{coStop(macOf(1), 200)})), 0u);
    EXPECT_EQ(recs[0]->hostBitmap, 0x2u);
    EXPECT_EQ(recs[0]->weight, 20u);
    EXPECT_EQ(recs[0]->reqBody[0], 0x20);  // the leaving host's body stays
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_STOP, coMsg(1, std::vector{coStop(macOf(1), 200)})), 0u);
    EXPECT_TRUE(loggedBody("measId[200] delete from list, left 2.\r\n"));

    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_STOP, coMsg(2, std::vector{coStop(kAllStations, 200)})),
              0u);
    EXPECT_TRUE(loggedBody("Clean list with measId 200 host 2.\r\n"));
    recs = records();
    ASSERT_EQ(recs.size(), 1u);
    EXPECT_EQ(recs[0]->measId, 201u);
    EXPECT_EQ(recs[0]->staMac[5], 1u);
    EXPECT_EQ(recs[0]->hostBitmap, 0x4u);
    EXPECT_TRUE(host_.sent().empty());
}

TEST_F(CoMeasStartTest, CapOfSixteenAndCutByWeight)
{
    makeCapable();
    // Host 2 joins light record 313 too: room is made for its three new records only.
    std::vector<CoMeasStartEntry> light, heavy, mid{coEntry(13, 313)};
    for (u8 i = 0; i < 14; i++) light.push_back(coEntry(i, 300 + i));
    for (u8 i = 0; i < 2; i++) heavy.push_back(coEntry(20 + i, 400 + i));
    for (u8 i = 0; i < 3; i++) mid.push_back(coEntry(30 + i, 500 + i));
    const u64 allocs = host_.memory().totalAllocations();
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(0, heavy)), 0u);
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(1, light)), 0u);
    EXPECT_EQ(host_.memory().totalAllocations(), allocs + 16);

    // Host 1 cannot push out records as heavy as its own, and allocates nothing.
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(1, std::vector{coEntry(99, 999)})), 0u);
    EXPECT_TRUE(loggedBody("Sta co-measure list reach max number 16.\r\n"));
    EXPECT_EQ(host_.memory().totalAllocations(), allocs + 16);

    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(2, mid)), 0u);
    std::vector<u32> order, want;
    for (const CoMeasInfo *r : records()) order.push_back(r->measId);
    for (u32 i = 3; i < 14; i++) want.push_back(300 + i);  // the three lightest went; sorted
    for (u32 id : {400u, 401u, 500u, 501u, 502u}) want.push_back(id);
    EXPECT_EQ(order, want);
    EXPECT_TRUE(loggedBody("measId[302] delete from list, left 13.\r\n"));
}

TEST_F(CoMeasStartTest, ScanTriggerGateHoldsForFiveHundredMs)
{
    makeCapable();
    // Only entries that wait in the list call for a scan.
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(0, std::vector{coEntry(2, 201)})), 0u);
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(0, std::vector{coEntry(3, 202, kWork)}, COMEAS_START_FLAG_TRIG_SCAN)), 0u);
    EXPECT_TRUE(sentWithId(STAMEAS_MSG_CO_SCAN_TRIG).empty());
    host_.clearCaptures();
    const auto start = coMsg(0, std::vector{coEntry(1, 200)}, COMEAS_START_FLAG_TRIG_SCAN);
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, start), 0u);
    ASSERT_EQ(sentWithId(STAMEAS_MSG_CO_SCAN_TRIG).size(), 1u);
    EXPECT_EQ(host_.sent()[0].body, bytesOf(CoScanTrigMsg{kRadio, kChan}));
    EXPECT_TRUE(loggedBody("send msg to trig co-scan success, radio[1] channel[36].\r\n"));
    host_.advance(500);
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, start), 0u);
    EXPECT_EQ(sentWithId(STAMEAS_MSG_CO_SCAN_TRIG).size(), 1u);
    EXPECT_TRUE(loggedBody("radio 1 scan inhibit.\r\n"));
    host_.advance(1);
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, start), 0u);
    EXPECT_EQ(sentWithId(STAMEAS_MSG_CO_SCAN_TRIG).size(), 2u);
}

TEST_F(CoMeasStartTest, WorkingChannelEntriesSentOrDroppedButNeverListed)
{
    const auto start = coMsg(0, std::vector{coEntry(1, 200), coEntry(2, 201, kWork)});
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, start), 0u);
    ASSERT_EQ(host_.sent().size(), 1u);
    EXPECT_TRUE(loggedBody("Send No.1 co-measure request 201 successful.\r\n"));
    EXPECT_TRUE(loggedBody("Host 0 cant co-measure with radioId 1, channel 36.\r\n"));
    EXPECT_TRUE(records().empty());
    host_.clearCaptures();
    ASSERT_EQ(deliver(STAMEAS_MSG_SCAN_STATE, scanMsg(kRadio, 1, 40)), 0u);
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, start), 0u);
    EXPECT_TRUE(loggedBody("Drop co-meas request as radio 1 is on scan state.\r\n"));
    ZEP_STAMEAS_SetMeasSwitch(kRadio, 0);
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, start), 0u);
    EXPECT_TRUE(loggedBody("radio 1 dont send co-measure request as meas-disabled.\r\n"));
    EXPECT_TRUE(host_.sent().empty());
    // A channel scanned while measurement is off still becomes capable.
    ASSERT_EQ(deliver(STAMEAS_MSG_SCAN_STATE, scanMsg(kRadio, 1)), 0u);
    EXPECT_TRUE(loggedBody("radio 1 cant send co-measure request as meas-disabled.\r\n"));
    EXPECT_TRUE(ZEP_STAMEAS_IsCoMeasSupport(kRadio, kChan));
}

TEST_F(CoMeasStartTest, MalformedMessagesChangeNothing)
{
    struct Bad {
        const char *name;
        u32 msgId;
        std::vector<u8> body;
        u32 status;
        std::string line;
        u32 severity = ZEP_DBG_ERROR;
    };
    const auto one = coMsg(0, std::vector{coEntry(9, 700)});
    const auto sixteen = coMsg(0, std::vector<CoMeasStartEntry>(16, coEntry(9, 700)));
    const auto stop2 = coMsg(0, std::vector{coStop(macOf(1), 200), coStop(macOf(2), 200)});
    const auto nb2 = messageOf(CoMeasToNbMsgHead{0, {}, 2, {}}, std::vector{CoMeasStaRec{}, CoMeasStaRec{}});
    auto noEirp = coEntry(9, 700), noEirp2 = coEntry(9, 700, kWork);
    noEirp.reqBody[17] = 127;
    noEirp2.reqBody[19] = 127;
    const std::vector<Bad> cases = {
        {"184 short head", 184, patched(one, 0, 1, 11), 43, "msg err 3, msgLen 11.\r\n"},
        {"184 num 0", 184, patched(one, 0, 0), 43, "invalid num 0.\r\n"},
        {"184 num 17", 184, patched(one, 0, 17), 43, "invalid num 17.\r\n"},
        {"184 short entries", 184, patched(sixteen, 0, 16, 587), 43, "msg err 3, msgLen 587, num 16.\r\n"},
        {"184 host 3", 184, patched(one, 1, 3), 43, "invalid host 3.\r\n"},
        {"184 channel 234", 184, patched(one, 2, 234), 43, "invalid channel 234.\r\n"},
        {"184 radio 7", 184, patched(one, 4, 7), 43, "invalid radioId 7.\r\n"},
        {"184 no scan radio", 184, coMsg(0, std::vector{coEntry(9, 700)}, 0, STAMEAS_ALL_RADIO, 40), 1,
         "cant get scan radio, channel 40 freqInd 0.\r\n", ZEP_DBG_NOTE},
        {"184 no scan eirp", 184, coMsg(0, std::vector{noEirp}, 0, kRadio, 40), 1,
         "cant get scanEirp, radio 1 channel 40\r\n", ZEP_DBG_NOTE},
        {"184 no second eirp", 184, coMsg(0, std::vector{noEirp2}, 0, kRadio, 40), 1,
         "cant get scanEirp, radio 1 channel 40\r\n", ZEP_DBG_NOTE},
        {"185 no scan radio", 185, coMsg(0, std::vector{coStop(macOf(1), 200)}, 0, STAMEAS_ALL_RADIO, 40), 1,
         "cant get scan radio, channel 40 freqInd 0.\r\n", ZEP_DBG_NOTE},
        {"185 short entries", 185, patched(stop2, 0, 2, 35), 43, "msg err 3, msgLen 35, num 2.\r\n"},
        {"198 short head", 198, patched(nb2, 3, 2, 67), 43, "msg err 3, msgLen 67.\r\n"},
        {"198 sta num 17", 198, patched(nb2, 3, 17), 43, "co-measure request sta num 17 invalid.\r\n"},
        {"198 short records", 198, patched(nb2, 3, 2, 171), 43, "msg err 3, msgLen 171, staNum 2.\r\n"},
        {"34 short", 34, patched(scanMsg(kRadio, 1), 0, 1, 23), 43, "msg err 3, msgLen 23.\r\n"},
        {"34 radio 9", 34, scanMsg(9, 1), 43, "invalid radioId 9.\r\n"},
        {"34 channel 234", 34, scanMsg(kRadio, 1, 234), 43, "radioId[1] invalid channel 234.\r\n", ZEP_DBG_NOTE},
        {"181 short", 181, patched(bytesOf(ScanChanSetMsg{kRadio, {}}), 0, 1, 107), 43, "msg err 3, msgLen 107.\r\n"},
    };
    makeCapable();
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(0, std::vector{coEntry(1, 200)})), 0u);
    host_.clearCaptures();
    const u64 allocs = host_.memory().totalAllocations();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(deliver(c.msgId, c.body), c.status);
        EXPECT_TRUE(loggedBody(c.line, c.severity));
        EXPECT_TRUE(host_.sent().empty());
        EXPECT_EQ(host_.memory().totalAllocations(), allocs);
        EXPECT_EQ(records().size(), 1u);
        EXPECT_EQ(ZEP_STAMEAS_IsRadioOnScanState(kRadio), 0u);
        EXPECT_TRUE(ZEP_STAMEAS_IsCoMeasSupport(kRadio, kChan));
        host_.clearCaptures();
    }
}

}  // namespace
}  // namespace zep::test::comeas
