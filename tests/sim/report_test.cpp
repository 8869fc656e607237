// The HTML report: counters that stay exact when intervals widen, and the page
// itself opened in headless Chromium (skipped, not failed, where it is missing).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "out/report_collector.hpp"
#include "out/report_html.hpp"
#include "sta_meas_msg.h"
#include "wire/msg_catalog.hpp"

namespace zep::sim {
namespace {

namespace fs = std::filesystem;

Event request(u64 t, u32 radio)
{
    Event e;
    e.kind = EventKind::Out;
    e.t = t;
    e.id = STAMEAS_MSG_LM_REQ;
    e.column = Column::Requests;
    e.radio = radio;
    return e;
}

TEST(ReportCollector, CountsSurviveWideningIntervals)
{
    constexpr u64 kStart = 5000;
    ReportCollector c(kStart, 2);
    c.onEvent(request(kStart + 500, 0));   // interval 0 at any width
    c.onEvent(request(kStart + 1500, 1));  // interval 1 at 1 s, 0 at 2 s
    c.onEvent(request(kStart + 3100, 0));  // interval 3 at 1 s, 1 at 2 s
    ASSERT_EQ(c.intervalMs(), 1000u);
    ASSERT_EQ(c.intervals().size(), 4u);

    // 500 s no longer fits 360 intervals of 1 s; 2 s does.
    c.onEvent(request(kStart + 500000, 1));
    EXPECT_EQ(c.intervalMs(), 2000u);
    ASSERT_EQ(c.intervals().size(), 251u);
    EXPECT_EQ(c.intervals()[0].radios.at(0).requests, 1u);
    EXPECT_EQ(c.intervals()[0].radios.at(1).requests, 1u);
    EXPECT_EQ(c.intervals()[1].radios.at(0).requests, 1u);
    EXPECT_EQ(c.intervals()[250].radios.at(1).requests, 1u);

    // A day ends in 10-minute intervals.
    c.onEvent(request(kStart + 86'400'000, 0));
    EXPECT_EQ(c.intervalMs(), 600'000u);
    EXPECT_EQ(c.intervals()[0].radios.at(0).requests, 2u);
    EXPECT_EQ(c.intervals()[0].radios.at(1).requests, 2u);
    EXPECT_EQ(c.intervals()[144].radios.at(0).requests, 1u);
    EXPECT_EQ(c.events(), 5u);
}

TEST(ReportCollector, CostPercentilesAreBucketBounds)
{
    CostHistogram h;
    for (int i = 0; i < 98; ++i) {
        h.add(std::chrono::nanoseconds(700), false);
    }
    h.add(std::chrono::nanoseconds(5000), true);
    h.add(std::chrono::nanoseconds(90000), false);
    EXPECT_EQ(h.percentile(0.50).count(), 1023);   // 700 lies in [512, 1024)
    EXPECT_EQ(h.percentile(0.99).count(), 8191);   // the 99th call cost 5000
    EXPECT_EQ(h.percentile(1.00).count(), 90000);  // never above the maximum
    EXPECT_EQ(h.failed, 1u);
    EXPECT_EQ(h.min.count(), 700);
}

// ---- The page in a real browser ------------------------------------------------

std::string chromium()
{
    for (const char *path : {"/usr/bin/chromium", "/usr/bin/chromium-browser"}) {
        if (fs::exists(path)) {
            return path;
        }
    }
    return {};
}

std::string readFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

int shell(const std::string &command)
{
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

class TempDir {
public:
    TempDir() : path_(fs::temp_directory_path() / ("zep-report-" + std::to_string(getpid())))
    {
        fs::create_directories(path_ / "profile");
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path &path() const { return path_; }

private:
    fs::path path_;
};

// The "all" row of the run's summary on standard output.
std::map<std::string, std::string> summaryTotals(const std::string &out)
{
    static const std::regex kAll(
        R"(\n +all +(\d+) +(\d+) +(\d+) +(\d+) +(\d+) +(\d+) in (\d+) IPC\n)");
    std::smatch m;
    if (!std::regex_search(out, m, kAll)) {
        return {};
    }
    return {{"requests", m[1]}, {"answers", m[2]}, {"reports", m[3]}, {"comeas", m[4]},
            {"scans", m[5]},    {"nbBlocks", m[6]}, {"ipc", m[7]}};
}

std::string camel(const std::string &key)  // data-sum-nb-blocks for nbBlocks
{
    std::string out;
    for (const char c : key) {
        out += std::isupper(static_cast<unsigned char>(c)) != 0
                   ? std::string("-") + static_cast<char>(std::tolower(c))
                   : std::string(1, c);
    }
    return out;
}

TEST(ReportPage, DrawsEveryChartWithoutErrorAndAgreesWithTheSummary)
{
    const std::string browser = chromium();
    if (browser.empty() || chartJsText().empty()) {
        GTEST_SKIP() << "chromium or libjs-chart.js is not installed (make deps installs both)";
    }
    const TempDir dir;
    const fs::path page = dir.path() / "demo.html";
    ASSERT_EQ(shell(std::string(ZEP_SIM_TEST_PROGRAM) + " --lib " + ZEP_SIM_TEST_LIB +
                    " --report " + page.string() + " > " + (dir.path() / "run.txt").string()),
              0);
    const auto totals = summaryTotals(readFile(dir.path() / "run.txt"));
    ASSERT_FALSE(totals.empty()) << readFile(dir.path() / "run.txt");

    ASSERT_EQ(shell(browser + " --headless --no-sandbox --disable-gpu --disable-quic" +
                    " --no-first-run --disable-background-networking" +
                    " --disable-component-update --disable-sync --enable-logging=stderr --v=0" +
                    " --virtual-time-budget=10000 --user-data-dir=" +
                    (dir.path() / "profile").string() + " --dump-dom file://" + page.string() +
                    " > " + (dir.path() / "dom.html").string() + " 2> " +
                    (dir.path() / "browser.txt").string()),
              0);
    const std::string dom = readFile(dir.path() / "dom.html");
    const std::string log = readFile(dir.path() / "browser.txt");

    // The page writes nothing to the console; any line there is an error.
    EXPECT_EQ(log.find(":CONSOLE"), std::string::npos) << log;

    std::smatch m;
    ASSERT_TRUE(std::regex_search(dom, m, std::regex(R"re(data-charts-drawn="(\d+)")re"))) << dom;
    std::size_t canvases = 0;
    for (std::size_t at = dom.find("<canvas"); at != std::string::npos;
         at = dom.find("<canvas", at + 1)) {
        ++canvases;
    }
    EXPECT_GE(canvases, 8u);
    EXPECT_EQ(std::stoul(m[1]), canvases);

    for (const auto &[key, value] : totals) {
        // The summary table of the page, and the sums of what the charts drew.
        EXPECT_NE(dom.find("data-total=\"" + key + "\">" + value + "<"), std::string::npos)
            << key << " should read " << value;
        if (key != "ipc") {
            EXPECT_NE(dom.find("data-sum-" + camel(key) + "=\"" + value + "\""), std::string::npos)
                << "the charts of " << key << " should add up to " << value;
        }
    }
}

}  // namespace
}  // namespace zep::sim
