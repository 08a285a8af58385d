// How a run of vorn ends when it cannot do what it was asked: an exit code per class of fault
// and one line for stderr that names the file, says what is wrong and, where it can, how to fix
// it.
#pragma once

#include <string>

enum class exit_class : int {
    success = 0,
    usage = 2,     // the command line is wrong
    input = 3,     // an input cannot be read or cannot be used
    output = 4,    // an output cannot or may not be written
    memory = 5,    // the pictures do not fit in memory
};

struct failure {
    exit_class code;
    std::string message;  // without the "vorn: " prefix and the line end
};

// Ends the current command: vorn_main() catches it, prints "vorn: " + message and exits with
// the class's code.
[[noreturn]] inline void fail(exit_class code, std::string message)
{
    throw failure{code, std::move(message)};
}
