// Messages, RPCs, timers, scheduled actions and configuration items.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "zep_host.hpp"

namespace {

using namespace zep::host;
using ::testing::ElementsAre;

// What the handlers below saw; reset by every test.
std::vector<std::string> g_trace;
std::vector<u8> g_lastBody;

u32 recordBody(void *msg, u32 len)
{
    const auto *bytes = static_cast<const u8 *>(msg);
    g_lastBody.assign(bytes, bytes + len);
    if (len > 0) {
        static_cast<u8 *>(msg)[0] = 0xEE;  // handlers may complete a body in place
    }
    return 9;
}

u32 otherHandler(void *, u32) { return 0; }

class Recorder : public Observer {
public:
    void onRegMsg(bool reg, u32 kind, u32 msgId, u32 status) override
    {
        regs.push_back({reg ? 1u : 0u, kind, msgId, status});
    }
    void onDelivered(u32 kind, u32 msgId, std::span<const u8> body, u32 status,
                     std::chrono::nanoseconds) override
    {
        delivered.push_back({kind, msgId, static_cast<u32>(body.size()), status});
        lastBody.assign(body.begin(), body.end());
    }
    void onSent(const SentMessage &msg) override { sent.push_back(msg); }
    void onSendFailed(const SentMessage &msg, u32 status) override
    {
        failedSends.push_back(msg);
        failedStatus.push_back(status);
    }
    std::vector<std::vector<u32>> regs;
    std::vector<std::vector<u32>> delivered;
    std::vector<u8> lastBody;
    std::vector<SentMessage> sent;
    std::vector<SentMessage> failedSends;
    std::vector<u32> failedStatus;
};

class MessagingTest : public ::testing::Test {
protected:
    MessagingTest()
    {
        g_trace.clear();
        g_lastBody.clear();
        host_.setObserver(&recorder_);
    }
    Host host_;
    Recorder recorder_;
};

TEST_F(MessagingTest, RegistrationIsOnePerKindAndIdAndUnregNeedsTheSameHandler)
{
    EXPECT_EQ(ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, 63, 182, 0, recordBody), 0u);
    EXPECT_EQ(ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, 63, 182, 0, otherHandler), kErrDuplicate);
    EXPECT_EQ(ZEP_MNG_RegMsg(ZEP_MSG_KIND_RPC, 63, 182, 0, otherHandler), 0u);
    EXPECT_EQ(ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, 63, 183, 0, nullptr), kErrNullPtr);
    EXPECT_EQ(ZEP_MNG_UnRegMsg(ZEP_MSG_KIND_EVENT, 63, 182, otherHandler), kErrNotFound);
    EXPECT_TRUE(host_.hasHandler(ZEP_MSG_KIND_EVENT, 182));
    EXPECT_EQ(ZEP_MNG_UnRegMsg(ZEP_MSG_KIND_EVENT, 63, 182, recordBody), 0u);
    EXPECT_FALSE(host_.hasHandler(ZEP_MSG_KIND_EVENT, 182));
    EXPECT_TRUE(host_.hasHandler(ZEP_MSG_KIND_RPC, 182));
    EXPECT_EQ(recorder_.regs.at(1), (std::vector<u32>{1, 0, 182, kErrDuplicate}));  // refusals are seen too
}

// An uncaptured send still shows the observer its bytes, however long the last one was.
TEST_F(MessagingTest, AFailedOrUncapturedSendIsReportedWithWhatWasAttemptedButNotCaptured)
{
    const u8 body[3] = {5, 6, 7};
    host_.setNowMs(2500);
    host_.faults().failCall("ZEP_MNG_SendMsg", 2, 1, 11);
    host_.faults().failCall("ZEP_MNG_SendIPCMsg", 1);
    EXPECT_EQ(ZEP_MNG_SendMsg(ZEP_DEST_ALL, 0, 167, body, 3), 0u);
    EXPECT_EQ(ZEP_MNG_SendMsg(4, 0, 169, body, 3), 11u);
    EXPECT_EQ(ZEP_MNG_SendIPCMsg(ZEP_DEST_ALL, 91, body, 2, 0), kErrInjected);
    EXPECT_EQ(ZEP_MNG_SendIPCMsg(ZEP_DEST_ALL, 91, nullptr, 8, 0), kErrNullPtr);

    ASSERT_EQ(host_.sent().size(), 1u);
    EXPECT_EQ(host_.sent()[0].msgId, 167u);
    EXPECT_THAT(recorder_.failedStatus, ElementsAre(11u, kErrInjected, kErrNullPtr));
    ASSERT_EQ(recorder_.failedSends.size(), 3u);
    const SentMessage &first = recorder_.failedSends[0];
    EXPECT_EQ(std::tuple(first.atMs, first.dest, first.msgId, first.ipc), std::tuple(2500u, 4u, 169u, false));
    EXPECT_THAT(first.body, ElementsAre(5, 6, 7));
    EXPECT_TRUE(recorder_.failedSends[1].ipc);
    EXPECT_THAT(recorder_.failedSends[1].body, ElementsAre(5, 6));
    EXPECT_TRUE(recorder_.failedSends[2].body.empty());

    host_.setCaptureSent(false);
    ZEP_MNG_SendMsg(ZEP_DEST_ALL, 0, 167, body, 3);
    ZEP_MNG_SendMsg(ZEP_DEST_ALL, 0, 169, body + 2, 1);
    EXPECT_EQ(host_.sent().size(), 1u);
    ASSERT_EQ(recorder_.sent.size(), 3u);
    EXPECT_THAT(recorder_.sent[2].body, ElementsAre(7));
}

