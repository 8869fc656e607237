// Co-measurement list operations called with what they cannot serve, and the
// walks that the send-on-scan and stop handlers build on.
#include <functional>

#include "comeas_fixture.hpp"

namespace zep::test::comeas {
namespace {

using CoMeasListTest = CoMeasTest;

CoMeasKey keyOf(u8 staLast, u32 measId)
{
    CoMeasKey key{};
    std::memcpy(key.staMac, macOf(staLast).data(), sizeof(key.staMac));
    key.measId = measId;
    return key;
}

u64 isSet(const void *p) { return p != nullptr ? 1 : 0; }

struct Visit {
    std::vector<u32> seen;
    u32 stopAt = 0;     // measId whose visit returns 60
    bool drop = false;  // delete each record visited
};

u32 visit(ZEP_SLL_Head *list, CoMeasInfo *info, void *arg)
{
    auto *v = static_cast<Visit *>(arg);
    v->seen.push_back(info->measId);
    const bool stop = info->measId == v->stopAt;
    if (v->drop) {
        auto *node = reinterpret_cast<CoMeasNode *>(reinterpret_cast<u8 *>(info) - offsetof(CoMeasNode, info));
        ZEP_STAMEAS_DelCoMeasNode(list, &node->link);
    }
    return stop ? STAMEAS_WALK_STOP : STAMEAS_OK;
}

u32 visitEx(ZEP_SLL_Head *list, CoMeasInfo *info, void *a, void *b, void *c)
{
    EXPECT_EQ(b, c);
    return visit(list, info, a);
}

// Each refusal answers as an absent radio would, touches no state and logs one
// error line under the operation called, or nothing for a null argument.
TEST_F(CoMeasListTest, RefusalsOfRadioChannelAndNullArguments)
{
    struct Case {
        const char *op;
        std::function<u64()> call;  // the answer, as a number: always 0 (null, false)
        std::string line;           // empty: silent
    };
    const CoMeasKey key = keyOf(1, 200);
    ZEP_SLL_Head *list = ZEP_STAMEAS_GetCoMeasStaList(kRadio, kChan);
    ZEP_SLL_Head *empty = ZEP_STAMEAS_GetCoMeasStaList(kRadio, 40);
    const std::string badRadio = "Invalid radioId 2.\r\n", badChannel = "Invalid channel 234.\r\n";
    const std::vector<Case> cases = {
        {"ZEP_STAMEAS_GetCoMeasStaList", [] { return isSet(ZEP_STAMEAS_GetCoMeasStaList(2, kChan)); }, badRadio},
        {"ZEP_STAMEAS_GetCoMeasStaList", [] { return isSet(ZEP_STAMEAS_GetCoMeasStaList(kRadio, 234)); }, badChannel},
        {"ZEP_STAMEAS_IsCoMeasSupport", [] { return u64{ZEP_STAMEAS_IsCoMeasSupport(2, kChan)}; }, badRadio},
        {"ZEP_STAMEAS_IsCoMeasSupport", [] { return u64{ZEP_STAMEAS_IsCoMeasSupport(kRadio, 234)}; }, badChannel},
        {"ZEP_STAMEAS_SetCoMeasSupport", [] { ZEP_STAMEAS_SetCoMeasSupport(2, kChan); return u64{0}; }, badRadio},
        {"ZEP_STAMEAS_SetCoMeasSupport", [] { ZEP_STAMEAS_SetCoMeasSupport(kRadio, 234); return u64{0}; }, badChannel},
        {"ZEP_STAMEAS_IsRadioOnScanState", [] { return u64{ZEP_STAMEAS_IsRadioOnScanState(2)}; }, badRadio},
        {"ZEP_STAMEAS_SetRadioOnScanState", [] { ZEP_STAMEAS_SetRadioOnScanState(2, 1); return u64{0}; }, badRadio},
        {"ZEP_STAMEAS_UpdateScanTriggerMs", [] { ZEP_STAMEAS_UpdateScanTriggerMs(2); return u64{0}; }, badRadio},
        {"ZEP_STAMEAS_IsCanTriggerScan", [] { return u64{ZEP_STAMEAS_IsCanTriggerScan(2)}; }, badRadio},
        {"ZEP_STAMEAS_GetCoMeasRepeatSendCnt", [] { return u64{ZEP_STAMEAS_GetCoMeasRepeatSendCnt(2)}; }, badRadio},
        {"ZEP_STAMEAS_FreeRadioCoMeasList", [] { ZEP_STAMEAS_FreeRadioCoMeasList(2); return u64{0}; }, ""},
        {"ZEP_STAMEAS_AddCoMeasInfo", [&] { return isSet(ZEP_STAMEAS_AddCoMeasInfo(nullptr, &key)); }, ""},
        {"ZEP_STAMEAS_AddCoMeasInfo", [&] { return isSet(ZEP_STAMEAS_AddCoMeasInfo(list, nullptr)); }, ""},
        {"ZEP_STAMEAS_FindCoMeasInfo", [&] { return isSet(ZEP_STAMEAS_FindCoMeasInfo(nullptr, &key)); }, ""},
        {"ZEP_STAMEAS_FindCoMeasInfo", [&] { return isSet(ZEP_STAMEAS_FindCoMeasInfo(list, nullptr)); }, ""},
        {"ZEP_STAMEAS_GetCoMeasNodeNum", [] { return u64{ZEP_STAMEAS_GetCoMeasNodeNum(nullptr)}; }, ""},
        {"ZEP_STAMEAS_ChkAndCutCoMeasList", [] { ZEP_STAMEAS_ChkAndCutCoMeasList(nullptr, 17, 0); return u64{0}; }, ""},
        {"ZEP_STAMEAS_ChkAndCutCoMeasList", [&] { ZEP_STAMEAS_ChkAndCutCoMeasList(empty, 17, 0); return u64{0}; }, ""},
    };
    makeCapable();
    ASSERT_NE(ZEP_STAMEAS_AddCoMeasInfo(list, &key), nullptr);
    host_.clearCaptures();
    const u64 allocs = host_.memory().totalAllocations();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.op + (": " + c.line));
        EXPECT_EQ(c.call(), 0u);
        if (c.line.empty()) {
            EXPECT_TRUE(host_.logs().empty());
        } else {
            ASSERT_EQ(host_.logs().size(), 1u);
            EXPECT_EQ(host_.logs()[0].severity, ZEP_DBG_ERROR);
            EXPECT_EQ(host_.logs()[0].category, STAMEAS_CAT_COMEAS_LIST);
            EXPECT_EQ(host_.logs()[0].text.rfind(c.op + std::string("["), 0), 0u) << host_.logs()[0].text;
            EXPECT_EQ(bodyOf(host_.logs()[0].text), c.line);
        }
        EXPECT_EQ(ZEP_STAMEAS_GetCoMeasNodeNum(list), 1u);
        EXPECT_EQ(host_.memory().totalAllocations(), allocs);
        EXPECT_EQ(ZEP_STAMEAS_IsRadioOnScanState(kRadio), 0u);
        host_.clearCaptures();
    }
    EXPECT_TRUE(ZEP_STAMEAS_IsCoMeasSupport(kRadio, kChan));
    EXPECT_FALSE(ZEP_STAMEAS_IsCoMeasSupport(kRadio, 233));
}

