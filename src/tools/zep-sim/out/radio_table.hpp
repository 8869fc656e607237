// The radio table, declared once: its columns in order, each with the title
// the text tables and the report give it and the key each JSON output names it
// by, for the summary of a play or a replay and for `zep-sim logs`.
#pragma once

#include <map>
#include <ostream>
#include <string>

#include "base/sim_json.hpp"
#include "out/radio_figures.hpp"

namespace zep::sim {

struct RadioColumn {
    const char *title;       // in the text table and the report; null: in the JSON alone
    const char *key;         // the report's
    const char *summaryKey;  // --summary-json's; null: in the log reader's outputs alone
    const char *logsKey;     // `zep-sim logs --json`'s
    u64 RadioFigures::*count = nullptr;  // null: a table size
    std::optional<u32> RadioFigures::*size = nullptr;
};

std::string radioText(u32 radio);  // "?" for the blocks that name no radio
// One radio's figures under the keys of one output (RadioColumn::key,
// summaryKey or logsKey), added to row in the columns' order.
void addRadioFields(Json &row, const RadioFigures &figures, const char *RadioColumn::*keyOf,
                    SizeSource source);
// [key, title] of the report's columns; a log's includes the nodes added and removed.
Json radioColumnList();
// The text table, one row per radio and one for all; the blocks to neighbours
// of all are given, since a block may hold stations of two radios.
void printRadioTable(std::ostream &out, const std::map<u32, RadioFigures> &radios, SizeSource source,
                     const std::string &allBlocks);

}  // namespace zep::sim
