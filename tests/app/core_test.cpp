// Registration, the two start-up phases, de-initialisation, the per-radio
// measurement switch with configuration item 32.
#include <algorithm>
#include <array>

#include "app_fixture.hpp"

namespace zep::test {
namespace {

constexpr u32 kEvent = ZEP_MSG_KIND_EVENT;
constexpr u32 kRpc = ZEP_MSG_KIND_RPC;
constexpr std::array<u32, 9> kEventMsgs = {182, 183, 184, 185, 34, 198, 181, 168, 170};

class CoreTest : public AppTest {
protected:
    std::size_t eventHandlers() const
    {
        return static_cast<std::size_t>(std::ranges::count_if(
            kEventMsgs, [this](u32 id) { return host_.hasHandler(kEvent, id); }));
    }

    // Bodies (see bodyOf) of the captured error lines, in order.
    std::vector<std::string> errorBodies() const
    {
        std::vector<std::string> out;
        for (const auto &line : host_.logs()) {
            if (line.severity == ZEP_DBG_ERROR) {
                out.push_back(bodyOf(line.text));
            }
        }
        return out;
    }
};

struct Phase0Failure {
    u32 step;  // 1..4; steps before it already made by an earlier phase 0
    const char *op;
    u32 injected;
    u32 status;
    std::vector<std::string> coreLines;
};

// gtest keeps a text of every parameter; without this it dumps the record's
// raw bytes, padding included, which valgrind rightly reports as unset.
void PrintTo(const Phase0Failure &c, std::ostream *os) { *os << c.op << " at step " << c.step; }

class Phase0FailureTest : public CoreTest, public ::testing::WithParamInterface<Phase0Failure> {};

TEST_P(Phase0FailureTest, StopsAtTheFailingStepWithBothLines)
{
    const Phase0Failure &c = GetParam();
    started_ = true;
    ASSERT_EQ(host_.registerApp(), 0u);
    if (c.step >= 3) {
        // Phase 0 again only creates what is missing, which aims the fault at one step.
        ASSERT_EQ(host_.initPhase(0), 0u);
        if (c.step == 3) {
            ZEP_STAMEAS_CoMeasListDeInit();
        }
        ZEP_STAMEAS_CoMeasStatsDeInit();
        host_.clearCaptures();
    }
    host_.faults().failCall(c.op, 1, 1, c.injected);

    EXPECT_EQ(host_.initPhase(0), c.status);

    EXPECT_EQ(logBodies(STAMEAS_CAT_CORE), c.coreLines);
    const auto &lines = host_.logs();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].text.rfind("ZEP_STAMEAS_DataInit[", 0), 0u);
    EXPECT_EQ(lines.back().text.rfind("ZEP_STAMEAS_AppInit[", 0), 0u);
    // The steps after the failing one did not run.
    EXPECT_EQ(g_staMeasTbl == nullptr, c.step <= 2);
    EXPECT_EQ(g_coMeasRadioState == nullptr, c.step <= 3);
    EXPECT_EQ(g_coMeasStats, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, Phase0FailureTest,
    ::testing::Values(
        Phase0Failure{1, "UMAC_OBJMNG_MallocDataArea", 9, 9,
                      {"malloc data area fail.\r\n", "create data obj fail 9.\r\n",
                       "app init failed 9\r\n"}},
        Phase0Failure{2, "ZEP_MEMPOOL_Create", host::kErrInjected, 41,
                      {"sta measure table init fail 41.\r\n", "app init failed 41\r\n"}},
        Phase0Failure{3, "UMAC_MallocZero", host::kErrInjected, 41,
                      {"sta co-measure list init fail 41.\r\n", "app init failed 41\r\n"}},
        Phase0Failure{4, "UMAC_MallocZero", host::kErrInjected, 41,
                      {"sta co-measure Stats init fail 41.\r\n", "app init failed 41\r\n"}}),
    [](const ::testing::TestParamInfo<Phase0Failure> &param) {
        return "Step" + std::to_string(param.param.step);
    });

struct Phase1Failure {
    const char *op;
    u32 nth;
    std::string stepLine;
    std::size_t eventHandlers;
    bool rpc69;
    bool rpc70;
};

void PrintTo(const Phase1Failure &c, std::ostream *os) { *os << c.op << " call " << c.nth; }

class Phase1FailureTest : public CoreTest, public ::testing::WithParamInterface<Phase1Failure> {};

TEST_P(Phase1FailureTest, KeepsEarlierRegistrationsAndStops)
{
    const Phase1Failure &c = GetParam();
    started_ = true;
    ASSERT_EQ(host_.registerApp(), 0u);
    ASSERT_EQ(host_.initPhase(0), 0u);
    host_.clearCaptures();
    host_.faults().failCall(c.op, c.nth, 1, 9);

    EXPECT_EQ(host_.initPhase(1), 9u);

    EXPECT_EQ(errorBodies(), (std::vector<std::string>{c.stepLine, "app init failed 9\r\n"}));
    EXPECT_EQ(eventHandlers(), c.eventHandlers);
    EXPECT_EQ(host_.hasHandler(kRpc, 69), c.rpc69);
    EXPECT_EQ(host_.hasHandler(kRpc, 70), c.rpc70);
}

// Each registration of phase 1 refused in turn, in its order: the nine event
// registrations (the station-leave handler after the second), then the two RPCs.
INSTANTIATE_TEST_SUITE_P(
    Steps, Phase1FailureTest,
    ::testing::Values(
        Phase1Failure{"ZEP_CFG_RegRadioSingleCfgMsg", 1, "reg scan switch msg fail 9.\r\n",
                      0, false, false},
        Phase1Failure{"ZEP_MNG_RegMsg", 1, "reg sta measure start msg failed 9.\r\n", 0, false, false},
        Phase1Failure{"ZEP_MNG_RegMsg", 2, "reg sta measure stop msg failed 9.\r\n", 1, false, false},
        Phase1Failure{"ZEP_STA_RegAccessPrimHandle", 1, "reg prim handle for sta-leave failed 9.\r\n", 2,
                      false, false},
        Phase1Failure{"ZEP_MNG_RegMsg", 3, "reg sta co-measure start msg failed 9.\r\n", 2, false, false},
        Phase1Failure{"ZEP_MNG_RegMsg", 4, "reg sta co-measure stop msg failed 9.\r\n", 3, false, false},
        Phase1Failure{"ZEP_MNG_RegMsg", 5, "reg scan state change msg failed 9.\r\n", 4, false, false},
        Phase1Failure{"ZEP_MNG_RegMsg", 6, "reg co-measure to nb msg failed 9.\r\n", 5, false, false},
        Phase1Failure{"ZEP_MNG_RegMsg", 7, "reg scan channel set change msg failed 9.\r\n", 6, false, false},
        Phase1Failure{"ZEP_MNG_RegMsg", 8, "reg lm report msg proc fail 9.\r\n", 7, false, false},
        Phase1Failure{"ZEP_MNG_RegMsg", 9, "reg tpc report msg proc fail 9.\r\n", 8, false, false},
        Phase1Failure{"ZEP_MNG_RegMsg", 10, "reg rpc get_sta_meas_list msg fail 9.\r\n",
                      kEventMsgs.size(), false, false},
        Phase1Failure{"ZEP_MNG_RegMsg", 11, "reg rpc get_sta_comeas_list msg fail 9.\r\n",
                      kEventMsgs.size(), true, false}),
    [](const ::testing::TestParamInfo<Phase1Failure> &param) {
        return std::string(param.param.op) + "_call" + std::to_string(param.param.nth);
    });

// De-initialisation withdraws every message handler, the reports' too, so a
// report that arrives later is neither handled nor forwarded. The two dumps
// stay registered: they find nothing to dump.
TEST_F(CoreTest, DeinitWithdrawsEveryMessageHandlerButTheDumps)
{
    ASSERT_EQ(startApp(), 0u);
    host_.radio(0).bssid[0] = Mac{0x02, 0, 0, 0, 0, 1};
    started_ = false;
    ASSERT_EQ(host_.deinit(), 0u);
    for (u32 id : kEventMsgs) {
        EXPECT_FALSE(host_.hasHandler(kEvent, id)) << id;
    }
    EXPECT_TRUE(host_.hasHandler(kRpc, 69));
    EXPECT_TRUE(host_.hasHandler(kRpc, 70));
    EXPECT_EQ(host_.deliver(168, bytesOf(LmReportMsg{})), std::nullopt);
    EXPECT_TRUE(host_.sent().empty());
}

// The framework may call a phase past the last one: it does nothing.
TEST_F(CoreTest, PhasePastTheLastDoesNothing)
{
    ASSERT_EQ(startApp(), 0u);
    const u64 allocs = host_.memory().totalAllocations();
    EXPECT_EQ(host_.initPhase(2), 0u);
    EXPECT_TRUE(host_.logs().empty());
    EXPECT_EQ(host_.memory().totalAllocations(), allocs);
}

struct DeinitFailure {
    const char *op;
    u32 nth;  // which call of op is refused, in de-initialisation's order
    std::string line;
    std::size_t handlersLeft;
};

void PrintTo(const DeinitFailure &c, std::ostream *os) { *os << c.op << " call " << c.nth; }

class DeinitFailureTest : public CoreTest, public ::testing::WithParamInterface<DeinitFailure> {};

// A refused withdrawal, or a refused stop of the timer, is logged and
// de-initialisation goes on with the rest.
TEST_P(DeinitFailureTest, IsLoggedAndTheRestIsStillUndone)
{
    const DeinitFailure &c = GetParam();
    ASSERT_EQ(startApp(), 0u);
    StaMeasStartEntry entry = keyOf<StaMeasStartEntry>(Mac{}, STAMEAS_MSG_LM_REQ);
    entry.sched = StaMeasSched{1, 1, 0};
    ASSERT_EQ(deliver(STAMEAS_MSG_MEAS_START, messageOf(StaMeasMsgHead{1, 0, {}, 0}, std::vector{entry})), 0u);
    ASSERT_EQ(host_.activeTimers(), 1u);
    host_.clearCaptures();
    started_ = false;
    host_.faults().failCall(c.op, c.nth);
    ASSERT_EQ(host_.deinit(), 0u);
    EXPECT_EQ(errorBodies(), std::vector<std::string>{c.line});
    EXPECT_EQ(eventHandlers(), c.handlersLeft);
    EXPECT_EQ(host_.activeTimers(), c.handlersLeft == 0 ? 1u : 0u);
    EXPECT_EQ(host_.memory().liveBlocks(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, DeinitFailureTest,
    ::testing::Values(
        DeinitFailure{"ZEP_MNG_UnRegMsg", 1, "Unreg sta measure start msg failed 7.\r\n", 1},
        DeinitFailure{"ZEP_MNG_UnRegMsg", 2, "Unreg sta measure stop msg failed 7.\r\n", 1},
        DeinitFailure{"ZEP_MNG_StopTimer", 1, "sta measure timer stop fail 7, loopCnt 0.\r\n", 0},
        DeinitFailure{"ZEP_MNG_UnRegMsg", 3, "Unreg sta co-measure start msg failed 7.\r\n", 1},
        DeinitFailure{"ZEP_MNG_UnRegMsg", 4, "Unreg sta co-measure stop msg failed 7.\r\n", 1},
        DeinitFailure{"ZEP_MNG_UnRegMsg", 5, "Unreg sta co-measure scan msg failed 7.\r\n", 1},
        DeinitFailure{"ZEP_MNG_UnRegMsg", 6, "Unreg co-measure to nb msg failed 7.\r\n", 1},
        DeinitFailure{"ZEP_MNG_UnRegMsg", 7, "Unreg scan channel set change msg failed 7.\r\n", 1},
        DeinitFailure{"ZEP_MNG_UnRegMsg", 8, "unreg lm report msg proc fail 7.\r\n", 1},
        DeinitFailure{"ZEP_MNG_UnRegMsg", 9, "unreg tpc report msg proc fail 7.\r\n", 1}),
    [](const ::testing::TestParamInfo<DeinitFailure> &param) {
        return std::string(param.param.op) + "_call" + std::to_string(param.param.nth);
    });

struct SwitchStep {
    u32 radio;
    u8 value;
    std::array<u8, 2> stored;  // measSwitch of radios 0 and 1 afterwards
};

TEST_F(CoreTest, ItemThirtyTwoSwitchesOneRadioAndStoresTheByteAsGiven)
{
    ASSERT_EQ(startApp(), 0u);
    const SwitchStep steps[] = {
        {1, 0, {1, 0}}, {1, 2, {1, 2}}, {1, 255, {1, 255}}, {1, 1, {1, 1}}, {0, 0, {0, 1}},
    };
    for (const SwitchStep &s : steps) {
        host_.clearCaptures();
        const std::vector<u8> value = {s.value};
        EXPECT_EQ(host_.deliverConfig(32, s.radio, value), 0u);
        EXPECT_EQ(logBodies(STAMEAS_CAT_CORE),
                  std::vector<std::string>{"radio " + std::to_string(s.radio) + " scanSwitch " +
                                           std::to_string(s.value) + ".\r\n"});
        for (u32 r = 0; r < 2; r++) {
            EXPECT_EQ(ZEP_STAMEAS_GetRadioDataArea(r)->measSwitch, s.stored[r]) << r;
            EXPECT_EQ(ZEP_STAMEAS_IsMeasEnable(r), s.stored[r] == 1 ? 1u : 0u) << r;
        }
    }
}

TEST_F(CoreTest, UnparsableItemGivesEightAndChangesNothing)
{
    ASSERT_EQ(startApp(), 0u);
    const std::vector<u8> noValue;
    const std::vector<u8> truncated = {1, 0, 0};
    EXPECT_EQ(host_.deliverConfig(32, 1, noValue), 8u);
    EXPECT_EQ(host_.deliverRawConfig(32, truncated), 8u);
    EXPECT_EQ(logBodies(STAMEAS_CAT_CORE), (std::vector<std::string>(2, "get cfg fail.\r\n")));
    EXPECT_EQ(ZEP_STAMEAS_IsMeasEnable(1), 1u);
}

}  // namespace
}  // namespace zep::test
