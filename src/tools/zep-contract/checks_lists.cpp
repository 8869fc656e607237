// zep-contract: the singly linked list, circular through its head: counts
// after insert and delete, links through the head, find, a stable sort, free.
#include <array>
#include <vector>

#include "check.hpp"
#include "zep_framework.h"

namespace zep::contract {
namespace {

struct Item {
    ZEP_SLL_Node node;  // first, as the module's records have it
    u32 key = 0;
    u32 order = 0;  // position before a sort, to see stability
};

// A list of items built by appending, as the module builds its lists.
struct TestList {
    ZEP_SLL_Head head{};
    std::vector<Item> items;

    // n items, the first `appended` of them appended in order.
    TestList(std::size_t n, std::size_t appended) : items(n)
    {
        head.first = ZEP_SLL_HEAD_AS_NODE(&head);
        head.last = ZEP_SLL_HEAD_AS_NODE(&head);
        for (std::size_t i = 0; i < n; ++i) {
            items[i].node.data = &items[i];
            items[i].order = static_cast<u32>(i);
            if (i < appended) {
                append(items[i]);
            }
        }
    }
    ZEP_SLL_Node *end() { return ZEP_SLL_HEAD_AS_NODE(&head); }
    u32 append(Item &item) { return ZEP_SLL_InsertInMiddle(&head, head.last, &item.node, end()); }
    // The items from first to the head, at most one more than it should hold.
    std::vector<const Item *> walk()
    {
        std::vector<const Item *> seen;
        for (ZEP_SLL_Node *n = head.first; n != end() && seen.size() <= items.size(); n = n->next) {
            seen.push_back(static_cast<const Item *>(n->data));
        }
        return seen;
    }
};

// The list's shape against what it should hold: walk, count, last, circle.
void expectShape(Verdict &v, TestList &list, const std::vector<const Item *> &want, const char *after)
{
    const auto seen = list.walk();
    v.expect(seen == want, "after %s: the walk finds %zu element(s) (want %zu) or another order",
             after, seen.size(), want.size());
    v.expect(list.head.count == want.size(), "after %s: count %u, %zu element(s) linked", after,
             list.head.count, want.size());
    const ZEP_SLL_Node *last = want.empty() ? list.end() : &want.back()->node;
    v.expect(list.head.last == last, "after %s: last is not the last element", after);
    v.expect(list.head.last->next == list.end(), "after %s: the last element does not link to the head",
             after);
}

void insertLinks(Verdict &v)
{
    TestList list(4, 0);
    auto &it = list.items;
    bool ok = list.append(it[1]) == 0 && list.append(it[3]) == 0;
    expectShape(v, list, {&it[1], &it[3]}, "two appends");
    ok = ok && ZEP_SLL_InsertInMiddle(&list.head, list.end(), &it[0].node, &it[1].node) == 0;
    ok = ok && ZEP_SLL_InsertInMiddle(&list.head, &it[1].node, &it[2].node, &it[3].node) == 0;
    v.expect(ok, "an insert between adjacent elements was refused");
    expectShape(v, list, {&it[0], &it[1], &it[2], &it[3]}, "inserts at the front and the middle");
}

void insertRefusesGap(Verdict &v)
{
    TestList list(4, 3);
    auto &it = list.items;
    const u32 status = ZEP_SLL_InsertInMiddle(&list.head, &it[0].node, &it[3].node, &it[2].node);
    v.expect(status != 0, "an insert between elements that are not adjacent was accepted");
    expectShape(v, list, {&it[0], &it[1], &it[2]}, "the refused insert");
}

void deleteLowersCount(Verdict &v)
{
    TestList list(5, 5);
    auto &it = list.items;
    const u32 middle = ZEP_SLL_Delete(&list.head, &it[2].node);
    expectShape(v, list, {&it[0], &it[1], &it[3], &it[4]}, "deleting a middle element");
    const u32 last = ZEP_SLL_Delete(&list.head, &it[4].node);
    expectShape(v, list, {&it[0], &it[1], &it[3]}, "deleting the last element");
    const u32 first = ZEP_SLL_Delete(&list.head, &it[0].node);
    expectShape(v, list, {&it[1], &it[3]}, "deleting the first element");
    v.expect(middle == 0 && last == 0 && first == 0, "a delete returned %u, %u, %u", middle, last, first);
    const u32 absent = ZEP_SLL_Delete(&list.head, &it[2].node);
    v.expect(absent != 0, "deleting an element no longer in the list was accepted");
    expectShape(v, list, {&it[1], &it[3]}, "deleting an absent element");
}

u32 keyDiffers(const void *key, const ZEP_SLL_Node *element)
{
    return static_cast<const Item *>(element->data)->key != *static_cast<const u32 *>(key) ? 1 : 0;
}

void findFirstMatch(Verdict &v)
{
    TestList list(6, 6);
    const u32 keys[] = {4, 7, 9, 7, 9, 4};
    for (std::size_t i = 0; i < list.items.size(); ++i) {
        list.items[i].key = keys[i];
    }
    const u32 wanted[] = {7, 9, 4};
    const ZEP_SLL_Node *firsts[] = {&list.items[1].node, &list.items[2].node, &list.items[0].node};
    for (std::size_t i = 0; i < 3; ++i) {
        const ZEP_SLL_Node *found = ZEP_SLL_Find(&list.head, &wanted[i], keyDiffers);
        v.expect(found == firsts[i], "key %u: not its first element in list order", wanted[i]);
    }
    const u32 missing = 5;
    v.expect(ZEP_SLL_Find(&list.head, &missing, keyDiffers) == nullptr, "an absent key was found");
}

s32 byKey(const void *a, const void *b)
{
    const u32 ka = static_cast<const Item *>(a)->key;
    const u32 kb = static_cast<const Item *>(b)->key;
    return ka < kb ? -1 : ka > kb ? 1 : 0;
}

// Many equal keys in an odd count, as the module's lists sorted by weight have.
void stableSort(Verdict &v)
{
    TestList list(41, 41);
    for (Item &item : list.items) {
        item.key = (item.order * 7) % 5;
    }
    const u32 status = ZEP_SLL_MergeSort(&list.head, byKey);
    const auto seen = list.walk();
    v.expect(status == 0, "ZEP_SLL_MergeSort returned %u", status);
    std::size_t misplaced = 0;
    for (std::size_t i = 1; i < seen.size(); ++i) {
        const bool inOrder = seen[i - 1]->key < seen[i]->key ||
                             (seen[i - 1]->key == seen[i]->key && seen[i - 1]->order < seen[i]->order);
        misplaced += inOrder ? 0 : 1;
    }
    v.expect(misplaced == 0, "%zu element(s) out of key order or before an equal one that preceded them",
             misplaced);
    if (v.expect(seen.size() == list.items.size(), "the sorted list holds %zu element(s) of %zu",
                 seen.size(), list.items.size())) {
        expectShape(v, list, seen, "the sort");
    }
}

void freeAllEmpties(Verdict &v)
{
    TestList list(3, 3);
    g_freed.clear();
    const u32 status = ZEP_SLL_FreeAll(&list.head, recordFree);
    const std::vector<const void *> want = {&list.items[0].node, &list.items[1].node, &list.items[2].node};
    v.expect(status == 0, "ZEP_SLL_FreeAll returned %u", status);
    v.expect(g_freed == want, "the free function saw %zu element(s), want each of 3 once", g_freed.size());
    expectShape(v, list, {}, "freeing all");
}

}  // namespace

const std::vector<Check> kListChecks = {
    {"lists.insert_links",
     "ZEP_SLL_InsertInMiddle links front, middle and end; count + 1, circular",
     {"ZEP_SLL_InsertInMiddle"}, insertLinks},
    {"lists.insert_refuses_gap", "ZEP_SLL_InsertInMiddle refuses elements that are not adjacent",
     {"ZEP_SLL_InsertInMiddle"}, insertRefusesGap},
    {"lists.delete_lowers_count", "ZEP_SLL_Delete unlinks the element and lowers the list's count",
     {"ZEP_SLL_Delete"}, deleteLowersCount},
    {"lists.find_first_match", "ZEP_SLL_Find returns the first matching element in list order",
     {"ZEP_SLL_Find"}, findFirstMatch},
    {"lists.stable_sort", "ZEP_SLL_MergeSort sorts ascending and keeps equal elements in order",
     {"ZEP_SLL_MergeSort"}, stableSort},
    {"lists.free_all", "ZEP_SLL_FreeAll frees each element once and leaves the head empty",
     {"ZEP_SLL_FreeAll"}, freeAllEmpties},
};

}  // namespace zep::contract
