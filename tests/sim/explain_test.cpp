// zep-sim explain: a station's story from a play, word for word; the same
// story read back from the play's log, where a log can tell it; one
// measurement's story alone; and the refusals of a station never seen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "explain/explain_cli.hpp"
#include "logs/story_log.hpp"
#include "out/syslog_writer.hpp"
#include "run/runner.hpp"
#include "run/story_sink.hpp"
#include "scenario/scenario_reader.hpp"
#include "sta_meas_msg.h"

namespace zep::sim {
namespace {

const Mac kStation{0x00, 0x11, 0x22, 0x33, 0x44, 0x01};

struct Told {
    std::string play;  // the story of the play
    std::string log;   // the story of the play's log, read back
};

std::string text(const Story &story, u32 measId = 0)
{
    std::ostringstream out;
    printStory(out, story, measId, "t.yaml");
    return out.str();
}

std::filesystem::path tempFile(const std::string &name, const std::string &content)
{
    const std::filesystem::path file = std::filesystem::path(testing::TempDir()) / name;
    std::ofstream(file) << content;
    return file;
}

Told tell(const std::string &yaml, u32 measId = 0)
{
    const Scenario sc = readScenarioText(yaml, "t.yaml");
    StorySink sink(kStation);
    std::ostringstream log;
    SyslogWriter syslog(log);
    RunOptions opt;
    opt.libPath = ZEP_SIM_TEST_LIB;
    opt.sinks = {&sink, &syslog};
    Runner runner(sc, opt);
    sink.useLedger(runner.ledger());
    runner.run();
    // Named by the test, as ctest runs the tests of this file side by side.
    const std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::filesystem::path file = tempFile("explain_" + name + ".log", log.str());
    return {text(sink.story(), measId), text(logs::storyOfLog(file.string(), kStation).story, measId)};
}

// The play's story as its log's reader dates it: by the syslog date of each
// line, which is the play's time to the second.
std::string inLogTimes(const std::string &play)
{
    const std::regex time(R"(( *)(\d+)\.000( s)?(  )?)");
    std::string out;
    auto from = play.cbegin();
    for (std::sregex_iterator it(play.begin(), play.end(), time), end; it != end; ++it) {
        const std::smatch &m = *it;
        const bool column = m[4].matched;  // the time before a sentence, right-aligned
        out.append(from, m[0].first);
        out += (column ? "  " : m[1].str()) + syslogDate(std::stoull(m[2].str()) * 1000) + (column ? "  " : "");
        from = m[0].second;
    }
    return out.append(from, play.cend());
}

// Host 1 every second, host 2 (heavier) three times, host 1 stops, host 0
// measures automatically every 2 s, and the station leaves.
const char *const kStopAndLeave = R"(
stations: [{mac: "00:11:22:33:44:01", radio: 0, vap: 1, caps: [lm], reply: {delayMs: 20}}]
steps:
  - start
  - send: {id: 182, host: 1, entries: [{staMac: "00:11:22:33:44:01", measId: lm, measReq: {tokenId: 11}, sched: {isLoop: 1, periodInSec: 1}}]}
  - advance: 5000
  - send: {id: 182, host: 2, entries: [{staMac: "00:11:22:33:44:01", measId: lm, measReq: {tokenId: 22}, sched: {isLoop: 0, periodInSec: 1, count: 3}}]}
  - advance: 5000
  - send: {id: 183, host: 1, entries: [{staMac: "00:11:22:33:44:01", measId: lm}]}
  - advance: 2000
  - send: {id: 182, host: 0, entries: [{staMac: "00:11:22:33:44:01", measId: auto, sched: {isLoop: 1, periodInSec: 2}}]}
  - advance: 6000
  - staLeave: "00:11:22:33:44:01"
  - advance: 2000
)";

// A log says nothing of the host a request served, nor of a count used up;
// with every share due each second its reader tells them all the same.
TEST(Explain, APlayTellsHostsRequestsStopAndLeaveAndItsLogTheSame)
{
    const Told told = tell(kStopAndLeave);
    // The request at 10 s is answered after the stop took its node: no report counts.
    EXPECT_EQ(told.play, R"(Station 00:11:22:33:44:01 in t.yaml

Link measurement (request 167)
     0.000  Host 1 added it: loop every 1s.
     2.000  From 2.000 s to 5.000 s, 4 requests went out for host 1, 4 answered.
     5.000  Host 2 added it: 3x every 1s.
     6.000  From 6.000 s to 8.000 s, 3 requests went out for host 2, 3 answered.
     8.000  Host 2's count ran out.
     9.000  From 9.000 s to 10.000 s, 2 requests went out for host 1, 1 answered.
    10.000  Host 1 stopped it; no host was left, so its node was removed.
    12.000  Host 0 added it for automatic measurement: loop every 2s.
    15.000  From 15.000 s to 17.000 s, 2 requests went out for host 0, 2 answered.
    18.000  The station left.
  At the end it was not measured: the station left at 18.000 s and no host asked again.
)");
    EXPECT_EQ(told.log, inLogTimes(told.play));
    EXPECT_NE(told.log.find("\n  Jan  1 00:00:02  From Jan  1 00:00:02 to Jan  1 00:00:05, 4 requests went out "
                            "for host 1, 4 answered.\n"),
              std::string::npos)
        << told.log;
}

// Host 2 every other second, host 1 every second: the ledger knows which was
// served each time; a log cannot tell it.
TEST(Explain, WhomEachRequestServedOnlyAPlayTells)
{
    const Told told = tell(R"(
stations: [{mac: "00:11:22:33:44:01", radio: 0, vap: 1, caps: [lm], reply: {delayMs: 20}}]
steps:
  - start
  - send: {id: 182, host: 1, entries: [{staMac: "00:11:22:33:44:01", measId: lm, measReq: {tokenId: 11}, sched: {isLoop: 1, periodInSec: 1}}]}
  - send: {id: 182, host: 2, entries: [{staMac: "00:11:22:33:44:01", measId: lm, measReq: {tokenId: 22}, sched: {isLoop: 1, periodInSec: 2}}]}
  - advance: 9000
)");
    const std::string start = R"(Station 00:11:22:33:44:01 in t.yaml

Link measurement (request 167)
     0.000  Host 1 added it: loop every 1s.
     0.000  Host 2 added it: loop every 2s.
     2.000  From 2.000 s to 9.000 s, 8 requests went out )";
    const std::string end = R"(, 7 answered.
  At the end it was measured for host 1 (loop every 1s) and host 2 (loop every 2s).
)";
    EXPECT_EQ(told.play, start + "(4 for host 2 and 4 for host 1)" + end);
    EXPECT_EQ(told.log, inLogTimes(start + "for a host the source does not tell" + end));
}

