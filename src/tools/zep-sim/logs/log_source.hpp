// Reads a log file line by line: plain or gzip-compressed (zlib tells them
// apart by their first bytes), or standard input for "-". It holds one buffer
// of a fixed size whatever the file holds: a line longer than kMaxLogLine is
// handed out as its start alone, and the rest of it is skipped.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "files.hpp"
#include "zep_types.h"

namespace zep::sim::logs
{

using LogReadError = record::FileError;

// The longest line handed out whole. The module's longest lines are a few
// hundred bytes and a syslog line is at most a few KiB, so a longer one is not
// the module's to parse.
inline constexpr std::size_t kMaxLogLine = 64 << 10;
// How much of a longer line is handed out, to show what it was.
inline constexpr std::size_t kLongLineStart = 160;

struct LineHandlers {
    // Every line up to kMaxLogLine bytes (without its line feed), with its number from 1.
    std::function<void(std::string_view line, u64 lineNo)> line;
    // A longer line: its first kLongLineStart bytes, and its whole length.
    std::function<void(std::string_view start, u64 length, u64 lineNo)> longLine;
};

// Throws LogReadError when the file cannot be opened or is damaged (the
// checks of record::InputFile). Returns false when a compressed file ends
// before its stream does (an access point that stopped while writing it):
// every line up to there was read.
bool readLogLines(const std::string &path, const LineHandlers &handlers);

} // namespace zep::sim::logs
