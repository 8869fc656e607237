// Recordings made with the recording build, in this process, played back with
// the replayer: the same build replays "same", with the play's own trace; a
// build with one changed weight diverges where that first shows, and a file
// cut short (by a copy, or by a crash) replays up to its last complete block.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>

#include "base/sim_json.hpp"
#include "logs/log_findings.hpp"
#include "logs/log_view.hpp"
#include "out/syslog_writer.hpp"
#include "record_files.hpp"
#include "recorded_log.hpp"
#include "replay/replay_cli.hpp"
#include "replay/replay_view.hpp"
#include "replay/replayer.hpp"
#include "run/runner.hpp"
#include "scenario/scenario_reader.hpp"

namespace zep::sim {
namespace {

namespace fs = std::filesystem;
using zep::record::test::takeFile;
using zep::record::test::tempPath;

// Plays the scenario with the recording build and the given options, recording
// to path; `after` sees the runner once the run is over, before the library is
// unloaded (so before the file is closed).
void record(const std::string &scenario, const std::string &path, RunOptions options = {},
            const std::function<void(const Runner &)> &after = {})
{
    setenv("STA_MEAS_RECORD", path.c_str(), 1);
    {
        const Scenario played = readScenarioFile(scenario);
        options.libPath = ZEP_RECORD_TEST_REC_LIB;
        Runner runner(played, options);
        runner.run();
        if (after) {
            after(runner);
        }
    }  // the library is unloaded here, and closes the file
    unsetenv("STA_MEAS_RECORD");
}

replay::Outcome replayOn(std::span<const u8> bytes, const char *lib)
{
    host::Host host;
    host.setCaptureLogs(false);
    std::string error;
    EXPECT_TRUE(host.loadSharedApp(lib, &error)) << error;
    return replay::Replayer(bytes, host).run();
}

std::vector<Json> traceLines(const std::string &text)
{
    std::vector<Json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(Json::parse(line));
    }
    return lines;
}

// Where a replay's trace departs from the play's it was recorded from, beyond
// what a replay cannot show the same: the play's own events (notes, expect
// verdicts, messages no handler took) never reach the module; the play's reads
// of the table and list sizes (RPC 69 and 70, kept out of its trace) are calls
// into the module, so a replay plays and shows them; and a recording counts
// time from its first entry, not from the device's clock. Empty when nothing else differs.
std::string unexplainedDifference(const std::vector<Json> &played, const std::vector<Json> &replayed)
{
    std::vector<Json> expected;
    for (Json e : played) {
        const std::string ev = e["ev"];
        if (ev != "note" && ev != "expect" && ev != "unhandled") {
            e["t"] = e["t"].get<u64>() - played.front()["t"].get<u64>();
            expected.push_back(std::move(e));
        }
    }
    std::size_t next = 0;
    for (const Json &e : replayed) {
        if (next < expected.size() && e == expected[next]) {
            ++next;
        } else if (e["ev"] != "rpc" || (e["id"] != 69 && e["id"] != 70)) {
            return "replayed " + e.dump().substr(0, 300) + "\n where the play has " +
                   (next < expected.size() ? expected[next].dump().substr(0, 300) : "nothing");
        }
    }
    return next == expected.size() ? "" : "the replay ends before " + expected[next].dump().substr(0, 300);
}

TEST(Replay, AChangedHostWeightDivergesWhereItFirstShows)
{
    const std::string path = tempPath("weight");
    record(std::string(ZEP_RECORD_TEST_SCENARIO_DIR) + "/station_measurement.yaml", path);
    const std::vector<u8> bytes = takeFile(path);
    const replay::Outcome outcome = replayOn(bytes, ZEP_RECORD_TEST_WEIGHT_LIB);
    ASSERT_TRUE(outcome.divergence);
    const replay::Divergence &d = *outcome.divergence;
    // The first thing the framework sees of host 1's weight is the table dump at
    // 3.1 s: byte 17 of its reply, 20 recorded, 30 in this build.
    EXPECT_EQ(d.event, 242u);
    EXPECT_EQ(d.atMs, 3100u);
    EXPECT_NE(d.recorded.find("<- returned 0 reply 00 00 00 00 01 00 11 22 33 44 02 00 00 00 00 00 01 14 "),
              std::string::npos) << d.recorded;
    EXPECT_NE(d.actual.find(" 01 1e 00 01 01 00 00 00 ... (1157 bytes) (reply differs from byte 17)"),
              std::string::npos) << d.actual;
    ASSERT_EQ(d.context.size(), 4u);
    EXPECT_EQ(d.context.back(), "   ZEP_PROFILE_IsValidRadioId(0)");
}

// What `zep-sim replay ARGS...` prints on standard output, and its exit status.
std::pair<int, std::string> replayCommand(std::vector<std::string> args)
{
    args.insert(args.begin(), "replay");
    std::vector<char *> argv;
    for (std::string &a : args) {
        argv.push_back(a.data());
    }
    std::ostringstream out;
    std::streambuf *const kept = std::cout.rdbuf(out.rdbuf());
    const int status = replayMain(static_cast<int>(argv.size()), argv.data());
    std::cout.rdbuf(kept);
    return {status, out.str()};
}

std::string fileText(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The options of a play's outputs work on the command: the timeline and the
// summary before the verdict, the trace and the report in their files, and a
// file that cannot be written refuses the replay before it starts.
TEST(Replay, TheCommandWritesAPlaysOutputsBesideItsVerdict)
{
    const std::string rec = tempPath("outputs");
    const std::string trace = tempPath("outputs.trace");
    const std::string report = tempPath("outputs.html");
    record(std::string(ZEP_RECORD_TEST_SCENARIO_DIR) + "/station_measurement.yaml", rec);
    const auto [status, out] = replayCommand({rec, "--lib", ZEP_RECORD_TEST_LIB, "--timeline", "--log-level", "2",
                                              "--trace", trace, "--report", report});
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("  0.000  ** registration           ok         application \"sta-meas\", 2 phases\n"),
              std::string::npos) << out;
    EXPECT_NE(out.find("  182 meas-start"), std::string::npos) << "the summary's handlers";
    EXPECT_NE(out.find("\n" + rec + ": same (1490 events)\nReport: " + report + " ("), std::string::npos) << out;
    const std::string lines = fileText(trace);
    EXPECT_TRUE(lines.starts_with("{\"ev\":\"reg\",\"t\":0,\"status\":0,")) << lines.substr(0, 200);
    EXPECT_EQ(lines.find("\"ev\":\"log\""), std::string::npos) << "notes are below --log-level 2";
    EXPECT_NE(fileText(report).find(rec), std::string::npos) << "the report names the recording";
    // At the default level the module's notes reach the report's station table.
    ASSERT_EQ(replayCommand({rec, "--lib", ZEP_RECORD_TEST_LIB, "--report", report}).first, 0);
    EXPECT_NE(fileText(report).find("00:11:22:33:44:01"), std::string::npos);
    const auto [refused, nothing] = replayCommand({rec, "--lib", ZEP_RECORD_TEST_LIB, "--trace", "/nonexistent/t"});
    EXPECT_EQ(refused, 2);
    EXPECT_EQ(nothing, "");
    for (const std::string &path : {rec, trace, report}) {
        fs::remove(path);
    }
}

// A finding as a person reads it, without its times: a replay counts time
// from its first entry, and a log knows the time only where a line says it.
std::string withoutTimes(const Finding &f)
{
    std::string text = f.rule + ": " + f.title;
    for (const Sample *s : {&f.radios, &f.hosts, &f.stations, &f.messages}) {
        text += " |";
        for (const std::string &first : s->first) {
            text += " " + first;
        }
        text += " (" + std::to_string(s->inAll) + ")";
    }
    return text;
}

// f of each of the items, in order.
template <class T, class F>
auto mapped(const std::vector<T> &items, F f)
{
    std::vector<decltype(f(items.front()))> out;
    for (const T &item : items) {
        out.push_back(f(item));
    }
    return out;
}

// The play's own log holds the give-ups; it cannot tell when a host was
// due, nor which reports matched nothing, and says so.
TEST(Replay, APlaysLogGivesTheFindingsItHoldsAndNamesTheOthers)
{
    const Scenario sc = readScenarioFile(std::string(ZEP_RECORD_TEST_SCENARIO_DIR) + "/demo.yaml");
    RunOptions options;
    options.libPath = ZEP_RECORD_TEST_LIB;
    Runner runner(sc, options);
    runner.run();
    const std::vector<std::string> played = mapped(runner.findings(), withoutTimes);
    const std::vector<Finding> logged = logs::findingsOf(runner.stationLog());
    ASSERT_EQ(played.size(), 3u);
    EXPECT_TRUE(played[0].starts_with("share-never-sent: ")) << played[0];
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(withoutTimes(logged[0]), played[1]);
    EXPECT_TRUE(played[1].starts_with("automatic-given-up: ")) << played[1];
    EXPECT_EQ(logged[1].rule, "not-checked");
    EXPECT_NE(logged[1].title.find("hosts' shares never sent"), std::string::npos) << logged[1].title;
    EXPECT_NE(logged[1].title.find("reports that match no node"), std::string::npos) << logged[1].title;
}

// The rules whose facts a log holds as a play does; the others a log draws
// from less, or says it cannot check.
bool aLogHoldsItsFacts(const std::string &rule)
{
    return rule == "automatic-given-up" || rule == "eviction-churn" || rule == "adds-refused" ||
           rule == "scan-inhibited" || rule == "neighbour-unknown";
}

std::map<std::string, std::string> byRule(const std::vector<Finding> &findings, bool onlyWhatALogHolds)
{
    std::map<std::string, std::string> out;
    for (const Finding &f : findings) {
        if (!onlyWhatALogHolds || aLogHoldsItsFacts(f.rule)) {
            out[f.rule] = withoutTimes(f);
        }
    }
    return out;
}

// Every scenario recorded once: the replay is "same" to the recording's end,
// shows the play's trace, findings and station table, and the play's log
// gives the findings a log can hold.
TEST(Replay, EveryScenarioReplaysAsItWasPlayed)
{
    for (const auto &entry : fs::directory_iterator(ZEP_RECORD_TEST_SCENARIO_DIR)) {
        const std::string name = entry.path().stem().string();
        if (name == "load-day" || name == "soak") {
            continue;  // hours of virtual time: their release targets replay them
        }
        const Scenario sc = readScenarioFile(entry.path().string());
        const std::string rec = tempPath(name);
        std::ostringstream logText;
        std::ostringstream playedTrace;
        std::vector<Finding> played;
        std::vector<Json> playedStations;
        SyslogWriter syslog(logText);
        RunOptions options;
        options.trace = &playedTrace;
        options.sinks = {&syslog};
        record(entry.path().string(), rec, options, [&](const Runner &runner) {
            played = runner.findings();
            playedStations = mapped(runner.stations(), logs::stationCells);
        });
        const std::vector<u8> bytes = takeFile(rec);

        std::ostringstream replayedTrace;
        replay::ViewOptions view;
        view.trace = &replayedTrace;
        view.radios = sc.profile.radios;
        view.logLevel = sc.logLevel;
        {
            host::Host host;
            host.setCaptureLogs(false);
            std::string error;
            ASSERT_TRUE(host.loadSharedApp(ZEP_RECORD_TEST_LIB, &error)) << error;
            replay::ReplayView watching(host, view);
            const replay::Outcome outcome = replay::Replayer(bytes, host, &watching.fanout()).run();
            ASSERT_FALSE(outcome.divergence) << name << ": event " << outcome.divergence->event << "\n  "
                                             << outcome.divergence->recorded << "\n  " << outcome.divergence->actual;
            EXPECT_GT(outcome.events, 500u) << name;
            EXPECT_EQ(outcome.ending,
                      "byte " + std::to_string(bytes.size() - 1) + ": the recording was closed normally")
                << name;
            EXPECT_EQ(mapped(watching.findings(), withoutTimes), mapped(played, withoutTimes))
                << name;
            EXPECT_EQ(mapped(watching.stations(), logs::stationCells), playedStations) << name;
        }  // the view writes out the rest of its trace
        EXPECT_EQ(unexplainedDifference(traceLines(playedTrace.str()), traceLines(replayedTrace.str())), "") << name;

        logs::FieldLog log(name);
        std::istringstream lines(logText.str());
        std::string line;
        for (u64 no = 1; std::getline(lines, line); ++no) {
            log.feed(line, no);
        }
        log.finish();
        EXPECT_EQ(byRule(logs::findingsOf(log, sc.findingLimits), true), byRule(played, true)) << name;
    }
}

// The recording written again with the last byte of the first event of op's
// sends flipped; number: that event's number, from 1.
std::vector<u8> withOneByteChanged(std::span<const u8> bytes, zep::record::Op op, u64 &number)
{
    using namespace zep::record;
    number = 0;
    return test::writtenFile(1ull << 30, [&](Writer &writer) {
        Reader reader(bytes);
        RecordedCall e;
        std::vector<u8> changed;
        std::size_t textsWritten = 0;
        for (u64 n = 1; reader.next(e) == Reader::Status::event; ++n) {
            for (; textsWritten < reader.texts().size(); ++textsWritten) {
                const RecordedText &text = *reader.texts().find(textsWritten);
                writer.add(test::textDefinition(text.isFormat ? CallKind::format : CallKind::string, textsWritten,
                                                text.text));
            }
            if (number == 0 && e.kind == CallKind::op && e.id == static_cast<u8>(op) && !e.in.empty()) {
                changed.assign(e.in.begin(), e.in.end());
                changed.back() ^= 0x01;
                e.in = changed;
                number = n;
            }
            writer.add(e);
        }
    });
}

// Ids and lengths are not enough: one changed byte of what the application
// sent, or of what it sent to the neighbours, is a divergence at that send. A
// recording cut short (by a copy) replays to its last complete block.
TEST(Replay, ASendWhoseBytesDifferDivergesThereAndACutRecordingEndsAtItsLastBlock)
{
    const std::string path = tempPath("sends");
    record(std::string(ZEP_RECORD_TEST_SCENARIO_DIR) + "/demo.yaml", path);
    const std::vector<u8> bytes = takeFile(path);
    for (const auto op : {zep::record::Op::ZEP_MNG_SendMsg, zep::record::Op::ZEP_MNG_SendIPCMsg}) {
        u64 number = 0;
        const std::vector<u8> changed = withOneByteChanged(bytes, op, number);
        ASSERT_GT(number, 0u) << zep::record::opName(static_cast<u8>(op));
        const replay::Outcome outcome = replayOn(changed, ZEP_RECORD_TEST_LIB);
        ASSERT_TRUE(outcome.divergence) << zep::record::opName(static_cast<u8>(op));
        EXPECT_EQ(outcome.divergence->event, number);
        EXPECT_NE(outcome.divergence->recorded.find(zep::record::opName(static_cast<u8>(op))), std::string::npos);
        EXPECT_NE(outcome.divergence->actual.find("(bytes differ from offset "), std::string::npos)
            << outcome.divergence->actual;
    }
    const std::span<const u8> half = std::span(bytes).first(bytes.size() / 2);
    const replay::Outcome outcome = replayOn(half, ZEP_RECORD_TEST_LIB);
    EXPECT_FALSE(outcome.divergence);
    EXPECT_EQ(outcome.events, zep::record::test::readAll(half).events);
    EXPECT_NE(outcome.ending.find("the recording stops inside a block"), std::string::npos) << outcome.ending;
}

// Blocks whose checksums hold but whose events do not decode (a forged file,
// or a writer's bug) pass the first look at the file; the replay finds them
// where they are, and they are damage all the same.
TEST(Replay, AnEventThatDoesNotDecodeInsideSoundBlocksIsDamage)
{
    zep::record::RecordedCall forged;
    forged.kind = static_cast<zep::record::CallKind>(9);
    const std::vector<u8> bytes = zep::record::test::writtenFile(
        1u << 20, [&](zep::record::Writer &writer) { writer.add(forged); });
    EXPECT_EQ(zep::record::Reader(bytes).scanBlocks(), zep::record::Reader::Status::end);
    const replay::Outcome outcome = replayOn(bytes, ZEP_RECORD_TEST_LIB);
    EXPECT_TRUE(outcome.damaged);
    EXPECT_EQ(outcome.ending, "byte 36: event does not decode");
}

// A process that dies of a signal while recording leaves every event it had
// buffered: the recorder writes them from its signal handler.
TEST(Replay, ACrashLeavesARecordingThatReplaysToTheCrash)
{
    const std::string path = tempPath("crash");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        record(std::string(ZEP_RECORD_TEST_SCENARIO_DIR) + "/demo.yaml", path, {},
               [](const Runner &) { std::abort(); });
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::vector<u8> bytes = takeFile(path);
    const replay::Outcome outcome = replayOn(bytes, ZEP_RECORD_TEST_LIB);
    EXPECT_FALSE(outcome.divergence);
    EXPECT_GT(outcome.events, 3500u);  // the whole demo, short of de-initialisation
    EXPECT_NE(outcome.ending.find("stops before its end block"), std::string::npos) << outcome.ending;
}

}  // namespace
}  // namespace zep::sim