// The station's node is the lightest of a full table when host 0 starts a new one.
TEST(Explain, AnEvictionNamesTheHostWhoseStartMadeRoom)
{
    const Told told = tell(R"(
stations: [{mac: "00:11:22:33:44:01", radio: 0, vap: 1, caps: [lm], reply: {delayMs: 20}}]
steps:
  - start
  - send: {id: 182, host: 1, entries: [{staMac: "00:11:22:33:44:01", measId: lm, sched: {isLoop: 1, periodInSec: 1}}]}
  - send: {id: 182, host: 1, entries: [{staMac: "00:11:22:00:00:00", measId: lm, sched: {isLoop: 1, periodInSec: 1}, repeat: 127}]}
  - advance: 3000
  - send: {id: 182, host: 0, entries: [{staMac: "00:11:22:00:10:00", measId: lm, sched: {isLoop: 1, periodInSec: 1}}]}
  - advance: 2000
)");
    EXPECT_EQ(told.play, R"(Station 00:11:22:33:44:01 in t.yaml

Link measurement (request 167)
     0.000  Host 1 added it: loop every 1s.
     2.000  From 2.000 s to 3.000 s, 2 requests went out for host 1, 1 answered.
     3.000  Its node was evicted to make room for host 0's start.
  At the end it was not measured: its node was evicted at 3.000 s by host 0's start and no host asked again.
)");
    EXPECT_EQ(told.log, inLogTimes(told.play));
}

// A station that answers nothing: automatic measurement gives its link
// measurement up, moves to TPC, and gives that up too.
const char *const kSilent = R"(
stations: [{mac: "00:11:22:33:44:01", radio: 0, vap: 1, caps: [lm, tpc]}]
steps:
  - start
  - send: {id: 182, host: 0, entries: [{staMac: "00:11:22:33:44:01", measId: auto, sched: {isLoop: 1, periodInSec: 1}}]}
  - advance: 12000
)";

