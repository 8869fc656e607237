#include "cli/play.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>

#include "cli/outputs.hpp"
#include "cli/result.hpp"
#include "record_reader.hpp"
#include "scenario/demo.hpp"
#include "scenario/scenario_reader.hpp"

namespace zep::sim::cli {

namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void askToStop(int sig)
{
    stopSignal = sig;
}

// The first SIGINT or SIGTERM ends the run at the next slice of virtual time,
// with its summary and a whole trace; a second one kills as usual.
void catchStopSignals()
{
    struct sigaction sa {};
    sa.sa_handler = askToStop;
    sa.sa_flags = SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

RunOptions runOptionsFor(const PlayOptions &options)
{
    RunOptions run;
    if (!options.recordPath.empty()) {
        // The recording build reads this when it is loaded, as it does on a device.
        setenv("STA_MEAS_RECORD", options.recordPath.c_str(), 1);
    }
    run.libPath = libraryToLoad(options.libPath, options.recordPath.empty() ? "libsta_meas.so"
                                                                          : "libsta_meas_rec.so");
    run.verbose = options.verbose;
    run.timeline = !options.quiet;
    run.human = &std::cout;
    if (isatty(STDERR_FILENO) != 0) {
        run.progress = &std::cerr;
    }
    run.seed = options.seed;
    run.logLevel = options.logLevel;
    run.stop = &stopSignal;
    return run;
}

std::string subcommandList(std::span<const Subcommand> subcommands)
{
    std::string out = "\nSubcommands (zep-sim help NAME for their options):\n";
    for (const Subcommand &sub : subcommands) {
        out += "  " + std::string(sub.name) + std::string(sub.name.size() < 10 ? 10 - sub.name.size() : 1, ' ') +
               std::string(sub.summary) + "\n";
    }
    return out;
}

// Parses the command line. Returns the exit status when there is nothing to
// play: 0 after --help or --version, 2 after a usage error, with a one-line hint.
std::optional<int> parse(CLI::App &cli, int argc, char **argv)
{
    try {
        cli.parse(argc, argv);
        return std::nullopt;
    } catch (const CLI::CallForHelp &) {
        std::cout << cli.help();
        return kExitHeld;
    } catch (const CLI::CallForVersion &) {
        std::cout << versionText() << '\n';
        return kExitHeld;
    } catch (const CLI::ParseError &e) {
        std::cerr << "zep-sim: " << e.what() << "\nTry 'zep-sim --help' for more information.\n";
        return kExitUnreadable;
    }
}

// `zep-sim help` is --help; `zep-sim help NAME` is the subcommand's --help.
int showHelp(const CLI::App &cli, std::span<const Subcommand> subcommands, int argc, char **argv)
{
    if (argc >= 3) {
        if (const Subcommand *sub = findSubcommand(subcommands, argc - 1, argv + 1)) {
            std::string name(sub->name);
            std::string flag = "--help";
            char *args[] = {name.data(), flag.data(), nullptr};
            return sub->run(2, args);
        }
        std::cerr << "zep-sim: no subcommand \"" << argv[2] << "\"\n" << subcommandList(subcommands);
        return kExitUnreadable;
    }
    std::cout << cli.help();
    return kExitHeld;
}

// Plays the scenario; the library is unloaded when this returns.
int playScenario(const Scenario &scenario, const PlayOptions &options, std::span<const SinkOption> sinkOptions)
{
    RunOptions run = runOptionsFor(options);
    Outputs outputs(scenario, sinkOptions);
    if (!outputs.open(options, run)) {
        return kExitUnreadable;
    }
    RunFacts facts;
    facts.scenario = scenario.name.empty() ? scenario.file : scenario.name;
    facts.file = scenario.file;
    facts.library = run.libPath;
    try {
        Runner runner(scenario, run);
        catchStopSignals();
        const auto begin = std::chrono::steady_clock::now();
        const std::vector<Failure> failures = runner.run();
        facts.wall = std::chrono::steady_clock::now() - begin;
        facts.seed = runner.seed();
        const int status = printResult(*run.human, scenario, runner, failures, options.strict,
                                       stopSignal);
        outputs.finish(facts, Verdict{&runner, failures.size(), status, runner.stations(), runner.findings()},
                       *run.human);
        return status;
    } catch (const LoadError &e) {
        std::cerr << "zep-sim: " << e.what() << '\n';
    } catch (const WriteError &e) {
        std::cerr << "zep-sim: " << e.what() << '\n';
    }
    return kExitUnreadable;
}

// A file's identity and last change: a recording the recorder could not
// replace (a read-only file) stays as it was, and is not this run's.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    bool operator==(const FileStamp &o) const
    {
        return device == o.device && inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};

std::optional<FileStamp> stampOf(const std::string &path)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return FileStamp{st.st_dev, st.st_ino, st.st_mtim};
}

// Empty when the recording is whole (closed, or stopped at the cap it was
// given), else what is wrong with it. The library writes the end block when
// it is unloaded, so this reads the file after the run: whatever stopped the
// recorder (a file it could not make, a write that failed), the file shows it.
std::string recordingFault(const std::string &path, const std::optional<FileStamp> &before)
{
    const std::optional<FileStamp> after = stampOf(path);
    if (!after || after == before) {
        return path + ": no recording was made";
    }
    std::vector<u8> bytes;
    std::string why;
    if (!record::readFile(path.c_str(), bytes, why)) {
        return why;
    }
    record::Reader reader(bytes);
    const record::Reader::Status status = reader.scanBlocks();
    if (status == record::Reader::Status::end && reader.endReason() == record::EndReason::capReached) {
        std::cerr << "zep-sim: " << path << ": " << reader.why() << '\n';
        return {};
    }
    if (status == record::Reader::Status::end && reader.endReason() == record::EndReason::closed) {
        return {};
    }
    return path + ": the recording is not whole: " + reader.why();
}

int play(const Scenario &scenario, const PlayOptions &options, std::span<const SinkOption> sinkOptions)
{
    const std::optional<FileStamp> before = stampOf(options.recordPath);
    const int status = playScenario(scenario, options, sinkOptions);
    if (options.recordPath.empty() || status == kExitUnreadable) {
        return status;
    }
    if (const std::string fault = recordingFault(options.recordPath, before); !fault.empty()) {
        std::cerr << "zep-sim: " << fault << '\n';
        return kExitUnreadable;
    }
    return status;
}

}  // namespace

