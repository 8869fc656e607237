// Measurement table: the cut that makes room for a heavier host, refusals of
// radios it does not have, and the walks.
#include <functional>
#include <regex>

#include "meas_fixture.hpp"

namespace zep::test {
namespace {

class MeasTblTest : public MeasTest {
protected:
    static StaMeasInfo *add(u32 radioId, u8 last, u16 weight = 20, u32 hosts = 0x2)
    {
        StaMeasKey key{};
        std::memcpy(key.staMac, macOf(last).data(), 6);
        key.measId = kLm;
        StaMeasInfo *info = ZEP_STAMEAS_AddMeasInfo(radioId, &key);
        info->weight = weight;
        info->hostBitmap = hosts;
        info->autoMeasBitmap = hosts;
        return info;
    }

    // Last MAC byte of every node of the radio, in list order.
    static std::vector<u8> order(u32 radioId)
    {
        std::vector<u8> out;
        ZEP_STAMEAS_WalkMeasTbl(
            radioId,
            [](StaMeasInfo *info, void *a) -> u32 {
                static_cast<std::vector<u8> *>(a)->push_back(info->staMac[5]);
                return 0;
            },
            &out);
        return out;
    }
};

TEST_F(MeasTblTest, CutEvictsOnlyNodesLighterThanTheAskingHost)
{
    struct Case {
        const char *name;
        u32 filled;                               // nodes 0..filled-1 weigh 100 ...
        std::vector<std::pair<u8, u16>> lighter;  // ... except these
        u8 newNum;
        u16 newWeight;
        std::vector<u8> evicted;
    };
    const std::vector<Case> cases = {
        {"one lighter node goes", 128, {{5, 20}}, 1, 60, {5}},
        {"an equal node stays", 128, {{5, 20}}, 1, 20, {}},
        {"the front one of two equals goes", 128, {{9, 20}, {3, 20}}, 1, 60, {3}},
        {"stops at the first node not lighter", 128, {{3, 20}}, 3, 60, {3}},
        {"evicts as many as asked", 128, {{3, 20}, {4, 10}, {7, 50}}, 2, 60, {4, 3}},
        {"room enough: untouched", 127, {{3, 20}}, 1, 60, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ZEP_STAMEAS_MeasTblDeInit();
        ASSERT_EQ(ZEP_STAMEAS_MeasTblInit(), 0u);
        std::vector<u8> inserted;
        for (u32 i = 0; i < c.filled; i++) {
            u16 weight = 100;
            for (const auto &[at, w] : c.lighter) {
                weight = at == i ? w : weight;
            }
            add(0, static_cast<u8>(i), weight);
            inserted.push_back(static_cast<u8>(i));
        }
        ZEP_STAMEAS_ChkAndCutTblForNewMeas(0, c.newNum, c.newWeight);
        for (u8 gone : c.evicted) {
            EXPECT_EQ(node(macOf(gone), kLm), nullptr) << int(gone);
        }
        EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(0), c.filled - c.evicted.size());
        if (c.evicted.empty() && c.filled + c.newNum <= 128) {
            EXPECT_EQ(order(0), inserted);  // not even sorted
        }
    }
}

// One error line names the operation and the radio; nothing changes. Without
// a table, lookups find nothing and the station-leave cleanup has nothing to do.
TEST_F(MeasTblTest, RefusalsOfAnInvalidRadioOrAMissingTable)
{
    struct Case {
        const char *op;
        std::function<u64()> call;
        bool logs;
    };
    StaMeasKey key{};
    std::memcpy(key.staMac, macOf(1).data(), 6);
    key.measId = kLm;
    auto walked = [](StaMeasInfo *, void *) -> u32 { return 0; };
    const std::vector<Case> cases = {
        {"ZEP_STAMEAS_GetMeasTblSize", [] { return u64{ZEP_STAMEAS_GetMeasTblSize(2)}; }, true},
        {"ZEP_STAMEAS_AddMeasInfo", [&] { return u64{ZEP_STAMEAS_AddMeasInfo(2, &key) != nullptr}; }, true},
        {"ZEP_STAMEAS_ChkAndCutTblForNewMeas", [] { ZEP_STAMEAS_ChkAndCutTblForNewMeas(2, 1, 100); return u64{0}; }, true},
        {"ZEP_STAMEAS_SortMeasTbl", [] { ZEP_STAMEAS_SortMeasTbl(2); return u64{0}; }, true},
        {"ZEP_STAMEAS_WalkMeasTbl", [&] { ZEP_STAMEAS_WalkMeasTbl(2, walked, nullptr); return u64{0}; }, false},
        {"ZEP_STAMEAS_WalkMeasTbl", [] { ZEP_STAMEAS_WalkMeasTbl(0, nullptr, nullptr); return u64{0}; }, false},
        {"ZEP_STAMEAS_WalkMeasTbl2", [] { ZEP_STAMEAS_WalkMeasTbl2(0, nullptr, nullptr, nullptr); return u64{0}; }, false},
        {"ZEP_STAMEAS_WalkMeasTbl3", [] { ZEP_STAMEAS_WalkMeasTbl3(0, nullptr, nullptr, nullptr, nullptr); return u64{0}; }, false},
    };
    add(0, 1);
    host_.clearCaptures();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.op);
        EXPECT_EQ(c.call(), 0u);
        if (c.logs) {
            ASSERT_EQ(logTexts().size(), 1u);
            EXPECT_TRUE(std::regex_match(logTexts()[0], std::regex(std::string(c.op) + R"(\[\d+\]: Invalid radioId 2\.\r\n)")))
                << logTexts()[0];
            EXPECT_EQ(host_.logs()[0].severity, ZEP_DBG_ERROR);
        } else {
            EXPECT_TRUE(host_.logs().empty());
        }
        EXPECT_EQ(order(0), std::vector<u8>{1});
        host_.clearCaptures();
    }
    ZEP_STAMEAS_MeasTblDeInit();
    EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(0), 0u);
    EXPECT_EQ(bodyOf(logTexts().at(0)), "Invalid radioId 0.\r\n");
    EXPECT_EQ(ZEP_STAMEAS_FindMeasInfo(&key), nullptr);
    ZEP_STAMEAS_DelStaAutoMeasNodes(key.staMac);
}

