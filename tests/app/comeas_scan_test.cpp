// Scan-driven co-measurement (34, 181), requests relayed to neighbours (198)
// and the registration of the co-measurement handlers.
#include <algorithm>
#include <numeric>

#include "comeas_fixture.hpp"

namespace zep::test::comeas {
namespace {

using CoMeasScanTest = CoMeasTest;

TEST_F(CoMeasScanTest, SendPassesShareOneCountThenEmptyTheList)
{
    struct Case {
        const char *name;
        u32 records;
        std::vector<u32> repeat;  // records flagged for repeat sending
        std::vector<u32> sent;    // records in send order
    };
    std::vector<u32> sixteen(16);
    std::iota(sixteen.begin(), sixteen.end(), 0u);
    sixteen.push_back(0);  // the second pass starts at count 16 and sends once
    const std::vector<Case> cases = {
        {"3 records, 1 repeating", 3, {1}, {0, 1, 2, 1}},
        {"16 records, 3 repeating", 16, {0, 7, 15}, sixteen},
        // The count goes on from the first pass: the second stops at 16 in all.
        {"10 records, all repeating", 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 1, 2, 3, 4, 5}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        makeCapable();
        std::vector<CoMeasStartEntry> entries;
        for (u8 i = 0; i < c.records; i++) {
            const bool rep = std::count(c.repeat.begin(), c.repeat.end(), i) != 0;
            entries.push_back(coEntry(i, 600 + i, rep ? COMEAS_ENTRY_FLAG_REPEAT_SEND : 0, 2 * i));
        }
        ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(0, entries)), 0u);
        host_.clearCaptures();
        const u64 allocs = host_.memory().totalAllocations();
        ASSERT_EQ(deliver(STAMEAS_MSG_SCAN_STATE, scanMsg(kRadio, 1)), 0u);
        ASSERT_EQ(host_.sent().size(), c.sent.size());
        for (std::size_t n = 0; n < c.sent.size(); n++) {
            const auto &e = entries[c.sent[n]];
            EXPECT_EQ(host_.sent()[n].msgId, e.measId);
            EXPECT_EQ(host_.sent()[n].body, std::vector<u8>(std::begin(e.reqBody), std::end(e.reqBody)));
        }
        EXPECT_TRUE(loggedBody("radio 1 channel 36 trigger co-measure, sendCnt 2.\r\n"));
        EXPECT_TRUE(loggedBody("Send No." + std::to_string(c.sent.size() - 1) + " co-measure request " +
                               std::to_string(600 + c.sent.back()) + " successful.\r\n"));
        EXPECT_TRUE(records().empty());
        EXPECT_EQ(host_.memory().totalAllocations(), allocs);
    }
}

TEST_F(CoMeasScanTest, ScanChannelSetChangeDropsOneRadio)
{
    makeCapable(0, kChan);
    makeCapable(kRadio, kChan);
    makeCapable(kRadio, 233);
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(0, std::vector{coEntry(1, 200)})), 0u);
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(0, std::vector{coEntry(2, 201)}, 0, kRadio, 233)), 0u);
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(0, std::vector{coEntry(3, 202)}, 0, 0)), 0u);
    const std::size_t live = host_.memory().liveBlocks();
    ASSERT_EQ(deliver(STAMEAS_MSG_SCAN_CHAN_SET, bytesOf(ScanChanSetMsg{kRadio, {}})), 0u);
    EXPECT_TRUE(loggedBody("Radio 1 scan channel set update.\r\n"));
    EXPECT_EQ(host_.memory().liveBlocks(), live - 2);
    EXPECT_TRUE(records(kRadio, kChan).empty() && records(kRadio, 233).empty());
    EXPECT_FALSE(ZEP_STAMEAS_IsCoMeasSupport(kRadio, kChan) || ZEP_STAMEAS_IsCoMeasSupport(kRadio, 233));
    EXPECT_TRUE(ZEP_STAMEAS_IsCoMeasSupport(0, kChan));
    EXPECT_EQ(records(0, kChan).size(), 1u);
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_START, coMsg(0, std::vector{coEntry(1, 200)})), 0u);
    EXPECT_TRUE(loggedBody("Host 0 cant co-measure with radioId 1, channel 36.\r\n"));
}

