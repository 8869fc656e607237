// `zep-sim replay FILE [--lib LIB]`: plays a recording against a build of the
// application. Exit status 0 same, 1 diverged, 2 unreadable.
#pragma once

#include <string>

namespace zep::sim {

int replayMain(int argc, char **argv);

}  // namespace zep::sim
