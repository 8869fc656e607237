// Measurement table: one node per key across radios, the per-radio cap, the
// cut that makes room for a heavier host, host removal and walks that delete.
#include "meas_fixture.hpp"

namespace zep::test {
namespace {

class MeasTblTest : public MeasTest {
protected:
    static StaMeasKey keyOf(u8 last, u32 measId = kLm, u8 pad = 0)
    {
        StaMeasKey key{};
        const Mac mac = macOf(last);
        std::memcpy(key.staMac, mac.data(), mac.size());
        key.keyPad[0] = pad;
        key.measId = measId;
        return key;
    }

    static StaMeasInfo *add(u32 radioId, u8 last, u16 weight = 20, u32 hosts = 0x2)
    {
        const StaMeasKey key = keyOf(last);
        StaMeasInfo *info = ZEP_STAMEAS_AddMeasInfo(radioId, &key);
        if (info != nullptr) {
            info->weight = weight;
            info->hostBitmap = hosts;
            info->autoMeasBitmap = hosts;
        }
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

TEST_F(MeasTblTest, OneNodePerKeyWhateverTheRadioOrPadBytes)
{
    StaMeasInfo *info = add(0, 1);
    const StaMeasKey samePadded = keyOf(1, kLm, 0x55);
    const StaMeasKey otherId = keyOf(1, kTpc);
    EXPECT_EQ(ZEP_STAMEAS_FindMeasInfo(&samePadded), info);
    EXPECT_EQ(ZEP_STAMEAS_FindMeasInfo(&otherId), nullptr);
    EXPECT_EQ(info->radioId, 0u);
    EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(1), 0u);
    EXPECT_EQ(logBodies(STAMEAS_CAT_TABLE),
              std::vector<std::string>{"Radio 0 measId[167] add into table, total 1.\r\n"});
}

TEST_F(MeasTblTest, RefusesThe129thNodeOfARadioOnly)
{
    for (u8 i = 0; i < 128; i++) {
        ASSERT_NE(add(0, i), nullptr);
    }
    host_.clearCaptures();
    EXPECT_EQ(add(0, 200), nullptr);
    EXPECT_EQ(logBodies(STAMEAS_CAT_TABLE),
              std::vector<std::string>{"Radio 0 sta measure list reach max number 128.\r\n"});
    EXPECT_EQ(host_.logs().at(0).sta, macOf(200));
    EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(0), 128u);
    EXPECT_NE(add(1, 200), nullptr);
}

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
            const StaMeasKey key = keyOf(gone);
            EXPECT_EQ(ZEP_STAMEAS_FindMeasInfo(&key), nullptr) << int(gone);
        }
        EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(0), c.filled - c.evicted.size());
        if (c.evicted.empty() && c.filled + c.newNum <= 128) {
            EXPECT_EQ(order(0), inserted);  // not even sorted
        }
    }
}

TEST_F(MeasTblTest, DelHostFromMeasNode)
{
    struct Case {
        const char *name;
        u32 hosts;
        u16 weight;
        u8 host;
        u8 result;
        bool kept;
        u16 weightAfter;
        u32 hostsAfter;
    };
    const Case cases[] = {
        {"host not in the node", 0x1, 100, 1, 0, true, 100, 0x1},
        {"one of two hosts", 0x5, 160, 2, 1, true, 100, 0x1},
        {"the last host", 0x4, 60, 2, 0, false, 0, 0},
        {"weight never below 0", 0x3, 50, 0, 1, true, 0, 0x2},
    };
    u8 last = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        StaMeasInfo *info = add(0, ++last, c.weight, c.hosts);
        EXPECT_EQ(ZEP_STAMEAS_DelHostFromMeasNode(nodeOf(info), c.host), c.result);
        const StaMeasKey key = keyOf(last);
        ASSERT_EQ(ZEP_STAMEAS_FindMeasInfo(&key) != nullptr, c.kept);
        if (c.kept) {
            EXPECT_EQ(info->weight, c.weightAfter);
            EXPECT_EQ(info->hostBitmap, c.hostsAfter);
            EXPECT_EQ(info->autoMeasBitmap, c.hostsAfter);
        }
    }
}

TEST_F(MeasTblTest, WalksMayDeleteTheNodeTheyVisit)
{
    for (u8 i = 0; i < 5; i++) {
        add(0, i);
    }
    u32 visits = 0;
    auto deleteAll = [](StaMeasInfo *info, void *count, void *) -> u32 {
        ++*static_cast<u32 *>(count);
        ZEP_STAMEAS_DelMeasNode(nodeOf(info));
        return 0;
    };
    ZEP_STAMEAS_WalkMeasTbl2(0, deleteAll, &visits, nullptr);
    EXPECT_EQ(visits, 5u);
    EXPECT_EQ(ZEP_STAMEAS_GetMeasTblSize(0), 0u);

    add(0, 1);
    add(0, 2);
    auto stopAtOnce = [](StaMeasInfo *, void *count, void *, void *) -> u32 {
        ++*static_cast<u32 *>(count);
        return STAMEAS_WALK_STOP;
    };
    visits = 0;
    ZEP_STAMEAS_WalkMeasTbl3(0, stopAtOnce, &visits, nullptr, nullptr);
    EXPECT_EQ(visits, 1u);
    host_.clearCaptures();
    ZEP_STAMEAS_WalkMeasTbl3(7, stopAtOnce, &visits, nullptr, nullptr);
    ZEP_STAMEAS_WalkMeasTbl(0, nullptr, nullptr);
    EXPECT_EQ(visits, 1u);
    EXPECT_TRUE(host_.logs().empty());
}

}  // namespace
}  // namespace zep::test
