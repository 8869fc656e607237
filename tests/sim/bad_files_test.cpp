// Files that are not what a command takes: each is refused before anything is
// read or played, with exit 2 and one line that names the path and the reason.
// And the log reader's bound on a line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "logs/log_source.hpp"
#include "sim_test.hpp"

namespace zep::sim
{
namespace
{

namespace fs = std::filesystem;

// Its standard error in out.
Ran runZepSim(const std::string &args)
{
    return shellOutput(ZEP_SIM_TEST_PROGRAM " " + args + " 2>&1 > /dev/null");
}

class BadFiles : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("zep_sim_bad_files_" + std::to_string(getpid()));
        fs::create_directories(dir_ / "a_directory");
        std::ofstream(dir_ / "empty");
        std::ofstream(dir_ / "good.yaml") << "steps: [start]\n";
        std::ofstream(dir_ / "good.jsonl") << "{\"ev\":\"reg\",\"t\":0}\n";
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const char *name) const { return (dir_ / name).string(); }
    // Exit 2, and one line on stderr that holds the path and the reason.
    void expectRefused(const std::string &args, const std::string &bad,
                       const std::string &reason) const
    {
        const Ran ran = runZepSim(args);
        EXPECT_EQ(ran.status, 2) << args << "\n" << ran.out;
        EXPECT_EQ(std::count(ran.out.begin(), ran.out.end(), '\n'), 1) << args << "\n" << ran.out;
        EXPECT_NE(ran.out.find(bad + ": " + reason), std::string::npos) << args << "\n" << ran.out;
    }
    // Each command with each bad path in place of its "{}".
    void expectEachRefused(std::span<const std::string> commands,
                           std::span<const std::pair<std::string, const char *>> bad) const
    {
        for (const std::string &command : commands) {
            for (const auto &[path, reason] : bad) {
                std::string args = command;
                args.replace(args.find("{}"), 2, path);
                expectRefused(args, path, reason);
            }
        }
    }

    fs::path dir_;
};

TEST_F(BadFiles, EveryInputIsCheckedBeforeItIsRead)
{
    const std::string lib = std::string("--lib ") + ZEP_SIM_TEST_LIB;
    // {} stands for the file under test.
    const std::vector<std::string> commands = {
        lib + " {}",
        "logs {}",
        "logs " + path("good.yaml") + " --ap second={}",
        "replay " + lib + " {}",
        "compare --trace {} " + path("good.jsonl"),
        "compare --trace " + path("good.jsonl") + " {}",
        "compare " + lib + " --lib " + ZEP_SIM_TEST_LIB + " {}",
    };
    const std::pair<std::string, const char *> kBad[] = {
        {path("a_directory"), "is a directory"},
        {path("empty"), "is empty"},
        {"/dev/zero", "is a device or a socket, not a file"},
        {path("missing"), "cannot be opened: No such file or directory"},
    };
    expectEachRefused(commands, kBad);
}

TEST_F(BadFiles, EveryOutputIsCheckedBeforeTheRun)
{
    const std::string play = std::string("--lib ") + ZEP_SIM_TEST_LIB + " " + path("good.yaml");
    const std::vector<std::string> commands = {
        play + " --trace {}",
        play + " --report {}",
        play + " --summary-json {}",
        play + " --junit {}",
        play + " --log {}",
        "logs " + path("good.yaml") + " --report {}",
        "logs " + path("good.yaml") + " --scenario {}",
    };
    const std::pair<std::string, const char *> kBad[] = {
        {path("a_directory"), "is a directory"},
        {path("missing/out"), "No such file or directory"},
    };
    expectEachRefused(commands, kBad);
}

// Standard input is read only when named: a script's redirected file, even one
// that is no scenario, leaves the built-in demo.
TEST_F(BadFiles, StandardInputIsReadOnlyWhenNamed)
{
    std::ofstream(dir_ / "not_a_scenario") << "just: text\n";
    const std::string lib = std::string("--lib ") + ZEP_SIM_TEST_LIB;
    EXPECT_EQ(runZepSim(lib + " -q < " + path("not_a_scenario")).status, 0);
    EXPECT_EQ(runZepSim(lib + " -q < " + path("empty")).status, 0);
    const Ran named = runZepSim(lib + " -q - < " + path("not_a_scenario"));
    EXPECT_EQ(named.status, 2);
    EXPECT_NE(named.out.find("(standard input)"), std::string::npos) << named.out;
    const Ran empty = runZepSim(lib + " -q - < /dev/null");
    EXPECT_EQ(empty.out, "zep-sim: (standard input): is empty\n");
}

struct LongLines {
    std::vector<std::string> lines; // "N:TEXT" for a whole line, "N:START...LENGTH" for a long one
};

LongLines readLines(const std::string &file)
{
    LongLines got;
    EXPECT_TRUE(logs::readLogLines(
        file, {[&](std::string_view l, u64 no) {
                   got.lines.push_back(std::to_string(no) + ":" + std::string(l.substr(0, 8)) +
                                       "/" + std::to_string(l.size()));
               },
               [&](std::string_view start, u64 length, u64 no) {
                   got.lines.push_back(std::to_string(no) + ":" + std::string(start.substr(0, 8)) +
                                       "..." + std::to_string(length) + "/" +
                                       std::to_string(start.size()));
               }})) << file;
    return got;
}

// A line is whole up to the cap and cut from one byte past it, whether it
// arrives in one read or across many, and the lines after it keep their numbers;
// a carriage return and an empty line are lines' text, gzip or not.
TEST(SimLogLines, ALineOverTheCapIsHandedOutByItsStart)
{
    constexpr std::size_t cap = logs::kMaxLogLine;
    const std::string atCap(cap, 'a');
    const std::string pastCap(cap + 1, 'b');
    const std::string huge(20 * cap + 7, 'c'); // across many reads
    const std::string text =
        "first\r\n" + atCap + "\n" + pastCap + "\nmiddle\n" + huge + "\n\nlast\n" + pastCap;
    const auto [plain, packed] = plainAndPacked("zep_sim_long_lines", text);
    const std::string start = std::to_string(logs::kLongLineStart);
    const std::vector<std::string> expected = {
        "1:first\r/6",
        "2:aaaaaaaa/" + std::to_string(cap),
        "3:bbbbbbbb..." + std::to_string(cap + 1) + "/" + start,
        "4:middle/6",
        "5:cccccccc..." + std::to_string(huge.size()) + "/" + start,
        "6:/0",
        "7:last/4",
        "8:bbbbbbbb..." + std::to_string(cap + 1) + "/" + start, // the last, without its line feed
    };
    EXPECT_EQ(readLines(plain).lines, expected);
    EXPECT_EQ(readLines(packed).lines, expected);
    // A last line of one byte, without its line feed.
    const auto [shortPlain, shortPacked] = plainAndPacked("zep_sim_short_last", "z");
    EXPECT_EQ(readLines(shortPlain).lines, std::vector<std::string>{"1:z/1"});
    EXPECT_EQ(readLines(shortPacked).lines, std::vector<std::string>{"1:z/1"});
    fs::remove(plain);
    fs::remove(packed);
}

} // namespace
} // namespace zep::sim
