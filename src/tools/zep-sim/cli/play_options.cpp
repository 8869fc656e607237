#include "cli/play_options.hpp"

#include <filesystem>

namespace zep::sim::cli {

void addPlayOptions(CLI::App &cli, PlayOptions &options, std::span<const SinkOption> sinkOptions)
{
    cli.add_option("scenario", options.scenarioPath, "Scenario file (YAML)");
    cli.add_option("--lib", options.libPath,
                   "The application library (default: ../lib/libsta_meas.so beside this "
                   "program, else the loader's search path)");
    cli.add_option("--trace", options.tracePath, "Write the JSON Lines trace to FILE, or to stdout with -")
        ->type_name("FILE|-");
    cli.add_option("--report", options.reportPath, "Write the HTML report of the run to FILE")
        ->type_name("FILE.html");
    cli.add_option("--record", options.recordPath,
                   "Play with the recording build (libsta_meas_rec.so) and record the run to FILE")
        ->type_name("FILE");
    cli.add_option("--seed", options.seed, "Seed of the stations' answers");
    cli.add_flag("-v,--verbose", options.verbose, "Show every log line in the timeline");
    cli.add_flag("-q,--quiet", options.quiet, "Print the summary alone, without the timeline");
    cli.add_option("--log-level", options.logLevel, "Lowest log severity kept (0 note, 1 rare, 2 error)");
    options.sinkPaths.resize(sinkOptions.size());
    for (std::size_t i = 0; i < sinkOptions.size(); ++i) {
        cli.add_option(std::string(sinkOptions[i].flag), options.sinkPaths[i],
                       std::string(sinkOptions[i].help))
            ->type_name("FILE");
    }
}

std::string defaultLibrary(std::string_view name)
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path lib = exe.parent_path() / ".." / "lib" / name;
        if (std::filesystem::exists(lib, ec)) {
            return lib.lexically_normal().string();
        }
    }
    return std::string(name);
}

}  // namespace zep::sim::cli
