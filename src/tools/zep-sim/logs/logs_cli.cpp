#include "logs/logs_cli.hpp"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "logs/log_report.hpp"
#include "logs/log_source.hpp"
#include "logs/log_view.hpp"
#include "logs/scenario_out.hpp"
#include "out/report_html.hpp"

namespace zep::sim {

namespace {

constexpr int kExitUnreadable = 2;

struct Source {
    std::string name;
    std::string path;
};

std::vector<Source> sources(const std::vector<std::string> &files, const std::vector<std::string> &named)
{
    std::vector<Source> all;
    for (const std::string &f : files) {
        all.push_back({f == "-" ? "stdin" : std::filesystem::path(f).filename().string(), f});
    }
    for (const std::string &pair : named) {
        const std::size_t eq = pair.find('=');
        all.push_back({pair.substr(0, eq), eq == std::string::npos ? pair : pair.substr(eq + 1)});
    }
    return all;
}

// False, with the reason on stderr, when the file cannot be read at all.
bool readInto(const Source &src, logs::FieldLog &log)
{
    try {
        const logs::LineHandlers handlers{
            [&log](std::string_view line, u64 no) { log.feed(line, no); },
            [&log](std::string_view start, u64 length, u64) { log.feedLong(start, length); }};
        if (!logs::readLogLines(src.path, handlers)) {
            std::cerr << "zep-sim logs: " << src.path
                      << ": the compressed stream ends early; what it holds up to there is read\n";
        }
    } catch (const logs::LogReadError &e) {
        std::cerr << "zep-sim logs: " << e.what() << '\n';
        return false;
    }
    log.finish();
    return true;
}

// Every log is opened once before any is read, so that a path that is not a
// log ends the command before any table is printed.
bool allOpen(const std::vector<Source> &all)
{
    try {
        for (const Source &src : all) {
            const record::InputFile file(src.path);
        }
        return true;
    } catch (const record::FileError &e) {
        std::cerr << "zep-sim logs: " << e.what() << '\n';
        return false;
    }
}

// Where each output goes; a file that cannot be opened ends the command before any log is read.
struct LogsOutputs {
    bool json = false;
    bool verbose = false;
    std::string scenarioPath;
    std::string reportPath;
    std::ofstream scenarioFile;
    std::ofstream reportFile;
    Json aps = Json::array();
    ReportPage page;

    bool open()
    {
        if (!reportPath.empty() && !reportAvailable()) {
            std::cerr << "zep-sim logs: this build has no charting library (libjs-chart.js), so no --report\n";
            return false;
        }
        return openFile(scenarioFile, scenarioPath) && openFile(reportFile, reportPath);
    }
    static bool openFile(std::ofstream &file, const std::string &path)
    {
        if (path.empty()) {
            return true;
        }
        const std::string why = record::openOutputFile(file, path);
        if (!why.empty()) {
            std::cerr << "zep-sim logs: cannot write " << path << ": " << why << '\n';
        }
        return why.empty();
    }
    void add(const logs::FieldLog &log, const Source &src, bool first)
    {
        if (scenarioFile.is_open() && first) {
            logs::writeScenario(scenarioFile, log);
        }
        if (reportFile.is_open()) {
            page.title += (page.sections.empty() ? "zep-sim logs: " : ", ") + log.name();
            page.sections.push_back(logs::logSection(log, src.path));
        }
        if (json) {
            aps.push_back(logs::fieldLogJson(log));
        } else {
            logs::printFieldLog(std::cout, log, verbose);
        }
    }
    bool finish()
    {
        if (json) {
            // A field log may hold any bytes; those that are not UTF-8 print as U+FFFD.
            std::cout << Json{{"aps", aps}}.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
        }
        if (reportFile.is_open() &&
            !saveReport(reportFile, reportPath, page, json ? std::cerr : std::cout)) {
            std::cerr << "zep-sim logs: cannot write " << reportPath << '\n';
            return false;
        }
        return true;
    }
};

}  // namespace

int logsMain(int argc, char **argv)
{
    CLI::App cli{"Reads access points' logs (plain or gzip, - for standard input) and rebuilds what\n"
                 "the measurement module did: per radio, per station and measurement, per hour,\n"
                 "its handler costs and its errors."};
    cli.name("zep-sim logs");
    std::vector<std::string> files;
    std::vector<std::string> named;
    LogsOutputs outputs;
    cli.add_option("files", files, "Log files, one per access point")->type_name("FILE|-");
    cli.add_option("--ap", named, "A log file under a name of its own")->type_name("NAME=FILE");
    cli.add_flag("--json", outputs.json, "Print JSON instead of tables");
    cli.add_flag("-v,--verbose", outputs.verbose, "Show the module lines that could not be parsed");
    cli.add_option("--scenario", outputs.scenarioPath,
                   "Write a scenario that plays the first log's stations again")
        ->type_name("OUT.yaml");
    cli.add_option("--report", outputs.reportPath,
                   "Write an HTML report, one section per access point")
        ->type_name("FILE.html");
    CLI11_PARSE(cli, argc, argv);

    const std::vector<Source> all = sources(files, named);
    if (all.empty()) {
        std::cerr << "zep-sim logs: no log file given\n";
        return kExitUnreadable;
    }
    if (!allOpen(all) || !outputs.open()) {
        return kExitUnreadable;
    }
    for (const Source &src : all) {
        logs::FieldLog log(src.name);
        if (!readInto(src, log)) {
            return kExitUnreadable;
        }
        outputs.add(log, src, &src == &all.front());
    }
    return outputs.finish() ? 0 : kExitUnreadable;
}

}  // namespace zep::sim
