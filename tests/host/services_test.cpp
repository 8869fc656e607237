// Fault injection, memory accounting and the logger.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "zep_host.hpp"

namespace {

using namespace zep::host;
using ::testing::ElementsAre;

// Rules count the calls from when they are armed; clear() disarms every one.
TEST(Faults, NthCallWindowsAndKthFallibleCallFailWithTheirStatus)
{
    Host host;
    u64 now = 0;
    u32 timerId = 0;
    ZEP_TimerInfo info{};
    host.faults().failCall("ZEP_HiPrecisionMsNow64", 2, 2, 77);
    std::vector<u32> results;
    for (int i = 0; i < 5; ++i) {
        results.push_back(ZEP_HiPrecisionMsNow64(&now));
    }
    EXPECT_THAT(results, ElementsAre(0, 77, 77, 0, 0));
    EXPECT_EQ(host.faults().calls("ZEP_HiPrecisionMsNow64"), 5u);
    EXPECT_EQ(host.faults().injectedFailures(), 2u);

    // A rule belongs to its own operation and counts from when it was armed.
    host.faults().failCall("ZEP_MNG_SendMsg", 2, 1, 31);
    const u8 body[1] = {0};
    EXPECT_EQ(ZEP_HiPrecisionMsNow64(&now), 0u);
    EXPECT_EQ(ZEP_MNG_SendIPCMsg(1, 198, body, 1, 0), 0u);
    EXPECT_EQ(ZEP_MNG_SendMsg(1, 0, 167, body, 1), 0u);
    EXPECT_EQ(ZEP_MNG_SendMsg(1, 0, 167, body, 1), 31u);
    EXPECT_EQ(host.faults().fallibleCalls(), 9u);

    host.faults().failKthFallible(2);  // of any operation
    EXPECT_EQ(ZEP_HiPrecisionMsNow64(&now), 0u);
    EXPECT_EQ(ZEP_MNG_FillTimerRegInfo(10, 0, 0, &info), kErrInjected);
    EXPECT_EQ(ZEP_MNG_FillTimerRegInfo(10, 0, 0, &info), 0u);
    EXPECT_EQ(ZEP_MNG_CheckMsgValid(&now, 8, 8), 0u);  // not fallible: not counted
    EXPECT_EQ(host.faults().fallibleCalls(), 12u);

    host.faults().failCall("ZEP_MNG_StartTimer", 1);
    host.faults().clear();
    ZEP_MNG_FillTimerMsgInfo(63, 186, [](void *, u32) -> u32 { return 0; }, &info);
    EXPECT_EQ(ZEP_MNG_StartTimer(&info, &timerId), 0u);
    EXPECT_EQ(host.faults().injectedFailures(), 4u);
}

TEST(FaultsDeathTest, UnknownOperationAborts)
{
    EXPECT_DEATH(Host().faults().failCall("ZEP_MNG_SendMsgs", 1), "ZEP_MNG_SendMsgs");
}

TEST(Memory, AccountsLiveBlocksBySiteAndCountsBadFrees)
{
    Host host;
    void *a = UMAC_MallocZero("a.cpp", 10, 16);
    void *b = UMAC_MallocZero("a.cpp", 10, 8);
    UMAC_MallocZero("b.cpp", 3, 1);  // left for the host to free when it goes away
    EXPECT_EQ(UMAC_MallocZero("b.cpp", 4, 0), nullptr);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(static_cast<u8 *>(a)[15], 0);
    EXPECT_EQ(host.memory().liveBlocks(), 3u);
    EXPECT_EQ(host.memory().liveBytes(), 25u);
    EXPECT_EQ(host.memory().totalAllocations(), 3u);
    EXPECT_EQ(host.memory().liveBySite(), (std::map<std::string, std::size_t>{{"a.cpp:10", 2}, {"b.cpp:3", 1}}));

    UMAC_Free("a.cpp", 20, a);
    ZEP_Free(b);
    ZEP_Free(b);  // double free: counted, never reaches the real heap
    UMAC_Free("a.cpp", 21, nullptr);
    EXPECT_EQ(host.memory().badFrees(), 1u);
    EXPECT_EQ(host.memory().liveBlocks(), 1u);
}

TEST(Logger, ThresholdDropsLinesBeforeFormattingAndCapturesTheRest)
{
    struct LineSink final : Observer {
        std::vector<std::string> lines;
        void onLog(const LogLine &line) override { lines.push_back(line.text); }
    } sink;
    Host host;
    host.setObserver(&sink);
    host.setLogThreshold(ZEP_DBG_RARE);
    const u8 mac[6] = {0, 0x11, 0x22, 0x33, 0x44, 1};
    ZEP_DBG_Print(ZEP_DBG_NOTE, 63, 0, nullptr, "%s[%u]: dropped\r\n", "f", 1u);
    ZEP_DBG_Print(ZEP_DBG_ERROR, 63, 3, mac, "%s[%u]: kept %s\r\n", "g", 2u, std::string(300, 'x').c_str());
    EXPECT_EQ(host.formattedLogLines(), 1u);
    ASSERT_EQ(host.logs().size(), 1u);
    const LogLine &line = host.logs()[0];
    EXPECT_EQ(std::tuple(line.severity, line.module, line.category, line.sta),
              std::tuple(u32{ZEP_DBG_ERROR}, 63u, 3u, std::optional(Mac{0, 0x11, 0x22, 0x33, 0x44, 1})));
    EXPECT_EQ(line.text, "g[2]: kept " + std::string(300, 'x') + "\r\n");
    EXPECT_EQ(sink.lines, std::vector<std::string>{line.text});
}

}  // namespace
