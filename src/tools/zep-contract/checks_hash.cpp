// zep-contract: the intrusive hash table: find after add and delete, and the
// free function at table deletion. The module never links two nodes of one
// key, so the order of a chain is the framework's own affair and not checked.
#include <algorithm>
#include <vector>

#include "check.hpp"
#include "zep_framework.h"

namespace zep::contract {
namespace {

struct Entry {
    ZEP_HashLink link;  // first, as the module's nodes have it
    u32 key = 0;
};

constexpr u32 kBuckets = 4;
u32 bucketOf(u32 key) { return key % kBuckets; }

u32 keyDiffers(const void *key, const void *node)
{
    return static_cast<const Entry *>(node)->key != *static_cast<const u32 *>(key) ? 1 : 0;
}

// Twelve entries, three to a bucket, so a chain has a front, a middle and an end.
struct TestTable {
    ZEP_HashTable *table = ZEP_HASH_CreateNew(kBuckets);
    std::vector<Entry> entries = std::vector<Entry>(12);
    u32 added = 0;  // adds that returned 0

    TestTable()
    {
        for (u32 i = 0; i < entries.size() && table != nullptr; ++i) {
            entries[i].key = 100 + i;
            entries[i].link.data = &entries[i];
            added += ZEP_HASH_AddNode(table, &entries[i], bucketOf(entries[i].key), 0) == 0 ? 1 : 0;
        }
    }
    const void *find(u32 key) { return ZEP_HASH_FindNode(table, bucketOf(key), &key, keyDiffers); }
};

void findAfterAddDelete(Verdict &v)
{
    TestTable t;
    if (!v.expect(t.table != nullptr, "ZEP_HASH_CreateNew(%u) gave no table", kBuckets)) {
        return;
    }
    v.expect(t.added == t.entries.size(), "%u of %zu adds succeeded", t.added, t.entries.size());
    for (const Entry &e : t.entries) {
        v.expect(t.find(e.key) == &e, "key %u: its node was not found", e.key);
    }
    v.expect(t.find(999) == nullptr, "an absent key was found");
    // The front, middle and end of bucket 0's chain, in turn.
    for (u32 key : {100u, 108u, 104u}) {
        const u32 status = ZEP_HASH_DeleteNode(t.table, &t.entries[key - 100], bucketOf(key));
        v.expect(status == 0, "deleting key %u returned %u", key, status);
        v.expect(t.find(key) == nullptr, "key %u is found after its node was deleted", key);
    }
    for (const Entry &e : t.entries) {
        const bool deleted = e.key == 100 || e.key == 104 || e.key == 108;
        v.expect(deleted || t.find(e.key) == &e, "key %u: lost when others were deleted", e.key);
    }
    ZEP_HASH_DeleteTable(t.table, nullptr);
}

void deleteTableFrees(Verdict &v)
{
    TestTable t;
    if (!v.expect(t.table != nullptr, "ZEP_HASH_CreateNew(%u) gave no table", kBuckets)) {
        return;
    }
    ZEP_HASH_DeleteNode(t.table, &t.entries[5], bucketOf(t.entries[5].key));
    g_freed.clear();
    const u32 status = ZEP_HASH_DeleteTable(t.table, recordFree);
    v.expect(status == 0, "ZEP_HASH_DeleteTable returned %u", status);
    std::vector<const void *> want;
    for (const Entry &e : t.entries) {
        if (&e != &t.entries[5]) {
            want.push_back(&e);
        }
    }
    std::sort(g_freed.begin(), g_freed.end());
    const auto distinct = static_cast<std::size_t>(
        std::unique(g_freed.begin(), g_freed.end()) - g_freed.begin());
    const std::size_t calls = g_freed.size();
    g_freed.resize(distinct);
    v.expect(calls == want.size() && g_freed == want,
             "%zu call(s) of the free function for %zu distinct node(s); want each of the %zu left once",
             calls, distinct, want.size());
}

}  // namespace

const std::vector<Check> kHashChecks = {
    {"hash.find_after_add_delete",
     "ZEP_HASH_FindNode finds each added node, none once ZEP_HASH_DeleteNode ran",
     {"ZEP_HASH_CreateNew", "ZEP_HASH_AddNode", "ZEP_HASH_FindNode", "ZEP_HASH_DeleteNode"},
     findAfterAddDelete},
    {"hash.delete_table_frees", "ZEP_HASH_DeleteTable calls the free function once per node left",
     {"ZEP_HASH_DeleteTable"}, deleteTableFrees},
};

}  // namespace zep::contract
