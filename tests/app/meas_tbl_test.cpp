// Measurement table: the cut that makes room for a heavier host, and the
// operations refused for a radio that has no table.
#include <functional>

#include "meas_fixture.hpp"

namespace zep::test {
namespace {

class MeasTblTest : public MeasTest {
protected:
    static StaMeasInfo *add(u32 radioId, u8 last, u16 weight = 20, u32 hosts = 0x2)
    {
        StaMeasKey key = keyOf<StaMeasKey>(macOf(last), kLm);
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

// A radio id beyond the device's radios, or any radio once the table is freed,
// has no table: each operation refuses it under its own name, and a walk visits
// nothing without a word.
TEST_F(MeasTblTest, OperationsOnARadioWithoutATableAreRefused)
{
    struct Case {
        const char *op;  // "": quiet
        std::function<u32(u32)> call;
    };
    StaMeasKey key = keyOf<StaMeasKey>(macOf(1), kLm);
    u32 visits = 0;
    const auto visit = [](StaMeasInfo *, void *n) -> u32 { return ++*static_cast<u32 *>(n), 0u; };
    const auto visit2 = [](StaMeasInfo *, void *n, void *) -> u32 { return ++*static_cast<u32 *>(n), 0u; };
    const auto visit3 = [](StaMeasInfo *, void *n, void *, void *) -> u32 { return ++*static_cast<u32 *>(n), 0u; };
    const std::vector<Case> cases = {
        {"ZEP_STAMEAS_GetMeasTblSize", [](u32 r) { return ZEP_STAMEAS_GetMeasTblSize(r); }},
        {"ZEP_STAMEAS_AddMeasInfo", [&](u32 r) { return ZEP_STAMEAS_AddMeasInfo(r, &key) == nullptr ? 0u : 1u; }},
        {"ZEP_STAMEAS_ChkAndCutTblForNewMeas", [](u32 r) { return ZEP_STAMEAS_ChkAndCutTblForNewMeas(r, 200, 100), 0u; }},
        {"ZEP_STAMEAS_SortMeasTbl", [](u32 r) { return ZEP_STAMEAS_SortMeasTbl(r), 0u; }},
        {"", [&](u32 r) { return ZEP_STAMEAS_WalkMeasTbl(r, visit, &visits), visits; }},
        {"", [&](u32 r) { return ZEP_STAMEAS_WalkMeasTbl2(r, visit2, &visits, nullptr), visits; }},
        {"", [&](u32 r) { return ZEP_STAMEAS_WalkMeasTbl3(r, visit3, &visits, nullptr, nullptr), visits; }},
    };
    add(0, 1);
    add(1, 2);
    for (const u32 radio : {2u, 0u}) {
        if (radio == 0) {
            ZEP_STAMEAS_MeasTblDeInit();
        }
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << (*c.op != '\0' ? c.op : "walk") << " on radio " << radio);
            host_.clearCaptures();
            EXPECT_EQ(c.call(radio), 0u);
            const std::string line = std::string(c.op) + "[]: Invalid radioId " + std::to_string(radio) + ".\r\n";
            expectOnlyError(*c.op != '\0' ? line : "");
        }
    }
    EXPECT_EQ(ZEP_STAMEAS_FindMeasInfo(&key), nullptr);
    ASSERT_EQ(ZEP_STAMEAS_MeasTblInit(), 0u);
}

// Walk callbacks that note the station, delete the element they are given and
// end the walk at the second one.
using Seen = std::vector<u8>;

u32 takeNode(StaMeasInfo *info, void *seen)
{
    auto &macs = *static_cast<Seen *>(seen);
    macs.push_back(info->staMac[5]);
    ZEP_STAMEAS_DelStaAutoMeasNodes(info->staMac);  // the station's only node
    return macs.size() == 2 ? STAMEAS_WALK_STOP : 0u;
}
u32 takeNode2(StaMeasInfo *info, void *seen, void *) { return takeNode(info, seen); }
u32 takeNode3(StaMeasInfo *info, void *seen, void *, void *) { return takeNode(info, seen); }

u32 takeRecord(ZEP_SLL_Head *list, CoMeasInfo *info, void *seen)
{
    auto &macs = *static_cast<Seen *>(seen);
    macs.push_back(info->staMac[5]);
    ZEP_SLL_Node *element = list->first;
    while (element->data != info) element = element->next;
    ZEP_STAMEAS_DelCoMeasNode(list, element);
    return macs.size() == 2 ? STAMEAS_WALK_STOP : 0u;
}
u32 takeRecord3(ZEP_SLL_Head *list, CoMeasInfo *info, void *seen, void *, void *) { return takeRecord(list, info, seen); }

// Every walk, of a radio's table or of a co-measurement list, reads the next
// element before it calls back, so the callback may delete the element it is
// given; 60 ends the walk, and without a callback or a list nothing is visited.
TEST_F(MeasTblTest, WalksLetTheCallbackDeleteItsElementAndStopAtSixty)
{
    ZEP_SLL_Head *list = ZEP_STAMEAS_GetCoMeasStaList(0, 36);
    struct Walker {
        const char *name;
        bool onList;
        std::function<void(bool withCallback, Seen &)> walk;
    };
    const std::vector<Walker> walkers = {
        {"table walk", false, [](bool fn, Seen &s) { ZEP_STAMEAS_WalkMeasTbl(0, fn ? takeNode : nullptr, &s); }},
        {"table walk of two", false,
         [](bool fn, Seen &s) { ZEP_STAMEAS_WalkMeasTbl2(0, fn ? takeNode2 : nullptr, &s, nullptr); }},
        {"table walk of three", false,
         [](bool fn, Seen &s) { ZEP_STAMEAS_WalkMeasTbl3(0, fn ? takeNode3 : nullptr, &s, nullptr, nullptr); }},
        {"list walk", true,
         [list](bool fn, Seen &s) {
             ZEP_STAMEAS_TraverseCoMeasList(list, fn ? takeRecord : nullptr, &s);
             ZEP_STAMEAS_TraverseCoMeasList(nullptr, takeRecord, &s);
         }},
        {"list walk of three", true,
         [list](bool fn, Seen &s) {
             ZEP_STAMEAS_TraverseCoMeasListEx(list, fn ? takeRecord3 : nullptr, &s, nullptr, nullptr);
             ZEP_STAMEAS_TraverseCoMeasListEx(nullptr, takeRecord3, &s, nullptr, nullptr);
         }},
    };
    for (const Walker &w : walkers) {
        SCOPED_TRACE(w.name);
        for (u8 last = 1; last <= 3; last++) {
            const CoMeasKey key{{0x00, 0x11, 0x22, 0x33, 0x44, last}, {}, 200};
            ASSERT_TRUE(w.onList ? ZEP_STAMEAS_AddCoMeasInfo(list, &key) != nullptr : add(0, last) != nullptr);
        }
        const auto left = [&] { return w.onList ? ZEP_STAMEAS_GetCoMeasNodeNum(list) : ZEP_STAMEAS_GetMeasTblSize(0); };
        Seen seen;
        w.walk(false, seen);
        EXPECT_TRUE(seen.empty());
        EXPECT_EQ(left(), 3u);
        w.walk(true, seen);
        EXPECT_EQ(seen, (Seen{1, 2}));
        EXPECT_EQ(left(), 1u);
        seen.clear();
        w.walk(true, seen);  // the last one, deleted, and the walk ends by itself
        EXPECT_EQ(seen, Seen{3});
        EXPECT_EQ(left(), 0u);
    }
}

}  // namespace
}  // namespace zep::test
