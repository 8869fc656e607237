#include "logs/logs_cli.hpp"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "logs/log_source.hpp"
#include "logs/log_view.hpp"
#include "logs/scenario_out.hpp"

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

}  // namespace

int logsMain(int argc, char **argv)
{
    CLI::App cli{"Reads access points' logs (plain or gzip, - for standard input) and rebuilds what\n"
                 "the measurement module did: per radio, per station and measurement, per hour,\n"
                 "its handler costs and its errors."};
    cli.name("zep-sim logs");
    std::vector<std::string> files;
    std::vector<std::string> named;
    bool json = false;
    bool verbose = false;
    std::string scenarioPath;
    cli.add_option("files", files, "Log files, one per access point")->type_name("FILE|-");
    cli.add_option("--ap", named, "A log file under a name of its own")->type_name("NAME=FILE");
    cli.add_flag("--json", json, "Print JSON instead of tables");
    cli.add_flag("-v,--verbose", verbose, "Show the module lines that could not be parsed");
    cli.add_option("--scenario", scenarioPath,
                   "Write a scenario that plays the first log's stations again")
        ->type_name("OUT.yaml");
    CLI11_PARSE(cli, argc, argv);

    const std::vector<Source> all = sources(files, named);
    if (all.empty()) {
        std::cerr << "zep-sim logs: no log file given\n";
        return kExitUnreadable;
    }
    Json out = {{"aps", Json::array()}};
    std::ofstream scenarioFile;
    if (!scenarioPath.empty()) {
        scenarioFile.open(scenarioPath, std::ios::trunc);
        if (!scenarioFile) {
            std::cerr << "zep-sim logs: cannot write " << scenarioPath << '\n';
            return kExitUnreadable;
        }
    }
    for (const Source &src : all) {
        logs::FieldLog log(src.name);
        try {
            logs::readLogLines(src.path, [&log](std::string_view line, u64 no) { log.feed(line, no); });
        } catch (const logs::LogReadError &e) {
            std::cerr << "zep-sim logs: " << e.what() << '\n';
            return kExitUnreadable;
        }
        log.finish();
        if (scenarioFile.is_open() && &src == &all.front()) {
            logs::writeScenario(scenarioFile, log);
        }
        if (json) {
            out["aps"].push_back(logs::fieldLogJson(log));
        } else {
            logs::printFieldLog(std::cout, log, verbose);
        }
    }
    if (json) {
        std::cout << out.dump(2) << '\n';
    }
    return 0;
}

}  // namespace zep::sim
