#include "replay/replay_cli.hpp"

#include <CLI/CLI.hpp>

#include <iostream>

#include "base/time_text.hpp"
#include "cli/play_options.hpp"
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
};

// A first pass over the whole file's blocks, so that damage anywhere is
// reported before anything is played.
Verdict checkWhole(std::span<const u8> bytes)
{
    zep::record::Reader reader(bytes);
    const auto status = reader.scanBlocks();
    return {status, reader.why(),
            status == zep::record::Reader::Status::end && reader.endReason() == zep::record::EndReason::closed};
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

}  // namespace

int replayMain(int argc, char **argv)
{
    CLI::App cli{"Plays a recording made with libsta_meas_rec.so against a build of the application\n"
                 "and checks that it does what the recorded one did."};
    std::string file;
    std::string lib;
    cli.add_option("file", file, "The recording (STA_MEAS_RECORD's file)")->required();
    cli.add_option("--lib", lib, "The application library (default: the one beside this program)");
    CLI11_PARSE(cli, argc, argv);

    std::vector<u8> bytes;
    std::string why;
    if (!zep::record::readFile(file.c_str(), bytes, why)) {
        std::cerr << "zep-sim replay: " << why << '\n';
        return kUnreadable;
    }
    const Verdict verdict = checkWhole(bytes);
    if (verdict.status == zep::record::Reader::Status::damaged) {
        std::cerr << "zep-sim replay: " << file << ": " << verdict.why << '\n';
        return kUnreadable;
    }
    zep::host::Host host;
    host.setCaptureLogs(false);
    host.setCaptureSent(false);
    std::string error;
    if (!host.loadSharedApp(cli::libraryToLoad(lib), &error)) {
        std::cerr << "zep-sim replay: " << error << '\n';
        return kUnreadable;
    }
    replay::Replayer replayer(bytes, host);
    const replay::Outcome outcome = replayer.run();
    if (outcome.damaged) {
        std::cerr << "zep-sim replay: " << file << ": " << outcome.ending << '\n';
        return kUnreadable;
    }
    if (outcome.divergence) {
        printDivergence(file, *outcome.divergence, std::cout);
        return kDiverged;
    }
    std::cout << file << ": same (" << outcome.events << " events)\n";
    if (!verdict.complete) {
        std::cout << "  the recording ends early, after event " << outcome.events << " (t "
                  << formatSeconds(outcome.atMs) << " s): " << verdict.why << '\n';
    }
    return kSame;
}

}  // namespace zep::sim
