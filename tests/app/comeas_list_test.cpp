// Co-measurement lists: what each operation refuses (a radio outside the area,
// the area not yet made or already freed, a channel past 233, a failed clock or
// allocation, a missing list) and the line it says so with.
#include <functional>

#include "comeas_fixture.hpp"

namespace zep::test::comeas {
namespace {

struct Refusal {
    const char *op;
    std::function<u32(u32 radio)> call;  // the operation's result as a number
    std::string words;                   // after "op[]: "; "": nothing logged
    const char *fault = nullptr;
    bool aboutStation = false;
};

class CoMeasListTest : public CoMeasTest {
protected:
    void expectRefusal(const Refusal &c, u32 radio)
    {
        SCOPED_TRACE(testing::Message() << c.op << " on radio " << radio << ": " << c.words);
        freshCase(c.fault);
        EXPECT_EQ(c.call(radio), 0u);
        std::string words = c.words;
        if (const std::size_t at = words.find('%'); at != std::string::npos) {
            words.replace(at, 1, std::to_string(radio));
        }
        const std::string prefix = c.aboutStation ? " [error]" + std::string(c.op) + "[][STA_MEAS][0011-2233-4401]: "
                                                  : std::string(c.op) + "[]: ";
        expectOnlyError(words.empty() ? "" : prefix + words);
    }
};

TEST_F(CoMeasListTest, EachRefusalHasItsResultAndItsLine)
{
    const CoMeasKey key{{0x00, 0x11, 0x22, 0x33, 0x44, 0x01}, {}, 200};
    const auto some = [](const void *p) { return p == nullptr ? 0u : 1u; };
    const auto visit = [](ZEP_SLL_Head *, CoMeasInfo *, void *) -> u32 { return 0; };
    const std::string badRadio = "Invalid radioId %.\r\n";
    // Refused for radio 2, beyond the device's, and for radio 0 once the area is freed.
    const std::vector<Refusal> perRadio = {
        {"ZEP_STAMEAS_GetCoMeasStaList", [&](u32 r) { return some(ZEP_STAMEAS_GetCoMeasStaList(r, kChan)); }, badRadio},
        {"ZEP_STAMEAS_IsCoMeasSupport", [](u32 r) { return u32{ZEP_STAMEAS_IsCoMeasSupport(r, kChan)}; }, badRadio},
        {"ZEP_STAMEAS_SetCoMeasSupport", [](u32 r) { return ZEP_STAMEAS_SetCoMeasSupport(r, kChan), 0u; }, badRadio},
        {"ZEP_STAMEAS_IsRadioOnScanState", [](u32 r) { return u32{ZEP_STAMEAS_IsRadioOnScanState(r)}; }, badRadio},
        {"ZEP_STAMEAS_SetRadioOnScanState", [](u32 r) { return ZEP_STAMEAS_SetRadioOnScanState(r, 1), 0u; }, badRadio},
        {"ZEP_STAMEAS_UpdateScanTriggerMs", [](u32 r) { return ZEP_STAMEAS_UpdateScanTriggerMs(r), 0u; }, badRadio},
        {"ZEP_STAMEAS_IsCanTriggerScan", [](u32 r) { return u32{ZEP_STAMEAS_IsCanTriggerScan(r)}; }, badRadio},
        {"ZEP_STAMEAS_GetCoMeasRepeatSendCnt", [](u32 r) { return u32{ZEP_STAMEAS_GetCoMeasRepeatSendCnt(r)}; }, badRadio},
        {"ZEP_STAMEAS_FreeRadioCoMeasList", [](u32 r) { return ZEP_STAMEAS_FreeRadioCoMeasList(r), 0u; }, ""},
    };
    // Refused on the live area, radio 1.
    const std::vector<Refusal> others = {
        {"ZEP_STAMEAS_GetCoMeasStaList", [&](u32 r) { return some(ZEP_STAMEAS_GetCoMeasStaList(r, 234)); },
         "Invalid channel 234.\r\n"},
        {"ZEP_STAMEAS_IsCoMeasSupport", [](u32 r) { return u32{ZEP_STAMEAS_IsCoMeasSupport(r, 234)}; },
         "Invalid channel 234.\r\n"},
        {"ZEP_STAMEAS_SetCoMeasSupport", [](u32 r) { return ZEP_STAMEAS_SetCoMeasSupport(r, 234), 0u; },
         "Invalid channel 234.\r\n"},
        {"ZEP_STAMEAS_UpdateScanTriggerMs",
         [](u32 r) { return ZEP_STAMEAS_UpdateScanTriggerMs(r), static_cast<u32>(g_coMeasRadioState[r].scanTriggerMs); },
         "get time fail.\r\n", "ZEP_HiPrecisionMsNow64"},
        {"ZEP_STAMEAS_IsCanTriggerScan", [](u32 r) { return u32{ZEP_STAMEAS_IsCanTriggerScan(r)}; }, "get time fail.\r\n",
         "ZEP_HiPrecisionMsNow64"},
        {"ZEP_STAMEAS_AddCoMeasInfo", [&](u32 r) { return some(ZEP_STAMEAS_AddCoMeasInfo(ZEP_STAMEAS_GetCoMeasStaList(r, kChan), &key)); },
         "Sta co-measure node malloc fail, current number 0.\r\n", "UMAC_MallocZero", true},
        {"ZEP_STAMEAS_AddCoMeasInfo", [&](u32) { return some(ZEP_STAMEAS_AddCoMeasInfo(nullptr, &key)); }, ""},
        {"ZEP_STAMEAS_FindCoMeasInfo", [&](u32) { return some(ZEP_STAMEAS_FindCoMeasInfo(nullptr, &key)); }, ""},
        {"ZEP_STAMEAS_AddCoMeasInfo", [&](u32 r) { return some(ZEP_STAMEAS_AddCoMeasInfo(ZEP_STAMEAS_GetCoMeasStaList(r, kChan), nullptr)); }, ""},
        {"ZEP_STAMEAS_FindCoMeasInfo", [&](u32 r) { return some(ZEP_STAMEAS_FindCoMeasInfo(ZEP_STAMEAS_GetCoMeasStaList(r, kChan), nullptr)); }, ""},
        {"ZEP_STAMEAS_GetCoMeasNodeNum", [](u32) { return ZEP_STAMEAS_GetCoMeasNodeNum(nullptr); }, ""},
        {"ZEP_STAMEAS_ChkAndCutCoMeasList", [](u32) { return ZEP_STAMEAS_ChkAndCutCoMeasList(nullptr, 17, 0), 0u; }, ""},
        {"ZEP_STAMEAS_TraverseCoMeasList", [&](u32) { return ZEP_STAMEAS_TraverseCoMeasList(nullptr, visit, nullptr), 0u; }, ""},
    };
    for (const Refusal &c : perRadio) expectRefusal(c, 2);
    for (const Refusal &c : others) expectRefusal(c, kRadio);
    EXPECT_TRUE(records().empty());
    ZEP_STAMEAS_CoMeasListDeInit();
    for (const Refusal &c : perRadio) expectRefusal(c, 0);
    host_.clearCaptures();
    ZEP_STAMEAS_CoMeasListDeInit();
    EXPECT_EQ(linesWithoutSourceLine(), std::vector<std::string>{"ZEP_STAMEAS_CoMeasListDeInit[]: Sta co-measure list not exist.\r\n"});
    ASSERT_EQ(ZEP_STAMEAS_CoMeasListInit(), 0u);
}

}  // namespace
}  // namespace zep::test::comeas