TEST(Explain, OneMeasurementAloneOrBothLabelled)
{
    const std::string lm = R"(
Link measurement (request 167)
     0.000  Host 0 added it for automatic measurement: loop every 1s.
     2.000  From 2.000 s to 4.000 s, 3 requests went out for host 0, 0 answered.
     5.000  Automatic measurement was given up: none of its requests had been answered; it moved to TPC.
  At the end it was not measured: automatic measurement was given up at 5.000 s (moved to TPC) and no host asked again.
)";
    const std::string tpc = R"(
TPC (request 169)
     5.000  Host 0's automatic measurement moved here from the link measurement: loop every 1s.
     6.000  From 6.000 s to 8.000 s, 3 requests went out for host 0, 0 answered.
     9.000  Automatic measurement was given up: none of its requests had been answered.
  At the end it was not measured: automatic measurement was given up at 9.000 s and no host asked again.
)";
    const std::string header = "Station 00:11:22:33:44:01 in t.yaml\n";
    const Told both = tell(kSilent);
    EXPECT_EQ(both.play, header + lm + tpc);
    EXPECT_EQ(both.log, inLogTimes(both.play));
    EXPECT_EQ(tell(kSilent, STAMEAS_MSG_LM_REQ).play, header + lm);
    EXPECT_EQ(tell(kSilent, STAMEAS_MSG_TPC_REQ).play, header + tpc);
}

struct Refusal {
    int status;
    std::string out;
    std::string err;
};

Refusal explain(std::vector<std::string> args)
{
    args.insert(args.begin(), "explain");
    args.push_back(std::string("--lib=") + ZEP_SIM_TEST_LIB);
    std::vector<char *> argv;
    for (std::string &a : args) {
        argv.push_back(a.data());
    }
    std::ostringstream out;
    std::ostringstream err;
    std::streambuf *const oldOut = std::cout.rdbuf(out.rdbuf());
    std::streambuf *const oldErr = std::cerr.rdbuf(err.rdbuf());
    const int status = explainMain(static_cast<int>(argv.size()), argv.data());
    std::cout.rdbuf(oldOut);
    std::cerr.rdbuf(oldErr);
    return {status, out.str(), err.str()};
}

TEST(Explain, AStationNeverSeenOrNotAMacIsRefused)
{
    const std::filesystem::path file = tempFile("explain_refusal.yaml", kSilent);
    const Refusal unseen = explain({"00:11:22:33:44:99", file.string()});
    EXPECT_EQ(unseen.status, 2);
    EXPECT_EQ(unseen.err, "zep-sim explain: station 00:11:22:33:44:99 has no measurement in " + file.string() + "\n");
    EXPECT_EQ(unseen.out, "");
    const Refusal malformed = explain({"00:11:22:33:44", file.string()});
    EXPECT_EQ(malformed.status, 2);
    EXPECT_EQ(malformed.err,
              "zep-sim explain: \"00:11:22:33:44\" is not a MAC address; write it as 00:11:22:33:44:01\n");
    const Refusal seen = explain({"00-11-22-33-44-01", "--meas", "tpc", file.string()});
    EXPECT_EQ(seen.status, 0) << seen.err;
    EXPECT_EQ(seen.out, "Station 00:11:22:33:44:01 in " + file.string() + "\n" +
                            tell(kSilent, STAMEAS_MSG_TPC_REQ).play.substr(sizeof "Station 00:11:22:33:44:01 in t.yaml"));
}

// Everything after the story's first line, which names its source.
std::string afterHeader(const std::string &story)
{
    return story.substr(story.find('\n'));
}

TEST(Explain, AReplayOfTheRecordingTellsThePlaysStory)
{
    const std::filesystem::path scenario = tempFile("explain_replay.yaml", kStopAndLeave);
    const std::string rec = (std::filesystem::path(testing::TempDir()) / "explain_replay.rec").string();
    const std::string record = std::string(ZEP_SIM_TEST_PROGRAM) + " -q --lib " + ZEP_SIM_TEST_REC_LIB +
                               " --record " + rec + " " + scenario.string() + " > /dev/null";
    ASSERT_EQ(std::system(record.c_str()), 0) << record;
    const Refusal replayed = explain({"00:11:22:33:44:01", "--replay", rec});
    EXPECT_EQ(replayed.status, 0) << replayed.err;
    EXPECT_EQ(replayed.out.substr(0, replayed.out.find('\n')), "Station 00:11:22:33:44:01 in " + rec);
    EXPECT_EQ(afterHeader(replayed.out), afterHeader(tell(kStopAndLeave).play));
}

