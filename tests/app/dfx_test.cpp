// Diagnostics: handler cost figures, the hourly co-measurement statistics and
// the RPC dumps of a measurement table (69) and a co-measurement list (70).
#include <algorithm>
#include <functional>

#include "app_fixture.hpp"

namespace zep::test {
namespace {

constexpr u8 kUntouched = 0xEE;

struct DfxRefusal {
    const char *what;
    std::function<u32()> call;  // the status, or 0 when the call left everything as it was
    u32 status;
    std::string line;  // without its source line number; "": nothing logged
    const char *fault = nullptr;
};

class DfxTest : public AppTest {
protected:
    const host::LogLine &lastLog() const { return host_.logs().back(); }

    void expectRefusal(const DfxRefusal &c)
    {
        SCOPED_TRACE(c.what);
        freshCase(c.fault);
        EXPECT_EQ(c.call(), c.status);
        expectOnlyError(c.line);
    }

    // One node on radio with every host's request and schedule distinct, so an
    // entry shows which host it was read from.
    StaMeasInfo *addNode(u32 radio, u8 macLast, u32 measId, u32 hostBitmap, u16 weight)
    {
        StaMeasKey key = keyOf<StaMeasKey>(macOf(macLast), measId);
        StaMeasInfo *info = ZEP_STAMEAS_AddMeasInfo(radio, &key);
        if (info == nullptr) {
            ADD_FAILURE() << "node " << unsigned{macLast} << " not added";
            return nullptr;
        }
        info->hostBitmap = hostBitmap;
        info->weight = weight;
        for (u8 h = 0; h < STAMEAS_HOST_NUM; h++) {
            info->hostReq[h].radioId = 0x1000u * (h + 1u) + macLast;
            info->hostReq[h].vapId = 0xAB00u + 0x10u * h + (macLast & 0x0Fu);
            info->hostSched[h] = {static_cast<u8>((h + macLast) & 1u),
                                  static_cast<u8>(h + 1 + macLast),
                                  static_cast<u16>(100 * h + macLast)};
        }
        return info;
    }

    static StaMeasListRpcEntry entryOf(const StaMeasInfo &info, u32 host)
    {
        StaMeasListRpcEntry e = {};
        std::copy(std::begin(info.staMac), std::end(info.staMac), e.staMac);
        e.measType = info.measId == 167 ? 0 : 1;
        e.radioId = info.hostReq[host].radioId;
        e.vapId = static_cast<u8>(info.hostReq[host].vapId);
        e.weight = info.weight;
        e.isLoop = info.hostSched[host].isLoop;
        e.periodInSec = info.hostSched[host].periodInSec;
        e.count = info.hostSched[host].count;
        return e;
    }

    CoMeasInfo *addCoMeas(u32 radio, u32 channel, u8 macLast, u32 measId)
    {
        CoMeasKey key = keyOf<CoMeasKey>(macOf(macLast), measId);
        ZEP_SLL_Head *list = ZEP_STAMEAS_GetCoMeasStaList(radio, channel);
        CoMeasInfo *info = ZEP_STAMEAS_AddCoMeasInfo(list, &key);
        if (info == nullptr) {
            ADD_FAILURE() << "record " << unsigned{macLast} << " not added";
            return nullptr;
        }
        for (u32 j = 0; j < COMEAS_REQ_BODY_LEN; j++) {
            info->reqBody[j] = static_cast<u8>(macLast * COMEAS_REQ_BODY_LEN + j);
        }
        info->weight = static_cast<u16>(1000 + macLast);
        info->hostBitmap = 1;
        return info;
    }

    static StaMeasListRpcMsg measRequest(u32 radio, u8 num)
    {
        StaMeasListRpcMsg rpc;
        std::memset(&rpc, kUntouched, sizeof(rpc));
        rpc.radioId = radio;
        rpc.num = num;
        return rpc;
    }

