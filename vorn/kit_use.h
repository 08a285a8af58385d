// vorn's side of the picture kit: its faults as vorn's exit codes, pictures read from files, and
// notes written to stderr.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "failure.h"
#include "operations.h"
#include "progress_line.h"

// Ends the command with the status's text and the exit code of its kind, unless it is ok.
void check(const kit::status& status);

// A path as a shell takes it back: as it is when it holds nothing a shell reads otherwise, else
// in single quotes.
std::string typed_path(const std::string& path);

// The picture file at `path` ("-": standard input), read whole as read_whole_file() reads it; and
// the same for a path that may be empty (nothing given: nullopt).
kit::picture_file picture_at(const std::string& path);
std::optional<kit::picture_file> picture_if_named(const std::string& path);

// Each text as one "vorn: " line on `err`.
void say(std::ostream& err, const std::vector<std::string>& lines);

// Milliseconds on a clock that never runs backwards; only differences mean anything.
int64_t steady_ms();
