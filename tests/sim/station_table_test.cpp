// The station table of a play, built from its events: filled at
// every log level, counted as the trace shows the sends and reports, summed
// over a node's lives, and the same as the module's notes tell it wherever
// notes can tell it; what only notes tell is unknown without them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "logs/log_view.hpp"
#include "sim_test.hpp"
#include "scenario/scenario_reader.hpp"

namespace zep::sim {
namespace {

namespace fs = std::filesystem;

// The rows' cells by "station meas", as every output shows them.
using Cells = std::map<std::string, Json>;

Cells cellsOf(const std::vector<logs::StationRow> &rows)
{
    Cells cells;
    for (const logs::StationRow &row : rows) {
        const Json c = logs::stationCells(row);
        cells[c[0].get<std::string>() + " " + c[1].get<std::string>()] = c;
    }
    return cells;
}

std::size_t column(const char *key)
{
    const Json &columns = logs::stationColumns();
    const auto it = std::find_if(columns.begin(), columns.end(), [&](const Json &c) { return c[0] == key; });
    EXPECT_NE(it, columns.end()) << key;
    return static_cast<std::size_t>(it - columns.begin());
}

struct Tables {
    Cells table;      // from the events
    Cells notes;      // the module's lines read as an access point's log
    std::string trace;
    u64 requestsSent = 0;  // the summary's, all radios
};

Tables tablesOf(const Scenario &sc, u32 logLevel)
{
    RunOptions opt;
    opt.logLevel = logLevel;
    Tables t;
    t.trace = play(sc, opt, [&](const Runner &runner) {
                  t.table = cellsOf(runner.stations());
                  t.notes = cellsOf(logs::stationRows(runner.stationLog()));
                  for (const auto &[radio, stats] : runner.summary().radios()) {
                      t.requestsSent += stats.requests;
                  }
              }).trace;
    return t;
}

Tables tablesOf(const std::string &yaml, u32 logLevel)
{
    return tablesOf(readScenarioText(yaml, "t.yaml"), logLevel);
}

// How many trace events of kind ev and message id name the station.
u64 traced(const std::string &trace, const std::string &ev, u32 id, const std::string &sta)
{
    u64 n = 0;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        const Json e = Json::parse(line);
        const bool named = e.contains("fields") && e["fields"].value("staMac", "") == sta;
        n += e["ev"] == ev && e.value("id", 0u) == id && named ? 1 : 0;
    }
    return n;
}

// Two radios of four stations, each asked for by the three hosts every
// second: the day of full load in small, at its log level, which drops notes.
const char *const kLoaded = R"(
host: {radios: 2, logLevel: 1}
stations:
  - {mac: "00:11:22:00:00:00", radio: 0, vap: 1, caps: [lm], reply: {delayMs: 20, rate: 1.0}, repeat: 4}
  - {mac: "00:11:22:01:00:00", radio: 1, vap: 1, caps: [lm], reply: {delayMs: 30, rate: 0.5}, repeat: 4}
steps:
  - start
  - send: {id: 182, host: 0, radioId: 0, entries: [{staMac: "00:11:22:00:00:00", measId: lm, repeat: 4}]}
  - send: {id: 182, host: 1, radioId: 0, entries: [{staMac: "00:11:22:00:00:00", measId: lm, repeat: 4}]}
  - send: {id: 182, host: 2, radioId: 0, entries: [{staMac: "00:11:22:00:00:00", measId: lm, repeat: 4}]}
  - send: {id: 182, host: 0, radioId: 1, entries: [{staMac: "00:11:22:01:00:00", measId: lm, repeat: 4}]}
  - send: {id: 182, host: 1, radioId: 1, entries: [{staMac: "00:11:22:01:00:00", measId: lm, repeat: 4}]}
  - send: {id: 182, host: 2, radioId: 1, entries: [{staMac: "00:11:22:01:00:00", measId: lm, repeat: 4}]}
  - advance: 30000
)";

TEST(StationTable, ALoadedRunThatDropsNotesCountsEachStationsSendsAndReports)
{
    const Scenario sc = readScenarioText(kLoaded, "t.yaml");
    const Tables p = tablesOf(sc, sc.logLevel);
    EXPECT_TRUE(p.notes.empty()) << "the notes were dropped, and the table does without them";
    ASSERT_EQ(p.table.size(), 8u);
    u64 requests = 0;
    for (const auto &[name, c] : p.table) {
        const std::string sta = c[0].get<std::string>();
        EXPECT_EQ(c[column("requests")], traced(p.trace, "out", STAMEAS_MSG_LM_REQ, sta)) << name;
        EXPECT_EQ(c[column("reports")], traced(p.trace, "in", STAMEAS_MSG_LM_REPORT, sta)) << name;
        EXPECT_EQ(c[column("hosts")], "0+1+2") << name;
        EXPECT_EQ(c[column("added")], 1) << name;
        EXPECT_EQ(c[column("now")], "in table") << name;
        EXPECT_TRUE(c[column("lastRemoval")].is_null()) << name << ": only notes say why a node left";
        requests += c[column("requests")].get<u64>();
    }
    EXPECT_EQ(requests, p.requestsSent);
    // 30 expiries, the first of which a new node sits out; the last answer is still on its way.
    const Json &always = p.table.at("00:11:22:00:00:00 lm");
    EXPECT_EQ(always[column("requests")], 29);
    EXPECT_EQ(always[column("reports")], 28);
    EXPECT_EQ(always[column("answered")], "97%");
}

