#include "logs/log_source.hpp"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <utility>
#include <memory>
#include <vector>

namespace zep::sim::logs {

namespace {

// Small enough that a chunk read by the kernel is still in the cache when parsed.
constexpr std::size_t kChunk = 128 << 10;
constexpr std::size_t kWindow = 32 << 20;  // a multiple of every page size

struct GzCloser {
    void operator()(gzFile f) const { gzclose(f); }
};
using GzHandle = std::unique_ptr<gzFile_s, GzCloser>;

using ReadFn = std::function<std::size_t(char *, std::size_t)>;  // 0 at the end

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// Standard input may be compressed too, but cannot be peeked at: it always
// goes through zlib, which passes plain text through.
bool isPlainFile(int fd, const std::string &path)
{
    unsigned char magic[2] = {0, 0};
    return path != "-" && pread(fd, magic, sizeof(magic), 0) >= 0 && !(magic[0] == 0x1f && magic[1] == 0x8b);
}

ReadFn plainReader(int fd, const std::string &path)
{
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return [fd, path](char *buf, std::size_t size) {
        for (;;) {
            const ssize_t n = read(fd, buf, size);
            if (n >= 0) {
                return static_cast<std::size_t>(n);
            }
            if (errno != EINTR) {
                throw LogReadError(path + ": " + std::strerror(errno));
            }
        }
    };
}

ReadFn gzipReader(gzFile f, const std::string &path, bool &truncated)
{
    return [f, path, &truncated](char *buf, std::size_t size) {
        const int n = gzread(f, buf, static_cast<unsigned>(size));
        int code = Z_OK;
        const char *message = gzerror(f, &code);
        if (n <= 0 && code == Z_BUF_ERROR) {
            truncated = true;  // what came before it stands
            return std::size_t{0};
        }
        if (n < 0) {
            throw LogReadError(path + ": " + message);
        }
        return static_cast<std::size_t>(n);
    };
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

void splitAll(const ReadFn &readChunk, const std::function<void(std::string_view, u64)> &onLine)
{
    std::vector<char> buf(kChunk);
    std::size_t kept = 0;  // bytes of an unfinished line at the front of buf
    u64 lineNo = 0;
    for (;;) {
        if (kept == buf.size()) {
            buf.resize(buf.size() * 2);  // a line longer than the buffer
        }
        const std::size_t n = readChunk(buf.data() + kept, buf.size() - kept);
        if (n == 0) {
            break;
        }
        const std::size_t filled = kept + n;
        const std::size_t used = splitLines(buf.data(), filled, lineNo, onLine);
        kept = filled - used;
        std::memmove(buf.data(), buf.data() + used, kept);
    }
    if (kept > 0) {
        onLine(std::string_view(buf.data(), kept), ++lineNo);
    }
}

// A plain file is read in place, a window at a time: mapped rather than
// copied into a buffer, which would cost as much as the parsing, and never
// more than a window resident, however long the file. A line across two
// windows is carried over. False when the file cannot be mapped (a pipe, an
// empty file), and the caller reads it instead.
bool splitMapped(int fd, const std::function<void(std::string_view, u64)> &onLine)
{
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
        return false;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    std::string carry;  // the start of a line that the last window cut
    u64 lineNo = 0;
    for (std::size_t off = 0; off < size; off += kWindow) {
        const std::size_t len = std::min(kWindow, size - off);
        void *map = mmap(nullptr, len, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, static_cast<off_t>(off));
        if (map == MAP_FAILED) {
            if (off == 0) {
                return false;
            }
            throw LogReadError("cannot map the file past byte " + std::to_string(off));
        }
        std::string_view data(static_cast<const char *>(map), len);
        if (!carry.empty()) {
            const std::size_t nl = data.find('\n');
            carry.append(data.substr(0, nl));
            if (nl != std::string_view::npos) {
                onLine(carry, ++lineNo);
                carry.clear();
            }
            data.remove_prefix(nl == std::string_view::npos ? data.size() : nl + 1);
        }
        const std::size_t used = splitLines(data.data(), data.size(), lineNo, onLine);
        carry.append(data.substr(used));
        munmap(map, len);
    }
    if (!carry.empty()) {
        onLine(carry, ++lineNo);
    }
    return true;
}

}  // namespace

bool readLogLines(const std::string &path,
                  const std::function<void(std::string_view line, u64 lineNo)> &onLine)
{
    FileDescriptor fd(path == "-" ? dup(STDIN_FILENO) : open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        throw LogReadError(path + ": cannot open the file: " + std::strerror(errno));
    }
    if (isPlainFile(fd.get(), path)) {
        if (!splitMapped(fd.get(), onLine)) {
            splitAll(plainReader(fd.get(), path), onLine);
        }
        return true;
    }
    const GzHandle gz(gzdopen(fd.get(), "rb"));
    if (!gz) {
        throw LogReadError(path + ": cannot read the file");
    }
    fd.release();  // gzclose closes it
    gzbuffer(gz.get(), kChunk);
    bool truncated = false;
    splitAll(gzipReader(gz.get(), path, truncated), onLine);
    return !truncated;
}

}  // namespace zep::sim::logs
