// Outputs: the format chosen by the name's extension, the checks made before any work starts,
// and the atomic replacement of the file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class output_format { png, bmp };

// The format for `path`'s extension (case-insensitive .png or .bmp). Fails with
// exit_class::usage for a lossy format (it would destroy the hidden bits) or any other name.
output_format format_for(const std::string& path);

// Fails with exit_class::output when `path` may not be written: it names one of `inputs` (the
// same file, through any link), it exists and `force` is not given, it is a directory, or its
// folder does not exist.
void check_output(const std::string& path, const std::vector<std::string>& inputs, bool force);

// Writes `bytes` to a new file beside `path` and renames it into place, so that `path` holds
// either its old contents or all of the new ones, never a piece. Without `force` an existing
// `path` is kept and the write fails; a symbolic link at `path` is replaced, never followed.
// Fails with exit_class::output; the temporary file never stays behind.
void write_output(const std::string& path, const std::vector<uint8_t>& bytes, bool force);
