#include "replay/replay_cli.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <sstream>

#include "base/time_text.hpp"
#include "cli/outputs.hpp"
#include "cli/play_options.hpp"
#include "replay/replay_view.hpp"
#include "replay/replayer.hpp"

namespace zep::sim {

namespace {

constexpr int kSame = 0;
constexpr int kDiverged = 1;
constexpr int kUnreadable = 2;

struct Verdict {
    zep::record::Reader::Status status;
    std::string why;
    bool complete = false;  // closed normally, not cut short
    u64 startMs = 0;        // the first entry's virtual time
    u32 radios = 0;         // what the profile answered, for the summary's table
};

// A first pass over the whole file's blocks (headers and checksums, nothing
// unpacked), so that damage anywhere is reported before anything is played;
// then what the outputs need up front, read from the recording's start only.
Verdict checkWhole(std::span<const u8> bytes)
{
    using zep::record::CallKind;
    zep::record::Reader blocks(bytes);
    Verdict verdict{};
    verdict.status = blocks.scanBlocks();
    verdict.why = blocks.why();
    verdict.complete = verdict.status == zep::record::Reader::Status::end &&
                       blocks.endReason() == zep::record::EndReason::closed;
    zep::record::Reader reader(bytes);
    zep::record::RecordedCall event;
    bool started = false;
    while ((!started || verdict.radios == 0) && reader.next(event) == zep::record::Reader::Status::event) {
        if (!started && event.kind == CallKind::in && event.argCount > 0) {
            verdict.startMs = event.args[event.argCount - 1];
            started = true;
        }
        if (verdict.radios == 0 && event.kind == CallKind::op &&
            event.id == static_cast<u8>(zep::record::Op::ZEP_PROFILE_GetMaxRadioNum)) {
            verdict.radios = static_cast<u32>(event.ret);
        }
    }
    return verdict;
}

void printDivergence(const std::string &file, const replay::Divergence &d, std::ostream &out)
{
    out << file << ": diverged at event " << d.event << " (t " << formatSeconds(d.atMs) << " s)\n"
        << "  recorded:   " << d.recorded << "\n"
        << "  this build: " << d.actual << "\n";
    if (!d.context.empty()) {
        out << "  events before it:\n";
        u64 number = d.event - d.context.size();
        for (const auto &line : d.context) {
            out << "    " << number++ << "  " << line << "\n";
        }
    }
}

struct ReplayOptions {
    std::string file;
    std::string lib;
    cli::PlayOptions outputs;  // --trace, --report, -v, --log-level
    bool timeline = false;
};

void addReplayOptions(CLI::App &cli, ReplayOptions &options)
{
    cli.add_option("file", options.file,
                   "The recording (STA_MEAS_RECORD's file), plain or gzip; - reads standard input")
        ->required();
    cli.add_option("--lib", options.lib, "The application library (default: the one beside this program)");
    cli.add_option("--trace", options.outputs.tracePath, "Write the replay's JSON Lines trace to FILE, or to stdout with -")
        ->type_name("FILE|-");
    cli.add_option("--report", options.outputs.reportPath, "Write the HTML report of the replay to FILE")
        ->type_name("FILE.html");
    cli.add_flag("--timeline", options.timeline, "Print the timeline and the summary before the verdict");
    cli.add_flag("-v,--verbose", options.outputs.verbose, "The timeline with every log line (implies --timeline)");
    cli.add_option("--log-level", options.outputs.logLevel,
                   "Lowest log severity shown (0 note, 1 rare, 2 error, 3 none); every line is still compared")
        ->check(CLI::Range(0, 3));
}

// The verdict after the replay: "same", where a short recording ends, or the
// divergence; or damage the replay met inside blocks whose checksums held.
int printVerdict(const std::string &file, const Verdict &verdict, const replay::Outcome &outcome,
                 std::ostream &out)
{
    if (outcome.damaged) {
        std::cerr << "zep-sim replay: " << file << ": " << outcome.ending << '\n';
        return kUnreadable;
    }
    if (outcome.divergence) {
        printDivergence(file, *outcome.divergence, out);
        return kDiverged;
    }
    out << file << ": same (" << outcome.events << " events)\n";
    if (!verdict.complete) {
        out << "  the recording ends early, after event " << outcome.events << " (t "
            << formatSeconds(outcome.atMs) << " s): " << verdict.why << '\n';
    }
    return kSame;
}

// The recording, read and checked whole, and the host with the library loaded.
struct Loaded {
    std::vector<u8> bytes;
    Verdict verdict{};
    std::string why;  // empty when loaded
};

Loaded load(const std::string &file, const std::string &lib, zep::host::Host &host)
{
    Loaded loaded;
    if (!zep::record::readFile(file.c_str(), loaded.bytes, loaded.why)) {
        return loaded;
    }
    loaded.verdict = checkWhole(loaded.bytes);
    if (loaded.verdict.status == zep::record::Reader::Status::damaged) {
        loaded.why = file + ": " + loaded.verdict.why;
        return loaded;
    }
    host.setCaptureLogs(false);
    host.setCaptureSent(false);
    host.loadSharedApp(cli::libraryToLoad(lib), &loaded.why);  // why says when it fails
    return loaded;
}

// The replay, watching told of each entry, on the clock the recording starts
// at; the verdict goes to out.
int replayWatched(const std::string &file, const Loaded &loaded, zep::host::Host &host, replay::ReplayView &watching,
                  std::ostream &out)
{
    host.setNowMs(loaded.verdict.startMs);
    replay::Replayer replayer(loaded.bytes, host, &watching.fanout());
    const replay::Outcome outcome = replayer.run();
    watching.finish(outcome.atMs - std::min(outcome.atMs, loaded.verdict.startMs));
    return printVerdict(file, loaded.verdict, outcome, out);
}

// Replays with the outputs a play would write; they are opened before
// anything is played, so that a path that cannot be written costs no replay.
int replayWithOutputs(const ReplayOptions &options, const Loaded &loaded, zep::host::Host &host)
{
    const Verdict &verdict = loaded.verdict;
    Scenario named;
    named.file = named.name = options.file;
    named.profile.radios = verdict.radios;
    named.clockStartMs = verdict.startMs;
    cli::Outputs outputs(named, {});
    RunOptions run;
    run.human = &std::cout;
    if (!outputs.open(options.outputs, run)) {
        return kUnreadable;
    }
    replay::ViewOptions view{options.timeline || options.outputs.verbose ? run.human : nullptr,
                             options.outputs.verbose, run.trace, run.sinks, run.report,
                             options.outputs.logLevel.value_or(0), verdict.radios};
    try {
        const auto begin = std::chrono::steady_clock::now();
        replay::ReplayView watching(host, view);
        const int status = replayWatched(options.file, loaded, host, watching, *run.human);
        RunFacts facts{options.file, options.file, cli::libraryToLoad(options.lib), 0,
                       std::chrono::steady_clock::now() - begin};
        outputs.finish(facts, cli::Verdict{nullptr, 0, status, watching.stations(), watching.findings()},
                       *run.human);
        return status;
    } catch (const cli::WriteError &e) {
        std::cerr << "zep-sim: " << e.what() << '\n';
        return kUnreadable;
    }
}

bool wantsOutputs(const ReplayOptions &options)
{
    return options.timeline || options.outputs.verbose || !options.outputs.tracePath.empty() ||
           !options.outputs.reportPath.empty();
}

}  // namespace

int replayIntoStory(const std::string &file, const std::string &lib, StorySink &sink, const std::string &prefix)
{
    zep::host::Host host;
    const Loaded loaded = load(file, lib, host);
    if (!loaded.why.empty()) {
        std::cerr << prefix << loaded.why << '\n';
        return kUnreadable;
    }
    replay::ViewOptions view;
    view.sinks = {&sink};
    view.radios = loaded.verdict.radios;
    replay::ReplayView watching(host, view);
    sink.useLedger(watching.ledger());
    std::ostringstream verdict;
    const int status = replayWatched(file, loaded, host, watching, verdict);
    if (status != kSame) {
        std::cerr << prefix << verdict.str();
    }
    return status;
}

int replayMain(int argc, char **argv)
{
    CLI::App cli{"Plays a recording made with libsta_meas_rec.so against a build of the application\n"
                 "and checks that it does what the recorded one did."};
    ReplayOptions options;
    addReplayOptions(cli, options);
    CLI11_PARSE(cli, argc, argv);

    zep::host::Host host;
    const Loaded loaded = load(options.file, options.lib, host);
    if (!loaded.why.empty()) {
        std::cerr << "zep-sim replay: " << loaded.why << '\n';
        return kUnreadable;
    }
    if (wantsOutputs(options)) {
        return replayWithOutputs(options, loaded, host);
    }
    replay::Replayer replayer(loaded.bytes, host);
    return printVerdict(options.file, loaded.verdict, replayer.run(), std::cout);
}

}  // namespace zep::sim