    static StaCoMeasListRpcMsg coMeasRequest(u32 radio, u32 channel, u8 num)
    {
        StaCoMeasListRpcMsg rpc;
        std::memset(&rpc, kUntouched, sizeof(rpc));
        rpc.radioId = radio;
        rpc.channel = channel;
        rpc.num = num;
        return rpc;
    }
};

struct CostRun {
    u32 ticks;
    MeasCostInfo after;
};

TEST_F(DfxTest, CostKeepsMinimumHalvingAverageAndMaximum)
{
    const struct {
        const char *what;
        u32 ticksPerMs;
        std::vector<CostRun> runs;
    } cases[] = {
        {"10, 20, 40 ms", 1, {{10, {10, 10, 10}}, {20, {10, 15, 20}}, {40, {10, 27, 40}}}},
        {"falling", 1, {{40, {40, 40, 40}}, {10, {10, 25, 40}}}},
        {"a 0 ms run reads as nothing recorded",
         1,
         {{10, {10, 10, 10}}, {0, {0, 5, 10}}, {20, {20, 12, 20}}}},
        {"ticks converted to ms", 10, {{105, {10, 10, 10}}, {300, {10, 20, 30}}}},
    };
    const u32 start = 5000;
    for (const auto &c : cases) {
        host_.ticks().setTicksPerMs(c.ticksPerMs);
        MeasCostInfo cost = {};
        for (const CostRun &run : c.runs) {
            host_.clearCaptures();
            host_.ticks().script({start + run.ticks});
            ZEP_STAMEAS_SetMeasCostTick("ZEP_STAMEAS_MeasTimerTimeout", &cost, start);
            EXPECT_EQ(cost.min, run.after.min) << c.what;
            EXPECT_EQ(cost.avg, run.after.avg) << c.what;
            EXPECT_EQ(cost.max, run.after.max) << c.what;
            ASSERT_EQ(host_.logs().size(), 1u) << c.what;
            const std::string expected = "ZEP_STAMEAS_MeasTimerTimeout cost min/avg/max = " +
                                         std::to_string(run.after.min) + "/" +
                                         std::to_string(run.after.avg) + "/" +
                                         std::to_string(run.after.max) + " ms.\r\n";
            EXPECT_EQ(bodyOf(lastLog().text), expected) << c.what;
            EXPECT_EQ(lastLog().severity, ZEP_DBG_NOTE);
        }
    }
}

TEST_F(DfxTest, StatisticsAreLoggedAndRestartedOnlyAfterMoreThanAnHour)
{
    ASSERT_EQ(startApp(), 0u);
    const u64 first = host_.nowMs() + 5000000;
    host_.setNowMs(first);
    // lastLogTime starts at 0, so the first call after an hour of uptime logs.
    ASSERT_EQ(ZEP_STAMEAS_LogCoMeasStats(0), 0u);
    EXPECT_EQ(g_coMeasStats[0].lastLogTime, first);
    for (int i = 0; i < 3; i++) {
        ZEP_STAMEAS_CoMeasStatsSetCoMeasReq(0);
    }
    ZEP_STAMEAS_CoMeasStatsSetCoMeasRep(0);
    ZEP_STAMEAS_CoMeasStatsSetCoMeasRep(0);
    ZEP_STAMEAS_CoMeasStatsSetCoMeasReq(1);

    host_.setNowMs(first + 3600000);
    host_.clearCaptures();
    EXPECT_EQ(ZEP_STAMEAS_LogCoMeasStats(0), 0u);
    const std::string notYet =
        "[STA-COMEAS-LOG] radio:0 do not record, it is not yet time. timeNow[" +
        std::to_string(first + 3600000) + "], lastLogTime[" + std::to_string(first) + "].\r\n";
    EXPECT_EQ(logBodies(STAMEAS_CAT_DFX), std::vector<std::string>{notYet});
    EXPECT_EQ(lastLog().severity, ZEP_DBG_NOTE);
    EXPECT_EQ(g_coMeasStats[0].sendCoMeasReqCount, 3u);

    host_.setNowMs(first + 3600001);
    host_.clearCaptures();
    EXPECT_EQ(ZEP_STAMEAS_LogCoMeasStats(0), 0u);
    const std::string stats =
        "[STA-COMEAS-LOG] STA Comeas Stats [Radio:0]:\r\nsendCoMeasReqCount[3]\r\n"
        "rcvCoMeasReportCount[2]\r\nlogTimestamp[" +
        std::to_string(first) + "]\r\n";
    EXPECT_EQ(logBodies(STAMEAS_CAT_DFX), std::vector<std::string>{stats});
    EXPECT_EQ(lastLog().severity, ZEP_DBG_RARE);
    EXPECT_EQ(g_coMeasStats[0].sendCoMeasReqCount, 0u);
    EXPECT_EQ(g_coMeasStats[0].rcvCoMeasReportCount, 0u);
    EXPECT_EQ(g_coMeasStats[0].lastLogTime, first + 3600001);
    EXPECT_EQ(g_coMeasStats[1].sendCoMeasReqCount, 1u);  // radios are counted apart
}

// A buffer the dump cannot serve comes back as it was: too short, an unknown
// channel, or asked after de-initialisation freed what it would describe.
TEST_F(DfxTest, UnservedDumpsLeaveTheBufferAsItWas)
{
    ASSERT_EQ(startApp(), 0u);
    addNode(0, 1, 167, 0b001, 100);
    addCoMeas(0, 36, 1, 173);
    const std::vector<u8> meas = bytesOf(measRequest(0, 0));
    const std::vector<u8> coMeas = bytesOf(coMeasRequest(0, 36, 0));
    const auto lenLine = [](std::size_t len) {
        return "msg err " + std::to_string(host::kErrMsgLen) + ", msgLen " + std::to_string(len) + ".\r\n";
    };
    const struct {
        u32 msgId;
        std::vector<u8> buf;
        u32 status;
        u32 category;
        std::string line;
    } cases[] = {
        {69, {meas.begin(), meas.end() - 1}, host::kErrMsgLen, STAMEAS_CAT_DFX, lenLine(meas.size() - 1)},
        {70, {coMeas.begin(), coMeas.end() - 1}, host::kErrMsgLen, STAMEAS_CAT_DFX, lenLine(coMeas.size() - 1)},
        {70, bytesOf(coMeasRequest(0, 234, 0)), 0, STAMEAS_CAT_COMEAS_LIST, "Invalid channel 234.\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        host_.clearCaptures();
        std::vector<u8> buf = c.buf;
        EXPECT_EQ(host_.rpc(c.msgId, buf), c.status);
        EXPECT_EQ(buf, c.buf);
        EXPECT_EQ(logBodies(c.category), std::vector<std::string>{c.line});
    }

    started_ = false;
    ASSERT_EQ(host_.deinit(), 0u);
    EXPECT_EQ(host_.memory().liveBlocks(), 0u);
    for (const auto &[msgId, request] : {std::pair{69u, meas}, std::pair{70u, coMeas}}) {
        std::vector<u8> buf = request;
        EXPECT_EQ(host_.rpc(msgId, buf), 0u);
        EXPECT_EQ(buf, request) << msgId;
    }
}

// What the statistics and the cost figures cannot count is refused with its
// status and its line: a radio beyond the device's, statistics not made yet or
// already freed, a clock that fails, a run that ends before it starts, and a
// node without a host in a dump.
TEST_F(DfxTest, RefusalsGiveTheirStatusAndLine)
{
    ASSERT_EQ(startApp(), 0u);
    addNode(0, 1, 167, 0, 0);
    addNode(0, 2, 167, 0b001, 100);
    MeasCostInfo cost = {7, 7, 7};
    const auto costKept = [&] { return cost.min == 7 && cost.avg == 7 && cost.max == 7 ? 0u : 1u; };
    const std::string badRadio = "ZEP_STAMEAS_GetRadioCoMeasStats[]: [STA-COMEAS-LOG] invalid radioId 2.\r\n";
    const std::vector<DfxRefusal> live = {
        {"request counted for radio 2", [] { return ZEP_STAMEAS_CoMeasStatsSetCoMeasReq(2), 0u; }, 0, badRadio},
        {"report counted for radio 2", [] { return ZEP_STAMEAS_CoMeasStatsSetCoMeasRep(2), 0u; }, 0, badRadio},
        {"statistics of radio 2", [] { return ZEP_STAMEAS_LogCoMeasStats(2); }, STAMEAS_ERR_INVALID_RADIO, badRadio},
        {"statistics without a clock", [] { return ZEP_STAMEAS_LogCoMeasStats(0); }, 7,
         "ZEP_STAMEAS_LogCoMeasStats[]: [STA-COMEAS-LOG] get time fail, ret[7].\r\n", "ZEP_HiPrecisionMsNow64"},
        {"a second creation",
         [] {
             const CoMeasStats *made = g_coMeasStats;
             return ZEP_STAMEAS_CoMeasStatsInit() + (g_coMeasStats == made ? 0u : 100u);
         },
         0, ""},
        {"a run never timed", [&] { return ZEP_STAMEAS_SetMeasCostTick("f", &cost, 0), costKept(); }, 0, ""},
        {"no figures to keep", [] { return ZEP_STAMEAS_SetMeasCostTick("f", nullptr, 5000), 0u; }, 0, ""},
        {"a run that ends before it starts",
         [&] {
             host_.ticks().script({4000});
             return ZEP_STAMEAS_SetMeasCostTick("f", &cost, 5000), costKept();
         },
         0, "ZEP_STAMEAS_SetMeasCostTick[]: Invalid endTick 4000 or startTick 5000.\r\n"},
        {"a node without a host in a dump",
         [&] {
             std::vector<u8> buf = bytesOf(measRequest(0, 0));
             const u32 status = host_.rpc(69, buf).value_or(~0u);
             StaMeasListRpcMsg got;
             std::memcpy(&got, buf.data(), sizeof(got));
             return status + (got.num == 1 && got.entry[0].staMac[5] == 2 ? 0u : 100u);
         },
         0, " [error]ZEP_STAMEAS_FillRpcStaMeasList[][STA_MEAS][0011-2233-4401]: Cant get measure host, bitmap 0x0 weight 0.\r\n"},
    };
    const std::vector<DfxRefusal> freed = {
        {"request counted", [] { return ZEP_STAMEAS_CoMeasStatsSetCoMeasReq(0), 0u; }, 0, ""},
        {"report counted", [] { return ZEP_STAMEAS_CoMeasStatsSetCoMeasRep(0), 0u; }, 0, ""},
        {"statistics", [] { return ZEP_STAMEAS_LogCoMeasStats(0); }, STAMEAS_ERR,
         "ZEP_STAMEAS_LogCoMeasStats[]: [STA-COMEAS-LOG] log comeas statistics fail.\r\n"},
        {"a second free", [] { return ZEP_STAMEAS_CoMeasStatsDeInit(), 0u; }, 0, ""},
    };
    for (const DfxRefusal &c : live) expectRefusal(c);
    for (u32 radio = 0; radio < 2; radio++) {
        EXPECT_EQ(g_coMeasStats[radio].sendCoMeasReqCount + g_coMeasStats[radio].rcvCoMeasReportCount, 0u);
    }
    ZEP_STAMEAS_CoMeasStatsDeInit();
    for (const DfxRefusal &c : freed) expectRefusal(c);
    ZEP_STAMEAS_MeasTblDeInit();  // the node without a host goes
    ASSERT_EQ(ZEP_STAMEAS_MeasTblInit(), 0u);
    ASSERT_EQ(ZEP_STAMEAS_CoMeasStatsInit(), 0u);
}

TEST_F(DfxTest, MeasListDumpAppendsUpToSixtyFourEntriesInListOrder)
{
    // Top host of each bitmap in the cycle used below.
    const std::pair<u32, u32> bitmaps[] = {{0b001, 0}, {0b010, 1}, {0b100, 2}, {0b110, 2},
                                           {0b011, 0}, {0b101, 0}, {0b111, 0}};
    const struct {
        u32 nodes;
        u8 startNum;
    } cases[] = {{70, 0}, {5, 62}, {3, 0}, {2, 64}, {2, 200}};
    ASSERT_EQ(startApp(), 0u);
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.nodes << " nodes from " << unsigned{c.startNum});
        // A fresh table per case.
        ZEP_STAMEAS_MeasTblDeInit();
        ASSERT_EQ(ZEP_STAMEAS_MeasTblInit(), 0u);
        StaMeasListRpcMsg expected = measRequest(0, c.startNum);
        u32 slot = c.startNum;
        for (u32 i = 0; i < c.nodes; i++) {
            const auto &[bitmap, top] = bitmaps[i % 7];
            StaMeasInfo *info = addNode(0, static_cast<u8>(i), i % 2 ? 169 : 167, bitmap,
                                        static_cast<u16>(300 + i));
            ASSERT_NE(info, nullptr);
            if (slot < STAMEAS_RPC_MEAS_ENTRY_MAX) {
                expected.entry[slot++] = entryOf(*info, top);
            }
        }
        addNode(1, 0xF0, 167, 0b001, 100);  // another radio's node stays out of the dump
        expected.num = static_cast<u8>(std::max<u32>(slot, c.startNum));

        std::vector<u8> buf = bytesOf(measRequest(0, c.startNum));
        EXPECT_EQ(host_.rpc(69, buf), 0u);
        EXPECT_EQ(buf, bytesOf(expected));
    }
}

TEST_F(DfxTest, CoMeasListDumpFillsSixteenEntriesWithTypeZeroOnlyForOneSeventyThree)
{
    ASSERT_EQ(startApp(), 0u);
    // 173 + 256 shares its low byte with 173, so it catches a truncated compare.
    const u32 measIds[] = {173, 172, 174, 173 + 256};
    std::vector<const CoMeasInfo *> records;
    for (u8 i = 0; i < STAMEAS_RPC_COMEAS_ENTRY_MAX; i++) {
        records.push_back(addCoMeas(1, 36, i, measIds[i % 4]));
    }
    addCoMeas(1, 37, 0x40, 173);  // neighbouring lists stay out of the dump
    addCoMeas(0, 36, 0x41, 173);

    for (u8 startNum : {u8{0}, u8{10}, u8{16}}) {
        StaCoMeasListRpcMsg expected = coMeasRequest(1, 36, startNum);
        for (u32 slot = startNum, i = 0; slot < STAMEAS_RPC_COMEAS_ENTRY_MAX; slot++, i++) {
            const CoMeasInfo &r = *records[i];
            StaCoMeasListRpcEntry &e = expected.entry[slot];
            std::copy(std::begin(r.staMac), std::end(r.staMac), e.staMac);
            e.measType = r.measId == 173 ? 0 : 1;
            std::copy(r.reqBody + 10, r.reqBody + 16, e.addr);
            e.weight = r.weight;
            e.reqByte18 = r.reqBody[18];
            e.eirp = r.reqBody[17];
        }
        expected.num = std::max<u8>(startNum, STAMEAS_RPC_COMEAS_ENTRY_MAX);
        // A longer buffer is accepted; only its known part is written.
        std::vector<u8> buf = bytesOf(coMeasRequest(1, 36, startNum));
        buf.resize(buf.size() + 4, kUntouched);
        std::vector<u8> want = bytesOf(expected);
        want.resize(want.size() + 4, kUntouched);

        EXPECT_EQ(host_.rpc(70, buf), 0u);
        EXPECT_EQ(buf, want) << unsigned{startNum};
    }
}

}  // namespace
}  // namespace zep::test
