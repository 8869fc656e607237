// One station's story from an access point's log, read as `zep-sim logs`
// reads it: each of the module's lines about the station dated by the syslog
// date before it, or by its line number where it has none.
#pragma once

#include <string>

#include "out/story.hpp"

namespace zep::sim::logs {

struct LogStory {
    Story story;
    bool whole = true;  // false: a compressed log that ends early, read up to there
};

// Throws LogReadError when the file cannot be opened or is damaged.
LogStory storyOfLog(const std::string &path, const Mac &station);

}  // namespace zep::sim::logs