// ---- 198 ----
constexpr u8 kBand = 2;

host::NeighbourFacts neighbour(u8 last, u8 channel, u8 band = kBand, const char *ssid = "lab")
{
    host::NeighbourFacts nb;
    nb.record.recByte0 = 20;
    nb.record.bssid[0] = 0x02;
    nb.record.bssid[5] = last;
    nb.record.vapNum = 1;
    std::strncpy(reinterpret_cast<char *>(nb.record.vap[0].ssid), ssid, ZEP_NB_SSID_LEN);
    nb.record.vap[0].channel = channel;
    nb.record.vap[0].band = band;
    return nb;
}

// Stations 0x1000 + i on channel 6, but for the first one's channel.
std::vector<u8> nbRequest(u8 flags, u8 staNum, u8 firstChannel = 6)
{
    CoMeasToNbMsgHead head{flags, {}, staNum, {}};
    std::vector<CoMeasStaRec> stas(staNum);
    for (u8 i = 0; i < staNum; i++) {
        head.staTag[i] = 0x1000u + i;
        stas[i].staMac[5] = i;
        std::strncpy(reinterpret_cast<char *>(stas[i].ssid), "lab", COMEAS_NB_SSID_LEN);
        stas[i].radioId = kRadio;
        stas[i].channel = 6;
        stas[i].rsv0[0] = static_cast<u8>(0xA0 + i);  // unread bytes travel too
    }
    stas[0].channel = firstChannel;
    return messageOf(head, stas);
}

// The room kept after each block is that of the request's largest block (72 +
// 52 x 16 = 904 bytes), not of the block just written: eleven neighbours that
// can each measure one station of sixteen flush after the ninth block, so the
// twelfth, which can measure all sixteen, still fits the 1900-byte buffer.
TEST_F(CoMeasScanTest, NeighbourFlushKeepsRoomForTheRequestsLargestBlock)
{
    constexpr std::size_t kOne = 124, kFull = 904, kHead = sizeof(CoMeasToNbMsgHead), kRec = sizeof(CoMeasStaRec);
    host_.radio(kRadio).band = kBand;
    auto req = nbRequest(0, 16);
    for (u8 i = 0; i < 16; i++) req[kHead + kRec * i + offsetof(CoMeasStaRec, channel)] = static_cast<u8>(20 + i);
    for (u8 n = 0; n < 11; n++) host_.addNeighbour(neighbour(n, static_cast<u8>(20 + n)));
    host::NeighbourFacts all = neighbour(11, 20);
    all.record.vapNum = 16;
    for (u8 v = 0; v < 16; v++) {
        all.record.vap[v] = all.record.vap[0];
        all.record.vap[v].channel = static_cast<u8>(20 + v);
    }
    host_.addNeighbour(all);
    const u64 allocs = host_.memory().totalAllocations();
    ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_TO_NB, req), 0u);
    EXPECT_EQ(host_.memory().totalAllocations(), allocs + 1);
    const auto sent = sentWithId(STAMEAS_IPC_NB_COMEAS_REQ);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_TRUE(sent[0].ipc);
    ASSERT_EQ(sent[0].body.size(), 9 * kOne);
    ASSERT_EQ(sent[1].body.size(), 2 * kOne + kFull);
    EXPECT_TRUE(loggedBody("send co-measure request success to nb 0200-0000-0008, staNum 1.\r\n"));
    EXPECT_TRUE(loggedBody("send co-measure request success to nb 0200-0000-000b, staNum 16.\r\n"));
    for (u8 b = 0; b < 12; b++) {
        SCOPED_TRACE(int(b));
        const u8 *block = b < 9 ? sent[0].body.data() + kOne * b : sent[1].body.data() + kOne * (b - 9);
        const u8 first = b < 11 ? b : 0, num = b < 11 ? 1 : 16;
        NbCoMeasReqBlockHead head;
        std::memcpy(&head, block, sizeof(head));
        EXPECT_EQ(head.nbMac[5], b);
        EXPECT_EQ(head.nbRecByte0, 220);
        EXPECT_EQ(head.staNum, num);
        EXPECT_EQ(head.staTag[num - 1], 0x1000u + first + num - 1);
        const auto recs = req.begin() + static_cast<std::ptrdiff_t>(kHead + kRec * first);
        EXPECT_EQ(std::vector<u8>(block + sizeof(head), block + sizeof(head) + kRec * num),
                  std::vector<u8>(recs, recs + static_cast<std::ptrdiff_t>(kRec * num)));
    }
}

