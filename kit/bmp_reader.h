// Our own reader for BMP files the coder cannot take as they stand: 24- and 32-bit uncompressed
// rasters (32-bit also with byte-aligned bit-field masks), bottom-up or top-down, with any
// header version from the 12-byte core header to the 124-byte fifth version.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rgb_picture.h"

// Decodes `file` into `layout`. Fails with kit::fault::input, naming `path` and the field at
// fault.
rgb_picture read_bmp(const std::vector<uint8_t>& file, const std::string& path,
                     const read_limits& limits = read_limits(), pixel_layout layout = pixel_layout::rgb);
