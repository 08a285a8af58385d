// A decoded picture: 8-bit R G B pixels, the top row first, rows packed without padding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct rgb_picture {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3 bytes
    bool alpha_dropped = false;  // the file held transparency, which was left out
};

// The decoders' shared limit: a picture whose equivalent BMP would reach 4 GiB cannot be coded.
// Fails with exit_class::input naming `path` when width x height is empty or too large, and
// sizes `picture.rgb` otherwise.
void size_picture(rgb_picture& picture, uint32_t width, uint32_t height, const std::string& path);