TEST_F(MessagingTest, DeliverHandsACopyOfExactLengthAndRpcWritesInPlace)
{
    const u8 bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(ZEP_MNG_CheckMsgValid(nullptr, 4, 0), kErrNullPtr);
    EXPECT_EQ(ZEP_MNG_CheckMsgValid(bytes, 3, 4), kErrMsgLen);
    EXPECT_EQ(ZEP_MNG_CheckMsgValid(bytes, 4, 4), 0u);
    ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, 63, 34, 0, recordBody);
    ZEP_MNG_RegMsg(ZEP_MSG_KIND_RPC, 63, 69, 0, recordBody);
    const std::vector<u8> body{1, 2, 3};
    EXPECT_EQ(host_.deliver(34, body), 9u);
    EXPECT_THAT(g_lastBody, ElementsAre(1, 2, 3));
    EXPECT_THAT(body, ElementsAre(1, 2, 3));
    EXPECT_THAT(recorder_.lastBody, ElementsAre(0xEE, 2, 3));  // as the handler left it
    EXPECT_EQ(host_.deliver(34, {}), 9u);
    EXPECT_TRUE(g_lastBody.empty());
    EXPECT_EQ(host_.deliver(35, body), std::nullopt);

    std::vector<u8> buffer{5, 6};
    EXPECT_EQ(host_.rpc(69, buffer), 9u);
    EXPECT_THAT(buffer, ElementsAre(0xEE, 6));
    EXPECT_EQ(host_.rpc(34, buffer), std::nullopt);  // 34 is an event, not an RPC
    EXPECT_EQ(recorder_.delivered,
              (std::vector<std::vector<u32>>{{0, 34, 3, 9}, {0, 34, 0, 9}, {5, 69, 2, 9}}));
}

#if defined(__SANITIZE_ADDRESS__)
#define HOST_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOST_TEST_ASAN 1
#endif
#endif

// Delivery buffers are reused: a short body after a long one, and an empty
// one, must still end where their length says.
TEST(DeliveryDeathTest, ReadingPastTheBodyIsCaught)
{
#ifdef HOST_TEST_ASAN
    for (const std::size_t shortLen : {std::size_t{3}, std::size_t{0}}) {
        EXPECT_DEATH(
            {
                Host host;
                ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, 63, 1, 0, [](void *msg, u32 len) -> u32 {
                    return static_cast<volatile u8 *>(msg)[len];
                });
                ZEP_MNG_RegMsg(ZEP_MSG_KIND_EVENT, 63, 2, 0, otherHandler);
                host.deliver(2, std::vector<u8>(64, 1));
                host.deliver(1, std::vector<u8>(shortLen, 2));
            },
            "use-after-poison");
    }
#else
    GTEST_SKIP() << "needs AddressSanitizer";
#endif
}

u32 startTimer(u32 period, u32 repeat, ZEP_MsgHandler handler, u32 msgId, u32 *id)
{
    ZEP_TimerInfo info{};
    EXPECT_EQ(ZEP_MNG_FillTimerRegInfo(period, repeat, 0, &info), 0u);
    EXPECT_EQ(ZEP_MNG_FillTimerMsgInfo(63, msgId, handler, &info), 0u);
    return ZEP_MNG_StartTimer(&info, id);
}

