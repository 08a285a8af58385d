// Scaling a hidden picture down for the compact form, on its R G B rows, with the resampler and
// settings that fit classic hidden pictures: stb_image_resize in sRGB, Mitchell when shrinking.
#pragma once

#include <cstdint>

#include "stored_picture.h"

// The picture resampled to width x height. Throws std::bad_alloc when memory runs out.
rgb_picture scaled_picture(const rgb_picture& picture, uint32_t width, uint32_t height);
