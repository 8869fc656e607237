// `zep-sim compare`: plays each scenario on two builds of the application, each
// run in a process of its own (the application keeps global state), and
// compares their traces; or compares two saved traces.
#pragma once

namespace zep::sim {

// argv[0] is "compare". Returns the exit status (see compare.hpp).
int compareMain(int argc, char **argv);

}  // namespace zep::sim
