// zep-sim logs against the run itself: a scenario's log, read back, must give
// the figures the run counted from the messages, however the log was mixed
// with other programs' lines or cut down on the access point.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "logs/field_log.hpp"
#include "logs/log_source.hpp"
#include "logs/log_view.hpp"
#include "logs/scenario_out.hpp"
#include "out/syslog_writer.hpp"
#include "run/runner.hpp"
#include "scenario/demo.hpp"
#include "scenario/scenario_reader.hpp"
#include "sta_meas_msg.h"

namespace zep::sim {
namespace {

struct Played {
    std::unique_ptr<Summary> summary;
    std::string log;
};

Played playWithLog(const std::filesystem::path &file, std::optional<u32> logLevel = std::nullopt)
{
    const Scenario sc = readScenarioFile(file.string());
    std::ostringstream log;
    SyslogWriter syslog(log);
    Played p{std::make_unique<Summary>(sc.profile.radios), ""};
    RunOptions opt;
    opt.libPath = ZEP_SIM_TEST_LIB;
    opt.logLevel = logLevel;
    opt.sinks = {&syslog, p.summary.get()};
    Runner(sc, opt).run();
    p.log = log.str();
    return p;
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
    std::string line;
    while (std::getline(in, line)) {
        while (rng() % 3 == 0) {
            out += kOther[rng() % std::size(kOther)];
            out += '\n';
        }
        const std::size_t body = line.find(" zep: ") + 6;
        out += "2026-12-07T10:00:03.250+00:00 ap-east zepd[812]: " + line.substr(body) + "\r\n";
    }
    return out;
}

u64 at(const std::map<u32, logs::RadioFigures> &m, u32 r, u64 logs::RadioFigures::*f)
{
    const auto it = m.find(r);
    return it == m.end() ? 0 : it->second.*f;
}

void expectSameFigures(const Summary &run, const logs::FieldLog &log, const std::string &what)
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
    const u64 unplaced = at(log.radios(), STAMEAS_ALL_RADIO, &logs::RadioFigures::answers);
    u64 answers = 0;
    for (const auto &[r, s] : run.radios()) {
        const std::string where = what + ", radio " + std::to_string(r);
        EXPECT_EQ(at(log.radios(), r, &logs::RadioFigures::requests), s.requests) << where;
        answers += s.answers;
        EXPECT_LE(at(log.radios(), r, &logs::RadioFigures::answers), s.answers) << where;
        EXPECT_GE(at(log.radios(), r, &logs::RadioFigures::answers) + unplaced, s.answers) << where;
        EXPECT_EQ(at(log.radios(), r, &logs::RadioFigures::reports), s.reports) << where;
        EXPECT_EQ(at(log.radios(), r, &logs::RadioFigures::comeas), s.comeas) << where;
        EXPECT_EQ(at(log.radios(), r, &logs::RadioFigures::scans), s.scans) << where;
        // The dump that the run reads its table size from lists at most 64 nodes.
        if (s.nodes && *s.nodes < 64 && log.radios().contains(r)) {
            EXPECT_EQ(log.radios().at(r).tableSize.value_or(0), *s.nodes) << where;
        }
    }
    u64 logAnswers = 0;
    for (const auto &[r, f] : log.radios()) {
        logAnswers += f.answers;
    }
    EXPECT_EQ(logAnswers, answers) << what;
    EXPECT_EQ(log.nbBlocks(), run.nbBlocks()) << what;
}

std::vector<std::filesystem::path> scenarios()
{
    std::vector<std::filesystem::path> files;
    for (const auto &e : std::filesystem::directory_iterator(ZEP_SIM_SCENARIO_DIR)) {
        const std::string name = e.path().stem().string();
        if (e.path().extension() == ".yaml" && name != "load-day" && name != "soak") {
            files.push_back(e.path());
        }
    }
    return files;
}

TEST(SimLogs, EveryScenarioReadsBackToTheRunsOwnFigures)
{
    unsigned seed = 1;
    for (const auto &file : scenarios()) {
        const Played p = playWithLog(file);
        const std::string name = file.filename().string();
        expectSameFigures(*p.summary, readBack(p.log), name);
        expectSameFigures(*p.summary, readBack(mixed(p.log, seed++)), name + " (mixed)");
    }
}

TEST(SimLogs, FilteredNotesNameTheMissingFiguresInsteadOfZeros)
{
    const Played p = playWithLog(std::filesystem::path(ZEP_SIM_SCENARIO_DIR) / "faults.yaml", 1);
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

TEST(SimLogs, GzipAndPlainFilesGiveTheSameLines)
{
    const std::string text = "first line\r\nsecond\n\nlast without a line feed";
    const auto dir = std::filesystem::temp_directory_path();
    const std::string plain = (dir / "zep_sim_logs_plain.log").string();
    const std::string packed = (dir / "zep_sim_logs_packed.log.gz").string();
    std::ofstream(plain, std::ios::binary) << text;
    gzFile gz = gzopen(packed.c_str(), "wb");
    gzwrite(gz, text.data(), static_cast<unsigned>(text.size()));
    gzclose(gz);
    for (const std::string &path : {plain, packed}) {
        std::vector<std::string> lines;
        logs::readLogLines(path, [&](std::string_view l, u64 no) {
            EXPECT_EQ(no, lines.size() + 1);
            lines.emplace_back(l);
        });
        EXPECT_EQ(lines, (std::vector<std::string>{"first line\r", "second", "", "last without a line feed"}))
            << path;
    }
    EXPECT_THROW(logs::readLogLines((dir / "zep_sim_logs_none.log").string(), [](auto, auto) {}),
                 logs::LogReadError);
}

}  // namespace
}  // namespace zep::sim

