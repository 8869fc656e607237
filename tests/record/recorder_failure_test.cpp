// A recording that cannot be made: the recorder says so once, in the
// framework's log and on standard error, stops, and the module goes on as if
// it were not recording at all.
#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "run/runner.hpp"
#include "scenario/scenario_reader.hpp"

namespace zep::sim {
namespace {

const std::string kScenario = std::string(ZEP_RECORD_TEST_SCENARIO_DIR) + "/station_measurement.yaml";

// The trace of one play of scenario with lib; `between` runs after the
// library is loaded and before the first step.
std::string traceOf(const char *lib, const std::string &scenario, const std::function<void()> &between = {})
{
    std::ostringstream trace;
    RunOptions options;
    options.libPath = lib;
    options.trace = &trace;
    const Scenario played = readScenarioFile(scenario);
    Runner runner(played, options);
    if (between) {
        between();
    }
    runner.run();
    return trace.str();
}

// What the play wrote on standard error, the library's unloading included.
struct Played {
    std::string trace;
    std::string errors;
};

Played recordingTo(const std::string &path, const std::string &scenario, const std::function<void()> &between = {})
{
    setenv("STA_MEAS_RECORD", path.c_str(), 1);
    testing::internal::CaptureStderr();
    Played played;
    played.trace = traceOf(ZEP_RECORD_TEST_REC_LIB, scenario, between);
    played.errors = testing::internal::GetCapturedStderr();
    unsetenv("STA_MEAS_RECORD");
    return played;
}

// The trace without its one line that holds `said`, which must be a log line
// of its own, an error under the id the module registered with (63, as its
// own lines): on an access point the framework's log is where a field
// engineer looks. nullopt when no line or more than one holds it.
std::optional<std::string> traceWithoutTheLogLine(const std::string &trace, const std::string &said)
{
    const std::size_t at = trace.find(said);
    if (at == std::string::npos || trace.find(said, at + 1) != std::string::npos) {
        return std::nullopt;
    }
    const std::size_t begin = trace.rfind('\n', at) + 1;
    const std::size_t end = trace.find('\n', at) + 1;
    const std::string line = trace.substr(begin, end - begin);
    if (!line.starts_with("{\"ev\":\"log\",") || line.find(",\"sev\":2,\"mod\":63,") == std::string::npos ||
        !line.ends_with("\"text\":\"" + said + "\\r\\n\"}\n")) {
        return std::nullopt;
    }
    return trace.substr(0, begin) + trace.substr(end);
}

// The line cannot go to the framework's log before the module registers (the
// file is opened when the library is loaded, before the module has an id):
// it goes there when the module registers, and so it is in the trace.
TEST(RecorderFailure, AFileThatCannotBeMadeIsSaidOnceAndTheTraceIsAsWithoutRecording)
{
    const std::string plain = traceOf(ZEP_RECORD_TEST_LIB, kScenario);
    const std::string dir = std::filesystem::temp_directory_path().string();
    const std::pair<std::string, const char *> kPaths[] = {
        {"/nonexistent/x.rec", "No such file or directory"},
        {dir, "Is a directory"},
        {"/dev/full", "No space left on device"},  // opens, and the header's write fails
    };
    for (const auto &[path, reason] : kPaths) {
        const Played played = recordingTo(path, kScenario);
        const std::string said = "sta-meas recorder: cannot record to " + path + ": " + reason;
        EXPECT_EQ(played.errors, said + "\n");
        EXPECT_TRUE(traceWithoutTheLogLine(played.trace, said) == plain) << path;
    }
}

// A write that fails in the middle of a run (the reader of a pipe gone, as a
// full disk would fail it): the line comes when it happens, in the trace as
// the module's log, and nothing else of the run changes.
TEST(RecorderFailure, AWriteThatFailsMidRunStopsTheRecordingWithOneLine)
{
    // Enough events for a block to be written while the run goes on.
    const std::string scenario = std::filesystem::temp_directory_path() / ("recorder_failure." + std::to_string(getpid()) + ".yaml");
    std::ofstream(scenario) << R"(
stations: [{mac: "00:11:22:00:00:00", caps: [lm], reply: {delayMs: 20, rate: 1.0}, repeat: 32}]
steps:
  - start
  - send: {id: 182, host: 0, radioId: 0, entries: [{staMac: "00:11:22:00:00:00", measId: lm, repeat: 32}]}
  - advance: 120000
)";
    const std::string plain = traceOf(ZEP_RECORD_TEST_LIB, scenario);
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    const auto keptPipeAction = std::signal(SIGPIPE, SIG_IGN);
    const std::string path = "/proc/self/fd/" + std::to_string(ends[1]);
    // The header goes into the pipe when the library is loaded; then its
    // reader is gone, and the first block's write fails.
    const Played played = recordingTo(path, scenario, [&] {
        close(ends[0]);
        close(ends[1]);
    });
    std::signal(SIGPIPE, keptPipeAction);
    std::filesystem::remove(scenario);
    const std::string said = "sta-meas recorder: recording to " + path + " stopped at byte 16: Broken pipe";
    EXPECT_EQ(played.errors, said + "\n");
    EXPECT_TRUE(traceWithoutTheLogLine(played.trace, said) == plain) << "one log line while the run goes on";
}

}  // namespace
}  // namespace zep::sim
