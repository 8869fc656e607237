// Finds the module's own text in one line of an access point's log, whatever
// the syslog prefix before it, and splits it into the parts every module line
// shares: the function, the station (if the line is about
// one), and the message after ": ".
#pragma once

#include <optional>
#include <string_view>

#include "base/text_scan.hpp"
#include "zep_types.h"

namespace zep::sim::logs {

enum class Tag { None, Note, Error };

struct ModuleLine {
    std::string_view func;  // the function that wrote the line
    std::optional<u64> sta;  // the station's MAC as 48 bits, on station lines
    Tag tag = Tag::None;     // station lines say note or error; others say nothing
    std::string_view text;   // the message, without the trailing CR/LF
};

// Null when the line holds no module text (another program's line).
std::optional<ModuleLine> findModuleLine(std::string_view line);

// Reads "xxxx-xxxx-xxxx" (12 hex digits in three groups) and advances past it.
std::optional<u64> takeMac(std::string_view &s);

}  // namespace zep::sim::logs
