// A scenario that cannot be read is reported with its file and the line of the
// offending text, and with what is wrong there.
#include <gtest/gtest.h>

#include <string>

#include "scenario/scenario_reader.hpp"

namespace zep::sim {
namespace {

struct BadScenario {
    const char *what;
    const char *text;
    int line;
    const char *reason;  // a fragment of the message
};

const BadScenario kBadScenarios[] = {
    {"yaml syntax", "steps:\n  - start\n  - send: {id: 182\n", 4, "end of map flow"},
    {"not a map", "- start\n", 1, "a scenario is a map"},
    {"no steps", "host: {radios: 2}\n", 1, "missing key \"steps\""},
    {"misspelt top-level key", "stations: []\nstpes: [start]\nsteps: [start]\n", 2,
     "unknown key \"stpes\""},
    {"unknown step", "steps:\n  - start\n  - sned: {id: 182}\n", 3, "unknown step \"sned\""},
    {"word step with a value", "steps:\n  - start: 1\n", 2, "takes no value"},
    {"misspelt body field", "steps:\n  - send:\n      id: 182\n      raidoId: 1\n", 4,
     "unknown key \"raidoId\""},
    {"field out of range", "steps:\n  - send:\n      id: 182\n      host: 300\n", 4,
     "out of range 0..255"},
    {"negative for unsigned", "steps:\n  - advance: -5\n", 2, "negative value -5"},
    {"not a number", "steps:\n  - advance: soon\n", 2, "expected a whole number"},
    {"bad MAC", "steps:\n  - send:\n      id: 182\n      entries:\n        - {staMac: \"00:11:22\"}\n",
     5, "expected a MAC address"},
    {"entry without MAC", "steps:\n  - send:\n      id: 183\n      entries:\n        - {measId: lm}\n",
     5, "missing key \"staMac\""},
    {"bad hex", "steps:\n  - send: {id: 182, hex: \"01zz\"}\n", 2, "expected hex bytes"},
    {"request of the wrong size",
     "steps:\n  - send:\n      id: 182\n      entries:\n        - staMac: \"00:11:22:33:44:01\"\n"
     "          measReq: \"0102\"\n",
     6, "expected 20 bytes of hex, got 2"},
    {"no structured body", "steps:\n  - send: {id: 500, radioId: 1}\n", 2,
     "has no structured body here"},
    {"capability", "stations:\n  - {mac: \"00:11:22:33:44:01\", caps: [lm, wnm]}\nsteps: [start]\n", 2,
     "unknown capability \"wnm\""},
    {"rate above 1", "stations:\n  - mac: \"00:11:22:33:44:01\"\n    reply: {rate: 1.5}\nsteps: [start]\n",
     3, "rate is a probability"},
    {"radio beyond the profile", "host: {radios: 2}\nradio:\n  2: {band: 1}\nsteps: [start]\n", 3,
     "radio 2 does not exist"},
    {"unknown fault", "faults:\n  - {call: ZEP_MNG_SendMgs}\nsteps: [start]\n", 2,
     "not a framework operation that can fail"},
    {"bad count", "steps:\n  - expect: {sent: {167: \"~3\"}}\n", 2, "expected a count"},
    {"empty range", "steps:\n  - expect:\n      ipc: 5..2\n", 3, "empty range"},
    {"key twice", "steps:\n  - send:\n      id: 182\n      host: 1\n      host: 2\n", 5,
     "given twice"},
    {"expect key", "steps:\n  - expect: {sendt: {167: 1}}\n", 2, "unknown key \"sendt\""},
    {"body length beyond any message", "steps:\n  - send: {id: 182, len: 4294967295}\n", 2,
     "out of range 0..65536"},
    {"entries repeated beyond any list",
     "steps:\n  - send:\n      id: 183\n      num: 1\n      entries:\n"
     "        - {staMac: all, repeat: 4000}\n        - {staMac: all, repeat: 97}\n",
     7, "more than 4096 entries"},
    {"repeat without passes", "steps:\n  - repeat:\n      times: 0\n      steps: [start]\n", 3,
     "out of range 1..100000000"},
    {"repeat without steps", "steps:\n  - repeat: {times: 2}\n", 2, "missing key \"steps\""},
    {"pass longer than its slot",
     "steps:\n  - repeat:\n      times: 2\n      every: 1000\n      steps: [{advance: 1001}]\n", 4,
     "one pass moves the clock 1001 ms, more than every (1000 ms)"},
    {"nested repeats beyond any run",
     "steps:\n  - repeat:\n      times: 100000\n      steps:\n"
     "        - repeat: {times: 100000, every: 1000, steps: [stop]}\n",
     3, "more than 34560000000 ms"},
    {"steps played beyond any run",
     "steps:\n  - repeat:\n      times: 100000000\n      steps: [stop, stop]\n", 3,
     "play more than 100000000 steps"},
    {"vaps beyond any radio", "host: {vapsPerRadio: 4294967295}\nsteps: [start]\n", 1,
     "out of range 1..64"},
    {"station's VAP beyond the radio's",
     "host: {vapsPerRadio: 2}\nstations:\n  - {mac: \"00:11:22:33:44:01\", vap: 2}\nsteps: [start]\n", 3,
     "VAP 2 does not exist"},
    {"station listed twice through a repeat",
     "stations:\n  - {mac: \"00:11:22:33:44:01\", repeat: 2}\n  - {mac: \"00:11:22:33:44:02\"}\n"
     "steps: [start]\n",
     3, "station 00:11:22:33:44:02 is listed twice"},
    {"scan channel beyond a byte", "scanRadio:\n  - {channel: 300, radio: 0}\nsteps: [start]\n", 2,
     "out of range 0..255"},
    {"scan radio beyond the profile", "host: {radios: 1}\nscanRadio:\n  - {channel: 36, radio: 1}\n"
     "steps: [start]\n", 3, "radio 1 does not exist"},
    {"misspelt pattern key", "steps:\n  - expect:\n      events: [{evv: out}]\n", 3,
     "no trace event has the key \"evv\""},
    {"pattern key of another kind", "steps:\n  - expect:\n      events: [{ev: log, id: 167}]\n", 3,
     "no \"log\" event has the key \"id\""},
    {"flow collections nested too deep",
     "steps: [[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[\n", 1,
     "nest more than 64 deep"},
};

TEST(ReaderErrors, NameTheFileTheLineAndTheReason)
{
    for (const BadScenario &bad : kBadScenarios) {
        SCOPED_TRACE(bad.what);
        try {
            readScenarioText(bad.text, "bad.yaml");
            ADD_FAILURE() << "read without complaint";
        } catch (const ScenarioError &e) {
            EXPECT_EQ(e.file(), "bad.yaml");
            EXPECT_EQ(e.line(), bad.line) << e.what();
            EXPECT_NE(e.reason().find(bad.reason), std::string::npos) << e.what();
            EXPECT_EQ(std::string(e.what()).rfind("bad.yaml:" + std::to_string(bad.line) + ": ", 0),
                      0u);
        }
    }
}

}  // namespace
}  // namespace zep::sim
