// The play's exit status and last lines: what a script or CI job sees of a run.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/result.hpp"
#include "sim_test.hpp"
#include "scenario/scenario_reader.hpp"

namespace zep::sim {
namespace {

// One station, one start; with an expect step that holds when `withCheck`.
constexpr const char *kQuiet = R"(
stations:
  - {mac: "00:11:22:33:44:01", caps: [lm]}
steps:
  - start
)";

struct Ending {
    const char *what;
    bool withCheck;
    bool failed;
    bool strict;
    int signal;
    int status;
    const char *text;
};

TEST(SimCli, ResultStatusTellsHowTheRunEnded)
{
    const Ending kEndings[] = {
        {"held", true, false, false, 0, 0, "\nResult: 1 expect step(s), all held.\n"},
        {"failed", true, true, false, 0, 1,
         "\nResult: 1 failed check(s):\n  t.yaml:7: step 2 (expect): sent 167: expected 5, got 0\n"},
        {"no check", false, false, false, 0, 0, "\nResult: 0 expect step(s), all held.\n"},
        {"strict, no check", false, false, true, 0, 1, "Strict: no expect step was played\n"},
        {"strict, held", true, false, true, 0, 0, "all held.\n"},
        {"strict, failed", true, true, true, 0, 1, "got 0\n"},
        {"SIGINT", true, true, true, SIGINT, 130, "\nInterrupted by signal 2 after "},
        {"SIGTERM", true, false, false, SIGTERM, 143, "\nInterrupted by signal 15 after "},
    };
    for (const Ending &e : kEndings) {
        const std::string text = std::string(kQuiet) + (e.withCheck ? "  - expect: {sent: {167: 0}}\n" : "");
        const Scenario sc = readScenarioText(text, "t.yaml");
        RunOptions opt;
        opt.libPath = ZEP_SIM_TEST_LIB;
        opt.timeline = false;
        Runner runner(sc, opt);
        ASSERT_TRUE(runner.run().empty()) << e.what;
        std::vector<Failure> failures;
        if (e.failed) {
            failures.push_back({2, 7, "sent 167: expected 5, got 0"});
        }
        std::ostringstream out;
        EXPECT_EQ(cli::printResult(out, sc, runner, failures, e.strict, e.signal), e.status) << e.what;
        EXPECT_NE(out.str().find(e.text), std::string::npos) << e.what << "\n" << out.str();
        // A signal cuts the verdict short: neither the checks nor --strict speak.
        EXPECT_EQ(out.str().find("Result:") == std::string::npos, e.signal != 0) << e.what;
    }
}

// Usage mistakes and outputs that cannot be written exit 2, with the reason;
// /dev/full accepts the open and fails the write, as a full disk does.
TEST(SimCli, UnusableCommandLinesAndFailedWritesExitTwo)
{
    const auto dir = std::filesystem::temp_directory_path();
    const std::string scenario = (dir / "zep_sim_cli.yaml").string();
    const std::string errors = (dir / "zep_sim_cli.err").string();
    std::ofstream(scenario) << kQuiet;
    const std::string lib = std::string(" --lib ") + ZEP_SIM_TEST_LIB + " ";
    const std::pair<std::string, const char *> kCases[] = {
        {lib + "--no-such-option " + scenario + " > /dev/null", "Try 'zep-sim --help'"},
        {" help no-such-command > /dev/null", "no subcommand \"no-such-command\""},
        {lib + "--trace /dev/full " + scenario + " > /dev/null", "cannot write the trace (/dev/full)"},
        // Written only after the run: the last flush is the only write that can fail.
        {lib + "--summary-json /dev/full " + scenario + " > /dev/null", "cannot write the summary (/dev/full)"},
        {lib + scenario + " > /dev/full", "cannot write to standard output"},
    };
    for (const auto &[args, reason] : kCases) {
        EXPECT_EQ(shell(ZEP_SIM_TEST_PROGRAM + args + " 2> " + errors), 2) << args;
        EXPECT_NE(readAll(errors).find(reason), std::string::npos) << args << "\n" << readAll(errors);
    }
    std::filesystem::remove(scenario);
    std::filesystem::remove(errors);
}

// `--record` exits 2 when the file is not a whole recording: a write that
// fails part way (a file size limit, as a full disk would) leaves it cut
// short. A recording that stops at the cap it was given is whole, and said.
TEST(SimCli, ARecordingThatIsNotWholeExitsTwo)
{
    const auto dir = std::filesystem::temp_directory_path();
    const std::string scenario = std::string(ZEP_SIM_SCENARIO_DIR) + "/station_measurement.yaml";
    const std::string rec = (dir / "zep_sim_record.rec").string();
    const std::string errors = (dir / "zep_sim_record.err").string();
    const std::string play = std::string(ZEP_SIM_TEST_PROGRAM) + " -q --lib " + ZEP_SIM_TEST_REC_LIB +
                             " --record " + rec + " " + scenario + " > /dev/null 2> " + errors;
    struct Case {
        std::string command;
        int status;
        std::string text;
    };
    const Case kCases[] = {
        {play, 0, ""},
        // 512 bytes: the header and part of the first block.
        {"sh -c \"trap '' XFSZ; ulimit -f 1; exec " + play + "\"", 2,
         "sta-meas recorder: recording to " + rec + " stopped at byte 512: File too large\nzep-sim: " + rec +
             ": the recording is not whole: byte 16: the recording stops inside a block"},
        {"STA_MEAS_RECORD_MAX=100 " + play, 0,
         "zep-sim: " + rec + ": byte 98: the recorder stopped at its size cap (STA_MEAS_RECORD_MAX)\n"},
    };
    for (const Case &c : kCases) {
        EXPECT_EQ(shell(c.command), c.status) << c.command;
        const std::string said = readAll(errors);
        EXPECT_TRUE(c.text.empty() ? said.empty() : said.find(c.text) != std::string::npos) << c.command << "\n" << said;
    }
    std::filesystem::remove(rec);
    std::filesystem::remove(errors);
}

}  // namespace
}  // namespace zep::sim
