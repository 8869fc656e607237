// The HTML report: counters that stay exact when intervals widen, the data the
// page embeds (a run's, and access points' logs'), and the page itself opened
// in headless Chromium (skipped, not failed, where it is missing).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "out/run_figures.hpp"
#include "logs/log_view.hpp"
#include "out/report_html.hpp"
#include "sim_test.hpp"
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

TEST(RunFigures, CountsSurviveWideningIntervals)
{
    constexpr u64 kStart = 5000;
    RunFigures c(2);
    c.keepIntervals(kStart, nullptr);
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
    EXPECT_EQ(c.radios().at(0).requests, 3u);
}

TEST(HandlerCost, PercentilesAreBucketBounds)
{
    HandlerCost h;
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

class TempDir {
public:
    explicit TempDir(const std::string &name = "page")
        : path_(fs::temp_directory_path() / ("zep-report-" + name + "-" + std::to_string(getpid())))
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

// ---- The data the page embeds -------------------------------------------------

std::string zepSim(const std::string &args)
{
    return std::string(ZEP_SIM_TEST_PROGRAM) + " " + args;
}

std::string libOption()
{
    return std::string(" --lib ") + ZEP_SIM_TEST_LIB + " ";
}

// The text between the page's data markers, and the JSON it holds.
std::string embeddedText(const std::string &html)
{
    const std::string open = "<script id=\"report-data\" type=\"application/json\">";
    const std::size_t from = html.find(open);
    const std::size_t to = html.find("</script>", from);
    return from == std::string::npos || to == std::string::npos
               ? std::string()
               : html.substr(from + open.size(), to - from - open.size());
}

Json embedded(const fs::path &page)
{
    return Json::parse(embeddedText(readAll(page)));
}

// The station table of the run's text summary, each row's cells one space apart.
std::vector<std::string> textStationRows(const std::string &out)
{
    std::vector<std::string> rows;
    std::istringstream in(out.substr(out.find("Stations (per measurement)")));
    std::string line;
    std::getline(in, line);  // the title
    std::getline(in, line);  // the column names
    while (std::getline(in, line) && !line.empty()) {
        std::istringstream words(line);
        std::string word;
        std::string joined;
        while (words >> word) {
            joined += (joined.empty() ? "" : " ") + word;
        }
        rows.push_back(joined);
    }
    return rows;
}

// As the page shows them: an unknown figure (null) is "-", as in the text.
std::string joinedCells(const Json &row)
{
    std::string joined;
    for (const Json &cell : row) {
        joined += (joined.empty() ? "" : " ") +
                  (cell.is_null() ? "-" : cell.is_string() ? cell.get<std::string>() : cell.dump());
    }
    return joined;
}

// The page's station rows and the text summary's show the same cells in the same columns.
void expectTextShowsRows(const Json &rows, const fs::path &text)
{
    std::vector<std::string> page;
    for (const Json &row : rows) {
        page.push_back(joinedCells(row));
    }
    std::vector<std::string> inText = textStationRows(readAll(text));
    std::sort(page.begin(), page.end());
    std::sort(inText.begin(), inText.end());
    EXPECT_EQ(page, inText);
}

const Json kHeaviestDemoRow = {"00:11:22:33:44:01", "lm", 0, "0+2", 1, 1, "stop", 29, 0, 28, "97%", 0, "gone"};
const Json kMovedDemoRow = {"00:11:22:33:44:04", "tpc", 0, "2", 1, 1, "give-up", 3, 0, 0, "0%", 1,
                            "gone, moved to TPC"};

TEST(ReportData, StationRowsAreTheSummaryTableHeaviestFirst)
{
    const TempDir dir("stations");
    ASSERT_EQ(shell(zepSim(libOption() + "-q --report " + (dir.path() / "demo.html").string() + " > " +
                           (dir.path() / "run.txt").string())),
              0);
    const Json stations = embedded(dir.path() / "demo.html")["sections"][0]["stations"];
    Json keys = Json::array();
    for (const Json &c : stations["columns"]) {
        keys.push_back(c[0]);
    }
    EXPECT_EQ(keys, Json({"sta", "meas", "radio", "hosts", "added", "removed", "lastRemoval",
                          "requests", "failed", "reports", "answered", "giveUps", "now"}));
    const Json &rows = stations["rows"];
    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows[0], kHeaviestDemoRow);
    EXPECT_NE(std::find(rows.begin(), rows.end(), kMovedDemoRow), rows.end());
    for (std::size_t i = 1; i < rows.size(); ++i) {
        EXPECT_GE(rows[i - 1][7].get<u64>(), rows[i][7].get<u64>()) << "row " << i;
    }
    EXPECT_EQ(stations["shown"], 200);

    expectTextShowsRows(rows, dir.path() / "run.txt");
}

// Without notes the page has every station all the same, the events giving
// its figures; why each node left, which only notes say, is unknown on the
// page as in the text.
TEST(ReportData, ARunThatDroppedNotesShowsItsStationsWithWhyTheyLeftUnknown)
{
    const TempDir dir("level");
    // Its expect steps count notes, so some fail at this level: only the tables are looked at.
    shell(zepSim(libOption() + "-q --log-level 1 --report " + (dir.path() / "demo.html").string() + " > " +
                 (dir.path() / "run.txt").string()));
    const Json stations = embedded(dir.path() / "demo.html")["sections"][0]["stations"];
    ASSERT_FALSE(stations.contains("unavailable"));
    const Json &rows = stations["rows"];
    ASSERT_EQ(rows.size(), 13u);
    Json unknownWhy = kHeaviestDemoRow;
    unknownWhy[6] = nullptr;
    EXPECT_EQ(rows[0], unknownWhy);
    for (const Json &row : rows) {
        EXPECT_TRUE(row[6].is_null()) << row.dump();
    }
    expectTextShowsRows(rows, dir.path() / "run.txt");
}

// A name no page should trip on: it ends the script element, opens a comment
// and a script inside it, and carries an entity and a non-ASCII letter.
const std::string kOddName = "</script><!--<script>&amp;\"é";

TEST(LogsReport, OneSectionPerAccessPointAndFilteredNotesAreNamedNotZeroed)
{
    const TempDir dir("logs");
    const fs::path full = dir.path() / "full.log";
    const fs::path filtered = dir.path() / "filtered.log";
    const fs::path page = dir.path() / "logs.html";
    ASSERT_EQ(shell(zepSim(libOption() + "-q --report " + (dir.path() / "run.html").string() +
                           " --log " + full.string() + " > /dev/null")),
              0);
    shell(zepSim(libOption() + "-q --log-level 1 --log " + filtered.string() + " " +
                 ZEP_SIM_SCENARIO_DIR + "/faults.yaml > /dev/null"));
    ASSERT_EQ(shell(zepSim("logs --ap east=" + full.string() + " --ap '" + kOddName + "=" +
                           filtered.string() + "' --report " + page.string() + " > " +
                           (dir.path() / "out.txt").string())),
              0);
    EXPECT_NE(readAll(dir.path() / "out.txt").find("Report: " + page.string()), std::string::npos);

    const std::string html = readAll(page);
    EXPECT_EQ(embeddedText(html).find('<'), std::string::npos);
    const Json data = Json::parse(embeddedText(html));
    EXPECT_EQ(data["title"], "zep-sim logs: east, " + kOddName);
    ASSERT_EQ(data["sections"].size(), 2u);

    // The log read back gives the run's own station rows and radio totals.
    const Json &east = data["sections"][0];
    EXPECT_EQ(east["name"], "east");
    EXPECT_EQ(east["stations"]["rows"], embedded(dir.path() / "run.html")["sections"][0]["stations"]["rows"]);
    EXPECT_EQ(east["totals"]["requests"], 82);
    EXPECT_EQ(east["totals"]["answers"], 66);
    EXPECT_EQ(east["totals"]["reports"], 66);
    EXPECT_EQ(east["totals"]["nbBlocks"], 3);
    EXPECT_FALSE(east.contains("unavailable"));

    const Json &odd = data["sections"][1];
    EXPECT_EQ(odd["name"], kOddName);
    EXPECT_EQ(odd.value("unavailable", Json()), Json(logs::noteFigures()));
    for (const char *absent : {"radios", "totals", "stations", "interval"}) {
        EXPECT_FALSE(odd.contains(absent)) << absent << " would show zeros";
    }
    ASSERT_FALSE(odd["marks"]["rows"].empty());  // the errors are still read
    EXPECT_EQ(odd["marks"]["rows"][0]["kind"], 0);

    // A page that cannot be written is known before any log is read.
    EXPECT_EQ(shell(zepSim("logs " + full.string() + " --report /nonexistent/r.html > /dev/null 2> " +
                           (dir.path() / "err.txt").string())),
              2);
    EXPECT_EQ(readAll(dir.path() / "err.txt"), "zep-sim logs: cannot write /nonexistent/r.html: No such file or directory\n");
}

struct Browsed {
    std::string dom;
    std::string console;  // the browser's log; the page writes nothing there but errors
};

// The page as the browser left it, opened at the given #fragment.
Browsed browse(const std::string &browser, const TempDir &dir, const fs::path &page,
               const std::string &fragment)
{
    const fs::path dom = dir.path() / "dom.html";
    const fs::path log = dir.path() / "browser.txt";
    const int status = shell(browser + " --headless --no-sandbox --disable-gpu --disable-quic" +
                             " --no-first-run --disable-background-networking" +
                             " --disable-component-update --disable-sync --enable-logging=stderr --v=0" +
                             " --virtual-time-budget=10000 --user-data-dir=" +
                             (dir.path() / "profile").string() + " --dump-dom 'file://" +
                             page.string() + "#" + fragment + "' > " + dom.string() + " 2> " +
                             log.string());
    EXPECT_EQ(status, 0);
    return {readAll(dom), readAll(log)};
}

// Every chart the page made has drawn, and it made at least the given number.
void expectChartsDrawn(const std::string &dom, std::size_t atLeast)
{
    std::smatch m;
    ASSERT_TRUE(std::regex_search(dom, m, std::regex(R"re(data-charts-drawn="(\d+)")re"))) << dom;
    std::size_t canvases = 0;
    for (std::size_t at = dom.find("<canvas"); at != std::string::npos;
         at = dom.find("<canvas", at + 1)) {
        ++canvases;
    }
    EXPECT_GE(canvases, atLeast);
    EXPECT_EQ(std::stoul(m[1]), canvases);
}

std::vector<std::string> stationRowsShown(const std::string &dom)
{
    static const std::regex kRow(R"re(<tr data-station="([^"]+)")re");
    std::vector<std::string> shown;
    for (auto it = std::sregex_iterator(dom.begin(), dom.end(), kRow); it != std::sregex_iterator(); ++it) {
        shown.push_back((*it)[1]);
    }
    return shown;
}

TEST(ReportPage, DrawsEveryChartWithoutErrorAndAgreesWithTheSummary)
{
    const std::string browser = chromium();
    if (browser.empty() || chartJsText().empty()) {
        GTEST_SKIP() << "chromium or libjs-chart.js is not installed (make deps installs both)";
    }
    const TempDir dir;
    const fs::path page = dir.path() / "demo.html";
    ASSERT_EQ(shell(zepSim(libOption() + "--report " + page.string() + " > " +
                           (dir.path() / "run.txt").string())),
              0);
    const auto totals = summaryTotals(readAll(dir.path() / "run.txt"));
    ASSERT_FALSE(totals.empty()) << readAll(dir.path() / "run.txt");

    // Opened filtered as a person would type it: with colons, in capitals.
    const Browsed b = browse(browser, dir, page, "station=44:0B");
    EXPECT_EQ(b.console.find(":CONSOLE"), std::string::npos) << b.console;
    expectChartsDrawn(b.dom, 9);
    for (const auto &[key, value] : totals) {
        // The summary table of the page, and the sums of what the charts drew.
        EXPECT_NE(b.dom.find("data-total=\"" + key + "\">" + value + "<"), std::string::npos)
            << key << " should read " << value;
        if (key != "ipc") {
            EXPECT_NE(b.dom.find("data-sum-" + camel(key) + "=\"" + value + "\""), std::string::npos)
                << "the charts of " << key << " should add up to " << value;
        }
    }
    // The filter keeps the one station and the chart of its radio alone.
    EXPECT_EQ(stationRowsShown(b.dom), std::vector<std::string>{"00:11:22:33:44:0b"});
    EXPECT_NE(b.dom.find("data-stations-matching=\"1\""), std::string::npos);
    EXPECT_NE(b.dom.find("<div data-radio=\"0\">"), std::string::npos);
    EXPECT_NE(b.dom.find("<div data-radio=\"1\" class=\"hidden\">"), std::string::npos);
}

TEST(ReportPage, LogsPageShowsTheChosenAccessPointAndWhatItsLogCannotGive)
{
    const std::string browser = chromium();
    if (browser.empty() || chartJsText().empty()) {
        GTEST_SKIP() << "chromium or libjs-chart.js is not installed (make deps installs both)";
    }
    const TempDir dir("logs-page");
    const fs::path log = dir.path() / "filtered.log";
    const fs::path page = dir.path() / "logs.html";
    shell(zepSim(libOption() + "-q --log-level 1 --log " + log.string() + " " +
                 ZEP_SIM_SCENARIO_DIR + "/faults.yaml > /dev/null"));
    ASSERT_EQ(shell(zepSim("logs --ap east=" + log.string() + " --ap west=" + log.string() +
                           " --report " + page.string() + " > /dev/null")),
              0);
    const Browsed b = browse(browser, dir, page, "section=west");
    EXPECT_EQ(b.console.find(":CONSOLE"), std::string::npos) << b.console;
    expectChartsDrawn(b.dom, 1);  // the errors; a filtered log has no other chart
    EXPECT_NE(b.dom.find("<h1 id=\"title\">access point west</h1>"), std::string::npos);
    for (const std::string &figure : logs::noteFigures()) {
        EXPECT_NE(b.dom.find("data-unavailable=\"" + figure + "\""), std::string::npos) << figure;
    }
    EXPECT_EQ(b.dom.find("data-total="), std::string::npos) << "no summary without notes";
}

}  // namespace
}  // namespace zep::sim
