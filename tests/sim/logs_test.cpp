// zep-sim logs against the run itself: a scenario's log, read back, must give
// the figures the run counted from the messages, however the log was mixed
// with other programs' lines or cut down on the access point.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <numeric>
#include <random>
#include <sstream>
#include <tuple>

#include "logs/field_log.hpp"
#include "logs/log_source.hpp"
#include "logs/log_view.hpp"
#include "logs/scenario_out.hpp"
#include "sim_test.hpp"
#include "scenario/demo.hpp"
#include "scenario/scenario_reader.hpp"
#include "sta_meas_msg.h"

namespace zep::sim {
namespace {

// A play's figures, counted from its events, beside its log.
struct Logged {
    std::unique_ptr<RunFigures> summary;
    std::string log;
};

Logged playWithLog(const std::filesystem::path &file, std::optional<u32> logLevel = std::nullopt)
{
    const Scenario sc = readScenarioFile(file.string());
    Logged l{std::make_unique<RunFigures>(sc.profile.radios), ""};
    RunOptions opt;
    opt.logLevel = logLevel;
    opt.sinks = {l.summary.get()};
    l.log = play(sc, opt).log;
    return l;
}

logs::FieldLog readBack(const std::string &text)
{
    logs::FieldLog log("ap");
    std::istringstream in(text);
    std::string line;
    for (u64 no = 1; std::getline(in, line); ++no) {
        log.feed(line, no);
    }
    log.finish();
    return log;
}

// The module's lines behind another syslog's prefix, in their order, with
// other programs' lines between them; one of those names a ZEP_STA variable.
std::string mixed(const std::string &text, unsigned seed)
{
    static const char *const kOther[] = {
        "2026-12-07T10:00:01+00:00 ap-east kernel: [ 12.5] wlan1: link becomes ready",
        "2026-12-07T10:00:01+00:00 ap-east netcfg[88]: set ZEP_STA_LIMIT=128 (Zone A)",
        "2026-12-07T10:00:02+00:00 ap-east dhcpd[51]: DHCPACK on 10.0.0.7 to 00:11:22:33:44:01",
        "2026-12-07T10:00:02+00:00 ap-east cron[4]: sendCoMeasReqCount[99] in a test job"};
    std::mt19937 rng(seed);
    std::istringstream in(text);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        while (rng() % 3 == 0) {
            out += kOther[rng() % std::size(kOther)];
            out += '\n';
        }
        const std::size_t body = line.find(" zep: ") + 6;
        out += "2026-12-07T10:00:03.250+00:00 ap-east zepd[812]: " + line.substr(body) + "\r\n";
    }
    return out;
}

u64 at(const std::map<u32, RadioFigures> &m, u32 r, u64 RadioFigures::*f)
{
    const auto it = m.find(r);
    return it == m.end() ? 0 : it->second.*f;
}

void expectSameFigures(const RunFigures &run, const logs::FieldLog &log, const std::string &what)
{
    EXPECT_EQ(log.unparsedLines(), 0u) << what;
    if (!log.notesSeen()) {  // then the run must have had nothing to count
        for (const auto &[r, s] : run.radios()) {
            EXPECT_EQ(s.requests + s.answers + s.comeas + s.scans, 0u) << what;
        }
        return;
    }
    // A report too short to read is an answer of the radio its body names; its
    // log line does not name it.
    const u64 unplaced = at(log.radios(), STAMEAS_ALL_RADIO, &RadioFigures::answers);
    u64 answers = 0;
    for (const auto &[r, s] : run.radios()) {
        const std::string where = what + ", radio " + std::to_string(r);
        EXPECT_EQ(at(log.radios(), r, &RadioFigures::requests), s.requests) << where;
        answers += s.answers;
        EXPECT_LE(at(log.radios(), r, &RadioFigures::answers), s.answers) << where;
        EXPECT_GE(at(log.radios(), r, &RadioFigures::answers) + unplaced, s.answers) << where;
        EXPECT_EQ(at(log.radios(), r, &RadioFigures::reports), s.reports) << where;
        EXPECT_EQ(at(log.radios(), r, &RadioFigures::comeas), s.comeas) << where;
        EXPECT_EQ(at(log.radios(), r, &RadioFigures::scans), s.scans) << where;
        // The dump that the run reads its table size from lists at most 64 nodes.
        if (s.nodes && *s.nodes < 64 && log.radios().contains(r)) {
            EXPECT_EQ(log.radios().at(r).nodes.value_or(0), *s.nodes) << where;
        }
    }
    const auto addAnswers = [](u64 sum, const auto &radio) { return sum + radio.second.answers; };
    EXPECT_EQ(std::accumulate(log.radios().begin(), log.radios().end(), u64{0}, addAnswers), answers) << what;
    EXPECT_EQ(log.nbBlocks(), run.nbBlocks()) << what;
}

TEST(SimLogs, EveryScenarioReadsBackToTheRunsOwnFigures)
{
    unsigned seed = 1;
    for (const auto &file : shortScenarios()) {
        const Logged p = playWithLog(file);
        const std::string name = file.filename().string();
        expectSameFigures(*p.summary, readBack(p.log), name);
        expectSameFigures(*p.summary, readBack(mixed(p.log, seed++)), name + " (mixed)");
    }
}

TEST(SimLogs, FilteredNotesNameTheMissingFiguresInsteadOfZeros)
{
    const Logged p = playWithLog(std::filesystem::path(ZEP_SIM_SCENARIO_DIR) / "faults.yaml", 1);
    const logs::FieldLog log = readBack(p.log);
    ASSERT_GT(log.moduleLines(), 0u);
    EXPECT_FALSE(log.notesSeen());
    EXPECT_FALSE(log.errors().empty());
    std::ostringstream text;
    logs::printFieldLog(text, log, false);
    EXPECT_NE(text.str().find("so these cannot be given:\n    table size and peak\n    requests sent\n"),
              std::string::npos)
        << text.str();
    EXPECT_EQ(text.str().find("requests sent  answers"), std::string::npos);
    const Json json = logs::fieldLogJson(log);
    EXPECT_FALSE(json.contains("radios"));
    EXPECT_EQ(json["unavailable"][1], "requests sent");
}

// A compressed log cut short, as an access point that stopped while writing
// leaves it: the lines before the cut are read, and the cut is told.
TEST(SimLogs, ACompressedLogCutShortIsReadUpToTheCut)
{
    std::string many;
    for (int i = 0; i < 2000; ++i) {
        many += "line " + std::to_string(i) + "\n";
    }
    const std::string cut = plainAndPacked("zep_sim_logs_cut", many).second;
    std::filesystem::resize_file(cut, std::filesystem::file_size(cut) / 2);
    u64 lines = 0;
    EXPECT_FALSE(logs::readLogLines(cut, {[&](std::string_view l, u64 no) {
        EXPECT_EQ(l.substr(0, 5), "line ");
        lines = no;
    }, {}}));
    EXPECT_GT(lines, 100u);
    EXPECT_LT(lines, 2000u);
    EXPECT_THROW(logs::readLogLines(cut + ".none", {[](auto, auto) {}, {}}), logs::LogReadError);
}

std::string summaryOf(const std::string &scenarioText)
{
    RunOptions opt;
    opt.timeline = false;
    return play(scenarioText, opt).human;
}

std::string rowOf(const std::string &summary, const std::string &start)
{
    const std::size_t at = summary.find("\n  " + start);
    return at == std::string::npos ? "" : summary.substr(at + 3, summary.find('\n', at + 1) - at - 3);
}

// Each way out of the table, named from the lines before the removal: a host's
// stop, a station leaving, a count run out, an automatic measurement given up
// (and moved to TPC), and room made for a heavier host.
TEST(SimLogs, RunSummaryNamesWhyEachNodeLeft)
{
    const std::string demo = summaryOf(std::string(demoScenarioText()));
    const std::pair<const char *, const char *> kRows[] = {
        {"00:11:22:33:44:01  lm        0  0+2        1        1  stop ", "29       0       28       97%"},
        {"00:11:22:33:44:0a  lm        1  2          1        1  leave ", "gone"},
        {"00:11:22:33:44:03  tpc       0  0          1        1  done ", "gone"},
        {"00:11:22:33:44:04  tpc       0  2          1        1  give-up ", "gone, moved to TPC"},
    };
    for (const auto &[start, rest] : kRows) {
        const std::string row = rowOf(demo, start);
        EXPECT_NE(row.find(rest), std::string::npos) << start << "\n" << demo;
    }

    const std::string evicted = summaryOf(R"(
host: {radios: 1}
stations:
  - {mac: "00:11:22:00:00:00", radio: 0, vap: 1, caps: [lm], repeat: 129}
steps:
  - start
  - send: {id: 182, host: 2, radioId: 0, entries: [{staMac: "00:11:22:00:00:00", measId: lm, repeat: 128}]}
  - send: {id: 182, host: 0, radioId: 0, entries: [{staMac: "00:11:22:00:00:80", measId: lm}]}
)");
    EXPECT_NE(rowOf(evicted, "00:11:22:00:00:80  lm        0  0          1        0").find("in table"),
              std::string::npos) << evicted;
    EXPECT_NE(evicted.find("  eviction "), std::string::npos) << evicted;
}


std::map<std::string, double> answeredShares(const logs::FieldLog &log)
{
    std::map<std::string, double> shares;
    for (const logs::NodeFigures &n : log.nodes()) {
        shares[macText(n.sta) + " " + logs::measText(n.measId)] =
            static_cast<double>(n.reports) / static_cast<double>(std::max<u64>(n.requests, 1));
    }
    return shares;
}

logs::FieldLog playText(const std::string &text)
{
    return readBack(play(text).log);
}

// A scenario written from a log plays the same population again: each
// station answers about as often as it did (2,000 requests each, so a few
// percent is several standard deviations of the draw).
TEST(SimLogs, ScenarioFromALogPlaysThePopulationAgain)
{
    const logs::FieldLog original = playText(R"(
host: {radios: 2}
stations:
  - {mac: "00:11:22:33:44:01", radio: 0, vap: 1, caps: [lm], reply: {rate: 1.0}}
  - {mac: "00:11:22:33:44:02", radio: 0, vap: 1, caps: [lm], reply: {rate: 0.7}}
  - {mac: "00:11:22:33:44:03", radio: 1, vap: 1, caps: [tpc], reply: {rate: 0.4}}
  - {mac: "00:11:22:33:44:04", radio: 1, vap: 1, caps: [lm, tpc], reply: {rate: 0.1}}
steps:
  - start
  - send: {id: 182, host: 0, radioId: 0, entries: [{staMac: "00:11:22:33:44:01", measId: lm}, {staMac: "00:11:22:33:44:02", measId: lm}]}
  - send: {id: 182, host: 1, radioId: 1, entries: [{staMac: "00:11:22:33:44:03", measId: tpc}, {staMac: "00:11:22:33:44:04", measId: tpc}]}
  - advance: 2000000
  - stop
)");
    std::ostringstream written;
    logs::writeScenario(written, original);
    const logs::FieldLog replayed = playText(written.str());
    const auto before = answeredShares(original);
    const auto after = answeredShares(replayed);
    ASSERT_EQ(before.size(), 4u) << written.str();
    for (const auto &[node, share] : before) {
        ASSERT_TRUE(after.contains(node)) << node << "\n" << written.str();
        EXPECT_NEAR(after.at(node), share, 0.03) << node << "\n" << written.str();
    }
    for (const logs::NodeFigures &n : replayed.nodes()) {
        EXPECT_NEAR(static_cast<double>(n.requests), 2000.0, 2.0) << macText(n.sta);
        EXPECT_EQ(n.hosts, macText(n.sta) < "00:11:22:33:44:03" ? 1u : 2u) << macText(n.sta);
    }
}

}  // namespace
}  // namespace zep::sim