namespace zep::sim {
namespace {

std::string summaryOf(const std::string &scenarioText)
{
    const Scenario sc = readScenarioText(scenarioText, "t.yaml");
    std::ostringstream human;
    RunOptions opt;
    opt.libPath = ZEP_SIM_TEST_LIB;
    opt.timeline = false;
    opt.human = &human;
    Runner(sc, opt).run();
    return human.str();
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
        {"0011-2233-4401  lm        0  0+2        1        1  stop ", "29       0       28       97%"},
        {"0011-2233-440a  lm        1  2          1        1  leave ", "gone"},
        {"0011-2233-4403  tpc       0  0          1        1  done ", "gone"},
        {"0011-2233-4404  tpc       0  2          1        1  give-up ", "gone, moved to TPC"},
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
    EXPECT_NE(rowOf(evicted, "0011-2200-0080  lm        0  0          1        0").find("in table"),
              std::string::npos) << evicted;
    EXPECT_NE(evicted.find("  eviction "), std::string::npos) << evicted;
}

}  // namespace
}  // namespace zep::sim

namespace zep::sim {
namespace {

std::map<std::string, double> answeredShares(const logs::FieldLog &log)
{
    std::map<std::string, double> shares;
    for (const logs::NodeFigures &n : log.nodes()) {
        shares[logs::macText(n.sta) + " " + logs::measText(n.measId)] =
            static_cast<double>(n.reports) / static_cast<double>(std::max<u64>(n.requests, 1));
    }
    return shares;
}

logs::FieldLog playText(const std::string &text)
{
    const Scenario sc = readScenarioText(text, "t.yaml");
    std::ostringstream log;
    SyslogWriter syslog(log);
    RunOptions opt;
    opt.libPath = ZEP_SIM_TEST_LIB;
    opt.sinks = {&syslog};
    Runner(sc, opt).run();
    return readBack(log.str());
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
        EXPECT_NEAR(static_cast<double>(n.requests), 2000.0, 2.0) << logs::macText(n.sta);
        EXPECT_EQ(n.hosts, logs::macText(n.sta) < "0011-2233-4403" ? 1u : 2u) << logs::macText(n.sta);
    }
}

}  // namespace
}  // namespace zep::sim