// Host 0 measures the station until it leaves; it comes back and host 1 asks for it.
const char *const kLeavesAndComesBack = R"(
stations: [{mac: "00:11:22:33:44:01", radio: 0, vap: 1, caps: [lm], reply: {delayMs: 20}}]
steps:
  - start
  - send: {id: 182, host: 0, entries: [{staMac: "00:11:22:33:44:01", measId: lm, sched: {isLoop: 1, periodInSec: 1}}]}
  - advance: 5000
  - staLeave: "00:11:22:33:44:01"
  - advance: 2000
  - addStation: {mac: "00:11:22:33:44:01", radio: 0, vap: 1, caps: [lm], reply: {delayMs: 20}}
  - send: {id: 182, host: 1, entries: [{staMac: "00:11:22:33:44:01", measId: lm, sched: {isLoop: 1, periodInSec: 1}}]}
  - advance: 5000
)";

TEST(StationTable, ANodeThatLeavesAndComesBackAddsUpItsLives)
{
    const Tables dropped = tablesOf(kLeavesAndComesBack, 1);
    const Tables kept = tablesOf(kLeavesAndComesBack, 0);
    ASSERT_EQ(dropped.table.size(), 1u);
    // Four requests in each life; the answer to the last of the first comes after the leave.
    const Json expected = {"00:11:22:33:44:01", "lm", 0, "0+1", 2, 1, nullptr, 8, 0, 6, "75%", 0, "in table"};
    EXPECT_EQ(dropped.table.begin()->second, expected);
    Json told = expected;
    told[column("lastRemoval")] = "leave";
    EXPECT_EQ(kept.table.begin()->second, told);
    EXPECT_EQ(kept.notes, kept.table);
}

// Where notes are kept, the events give the table the module's notes give,
// plus the nodes a host asked for that the module never took; without notes
// every figure stays but those only notes tell, which become unknown.
TEST(StationTable, EveryScenarioAgreesWithTheNotesAndOnlyWhatNotesTellGoesUnknown)
{
    for (const fs::path &file : shortScenarios()) {
        const Scenario sc = readScenarioFile(file.string());
        const Tables kept = tablesOf(sc, 0);
        const Tables dropped = tablesOf(sc, 1);
        for (const auto &[name, c] : kept.table) {
            const auto noted = kept.notes.find(name);
            if (noted == kept.notes.end()) {
                EXPECT_EQ(c[column("added")], 0) << file << " " << name << ": no note, never in the table";
            } else {
                EXPECT_EQ(c, noted->second) << file << " " << name;
            }
        }
        for (const auto &[name, c] : kept.notes) {
            EXPECT_TRUE(kept.table.contains(name)) << file << " " << name;
        }
        ASSERT_EQ(dropped.table.size(), kept.table.size()) << file;
        for (const auto &[name, c] : dropped.table) {
            const Json &known = kept.table.at(name);
            EXPECT_TRUE(c[column("lastRemoval")].is_null()) << file << " " << name;
            for (std::size_t i = 0; i < c.size(); ++i) {
                EXPECT_TRUE(c[i].is_null() || c[i] == known[i]) << file << " " << name << " column " << i;
                EXPECT_FALSE(known[i].is_null()) << file << " " << name << " column " << i;
            }
        }
    }
}

TEST(StationTable, AFullTablesEvictionsAreUnknownWithoutNotesNotMiscounted)
{
    const Scenario sc = readScenarioFile(std::string(ZEP_SIM_SCENARIO_DIR) + "/findings.yaml");
    // Host 0's starts evict host 1's node three times; host 1 asks again each time.
    const Json evicted = tablesOf(sc, 0).table.at("00:11:22:00:01:00 lm");
    EXPECT_EQ(evicted[column("added")], 4);
    EXPECT_EQ(evicted[column("removed")], 3);
    EXPECT_EQ(evicted[column("lastRemoval")], "eviction");
    const Tables dropped = tablesOf(sc, 1);
    for (const char *key : {"added", "removed", "now"}) {
        EXPECT_TRUE(dropped.table.at("00:11:22:00:01:00 lm")[column(key)].is_null()) << key;
    }
    // Which nodes the table held is unknown; what was sent for each is not.
    EXPECT_EQ(dropped.table.at("00:11:22:00:00:00 lm")[column("requests")], 12);
    EXPECT_EQ(dropped.table.at("00:11:22:00:02:00 lm")[column("requests")], 3);
}

}  // namespace
}  // namespace zep::sim
