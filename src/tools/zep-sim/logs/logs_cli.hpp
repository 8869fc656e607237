// `zep-sim logs FILE...`: reads access points' logs and prints what the module
// did on each. Exit status 0, or 2 when a file could not be read.
#pragma once

namespace zep::sim {

int logsMain(int argc, char **argv);

}  // namespace zep::sim
