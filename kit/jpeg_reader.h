// JPEG files through libjpeg-turbo, for carriers and hidden pictures (a JPEG cannot hold coded
// bits: its compression changes every low bit).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rgb_picture.h"

// Decodes `file` to RGB in `layout` (greyscale and YCbCr pictures; CMYK is refused with its
// reason), with the library's default, accurate settings, and turns it upright as its EXIF
// orientation says. Fails with kit::fault::input.
rgb_picture read_jpeg(const std::vector<uint8_t>& file, const std::string& path,
                      const read_limits& limits = read_limits(), pixel_layout layout = pixel_layout::rgb);
