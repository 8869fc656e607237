// The files the offline tools read and write. Every input gets the same checks
// before a byte of it is read, so that a directory, a device, a file that
// cannot be opened or one that holds nothing is refused with its path and the
// reason. Every input is read through zlib, which hands a plain file through
// as it is and a gzip file expanded, a buffer of fixed size at a time: what a
// reader holds depends on what it keeps, never on what the file claims.
#pragma once

#include <array>
#include <fstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#include "record_format.hpp"

struct gzFile_s;

namespace zep::record
{

// A file that cannot be used; what() is "PATH: REASON".
class FileError : public std::runtime_error
{
  public:
    FileError(const std::string &path, const std::string &reason)
        : std::runtime_error(path + ": " + reason), reason_(reason)
    {
    }
    const std::string &reason() const { return reason_; }

  private:
    std::string reason_;
};

class InputFile
{
  public:
    // "-" is standard input. A pipe is read as a file is; a directory, a
    // device, a socket, a file that cannot be opened and an empty file throw
    // FileError.
    explicit InputFile(const std::string &path);
    ~InputFile();
    InputFile(const InputFile &) = delete;
    InputFile &operator=(const InputFile &) = delete;

    // Up to buf.size() bytes into buf; 0 at the end. Throws FileError when the
    // file cannot be read, is damaged, or ends before its first byte (a pipe
    // or a compressed file that holds nothing).
    std::size_t read(std::span<char> buf);
    // The compressed stream stopped before its end (an access point that
    // stopped while writing it): every byte up to there was handed out.
    bool endedEarly() const { return endedEarly_; }
    // The size of a regular file on disk; 0 for a pipe.
    u64 sizeOnDisk() const { return sizeOnDisk_; }
    // The path, as messages name it.
    const std::string &path() const { return path_; }

  private:
    std::string path_;
    gzFile_s *gz_ = nullptr;
    u64 sizeOnDisk_ = 0;
    u64 handedOut_ = 0;
    bool endedEarly_ = false;
};

// The whole file, or its first maxBytes + 1 bytes when it holds more: a caller
// that gets more than maxBytes knows the file is larger than it takes.
std::vector<u8> readWholeFile(const std::string &path, u64 maxBytes);

// A stream over an input file, for readers that take a stream. Its FileError
// reaches the reader: the stream rethrows what its buffer throws.
class InputStream : public std::istream
{
  public:
    explicit InputStream(const std::string &path);

  private:
    class Buffer : public std::streambuf
    {
      public:
        explicit Buffer(const std::string &path) : file_(path) {}

      protected:
        int_type underflow() override;

      private:
        InputFile file_;
        std::array<char, 64 << 10> bytes_{};
    };
    Buffer buffer_;
};

// Opens path for writing, emptied; "" when it is open, else why not ("is a
// directory", or what the system said). Devices and pipes are written as
// files are: /dev/null, or a pipe to a compressor, are outputs too.
std::string openOutputFile(std::ofstream &file, const std::string &path);

} // namespace zep::record
