// Intrusive hash table: the caller's node starts with a ZEP_HashLink, and the
// table only chains those links per bucket. It never allocates for a node.
#include "host_impl.hpp"

namespace {

using namespace zep::host;

// 0 for a table the host made and has not deleted yet; a deleted table is
// refused rather than touched.
u32 checkTable(const ZEP_HashTable *tbl)
{
    if (tbl == nullptr) {
        return kErrNullPtr;
    }
    return detail::state().hashTables.contains(tbl) ? 0 : kErrNotFound;
}

}  // namespace

ZEP_HashTable *emulated::ZEP_HASH_CreateNew(u32 bucketNum)
{
    if (detail::injectedFault(detail::Op::ZEP_HASH_CreateNew) || bucketNum == 0) {
        return nullptr;
    }
    auto table = std::make_unique<ZEP_HashTable>();
    table->heads.assign(bucketNum, nullptr);
    ZEP_HashTable *handle = table.get();
    detail::state().hashTables.emplace(handle, std::move(table));
    return handle;
}

u32 emulated::ZEP_HASH_AddNode(ZEP_HashTable *tbl, void *node, u32 bucket, u32 /*flags*/)
{
    if (auto fault = detail::injectedFault(detail::Op::ZEP_HASH_AddNode)) {
        return *fault;
    }
    if (const u32 status = checkTable(tbl); status != 0) {
        return status;
    }
    if (node == nullptr) {
        return kErrNullPtr;
    }
    if (bucket >= tbl->heads.size()) {
        return ZEP_ERR;
    }
    auto *link = static_cast<ZEP_HashLink *>(node);
    // Linking a node twice would tie its chain into a loop.
    if (!tbl->bucketOf.try_emplace(link, bucket).second) {
        return kErrDuplicate;
    }
    // New nodes go to the front of the chain; link->data stays as the caller set it.
    link->prev = nullptr;
    link->next = tbl->heads[bucket];
    if (link->next != nullptr) {
        link->next->prev = link;
    }
    tbl->heads[bucket] = link;
    return 0;
}

u32 emulated::ZEP_HASH_DeleteNode(ZEP_HashTable *tbl, void *node, u32 bucket)
{
    if (const u32 status = checkTable(tbl); status != 0) {
        return status;
    }
    if (node == nullptr) {
        return kErrNullPtr;
    }
    auto *link = static_cast<ZEP_HashLink *>(node);
    const auto where = tbl->bucketOf.find(link);
    if (where == tbl->bucketOf.end() || where->second != bucket) {
        return kErrNotFound;
    }
    tbl->bucketOf.erase(where);
    if (link->prev != nullptr) {
        link->prev->next = link->next;
    } else {
        tbl->heads[bucket] = link->next;
    }
    if (link->next != nullptr) {
        link->next->prev = link->prev;
    }
    link->next = nullptr;
    link->prev = nullptr;
    return 0;
}

void *emulated::ZEP_HASH_FindNode(ZEP_HashTable *tbl, u32 bucket, const void *key, ZEP_HashKeyCmp cmp)
{
    if (checkTable(tbl) != 0 || cmp == nullptr || bucket >= tbl->heads.size()) {
        return nullptr;
    }
    for (ZEP_HashLink *link = tbl->heads[bucket]; link != nullptr; link = link->next) {
        if (cmp(key, link) == 0) {
            return link;
        }
    }
    return nullptr;
}

u32 emulated::ZEP_HASH_DeleteTable(ZEP_HashTable *tbl, ZEP_HashFreeFn freeFn)
{
    if (const u32 status = checkTable(tbl); status != 0) {
        return status;
    }
    for (ZEP_HashLink *head : tbl->heads) {
        for (ZEP_HashLink *link = head; link != nullptr;) {
            ZEP_HashLink *next = link->next;  // the free function may destroy link
            if (freeFn != nullptr) {
                freeFn(link);
            }
            link = next;
        }
    }
    detail::state().hashTables.erase(tbl);
    return 0;
}
