// Link-measurement and TPC reports: the exact 40 bytes of the completed report
// for own and neighbour tokens, counting, and the reports that are dropped.
#include "meas_fixture.hpp"

namespace zep::test {
namespace {

const Mac kApBssid{0x02, 0, 0, 0, 0, 0xA1};
const Mac kNbBssid{0x02, 0, 0, 0, 0, 0xB2};

class ReportTest : public MeasTest {
protected:
    void SetUp() override
    {
        MeasTest::SetUp();
        host_.radio(0).bssid[1] = kApBssid;
        for (u8 token : {144, 199, 200}) {
            host_.addToken({token, 0, 1, kNbBssid, s8{-5}, s8{12}});
        }
        ready(0, 0, macOf(1), loopEvery(1));
        ready(0, 0, macOf(1), loopEvery(1), 0xA0, kTpc);
        host_.clearCaptures();
    }

    static LmReportMsg lmReport(u8 token, u32 vapId = 1)
    {
        LmReportMsg lm{0, vapId, {}, 0x5A, token, {1, 2, 3, 4, 5, 6, 7, 8}};
        std::memcpy(lm.staMac, macOf(1).data(), 6);
        return lm;
    }

    static StaMeasReportMsg expected(u32 reportId, const std::vector<u8> &body, const Mac &bssid,
                                     s8 eirp, s8 scan, u8 tokenClass)
    {
        StaMeasReportMsg want{};
        want.reportMsgId = reportId;
        std::memcpy(want.report, body.data(), body.size());
        std::memcpy(want.ext.bssid, bssid.data(), 6);
        want.ext.eirp = eirp;
        want.ext.scanErip = scan;
        want.tokenClass = tokenClass;
        return want;
    }

    u32 nbReports() const { return g_coMeasStats[0].rcvCoMeasReportCount; }
};

TEST_F(ReportTest, LmReportBecomesThe40ByteReport)
{
    struct Case {
        u8 token;
        u8 tokenClass;
        bool own;
    };
    for (const Case &c : {Case{143, 0, true}, Case{144, 1, false}, Case{199, 1, false}, Case{200, 3, false}}) {
        SCOPED_TRACE(int(c.token));
        host_.clearCaptures();
        const u32 counted = node(macOf(1), kLm)->reportNum;
        const u32 nb = nbReports();
        const LmReportMsg lm = lmReport(c.token);
        ASSERT_EQ(deliver(STAMEAS_MSG_LM_REPORT, bytesOf(lm)), 0u);
        const StaMeasReportMsg want = c.own ? expected(168, bytesOf(lm), kApBssid, 20, 23, 0)
                                            : expected(168, bytesOf(lm), kNbBssid, -5, 12, c.tokenClass);
        ASSERT_EQ(host_.sent().size(), 1u);
        EXPECT_EQ(host_.sent()[0].body, bytesOf(want));
        EXPECT_EQ(host_.sent()[0].dest, ZEP_DEST_ALL);
        EXPECT_EQ(node(macOf(1), kLm)->reportNum, counted + (c.own ? 1 : 0));
        EXPECT_EQ(nbReports(), nb + (c.own ? 0 : 1));
        const std::string ext = c.own ? "bssid:[0200-0000-00a1] eirp:20 scanErip:23.\r\n"
                                      : "bssid:[0200-0000-00b2] eirp:-5 scanErip:12.\r\n";
        EXPECT_EQ(linesStarting(STAMEAS_CAT_CORE, "bssid"), std::vector<std::string>{ext});
    }
}

TEST_F(ReportTest, TpcReportIsPaddedToTheSameShape)
{
    TpcReportMsg tpc{0, 1, {}, 9, {1, 2, 3, 4, 5}};
    std::memcpy(tpc.staMac, macOf(1).data(), 6);
    std::vector<u8> body = bytesOf(tpc);
    body.push_back(0xEE);  // a longer body is read as its first 20 bytes
    ASSERT_EQ(deliver(STAMEAS_MSG_TPC_REPORT, body), 0u);
    ASSERT_EQ(host_.sent().size(), 1u);
    EXPECT_EQ(host_.sent()[0].body, bytesOf(expected(170, bytesOf(tpc), kApBssid, 20, 23, 0)));
    EXPECT_EQ(node(macOf(1), kTpc)->reportNum, 1u);
    EXPECT_EQ(node(macOf(1), kLm)->reportNum, 0u);
}

TEST_F(ReportTest, IncompleteReportsAreDropped)
{
    const LmReportMsg ownLm = lmReport(143);
    std::vector<u8> shortLm = bytesOf(ownLm);
    shortLm.pop_back();
    TpcReportMsg tpc{0, 1, {}, 9, {}};
    std::vector<u8> shortTpc = bytesOf(tpc);
    shortTpc.pop_back();
    struct Case {
        u32 msgId;
        std::vector<u8> body;
        const char *fault;
        u32 status;
        std::string line;
        u32 counted, nbCounted;
    };
    const std::vector<Case> cases = {
        {168, shortLm, nullptr, 3, "msg err 3, msgLen 23.\r\n", 0, 0},
        {170, shortTpc, nullptr, 3, "msg err 3, msgLen 19.\r\n", 0, 0},
        {168, bytesOf(lmReport(143, 3)), nullptr, 1, "cant get bssid for radio 0 vap 3.\r\n", 1, 0},
        {168, bytesOf(lmReport(150)), nullptr, 4, "cant get nb bssid for radio 0 vap 1 tokenId 150.\r\n", 0, 1},
        {168, bytesOf(lmReport(144)), "ZEP_NB_GetNbApVapEirpByTokenId", 7,
         "cant get nb eirp for radio 0 vap 1 tokenId 144.\r\n", 0, 1},
        {168, bytesOf(lmReport(144)), "ZEP_NB_GetNbApRadioScanEirpByTokenId", 7,
         "cant get nb scan eirp for radio 0 tokenId 144.\r\n", 0, 1},
        {168, bytesOf(ownLm), "ZEP_MNG_SendMsg", 7, "send measure report fail 7.\r\n", 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        freshCase(c.fault);
        const u32 counted = node(macOf(1), kLm)->reportNum;
        const u32 nb = nbReports();
        EXPECT_EQ(deliver(c.msgId, c.body), c.status);
        EXPECT_TRUE(host_.sent().empty());
        EXPECT_EQ(bodyOf(host_.logs().back().text), c.line);
        EXPECT_EQ(node(macOf(1), kLm)->reportNum, counted + c.counted);
        EXPECT_EQ(nbReports(), nb + c.nbCounted);
    }
}

}  // namespace
}  // namespace zep::test
