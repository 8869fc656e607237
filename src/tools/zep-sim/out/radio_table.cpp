#include "out/radio_table.hpp"

#include "base/text_table.hpp"
#include "sta_meas_msg.h"

namespace zep::sim {

namespace {

using F = RadioFigures;

constexpr RadioColumn kColumns[] = {
    {"nodes", "nodes", "nodes", "tableSize", nullptr, &F::nodes},
    {"peak", "peak", "peakNodes", "peak", nullptr, &F::peakNodes},
    {"requests sent", "requests", "requests", "requests", &F::requests},
    {nullptr, nullptr, nullptr, "failedRequests", &F::failedRequests},
    {"answers", "answers", "answers", "answers", &F::answers},
    {"reports forwarded", "reports", "reports", "reports", &F::reports},
    {"co-meas requests", "comeas", "comeasRequests", "comeas", &F::comeas},
    {"scan triggers", "scans", "scanTriggers", "scanTriggers", &F::scans},
    {"blocks to neighbours", "nbBlocks", "blocksToNeighbours", "nbBlocks", &F::nbBlocks},
    {"added", "added", nullptr, "added", &F::adds},
    {"removed", "removed", nullptr, "removed", &F::removals},
    {nullptr, nullptr, nullptr, "switchedOff", &F::switchedOff},
    {nullptr, nullptr, nullptr, "disabledRounds", &F::disabledRounds},
};

// A play's text table shows what its source can show: the summary's columns.
bool shown(const RadioColumn &c, SizeSource source)
{
    return c.title != nullptr && (source == SizeSource::Lines || c.summaryKey != nullptr);
}

Json cell(const RadioColumn &c, const RadioFigures &r, SizeSource source)
{
    if (c.count != nullptr) {
        return r.*c.count;
    }
    const std::optional<u32> &size = r.*c.size;
    const bool zeroIfUnknown = source == SizeSource::Lines && c.size == &F::peakNodes;
    return size ? Json(*size) : zeroIfUnknown ? Json(0) : Json(nullptr);
}

std::string cellText(const RadioColumn &c, const Json &v, SizeSource source)
{
    if (v.is_null()) {
        return "-";
    }
    const bool capped = source == SizeSource::Dump && c.size != nullptr &&
                        v.get<u32>() >= STAMEAS_RPC_MEAS_ENTRY_MAX;
    return v.dump() + (capped ? "+" : "");
}

}  // namespace

std::string radioText(u32 radio)
{
    return radio == STAMEAS_ALL_RADIO ? "?" : std::to_string(radio);
}

void addRadioFields(Json &row, const RadioFigures &figures, const char *RadioColumn::*keyOf,
                    SizeSource source)
{
    for (const RadioColumn &c : kColumns) {
        if (c.*keyOf != nullptr) {
            row[c.*keyOf] = cell(c, figures, source);
        }
    }
}

Json radioColumnList()
{
    Json list = Json::array();
    for (const RadioColumn &c : kColumns) {
        if (c.title != nullptr) {
            list.push_back({c.key, c.title});
        }
    }
    return list;
}

void printRadioTable(std::ostream &out, const std::map<u32, RadioFigures> &radios, SizeSource source,
                     const std::string &allBlocks)
{
    std::vector<TextTable::Column> titles{{"radio", TextTable::Align::Right}};
    for (const RadioColumn &c : kColumns) {
        if (shown(c, source)) {
            titles.push_back({c.title, TextTable::Align::Right});
        }
    }
    TextTable t(std::move(titles));
    const auto addRow = [&](std::string radio, const auto &cellOf) {
        std::vector<std::string> cells{std::move(radio)};
        for (const RadioColumn &c : kColumns) {
            if (shown(c, source)) {
                cells.push_back(cellOf(c));
            }
        }
        t.addRow(std::move(cells));
    };
    RadioFigures all;
    for (const auto &radio : radios) {
        const RadioFigures &r = radio.second;
        addRow(radioText(radio.first),
               [&](const RadioColumn &c) { return cellText(c, cell(c, r, source), source); });
        all.add(r);
    }
    addRow("all", [&](const RadioColumn &c) {
        return c.count == &F::nbBlocks ? allBlocks
               : c.count != nullptr    ? std::to_string(all.*c.count)
                                       : std::string();
    });
    t.print(out, "  ");
}

}  // namespace zep::sim
