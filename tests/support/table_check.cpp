// Walks the application's measurement table, co-measurement lists, timer and
// memory as the emulation sees them, and names every rule they break. Walks are
// bounded, so that a list tied into a loop is reported instead of hanging.
#include "table_check.hpp"

#include <cstring>
#include <sstream>
#include <map>
#include <set>
#include <tuple>

#include "host_impl.hpp"
#include "sta_meas_inner.h"

namespace zep::test {
namespace {

constexpr std::size_t kWalkLimit = 4096;  // far above any list the application may hold

using Key = std::tuple<u64, u32>;  // (MAC as a number, measurement id)

template <class... Parts> std::string cat(const Parts &...parts)
{
    std::ostringstream text;
    (text << ... << parts);
    return text.str();
}

u64 macNumber(const u8 *mac)
{
    u64 value = 0;
    for (std::size_t i = 0; i < 6; i++) {
        value = value << 8 | mac[i];
    }
    return value;
}

std::string keyText(const u8 *mac, u32 measId)
{
    host::Mac m{};
    std::memcpy(m.data(), mac, m.size());
    return host::formatMac(m) + "/" + std::to_string(measId);
}

class Report
{
  public:
    template <class... Parts> void add(const Parts &...parts) { lines_.push_back(cat(parts...)); }
    std::vector<std::string> take() { return std::move(lines_); }

