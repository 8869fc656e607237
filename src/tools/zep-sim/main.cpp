// zep-sim: plays a scenario against the sta-meas library on the emulated
// framework, or runs one of its subcommands. A subcommand is one line in the
// table below; so is an output that a play writes to a file of its own.
#include <memory>
#include <vector>

#include "cli/play.hpp"
#include "cli/subcommands.hpp"
#include "compare/compare_cli.hpp"
#include "explain/explain_cli.hpp"
#include "logs/logs_cli.hpp"
#include "replay/replay_cli.hpp"
#include "out/syslog_writer.hpp"

int main(int argc, char **argv)
{
    using zep::sim::cli::SinkOption;
    using zep::sim::cli::Subcommand;
    const std::vector<Subcommand> subcommands = {
        {"compare", "Play scenarios on two builds of the library and compare what they did",
         zep::sim::compareMain},
        {"explain", "Tell one station's story, in sentences and in time order, from a play, a replay or a log",
         zep::sim::explainMain},
        {"logs", "Read access points' logs and rebuild what the module did", zep::sim::logsMain},
        {"replay", "Play a recording of libsta_meas_rec.so against a build and check it does the same",
         zep::sim::replayMain},
    };
    const std::vector<SinkOption> sinkOptions = {
        {"--log", "Write the module's log lines to FILE as an access point's syslog shows them",
         [](std::ostream &file, const zep::sim::Scenario &) -> std::unique_ptr<zep::sim::EventSink> {
             return std::make_unique<zep::sim::SyslogWriter>(file);
         }},
    };
    if (const Subcommand *sub = zep::sim::cli::findSubcommand(subcommands, argc, argv)) {
        return sub->run(argc - 1, argv + 1);
    }
    return zep::sim::cli::playMain(argc, argv, subcommands, sinkOptions);
}