u32 recordTimer(void *msg, u32 /*len*/)
{
    ZEP_TimerInfo info;
    std::memcpy(&info, msg, sizeof(info));
    g_trace.push_back("T" + std::to_string(info.msgId) + "@" + std::to_string(Host::current().nowMs()));
    return 0;
}

// A timer goes before an action due at the same ms, and the older timer before
// a newer one; actions due together run in the order scheduled, one scheduled
// in the past runs at once; a repeating timer re-arms, a one-shot is gone, and
// a stopped timer is gone with the caller's id cleared.
TEST_F(MessagingTest, TimersAndActionsRunInTimeOrder)
{
    host_.setObserver(nullptr);
    u32 every300 = 0, once500 = 0, once300 = 0;
    ASSERT_EQ(startTimer(300, 1, recordTimer, 186, &every300), 0u);
    ASSERT_EQ(startTimer(500, 0, recordTimer, 7, &once500), 0u);
    ASSERT_EQ(startTimer(300, 0, recordTimer, 8, &once300), 0u);
    const auto act = [](std::string label) {
        return [label] { g_trace.push_back(label + "@" + std::to_string(Host::current().nowMs())); };
    };
    host_.schedule(600, act("a"));
    host_.schedule(600, [act] {
        act("b")();
        Host::current().schedule(100, act("past"));
    });
    host_.advance(1000);
    EXPECT_THAT(g_trace, ElementsAre("T186@300", "T8@300", "T7@500", "T186@600", "a@600", "b@600", "past@600",
                                     "T186@900"));
    EXPECT_EQ(host_.activeTimers(), 1u);
    EXPECT_EQ(ZEP_MNG_StopTimer(&every300, every300), 0u);
    EXPECT_EQ(every300, 0u);
    g_trace.clear();
    host_.advance(1000);
    EXPECT_TRUE(g_trace.empty());
}

u32 cfgHandler(void *msg, u32 len)
{
    u32 radio = 99;
    const auto *value = static_cast<const u8 *>(ZEP_CFG_MsgParseSingleTlv(msg, len, &radio, 0, 1));
    g_lastBody.assign(static_cast<const u8 *>(msg), static_cast<const u8 *>(msg) + len);
    return value == nullptr ? 100 : radio * 10 + value[0];
}

TEST_F(MessagingTest, ConfigItemIsOneTlvAndItsParseIsBoundsChecked)
{
    EXPECT_EQ(ZEP_CFG_RegRadioSingleCfgMsg(63, 32, cfgHandler), 0u);
    EXPECT_EQ(ZEP_CFG_RegRadioSingleCfgMsg(63, 32, cfgHandler), kErrDuplicate);
    const std::vector<u8> value{3};
    EXPECT_EQ(host_.deliverConfig(32, 1, value), 13u);
    EXPECT_THAT(g_lastBody, ElementsAre(1, 0, 0, 0, 1, 0, 0, 0, 32, 0, 1, 0, 3));
    EXPECT_EQ(host_.deliverConfig(33, 1, value), std::nullopt);

    // radio 2, two TLVs: {type 1, len 2: AA BB}, {type 2, len 1: CC}
    std::vector<u8> msg{2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 2, 0, 0xAA, 0xBB, 2, 0, 1, 0, 0xCC};
    u32 radio = 0;
    auto *second = static_cast<u8 *>(ZEP_CFG_MsgParseSingleTlv(msg.data(), 19, &radio, 1, 1));
    EXPECT_EQ(second, msg.data() + 18);
    EXPECT_EQ(radio, 2u);
    EXPECT_EQ(ZEP_CFG_MsgParseSingleTlv(msg.data(), 19, &radio, 0, 2), msg.data() + 12);

    // (len, index, minLen): last value cut, first value cut, header cut, no
    // third TLV, value too short.
    for (const auto [len, index, minLen] : {std::array<u32, 3>{18, 1, 1}, {13, 0, 1}, {7, 0, 0},
                                            {19, 2, 0}, {19, 0, 3}}) {
        EXPECT_EQ(ZEP_CFG_MsgParseSingleTlv(msg.data(), len, &radio, index, minLen), nullptr)
            << len << " " << index << " " << minLen;
    }
    EXPECT_EQ(ZEP_CFG_MsgParseSingleTlv(msg.data(), 19, nullptr, 0, 0), nullptr);
    msg[4] = 9;  // more TLVs announced than present
    EXPECT_EQ(ZEP_CFG_MsgParseSingleTlv(msg.data(), 19, &radio, 2, 0), nullptr);
}

}  // namespace
