// The seam a replay answers through: what the tap answers never reaches the
// emulation, what it declines the emulation answers exactly once, and calls
// made from inside an emulated operation (the application's callbacks) reach
// the tap again.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "zep_host.hpp"

namespace {

using namespace zep::host;
using ::testing::ElementsAre;

// Answers each call with what its function says, declining all without one;
// keeps the name of every call and the format of every log line it is shown.
class ScriptedTap final : public CallTap {
public:
    std::vector<std::string> seen;
    std::function<std::optional<Answer>(const Call &)> answer = [](const Call &) { return std::nullopt; };

    std::optional<Answer> onCall(const Call &call) override
    {
        seen.emplace_back(operationName(call.op));
        return answer(call);
    }
    void onLog(u32, u32, u32, const u8 *, const char *format, va_list) override { seen.emplace_back(format); }
};

TEST(Tap, AnsweredCallsSkipTheEmulationAndDeclinedOnesRunItOnce)
{
    Host host;
    ScriptedTap tap;
    tap.answer = [](const Call &call) -> std::optional<Answer> {
        return call.op == Operation::ZEP_MNG_SendMsg ? std::optional<Answer>(5)
               : call.op == Operation::ZEP_NB_WalkApVapWithP2 ? std::optional<Answer>(0)
                                                              : std::nullopt;
    };
    host.setCallTap(&tap);
    const u8 body[2] = {1, 2};
    EXPECT_EQ(ZEP_MNG_SendMsg(1, 0, 167, body, 2), 5u);
    EXPECT_TRUE(host.sent().empty());
    EXPECT_EQ(ZEP_MNG_SendIPCMsg(1, 91, body, 2, 0), 0u);
    EXPECT_EQ(host.sent().size(), 1u);
    void *block = UMAC_MallocZero(__FILE__, __LINE__, 8);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(host.memory().totalAllocations(), 1u);
    UMAC_Free(__FILE__, __LINE__, block);
    EXPECT_EQ(host.memory().liveBlocks(), 0u);
    EXPECT_EQ(ZEP_NB_WalkApVapWithP2(nullptr, nullptr, nullptr), 0u) << "the tap walks, not the emulation";
    EXPECT_THAT(tap.seen, ElementsAre("ZEP_MNG_SendMsg", "ZEP_MNG_SendIPCMsg", "UMAC_MallocZero", "UMAC_Free",
                                      "ZEP_NB_WalkApVapWithP2"));

    host.setCallTap(nullptr);
    EXPECT_EQ(ZEP_MNG_SendMsg(1, 0, 167, body, 2), 0u);
    EXPECT_EQ(host.sent().size(), 2u);
    EXPECT_EQ(tap.seen.size(), 5u);

    // Calls from the application's callbacks reach the tap too.
    ZEP_SLL_Head head{};
    head.first = head.last = ZEP_SLL_HeadAsNode(&head);
    ZEP_SLL_Node node{};
    ASSERT_EQ(ZEP_SLL_InsertInMiddle(&head, ZEP_SLL_HeadAsNode(&head), &node, ZEP_SLL_HeadAsNode(&head)), 0u);
    ScriptedTap asked;
    host.setCallTap(&asked);
    // A compare function that asks the framework something, as the application's may.
    const auto askingCompare = [](const void *key, const ZEP_SLL_Node *candidate) -> u32 {
        ZEP_GetTick();
        return key == candidate ? 0 : 1;
    };
    EXPECT_EQ(ZEP_SLL_Find(&head, &node, askingCompare), &node);
    EXPECT_EQ(ZEP_SLL_Find(&head, &asked, askingCompare), nullptr);
    // Bit reads and hash lookups are computed on the application's memory, never asked.
    const u8 bits[1] = {0x02};
    EXPECT_EQ(UMAC_BITMAP_IsBitUp(bits, 1), 1u);
    // A log line reaches the tap as its format, whatever the threshold.
    ZEP_DBG_Print(ZEP_DBG_NOTE, 1, 0, nullptr, "line %u\r\n", 7u);
    EXPECT_THAT(asked.seen, ElementsAre("ZEP_SLL_Find", "ZEP_GetTick", "ZEP_SLL_Find", "ZEP_GetTick", "line %u\r\n"));
}

TEST(Tap, SeesTheArgumentsAndWritesTheOutputsTheTableNames)
{
    Host host;
    host.setScanRadio(36, 1, 2);
    ScriptedTap tap;
    tap.answer = [](const Call &call) -> std::optional<Answer> {
        if (call.op != Operation::ZEP_NB_GetScanRadioId) {
            return std::nullopt;
        }
        const auto [channel, freqInd, radioId, aux] = call.argumentsOf<Operation::ZEP_NB_GetScanRadioId>();
        EXPECT_EQ(std::pair(channel, freqInd), std::pair(u16{36}, u8{1}));
        EXPECT_EQ(call.outputs.size(), 2u);
        EXPECT_EQ(std::pair(call.outputs[0].bytes, call.outputs[0].size),
                  std::pair(reinterpret_cast<u8 *>(radioId), std::size_t{4}));
        EXPECT_EQ(std::pair(call.outputs[1].bytes, call.outputs[1].size), std::pair(aux, std::size_t{1}));
        const u32 answeredRadio = 7;
        std::memcpy(call.outputs[0].bytes, &answeredRadio, sizeof answeredRadio);
        if (call.outputs[1].bytes != nullptr) {
            *call.outputs[1].bytes = 9;
        }
        return 0;
    };
    host.setCallTap(&tap);
    u32 radioId = 0;
    u8 aux = 0;
    EXPECT_EQ(ZEP_NB_GetScanRadioId(36, 1, &radioId, &aux), 0u);
    EXPECT_EQ(radioId, 7u) << "the tap's answer, not the emulation's radio 2";
    EXPECT_EQ(aux, 9u);
    EXPECT_EQ(ZEP_NB_GetScanRadioId(36, 1, &radioId, nullptr), 0u) << "an output not passed is null, its size kept";
    host.setCallTap(nullptr);
    EXPECT_EQ(ZEP_NB_GetScanRadioId(36, 1, &radioId, &aux), 0u);
    EXPECT_EQ(radioId, 2u);
    EXPECT_EQ(aux, 0u);
}

// What the tap lets the emulation perform is the host's, with the tap's result
// and outputs; a failure it does not reaches the observer; a pointer is the tap's.
TEST(Tap, PerformedAnswersAreTheHostsAndUnperformedFailuresAreObserved)
{
    struct Seen final : Observer {
        std::vector<std::pair<u32, u32>> failures;  // (message id, status) of registrations and sends
        void onRegMsg(bool, u32, u32 msgId, u32 status) override { failures.emplace_back(msgId, status); }
        void onSendFailed(const SentMessage &msg, u32 status) override { failures.emplace_back(msg.msgId, status); }
    } seen;
    Host host;
    host.setObserver(&seen);
    static const u32 tapTimerId = 42;
    static ZEP_UAM_StaInfo station{};
    ScriptedTap tap;
    tap.answer = [](const Call &call) -> std::optional<Answer> {
        if (call.op == Operation::ZEP_UAM_FindStaInfo) {
            return reinterpret_cast<std::uintptr_t>(&station);
        }
        const bool accepted = call.op == Operation::ZEP_MNG_RegApp || call.op == Operation::ZEP_MNG_StartTimer;
        Answer answer(accepted || call.op == Operation::UMAC_MallocZero ? 0 : kErrInjected);
        answer.perform = accepted;
        answer.outputs = {reinterpret_cast<const u8 *>(&tapTimerId), sizeof tapTimerId};
        return answer;
    };
    host.setCallTap(&tap);
    const ZEP_AppInfo app{};
    EXPECT_EQ(ZEP_MNG_RegApp(1, 2, &app), 0u);
    EXPECT_EQ(host.appInfo(), &app);
    EXPECT_EQ(ZEP_UAM_FindStaInfo(station.staMac), &station) << "no such station in the emulation";
    EXPECT_EQ(UMAC_MallocZero(__FILE__, __LINE__, 8), nullptr) << "as a replay fails what failed when recorded";
    const ZEP_MsgHandler handler = [](void *body, u32) { return static_cast<ZEP_TimerInfo *>(body)->handler ? 186u : 0u; };
    EXPECT_EQ(ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, 1, 9, 0, handler), kErrInjected);
    EXPECT_FALSE(host.hasHandler(ZEP_MSG_KIND_EVENT, 9));
    EXPECT_EQ(ZEP_MNG_SendMsg(1, 0, 167, nullptr, 0), kErrInjected);
    ZEP_TimerInfo timer{1000, 1, 0, 1, 186, 0, handler};
    u32 timerId = 0;
    EXPECT_EQ(ZEP_MNG_StartTimer(&timer, &timerId), 0u);
    EXPECT_EQ(timerId, tapTimerId);
    host.setCallTap(nullptr);
    EXPECT_THAT(seen.failures, ElementsAre(std::pair(9u, kErrInjected), std::pair(167u, kErrInjected)));
    timer.handler = nullptr;  // as a recording keeps it
    EXPECT_EQ(host.expireTimer(186, {reinterpret_cast<const u8 *>(&timer), sizeof timer}), 186u);
    EXPECT_EQ(host.activeTimers(), 1u) << "a repeating timer is re-armed";
}

}  // namespace
