// libFuzzer target: an access point's log file in, as zep-sim logs reads it,
// plain or gzip-compressed. No file may crash the reader or make it hold more
// than its buffer, and what it rebuilds must hold together: module lines
// within the lines read, unparsed ones within those, and no radio with more
// reports forwarded than answers received.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "logs/field_log.hpp"
#include "logs/log_source.hpp"
#include "logs/log_view.hpp"

namespace
{

// The input as a file of its own, in memory, as the reader takes a path.
class MemoryFile
{
  public:
    MemoryFile(const std::uint8_t *data, std::size_t size) : fd_(memfd_create("log", MFD_CLOEXEC))
    {
        if (fd_ < 0 || write(fd_, data, size) != static_cast<ssize_t>(size)) {
            std::abort();
        }
    }
    ~MemoryFile() { close(fd_); }
    std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

  private:
    int fd_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const MemoryFile file(data, size);
    zep::sim::logs::FieldLog log("fuzz");
    try {
        zep::sim::logs::readLogLines(
            file.path(), {[&log](std::string_view line, std::uint64_t no) { log.feed(line, no); },
                          [&log](std::string_view start, std::uint64_t length, std::uint64_t) {
                              log.feedLong(start, length);
                          }});
    } catch (const zep::sim::logs::LogReadError &) {
        return 0; // empty, or compressed and damaged: refused with a reason
    }
    log.finish();
    if (log.moduleLines() > log.lines() || log.unparsedLines() > log.moduleLines()) {
        std::abort();
    }
    for (const auto &[radio, r] : log.radios()) {
        if (r.reports > r.answers || (r.nodes && *r.nodes > r.peakNodes.value_or(0))) {
            std::abort();
        }
    }
    std::ostringstream out;
    zep::sim::logs::printFieldLog(out, log, true);
    (void)zep::sim::logs::fieldLogJson(log).dump(-1, ' ', false,
                                                 zep::sim::Json::error_handler_t::replace);
    return 0;
}
