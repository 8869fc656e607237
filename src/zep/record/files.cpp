#include "files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace zep::record
{

namespace
{

// zlib's own buffers: a read larger than twice this goes straight into the
// caller's buffer when the file is plain.
constexpr unsigned kZlibBuffer = 64 << 10;

std::string systemReason(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// Why a file of this kind is not one to read, or "" when it is. Standard
// input may be a terminal: the user then types it.
std::string unreadableKind(const struct stat &st, bool standardInput)
{
    if (S_ISDIR(st.st_mode)) {
        return "is a directory";
    }
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode) && !standardInput) {
        return "is a device or a socket, not a file";
    }
    if (S_ISREG(st.st_mode) && st.st_size == 0) {
        return "is empty";
    }
    return "";
}

} // namespace

InputFile::InputFile(const std::string &path)
    : path_(path == "-" ? "(standard input)" : path)
{
    const bool standardInput = path == "-";
    const int fd = standardInput ? dup(STDIN_FILENO) : open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw FileError(path_, systemReason("cannot be opened"));
    }
    struct stat st {
    };
    std::string why =
        fstat(fd, &st) != 0 ? systemReason("cannot be read") : unreadableKind(st, standardInput);
    if (why.empty()) {
        gz_ = gzdopen(fd, "rb"); // from here gzclose closes fd
        why = gz_ == nullptr ? "cannot be read: no memory for its buffers" : "";
    }
    if (!why.empty()) {
        close(fd);
        throw FileError(path_, why);
    }
    sizeOnDisk_ = S_ISREG(st.st_mode) ? static_cast<u64>(st.st_size) : 0;
    gzbuffer(gz_, kZlibBuffer);
}

InputFile::~InputFile()
{
    gzclose(gz_);
}

std::size_t InputFile::read(std::span<char> buf)
{
    const int n =
        gzread(gz_, buf.data(), static_cast<unsigned>(std::min<std::size_t>(buf.size(), INT_MAX)));
    int code = Z_OK;
    const char *message = gzerror(gz_, &code);
    if (n <= 0 && code == Z_BUF_ERROR) {
        endedEarly_ = true; // what came before it stands
        return 0;
    }
    if (n < 0) {
        throw FileError(path_, code == Z_ERRNO ? systemReason("cannot be read")
                                               : std::string("is damaged: ") + message);
    }
    if (n == 0 && handedOut_ == 0) {
        throw FileError(path_, "is empty");
    }
    handedOut_ += static_cast<u64>(n);
    return static_cast<std::size_t>(n);
}

std::vector<u8> readWholeFile(const std::string &path, u64 maxBytes)
{
    InputFile file(path);
    const u64 limit = maxBytes == UINT64_MAX ? maxBytes : maxBytes + 1;
    // A plain file says how much it holds: room for that much is made at once
    // (and a byte more, where its end is seen), and anything else grows as its
    // bytes arrive.
    std::vector<u8> bytes(static_cast<std::size_t>(
        std::min<u64>(std::max<u64>(file.sizeOnDisk() + 1, kZlibBuffer), limit)));
    std::size_t filled = 0;
    while (filled < limit) {
        if (filled == bytes.size()) {
            bytes.resize(static_cast<std::size_t>(std::min<u64>(bytes.size() * 2, limit)));
        }
        const std::size_t n =
            file.read({reinterpret_cast<char *>(bytes.data()) + filled, bytes.size() - filled});
        if (n == 0) {
            break;
        }
        filled += n;
    }
    bytes.resize(filled);
    return bytes;
}

InputStream::InputStream(const std::string &path) : std::istream(&buffer_), buffer_(path)
{
    exceptions(std::ios::badbit);
}

InputStream::Buffer::int_type InputStream::Buffer::underflow()
{
    const std::size_t n = file_.read(bytes_);
    if (n == 0) {
        return traits_type::eof();
    }
    setg(bytes_.data(), bytes_.data(), bytes_.data() + n);
    return traits_type::to_int_type(bytes_[0]);
}

std::string openOutputFile(std::ofstream &file, const std::string &path)
{
    struct stat st {
    };
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        return "is a directory";
    }
    errno = 0;
    file.open(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        return errno != 0 ? std::strerror(errno) : "cannot be opened";
    }
    return "";
}

} // namespace zep::record
