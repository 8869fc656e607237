// Measurement table: the cut that makes room for a heavier host.
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

}  // namespace
}  // namespace zep::test
