// Pictures for the kit's tests: the samples cropped to any size, in and out of the kit's forms.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kit.h"

struct test_picture {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;  // R G B, the top row first
};

// "Main.bmp", "Hidden 1.bmp" or "Hidden 2.bmp" of the samples (512 x 512).
test_picture sample(const std::string& name);
// The width x height pixels from (x, y) on.
test_picture crop(const test_picture& picture, uint32_t x, uint32_t y, uint32_t width, uint32_t height);

// The picture's 54-byte-header BMP, and the pixels of a coder file image.
std::vector<uint8_t> bmp_of(const test_picture& picture);
test_picture pixels_of(const std::vector<uint8_t>& image);
// The pixels of a picture the kit gives, in either layout; and a picture as the kit holds one.
test_picture pixels_of(const rgb_picture& picture);
rgb_picture kit_picture_of(const test_picture& picture);

// The picture as the kit reads it.
input_picture input_of(const test_picture& picture, const std::string& name);

// PSNR over every colour byte (infinity for equal pictures; 0 for pictures of other sizes).
double psnr(const test_picture& a, const test_picture& b);
