// vorn's side of the picture kit: its faults as vorn's exit codes, pictures read from files, and
// notes written to stderr.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "failure.h"
#include "kit.h"
#include "progress_line.h"

// Ends the command with the status's text and the exit code of its kind, unless it is ok.
void check(const kit::status& status);

// The picture at `path`, read as the kit reads pictures (on `threads` threads, as kit.h says).
input_picture load_picture(const std::string& path, picture_role role, const read_limits& limits,
                           progress_line& progress, int threads = 0);

// Each text as one "vorn: " line on `err`.
void say(std::ostream& err, const std::vector<std::string>& lines);

// Milliseconds on a clock that never runs backwards; only differences mean anything.
int64_t steady_ms();
