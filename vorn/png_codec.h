// PNG files through libspng: reading every colour type and bit depth as 8-bit RGB, and writing
// 8-bit RGB with no colour-management chunks, so that a reader gets exactly these bytes back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rgb_picture.h"

// Decodes `file`. Transparency (an alpha channel or a tRNS chunk) is left out and
// `alpha_dropped` set; 16-bit samples are rounded to the nearest 8-bit value. Gamma and colour
// chunks are ignored: the samples are taken as they stand. Fails with exit_class::input.
rgb_picture read_png(const std::vector<uint8_t>& file, const std::string& path);

// The PNG file of `picture`. Fails with exit_class::output naming `path` when libspng refuses.
std::vector<uint8_t> write_png(const rgb_picture& picture, const std::string& path);