// A log's own times: an ISO 8601 stamp as written (its gaps read to the
// millisecond), and the line's number where a line carries no date.
TEST(Explain, ALogIsDatedAsItsLinesAre)
{
    const std::string iso =
        "2026-12-07T10:00:00.250+00:00 ap zepd[8]: ZEP_STAMEAS_MeasStartProc[481]: Host 1 start measure, number 1 radio 0.\n"
        "2026-12-07T10:00:00.250+00:00 ap zepd[8]:  [note]ZEP_STAMEAS_AddMeasNode[174][STA_MEAS][0011-2233-4401]: "
        "Radio 0 measId[167] add into table, total 1.\n"
        "2026-12-07T10:00:02.250+00:00 ap zepd[8]:  [note]ZEP_STAMEAS_SendMeasureReq[199][STA_MEAS][0011-2233-4401]: "
        "Send No.0 measure request 167 successful, total 0.\n"
        "2026-12-07T10:00:03.250+00:00 ap zepd[8]:  [note]ZEP_STAMEAS_SendMeasureReq[199][STA_MEAS][0011-2233-4401]: "
        "Send No.0 measure request 167 successful, total 1.\n"
        "2026-12-07T10:00:05.750+00:00 ap zepd[8]:  [note]ZEP_STAMEAS_SendMeasureReq[199][STA_MEAS][0011-2233-4401]: "
        "Send No.0 measure request 167 successful, total 2.\n";
    const Story dated = logs::storyOfLog(tempFile("explain_iso.log", iso).string(), kStation).story;
    // The third request comes 2.5 s after the second, twice their pace: a run of its own.
    EXPECT_EQ(afterHeader(text(dated)), R"(

Link measurement (request 167)
  2026-12-07T10:00:02.250+00:00  From 2026-12-07T10:00:02.250+00:00 to 2026-12-07T10:00:03.250+00:00, 2 requests went out for a host the source does not tell, 0 answered.
  2026-12-07T10:00:05.750+00:00  1 request went out for a host the source does not tell, unanswered.
  At the end its node was still in the table, for hosts the source does not name.
)");
    std::string bare;
    for (std::size_t at = 0; at < iso.size(); at = iso.find('\n', at) + 1) {
        bare += iso.substr(iso.find(": ", at) + 2, iso.find('\n', at) + 1 - iso.find(": ", at) - 2);
    }
    const Story numbered = logs::storyOfLog(tempFile("explain_bare.log", bare).string(), kStation).story;
    EXPECT_EQ(afterHeader(text(numbered)), R"(

Link measurement (request 167)
  line 3  From line 3 to line 5, 3 requests went out for a host the source does not tell, 0 answered.
  At the end its node was still in the table, for hosts the source does not name.
)");
}

TEST(Explain, SyslogDatesReadBackToTheSecond)
{
    for (const u64 ms : {u64{0}, u64{59'000}, u64{86'399'000}, u64{31'536'000'000 - 1000}, u64{5'097'600'000}}) {
        EXPECT_EQ(syslogDateMs(syslogDate(ms) + " ap zep: x"), ms) << syslogDate(ms);
    }
    for (const char *line : {"Jan  0 00:00:00 ap", "Foo  1 00:00:00 ap", "Jan  1 00:00:0x ap", "Jan  1 00:00:00", ""}) {
        EXPECT_EQ(syslogDateMs(line), std::nullopt) << line;
    }
}

TEST(Explain, AUsageErrorExitsTwoWithAHint)
{
    const Refusal both = explain({"00:11:22:33:44:01", "a.yaml", "--logs", "b.log"});
    EXPECT_EQ(both.status, 2);
    EXPECT_EQ(both.err, "zep-sim explain: scenario excludes --logs\nTry 'zep-sim explain --help' for more information.\n");
    EXPECT_EQ(explain({"00:11:22:33:44:01", "--meas", "nb"}).status, 2);
}

}  // namespace
}  // namespace zep::sim
