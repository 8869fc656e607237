// The recording reader on arbitrary bytes: it must end in one of its four
// verdicts, never read outside the input, and hand out events whose byte
// strings lie inside it.
#include <cstdint>
#include <cstdlib>

#include "record_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::span<const std::uint8_t> input(data, size);
    zep::record::Reader reader(input);
    zep::record::Event event;
    const auto inside = [&](std::span<const std::uint8_t> bytes) {
        return bytes.empty() || (bytes.data() >= data && bytes.data() + bytes.size() <= data + size);
    };
    while (reader.next(event) == zep::record::Reader::Status::event) {
        if (!inside(event.in) || !inside(event.out) || event.argCount > zep::record::kMaxArgs) {
            std::abort();
        }
    }
    if (reader.why().empty()) {
        std::abort();  // every way a reading ends says why
    }
    return 0;
}
