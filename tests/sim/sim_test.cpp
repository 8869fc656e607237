#include "sim_test.hpp"

#include <sys/wait.h>

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

std::string readAll(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int shell(const std::string &command)
{
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

}  // namespace zep::sim
