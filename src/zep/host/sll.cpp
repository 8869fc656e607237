// Singly linked list, circular through its head: the head's first word is the
// "next" of a node standing for the head, so the last element points back at it.
#include <cstddef>

#include "host_impl.hpp"

namespace {

using namespace zep::host;

// The head's first two words (first, reserved) are read as a node whose next
// is the first element; the same view the application's empty heads use.
ZEP_SLL_Node *headNode(ZEP_SLL_Head *head) { return reinterpret_cast<ZEP_SLL_Node *>(head); }

// Merges two sorted chains that end in null; on equal keys a's node goes
// first, which keeps the sort stable.
ZEP_SLL_Node *mergeChains(ZEP_SLL_Node *a, ZEP_SLL_Node *b, ZEP_SLL_DataCmp cmp)
{
    ZEP_SLL_Node front{};
    ZEP_SLL_Node *tail = &front;
    while (a != nullptr && b != nullptr) {
        ZEP_SLL_Node *&taken = cmp(b->data, a->data) < 0 ? b : a;
        tail->next = taken;
        tail = taken;
        taken = taken->next;
    }
    tail->next = a != nullptr ? a : b;
    return front.next;
}

// Sorts the count nodes chained from first, relinking them in place (no
// allocation: the list may be sorted on every timer expiry). The result ends in null.
ZEP_SLL_Node *sortChain(ZEP_SLL_Node *first, std::size_t count, ZEP_SLL_DataCmp cmp)
{
    if (count <= 1) {
        if (first != nullptr) {
            first->next = nullptr;
        }
        return count == 1 ? first : nullptr;
    }
    // Found before either half is relinked; sorting the first half touches
    // only its own nodes.
    ZEP_SLL_Node *second = first;
    for (std::size_t i = 0; i < count / 2; ++i) {
        second = second->next;
    }
    ZEP_SLL_Node *sortedFirst = sortChain(first, count / 2, cmp);
    ZEP_SLL_Node *sortedSecond = sortChain(second, count - count / 2, cmp);
    return mergeChains(sortedFirst, sortedSecond, cmp);
}

}  // namespace

u32 emulated::ZEP_SLL_InsertInMiddle(ZEP_SLL_Head *head, ZEP_SLL_Node *prev, ZEP_SLL_Node *newNode,
                           ZEP_SLL_Node *next)
{
    if (head == nullptr || prev == nullptr || newNode == nullptr || next == nullptr) {
        return kErrNullPtr;
    }
    // prev and next must be neighbours, or the link would drop elements.
    if (prev->next != next) {
        return kErrNotFound;
    }
    newNode->next = next;
    prev->next = newNode;
    if (next == headNode(head)) {
        head->last = newNode;
    }
    ++head->count;
    return 0;
}

u32 emulated::ZEP_SLL_Delete(ZEP_SLL_Head *head, ZEP_SLL_Node *element)
{
    if (head == nullptr || element == nullptr) {
        return kErrNullPtr;
    }
    ZEP_SLL_Node *const end = headNode(head);
    for (ZEP_SLL_Node *prev = end; prev->next != end; prev = prev->next) {
        if (prev->next == element) {
            prev->next = element->next;
            if (head->last == element) {
                head->last = prev;
            }
            --head->count;
            return 0;
        }
    }
    return kErrNotFound;
}

ZEP_SLL_Node *emulated::ZEP_SLL_Find(ZEP_SLL_Head *head, const void *key, ZEP_SLL_KeyCmp cmp)
{
    if (head == nullptr || cmp == nullptr) {
        return nullptr;
    }
    ZEP_SLL_Node *const end = headNode(head);
    for (ZEP_SLL_Node *node = head->first; node != end; node = node->next) {
        if (cmp(key, node) == 0) {
            return node;
        }
    }
    return nullptr;
}

u32 emulated::ZEP_SLL_MergeSort(ZEP_SLL_Head *head, ZEP_SLL_DataCmp cmp)
{
    if (head == nullptr || cmp == nullptr) {
        return kErrNullPtr;
    }
    ZEP_SLL_Node *const end = headNode(head);
    std::size_t count = 0;
    for (ZEP_SLL_Node *node = head->first; node != end; node = node->next) {
        ++count;
    }
    ZEP_SLL_Node *prev = end;
    for (ZEP_SLL_Node *node = sortChain(head->first, count, cmp); node != nullptr; node = node->next) {
        prev->next = node;
        prev = node;
    }
    prev->next = end;
    head->last = prev;
    return 0;
}

u32 emulated::ZEP_SLL_FreeAll(ZEP_SLL_Head *head, ZEP_SLL_FreeFn freeFn)
{
    if (head == nullptr) {
        return kErrNullPtr;
    }
    ZEP_SLL_Node *const end = headNode(head);
    for (ZEP_SLL_Node *node = head->first; node != end;) {
        ZEP_SLL_Node *next = node->next;  // freeFn may destroy node
        if (freeFn != nullptr) {
            freeFn(node);
        }
        node = next;
    }
    head->first = end;
    head->last = end;
    head->count = 0;
    return 0;
}
