// What one access point's log says about the module: per station and
// measurement, per radio (in total and per hour of the module's clock), the
// handlers' costs and the errors. Fed one line at a time; its memory grows
// with the stations, radios and hours seen, never with the lines. The lines
// become the events a play makes, and the radios' figures are counted from
// them as a play's are; what no event carries is kept here.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/node_shares.hpp"
#include "findings/facts.hpp"
#include "logs/module_line.hpp"
#include "out/run_figures.hpp"
#include "out/story.hpp"
#include "zep_types.h"

namespace zep::sim::logs {

// Why a node left its radio's table, as far as the lines before it tell.
enum class Removal { None, Stop, Leave, Eviction, Done, GiveUp, Other };
const char *removalName(Removal r);

struct NodeFigures {
    u64 sta = 0;
    u32 measId = 0;
    u32 radio = 0;
    u32 hosts = 0;  // bitmap of every host that asked for it
    // The last share line of each of the three hosts' starts, if one was read.
    std::optional<HostShare> shares[3];
    u64 adds = 0;
    u64 removals = 0;
    Removal lastRemoval = Removal::None;
    bool present = false;
    u64 requests = 0;  // sent successfully
    u64 failed = 0;    // sends that failed
    u64 reports = 0;   // counted against its requests
    u64 giveUps = 0;   // automatic measurement given up
    u64 evictions = 0; // removed to make room for a heavier host's start
    bool movedToTpc = false;
    std::optional<u64> removedAtMs;  // module clock of the last removal
};

// The module's hourly co-measurement statistics line.
struct StatsLine {
    u32 radio = 0;
    u64 sent = 0;
    u64 received = 0;
    u64 timestampMs = 0;
};

struct CostFigures {
    u64 lines = 0;
    u32 min = 0;
    u32 avg = 0;
    u32 max = 0;
};

struct ErrorFigures {
    std::string example;  // the first such line's text
    u64 count = 0;
    u64 firstLine = 0;
    u64 lastLine = 0;
};

struct Burst {
    u64 firstLine = 0;
    u64 lastLine = 0;
    u64 errors = 0;
};

class FieldLog {
public:
    explicit FieldLog(std::string name) : name_(std::move(name)) { figures_.keepHours(); }

    // One line of the log, as read (line feed removed); lineNo counts from 1.
    void feed(std::string_view line, u64 lineNo);
    // A line too long to be read whole, by its start. It may be anything, the
    // module's included, so it counts as a module line that could not be
    // parsed: it shows among those, with its start.
    void feedLong(std::string_view start, u64 length);
    // One log call's text as the module formatted it, one line per line break.
    void feedText(std::string_view text);
    // The end of the log: the last open neighbour blocks went out.
    void finish();
    // Lines about story's station go into it too, as they are read.
    void tell(StoryBuilder &story);