TEST_F(CoMeasScanTest, NeighbourQualifiesByBandSsidAndChannelOrScanEirp)
{
    struct Case {
        const char *name;
        u8 flags;
        host::NeighbourFacts nb;
        bool scanEirpKnown;
        int byte6;  // -1: the neighbour cannot measure the station
    };
    constexpr u8 kSsid = COMEAS_NB_FLAG_CHECK_SSID, kOnScan = COMEAS_NB_FLAG_SEND_ON_SCAN;
    const std::vector<Case> cases = {
        {"same band and channel", 0, neighbour(1, 6), false, 220},
        {"other channel", 0, neighbour(1, 11), false, -1},
        {"other band", 0, neighbour(1, 6, kBand + 1), false, -1},
        {"ssid checked and different", kSsid, neighbour(1, 6, kBand, "guest"), false, -1},
        {"ssid checked and the same", kSsid, neighbour(1, 6), false, 220},
        {"ssid different, unchecked", 0, neighbour(1, 6, kBand, "guest"), false, 220},
        {"on scan with a scan eirp", kOnScan, neighbour(1, 11), true, 20},
        {"on scan without a scan eirp", kOnScan, neighbour(1, 6), false, -1},
    };
    host_.radio(kRadio).band = kBand;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        host_.clearNeighbours();
        host_.clearCaptures();
        host::NeighbourFacts nb = c.nb;
        if (c.scanEirpKnown) nb.scanEirp[6] = 10;
        host_.addNeighbour(nb);
        // Station 0 is on a channel no neighbour serves: station 1 fills the
        // block's first place with its own tag and record.
        const auto req = nbRequest(c.flags, 2, 1);
        ASSERT_EQ(deliver(STAMEAS_MSG_COMEAS_TO_NB, req), 0u);
        const auto sent = sentWithId(STAMEAS_IPC_NB_COMEAS_REQ);
        if (c.byte6 < 0) {
            EXPECT_TRUE(sent.empty());
            EXPECT_TRUE(loggedBody("no sta can be measured by nb 0200-0000-0001\r\n"));
            continue;
        }
        ASSERT_EQ(sent.size(), 1u);
        ASSERT_EQ(sent[0].body.size(), 124u);
        EXPECT_EQ(sent[0].body[6], c.byte6);
        EXPECT_EQ(sent[0].body[7], 1);
        NbCoMeasReqBlockHead head;
        std::memcpy(&head, sent[0].body.data(), sizeof(head));
        EXPECT_EQ(head.staTag[0], 0x1001u);
        const auto station1 = req.begin() + sizeof(CoMeasToNbMsgHead) + sizeof(CoMeasStaRec);
        EXPECT_EQ(std::vector<u8>(sent[0].body.begin() + sizeof(head), sent[0].body.end()),
                  std::vector<u8>(station1, station1 + sizeof(CoMeasStaRec)));
    }
}

}  // namespace
}  // namespace zep::test::comeas
