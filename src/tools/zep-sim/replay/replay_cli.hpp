// `zep-sim replay FILE [--lib LIB]`: plays a recording against a build of the
// application. Exit status 0 same, 1 diverged, 2 unreadable.
#pragma once

#include <string>

#include "run/story_sink.hpp"

namespace zep::sim {

int replayMain(int argc, char **argv);

// Replays file on lib, as replayMain checks it, with sink the only listener,
// handed the replay's ledger before anything plays. The exit status replay's
// would be; why on stderr, each line behind prefix.
int replayIntoStory(const std::string &file, const std::string &lib, StorySink &sink, const std::string &prefix);

}  // namespace zep::sim
