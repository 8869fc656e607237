// `zep-sim explain MAC [SCENARIO | --replay FILE | --logs FILE]`: one
// station's story, in sentences and in time order. Exit status 0, or 2 when
// the input cannot be read or never shows the station (1 when a replay
// diverged: its story ends there).
#pragma once

namespace zep::sim {

int explainMain(int argc, char **argv);

}  // namespace zep::sim
