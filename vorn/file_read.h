// Reading an input file whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The bytes of `path`. Fails with exit_class::input when it cannot be opened, is not a regular
// file (a FIFO is never opened for reading, so it cannot hang the run) or is empty.
std::vector<uint8_t> read_whole_file(const std::string& path);

// The text of errno as a lower-case phrase ("no such file or directory").
std::string errno_text(int error);
