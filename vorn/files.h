// vorn's inputs and outputs on the programs' file layer (file_image.h): reading an input whole,
// choosing and checking an output, and replacing it atomically, with vorn's messages.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// The bytes of `path`, or of standard input for "-". Fails with exit_class::input when it cannot be opened, is not a regular
// file (a FIFO is never opened for reading, so it cannot hang the run) or is empty.
std::vector<uint8_t> read_whole_file(const std::string& path);

// The text of an error of the file layer as a lower-case phrase ("no such file or directory").
std::string errno_text(int error);

// Fails with exit_class::output when `path` may not be written: it names one of `inputs` (the
// same file, through any link), it exists and `force` is not given, it is a directory, or its
// folder does not exist.
void check_output(const std::string& path, const std::vector<std::string>& inputs, bool force);

// Writes `bytes` to a new file beside `path` and puts it in place in one step, so that `path`
// holds either its old contents or all of the new ones, never a piece. Without `force` an entry
// at `path`, even one that appeared while the output was made, is kept and the write fails;
// with it, a file is replaced and keeps its permissions, a symbolic link is replaced, never
// followed. Fails with exit_class::output; the temporary file never stays behind.
// "-" writes the bytes to `out` instead, as they are.
void write_output(const std::string& path, const std::vector<uint8_t>& bytes, bool force, std::ostream& out);

// decode's -o DIR ("" : the current folder): fails with exit_class::output when it names anything
// but a folder. Whether it exists; a missing one is made only once there is something to write.
bool check_output_folder(const std::string& folder);

// write_output() of `path` in `folder`, which is made first where missing, as `mkdir -p` would.
void write_into_folder(const std::string& folder, const std::string& path, const std::vector<uint8_t>& bytes,
                       bool force, std::ostream& out);
