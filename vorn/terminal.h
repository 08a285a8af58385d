// The terminal, for what vorn asks and shows there: a password, typed without echo, and whether
// progress can be drawn. The real
// implementation (terminal_posix.cpp) is linked into vorn alone; the tests link a stand-in that
// answers from a script, so that no test needs a terminal.
#pragma once

#include <string>

// Writes `prompt` to the terminal, reads one line with echo off and restores the terminal. False
// when there is no terminal to ask on (or it cannot be read); `line` is then empty.
bool read_secret_line(const char* prompt, std::string& line);

// Whether standard error goes to a terminal, where progress can be drawn in place.
bool stderr_is_terminal();

// Whether standard output goes to a terminal, where a picture's bytes would only garble it.
bool stdout_is_terminal();