// Standard input is read only when named "-": a run never depends on what
// standard input happens to be (a script's file, a terminal, /dev/null).
std::optional<Scenario> readScenario(const PlayOptions &options)
{
    try {
        if (options.scenarioPath.empty()) {
            return readScenarioText(std::string(demoScenarioText()), std::string(kDemoScenarioName));
        }
        return readScenarioFile(options.scenarioPath);
    } catch (const ScenarioError &e) {
        std::cerr << "zep-sim: " << e.what() << '\n';
        return std::nullopt;
    }
}

int playMain(int argc, char **argv, std::span<const Subcommand> subcommands,
             std::span<const SinkOption> sinkOptions)
{
    CLI::App cli{"Plays a scenario against libsta_meas.so on the emulated framework.\n"
                 "Without a scenario file it plays the built-in demo (scenarios/demo.yaml);\n"
                 "- reads the scenario from standard input. Exit status: 0 every\n"
                 "expectation held, 1 one failed, 2 unreadable input or an output that\n"
                 "could not be written, 130/143 interrupted.",
                 "zep-sim"};
    cli.footer(subcommandList(subcommands));
    PlayOptions options;
    addPlayOptions(cli, options, sinkOptions);
    if (argc >= 2 && std::string_view(argv[1]) == "help") {
        return showHelp(cli, subcommands, argc, argv);
    }
    if (const std::optional<int> status = parse(cli, argc, argv)) {
        return *status;
    }
    std::error_code ec;
    if (options.scenarioPath == "help" && !std::filesystem::exists("help", ec)) {
        std::cout << cli.help();  // `zep-sim --lib X help`
        return kExitHeld;
    }
    const std::optional<Scenario> scenario = readScenario(options);
    if (!scenario) {
        return kExitUnreadable;
    }
    const int status = play(*scenario, options, sinkOptions);
    if (!std::cout.flush()) {
        std::cerr << "zep-sim: cannot write to standard output\n";
        return kExitUnreadable;
    }
    return status;
}

}  // namespace zep::sim::cli