    const std::string &name() const { return name_; }
    const std::map<u32, RadioFigures> &radios() const { return figures_.radios(); }
    const std::vector<NodeFigures> &nodes() const { return nodes_; }
    // By (radio, hour of the module's clock), for the hours a radio was busy in.
    std::map<std::pair<u32, u64>, RadioFigures> hours() const;
    const std::vector<StatsLine> &statsLines() const { return stats_; }
    const std::map<std::string, CostFigures, std::less<>> &costs() const { return costs_; }
    const std::map<std::string, ErrorFigures> &errors() const { return errors_; }
    u64 errorLines() const { return errorLines_; }  // of every kind
    const std::vector<Burst> &bursts() const { return bursts_; }
    const std::vector<std::string> &unparsedExamples() const { return unparsed_; }
    u64 lines() const { return lines_; }
    u64 moduleLines() const { return moduleLines_; }
    // Timer expiries the module reported its cost for: the seconds it measured.
    u64 timerRounds() const;
    u64 unparsedLines() const { return unparsedCount_; }
    // Blocks to neighbours in all; one holding stations of two radios counts once.
    u64 nbBlocks() const { return figures_.nbBlocks(); }
    // Notes are the module's everyday lines; an access point that filters
    // them out leaves most figures unknown rather than zero.
    bool notesSeen() const { return notesSeen_; }
    // Co-measurement lists by (radio, channel).
    const std::map<std::pair<u32, u32>, ChannelWait> &channelWaits() const { return channelWaits_; }
    // Reports with a neighbour's token whose neighbour VAP the queries did not know, by station.
    const std::map<u64, u64> &unknownNeighbours() const { return unknownNeighbours_; }
    // A reader that knows when each line was said (a play) gives it here
    // before the line; a field log's time is the module's clock where its
    // lines tell it.
    void setLineTime(u64 ms) { lineMs_ = ms; }
    std::optional<u64> now() const { return lineMs_ ? lineMs_ : clockMs_; }

private:
    friend struct Handlers;
    NodeFigures *node(u64 sta, u32 measId);
    NodeFigures &addNode(u64 sta, u32 measId, u32 radio);
    u32 radioOf(u64 sta) const;
    // An event at the module's clock where the lines told it. A scan trigger,
    // and a report refused before its radio was read, count in no hour.
    void count(EventKind kind, u32 id, Column column, u32 radio, bool hourly = true);
    void countLine(const ModuleLine &m, Tag severity);
    void forwardReport(bool sent);
    void noteError(const ModuleLine &m, u64 lineNo);
    void noteUnparsed(std::string_view line);
    void commitBlocks();
    bool dispatch(const ModuleLine &m, u64 lineNo);
    bool continuation(std::string_view line);
    StoryBuilder *storyOf(u64 sta) const { return story_ != nullptr && sta == storySta_ ? story_ : nullptr; }

    std::string name_;
    RunFigures figures_{0, SizeSource::Lines};
    Event line_;  // the log event of the line being read, kept for its text's buffer
    using NodeKey = std::pair<u64, u32>;  // station, measurement
    struct NodeKeyHash {
        // A MAC takes 48 bits: the id above them keeps a station's LM and TPC nodes apart.
        std::size_t operator()(const NodeKey &k) const
        {
            return std::hash<u64>{}(k.first ^ (u64{k.second} << 48));
        }
    };
    std::vector<NodeFigures> nodes_;  // in the order first seen
    std::unordered_map<NodeKey, std::size_t, NodeKeyHash> nodeIndex_;  // into nodes_
    std::unordered_map<u64, u32> staRadio_;  // station to the radio it was last seen on
    std::vector<StatsLine> stats_;
    std::map<std::string, CostFigures, std::less<>> costs_;
    std::map<std::string, ErrorFigures> errors_;
    std::vector<Burst> bursts_;
    std::vector<std::string> unparsed_;  // the first few, for -v
    u64 lines_ = 0;
    u64 moduleLines_ = 0;
    u64 unparsedCount_ = 0;
    u64 errorLines_ = 0;
    bool notesSeen_ = false;
    std::map<std::pair<u32, u32>, ChannelWait> channelWaits_;
    std::map<u64, u64> unknownNeighbours_;

    // State carried from one line to the next.
    std::optional<u64> clockMs_;       // the module's clock, from its hourly-statistics checks
    Removal context_ = Removal::Other;  // why a node deleted now would go
    u64 contextSta_ = 0;               // the station a timer line was about
    u64 workChannelSends_ = 0;         // co-measurement sends waiting for their radio
    std::optional<u32> scanRadio_;     // radio of the scan being served
    std::optional<u32> startRadio_;    // radio of the measurement start being served
    std::optional<std::pair<u32, u32>> listing_;  // (radio, channel) of the co-measurement start being served
    std::optional<u64> lineMs_;        // when the line being read was said, where the reader knows
    std::optional<u32> startHost_;     // host of the measurement start being served
    std::optional<u32> forwarding_;    // radio of the report read last, forwarded unless the next line says not
    StoryBuilder *story_ = nullptr;
    u64 storySta_ = 0;
    struct Block {
        u64 nb = 0;
        std::vector<u32> radios;
    };
    std::vector<Block> openBlocks_;    // neighbour blocks not yet known sent
    std::optional<StatsLine> openStats_;  // statistics line waiting for its continuation
    std::optional<Burst> run_;         // errors close together, up to the last error read
};

}  // namespace zep::sim::logs
