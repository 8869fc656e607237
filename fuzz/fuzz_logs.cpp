// libFuzzer target: an access point's log in, as zep-sim logs reads it. No
// line may crash the reader, and what it rebuilds must hold together: module
// lines within the lines read, unparsed ones within those, and no radio with
// more reports forwarded than answers received.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string_view>

#include "logs/field_log.hpp"
#include "logs/log_view.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char *>(data), size);
    zep::sim::logs::FieldLog log("fuzz");
    std::uint64_t no = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        log.feed(text.substr(0, end), ++no);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    log.finish();
    if (log.moduleLines() > log.lines() || log.unparsedLines() > log.moduleLines()) {
        std::abort();
    }
    for (const auto &[radio, r] : log.radios()) {
        if (r.reports > r.answers || (r.tableSize && *r.tableSize > r.peak)) {
            std::abort();
        }
    }
    std::ostringstream out;
    zep::sim::logs::printFieldLog(out, log, true);
    (void)zep::sim::logs::fieldLogJson(log).dump(-1, ' ', false,
                                                  zep::sim::Json::error_handler_t::replace);
    return 0;
}
