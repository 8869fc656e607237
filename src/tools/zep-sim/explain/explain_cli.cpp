#include "explain/explain_cli.hpp"

#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/play.hpp"
#include "cli/result.hpp"
#include "logs/log_source.hpp"
#include "logs/story_log.hpp"
#include "replay/replay_cli.hpp"
#include "run/runner.hpp"
#include "run/story_sink.hpp"
#include "sta_meas_msg.h"

namespace zep::sim {

namespace {

constexpr const char *kPrefix = "zep-sim explain: ";

struct ExplainOptions {
    std::string station;
    std::string scenario;  // empty: the built-in demo
    std::string recording;
    std::string log;
    std::string lib;
    std::string meas;  // "lm", "tpc" or empty for both
};

void addExplainOptions(CLI::App &cli, ExplainOptions &o)
{
    cli.add_option("station", o.station,
                   "The station's MAC, written 00:11:22:33:44:01 as zep-sim prints it ('-' or no separators "
                   "also do)")
        ->required()
        ->type_name("MAC");
    auto *scenario = cli.add_option("scenario", o.scenario,
                                    "The scenario to play, as zep-sim plays it (default: the built-in demo; "
                                    "- reads standard input)")
                         ->type_name("SCENARIO|-");
    auto *replay = cli.add_option("--replay", o.recording,
                                  "Replay this recording instead, as zep-sim replay takes it (plain or gzip, - for "
                                  "standard input)")
                       ->type_name("FILE|-");
    auto *logs = cli.add_option("--logs", o.log,
                                "Read this access point's log instead, as zep-sim logs reads it (plain or gzip, - "
                                "for standard input)")
                     ->type_name("FILE|-");
    scenario->excludes(replay)->excludes(logs);
    replay->excludes(logs);
    cli.add_option("--lib", o.lib, "The application library a play or a replay loads (default: the one beside "
                                   "this program)")
        ->type_name("LIB.so");
    cli.add_option("--meas", o.meas, "Only this measurement's story: lm (request 167) or tpc (request 169)")
        ->check(CLI::IsMember({"lm", "tpc"}))
        ->type_name("lm|tpc");
}

// A play at the log level of notes: the story is read from them, and the
// level changes nothing the module does.
int playInto(const ExplainOptions &o, StorySink &sink, std::string &source)
{
    cli::PlayOptions play;
    play.scenarioPath = o.scenario;
    const std::optional<Scenario> scenario = cli::readScenario(play);
    if (!scenario) {
        return cli::kExitUnreadable;
    }
    source = scenario->file;
    RunOptions run;
    run.libPath = cli::libraryToLoad(o.lib);
    run.timeline = false;
    run.logLevel = 0;
    run.sinks = {&sink};
    try {
        Runner runner(*scenario, run);
        sink.useLedger(runner.ledger());
        runner.run();
    } catch (const LoadError &e) {
        std::cerr << kPrefix << e.what() << '\n';
        return cli::kExitUnreadable;
    }
    return cli::kExitHeld;
}

// The story, and the exit status of reading its source.
std::pair<Story, int> storyOf(const ExplainOptions &o, const Mac &station, std::string &source)
{
    if (!o.log.empty()) {
        source = o.log == "-" ? "(standard input)" : o.log;
        try {
            logs::LogStory read = logs::storyOfLog(o.log, station);
            if (!read.whole) {
                std::cerr << kPrefix << o.log << ": the compressed stream ends early; what it holds up to there is read\n";
            }
            return {std::move(read.story), cli::kExitHeld};
        } catch (const logs::LogReadError &e) {
            std::cerr << kPrefix << e.what() << '\n';
            return {Story{}, cli::kExitUnreadable};
        }
    }
    StorySink sink(station);
    int status = cli::kExitHeld;
    if (!o.recording.empty()) {
        source = o.recording == "-" ? "(standard input)" : o.recording;
        status = replayIntoStory(o.recording, o.lib, sink, kPrefix);
    } else {
        status = playInto(o, sink, source);
    }
    return {sink.story(), status};
}

std::string measName(u32 measId)
{
    return measId == STAMEAS_MSG_LM_REQ ? "link measurement" : measId == STAMEAS_MSG_TPC_REQ ? "TPC measurement" : "measurement";
}

}  // namespace

int explainMain(int argc, char **argv)
{
    CLI::App cli{"Tells one station's story, in sentences and in time order: which host added it\n"
                 "and how often it was to be measured, the requests sent and answered for each\n"
                 "host, evictions, give-ups, moves to TPC, stops and leaves, and whether it was\n"
                 "measured at the end and why. Reads a play of SCENARIO (the module's notes are\n"
                 "read whatever its log level), a replay of a recording, or an access point's log."};
    cli.name("zep-sim explain");
    ExplainOptions options;
    addExplainOptions(cli, options);
    try {
        cli.parse(argc, argv);
    } catch (const CLI::CallForHelp &) {
        std::cout << cli.help();
        return cli::kExitHeld;
    } catch (const CLI::ParseError &e) {
        std::cerr << kPrefix << e.what() << "\nTry 'zep-sim explain --help' for more information.\n";
        return cli::kExitUnreadable;
    }

    const std::optional<Mac> station = host::parseMac(options.station);
    if (!station) {
        std::cerr << kPrefix << '"' << options.station << "\" is not a MAC address; write it as 00:11:22:33:44:01\n";
        return cli::kExitUnreadable;
    }
    std::string source;
    const auto [story, status] = storyOf(options, *station, source);
    if (status == cli::kExitUnreadable) {
        return status;
    }
    const u32 measId = options.meas == "lm"    ? STAMEAS_MSG_LM_REQ
                       : options.meas == "tpc" ? STAMEAS_MSG_TPC_REQ
                                               : 0;
    if (measId == 0 ? story.ends.empty() : !story.ends.contains(measId)) {
        std::cerr << kPrefix << "station " << macText(*station) << " has no " << measName(measId) << " in "
                  << source << '\n';
        return cli::kExitUnreadable;
    }
    printStory(std::cout, story, measId, source);
    if (!std::cout.flush()) {
        std::cerr << kPrefix << "cannot write to standard output\n";
        return cli::kExitUnreadable;
    }
    return status;
}

}  // namespace zep::sim
