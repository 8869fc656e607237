// libFuzzer target: YAML text in. Either it reads as a scenario or the reader
// reports what is wrong with the file's name; any other exception, a crash, a
// hang or an allocation beyond the fuzzer's limit is a finding.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "scenario/scenario_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    try {
        (void)zep::sim::readScenarioText(text, "fuzz.yaml");
    } catch (const zep::sim::ScenarioError &e) {
        if (e.file() != "fuzz.yaml") {
            std::abort();
        }
    }
    return 0;
}
