// Singly linked list, circular through its head: the head's first word is the
// "next" of a node standing for the head, so the last element points back at it.
#include <algorithm>
#include <vector>

#include "host_impl.hpp"

namespace {

using namespace zep::host;

// The head's first two words (first, reserved) are read as a node whose next
// is the first element; the same view the application's empty heads use.
ZEP_SLL_Node *headNode(ZEP_SLL_Head *head) { return reinterpret_cast<ZEP_SLL_Node *>(head); }

}  // namespace

u32 ZEP_SLL_InsertInMiddle(ZEP_SLL_Head *head, ZEP_SLL_Node *prev, ZEP_SLL_Node *newNode,
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

u32 ZEP_SLL_Delete(ZEP_SLL_Head *head, ZEP_SLL_Node *element)
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

ZEP_SLL_Node *ZEP_SLL_Find(ZEP_SLL_Head *head, const void *key, ZEP_SLL_KeyCmp cmp)
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

u32 ZEP_SLL_MergeSort(ZEP_SLL_Head *head, ZEP_SLL_DataCmp cmp)
{
    if (head == nullptr || cmp == nullptr) {
        return kErrNullPtr;
    }
    ZEP_SLL_Node *const end = headNode(head);
    std::vector<ZEP_SLL_Node *> nodes;
    nodes.reserve(head->count);
    for (ZEP_SLL_Node *node = head->first; node != end; node = node->next) {
        nodes.push_back(node);
    }
    // A stable merge sort: callers rely on equal keys keeping their order.
    std::stable_sort(nodes.begin(), nodes.end(),
                     [cmp](const ZEP_SLL_Node *a, const ZEP_SLL_Node *b) { return cmp(a->data, b->data) < 0; });
    ZEP_SLL_Node *prev = end;
    for (ZEP_SLL_Node *node : nodes) {
        prev->next = node;
        prev = node;
    }
    prev->next = end;
    head->last = prev;
    return 0;
}

u32 ZEP_SLL_FreeAll(ZEP_SLL_Head *head, ZEP_SLL_FreeFn freeFn)
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
