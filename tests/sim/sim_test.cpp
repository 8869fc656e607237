#include "sim_test.hpp"

#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "out/syslog_writer.hpp"
#include "scenario/scenario_reader.hpp"

namespace zep::sim {

Played play(const Scenario &sc, RunOptions opt, const std::function<void(const Runner &)> &inspect)
{
    std::ostringstream human;
    std::ostringstream trace;
    std::ostringstream log;
    SyslogWriter syslog(log);
    if (opt.libPath.empty()) {
        opt.libPath = ZEP_SIM_TEST_LIB;
    }
    opt.human = &human;
    opt.trace = &trace;
    opt.sinks.insert(opt.sinks.begin(), &syslog);
    Runner runner(sc, opt);
    Played p;
    p.failures = runner.run();
    p.findings = runner.findings();
    if (inspect) {
        inspect(runner);
    }
    p.human = human.str();
    p.trace = trace.str();
    p.log = log.str();
    return p;
}

Played play(const std::string &yaml, RunOptions opt, const std::function<void(const Runner &)> &inspect)
{
    return play(readScenarioText(yaml, "t.yaml"), std::move(opt), inspect);
}

std::vector<std::filesystem::path> shortScenarios()
{
    std::vector<std::filesystem::path> files;
    for (const auto &e : std::filesystem::directory_iterator(ZEP_SIM_SCENARIO_DIR)) {
        const std::string name = e.path().stem().string();
        if (e.path().extension() == ".yaml" && name != "load-day" && name != "soak") {
            files.push_back(e.path());
        }
    }
    return files;
}

std::string readAll(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::pair<std::string, std::string> plainAndPacked(const std::string &name, const std::string &text)
{
    const std::string base = (std::filesystem::temp_directory_path() / (name + "." + std::to_string(getpid()))).string();
    const std::string plain = base + ".log";
    const std::string packed = base + ".log.gz";
    std::ofstream(plain, std::ios::binary) << text;
    gzFile gz = gzopen(packed.c_str(), "wb");
    gzwrite(gz, text.data(), static_cast<unsigned>(text.size()));
    gzclose(gz);
    return {plain, packed};
}

int shell(const std::string &command)
{
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

Ran shellOutput(const std::string &command)
{
    Ran ran;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return ran;
    }
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) {
        ran.out.append(buf, n);
    }
    const int raw = pclose(pipe);
    ran.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return ran;
}

}  // namespace zep::sim
