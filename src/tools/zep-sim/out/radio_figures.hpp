// What one radio did over a span of time, as far as its source can tell: a
// play's or a replay's events, or an access point's log. One struct for the
// summary, the report's intervals and the log reader, so that a figure means
// the same wherever it shows. A count a source cannot see stays 0; a table
// size it never learnt stays empty.
#pragma once

#include <algorithm>
#include <optional>

#include "wire/msg_catalog.hpp"

namespace zep::sim {

// Where the table sizes come from. A play's or a replay's dump lists at most 64
// nodes, and its peak is unknown until one was read; a log's lines tell the
// table's size exactly, and a peak it never told is 0.
enum class SizeSource { Dump, Lines };

struct RadioFigures {
    u64 requests = 0;        // 167/169 sent by the timer
    u64 failedRequests = 0;  // of those, refused by the framework
    u64 answers = 0;         // 168/170 delivered
    u64 reports = 0;         // 197 forwarded
    u64 comeas = 0;          // co-measurement requests sent on scans
    u64 scans = 0;           // 42 scan triggers
    u64 nbBlocks = 0;        // blocks to neighbours holding a station of the radio
    u64 adds = 0;            // nodes added to the measurement table
    u64 removals = 0;        // nodes deleted from it
    u64 switchedOff = 0;     // scan switch set to 0
    u64 disabledRounds = 0;  // timer rounds skipped as measurement was off
    u64 refusedAdds = 0;     // stations not added: the table held 128 nodes
    u64 scanInhibits = 0;    // scan triggers not sent, the last being too recent
    std::optional<u32> nodes;      // the table's size when last known
    std::optional<u32> peakNodes;  // the largest size known

    // One message of the given summary column.
    void count(Column column)
    {
        switch (column) {
        case Column::Requests: ++requests; break;
        case Column::Answers: ++answers; break;
        case Column::Reports: ++reports; break;
        case Column::CoMeas: ++comeas; break;
        case Column::Scans: ++scans; break;
        case Column::None: break;
        }
    }
    void noteSize(u32 size)
    {
        nodes = size;
        notePeak(size);
    }
    void notePeak(std::optional<u32> size)
    {
        if (size) {
            peakNodes = std::max(peakNodes.value_or(0), *size);
        }
    }
    // A later span's figures added to this one's.
    void add(const RadioFigures &o)
    {
        requests += o.requests;
        failedRequests += o.failedRequests;
        answers += o.answers;
        reports += o.reports;
        comeas += o.comeas;
        scans += o.scans;
        nbBlocks += o.nbBlocks;
        adds += o.adds;
        removals += o.removals;
        switchedOff += o.switchedOff;
        disabledRounds += o.disabledRounds;
        refusedAdds += o.refusedAdds;
        scanInhibits += o.scanInhibits;
        nodes = o.nodes ? o.nodes : nodes;
        notePeak(o.peakNodes);
    }
};

}  // namespace zep::sim