  private:
    std::vector<std::string> lines_;
};

// The elements of a circular list in order; a broken circle is reported. The
// list's name is only made when there is something to report.
template <class Name>
std::vector<ZEP_SLL_Node *> walkList(ZEP_SLL_Head *head, const Name &name, Report &out)
{
    std::vector<ZEP_SLL_Node *> elements;
    ZEP_SLL_Node *const end = ZEP_SLL_HEAD_AS_NODE(head);
    if (head->count == 0 && head->first == end && head->last == end) {
        return elements;  // the common case, checked without walking
    }
    ZEP_SLL_Node *last = end;
    for (ZEP_SLL_Node *e = head->first; e != end; e = e->next) {
        if (e == nullptr || elements.size() == kWalkLimit) {
            out.add(name(), ": the walk does not come back to the head");
            return elements;
        }
        elements.push_back(e);
        last = e;
    }
    if (head->count != elements.size()) {
        out.add(name(), ": count ", head->count, " but the walk visits ", elements.size());
    }
    if (head->last != last) {
        out.add(name(), ": last does not point at the last element");
    }
    return elements;
}

struct MeasCensus {
    std::map<const StaMeasNode *, u32> listRadio;  // node -> the radio list holding it
    std::size_t listed = 0;                       // list elements, repeats counted
};

MeasCensus walkRadioLists(const StaMeasTable &tbl, Report &out)
{
    MeasCensus census;
    const u32 radioNum = ZEP_PROFILE_GetMaxRadioNum();
    for (u32 radio = 0; radio < radioNum; radio++) {
        const auto name = [radio] { return cat("measurement list of radio ", radio); };
        const auto elements = walkList(&tbl.radioList[radio], name, out);
        if (elements.size() > STAMEAS_TBL_MAX_PER_RADIO) {
            out.add(name(), ": ", elements.size(), " nodes, above the cap of ",
                    STAMEAS_TBL_MAX_PER_RADIO);
        }
        for (ZEP_SLL_Node *e : elements) {
            const auto *node = static_cast<const StaMeasNode *>(e->data);
            if (node == nullptr || &node->listLink != e) {
                out.add(name(), ": an element whose data is not its own node");
                continue;
            }
            census.listed++;
            if (!census.listRadio.try_emplace(node, radio).second) {
                out.add(name(), ": a node listed twice");
            }
            if (node->info.radioId != radio) {
                out.add(name(), ": a node that names radio ", node->info.radioId);
            }
        }
    }
    return census;
}

void checkMeasTable(host::Host &h, Report &out)
{
    const StaMeasTable *tbl = g_staMeasTbl;
    if (tbl == nullptr || tbl->radioList == nullptr || tbl->hashTbl == nullptr ||
        tbl->nodePool == nullptr) {
        return;  // a start-up that failed part way; the stopped check covers the rest
    }
    const MeasCensus census = walkRadioLists(*tbl, out);

    std::set<const StaMeasNode *> hashed;
    std::set<Key> keys;
    const ZEP_HashTable &hash = *tbl->hashTbl;
    for (u32 bucket = 0; bucket < hash.heads.size(); bucket++) {
        std::size_t steps = 0;
        for (ZEP_HashLink *link = hash.heads[bucket]; link != nullptr; link = link->next) {
            if (++steps > kWalkLimit) {
                out.add("measurement hash bucket ", bucket, ": the chain does not end");
                break;
            }
            const auto *node = reinterpret_cast<const StaMeasNode *>(link);
            hashed.insert(node);
            const Key key{macNumber(node->info.staMac), node->info.measId};
            if (!keys.insert(key).second) {
                out.add("measurement hash: key ", keyText(node->info.staMac, node->info.measId),
                        " held by more than one node");
            }
            if (!census.listRadio.contains(node)) {
                out.add("measurement hash: node ", keyText(node->info.staMac, node->info.measId),
                        " is in no radio list");
            }
        }
    }
    for (const auto &[node, radio] : census.listRadio) {
        if (!hashed.contains(node)) {
            out.add("measurement list of radio ", radio, ": node ",
                    keyText(node->info.staMac, node->info.measId), " is not in the hash");
        }
    }
    const std::size_t inUse = h.memory().poolBlocksInUse(STAMEAS_TBL_POOL_NAME);
    if (inUse != census.listed) {
        out.add("measurement node pool: ", inUse, " blocks in use for ", census.listed,
                " listed nodes");
    }
}

// Co-measurement records are single heap blocks; the table's own blocks are the
// rest of what the application holds between two messages.
std::size_t structureBlocks()
{
    std::size_t blocks = 0;
    if (g_staMeasTbl != nullptr) {
        blocks += 1 + (g_staMeasTbl->radioList != nullptr ? 1 : 0);
    }
    blocks += g_coMeasRadioState != nullptr ? 1 : 0;
    blocks += g_coMeasStats != nullptr ? 1 : 0;
    return blocks;
}

void checkCoMeasLists(host::Host &h, Report &out)
{
    std::size_t records = 0;
    if (g_coMeasRadioState != nullptr) {
        const u32 radioNum = ZEP_PROFILE_GetMaxRadioNum();
        for (u32 radio = 0; radio < radioNum; radio++) {
            for (u32 channel = 0; channel < COMEAS_CHANNEL_NUM; channel++) {
                const auto name = [radio, channel] {
                    return cat("co-measurement list of radio ", radio, " channel ", channel);
                };
                const auto elements =
                    walkList(&g_coMeasRadioState[radio].staList[channel], name, out);
                if (elements.size() > COMEAS_LIST_MAX) {
                    out.add(name(), ": ", elements.size(), " records, above the cap of ",
                            COMEAS_LIST_MAX);
                }
                for (ZEP_SLL_Node *e : elements) {
                    const auto *node = reinterpret_cast<const CoMeasNode *>(e);
                    if (e->data != &node->info) {
                        out.add(name(), ": an element whose data is not its own record");
                    }
                }
                records += elements.size();
            }
        }
    }
    const std::size_t held = h.memory().liveBlocks();
    if (held != structureBlocks() + records) {
        out.add("heap: ", held, " blocks held for ", records, " co-measurement records and ",
                structureBlocks(), " table blocks");
    }
}

// The host's timers are the application's: one at most, and running exactly
// while the application records one.
void checkTimer(host::Host &h, Report &out)
{
    const std::size_t running = h.activeTimers();
    const u32 id = g_staMeasTimer.timerId;
    if (running > 1 || (running == 1) != (id != 0)) {
        out.add(running, " timers running while the application records timer ", id);
    }
}

void checkRunning(host::Host &h, Report &out)
{
    checkMeasTable(h, out);
    checkCoMeasLists(h, out);
    checkTimer(h, out);
    if (g_coMeasReqBufLeft != COMEAS_NB_BUF_LEN) {
        out.add("neighbour buffer left at ", g_coMeasReqBufLeft, " between messages");
    }
}

// Only the data area survives de-initialisation; a timer survives only when its
// stop was refused, and then the application still knows it.
void checkStopped(host::Host &h, bool timerStopRefused, Report &out)
{
    if (g_staMeasTbl != nullptr || g_coMeasRadioState != nullptr || g_coMeasStats != nullptr) {
        out.add("a table, list area or statistics block still referenced after de-initialisation");
    }
    if (h.memory().liveBlocks() != 0 || h.memory().livePools() != 0) {
        out.add(h.memory().liveBlocks(), " heap blocks and ", h.memory().livePools(),
                " pools held after de-initialisation");
    }
    if (!h.impl().hashTables.empty()) {
        out.add("a hash table left after de-initialisation");
    }
    if (h.impl().areas.size() > 1) {
        out.add(h.impl().areas.size(), " data areas after de-initialisation");
    }
    if (timerStopRefused) {
        checkTimer(h, out);
    } else if (h.activeTimers() != 0) {
        out.add(h.activeTimers(), " timers running after de-initialisation");
    }
}

std::vector<std::string> violations(host::Host &h, AppStage stage, bool timerStopRefused)
{
    Report out;
    if (h.memory().badFrees() != 0) {
        out.add(h.memory().badFrees(), " frees of blocks never handed out");
    }
    if (stage == AppStage::Running) {
        checkRunning(h, out);
    } else {
        checkStopped(h, timerStopRefused, out);
    }
    return out.take();
}

}  // namespace

std::vector<std::string> tableViolations(host::Host &h, AppStage stage)
{
    return violations(h, stage, false);
}

std::vector<std::string> deinitViolations(host::Host &h)
{
    constexpr std::string_view kStop = "ZEP_MNG_StopTimer";
    const u64 stopsBefore = h.faults().calls(kStop);
    const u64 injectedBefore = h.faults().injectedFailures();
    h.deinit();
    // Counted, not attributed: a refused stop is assumed when de-initialisation
    // both tried a stop and met an injected failure.
    const bool refused =
        h.faults().calls(kStop) > stopsBefore && h.faults().injectedFailures() > injectedBefore;
    return violations(h, AppStage::Stopped, refused);
}

std::string describe(const std::vector<std::string> &violations)
{
    std::string text;
    for (const std::string &line : violations) {
        text += line;
        text += '\n';
    }
    return text;
}

}  // namespace zep::test
