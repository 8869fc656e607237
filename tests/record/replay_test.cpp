// Recordings made with the recording build, in this process, played back with
// the replayer: the same build replays "same", a build with one changed weight
// diverges where that first shows, and a file cut short (by a copy, or by a
// crash) replays up to its last complete block.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "record_reader.hpp"
#include "record_writer.hpp"
#include "replay/replayer.hpp"
#include "run/runner.hpp"
#include "scenario/scenario_reader.hpp"

namespace zep::sim {
namespace {

namespace fs = std::filesystem;

std::string tempPath(const std::string &name)
{
    return (fs::temp_directory_path() / (name + "." + std::to_string(getpid()) + ".rec")).string();
}

// Plays the scenario with the recording build, recording to path.
void record(const std::string &scenario, const std::string &path)
{
    setenv("STA_MEAS_RECORD", path.c_str(), 1);
    {
        const Scenario played = readScenarioFile(scenario);
        RunOptions options;
        options.libPath = ZEP_RECORD_TEST_REC_LIB;
        Runner runner(played, options);
        runner.run();
    }  // the library is unloaded here, and closes the file
    unsetenv("STA_MEAS_RECORD");
}

std::vector<u8> bytesOf(const std::string &path)
{
    std::vector<u8> bytes;
    std::string why;
    EXPECT_TRUE(zep::record::readFile(path.c_str(), bytes, why)) << why;
    return bytes;
}

replay::Outcome replayOn(std::span<const u8> bytes, const char *lib)
{
    host::Host host;
    host.setCaptureLogs(false);
    std::string error;
    EXPECT_TRUE(host.loadSharedApp(lib, &error)) << error;
    return replay::Replayer(bytes, host).run();
}

TEST(Replay, EveryScenarioRecordedReplaysSame)
{
    for (const auto &entry : fs::directory_iterator(ZEP_RECORD_TEST_SCENARIO_DIR)) {
        const std::string name = entry.path().stem().string();
        if (name == "load-day" || name == "soak") {
            continue;  // hours of virtual time: their release targets replay them
        }
        const std::string path = tempPath(name);
        record(entry.path().string(), path);
        const std::vector<u8> bytes = bytesOf(path);
        fs::remove(path);
        const replay::Outcome outcome = replayOn(bytes, ZEP_RECORD_TEST_LIB);
        EXPECT_FALSE(outcome.divergence) << name << ": event " << outcome.divergence->event << "\n  "
                                         << outcome.divergence->recorded << "\n  " << outcome.divergence->actual;
        EXPECT_GT(outcome.events, 500u) << name;
        EXPECT_EQ(outcome.ending, "byte " + std::to_string(bytes.size() - 1) + ": the recording was closed normally")
            << name;
    }
}

TEST(Replay, AChangedHostWeightDivergesWhereItFirstShows)
{
    const std::string path = tempPath("weight");
    record(std::string(ZEP_RECORD_TEST_SCENARIO_DIR) + "/station_measurement.yaml", path);
    const std::vector<u8> bytes = bytesOf(path);
    fs::remove(path);
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

TEST(Replay, ARecordingCutShortReplaysToItsLastCompleteBlock)
{
    const std::string path = tempPath("cut");
    record(std::string(ZEP_RECORD_TEST_SCENARIO_DIR) + "/demo.yaml", path);
    const std::vector<u8> bytes = bytesOf(path);
    fs::remove(path);
    const std::span<const u8> half = std::span(bytes).first(bytes.size() / 2);
    zep::record::Reader reader(half);
    zep::record::Event e;
    while (reader.next(e) == zep::record::Reader::Status::event) {
    }
    const replay::Outcome outcome = replayOn(half, ZEP_RECORD_TEST_LIB);
    EXPECT_FALSE(outcome.divergence);
    EXPECT_EQ(outcome.events, reader.eventsRead());
    EXPECT_NE(outcome.ending.find("the recording stops inside a block"), std::string::npos) << outcome.ending;
}

// Blocks whose checksums hold but whose events do not decode (a forged file,
// or a writer's bug) pass the first look at the file; the replay finds them
// where they are, and they are damage all the same.
TEST(Replay, AnEventThatDoesNotDecodeInsideSoundBlocksIsDamage)
{
    const std::string path = tempPath("forged");
    static zep::record::Writer writer;  // its buffer is large: not on the stack
    ASSERT_TRUE(writer.open(path.c_str(), 1u << 20));
    zep::record::Event forged;
    forged.kind = static_cast<zep::record::EventKind>(9);
    writer.add(forged);
    writer.close(zep::record::EndReason::closed);
    const std::vector<u8> bytes = bytesOf(path);
    fs::remove(path);
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
        setenv("STA_MEAS_RECORD", path.c_str(), 1);
        const Scenario demo = readScenarioFile(std::string(ZEP_RECORD_TEST_SCENARIO_DIR) + "/demo.yaml");
        RunOptions options;
        options.libPath = ZEP_RECORD_TEST_REC_LIB;
        Runner runner(demo, options);
        runner.run();
        std::abort();  // before the library is unloaded, so before the file is closed
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::vector<u8> bytes = bytesOf(path);
    fs::remove(path);
    const replay::Outcome outcome = replayOn(bytes, ZEP_RECORD_TEST_LIB);
    EXPECT_FALSE(outcome.divergence);
    EXPECT_GT(outcome.events, 3500u);  // the whole demo, short of de-initialisation
    EXPECT_NE(outcome.ending.find("stops before its end block"), std::string::npos) << outcome.ending;
}

}  // namespace
}  // namespace zep::sim
