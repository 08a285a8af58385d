// The entry of the vorn command, with its streams passed in so that tests can run it in-process.
#pragma once

#include <ostream>

// Runs `vorn` with these arguments (argv[0] is the program's name). Help and the version go to
// `out`; notes, the --verbose report and the one-line error go to `err`. Returns the exit code:
// 0, or the exit_class of the failure.
int vorn_main(int argc, char** argv, std::ostream& out, std::ostream& err);
