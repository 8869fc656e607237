// The recording reader on arbitrary bytes: it must end in one of its four
// verdicts and never read outside what it was given or what it unpacked
// (every byte it hands out is read here, under the sanitizers), and every log
// line it hands out must decode or say why not, and show as text.
#include <cstdint>
#include <cstdlib>
#include <numeric>

#include "record_reader.hpp"
#include "recorded_log.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    zep::record::Reader reader({data, size});
    zep::record::RecordedCall event;
    volatile unsigned sum = 0;
    while (reader.next(event) == zep::record::Reader::Status::event) {
        if (event.argCount > zep::record::kMaxArgs) {
            std::abort();
        }
        sum = sum + std::accumulate(event.in.begin(), event.in.end(), 0u) + std::accumulate(event.out.begin(), event.out.end(), 0u);
        if (event.texts != nullptr) {
            sum = sum + static_cast<unsigned>(zep::record::recordedLineText(event).size());
        }
    }
    if (reader.why().empty()) {
        std::abort();  // every way a reading ends says why
    }
    return 0;
}