namespace zep::sim::logs {
namespace {

constexpr const char *kPrefix = "Dec  1 00:00:00 ap zep:  ";

// What the reader must take from one syslog line: the function, the station,
// the severity tag and the text without its line end; or nothing at all.
TEST(LogReader, ModuleLinesAreTakenOnlyWhenWellFormed)
{
    struct Case {
        std::string line;
        bool taken;
        std::string_view func = {};
        std::optional<u64> sta = {};
        Tag tag = Tag::None;
        std::string_view text = {};
    };
    const Case kCases[] = {
        {"[note]ZEP_STAMEAS_Add[174][STA_MEAS][0011-2233-44aF]: Radio 0 total 1.\r\n", true,
         "ZEP_STAMEAS_Add", 0x0011223344afull, Tag::Note, "Radio 0 total 1."},
        {"[error]ZEP_STAMEAS_Cost[59]: msg err 3.\r", true, "ZEP_STAMEAS_Cost", std::nullopt, Tag::Error,
         "msg err 3."},
        {"ZEP_STAMEAS_Untagged[9]: text", true, "ZEP_STAMEAS_Untagged", std::nullopt, Tag::None, "text"},
        {"[note]ZEP_STAMEAS_Add[174][STA_MEAS][0011-2233-44g1]: Radio 0", false},  // not a MAC
        {"[note]ZEP_STAMEAS_Add[174][STA_MEAS][0011-2233-4401: Radio 0", false},
        {"[note]ZEP_STAMEAS_Add[]: no line number", false},
        {"[note]ZEP_STAMEAS_Add[12] missing colon", false},
        // Another program naming one of the module's variables, with a bracket far behind.
        {"netcfg[88]: ZEP_STA_LIMIT is applied to every radio of the access point, see zone[2]: ok", false},
    };
    for (const Case &c : kCases) {
        const std::string line = kPrefix + c.line;
        const std::optional<ModuleLine> m = findModuleLine(line);
        ASSERT_EQ(m.has_value(), c.taken) << line;
        if (m) {
            EXPECT_EQ(m->func, c.func) << line;
            EXPECT_EQ(m->sta, c.sta) << line;
            EXPECT_EQ(m->tag, c.tag) << line;
            EXPECT_EQ(m->text, c.text) << line;
        }
    }
}

// One fault with other values is one kind of error. Errors at most ten lines
// apart form a run, and five make a burst, also when the log ends in one.
TEST(LogReader, ErrorsGroupByKindAndCloseOnesMakeABurst)
{
    std::string text;
    const auto error = [&text](int n) {
        text += std::string(kPrefix) + "[error]ZEP_STAMEAS_LmReportMsgProc[84]: " +
                (n % 2 != 0 ? "msg err 1234, msgLen 7." : "msg err 5, msgLen 12.") + "\r\n";
    };
    const std::string other = "Dec  1 00:00:00 ap kernel: wlan1: link becomes ready\n";
    for (int i = 0; i < 4; ++i) {  // lines 1 to 4: four, too few
        error(i);
    }
    for (int i = 0; i < 5; ++i) {  // lines 15, 25, ..., 55
        for (int k = i == 0 ? 10 : 9; k > 0; --k) {
            text += other;
        }
        error(i);
    }
    const FieldLog log = readBack(text);
    ASSERT_EQ(log.errors().size(), 1u);
    const auto &[kind, e] = *log.errors().begin();
    EXPECT_EQ(kind, "ZEP_STAMEAS_LmReportMsgProc: msg err #, msgLen #.");
    EXPECT_EQ(e.example, "ZEP_STAMEAS_LmReportMsgProc: msg err 5, msgLen 12.");
    using Figures = std::tuple<u64, u64, u64>;
    EXPECT_EQ(std::tie(e.count, e.firstLine, e.lastLine), Figures(9, 1, 55));
    ASSERT_EQ(log.bursts().size(), 1u);
    const Burst &b = log.bursts()[0];
    EXPECT_EQ(std::tie(b.firstLine, b.lastLine, b.errors), Figures(15, 55, 5));
}


std::string noteOf(const char *func, const char *mac, const std::string &text)
{
    return std::string(kPrefix) + "[note]" + func + "[1][STA_MEAS][" + mac + "]: " + text + ".\r\n";
}

// A node added to or deleted from its radio's table.
constexpr const char *kAdded = "add into table, total 1";
constexpr const char *kDeleted = "delete from table, left 0";
std::string nodeLine(const char *mac, int radio, int measId, const char *change)
{
    return noteOf("ZEP_STAMEAS_MeasNode", mac,
                  "Radio " + std::to_string(radio) + " measId[" + std::to_string(measId) + "] " + change);
}

// Figures the reader can only get from the lines before the one that counts:
// why a node left, which node a report belongs to, which radio a send was for.
TEST(LogReader, FiguresFollowFromTheLinesBefore)
{
    const char *const a = "0011-2233-4401";
    const char *const b = "0011-2233-4402";
    const std::string giveUp =
        noteOf("ZEP_STAMEAS_AutoMeasResultChk", a, "sta dont support measId 167, reqNum 3 reportNum 0");
    const std::string lastSend = noteOf("ZEP_STAMEAS_SendMeasureReq", b, "Send No.4 measure request 169 successful, total 4");
    const std::string answered = noteOf("ZEP_STAMEAS_FillExt", a, "bssid:[0011-2233-44ff] eirp:20 scanErip:18");
    const std::string statsHeader =
        std::string(kPrefix) + "ZEP_STAMEAS_LogComeasStats[125]: [STA-COMEAS-LOG] STA Comeas Stats [Radio:1]:";
    // Each node: "measId on radio: adds/removals, reports, why it last went; ".
    const auto nodesOf = [](const FieldLog &l) {
        std::string s;
        for (const NodeFigures &n : l.nodes()) {
            s += std::to_string(n.measId) + " on " + std::to_string(n.radio) + ": " + std::to_string(n.adds) +
                 "/" + std::to_string(n.removals) + ", " + std::to_string(n.reports) + ", " +
                 removalName(n.lastRemoval) + "; ";
        }
        return s;
    };
    const auto statsOf = [](const FieldLog &l) {
        std::string s;
        for (const StatsLine &st : l.statsLines()) {
            s += "radio " + std::to_string(st.radio) + ": " + std::to_string(st.sent) + " sent, " +
                 std::to_string(st.received) + " received at " + std::to_string(st.timestampMs);
        }
        return s;
    };
    struct Story {
        const char *what;
        std::vector<std::string> lines;
        std::function<std::string(const FieldLog &)> figure;
        std::string expected;
    };
    const Story kStories[] = {
        {"the given-up node", {nodeLine(a, 0, 167, kAdded), giveUp, nodeLine(a, 0, 167, kDeleted)},
         nodesOf, "167 on 0: 1/1, 0, give-up; "},
        {"another node in the same walk", {nodeLine(b, 1, 169, kAdded), giveUp, nodeLine(b, 1, 169, kDeleted)},
         nodesOf, "169 on 1: 1/1, 0, done; "},
        {"a node after its last send", {nodeLine(b, 1, 169, kAdded), lastSend, nodeLine(b, 1, 169, kDeleted)},
         nodesOf, "169 on 1: 1/1, 0, done; "},
        {"a report that could not be forwarded",
         {nodeLine(a, 1, 167, kAdded), answered,
          std::string(kPrefix) + "[error]ZEP_STAMEAS_FillExt[2][STA_MEAS][" + a + "]: send measure report fail 5.\r"},
         [](const FieldLog &l) {
             const RadioFigures &r = l.radios().at(1);
             return std::to_string(r.answers) + " answered, " + std::to_string(r.reports) + " forwarded";
         },
         "1 answered, 0 forwarded"},
        {"a report quoting neither node's count",
         {nodeLine(a, 0, 169, kAdded), nodeLine(a, 0, 167, kAdded), noteOf("ZEP_STAMEAS_Rpt", a, "meas report received 1/7")},
         nodesOf, "169 on 0: 1/0, 0, ; 167 on 0: 1/0, 1, ; "},
        // A node added again keeps its row; an id 2^16 above another lands on
        // the same hash and is a row of its own; a station's answers count on
        // the radio it was last added on.
        {"a station's nodes across a removal and a move",
         {nodeLine(a, 0, 167, kAdded), nodeLine(a, 0, 167 + 65536, kAdded), nodeLine(a, 0, 167, kDeleted),
          nodeLine(a, 1, 167, kAdded), answered},
         [&](const FieldLog &l) { return nodesOf(l) + std::to_string(l.radios().at(1).answers) + " answered on 1"; },
         "167 on 1: 2/1, 0, other; 65703 on 0: 1/0, 0, ; 1 answered on 1"},
        {"a co-measure send of a scan round",
         {std::string(kPrefix) + "ZEP_STAMEAS_SendAllCoMeasReq[626]: radio 1 channel 36 trigger co-measure, sendCnt 1.\r\n",
          noteOf("ZEP_STAMEAS_SendAndDelMeasReq", b, "Send No.0 co-measure request 173 successful")},
         [](const FieldLog &l) { return l.radios().contains(1) ? std::to_string(l.radios().at(1).comeas) : "none"; },
         "1"},
        {"hourly statistics on one line", {statsHeader + " sendCoMeasReqCount[5] rcvCoMeasReportCount[4] logTimestamp[7200000]\r\n"},
         statsOf, "radio 1: 5 sent, 4 received at 7200000"},
        {"hourly statistics split by the syslog",
         {statsHeader + "\r\n", kPrefix + std::string("sendCoMeasReqCount[5]\r\n"),
          kPrefix + std::string("rcvCoMeasReportCount[4]\r\n"), kPrefix + std::string("logTimestamp[7200000]\r\n")},
         statsOf, "radio 1: 5 sent, 4 received at 7200000"},
    };
    for (const Story &s : kStories) {
        std::string text;
        for (const std::string &line : s.lines) {
            text += line;
        }
        const FieldLog log = readBack(text);
        EXPECT_EQ(log.unparsedLines(), 0u) << s.what;
        EXPECT_EQ(s.figure(log), s.expected) << s.what;
    }
}

}  // namespace
// The field log's tables and JSON name each station as the play's do (the
// station table's tests hold their rows to the play's), never in the module's
// own "0011-2233-4401" spelling.
TEST(SimLogs, FieldLogAndPlayNameStationsAlike)
{
    const logs::FieldLog log = playText(std::string(demoScenarioText()));
    std::ostringstream text;
    logs::printFieldLog(text, log, false);
    const Json json = logs::fieldLogJson(log);
    ASSERT_FALSE(json["stations"].empty()) << json.dump();
    for (const Json &row : json["stations"]) {
        const std::string mac = row["sta"].get<std::string>();
        EXPECT_NE(text.str().find("\n  " + mac + "  "), std::string::npos) << mac << "\n" << text.str();
    }
    for (const std::string &out : {text.str(), json.dump()}) {
        EXPECT_EQ(out.find("0011-2233-"), std::string::npos) << out;
    }
    EXPECT_EQ(macText(u64{0x00112233440b}), "00:11:22:33:44:0b");
}

}  // namespace zep::sim::logs
