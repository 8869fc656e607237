#include "logs/log_source.hpp"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <memory>
#include <vector>

namespace zep::sim::logs {

namespace {

constexpr std::size_t kChunk = 1 << 20;

struct GzCloser {
    void operator()(gzFile f) const { gzclose(f); }
};
using GzHandle = std::unique_ptr<gzFile_s, GzCloser>;

GzHandle open(const std::string &path)
{
    const int fd = path == "-" ? dup(STDIN_FILENO) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw LogReadError(path + ": cannot open the file: " + std::strerror(errno));
    }
    gzFile f = gzdopen(fd, "rb");
    if (f == nullptr) {
        close(fd);
        throw LogReadError(path + ": cannot read the file");
    }
    gzbuffer(f, kChunk);
    return GzHandle(f);
}

// Hands out the whole lines of buf[0, filled) and returns where the last,
// unfinished one begins.
std::size_t splitLines(const char *buf, std::size_t filled, u64 &lineNo,
                       const std::function<void(std::string_view, u64)> &onLine)
{
    std::size_t at = 0;
    while (at < filled) {
        const void *nl = std::memchr(buf + at, '\n', filled - at);
        if (nl == nullptr) {
            break;
        }
        const std::size_t end = static_cast<std::size_t>(static_cast<const char *>(nl) - buf);
        onLine(std::string_view(buf + at, end - at), ++lineNo);
        at = end + 1;
    }
    return at;
}

}  // namespace

void readLogLines(const std::string &path,
                  const std::function<void(std::string_view line, u64 lineNo)> &onLine)
{
    const GzHandle f = open(path);
    std::vector<char> buf(kChunk);
    std::size_t kept = 0;  // bytes of an unfinished line at the front of buf
    u64 lineNo = 0;
    for (;;) {
        if (kept == buf.size()) {
            buf.resize(buf.size() * 2);  // a line longer than the buffer
        }
        const int n = gzread(f.get(), buf.data() + kept, static_cast<unsigned>(buf.size() - kept));
        if (n < 0) {
            int code = 0;
            throw LogReadError(path + ": " + gzerror(f.get(), &code));
        }
        if (n == 0) {
            break;
        }
        const std::size_t filled = kept + static_cast<std::size_t>(n);
        const std::size_t used = splitLines(buf.data(), filled, lineNo, onLine);
        kept = filled - used;
        std::memmove(buf.data(), buf.data() + used, kept);
    }
    if (kept > 0) {
        onLine(std::string_view(buf.data(), kept), ++lineNo);
    }
}

}  // namespace zep::sim::logs