// A walk reads the next element before the callback, so the callback may
// delete its own record; 60 ends the walk; an empty list or no callback
// calls nothing.
TEST_F(CoMeasListTest, WalksStopAtSixtyAndLetTheCallbackDeleteItsRecord)
{
    struct Case {
        const char *name;
        bool extended;
        Visit visit;
        std::vector<u32> seen;
        u32 left;
    };
    const std::vector<Case> cases = {
        {"stops at 60", false, {{}, 201, false}, {200, 201}, 3},
        {"stops at 60, extended", true, {{}, 200, false}, {200}, 3},
        {"deletes as it goes", false, {{}, 0, true}, {200, 201, 202}, 0},
        {"deletes as it goes, extended", true, {{}, 202, true}, {200, 201, 202}, 0},
    };
    ZEP_SLL_Head *list = ZEP_STAMEAS_GetCoMeasStaList(kRadio, kChan);
    for (Case c : cases) {
        SCOPED_TRACE(c.name);
        for (u8 i = 0; i < 3; i++) {
            const CoMeasKey key = keyOf(i, 200 + i);
            if (ZEP_STAMEAS_FindCoMeasInfo(list, &key) == nullptr) {
                ASSERT_NE(ZEP_STAMEAS_AddCoMeasInfo(list, &key), nullptr);
            }
        }
        if (c.extended) {
            ZEP_STAMEAS_TraverseCoMeasListEx(list, visitEx, &c.visit, list, list);
        } else {
            ZEP_STAMEAS_TraverseCoMeasList(list, visit, &c.visit);
        }
        EXPECT_EQ(c.visit.seen, c.seen);
        EXPECT_EQ(ZEP_STAMEAS_GetCoMeasNodeNum(list), c.left);
    }
    Visit none;
    ZEP_STAMEAS_TraverseCoMeasList(list, visit, &none);
    ZEP_STAMEAS_TraverseCoMeasListEx(list, visitEx, &none, nullptr, nullptr);
    const CoMeasKey key = keyOf(1, 200);
    ASSERT_NE(ZEP_STAMEAS_AddCoMeasInfo(list, &key), nullptr);
    ZEP_STAMEAS_TraverseCoMeasList(list, nullptr, &none);
    ZEP_STAMEAS_TraverseCoMeasListEx(list, nullptr, &none, nullptr, nullptr);
    EXPECT_TRUE(none.seen.empty());
}

// A cut for more records than the list holds evicts every lighter record and
// stops at the end of the list.
TEST_F(CoMeasListTest, CutStopsAtTheEndOfTheList)
{
    ZEP_SLL_Head *list = ZEP_STAMEAS_GetCoMeasStaList(kRadio, kChan);
    for (u8 i = 0; i < 2; i++) {
        const CoMeasKey key = keyOf(i, 200 + i);
        CoMeasInfo *info = ZEP_STAMEAS_AddCoMeasInfo(list, &key);
        ASSERT_NE(info, nullptr);
        info->weight = 20;
        info->hostBitmap = 0x2;
    }
    ZEP_STAMEAS_ChkAndCutCoMeasList(list, 17, 0);
    EXPECT_EQ(ZEP_STAMEAS_GetCoMeasNodeNum(list), 0u);
    EXPECT_EQ(list->first, reinterpret_cast<ZEP_SLL_Node *>(list));
}

}  // namespace
}  // namespace zep::test::comeas
