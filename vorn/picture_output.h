// What the commands share between reading and writing: notes on stderr, and a coder file image
// turned into the bytes of the output format.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "input_picture.h"
#include "files.h"
#include "png_codec.h"

// Says on `err` what was left out of the picture when it was read (its transparency).
void note_reading(const input_picture& picture, std::ostream& err);

// The bytes of `image` (an accepted coder file image) in `format`: the image itself for BMP,
// its pixels for PNG, written a row at a time with `settings`. `path` names the output in a
// failure.
std::vector<uint8_t> output_bytes(output_format format, std::vector<uint8_t>&& image,
                                  const std::string& path, const png_settings& settings);

// Milliseconds on a clock that never runs backwards; only differences mean anything.
int64_t steady_ms();