// A walk reads the successor before calling back, so the callback may delete
// the node it was given; 60 ends the walk. All three walks, one shape.
TEST_F(MeasTblTest, WalksStopAtSixtyAndLetTheCallbackDeleteItsNode)
{
    struct Visit {
        std::vector<u8> seen;
        u8 stopAt = 0xFF;   // last MAC byte whose visit returns 60
        bool drop = false;  // delete each node visited
    };
    static const auto onVisit = [](StaMeasInfo *info, void *arg) -> u32 {
        auto *v = static_cast<Visit *>(arg);
        v->seen.push_back(info->staMac[5]);
        const bool stop = info->staMac[5] == v->stopAt;
        if (v->drop) {
            ZEP_STAMEAS_DelMeasNode(
                reinterpret_cast<StaMeasNode *>(reinterpret_cast<u8 *>(info) - offsetof(StaMeasNode, info)));
        }
        return stop ? STAMEAS_WALK_STOP : STAMEAS_OK;
    };
    const std::vector<std::function<void(Visit *)>> walks = {
        [](Visit *v) { ZEP_STAMEAS_WalkMeasTbl(0, onVisit, v); },
        [](Visit *v) {
            ZEP_STAMEAS_WalkMeasTbl2(
                0, [](StaMeasInfo *i, void *a, void *b) { EXPECT_EQ(b, a); return onVisit(i, a); }, v, v);
        },
        [](Visit *v) {
            ZEP_STAMEAS_WalkMeasTbl3(
                0,
                [](StaMeasInfo *i, void *a, void *b, void *c) {
                    EXPECT_TRUE(b == a && c == a);
                    return onVisit(i, a);
                },
                v, v, v);
        },
    };
    for (std::size_t w = 0; w < walks.size(); w++) {
        SCOPED_TRACE(w);
        for (u8 i = 0; i < 3; i++) add(0, i);
        Visit stopping{{}, 1, false};
        walks[w](&stopping);
        EXPECT_EQ(stopping.seen, (std::vector<u8>{0, 1}));
        Visit dropping{{}, 0xFF, true};
        walks[w](&dropping);
        EXPECT_EQ(dropping.seen, (std::vector<u8>{0, 1, 2}));
        EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(0), 0u);
    }
}

}  // namespace
}  // namespace zep::test
