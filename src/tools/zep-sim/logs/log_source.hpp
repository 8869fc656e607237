// Reads a log file line by line: plain or gzip-compressed (zlib tells them
// apart by their first bytes), or standard input for "-".
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "zep_types.h"

namespace zep::sim::logs {

class LogReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Calls onLine for every line (without its line feed) with its number from 1.
// Throws LogReadError when the file cannot be opened or is damaged. Returns
// false when a compressed file ends before its stream does (an access point
// that stopped while writing it): every line up to there was read.
bool readLogLines(const std::string &path,
                  const std::function<void(std::string_view line, u64 lineNo)> &onLine);

}  // namespace zep::sim::logs
